#!/usr/bin/env bash
# Installs what the build and the tests need, then builds the two third-party
# libraries for the target into the build tree. Safe to run again: every step
# is skipped when its result is already there. SETUP_EXTRA_PACKAGES names
# Debian packages a caller needs beyond those (the benchmark's plotting).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
DEPS=$BUILD/deps
PACKAGES="g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 wine xvfb xauth
  imagemagick bzip2 fonts-wine fonts-liberation cmake googletest g++ make python3 curl dpkg-dev libbz2-dev libssl-dev
  nginx openssl osslsigncode clang libclang-rt-14-dev llvm ${SETUP_EXTRA_PACKAGES:-}"

missing=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' $PACKAGES 2>/dev/null \
          | awk '$1 != "ii" {print $2}'; \
          for p in $PACKAGES; do dpkg-query -W "$p" >/dev/null 2>&1 || echo "$p"; done)
if [ -n "$missing" ]; then
  echo "setup: installing $(echo $missing | tr '\n' ' ')"
  SUDO=; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
fi

mkdir -p "$DEPS"
CC=x86_64-w64-mingw32-gcc-posix
AR=x86_64-w64-mingw32-ar

# libbz2 from Debian's source package; the deb-src entry lives only for the
# download and the source stays in the build tree (the fuzz targets build it
# natively from there).
if [ ! -f "$DEPS/bzip2/lib/libbz2.a" ] || [ ! -f "$DEPS/bzip2-src/src/bzlib.h" ]; then
  SUDO=; [ "$(id -u)" = 0 ] || SUDO=sudo
  SRCLIST=/etc/apt/sources.list.d/zepsetup-bzip2-src.sources
  work=$DEPS/bzip2-src; rm -rf "$work"; mkdir -p "$work"
  trap '$SUDO rm -f "$SRCLIST"' EXIT
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    | $SUDO tee "$SRCLIST" >/dev/null
  $SUDO apt-get update -q -o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$(dirname "$SRCLIST")" \
    -o APT::Get::List-Cleanup=0 >/dev/null
  (cd "$work" && apt-get source -q --download-only bzip2 >/dev/null 2>&1 && dpkg-source -x bzip2_*.dsc src >/dev/null 2>&1)
  $SUDO rm -f "$SRCLIST"; trap - EXIT
  $SUDO apt-get update -q >/dev/null
  mkdir -p "$DEPS/bzip2/lib" "$DEPS/bzip2/include" "$work/obj"
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    $CC -O2 -D_FILE_OFFSET_BITS=64 -c "$work/src/$f.c" -o "$work/obj/$f.o"
  done
  $AR rcs "$DEPS/bzip2/lib/libbz2.a" "$work"/obj/*.o
  cp "$work/src/bzlib.h" "$DEPS/bzip2/include/"
  echo "setup: built $DEPS/bzip2/lib/libbz2.a"
fi

# GoogleTest for the target, from Debian's sources.
if [ ! -f "$DEPS/gtest/lib/libgtest.a" ]; then
  rm -rf "$DEPS/gtest-build"
  cmake -S /usr/src/googletest -B "$DEPS/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
    -DCMAKE_INSTALL_PREFIX="$DEPS/gtest" -DCMAKE_CXX_FLAGS="-static" >/dev/null
  cmake --build "$DEPS/gtest-build" -j"$(nproc)" >/dev/null
  cmake --install "$DEPS/gtest-build" >/dev/null
  echo "setup: built $DEPS/gtest/lib/libgtest.a"
fi
