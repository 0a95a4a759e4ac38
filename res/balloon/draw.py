#!/usr/bin/env python3
"""Draws the balloon's three 16 x 16 status pictures as 24-bit .bmp files: information (a blue
disc with a white "i"), error (a red disc with a white cross) and warning (a yellow triangle with
a black "!"). The bottom-left pixel is the transparent colour (magenta)."""
import struct

KEY = (255, 0, 255)
N = 16


def disc(x, y):
    return (x - 7.5) ** 2 + (y - 7.5) ** 2 <= 7.2 ** 2


def info(x, y):
    if not disc(x, y):
        return KEY
    if x in (7, 8) and (y in (3, 4) or 6 <= y <= 12):
        return (255, 255, 255)
    return (30, 90, 200)


def error(x, y):
    if not disc(x, y):
        return KEY
    if 4 <= x <= 11 and 4 <= y <= 11 and (abs(x - y) <= 0 or abs(x + y - 15) <= 0):
        return (255, 255, 255)
    return (200, 30, 30)


def warning(x, y):
    # Apex at the top middle, base along row 14.
    if y < 1 or y > 14 or abs(x - 7.5) > (y - 0.5) / 2 + 0.5:
        return KEY
    if x in (7, 8) and (4 <= y <= 9 or y in (11, 12)):
        return (0, 0, 0)
    return (250, 200, 20)


def write(name, pixel):
    rows = b"".join(row for y in reversed(range(N)) for row in [b"".join(bytes(reversed(pixel(x, y))) for x in range(N))])
    size = 54 + len(rows)
    header = b"BM" + struct.pack("<IHHI", size, 0, 0, 54)
    info_header = struct.pack("<IiiHHIIiiII", 40, N, N, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(name, "wb") as f:
        f.write(header + info_header + rows)


write("info.bmp", info)
write("error.bmp", error)
write("warning.bmp", warning)
