#!/usr/bin/env python3
"""Lays out a product's web site as the wizard reads it: the catalogue and
the sites list in the setup folder, each component's package info file in
its own folder, and the package files on every mirror of this server that
the sites list names. The publisher's tool; the demo and the benchmark use
it as any publisher would (docs/publishers.md, "Laying out the site").

The folders are the product's own: the setup folder is SetupInfoLocation of
the local setup information file (--setup-info), whose LocationsInfo names
the sites list; each component's package info file goes to its
PkgInfoLocation, under its PkgInfo name, as the catalogue template says.

The templates (--templates) are the catalogue zep.sif, the sites list (its
addresses may begin with @BASE_URL@, replaced by --base-url) and one
package info template per component, whose Files sections name the files
to publish instead of describing them:

  @pack INPUT PACKAGE SOURCE FOLDER [FLAGS]   compressed by zeppack into PACKAGE
  @plain INPUT SOURCE FOLDER [FLAGS]          published as it is

so that every size, version, date and hash comes from the very file
published. INPUT is looked up in the --inputs folders in turn.

  make-site.py --zeppack ZEPPACK --setup-info FILE --templates DIR --inputs DIR [--inputs DIR...]
               --out SITE [--base-url URL] [--check]

--out is made if it is missing; one that holds anything must be a site this
tool laid out before (it leaves the file .make-site there), which is then
laid out anew: no other folder is ever emptied. What the wizard would not
read (a missing or malformed key, a name that would leave its folder, an
address that is not http or https) is refused with the reason, before
anything is written. --check then unpacks every package with zeppack -x and
compares it with its input; the exit code is 1 when anything differs.
Sign the site afterwards with zeppack sign (docs/publishers.md).
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

BASE_URL = "@BASE_URL@"
MARKER = ".make-site"
CATALOGUE = "zep.sif"


def fail(message):
    sys.exit("make-site: " + message)


def read_lines(path):
    try:
        with open(path, encoding="ascii") as f:
            return f.read().splitlines()
    except (OSError, UnicodeDecodeError) as error:
        fail("cannot read %s: %s" % (path, error))


def sections(lines):
    """Section name (lower case) to its lines, in file order."""
    found, current = {}, None
    for line in lines:
        stripped = line.strip()
        if stripped.startswith("[") and stripped.endswith("]"):
            current = found.setdefault(stripped[1:-1].strip().lower(), [])
        elif current is not None and stripped and not stripped.startswith(";"):
            current.append(stripped)
    return found


def plain_name(text):
    return bool(text) and not any(c in text for c in '\\/:*?"<>|') and text not in (".", "..")


def relative_folder(text):
    """A folder below the site's root, as "a/b"; None for one that would leave it."""
    parts = [part for part in text.replace("\\", "/").split("/") if part]
    return "/".join(parts) if parts and all(plain_name(part) for part in parts) else None


def number(text):
    try:
        return int(text, 0)
    except ValueError:
        return 0


class Product:
    """What the wizard will read, checked before anything is written."""

    def __init__(self, args):
        info = section_entries(read_lines(args.setup_info), "Product")
        self.setup_folder = relative_folder(info.get("SetupInfoLocation", ""))
        if not self.setup_folder:
            fail("%s: SetupInfoLocation must name a folder below the site's root" % args.setup_info)
        self.sites_list = info.get("LocationsInfo", "")
        if not plain_name(self.sites_list):
            fail("%s: LocationsInfo must be a plain file name" % args.setup_info)
        catalogue = read_lines(os.path.join(args.templates, CATALOGUE))
        keys = sections(catalogue).get("components", [])
        if not keys:
            fail("%s: no [Components]" % CATALOGUE)
        self.infos = []  # (template name, folder below the root)
        for key in keys:
            entries = section_entries(catalogue, "Comp" + key)
            name, folder = entries.get("PkgInfo", ""), relative_folder(entries.get("PkgInfoLocation", ""))
            if not plain_name(name) or not folder or number(entries.get("Ver", "0")) <= 0:
                fail("%s: [Comp%s] needs PkgInfo (a plain file name), PkgInfoLocation (a folder below the "
                     "site's root) and Ver (a number above 0)" % (CATALOGUE, key))
            self.check_package_info(os.path.join(args.templates, name))
            self.infos.append((name, folder))
        self.sites = self.read_sites(os.path.join(args.templates, self.sites_list), args.base_url)

    @staticmethod
    def check_package_info(path):
        lines = read_lines(path)
        if number(section_entries(lines, "Package").get("Ver", "0")) <= 0:
            fail("%s: [Package] needs Ver, a number above 0" % path)
        sources, folders = section_entries(lines, "Sources"), section_entries(lines, "Folders")
        for source, folder in sources.items():
            if not relative_folder(folder):
                fail("%s: source %s must be a folder below the mirror's root" % (path, source))
        for line in lines:
            words = line.split()
            if not line.startswith("@"):
                continue
            if (words[0], len(words)) not in (("@pack", 5), ("@pack", 6), ("@plain", 4), ("@plain", 5)):
                fail("%s: cannot read the line %s" % (path, line))
            source, folder = (words[3], words[4]) if words[0] == "@pack" else (words[2], words[3])
            if source not in sources or folder not in folders:
                fail("%s: %s names a source or folder that [Sources] or [Folders] lacks" % (path, words[1]))

    @staticmethod
    def read_sites(path, base):
        lines = read_lines(path)
        found = sections(lines)
        locations = found.get("locations", [])
        if not found.get("regions") or not locations:
            fail("%s: the wizard needs [Regions] and [Locations]" % path)
        if any(line.startswith(BASE_URL) for line in locations) and not base:
            fail("%s names %s: give the site's address with --base-url" % (path, BASE_URL))
        text = [line.replace(BASE_URL, base or "") for line in lines]
        for line in sections(text)["locations"]:
            address, _, rest = line.partition("=")
            if not address.startswith(("http://", "https://")) or "," not in rest:
                fail("%s: the wizard skips the location %s (an http or https address, =region,name)" % (path, line))
        return text

    def mirrors(self, out, base):
        """The folders of this site that the sites list points at."""
        paths = []
        for line in sections(self.sites)["locations"]:
            address = line.partition("=")[0]
            if base and address.startswith(base):
                folder = relative_folder(address[len(base):])
                if folder:
                    paths.append(os.path.join(out, folder))
        return paths


