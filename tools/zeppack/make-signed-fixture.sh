#!/bin/sh
# A signed catalogue for the wizard's signature tests under Wine:
# key.pem, public.txt (its PublicKey= line), sites.ini and zep.sif with its
# signature zep.sif.sig, made in OUTDIR by the native zeppack.
# usage: make-signed-fixture.sh ZEPPACK OUTDIR
set -eu
[ $# -eq 2 ] || { echo "usage: $0 ZEPPACK OUTDIR" >&2; exit 2; }
zeppack=$1 out=$2
rm -rf "$out"
mkdir -p "$out"
"$zeppack" keygen "$out/key.pem" >"$out/public.txt"
printf '[Regions]\r\n1=Europe\r\n[Locations]\r\nhttp://127.0.0.1:9/=1,Nowhere\r\n' >"$out/sites.ini"
printf '[Components]\r\nBase\r\n[CompBase]\r\nName=ZEP Base\r\nPkgInfo=base.pki\r\nVer=257\r\n' >"$out/zep.sif"
"$zeppack" sign -S 20261208093000 "$out/key.pem" "$out/zep.sif" "$out/sites.ini" >/dev/null
