#!/usr/bin/env python3
"""The Linux side of the screen camera's A/V sync soak (bench/scrcam_bench.cpp).

scrcam_sync.py DIR: DIR holds sync.avi (the recording), reference.wav (a second wave-in device
that heard the same bursts on the real clock) and facts.txt ("flash N MS": when flash N was shown,
timeGetTime ms; "reference_first MS": the real time of the reference wave's first sample).

For each flash: the picture's time is the first white frame of the recording, the sound's the
onset of its burst in the recording; their difference, less the playback path's latency of
that burst (its onset in the reference wave against the moment it was asked for), is the
offset, sound minus picture. Prints each offset, the mean latency, the offset at the start and
the drift in ms per minute of a least-squares line."""
import subprocess
import sys

RATE = 8000


def decode(path, args):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path] + args + ["-"], capture_output=True,
                          check=True).stdout


def onsets(pcm, quiet_s=0.5, level=0.1):
    """Seconds of each sample over level after at least quiet_s of samples under it."""
    samples = memoryview(pcm).cast("h")
    threshold = int(level * 32768)
    found, last_loud = [], -10 * RATE
    for i, v in enumerate(samples):
        if v > threshold or v < -threshold:
            if i - last_loud > quiet_s * RATE:
                found.append(i / RATE)
            last_loud = i
    return found


def white_starts(path, width=320, height=240, fps=50):
    raw = decode(path, ["-map", "0:v", "-vf", f"fps={fps}", "-pix_fmt", "gray", "-f", "rawvideo"])
    size = width * height
    starts, was = [], False
    for i in range(len(raw) // size):
        frame = raw[i * size:(i + 1) * size:97]
        white = sum(frame) / len(frame) > 128
        if white and not was:
            starts.append(i / fps)
        was = white
    return starts


def nearest(values, target, low, high):
    best = None
    for v in values:
        if low <= v - target <= high and (best is None or abs(v - target) < abs(best - target)):
            best = v
    return best


def main():
    d = sys.argv[1]
    flashes, reference_first = [], None
    for line in open(f"{d}/facts.txt"):
        parts = line.split()
        if parts[0] == "flash":
            flashes.append(int(parts[2]))
        elif parts[0] == "reference_first":
            reference_first = int(parts[1])
    pictures = white_starts(f"{d}/sync.avi")
    sounds = onsets(decode(f"{d}/sync.avi", ["-map", "0:a", "-f", "s16le", "-ac", "1", "-ar", str(RATE)]))
    heard = onsets(decode(f"{d}/reference.wav", ["-f", "s16le", "-ac", "1", "-ar", str(RATE)]))
    print(f"A/V sync: {len(flashes)} flashes, {len(pictures)} white frames, {len(sounds)} bursts in the "
          f"recording, {len(heard)} in the reference")
    points, latencies = [], []
    for i, (flashed, picture) in enumerate(zip(flashes, pictures)):
        ref = nearest(heard, (flashed - reference_first) / 1000, -0.1, 1.0)
        sound = nearest(sounds, picture, -1.0, 1.5)
        if ref is None or sound is None:
            print(f"  flash {i:3d} at {picture:7.2f} s: burst not found")
            continue
        latency = (reference_first + ref * 1000) - flashed
        offset = (sound - picture) * 1000 - latency
        latencies.append(latency)
        points.append((picture, offset))
        print(f"  flash {i:3d} at {picture:7.2f} s: offset {offset:+6.0f} ms (latency {latency:4.0f} ms)")
    if len(points) < 2:
        print("A/V sync: too few bursts found")
        return 1
    n = len(points)
    mx = sum(p[0] for p in points) / n
    my = sum(p[1] for p in points) / n
    sxx = sum((p[0] - mx) ** 2 for p in points)
    slope = sum((p[0] - mx) * (p[1] - my) for p in points) / sxx if sxx else 0
    start = my - slope * mx
    print(f"A/V sync: playback latency {sum(latencies) / n:.0f} ms (min {min(latencies):.0f}, max "
          f"{max(latencies):.0f}); offset at the start {start:+.0f} ms; drift {slope * 60:+.1f} ms per minute; "
          f"offsets {min(p[1] for p in points):+.0f} to {max(p[1] for p in points):+.0f} ms")
    return 0


if __name__ == "__main__":
    sys.exit(main())
