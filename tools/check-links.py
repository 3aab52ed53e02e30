#!/usr/bin/env python3
"""Fails on a link of the README or of docs/ that leads nowhere.

Every relative link of a Markdown file must name a file of the repository,
and a link with "#anchor" a heading of that file (GitHub's form of a
heading: lower case, blanks as "-", other punctuation dropped).
    tools/check-links.py [repository root]
"""
import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
LINK = re.compile(r"\]\(([^)\s]+)\)")


def anchors(path):
    found = set()
    in_code = False
    with open(path, encoding="utf-8") as page:
        for line in page:
            if line.startswith("```"):
                in_code = not in_code
            elif not in_code and line.startswith("#"):
                heading = line.lstrip("#").strip().lower()
                found.add(re.sub(r"[^\w\- ]", "", heading).replace(" ", "-"))
    return found


def main():
    pages = [os.path.join(ROOT, "README.md")]
    docs = os.path.join(ROOT, "docs")
    pages += sorted(os.path.join(docs, name) for name in os.listdir(docs) if name.endswith(".md"))
    broken = []
    for page in pages:
        with open(page, encoding="utf-8") as text:
            for number, line in enumerate(text, 1):
                for target in LINK.findall(line):
                    if re.match(r"[a-z]+:", target):
                        continue
                    path, _, anchor = target.partition("#")
                    resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
                    where = "%s:%d: %s" % (os.path.relpath(page, ROOT), number, target)
                    if not os.path.exists(resolved):
                        broken.append(where + " (no such file)")
                    elif anchor and resolved.endswith(".md") and anchor not in anchors(resolved):
                        broken.append(where + " (no such heading)")
    for line in broken:
        print("broken link: " + line)
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
