#!/bin/sh
# Two area recordings through the main window on an 800x600x24 display of its own, over the
# test pattern at (100, 100)-(500, 400), 1.avi with the test's pass-through compressor: the test
# program marks the area with the area window and confirms, and stops 1.avi (without sound)
# with the tool window's button and 2.avi (with sound) with its close box. Here ffprobe must
# find frames of exactly the area, 400 x 300, whose decoded pixels are the pattern's colours,
# and an audio stream in 2.avi.
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
own_display_setup area_record
rec="$work/rec"
mkdir -p "$rec"
own_display_start 800x600x24

RECLUME_E2E_AREA_FOLDER=$(winepath -w "$rec")
export RECLUME_E2E_AREA_FOLDER
wine "$RECLUME_BIN/app_tests.exe" --gtest_filter='AreaRecordEndToEnd.*' >"$work/log.txt" 2>&1 </dev/null || {
  cat "$work/log.txt"; echo "the recording program failed"; exit 1; }
grep -q "\[  PASSED  \] 1 test" "$work/log.txt" || { cat "$work/log.txt"; echo "the recording test did not run"; exit 1; }

fail=0
for n in 1 2; do
  f="$rec/$n.avi"
  [ -f "$f" ] || { ls -la "$rec"; echo "got no $f"; fail=1; continue; }
  size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$f")
  [ "$size" = "400,300" ] || { echo "$n.avi: got frames of $size, expected 400,300"; fail=1; }
  ffmpeg -v error -i "$f" -map 0:v:0 -vsync 0 -f rawvideo -pix_fmt rgb24 -y "$work/$n.rgb" </dev/null
  python3 "$RECLUME_SRC/tests/support/pattern_check.py" "$work/$n.rgb" 400 300 || { echo "$n.avi: not the pattern"; fail=1; }
done
audio=$(ffprobe -v error -select_streams a -show_entries stream=codec_type -of csv=p=0 "$rec/2.avi" 2>/dev/null || true)
[ "$audio" = "audio" ] || { echo "2.avi: got audio streams '$audio', expected one"; fail=1; }
[ $fail = 0 ] || exit 1
echo "1.avi and 2.avi: the area, 400 x 300, with the pattern; 2.avi with sound"
