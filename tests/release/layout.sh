#!/bin/sh
# The layout the unattended suite's download-only run left in the test
# prefix, carried to a computer that never saw the product or the site: a
# fresh prefix, the site's address leading nowhere. The layout's own
# zepsetup.exe installs Tools and its prerequisite from it with /source:,
# the catalogue verified against the publisher's signature it carries.
#
#   tests/release/layout.sh      (under Wine's environment, after e2e.UnattendedTest)
set -eu
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "layout check: $*" >&2; exit 1; }

made="$WINEPREFIX/drive_c/zep-road-unattended"
[ -f "$made/zepsetup.exe" ] || fail "no layout in $made: run e2e.UnattendedTest first"
carried="$BUILD/test-scratch/layout-carried"
rm -rf "$carried" && cp -r "$made" "$carried"
sed -i 's#^BaseURL=.*#BaseURL=http://127.0.0.1:9/\r#' "$carried/zepsetup.sif"

. "$ROOT/tools/wine-env.sh"
wine_env_start "$BUILD/wineprefix-layout" fresh >/dev/null
trap 'wine_env_stop; rm -rf "$WINEPREFIX"' EXIT
code=0
(cd "$carried" && wine zepsetup.exe /quiet /accept-license /components:Tools "/source:$(winepath -w "$carried")" \
  "/log:$(winepath -w "$carried/setup.log")") || code=$?
[ "$code" = 0 ] || fail "the install ended with $code: $(tail -n3 "$carried/setup.log")"
grep -q "verified: release" "$carried/setup.log" || fail "the catalogue was not verified"
[ "$(ls "$WINEPREFIX/drive_c/zep-road/bin" | tr '\n' ' ')" = "base.dll nt.dll tools.exe " ] ||
  fail "installed: $(ls "$WINEPREFIX/drive_c/zep-road/bin")"
echo "layout check: installed on a fresh computer from the layout alone"
