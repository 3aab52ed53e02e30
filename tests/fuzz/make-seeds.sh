#!/bin/sh
# Writes the seed corpora of the fuzz targets into corpus/ beside this script,
# from the project's fixtures and packages that zeppack makes. The seeds are
# checked in; run this again only to change them. It leaves the regression
# inputs (regress-*) that fixed findings added.
# Usage: make-seeds.sh ZEPPACK   (e.g. build/native/tools/zeppack)
set -eu
zeppack=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../..
corpus=$here/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$corpus/package_file" "$corpus/package_info" "$corpus/install_log" "$corpus/catalogue" \
  "$corpus/sites" "$corpus/version_date"

# Compressed package files: empty, short, runs, text, each block size
# family, a long header text; a plain bzip2 stream and a package cut short.
pack() {  # input package options...
  input=$1 package=$2; shift 2
  TZ=UTC "$zeppack" -t 946031400 -v 1.2.0.7 "$@" "$input" "$corpus/package_file/$package" >/dev/null
}
: >"$tmp/empty"
printf 'hello\n' >"$tmp/hello"
awk 'BEGIN { for (i = 0; i < 3000; i++) printf "a"; for (i = 0; i < 300; i++) printf "b" }' >"$tmp/runs"
pack "$tmp/empty" empty.pkg -b 1
pack "$tmp/hello" hello.pkg -b 9
pack "$tmp/runs" runs.pkg -b 5
pack "$root/demo/license.txt" license.pkg -b 9 -T "license text of the demo, with a longer header text"
pack "$root/demo/zepsetup.sif" setup.pkg -b 1 -v 65535.65535.32768.1
# Several blocks at block size 1 in a few hundred bytes (a short period packs
# tight); in the second, the third block's bytes spell the block magic in its
# head, a false magic where the parallel decoder must not cut.
awk 'BEGIN { srand(3); for (i = 0; i < 97; i++) p = p sprintf("%c", 33 + int(rand() * 90));
             for (i = 0; i < 2600; i++) printf "%s", p }' >"$tmp/blocks"
{ head -c 110000 "$tmp/blocks"
  awk 'BEGIN { for (i = 0; i < 4400; i++) printf "!#$\047*-.13679;<?p\220\360!#$*-.1" }'; } >"$tmp/spells"
pack "$tmp/blocks" blocks.pkg -b 1
pack "$tmp/spells" spells.pkg -b 1
bzip2 -9 -c "$tmp/hello" >"$corpus/package_file/hello.bz2"
head -c 60 "$corpus/package_file/license.pkg" >"$corpus/package_file/cut.pkg"

# Package info files: the lines of the unit tests and of the acceptance roads.
printf '[Package]\r\nVer=257\r\n[Folders]\r\n1=${Target}\\bin\r\n2=${Target}\r\n[Sources]\r\n0=files\r\n[Files]\r\n%s' \
  'base.dll=,01/02/2003 04:05:06,4,,,0,1\r\nbase.ini=,,4,,,0,2,1\r\nnt.dll=,,4,,,0,1,2\r\n9x.dll=,,4,,,0,1,4\r\n' \
  >"$corpus/package_info/road.pki"
printf '[Shortcuts]\r\nBase=${Target}\\bin\\base.dll,\r\n' >>"$corpus/package_info/road.pki"
cat >"$corpus/package_info/lines.pki" <<'PKI'
[Package]
Ver=258
[Folders]
0=C:\zero
1=C:\one,1
17=${Target}\seventeen,4
4294967295=C:\wrapped
[Sources]
0=pub/base
2=pub/a,b,c
[Files]
a.dll=1.2.3.4,12/24/1999 10:30:00,100,,,0,1
c.dll=,,300,c.pk_,0,2,1,5
#c.dll=1.0,,1,,,0,1
e.dll=,,1,,,0,1,
f.dll=,,1,,,,,3
..\..\evil.dll=1.0,,1,,,0,1
ok.dll=1.0,,1,sub/x.dll,,0,1
[Shortcuts]
App=${Target}\app.exe,${Target}\work,dir
Trail=C:\y.exe,
[RegEntries]
2147483650,SOFTWARE\ZEP,Name=1,text,5
-2147483646,Key,V=4,42
2147483649,K,a,b=3,d,
2147483650,Software\a=b,Name=1,x
PKI
printf '[Package]\nVer=1\n[Files]\nno equals sign\ng.dll=,,1,,\n[RegEntries]\nonly,one=1,x\n' \
  >"$corpus/package_info/dropped.pki"

# Install logs: the writer's records, then an unknown kind and records cut short.
file='F\001\000\000\000\006\000a.dll\000'
printf "F\003\000\001\000\006\000a.dll\000D\160\021\005\000\005\000C:\\\\x\000L\000\000\006\000abcde\000$file" \
  >"$corpus/install_log/records.log"
printf "${file}XD\001\000\000\000\005\000C:\\\\x\000$file" >"$corpus/install_log/unknown.log"
printf "${file}F\001\000\000\000\006\000a.d" >"$corpus/install_log/cut.log"

# Setup information files: the demo's alone, and with an updated list that
# adds keys, moves a dependency and closes a cycle.
cp "$root/demo/zepsetup.sif" "$corpus/catalogue/demo.sif"
{ cat "$root/demo/zepsetup.sif"; printf '\000'
  printf '[Components]\r\nNew1\r\nCore\r\nViewer\r\n[CompNew1]\r\nPkgInfo=new.pki\r\nDependOn1=Viewer\r\nVer=-1\r\n'
  printf '[CompCore]\r\nName=\r\nPkgInfo=core2.pki\r\nDependOn1=New1\r\nVer=514\r\n[CompViewer]\r\nPkgInfo=v.pki\r\n'
} >"$corpus/catalogue/merged.sif"
printf '[Product]\r\nName=ZEP\r\n[Components]\r\nSelf\r\nA\r\n[CompSelf]\r\nPkgInfo=s.pki\r\nDependOn1=Self\r\n' \
  >"$corpus/catalogue/self.sif"

# Download-sites lists: the acceptance road's, and regions past 16, region 0,
# a line without ",".
printf '[Regions]\r\n1=Europe\r\n2=America\r\n[Locations]\r\n%s%s' \
  'http://127.0.0.1:8642/broken/=1,Broken mirror\r\nhttp://127.0.0.1:8642/mirror=1,Good mirror\r\n' \
  'http://h/far/=2,Far, far\r\n' >"$corpus/sites/road.ini"
printf '; sites\r\n[Regions]\r\n0=Zero\r\n17=Seventeen\r\n1=A\r\n1=Again\r\n[Locations]\r\n%s' \
  'http://x/=17,S\r\nno comma=1\r\n' >"$corpus/sites/odd.ini"

# Numbers, versions and dates: dotted versions, signed and wrapping numbers,
# and the parsed date of 12/24/1999 10:30:00 as its eight bytes.
printf '4.71.1712.5' >"$corpus/version_date/version"
printf '65536.1.2.3.4.5' >"$corpus/version_date/long-version"
printf -- ' -2147483649' >"$corpus/version_date/number"
printf '\000\000\000\000\316\324\341\100' >"$corpus/version_date/date"
