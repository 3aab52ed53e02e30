#!/usr/bin/env python3
"""Lays out the demo product's web site: the setup folder (setup/zep.sif),
the package info files (packages/*.pki) and, on every mirror that the sites
list names, the package files.

The package info files are made from the templates in demo/site/ (or
--templates, which holds zep.sif, zepsites.ini and the *.pki templates of
another product), whose Files sections name the files to publish instead of
describing them:

  @pack INPUT PACKAGE SOURCE FOLDER [FLAGS]   compressed by zeppack into PACKAGE
  @plain INPUT SOURCE FOLDER [FLAGS]          published as it is

so that every size, version and date comes from the very file published.
INPUT is looked up in the --inputs folders in turn. The sites list itself
is written by tools/demo.sh, which knows the server's port.

  make-site.py --zeppack ZEPPACK --inputs DIR [--inputs DIR...] --out SITE [--templates DIR] [--check]

--check then unpacks every package with zeppack -x and compares it with its
input; the exit code is 1 when anything differs.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TEMPLATES = os.path.join(HERE, "site")
BASE_URL = "@BASE_URL@"


def fail(message):
    sys.exit("make-site: " + message)


def mirror_paths(templates):
    """The folders below the server's root that the sites list points at."""
    paths = []
    with open(os.path.join(templates, "zepsites.ini"), encoding="ascii") as f:
        for line in f:
            if line.startswith(BASE_URL):
                paths.append(line[len(BASE_URL):].split("=", 1)[0].strip("/"))
    return paths


def find_input(name, folders):
    for folder in folders:
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            return path
    fail("%s is in none of %s" % (name, ", ".join(folders)))


def section_entries(lines, section):
    entries, inside = {}, False
    for line in lines:
        if line.startswith("["):
            inside = line.strip().lower() == "[%s]" % section.lower()
        elif inside and "=" in line:
            key, value = line.split("=", 1)
            entries[key.strip()] = value.strip()
    return entries


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def local_date(seconds):
    """The form zeppack prints and the wizard reads back: local time, month first."""
    return time.strftime("%m/%d/%Y %H:%M:%S", time.localtime(seconds))


class Site:
    def __init__(self, args):
        self.args = args
        self.mirrors = [os.path.join(args.out, path) for path in mirror_paths(args.templates)]
        self.packed = []  # (package path, input path)

    def publish(self, path, source_dir):
        for mirror in self.mirrors:
            folder = os.path.join(mirror, source_dir)
            os.makedirs(folder, exist_ok=True)
            shutil.copy2(path, folder)

    def files_line(self, marker, sources, scratch):
        words = marker.split()
        kind, args = words[0], words[1:]
        if kind == "@pack" and len(args) in (4, 5):
            name, package, source, folder = args[:4]
        elif kind == "@plain" and len(args) in (3, 4):
            name, source, folder = args[:3]
            package = name
        else:
            fail("cannot read the line " + marker)
        flags = args[-1] if len(args) == (5 if kind == "@pack" else 4) else None
        if source not in sources:
            fail("%s names source %s, which the Sources section lacks" % (name, source))
        path = find_input(name, self.args.inputs)
        if kind == "@plain":
            self.publish(path, sources[source])
            line = "%s=,%s,%d,,,%s,%s" % (name, local_date(int(os.path.getmtime(path))), os.path.getsize(path),
                                          source, folder)
            return line + ("," + flags if flags else ""), "%s=%s" % (name, hashlib.sha256(read_bytes(path)).hexdigest())
        packed = os.path.join(scratch, package)
        command = [self.args.zeppack, "-s", source, "-f", folder] + (["-F", flags] if flags else []) + [path, packed]
        result = subprocess.run(command, stdout=subprocess.PIPE, universal_newlines=True)
        if result.returncode != 0:
            fail("zeppack failed on " + name)
        self.publish(packed, sources[source])
        self.packed.append((packed, path))
        files_line, hash_line = result.stdout.splitlines()
        return files_line, hash_line

    def package_info(self, template, scratch):
        with open(os.path.join(self.args.templates, template), encoding="ascii") as f:
            lines = f.read().splitlines()
        sources = section_entries(lines, "Sources")
        # The hashes let the wizard refuse a mirror's file that is not the one packed here.
        out, hashes = [], ["[Hashes]"]
        for line in lines:
            if line.startswith("@"):
                files_line, hash_line = self.files_line(line, sources, scratch)
                out.append(files_line)
                hashes.append(hash_line)
            else:
                out.append(line)
        out += hashes
        with open(os.path.join(self.args.out, "packages", template), "w", encoding="ascii", newline="\r\n") as f:
            f.write("\n".join(out) + "\n")

    def check(self, scratch):
        bad = 0
        for packed, original in self.packed:
            folder = os.path.join(scratch, "unpacked", os.path.basename(packed))
            os.makedirs(folder)
            result = subprocess.run([self.args.zeppack, "-x", packed, folder], stdout=subprocess.DEVNULL)
            unpacked = [os.path.join(folder, name) for name in os.listdir(folder)]
            same = result.returncode == 0 and len(unpacked) == 1 and read_bytes(unpacked[0]) == read_bytes(original)
            print("%s %s" % ("ok  " if same else "BAD ", os.path.basename(packed)))
            bad += not same
        return bad == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zeppack", required=True)
    parser.add_argument("--inputs", action="append", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--templates", default=TEMPLATES)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    if not os.access(args.zeppack, os.X_OK):
        fail("no zeppack at %s: build it natively first (see docs/publishers.md, Packing tool)" % args.zeppack)

    shutil.rmtree(args.out, ignore_errors=True)
    for folder in ("setup", "packages"):
        os.makedirs(os.path.join(args.out, folder))
    shutil.copy2(os.path.join(args.templates, "zep.sif"), os.path.join(args.out, "setup"))
    site = Site(args)
    with tempfile.TemporaryDirectory() as scratch:
        for template in sorted(os.listdir(args.templates)):
            if template.endswith(".pki"):
                site.package_info(template, scratch)
        if args.check and not site.check(scratch):
            return 1
    print("make-site: %s with %d mirrors" % (args.out, len(site.mirrors)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
