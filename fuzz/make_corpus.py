#!/usr/bin/env python3
"""Writes the seed corpus of RIFF WAVE files into fuzz/corpus/.

The name of each file says what reading it must give; the replay test under Wine checks it:
  good-*    well-formed; read as a valid wave, with the same result as the platform's chunk
            descent
  accept-*  damaged but readable; read as a valid wave after clamping or stepping over
  bad-*     rejected: not a valid wave (and never a hang or a crash)
Run it again after changing it; the files are committed.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")


def chunk(cid, body, size=None, pad=True):
    size = len(body) if size is None else size
    out = cid + struct.pack("<I", size) + body
    if pad and len(body) % 2:
        out += b"\0"
    return out


def riff(body, form=b"WAVE", size=None):
    return chunk(b"RIFF", form + body, size=None if size is None else size)


def fmt_record(channels=1, rate=8000, bits=16, tag=1, extra=b"", cb=None):
    align = channels * bits // 8
    cb = len(extra) if cb is None else cb
    return struct.pack("<HHIIHHH", tag, channels, rate, rate * align, align, bits, cb) + extra


def ramp(n):
    return bytes((i * 7) & 0xFF for i in range(n))


FMT16 = fmt_record()
FILES = {
    # well-formed
    "good-pcm16-mono-8000": riff(chunk(b"fmt ", FMT16) + chunk(b"data", ramp(200))),
    "good-pcm8-mono-odd-data": riff(chunk(b"fmt ", fmt_record(bits=8)) + chunk(b"data", ramp(101))),
    "good-pcm16-stereo-44100": riff(chunk(b"fmt ", fmt_record(2, 44100)) + chunk(b"data", ramp(400))),
    "good-empty-data": riff(chunk(b"fmt ", FMT16) + chunk(b"data", b"")),
    "good-fmt14": riff(chunk(b"fmt ", FMT16[:14]) + chunk(b"data", ramp(64))),
    "good-fmt16": riff(chunk(b"fmt ", FMT16[:16]) + chunk(b"data", ramp(64))),
    "good-fmt20-extra": riff(chunk(b"fmt ", fmt_record(tag=2, extra=b"\x01\x02")) + chunk(b"data", ramp(64))),
    "good-list-before-fmt": riff(chunk(b"LIST", b"INFOISFT" + struct.pack("<I", 6) + b"rec\0\0\0")
                                 + chunk(b"fmt ", FMT16) + chunk(b"data", ramp(64))),
    "good-odd-chunk-between": riff(chunk(b"fmt ", FMT16) + chunk(b"junk", b"abc") + chunk(b"data", ramp(64))),
    "good-fact-after-data": riff(chunk(b"fmt ", FMT16) + chunk(b"data", ramp(64)) + chunk(b"fact", b"\0\0\0\0")),
    "good-junk-chunk-before-riff": chunk(b"junk", b"xyzw") + riff(chunk(b"fmt ", FMT16) + chunk(b"data", ramp(32))),
    # damaged but readable
    "accept-data-size-past-end": riff(chunk(b"fmt ", FMT16) + chunk(b"data", ramp(100), size=100000)),
    "accept-riff-size-past-end": riff(chunk(b"fmt ", FMT16) + chunk(b"data", ramp(100)), size=0xFFFFFFF0),
    "accept-cbsize-huge": riff(chunk(b"fmt ", fmt_record(cb=0xFFFF)) + chunk(b"data", ramp(64))),
    "accept-cbsize-past-chunk": riff(chunk(b"fmt ", fmt_record(extra=b"\x05\x06", cb=40)) + chunk(b"data", ramp(64))),
    "accept-odd-fmt-padded": riff(chunk(b"fmt ", FMT16 + b"\x09") + chunk(b"data", ramp(64))),
    "accept-data-odd-no-pad": riff(chunk(b"fmt ", fmt_record(bits=8)) + chunk(b"data", ramp(33), pad=False)),
    # rejected
    "bad-empty": b"",
    "bad-riff-header-only": b"RIFF" + struct.pack("<I", 4) + b"WAVE",
    "bad-form-avi": riff(chunk(b"fmt ", FMT16) + chunk(b"data", ramp(64)), form=b"AVI "),
    "bad-rifx": b"RIFX" + riff(chunk(b"fmt ", FMT16) + chunk(b"data", ramp(16)))[4:],
    "bad-fmt13": riff(chunk(b"fmt ", FMT16[:13]) + chunk(b"data", ramp(64))),
    "bad-fmt-missing": riff(chunk(b"data", ramp(64))),
    "bad-data-before-fmt": riff(chunk(b"data", ramp(64)) + chunk(b"fmt ", FMT16)),
    "bad-data-missing": riff(chunk(b"fmt ", FMT16)),
    "bad-chunk-fffffff8-before-fmt": riff(chunk(b"junk", b"", size=0xFFFFFFF8) + chunk(b"fmt ", FMT16)
                                          + chunk(b"data", ramp(16))),
    "bad-chunk-fffffff8-before-data": riff(chunk(b"fmt ", FMT16) + chunk(b"junk", b"", size=0xFFFFFFF8)
                                           + chunk(b"data", ramp(16))),
    "bad-top-chunk-fffffff8": chunk(b"junk", b"", size=0xFFFFFFF8) + riff(chunk(b"fmt ", FMT16)),
    "bad-fmt-size-huge": riff(chunk(b"fmt ", FMT16, size=0x7FFFFFFF) + chunk(b"data", ramp(16))),
    "bad-fmt-size-ffffffff": riff(chunk(b"fmt ", FMT16, size=0xFFFFFFFF) + chunk(b"data", ramp(16))),
    "bad-fmt-past-end": riff(chunk(b"fmt ", FMT16, size=200)),
    "bad-fmt-over-64k": riff(chunk(b"fmt ", fmt_record(extra=bytes(65536 - 18 + 2), cb=65535))
                             + chunk(b"data", ramp(16))),
    "bad-interrupted-recording": b"RIFF" + struct.pack("<I", 0) + b"WAVE"
                                 + chunk(b"fmt ", FMT16) + chunk(b"data", ramp(100), size=0),
    "bad-fmt-outside-riff": riff(b"", size=4) + chunk(b"fmt ", FMT16) + chunk(b"data", ramp(16)),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        os.remove(os.path.join(OUT, name))
    for name, data in FILES.items():
        with open(os.path.join(OUT, name + ".wav"), "wb") as f:
            f.write(data)
    # A valid file cut at a few lengths inside its header.
    whole = FILES["good-pcm16-mono-8000"]
    for cut in (7, 11, 19, 33, 41):
        with open(os.path.join(OUT, "bad-truncated-%d.wav" % cut), "wb") as f:
            f.write(whole[:cut])
    print("wrote %d files to %s" % (len(os.listdir(OUT)), OUT))


if __name__ == "__main__":
    main()
