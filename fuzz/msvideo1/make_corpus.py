#!/usr/bin/env python3
"""Writes the seed corpus of MS Video 1 frames into fuzz/msvideo1/corpus/.

Each input is the fuzz target's 5-byte header (width and height as little-endian 16-bit
values, each read as 1 + value % 256; byte 4 bit 0: the 8-bit palettised form) and one coded
frame. The name says what decoding it must give; the replay test under Wine checks it:
  good-*  a whole frame: every block is coded
  bad-*   malformed (truncated, a skip past the last block): what is valid decodes, nothing
          is read or written out of bounds
Run it again after changing it; the files are committed.
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def header(width, height, palettised=False):
    return struct.pack("<HHB", width - 1, height - 1, 1 if palettised else 0)


def word(v):
    return struct.pack("<H", v)


def skip(n):
    return word(0x8400 + n)


def one16(colour):
    return word(0x8000 | colour)


def two16(mask, a, b):
    return word(mask) + word(a) + word(b)


def eight16(mask, colours):
    return word(mask) + word(colours[0] | 0x8000) + b"".join(word(c) for c in colours[1:])


def one8(index):
    return bytes([index, 0x80])


def two8(mask, a, b):
    return word(mask) + bytes([a, b])


def eight8(mask, colours):
    return word(mask | 0x9000) + bytes(colours)


EIGHT = [0x7C00, 0x03E0, 0x001F, 0x7FFF, 0x0000, 0x4210, 0x1234, 0x6543]

seeds = {
    # 8 x 8: four blocks
    "good-16-one-colour.msv1": header(8, 8) + one16(0x7C00) * 4,
    "good-16-two-colour.msv1": header(8, 8) + two16(0x5A5A, 0x001F, 0x03E0) * 4,
    "good-16-eight-colour.msv1": header(8, 8) + eight16(0x1248, EIGHT) * 4,
    "good-16-mixed.msv1": header(8, 8) + one16(0x1111) + two16(0x00FF, 1, 2) + eight16(0x7001, EIGHT) + one16(0x2222),
    "good-16-all-skip.msv1": header(8, 8) + skip(4),
    "good-16-skip-then-code.msv1": header(8, 8) + skip(3) + one16(0x7FFF),
    "good-16-zero-skip.msv1": header(8, 8) + skip(0) + one16(1) * 4,
    "good-16-trailing-bytes.msv1": header(8, 8) + one16(5) * 4 + b"\x01\x02\x03",
    "good-16-uneven-size.msv1": header(10, 7) + one16(0x0C21) * 2,
    "good-16-wide.msv1": header(256, 4) + skip(40) + one16(0x7C1F) * 24,
    "good-16-long-skip.msv1": header(256, 64) + skip(0x3FF) + skip(1),
    "good-8-one-colour.msv1": header(8, 8, True) + one8(7) * 4,
    "good-8-two-colour.msv1": header(8, 8, True) + two8(0x0F0F, 1, 200) * 4,
    "good-8-eight-colour.msv1": header(8, 8, True) + eight8(0x0421, [1, 2, 3, 4, 5, 6, 7, 8]) * 4,
    "good-8-mixed.msv1": header(8, 8, True) + skip(1) + one8(9) + two8(0x7FFF, 3, 4) + eight8(0x0F00, list(range(8))),
    "good-tiny-no-blocks.msv1": header(3, 3),
    "bad-empty-frame.msv1": header(8, 8),
    "bad-truncated-mask.msv1": header(8, 8) + one16(3) + b"\x01",
    "bad-truncated-two.msv1": header(8, 8) + two16(0x1234, 1, 2)[:4],
    "bad-truncated-eight.msv1": header(8, 8) + eight16(0x1234, EIGHT)[:12],
    "bad-truncated-eight-8bit.msv1": header(8, 8, True) + eight8(0x0F00, list(range(8)))[:6],
    "bad-skip-past-end.msv1": header(8, 8) + skip(5),
    "bad-skip-far-past-end.msv1": header(8, 8) + one16(1) + skip(0x3FF) + one16(2),
    "bad-short-frame.msv1": header(64, 64) + one16(0x1F) * 10,
    "bad-header-only.msv1": header(8, 8)[:5],
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print(f"{len(seeds)} seeds in {OUT}")


if __name__ == "__main__":
    main()
