#!/bin/sh
# Whole recordings of the sound-less recorder checked from outside: the test program records
# the pattern window at 8 bits through MRLE and at 32 bits through the pass-through
# compressor, then ffprobe must see one stream of the area's size at 10 fps with one non-empty
# packet per written frame, and ffmpeg must decode the pattern's colours.
set -eu
out=$(mktemp -d "$RECLUME_BUILD/scrcamNS_files.XXXXXX")
trap 'rm -rf "$out"' EXIT
RECLUME_SCRCAMNS_OUT=$(winepath -w "$out")
export RECLUME_SCRCAMNS_OUT
wine "$RECLUME_BIN/engine_tests.exe" --gtest_filter='*ScrCamNSFile*' >"$out/log.txt" 2>&1 </dev/null || {
  cat "$out/log.txt"; echo "recording program failed"; exit 1; }

check() {  # name codec
  f="$out/$1.avi"
  [ -f "$f" ] || { echo "$f missing"; exit 1; }
  frames=$(cat "$out/$1.frames")
  python3 "$RECLUME_SRC/tests/support/avi_check.py" "$f" --codec "$2" --width 320 --height 240 --fps 10 \
    --packets "$frames"
  # First and last frames, decoded to RGB: each quadrant's centre has the pattern's colour.
  ffmpeg -v error -i "$f" -f rawvideo -pix_fmt rgb24 "$out/$1.rgb"
  python3 "$RECLUME_SRC/tests/support/pattern_check.py" "$out/$1.rgb" 320 240
}
check mrle8 msrle
check pass32 rawvideo
