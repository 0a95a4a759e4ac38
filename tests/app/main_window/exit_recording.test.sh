#!/bin/sh
# Closing the main window during a recording without sound leaves a whole AVI file: the test
# program records a pattern window at 8 bits through MRLE, closes the window mid-recording,
# and ffprobe must then read one 320x240 stream at 10 fps with every written frame in it.
set -eu
out=$(mktemp -d "$RECLUME_BUILD/exit_recording.XXXXXX")
trap 'rm -rf "$out"' EXIT
RECLUME_APP_OUT=$(winepath -w "$out")
export RECLUME_APP_OUT
wine "$RECLUME_BIN/app_tests.exe" --gtest_filter='*ClosingDuringARecording*' >"$out/log.txt" 2>&1 </dev/null || {
  cat "$out/log.txt"; echo "recording program failed"; exit 1; }
f="$out/exit_recording.avi"
[ -f "$f" ] || { cat "$out/log.txt"; echo "$f missing"; exit 1; }
frames=$(cat "$out/exit_recording.frames")
python3 "$RECLUME_SRC/tests/support/avi_check.py" "$f" --codec msrle --width 320 --height 240 --fps 10 \
  --packets "$frames"
