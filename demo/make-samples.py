#!/usr/bin/env python3
"""Writes the demo product's sample data: a weather station table of some
megabytes, the same on every build, so that installing it takes a moment
one can see.

  make-samples.py OUTPUT
"""
import random
import sys


def main():
    rng = random.Random(2101)
    with open(sys.argv[1], "w", encoding="ascii", newline="\r\n") as out:
        out.write("id,station,time,temperature,humidity,pressure\n")
        for i in range(300000):
            out.write("%d,ST%03d,2021-%02d-%02dT%02d:%02d:00,%.1f,%d,%.1f\n" % (
                i, rng.randrange(200), rng.randrange(1, 13), rng.randrange(1, 29), rng.randrange(24),
                rng.randrange(60), rng.uniform(-20, 35), rng.randrange(100), rng.uniform(960, 1040)))


if __name__ == "__main__":
    main()
