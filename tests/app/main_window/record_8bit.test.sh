#!/bin/sh
# One full-screen recording without sound through the main window, on an 8-bit palette display
# (the one depth the platform's MRLE compressor takes): the test program opens the window,
# chooses MRLE and a key frame every frame in the options dialog, starts from the record
# button, stops through the tray icon's message, and leaves 1.avi in the recording folder.
# ffprobe must read it as one msrle stream of the work area's size with frames in it.
#
# The display is an Xvfb of its own at 8 bits, with a copy of the session's prefix.
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
own_display_setup record_8bit
mkdir -p "$work/rec"
own_display_start 1280x1024x8

RECLUME_E2E_FOLDER=$(winepath -w "$work/rec")
export RECLUME_E2E_FOLDER
wine "$RECLUME_BIN/app_tests.exe" --gtest_filter='RecordEndToEnd.*' >"$work/log.txt" 2>&1 </dev/null || {
  cat "$work/log.txt"; echo "the recording program failed"; exit 1; }
grep -q "\[  PASSED  \] 1 test" "$work/log.txt" || { cat "$work/log.txt"; echo "the recording test did not run"; exit 1; }

avi="$work/rec/1.avi"
[ -f "$avi" ] || { ls -la "$work/rec"; echo "got no $avi, expected the first numbered recording"; exit 1; }
size=$(cat "$work/rec/area.txt")
python3 "$RECLUME_SRC/tests/support/avi_check.py" "$avi" --codec msrle --width "${size% *}" --height "${size#* }" \
  --min-packets 3
ffmpeg -v error -i "$avi" -f null - || { echo "ffmpeg could not decode $avi"; exit 1; }
echo "1.avi: a playable MRLE recording"
