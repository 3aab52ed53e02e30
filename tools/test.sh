#!/usr/bin/env bash
# Builds everything and runs every test: the native tools and format tests,
# then the unit and end-to-end tests of the Windows program under Wine in a
# fresh prefix. Screenshots of the run land in build/artefacts.
# Arguments go to ctest, e.g. tools/test.sh -R unit.Registry
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export BUILD
"$ROOT/tools/setup.sh"

jobs=$(nproc)
cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD/native" -j"$jobs"
# The fuzz targets need clang: a native build of their own (tests/fuzz).
"$ROOT/tools/fuzz.sh" --build
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$BUILD" -j"$jobs"

# A run that was killed may have left the tests' tiny volume mounted.
"$ROOT/tools/small-volume.sh" unmount "$BUILD/test-scratch/small-volume"
rm -rf "$BUILD/artefacts" "$BUILD/test-scratch"
cmake "$BUILD" >/dev/null   # recreates the scratch folders
mkdir -p "$BUILD/artefacts"

. "$ROOT/tools/wine-env.sh"
wine_env_start "$BUILD/wineprefix-test" fresh
trap wine_env_stop EXIT
# Wine waits about two seconds for a window manager to confirm each top-level
# window that closes, and the test display has none. Unmanaged windows close
# at once; they differ only by the caption Wine draws itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

passed=0; failed=0
run_ctest() {  # build tree
  local log; log=$(mktemp)
  (cd "$1" && ctest --output-on-failure --timeout 900 "${@:2}") 2>&1 | tee "$log" || true
  local total fail
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n1)
  fail=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -n1)
  if grep -q 'No tests were found' "$log"; then total=0; fail=0; fi
  if [ -z "$total" ]; then total=1; fail=1; fi
  passed=$((passed + total - fail)); failed=$((failed + fail))
  rm -f "$log"
}
run_ctest "$BUILD/native" -j"$jobs" "$@"
run_ctest "$BUILD/fuzz" -j"$jobs" "$@"
run_ctest "$BUILD" "$@"

. "$ROOT/tools/pictures.sh"
pictures_to_png "$BUILD/artefacts"
# One contact sheet per road of the acceptance suite, its pages in the order met.
for road in $(ls "$BUILD"/artefacts/wizard-acceptance_*.png 2>/dev/null | sed 's/.*wizard-acceptance_\([^_]*\)_.*/\1/' | sort -u)
do
  contact_sheet "$BUILD/artefacts/contact-acceptance-$road.png" -label '%t' -geometry +4+4 -tile 4x \
    "$BUILD"/artefacts/wizard-acceptance_"$road"_*.png
done
# The passive road's pages at 96 DPI (left) and 144 DPI (right).
pairs=()
for shot in "$BUILD"/artefacts/wizard-acceptance_passive_*.png; do
  # The robot samples the pages: a page passed in a moment may be missing from one run.
  [ -e "${shot/_passive_/_passive-144dpi_}" ] && pairs+=("$shot" "${shot/_passive_/_passive-144dpi_}")
done
[ ${#pairs[@]} = 0 ] || contact_sheet "$BUILD/artefacts/contact-dpi-96-144.png" -label '%t' -geometry +4+4 -tile 2x \
  "${pairs[@]}"
echo "screenshots: $BUILD/artefacts"
pictures_report
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
