#!/usr/bin/env bash
# Decoding speed of a compressed package file against `bzip2 -d` of the same
# stream, in one run: ~100 MB of generated text, decoded round by round by
# bzip2, by UnpackPackageFile natively (sequential, then parallel as the
# decoder chooses) and by the Windows build under Wine (the same two), every
# output to the same disk and checked. Prints each round, the best times, the
# ratios (bzip2 time / ours, higher is better), the native decoder's peak
# memory, and the figure lines. Not a test: nothing is asserted. The machine's
# room for parallel work is measured too: two `bzip2 -d` side by side against
# one (2.0 on two idle cores).
#   BUILD=build-dir [BENCH_DECODE_MB=100] tools/bench-decode.sh [rounds]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
ROUNDS=${1:-3}
SIZE=$((${BENCH_DECODE_MB:-100} * 1048576))

cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD/native" --target bench_decode -j2 >/dev/null
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$BUILD" --target bench_decode -j2 >/dev/null
NATIVE=$BUILD/native/tools/bench_decode
WINDOWS=$BUILD/bin/bench_decode.exe

# The text and its streams stay for the next run; the package is made last.
DATA=$BUILD/bench-decode-$((SIZE / 1048576))
OUT=$DATA/out
mkdir -p "$DATA"
if [ ! -f "$DATA/package.pk_" ]; then
  echo "making $SIZE bytes of text and their package"
  # Lines of words from a made-up vocabulary, the frequent ones far more often
  # (about as compressible as prose), with numbers now and then.
  python3 - "$SIZE" >"$DATA/input.txt" <<'EOF'
import random, sys
rng = random.Random(1)
syllables = [a + b for a in "bcdfghklmnprstvwz" for b in ("a", "e", "i", "o", "u", "ai", "ou")]
vocabulary = ["".join(rng.choice(syllables) for _ in range(rng.randint(1, 4))) for _ in range(20000)]
weights = [1.0 / (rank + 1) for rank in range(len(vocabulary))]
left = int(sys.argv[1])
while left > 0:
    words = rng.choices(vocabulary, weights, k=200000)
    for i in range(0, len(words), 9):
        words[i] = words[i].capitalize() + (" %d." % rng.randint(0, 99999) if i % 45 == 0 else "")
    chunk = ("\n".join(" ".join(words[i:i + 12]) for i in range(0, len(words), 12)) + "\n").encode()[:left]
    sys.stdout.buffer.write(chunk)
    left -= len(chunk)
EOF
  bzip2 -9 -c "$DATA/input.txt" >"$DATA/input.bz2"
  # The package's header (magic, text, zero byte, time and version words),
  # then the same stream without its "BZ".
  { printf 'MSFinput.txt\0'; head -c 12 /dev/zero; tail -c +3 "$DATA/input.bz2"; } >"$DATA/package.tmp"
  mv "$DATA/package.tmp" "$DATA/package.pk_"
fi

. "$ROOT/tools/wine-env.sh"
cleanup() {
  wine_env_stop
  rm -rf "$OUT"
}
trap cleanup EXIT
wine_env_start "$BUILD/wineprefix-bench" >/dev/null 2>&1
winpath() { echo "Z:$1" | tr / '\\'; }

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
now() { date +%s.%N; }
check() {  # output file, decoder
  cmp -s "$1" "$DATA/input.txt" || { echo "$2: output differs" >&2; exit 1; }
  rm -f "$1"
}
best_bzip2=; best_nseq=; best_npar=; best_wseq=; best_wpar=; peak=0
echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq "$ROUNDS"); do
  rm -rf "$OUT"; mkdir -p "$OUT"
  start=$(now)
  bzip2 -dc "$DATA/input.bz2" >"$OUT/input.txt"
  bzip2=$(calc "$(now) - $start")
  check "$OUT/input.txt" "bzip2 -d"
  start=$(now)
  bzip2 -dc "$DATA/input.bz2" >"$OUT/side.txt" & bzip2 -dc "$DATA/input.bz2" >"$OUT/input.txt"
  wait $!
  room=$(calc "2 * $bzip2 / ($(now) - $start)")
  check "$OUT/side.txt" "bzip2 -d"; check "$OUT/input.txt" "bzip2 -d"
  read -r nseq _ < <("$NATIVE" "$DATA" package.pk_ "$OUT" 1)
  check "$OUT/package.pk_" "native sequential"
  read -r npar kb < <("$NATIVE" "$DATA" package.pk_ "$OUT" 0)
  check "$OUT/package.pk_" "native parallel"
  read -r wseq _ < <(wine "$WINDOWS" "$(winpath "$DATA")" package.pk_ "$(winpath "$OUT")" 1 2>/dev/null | tr -d '\r')
  check "$OUT/package.pk_" "Windows sequential"
  read -r wpar _ < <(wine "$WINDOWS" "$(winpath "$DATA")" package.pk_ "$(winpath "$OUT")" 0 2>/dev/null | tr -d '\r')
  check "$OUT/package.pk_" "Windows parallel"
  printf 'round %d: bzip2 -d %.2f s  native %.2f s, parallel %.2f s  Wine %.2f s, parallel %.2f s' \
    "$round" "$bzip2" "$nseq" "$npar" "$wseq" "$wpar"
  printf '  (native peak %d kB, room for %.2f bzip2 -d)\n' "$kb" "$room"
  best_bzip2=$(min "$best_bzip2" "$bzip2"); best_nseq=$(min "$best_nseq" "$nseq"); best_npar=$(min "$best_npar" "$npar")
  best_wseq=$(min "$best_wseq" "$wseq"); best_wpar=$(min "$best_wpar" "$wpar")
  [ "$kb" -gt "$peak" ] && peak=$kb
done

printf 'best of %d: bzip2 -d %.2f s; native %.2f s, parallel %.2f s; Wine %.2f s, parallel %.2f s (%d MB of output)\n' \
  "$ROUNDS" "$best_bzip2" "$best_nseq" "$best_npar" "$best_wseq" "$best_wpar" $((SIZE / 1048576))
printf 'ratio native parallel / bzip2 -d: %.3f\n' "$(calc "$best_bzip2 / $best_npar")"
printf 'figure decode_vs_bzip2 %.3f goal >=0.95\n' "$(calc "$best_bzip2 / $best_wseq")"
printf 'figure decode_native_vs_bzip2 %.3f goal >=0.95\n' "$(calc "$best_bzip2 / $best_nseq")"
printf 'figure decode_parallel_vs_bzip2 %.3f goal >=1.7\n' "$(calc "$best_bzip2 / $best_wpar")"
printf 'figure decode_memory_mb %.1f goal <32\n' "$(calc "$peak / 1024")"
