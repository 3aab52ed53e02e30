#!/bin/sh
# A tiny volume for the tests that meet a full disk: a tmpfs of the given
# size mounted on a folder of the build tree (root, or sudo without a
# password, is needed to mount), and its removal.
#   small-volume.sh mount FOLDER SIZE     e.g. mount build/test-scratch/small-volume 256k
#   small-volume.sh unmount FOLDER
set -eu
SUDO=; [ "$(id -u)" = 0 ] || SUDO="sudo -n"
case "${1:-}" in
  mount)
    mkdir -p "$2"
    if mountpoint -q "$2"; then $SUDO umount "$2"; fi
    $SUDO mount -t tmpfs -o "size=$3,mode=1777" zep-small-volume "$2" ;;
  unmount)
    if mountpoint -q "$2"; then $SUDO umount "$2"; fi ;;
  *)
    echo "usage: $0 mount FOLDER SIZE | unmount FOLDER" >&2; exit 2 ;;
esac
