#!/usr/bin/env bash
# Shows the wizard as a user sees it: builds zepsetup.exe, lays out a setup
# folder (the program, its globe and the files of demo/) in build/demo-run,
# and runs it there in a Wine prefix that is kept between demos. On $DISPLAY
# when one is set, else on a virtual display of its own; a screenshot of
# the first window lands in build/demo-run/screenshot.png.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export BUILD
"$ROOT/tools/setup.sh"

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$BUILD" -j2 --target zepsetup robotdriver

RUN=$BUILD/demo-run
mkdir -p "$RUN"
cp "$BUILD/bin/zepsetup.exe" "$BUILD/bin/globe.ani" "$ROOT"/demo/* "$RUN/"

. "$ROOT/tools/wine-env.sh"
wine_env_start "$BUILD/wineprefix-demo"
trap wine_env_stop EXIT
echo "demo: running zepsetup.exe in $RUN on display $DISPLAY"

(cd "$RUN" && wine zepsetup.exe) &
setup_pid=$!
if wine "$BUILD/bin/robot.exe" shot zepsetup.exe "$(winepath -w "$RUN/screenshot.bmp")"; then
  convert "$RUN/screenshot.bmp" "$RUN/screenshot.png" && rm -f "$RUN/screenshot.bmp"
  echo "demo: screenshot $RUN/screenshot.png"
fi
if [ -z "${WINE_ENV_XVFB_PID:-}" ]; then
  wait "$setup_pid" || true     # the user walks the wizard to its end
else
  kill "$setup_pid" 2>/dev/null || true   # nobody can see a virtual display
fi