def prepare_out(out):
    """Made if missing; emptied only when this tool laid it out before."""
    if os.path.isdir(out) and os.listdir(out):
        if not os.path.isfile(os.path.join(out, MARKER)):
            fail("%s holds files this tool did not lay out: give a new or empty folder" % out)
        for name in os.listdir(out):
            path = os.path.join(out, name)
            shutil.rmtree(path) if os.path.isdir(path) and not os.path.islink(path) else os.remove(path)
    os.makedirs(out, exist_ok=True)
    open(os.path.join(out, MARKER), "w").close()


def find_input(name, folders):
    for folder in folders:
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            return path
    fail("%s is in none of %s" % (name, ", ".join(folders)))


def section_entries(lines, section):
    entries = {}
    for line in sections(lines).get(section.lower(), []):
        key, _, value = line.partition("=")
        if _:
            entries[key.strip()] = value.strip()
    return entries


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def local_date(seconds):
    """The form zeppack prints and the wizard reads back: local time, month first."""
    return time.strftime("%m/%d/%Y %H:%M:%S", time.localtime(seconds))


class Site:
    def __init__(self, args, product):
        self.args = args
        self.mirrors = product.mirrors(args.out, args.base_url)
        self.packed = []  # (package path, input path)

    def publish(self, path, source_dir):
        for mirror in self.mirrors:
            folder = os.path.join(mirror, source_dir)
            os.makedirs(folder, exist_ok=True)
            shutil.copy2(path, folder)

    def files_line(self, marker, sources, scratch):
        words = marker.split()
        kind, args = words[0], words[1:]
        if kind == "@pack":
            name, package, source, folder = args[:4]
        else:
            name, source, folder = args[:3]
            package = name
        flags = args[-1] if len(args) == (5 if kind == "@pack" else 4) else None
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

    def package_info(self, template, folder, scratch):
        lines = read_lines(os.path.join(self.args.templates, template))
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
        write_lines(os.path.join(self.args.out, folder, template), out)

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


def write_lines(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zeppack", required=True)
    parser.add_argument("--setup-info", required=True)
    parser.add_argument("--templates", required=True)
    parser.add_argument("--inputs", action="append", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--base-url")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    if args.base_url:
        if not args.base_url.startswith(("http://", "https://")):
            fail("--base-url must be an http or https address")
        args.base_url = args.base_url.rstrip("/") + "/"
    if not os.access(args.zeppack, os.X_OK):
        fail("no zeppack at %s: build it natively first (docs/publishers.md, Packing tool)" % args.zeppack)
    product = Product(args)

    prepare_out(args.out)
    setup = os.path.join(args.out, product.setup_folder)
    os.makedirs(setup, exist_ok=True)
    shutil.copy2(os.path.join(args.templates, CATALOGUE), setup)
    write_lines(os.path.join(setup, product.sites_list), product.sites)
    site = Site(args, product)
    with tempfile.TemporaryDirectory() as scratch:
        for template, folder in product.infos:
            site.package_info(template, folder, scratch)
        if args.check and not site.check(scratch):
            return 1
    print("make-site: %s with %d mirrors" % (args.out, len(site.mirrors)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
