#!/bin/sh
# A tiny volume for the tests that meet a full disk: a tmpfs of the given
# size mounted on a folder of the build tree (root, or sudo without a
# password, is needed to mount), and its removal. With DRIVE (a Wine prefix's
# dosdevices entry, such as PREFIX/dosdevices/y:) the volume is also a drive
# of its own there, so that free-space queries see its size.
#   small-volume.sh mount FOLDER SIZE [DRIVE]   e.g. mount build/test-scratch/small-volume 256k
#   small-volume.sh unmount FOLDER [DRIVE]
set -eu
SUDO=; [ "$(id -u)" = 0 ] || SUDO="sudo -n"
case "${1:-}" in
  mount)
    mkdir -p "$2"
    if mountpoint -q "$2"; then $SUDO umount "$2"; fi
    $SUDO mount -t tmpfs -o "size=$3,mode=1777" zep-small-volume "$2"
    if [ -n "${4:-}" ] && [ -d "$(dirname "$4")" ]; then ln -sfn "$(cd "$2" && pwd)" "$4"; fi ;;
  unmount)
    if [ -n "${3:-}" ] && [ -L "$3" ]; then rm -f "$3"; fi
    if mountpoint -q "$2"; then $SUDO umount "$2"; fi ;;
  *)
    echo "usage: $0 mount FOLDER SIZE [DRIVE] | unmount FOLDER [DRIVE]" >&2; exit 2 ;;
esac
