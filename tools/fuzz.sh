#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz natively with clang into $BUILD/fuzz
# and runs each for the given seconds (default 60), JOBS at a time (default
# 1), through their ctest tests; prints one line per target: executions,
# coverage, corpus and result. Names of targets (e.g. catalogue sites) choose
# some of them. "tools/fuzz.sh --build" only builds them (tools/test.sh).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export BUILD
"$ROOT/tools/setup.sh"

CC=clang CXX=clang++ cmake -S "$ROOT/tests/fuzz" -B "$BUILD/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEP_BZIP2_SOURCE="$BUILD/deps/bzip2-src/src" >/dev/null
cmake --build "$BUILD/fuzz" -j"$(nproc)"
[ "${1:-}" = "--build" ] && exit 0

seconds=${1:-60}
shift || true
pattern='^fuzz\.'
[ $# = 0 ] || pattern="^fuzz\\.($(IFS='|'; echo "$*"))\$"
rm -f "$BUILD"/fuzz/work/*/summary
status=0
(cd "$BUILD/fuzz" && ZEP_FUZZ_SECONDS=$seconds ctest -R "$pattern" -j"${JOBS:-1}" --timeout $((seconds + 300)) \
  --output-on-failure) || status=$?
cat "$BUILD"/fuzz/work/*/summary 2>/dev/null || true
exit "$status"
