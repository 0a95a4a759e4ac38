#!/usr/bin/env python3
"""Checks an AVI file with ffprobe: the first video stream's codec, size and frame rate and the
number of non-empty video packets (skipped frame positions are 0-byte chunks).

avi_check.py FILE [--codec C] [--width W] [--height H] [--fps F] [--packets N | --min-packets N]
Prints what it got; exits 1 with "got X, expected Y" lines when anything differs."""
import argparse
import json
import subprocess
import sys
from fractions import Fraction


def probe(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_streams",
         "-show_entries", "packet=size", "-of", "json", path],
        capture_output=True, text=True)
    if out.returncode != 0:
        raise SystemExit(f"ffprobe failed on {path}: {out.stderr.strip()}")
    return json.loads(out.stdout)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("file")
    ap.add_argument("--codec")
    ap.add_argument("--width", type=int)
    ap.add_argument("--height", type=int)
    ap.add_argument("--fps", type=float)
    ap.add_argument("--packets", type=int)
    ap.add_argument("--min-packets", type=int)
    a = ap.parse_args()
    data = probe(a.file)
    streams = data.get("streams", [])
    if not streams:
        print(f"{a.file}: no video stream")
        return 1
    s = streams[0]
    fps = float(Fraction(s.get("r_frame_rate", "0/1")))
    packets = sum(1 for p in data.get("packets", []) if int(p.get("size", 0)) > 0)
    got = {"codec": s.get("codec_name"), "width": s.get("width"), "height": s.get("height"),
           "fps": fps, "packets": packets}
    print(f"{a.file}: " + " ".join(f"{k}={v}" for k, v in got.items()))
    bad = []
    for key in ("codec", "width", "height", "packets"):
        want = getattr(a, key)
        if want is not None and got[key] != want:
            bad.append(f"{key}: got {got[key]}, expected {want}")
    if a.fps is not None and abs(fps - a.fps) > 1e-3:
        bad.append(f"fps: got {fps}, expected {a.fps}")
    if a.min_packets is not None and packets < a.min_packets:
        bad.append(f"packets: got {packets}, expected at least {a.min_packets}")
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
