# The pass-through compressor's 32-bit AVI, checked from the Linux side: ffprobe must read it
# as rawvideo of 64x48 at 10 fps with seven non-empty packets.
set -eu
dir=$(mktemp -d "$RECLUME_BUILD/passthrough.XXXXXX")
trap 'rm -rf "$dir"' EXIT
RECLUME_BASE_OUT=$(winepath -w "$dir")
export RECLUME_BASE_OUT
wine "$RECLUME_BIN/base_tests.exe" --gtest_filter=PassThrough.WritesA32BitAviThatReadsBack >"$dir/log.txt" 2>&1 </dev/null || {
  cat "$dir/log.txt"; echo "the writing test failed"; exit 1; }
python3 "$RECLUME_SRC/tests/support/avi_check.py" "$dir/passthrough32.avi" \
  --codec rawvideo --width 64 --height 48 --fps 10 --packets 7
