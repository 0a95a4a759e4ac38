#!/bin/sh
# Recordings with the default settings at 8, 16, 24 and 32 bits, checked from outside: ffprobe
# must read each as msvideo1 with the area's size, 10 fps and one non-empty packet per written
# frame, and ffmpeg's own MS Video 1 decoder must give the pattern's colours. A 401 x 303 area is
# recorded at the fitted 404 x 304, with every pixel of the area in place.
set -eu
out=$(mktemp -d "$RECLUME_BUILD/scrcamNS_msvc.XXXXXX")
trap 'rm -rf "$out"' EXIT
RECLUME_SCRCAMNS_OUT=$(winepath -w "$out")
export RECLUME_SCRCAMNS_OUT
wine "$RECLUME_BIN/engine_tests.exe" --gtest_filter='*ScrCamNSDefaultCodec*' >"$out/log.txt" 2>&1 </dev/null || {
  cat "$out/log.txt"; echo "recording program failed"; exit 1; }

for bits in 8 16 24 32; do
  f="$out/msvc$bits.avi"
  [ -f "$f" ] || { echo "$f missing"; exit 1; }
  python3 "$RECLUME_SRC/tests/support/avi_check.py" "$f" --codec msvideo1 --width 320 --height 240 --fps 10 \
    --packets "$(cat "$out/msvc$bits.frames")"
  ffmpeg -v error -i "$f" -f rawvideo -pix_fmt rgb24 "$out/msvc$bits.rgb"
  python3 "$RECLUME_SRC/tests/support/pattern_check.py" "$out/msvc$bits.rgb" 320 240
done

f="$out/odd.avi"
[ -f "$f" ] || { echo "$f missing"; exit 1; }
python3 "$RECLUME_SRC/tests/support/avi_check.py" "$f" --codec msvideo1 --width 404 --height 304 --fps 10 \
  --packets "$(cat "$out/odd.frames")"
ffmpeg -v error -i "$f" -f rawvideo -pix_fmt rgb24 "$out/odd.rgb"
# Every pixel of the 401 x 303 area (the frame's top-left part) has its quadrant's colour in the
# first and the last frame: nothing moved up, no black rows or columns at the area's edges.
python3 - "$out/odd.rgb" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
w, h, aw, ah = 404, 304, 401, 303
colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]
frames = len(data) // (w * h * 3)
bad = 0
for n in (0, frames - 1) if frames else ():
    for y in range(ah):
        for x in range(aw):
            o = (n * h + y) * w * 3 + x * 3
            want = colours[(x >= aw // 2) + 2 * (y >= ah // 2)]
            if tuple(data[o:o + 3]) != want:
                if bad < 5:
                    print(f"frame {n} pixel {x},{y}: got {tuple(data[o:o + 3])}, expected {want}")
                bad += 1
print(f"{frames} decoded frames, {bad} pixels of the area wrong")
sys.exit(1 if bad or frames == 0 else 0)
PY
