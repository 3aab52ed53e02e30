#!/usr/bin/env bash
# The benchmark command: decoding, downloading, a whole online installation,
# the cost curve of the pages and the install, and the wizard's memory, each
# measured beside a reference in the same run. Ends with one line per figure,
# "figure <name> <value> goal <op><value>", and leaves $BUILD/bench.png, the
# phases and the cost curves drawn. Not a test: nothing is asserted.
# docs/developers.md, "Benchmarks", tells what each figure means and how it is measured.
#   BUILD=build-dir tools/bench.sh
# Sizes, from the environment (defaults: the full run):
#   BENCH_DOWNLOAD_MB=100 BENCH_DOWNLOAD_ROUNDS=3 BENCH_DECODE_MB=100 BENCH_DECODE_ROUNDS=3
#   BENCH_INSTALL_PACKAGES=20 BENCH_INSTALL_FILES=2000 BENCH_INSTALL_MB=200 BENCH_RTT_MS="20 100"
#   BENCH_CURVE_COMPONENTS="10 100 1000" BENCH_CURVE_FILES="100 1000 10000" BENCH_CURVE_PACKAGES=25
# BENCH_SMOKE=1 makes every size small (a few dozen files): a run of every
# step in a few minutes, whose figures mean nothing; the installed trees are
# compared all the same. The test command runs it.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export BUILD
if [ -n "${BENCH_SMOKE:-}" ]; then
  export BENCH_DOWNLOAD_MB=${BENCH_DOWNLOAD_MB:-2} BENCH_DOWNLOAD_ROUNDS=${BENCH_DOWNLOAD_ROUNDS:-1}
  export BENCH_DECODE_MB=${BENCH_DECODE_MB:-2} BENCH_DECODE_ROUNDS=${BENCH_DECODE_ROUNDS:-1}
  BENCH_INSTALL_PACKAGES=${BENCH_INSTALL_PACKAGES:-4} BENCH_INSTALL_FILES=${BENCH_INSTALL_FILES:-40}
  BENCH_INSTALL_MB=${BENCH_INSTALL_MB:-2} BENCH_RTT_MS=${BENCH_RTT_MS:-20}
  BENCH_CURVE_COMPONENTS=${BENCH_CURVE_COMPONENTS:-2 4} BENCH_CURVE_FILES=${BENCH_CURVE_FILES:-8 16}
  BENCH_CURVE_PACKAGES=${BENCH_CURVE_PACKAGES:-4}
fi
RTT_MS=${BENCH_RTT_MS:-20 100}
INSTALL_PACKAGES=${BENCH_INSTALL_PACKAGES:-20}
INSTALL_FILES=${BENCH_INSTALL_FILES:-2000}
INSTALL_MB=${BENCH_INSTALL_MB:-200}
CURVE_COMPONENTS=${BENCH_CURVE_COMPONENTS:-10 100 1000}
CURVE_FILES=${BENCH_CURVE_FILES:-100 1000 10000}
CURVE_PACKAGES=${BENCH_CURVE_PACKAGES:-25}
began=$(date +%s)

# The smoke run draws no picture: the test command needs no plotting.
plotting=python3-matplotlib
[ -z "${BENCH_SMOKE:-}" ] || plotting=
SETUP_EXTRA_PACKAGES=$plotting "$ROOT/tools/setup.sh"
cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD/native" -j2 --target zeppack >/dev/null
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$BUILD" -j2 --target zepsetup demowalk bench_download bench_bare_install >/dev/null

