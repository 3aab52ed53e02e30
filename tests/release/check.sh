#!/bin/sh
# Makes the release with tools/release.sh into DIST and checks it as a
# user's computer and a publisher would: the Authenticode signature
# verifies against the certificate it was made with, every file matches
# SHA256SUMS, the program carries no debug sections (only the link to
# zepsetup.debug), and it starts: a refused option ends it with 87 and a log
# whose first line names the build's version.
#
#   tests/release/check.sh DIST VERSION      (under Wine's environment)
set -eu
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
DIST=$1 VERSION=$2
fail() { echo "release check: $*" >&2; exit 1; }

DIST="$DIST" "$ROOT/tools/release.sh" >/dev/null
osslsigncode verify -CAfile "$BUILD/release-signing.pem" -in "$DIST/zepsetup.exe" >/dev/null 2>&1 ||
  fail "the signature does not verify"
(cd "$DIST" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
if x86_64-w64-mingw32-objdump -h "$DIST/zepsetup.exe" | grep -q ' \.debug_'; then
  fail "the program carries debug sections"
fi
x86_64-w64-mingw32-objdump -h "$DIST/zepsetup.exe" | grep -q ' \.gnu_debuglink ' || fail "no link to zepsetup.debug"

log=$(mktemp -d)/start.log
code=0
wine "$DIST/zepsetup.exe" /quiet /frobnicate "/log:$(winepath -w "$log" 2>/dev/null)" || code=$?
[ "$code" = 87 ] || fail "the program ended with $code, not 87"
head -n1 "$log" | grep -q "ZEP Setup $VERSION started: /quiet /frobnicate" || fail "log: $(head -n1 "$log")"
echo "release check: signed, summed, stripped, starts ($(du -k "$DIST/zepsetup.exe" | cut -f1) KB)"
