#!/usr/bin/env python3
"""Checks the pictures a split wrote against ffmpeg's own decode of the recording.

For each folder given (holding rec.avi and the split's img/): every FrameNN.BMP is a 24-bit
bottom-up bitmap of the recording's size, identify and ffprobe read it, and its pixels equal
ffmpeg's decode of that frame byte for byte (both as bgr24, top row first).
"""
import glob
import os
import re
import struct
import subprocess
import sys


def run(*args):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout


def fail(message):
    print(message)
    sys.exit(1)


def check(folder):
    avi = os.path.join(folder, "rec.avi")
    size = run("ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height",
               "-of", "csv=p=0", avi).decode().strip()
    width, height = (int(v) for v in size.split(","))
    decoded = run("ffmpeg", "-v", "error", "-i", avi, "-fps_mode", "passthrough", "-f", "rawvideo",
                  "-pix_fmt", "bgr24", "-")
    frame_bytes = width * height * 3
    frames = len(decoded) // frame_bytes
    pictures = sorted(glob.glob(os.path.join(folder, "img", "Frame*.BMP")),
                      key=lambda p: int(re.search(r"Frame(\d+)\.BMP$", p).group(1)))
    names = [os.path.basename(p) for p in pictures]
    expected = ["Frame%02d.BMP" % (i + 1) for i in range(frames)]
    if frames == 0 or names != expected:
        fail("%s: got pictures %s, expected %s" % (folder, names, expected))
    for index, picture in enumerate(pictures):
        with open(picture, "rb") as f:
            header = f.read(54)
        bits, compression = struct.unpack("<HI", header[28:34])
        bmp_width, bmp_height = struct.unpack("<ii", header[18:26])
        if header[:2] != b"BM" or bits != 24 or compression != 0 or (bmp_width, bmp_height) != (width, height):
            fail("%s: got %d bits, %dx%d, expected a bottom-up 24-bit %dx%d bitmap"
                 % (picture, bits, bmp_width, bmp_height, width, height))
        shown = run("identify", "-format", "%w %h", picture).decode().split()
        if shown != [str(width), str(height)]:
            fail("%s: identify read %s, expected %dx%d" % (picture, shown, width, height))
        probed = run("ffprobe", "-v", "error", "-show_entries", "stream=codec_name,pix_fmt,width,height",
                     "-of", "csv=p=0", picture).decode().strip()
        if probed != "bmp,%d,%d,bgr24" % (width, height):
            fail("%s: ffprobe read %s" % (picture, probed))
        pixels = run("convert", picture, "bgr:-")
        if pixels != decoded[index * frame_bytes:(index + 1) * frame_bytes]:
            fail("%s: its pixels differ from ffmpeg's decode of frame %d" % (picture, index + 1))
    print("%s: %d pictures equal ffmpeg's decode" % (folder, frames))


for folder in sys.argv[1:]:
    check(folder)
