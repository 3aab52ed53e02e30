#!/bin/sh
# Inputs and their streams made by the bzip2 command at block sizes 1 and 9.
set -eu
dir=$1
rm -rf "$dir"; mkdir -p "$dir"
: > "$dir/empty"
printf 'Z' > "$dir/one-byte"
head -c 1048576 /dev/urandom > "$dir/random-1m"
seq 1 2000000 | sed 's/$/ zep setup test line/' | head -c 10485760 > "$dir/text-10m"
for input in empty one-byte random-1m text-10m; do
  bzip2 -1 -c "$dir/$input" > "$dir/$input.1.bz2"
  bzip2 -9 -c "$dir/$input" > "$dir/$input.9.bz2"
done
touch "$dir/stamp"
