# The pass-through compressor's 32-bit AVI, checked from the Linux side: ffprobe must read it
# as rawvideo of 64x48 at 10 fps with seven non-empty packets.
set -eu
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
wine "$RECLUME_BIN/base_tests.exe" --gtest_filter=PassThrough.WritesA32BitAviThatReadsBack
python3 "$RECLUME_SRC/tests/support/avi_check.py" passthrough32.avi \
  --codec rawvideo --width 64 --height 48 --fps 10 --packets 7
