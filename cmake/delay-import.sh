#!/bin/sh
# Makes a delay-load import library for a DLL out of the toolchain's own
# import library, so that every function it exports can be bound late.
#   delay-import.sh NM DLLTOOL IMPORT_LIBRARY DLL_NAME OUTPUT
set -eu
nm=$1 dlltool=$2 implib=$3 dll=$4 out=$5
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$nm" "$implib" | awk '$2 == "T" { print $3 }' | sort -u
} > "$out.def"
"$dlltool" --input-def "$out.def" --output-delaylib "$out" --dllname "$dll"
