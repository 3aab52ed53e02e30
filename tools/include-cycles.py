#!/usr/bin/env python3
"""Fails on an include cycle among the program's units below its pages, and
on a unit below them that includes one on top.

A unit is a .cpp and its .h. The program (the application object, the
wizard sheet, the quiet run), its pages and its dialogs sit on top and may
include anything; below them the rules, the run record, the formats and the
framework include none of those and form no cycle, so that each can be
built and tested on the ones beneath it alone.
    tools/include-cycles.py [source root]
"""
import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
FOLDERS = ["framework", "app", "install", "select", "download", "pages"]
ON_TOP = re.compile(r"(Page|Pages|Dlg|Wizard|/SetupApp|/QuietRun|/FolderBrowser)$")
INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)\.h"')


def units():
    found = {}
    for folder in FOLDERS:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            stem, ext = os.path.splitext(name)
            if ext not in (".cpp", ".h"):
                continue
            unit = folder + "/" + stem
            with open(os.path.join(ROOT, folder, name), encoding="utf-8", errors="replace") as source:
                for line in source:
                    match = INCLUDE.match(line)
                    if match and match.group(1) != unit:
                        found.setdefault(unit, set()).add(match.group(1))
            found.setdefault(unit, set())
    return found


def cycle_from(graph, start):
    """A path that leads from start back to it, or None."""
    stack, seen = [(start, [start])], set()
    while stack:
        unit, path = stack.pop()
        for included in sorted(graph.get(unit, ())):
            if included == start:
                return path + [start]
            if included not in seen:
                seen.add(included)
                stack.append((included, path + [included]))
    return None


def main():
    below = {unit: included for unit, included in units().items() if not ON_TOP.search(unit)}
    upward = sorted(unit + " includes " + i for unit, included in below.items() for i in included if ON_TOP.search(i))
    for line in upward:
        print("include from below the pages: " + line)
    graph = {unit: {i for i in included if not ON_TOP.search(i)} for unit, included in below.items()}
    cycles = set()
    for unit in sorted(graph):
        path = cycle_from(graph, unit)
        if path:
            cycles.add(" -> ".join(path))
    for cycle in sorted(cycles):
        print("include cycle: " + cycle)
    return 1 if cycles or upward else 0


if __name__ == "__main__":
    sys.exit(main())
