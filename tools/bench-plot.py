#!/usr/bin/python3
"""Draws what tools/bench.sh measured into one picture, with Debian's
matplotlib: the install's phases for the wizard, the bare Win32 program and
the tools side by side, and the cost curves of both axes on log axes.

  bench-plot.py PHASES CURVE_COMPONENTS CURVE_FILES OUT.png

PHASES holds "<phase> <wizard> <bare> <tools>" seconds per line; each CURVE
file "<n> <components page> <package infos> <install>" seconds per size.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def rows(path):
    with open(path) as f:
        return [line.split() for line in f if line.strip()]


def main():
    phases_path, components_path, files_path, out = sys.argv[1:5]
    phases = rows(phases_path)
    figure, (bars, *curves) = plt.subplots(1, 3, figsize=(15, 4.8))

    names = [p[0] for p in phases]
    width = 0.27
    for column, (label, color) in enumerate([("wizard", "tab:blue"), ("bare Win32", "tab:orange"),
                                             ("tools", "tab:gray")]):
        positions = [i + (column - 1) * width for i in range(len(names))]
        bars.bar(positions, [float(p[column + 1]) for p in phases], width, label=label, color=color)
    bars.set_xticks(range(len(names)), names)
    bars.set_ylabel("seconds")
    bars.set_title("whole install: phases")
    bars.legend(loc="upper center")

    for axes, (path, axis) in zip(curves, [(components_path, "components"), (files_path, "files")]):
        curve = rows(path)
        sizes = [int(c[0]) for c in curve]
        for column, label in enumerate(["components page", "package infos", "install"]):
            axes.plot(sizes, [max(float(c[column + 1]), 0.001) for c in curve], marker="o", label=label)
        axes.set_xscale("log")
        axes.set_yscale("log")
        axes.set_xlabel(axis)
        axes.set_ylabel("seconds")
        axes.set_title("cost curve: " + axis)
        axes.grid(True, which="both", alpha=0.3)
        axes.legend()

    figure.tight_layout()
    figure.savefig(out, dpi=100)


if __name__ == "__main__":
    main()
