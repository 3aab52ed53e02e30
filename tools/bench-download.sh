#!/usr/bin/env bash
# Throughput of DownloadPackageFile (under Wine) against curl, on the same
# 100 MB file from the test web site on loopback, in one run; and of the
# Downloading page, which shows the progress of the same transfer on the
# screen, against the bare transfer. Prints each round, the throughputs and
# their ratios. Not a test: nothing is asserted.
#   BUILD=build-dir tools/bench-download.sh [rounds]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
ROUNDS=${1:-3}
SIZE=104857600

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

mkdir -p "$WORK/site"
head -c $SIZE /dev/urandom > "$WORK/site/package.bin"
PORT=$(python3 "$ROOT/tests/server/webserver.py" start --root "$WORK/site" --state "$STATE" --lifetime 900)
URL=http://127.0.0.1:$PORT/package.bin

wine_env_start "$BUILD/wineprefix-bench" >/dev/null 2>&1
# Wine's services start with the first program; give them no pipe of ours.
wine cmd /c exit </dev/null >/dev/null 2>&1
LOCAL="Z:$(echo "$WORK/wine.bin" | tr / '\\')"

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
wine_bytes=0; wine_secs=0; curl_bytes=0; curl_secs=0; page_bytes=0; page_secs=0
for round in $(seq "$ROUNDS"); do
  read -r bytes secs < <(wine "$BENCH" "$URL" "$LOCAL" 2>/dev/null | tr -d '\r')
  cmp -s "$WORK/wine.bin" "$WORK/site/package.bin" || { echo "DownloadPackageFile: file differs" >&2; exit 1; }
  wine_bytes=$((wine_bytes + bytes)); wine_secs=$(calc "$wine_secs + $secs")
  read -r cbytes csecs < <(curl -s -o "$WORK/curl.bin" -w '%{size_download} %{time_total}\n' "$URL")
  cmp -s "$WORK/curl.bin" "$WORK/site/package.bin" || { echo "curl: file differs" >&2; exit 1; }
  curl_bytes=$((curl_bytes + cbytes)); curl_secs=$(calc "$curl_secs + $csecs")
  rm -f "$WORK/wine.bin"
  read -r pbytes psecs < <(wine "$BENCH" "$URL" "$LOCAL" page $SIZE 2>/dev/null | tr -d '\r')
  cmp -s "$WORK/package.bin" "$WORK/site/package.bin" || { echo "Downloading page: file differs" >&2; exit 1; }
  page_bytes=$((page_bytes + pbytes)); page_secs=$(calc "$page_secs + $psecs")
  printf 'round %d: DownloadPackageFile %8.1f MB/s   curl %8.1f MB/s   Downloading page %8.1f MB/s\n' "$round" \
    "$(calc "$bytes / $secs / 1048576")" "$(calc "$cbytes / $csecs / 1048576")" "$(calc "$pbytes / $psecs / 1048576")"
  rm -f "$WORK/wine.bin" "$WORK/curl.bin" "$WORK/package.bin"
done

wine_rate=$(calc "$wine_bytes / $wine_secs / 1048576")
curl_rate=$(calc "$curl_bytes / $curl_secs / 1048576")
printf 'DownloadPackageFile: %.1f MB/s\n' "$wine_rate"
printf 'curl:                %.1f MB/s\n' "$curl_rate"
page_rate=$(calc "$page_bytes / $page_secs / 1048576")
printf 'Downloading page:    %.1f MB/s\n' "$page_rate"
printf 'ratio DownloadPackageFile / curl: %.3f\n' "$(calc "$wine_rate / $curl_rate")"
printf 'ratio Downloading page / DownloadPackageFile: %.3f\n' "$(calc "$page_rate / $wine_rate")"
