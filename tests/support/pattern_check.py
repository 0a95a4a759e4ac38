#!/usr/bin/env python3
"""Checks frames of the test pattern decoded to raw RGB24: the first and last frame of FILE
(W x H pixels each) have the pattern's colour at the centre of each quadrant.

pattern_check.py FILE W H"""
import sys


def main():
    path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    data = open(path, "rb").read()
    size = w * h * 3
    frames = len(data) // size
    colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]
    bad = 0
    for n in (0, frames - 1) if frames else ():
        for q, want in enumerate(colours):
            x, y = (3 if q % 2 else 1) * w // 4, (3 if q // 2 else 1) * h // 4
            o = n * size + (y * w + x) * 3
            got = tuple(data[o:o + 3])
            if got != want:
                print(f"frame {n} pixel {x},{y}: got {got}, expected {want}")
                bad += 1
    print(f"{frames} decoded frames checked")
    return 1 if bad or frames == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
