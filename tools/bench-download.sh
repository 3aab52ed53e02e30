#!/usr/bin/env bash
# Throughput of a package file's transfer, round after round, on the same
# file from the test web site on loopback: in one Wine process
# (bench_download.exe) the platform's read call alone with a 64 KB buffer,
# the same loop reading what InternetQueryDataAvailable announces,
# DownloadPackageFile without and with the file's SHA-256 to check, and the
# Downloading page showing the progress of the same transfer on the screen;
# then curl. Every copy is checked. Prints each round, the throughputs, their
# ratios and the figures download_vs_bare_read (Downloading page / bare
# read), download_vs_available_loop (Downloading page / the announced-size
# loop), download_vs_curl (Downloading page / curl) and download_hash_cost
# (the time with the hash / without). Not a test: nothing is asserted.
#   BUILD=build-dir [BENCH_DOWNLOAD_MB=100] tools/bench-download.sh [rounds]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
ROUNDS=${1:-3}
SIZE=$((${BENCH_DOWNLOAD_MB:-100} * 1048576))

cmake --build "$BUILD" --target bench_download -j2 >/dev/null
BENCH=$BUILD/bin/bench_download.exe

WORK=$(mktemp -d)
STATE=$WORK/server.state
. "$ROOT/tools/wine-env.sh"
cleanup() {
  python3 "$ROOT/tests/server/webserver.py" stop --state "$STATE" >/dev/null 2>&1 || true
  wine_env_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/site" "$WORK/wine"
head -c "$SIZE" /dev/urandom > "$WORK/site/package.bin"
SHA256=$(sha256sum "$WORK/site/package.bin" | cut -d' ' -f1)
PORT=$(python3 "$ROOT/tests/server/webserver.py" start --root "$WORK/site" --state "$STATE" --lifetime 900)
URL=http://127.0.0.1:$PORT/package.bin

wine_env_start "$BUILD/wineprefix-bench" >/dev/null 2>&1
winpath() { echo "Z:$1" | tr / '\\'; }

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
declare -A bytes=([bare]=0 [avail]=0 [call]=0 [hash]=0 [page]=0 [curl]=0)
declare -A secs=([bare]=0 [avail]=0 [call]=0 [hash]=0 [page]=0 [curl]=0)
rate() { calc "${bytes[$1]} / ${secs[$1]} / 1048576"; }
for round in $(seq "$ROUNDS"); do
  declare -A now=()
  while read -r way b s; do
    bytes[$way]=$((bytes[$way] + b)); secs[$way]=$(calc "${secs[$way]} + $s"); now[$way]=$(calc "$b / $s / 1048576")
  done < <(wine "$BENCH" "$URL" "$(winpath "$WORK/wine")" "$(winpath "$WORK/site/package.bin")" 1 "$SHA256" \
             2>/dev/null | tr -d '\r')
  [ "${#now[@]}" = 5 ] || { echo "bench_download.exe failed" >&2; exit 1; }
  read -r b s < <(curl -s -o "$WORK/curl.bin" -w '%{size_download} %{time_total}\n' "$URL")
  cmp -s "$WORK/curl.bin" "$WORK/site/package.bin" || { echo "curl: file differs" >&2; exit 1; }
  rm -f "$WORK/curl.bin"
  bytes[curl]=$((bytes[curl] + b)); secs[curl]=$(calc "${secs[curl]} + $s")
  printf 'round %d: bare 64 KB reads %7.1f MB/s   announced reads %7.1f MB/s' "$round" "${now[bare]}" "${now[avail]}"
  printf '   DownloadPackageFile %7.1f MB/s   with hash %7.1f MB/s' "${now[call]}" "${now[hash]}"
  printf '   Downloading page %7.1f MB/s' "${now[page]}"
  printf '   curl %7.1f MB/s\n' "$(calc "$b / $s / 1048576")"
done

printf 'bare 64 KB reads:    %.1f MB/s\n' "$(rate bare)"
printf 'announced reads:     %.1f MB/s\n' "$(rate avail)"
printf 'DownloadPackageFile: %.1f MB/s\n' "$(rate call)"
printf 'with its SHA-256:    %.1f MB/s\n' "$(rate hash)"
printf 'Downloading page:    %.1f MB/s\n' "$(rate page)"
printf 'curl:                %.1f MB/s\n' "$(rate curl)"
printf 'ratio DownloadPackageFile / bare reads: %.3f\n' "$(calc "$(rate call) / $(rate bare)")"
printf 'ratio Downloading page / DownloadPackageFile: %.3f\n' "$(calc "$(rate page) / $(rate call)")"
printf 'figure download_vs_bare_read %.2f goal >=0.9\n' "$(calc "$(rate page) / $(rate bare)")"
printf 'figure download_vs_available_loop %.2f goal >=0.95\n' "$(calc "$(rate page) / $(rate avail)")"
printf 'figure download_vs_curl %.2f goal >0\n' "$(calc "$(rate page) / $(rate curl)")"
printf 'figure download_hash_cost %.2f goal <=1.05\n' "$(calc "$(rate call) / $(rate hash)")"
