#!/usr/bin/env bash
# The program as it ships, in dist/: zepsetup.exe of a release build,
# stripped, its debug information beside it in zepsetup.debug (the program
# names that file, so a debugger finds it), signed with Authenticode by
# osslsigncode; the file it reads beside itself (globe.ani); and SHA256SUMS
# of them all.
#
#   tools/release.sh [--cert CERT.pem --key KEY.pem]
#
# Without a certificate a test certificate is made for this run; nobody
# trusts it, and its certificate is left in $BUILD/release-signing.pem so
# that the signature can be checked. BUILD names the build tree (default
# build/, configured and built when needed), DIST the output folder (default
# dist/, made anew).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
DIST=${DIST:-$ROOT/dist}
cert="" key=""
while [ $# -gt 0 ]; do
  case $1 in
    --cert) cert=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    *) echo "usage: $0 [--cert CERT.pem --key KEY.pem]" >&2; exit 2 ;;
  esac
done
if { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
  echo "release: --cert and --key go together" >&2; exit 2
fi
BUILD=$BUILD "$ROOT/tools/setup.sh"

# Optimised, with the debug information that is split off below.
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target zepsetup

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$DIST"
mkdir -p "$DIST"
objcopy=x86_64-w64-mingw32-objcopy
$objcopy --only-keep-debug "$BUILD/bin/zepsetup.exe" "$DIST/zepsetup.debug"
(cd "$DIST" && $objcopy --strip-all --add-gnu-debuglink=zepsetup.debug "$BUILD/bin/zepsetup.exe" "$work/zepsetup.exe")

if [ -z "$cert" ]; then
  cert=$BUILD/release-signing.pem key=$work/release-signing.key
  openssl req -x509 -newkey rsa:3072 -sha256 -days 30 -nodes -subj "/CN=ZEP Setup test signing" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$key" -out "$cert" 2>/dev/null
fi
osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "ZEP Setup" \
  -in "$work/zepsetup.exe" -out "$DIST/zepsetup.exe" >/dev/null
cp "$ROOT/res/globe.ani" "$DIST/"
(cd "$DIST" && sha256sum zepsetup.exe zepsetup.debug globe.ani > SHA256SUMS)
echo "release: $DIST ($(du -k "$DIST/zepsetup.exe" | cut -f1) KB program), signed with $cert"
