#!/usr/bin/env python3
"""Generates a product for tools/bench.sh and lays out its web site, served
at URL, with tools/make-site.py, whose zeppack packs every other file.

  bench-product.py --zeppack ZEPPACK --out DIR --base-url URL --packages N --files F --bytes B

N components, each with a package of F files of about B bytes (half to one
and a half times, text-like, so that packing shrinks them as it would
documents and programs) into a folder of the package's own, one registry
value, and for the first package a shortcut. Each component but the first
depends on the one at half its number. In DIR:

  site/           the web site: setup/zep.sif, packages/*.pki, mirror/bench/*
  zepsetup.sif    the local catalogue; bench.sh fills in @BASE_URL@,
                  @SOURCE@ and @DESTINATION@
  manifest        per file: its path on the mirror, 1 when packed, and its
                  path below the install folder
"""
import argparse
import os
import random
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_SITE = os.path.join(HERE, "make-site.py")
MIRROR = "mirror"


def text_pool(rng, size):
    """Words of a made-up language with numbers among them."""
    letters = "etaoinshrdlucmfwypvbgkjqxz"
    words = ["".join(rng.choices(letters, k=rng.randint(2, 9))) for _ in range(4000)]
    words += [str(rng.randint(0, 99999)) for _ in range(500)]
    pool = []
    length = 0
    while length < size:
        line = " ".join(rng.choices(words, k=12)) + "\r\n"
        pool.append(line)
        length += len(line)
    return "".join(pool).encode("ascii")


def catalogue(keys):
    lines = ["[Components]"] + keys + [""]
    for number, key in enumerate(keys, 1):
        lines += ["[Comp%s]" % key, "Name=Bench component %s" % key[1:], "PkgInfo=%s.pki" % key.lower(),
                  "PkgInfoLocation=packages", "Ver=1"]
        if number > 1:
            lines.append("DependOn1=%s" % keys[number // 2 - 1])
        lines.append("")
    return lines


def write_lines(path, lines):
    with open(path, "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zeppack", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--base-url", required=True)
    parser.add_argument("--packages", type=int, required=True)
    parser.add_argument("--files", type=int, required=True)
    parser.add_argument("--bytes", type=int, required=True)
    args = parser.parse_args()

    rng = random.Random(1999)
    shutil.rmtree(args.out, ignore_errors=True)
    templates, inputs = os.path.join(args.out, "templates"), os.path.join(args.out, "inputs")
    os.makedirs(templates)
    os.makedirs(inputs)
    pool = text_pool(rng, args.bytes * 2 + 4096)
    keys = ["C%04d" % number for number in range(1, args.packages + 1)]
    manifest = []
    for number, key in enumerate(keys, 1):
        package = key.lower()
        lines = ["[Package]", "Ver=1", "", "[Folders]", "1=${Target}\\" + package, "", "[Sources]",
                 "0=bench/" + package, "", "[Files]"]
        for index in range(1, args.files + 1):
            name = "%sf%04d.dat" % (package, index)
            size = rng.randint(args.bytes // 2, args.bytes * 3 // 2)
            start = rng.randint(0, len(pool) - size)
            with open(os.path.join(inputs, name), "wb") as f:
                f.write(pool[start:start + size])
            packed = index % 2 == 1
            source = name[:-1] + "_" if packed else name
            lines.append("@pack %s %s 0 1" % (name, source) if packed else "@plain %s 0 1" % name)
            manifest.append("%s/bench/%s/%s %d %s/%s" % (MIRROR, package, source, packed, package, name))
        lines += ["", "[Shortcuts]"]
        if number == 1:
            lines.append("Bench %s=${Target}\\%s\\%sf0001.dat,${Target}\\%s" % (key, package, package, package))
        lines += ["", "[RegEntries]", "2147483650,SOFTWARE\\ORBEL\\ZEP\\Bench,%s=1,1" % key]
        write_lines(os.path.join(templates, package + ".pki"), lines)
    write_lines(os.path.join(templates, "zep.sif"), ["[Product]", "Name=ZEP Bench", "Group=ZEP Bench", ""] +
                catalogue(keys))
    write_lines(os.path.join(templates, "zepsites.ini"),
                ["[Regions]", "1=Here", "", "[Locations]", "@BASE_URL@%s/=1,Loopback" % MIRROR])
    write_lines(os.path.join(args.out, "zepsetup.sif"),
                ["[Product]", "Name=ZEP Bench", "Destination=@DESTINATION@", "Group=ZEP Bench",
                 "LocationsInfo=zepsites.ini", "BaseURL=@BASE_URL@", "SetupInfoLocation=setup", "Source=@SOURCE@",
                 ""] + catalogue(keys))
    with open(os.path.join(args.out, "manifest"), "w", encoding="ascii") as f:
        f.write("\n".join(manifest) + "\n")
    result = subprocess.run([sys.executable, MAKE_SITE, "--zeppack", args.zeppack, "--setup-info",
                             os.path.join(args.out, "zepsetup.sif"), "--inputs", inputs, "--templates", templates,
                             "--base-url", args.base_url, "--out", os.path.join(args.out, "site")],
                            stdout=subprocess.DEVNULL)
    shutil.rmtree(inputs)
    return result.returncode


if __name__ == "__main__":
    sys.exit(main())
