#!/bin/sh
# Recordings with the default settings at 8, 16, 24 and 32 bits, checked from outside: ffprobe
# must read each as msvideo1 with the area's size, 10 fps and one non-empty packet per written
# frame, and ffmpeg's own MS Video 1 decoder must give the pattern's colours.
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
