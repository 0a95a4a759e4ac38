#!/bin/sh
# The pictures of a split are the recording's frames, pixel for pixel. ffmpeg makes a top-down
# 24-bit recording (as other tools write them), an audio-only and an MPEG-4 file; the test
# program writes an MRLE recording and a 32-bit pass-through one (both of odd sizes, so their
# rows are padded) and splits them all. Every picture must then equal ffmpeg's own decode of
# its frame, and the audio-only and MPEG-4 files must have ended with their cause.
set -eu
work=$(mktemp -d "$RECLUME_BUILD/avi_split_pixels.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/topdown" "$work/audio" "$work/mpeg4"
ffmpeg -v error -f lavfi -i testsrc=size=45x31:rate=5:duration=1 -c:v rawvideo -pix_fmt bgr24 "$work/topdown/rec.avi"
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=0.5 -c:a pcm_s16le "$work/audio/rec.avi"
ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=5:duration=1 -c:v mpeg4 "$work/mpeg4/rec.avi"
# The top-down file really is one: its format's height is negative.
python3 - "$work/topdown/rec.avi" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(b"strf")
height = struct.unpack("<i", data[at + 16:at + 20])[0]
sys.exit(0 if height < 0 else "got a height of %d, expected a top-down frame" % height)
PY

RECLUME_SPLIT_DIR=$(winepath -w "$work")
export RECLUME_SPLIT_DIR
wine "$RECLUME_BIN/app_tests.exe" --gtest_filter='AviSplitFiles.*' >"$work/log.txt" 2>&1 </dev/null || {
  cat "$work/log.txt"; echo "the split program failed"; exit 1; }
grep -q "\[  PASSED  \] 2 tests" "$work/log.txt" || { cat "$work/log.txt"; echo "the split tests did not run"; exit 1; }
python3 "$RECLUME_SRC/tests/app/split/split_pixels.py" "$work/mrle" "$work/rgb32" "$work/topdown"
