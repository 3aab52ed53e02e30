#!/usr/bin/env bash
# Installs the demo product with the wizard, from a web site served on this
# machine: builds zepsetup.exe, the demo's programs and its site
# (build/demo-site, laid out by tools/make-site.py), serves it on 127.0.0.1,
# sets up build/demo-run (the program, its setup information file pointing
# at the server, the license) and runs the wizard there in the Wine prefix
# build/wineprefix-demo, which is kept between demos; the product installed
# by an earlier demo is taken away first. With $DISPLAY set the user walks
# the wizard; without, the robot walks the install road on a virtual display
# and keeps a picture of every page in build/demo-run/shots. Either way it
# ends by printing what was installed.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export BUILD
"$ROOT/tools/setup.sh"

cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD/native" -j2 --target zeppack
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$BUILD" -j2 --target zepsetup demowalk demo_inputs

RUN=$BUILD/demo-run
SITE=$BUILD/demo-site
SHOTS=$RUN/shots
rm -rf "$RUN" "$SITE"
mkdir -p "$SHOTS" "$SITE"
cp "$BUILD/bin/zepsetup.exe" "$BUILD/bin/globe.ani" "$ROOT/demo/license.txt" "$RUN/"

user_walks=${DISPLAY:+yes}
. "$ROOT/tools/wine-env.sh"
wine_env_start "$BUILD/wineprefix-demo"
state=$RUN/web-server.state
stop_all() {
  python3 "$ROOT/tests/server/webserver.py" stop --state "$state" >/dev/null 2>&1 || true
  wine_env_stop
}
trap stop_all EXIT
port=$(python3 "$ROOT/tests/server/webserver.py" start --root "$SITE" --state "$state" --lifetime 3600)
url=http://127.0.0.1:$port/
# Laid out as a publisher lays out a site, for the address it is served at.
zeppack=$BUILD/native/tools/zeppack
python3 "$ROOT/tools/make-site.py" --zeppack "$zeppack" --setup-info "$ROOT/demo/zepsetup.sif" \
  --templates "$ROOT/demo/site" --inputs "$BUILD/demo/bin" --inputs "$ROOT/demo/files" --inputs "$ROOT/demo" \
  --base-url "$url" --out "$SITE"
# The site is signed with a key kept between demos, outside the repository;
# keygen prints its public half only once, so that is kept beside it.
key=$BUILD/demo-key.pem
if [ ! -f "$key" ] || [ ! -s "$BUILD/demo-key.pub" ]; then
  rm -f "$key" "$BUILD/demo-key.pub"
  "$zeppack" keygen "$key" >"$BUILD/demo-key.pub"
fi
"$zeppack" sign "$key" "$SITE/setup/zep.sif" "$SITE/setup/zepsites.ini" "$SITE"/packages/*.pki
downloads=$(winepath -w "$RUN/downloads")
sed -e "s|^BaseURL=.*|BaseURL=$url|" -e "s|^Source=.*|Source=${downloads//\\/\\\\}|" \
  -e "/^BaseURL=/a $(cat "$BUILD/demo-key.pub")" "$ROOT/demo/zepsetup.sif" >"$RUN/zepsetup.sif"
echo "demo: web site $SITE on $url"

# Each demo starts from a computer that never had the product.
ZEP_KEY='HKLM\SOFTWARE\ORBEL\ZEP'
ENTRY_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ORBEL ZEP Client'
GROUP_DIR="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZEP"
install_folder() {  # where the wizard recorded the product, if anywhere
  wine reg query "$ZEP_KEY\\Client" /v Path 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p' || true
}
installed=$(install_folder)
[ -n "$installed" ] && rm -rf "$(winepath -u "$installed")"
rm -rf "$GROUP_DIR" "$WINEPREFIX/drive_c/Program Files/ORBEL"
wine reg delete "$ZEP_KEY" /f >/dev/null 2>&1 || true
wine reg delete "$ENTRY_KEY" /f >/dev/null 2>&1 || true
# Without a window manager Wine waits about two seconds at every window that
# closes unless it draws the windows itself; a user's desktop has one.
if [ -n "$user_walks" ]; then
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
else
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi

echo "demo: running zepsetup.exe in $RUN on display $DISPLAY"
(cd "$RUN" && exec wine zepsetup.exe) &
setup_pid=$!
if [ -n "$user_walks" ]; then
  echo "demo: walk the wizard to its end"
  wait "$setup_pid" || true
else
  walked=yes
  wine "$BUILD/bin/demowalk.exe" zepsetup.exe "$(winepath -w "$SHOTS")" 60 | tr -d '\r' || walked=
  # The walk ends once the program has; a walk that failed leaves it to the
  # wine server's end.
  [ -n "$walked" ] && wait "$setup_pid"
  . "$ROOT/tools/pictures.sh"
  pictures_to_png "$SHOTS"
  contact_sheet "$SHOTS/contact-sheet.png" "$SHOTS"/[0-9]*.png -tile 3x -geometry +6+6 -background '#808080'
  echo "demo: pictures of the pages and their contact sheet in $SHOTS"
  pictures_report
  [ -n "$walked" ] || { echo "demo: the robot's walk failed"; exit 1; }
fi

echo
target=$(install_folder)
if [ -z "$target" ] || [ ! -d "$(winepath -u "$target")" ]; then
  echo "demo: nothing was installed"
  exit 0
fi
echo "== files under $target"
(cd "$(winepath -u "$target")" && find . -type f -printf '%-28P %8s bytes\n' | sort)
echo "== package files downloaded into $RUN/downloads"
(cd "$RUN/downloads" && ls -m)
echo "== shortcuts in the Start menu group ZEP"
for link in "$GROUP_DIR"/*.lnk; do
  [ -e "$link" ] || continue
  # A shell link keeps its target as a plain path among its other records.
  echo "$(basename "$link" .lnk) -> $(strings "$link" | grep -m1 '^[A-Z]:\\' || echo '?')"
done
echo "== registry"
for key in "$ZEP_KEY\\Client" "$ZEP_KEY\\Demo" "$ENTRY_KEY"; do
  wine reg query "$key" /s 2>/dev/null | tr -d '\r' | sed '/^$/d' || true
done
if [ -f "$(winepath -u "$target")/bin/zeptool.exe" ]; then
  echo "== the installed ZEP Tool, run"
  wine "$target\\bin\\zeptool.exe" | tr -d '\r'
fi