WORK=$(mktemp -d "${TMPDIR:-/tmp}/zep-bench.XXXXXX")
STATE=$WORK/web.state
. "$ROOT/tools/wine-env.sh"
wine_started=
cleanup() {
  python3 "$ROOT/tests/server/webserver.py" stop --state "$STATE" >/dev/null 2>&1 || true
  [ -z "$wine_started" ] || wine_env_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
now() { date +%s.%N; }
# The growth exponent between two sizes: log(t2 / t1) / log(n2 / n1).
exponent() { awk "BEGIN { printf \"%.2f\", log($4 / $3) / log($2 / $1) }"; }

echo "== decode"
if [ -x "$ROOT/tools/bench-decode.sh" ]; then
  "$ROOT/tools/bench-decode.sh" "${BENCH_DECODE_ROUNDS:-3}" | tee "$WORK/decode.out" \
    || echo "decode: tools/bench-decode.sh failed"
else
  echo "decode: skipped, there is no tools/bench-decode.sh on this branch"
fi

echo
echo "== download"
"$ROOT/tools/bench-download.sh" "${BENCH_DOWNLOAD_ROUNDS:-3}" | tee "$WORK/download.out" \
  || echo "download: tools/bench-download.sh failed"

wine_env_start "$WORK/prefix" fresh >/dev/null 2>&1
wine_started=yes
# Windows close at once without a window manager (see tools/test.sh).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
mkdir -p "$WORK/sites"
# The faults file delays every answer in the latency case.
FAULTS=$WORK/faults.json
PORT=$(python3 "$ROOT/tests/server/webserver.py" start --root "$WORK/sites" --state "$STATE" --faults "$FAULTS" \
  --lifetime 14400)
INSTALL_WIN='C:\ZEPBench'
INSTALL_DIR=$WINEPREFIX/drive_c/ZEPBench
GROUP_DIR="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZEP Bench"
RUN=$WORK/run

make_product() {  # name packages files-per-package bytes-per-file
  python3 "$ROOT/tools/bench-product.py" --zeppack "$BUILD/native/tools/zeppack" --out "$WORK/sites/$1" \
    --base-url "http://127.0.0.1:$PORT/$1/site/" --packages "$2" --files "$3" --bytes "$4"
}

# A first installation of the product with the wizard, walked by the robot,
# which writes the moments it saw into $WORK/<name>.walk. CONNECTIONS, when
# set, is the setup information file's Connections=.
run_wizard() {  # name
  local url=http://127.0.0.1:$PORT/$1/site/ product=$WORK/sites/$1 downloads
  # Signed as a publisher ships it: the run pays for the verification.
  [ -f "$WORK/key.pem" ] || "$BUILD/native/tools/zeppack" keygen "$WORK/key.pem" >"$WORK/key.pub"
  "$BUILD/native/tools/zeppack" sign "$WORK/key.pem" "$product/site/setup/zep.sif" \
    "$product/site/setup/zepsites.ini" "$product"/site/packages/*.pki >/dev/null
  rm -rf "$RUN" "$INSTALL_DIR" "$GROUP_DIR"
  mkdir -p "$RUN"
  cp "$BUILD/bin/zepsetup.exe" "$BUILD/bin/globe.ani" "$ROOT/demo/license.txt" "$RUN/"
  downloads=$(winepath -w "$RUN/downloads")
  local connections=()
  [ -z "${CONNECTIONS:-}" ] || connections=(-e "/^BaseURL=/a Connections=$CONNECTIONS")
  sed -e "s|@BASE_URL@|$url|" -e "s|@SOURCE@|${downloads//\\/\\\\}|" -e "/^BaseURL=/a $(cat "$WORK/key.pub")" \
    -e "s|@DESTINATION@|${INSTALL_WIN//\\/\\\\}|" "${connections[@]}" \
    "$product/zepsetup.sif" >"$RUN/zepsetup.sif"
  wine reg delete 'HKLM\SOFTWARE\ORBEL\ZEP' /f >/dev/null 2>&1 || true
  (cd "$RUN" && exec wine zepsetup.exe) &
  local setup_pid=$! walked=yes
  wine "$BUILD/bin/demowalk.exe" --times zepsetup.exe "$INSTALL_WIN" 1800 | tr -d '\r' >"$WORK/$1.walk" || walked=
  if [ -z "$walked" ]; then
    cat "$WORK/$1.walk"
    echo "bench: the robot's walk of $1 failed"
    exit 1
  fi
  wait "$setup_pid"
}

# Seconds between two moments of a walk ("<page> <event>").
walk_ms() { awk -v key="$2" '$1 == "time" && $2 " " $3 == key { print $4; exit }' "$WORK/$1.walk"; }
span() { calc "($(walk_ms "$1" "$3") - $(walk_ms "$1" "$2")) / 1000"; }
memory_mb() { awk -v page="$2" '$1 == "memory" && $2 == page { printf "%.1f", $3 / 1048576 }' "$WORK/$1.walk"; }

# The same bytes the wizard installed, with the tools: curl fetches the
# catalogue, the package info files and every package file over one
# connection, bzip2 -d decodes the packed ones (their header first turned
# back into bzip2's own two bytes "BZ"), cp copies everything into place.
# Prints "<curl> <decode> <copy>" seconds and leaves the tree in $WORK/ref/target.
tools_install() {  # name
  local product=$WORK/sites/$1 ref=$WORK/ref url=http://127.0.0.1:$PORT/$1/site/ t0 t1 t2 t3
  rm -rf "$ref"
  mkdir -p "$ref/fetched" "$ref/decoded" "$ref/target"
  {
    for path in setup/zep.sif setup/zepsites.ini $(cd "$product/site" && ls packages/*.pki); do
      printf 'url = "%s%s"\noutput = "%s/%s"\n' "$url" "$path" "$ref/fetched" "$path"
    done
    awk -v url="$url" -v out="$ref/fetched" \
      '{ printf "url = \"%s%s\"\noutput = \"%s/%s/%s\"\n", url, $1, out, $2 ? "packed" : "plain", $3 }' \
      "$product/manifest"
  } >"$ref/curl.config"
  t0=$(now)
  curl -s --fail --create-dirs -K "$ref/curl.config"
  t1=$(now)
  python3 - "$ref/fetched/packed" "$ref/decoded" <<'EOF'
import os, sys
source, target = sys.argv[1:]
for folder, _, names in os.walk(source):
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        out = os.path.join(target, os.path.relpath(folder, source))
        os.makedirs(out, exist_ok=True)
        with open(os.path.join(out, name + ".bz2"), "wb") as f:
            f.write(b"BZ" + data[data.index(b"\0") + 13:])
EOF
  find "$ref/decoded" -name '*.bz2' -print0 | xargs -0 -r bzip2 -d
  t2=$(now)
  cp -r "$ref/fetched/plain/." "$ref/decoded/." "$ref/target/"
  t3=$(now)
  echo "$(calc "$t1 - $t0") $(calc "$t2 - $t1") $(calc "$t3 - $t2")"
}

# The same install by a bare Win32 program in the same prefix
# (tests/bench/BenchBareInstall.cpp): what the platform gives a plain
# program under Wine. Prints "<fetch> <decode> <copy>" seconds and leaves
# the tree in $WORK/bare/target.
bare_install() {  # name
  local product=$WORK/sites/$1 bare=$WORK/bare url=http://127.0.0.1:$PORT/$1/site/
  rm -rf "$bare"
  mkdir -p "$bare/work" "$bare/target"
  {
    for path in setup/zep.sif setup/zepsites.ini $(cd "$product/site" && ls packages/*.pki); do
      printf '%s%s\tlist\t%s\n' "$url" "$path" "${path//\//\\}"
    done
    awk -v url="$url" '{ path = $3; gsub("/", "\\", path); printf "%s%s\t%s\t%s\n", url, $1, $2 ? "packed" : "plain", path }' \
      "$product/manifest"
  } >"$bare/list"
  wine "$BUILD/bin/bench_bare_install.exe" "$(winepath -w "$bare/list")" "$(winepath -w "$bare/work")" \
    "$(winepath -w "$bare/target")" | tr -d '\r'
}

echo
echo "== whole install: $INSTALL_PACKAGES packages, $INSTALL_FILES files, about $INSTALL_MB MB, half packed"
files_each=$((INSTALL_FILES / INSTALL_PACKAGES))
make_product install "$INSTALL_PACKAGES" "$files_each" $((INSTALL_MB * 1048576 / INSTALL_FILES))
echo "site: $(du -sm "$WORK/sites/install/site" | cut -f1) MB to download"
run_wizard install
read -r curl_s bzip2_s cp_s < <(tools_install install)
if ! diff -r --exclude='*.DeIsLog' "$WORK/ref/target" "$INSTALL_DIR" >/dev/null; then
  echo "bench: the wizard installed other files than the tools"
  exit 1
fi
echo "the wizard installed the very files the tools did ($(find "$INSTALL_DIR" -type f -name '*.dat' | wc -l) files)"
rm -rf "$WORK/ref"
read -r bare_fetch_s bare_decode_s bare_copy_s < <(bare_install install)
if ! diff -r --exclude='*.DeIsLog' "$WORK/bare/target" "$INSTALL_DIR" >/dev/null; then
  echo "bench: the wizard installed other files than the bare Win32 program"
  exit 1
fi
rm -rf "$WORK/bare"
wizard_s=$(span install "03-install-or-download ready" "09-finish shown")
tools_s=$(calc "$curl_s + $bzip2_s + $cp_s")
bare_s=$(calc "$bare_fetch_s + $bare_decode_s + $bare_copy_s")
download_s=$(span install "06-choose-site ready" "08-installing shown")
decode_s=$(span install "08-installing shown" "08-installing queue")
commit_s=$(span install "08-installing queue" "08-installing first-log")
{
  echo "components page|$(span install "03-install-or-download ready" "04-components ready")|"
  echo "package infos (Preparing page)|$(span install "04-components ready" "05-preparing ready")|"
  echo "sites list (Choose site page)|$(span install "05-preparing ready" "06-choose-site ready")|"
  echo "download|$download_s|curl $curl_s s, bare $bare_fetch_s s"
  echo "decode (and queueing)|$decode_s|bzip2 -d $bzip2_s s, bare $bare_decode_s s"
  echo "queue commit|$commit_s|cp $cp_s s, bare $bare_copy_s s"
  echo "finish|$(span install "08-installing first-log" "09-finish shown")|"
} >"$WORK/phases"
slowest=$(sort -t'|' -k2 -g "$WORK/phases" | tail -n1 | cut -d'|' -f1)
printf '%-32s %9s   %s\n' phase wizard tools
while IFS='|' read -r phase wizard tools; do
  printf '%-32s %7s s   %-18s%s\n' "$phase" "$wizard" "$tools" "$([ "$phase" = "$slowest" ] && echo '<- slowest')"
done <"$WORK/phases"
printf '%-32s %7s s   %s s, bare %s s\n' "total" "$wizard_s" "$tools_s" "$bare_s"
{
  echo "download $download_s $bare_fetch_s $curl_s"
  echo "decode $decode_s $bare_decode_s $bzip2_s"
  echo "commit $commit_s $bare_copy_s $cp_s"
  echo "total $wizard_s $bare_s $tools_s"
} >"$WORK/plot-phases"
install_memory=$(memory_mb install 09-finish)
welcome_memory=$(memory_mb install 01-welcome)
echo "peak working set of zepsetup.exe: $install_memory MB (at the Welcome page: $welcome_memory MB)"

# The same product from a site that answers every request a round trip
# late, as a real network does: the wizard with its own connections, the
# wizard with Connections=1, and at the first round trip the bare program,
# which fetches one file after another.
echo
echo "== latency: the same product, every answer late by a round trip"
printf '%-10s %12s %12s %12s\n' "round trip" wizard "one at once" bare
for rtt in $RTT_MS; do
  printf '{"*": {"stall_before": %s}}\n' "$(calc "$rtt / 1000")" >"$FAULTS"
  run_wizard install
  wide_s=$(span install "06-choose-site ready" "08-installing shown")
  CONNECTIONS=1 run_wizard install
  serial_s=$(span install "06-choose-site ready" "08-installing shown")
  bare_rtt_s=""
  if [ "$rtt" = "${RTT_MS%% *}" ]; then
    read -r bare_rtt_s _ < <(bare_install install)
    rm -rf "$WORK/bare"
    echo "figure download_rtt${rtt}_vs_bare $(calc "$bare_rtt_s / $wide_s" | sed 's/.$//') goal >=2.5" \
      >>"$WORK/latency.out"
  fi
  printf '%-10s %10s s %10s s %10s\n' "$rtt ms" "$wide_s" "$serial_s" "${bare_rtt_s:+$bare_rtt_s s}"
  goal=$([ "$rtt" -ge 100 ] && echo 3.5 || echo 3.0)
  echo "figure download_rtt${rtt}_vs_serial $(calc "$serial_s / $wide_s" | sed 's/.$//') goal >=$goal" \
    >>"$WORK/latency.out"
done
rm -f "$FAULTS"
rm -rf "$WORK/sites/install"

echo
echo "== cost curve: Components page, Preparing page and install"
echo "(seconds; n components with 2 files each; n files in $CURVE_PACKAGES packages)"
curve() {  # axis sizes...: prints a table and leaves "<n> <components> <preparing> <install>" in $WORK/curve-axis
  local axis=$1 n
  shift
  : >"$WORK/curve-$axis"
  printf '%-8s %-12s %15s %15s %10s %10s %10s\n' "$axis" "" "components page" "package infos" download install \
    "memory"
  for n in "$@"; do
    if [ "$axis" = components ]; then
      make_product "$axis-$n" "$n" 2 4096
    else
      make_product "$axis-$n" "$CURVE_PACKAGES" $((n / CURVE_PACKAGES)) 4096
    fi
    run_wizard "$axis-$n"
    rm -rf "$WORK/sites/$axis-$n"
    local comp prep down inst memory
    memory=$(memory_mb "$axis-$n" 09-finish)
    comp=$(span "$axis-$n" "03-install-or-download ready" "04-components ready")
    prep=$(span "$axis-$n" "04-components ready" "05-preparing ready")
    down=$(span "$axis-$n" "06-choose-site ready" "08-installing shown")
    inst=$(span "$axis-$n" "08-installing shown" "09-finish shown")
    echo "$n $comp $prep $inst" >>"$WORK/curve-$axis"
    printf '%-8s %-12s %15s %15s %10s %10s %7s MB\n' "$n" "" "$comp" "$prep" "$down" "$inst" "$memory"
  done
  awk 'NR > 1 { print prev, $0 } { prev = $0 }' "$WORK/curve-$axis" >"$WORK/pairs-$axis"
  while read -r n1 c1 p1 i1 n2 c2 p2 i2; do
    printf '%-8s %-12s %15s %15s %10s %10s\n' "growth" "$n1->$n2" "$(exponent "$n1" "$n2" "$c1" "$c2")" \
      "$(exponent "$n1" "$n2" "$p1" "$p2")" "" "$(exponent "$n1" "$n2" "$i1" "$i2")"
  done <"$WORK/pairs-$axis"
}
# The exponent over the largest sizes: the least blurred by fixed costs.
last_growth() {  # axis column(2 components page, 3 preparing, 4 install)
  tail -n1 "$WORK/pairs-$1" | awk -v c="$2" '{ printf "%.2f", log($(c + 4) / $c) / log($5 / $1) }'
}
# shellcheck disable=SC2086
curve components $CURVE_COMPONENTS
echo
# shellcheck disable=SC2086
curve files $CURVE_FILES

if [ -n "$plotting" ]; then
  /usr/bin/python3 "$ROOT/tools/bench-plot.py" "$WORK/plot-phases" "$WORK/curve-components" "$WORK/curve-files" \
    "$BUILD/bench.png" && echo "picture: $BUILD/bench.png"
fi

echo
echo "bench: $(($(date +%s) - began)) s"
echo
grep -h '^figure ' "$WORK/decode.out" "$WORK/download.out" "$WORK/latency.out" 2>/dev/null || true
echo "figure install_vs_tools $(calc "$wizard_s / $tools_s" | sed 's/.$//') goal <=1.5"
echo "figure install_vs_bare_win32 $(calc "$wizard_s / $bare_s" | sed 's/.$//') goal <=1.25"
echo "figure growth_components_page $(last_growth components 2) goal <=1.2"
echo "figure growth_preparing_components $(last_growth components 3) goal <=1.2"
echo "figure growth_install_components $(last_growth components 4) goal <=1.2"
echo "figure growth_preparing_files $(last_growth files 3) goal <=1.2"
echo "figure growth_install_files $(last_growth files 4) goal <=1.2"
echo "figure memory_install_mb $install_memory goal <32"
echo "figure memory_added_mb $(calc "$install_memory - $welcome_memory" | sed 's/..$//') goal <16"
