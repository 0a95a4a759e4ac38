#!/bin/sh
# The layout, picture and text checks of the main window, the area window and the dialogs on
# the other displays the program meets: 1024 x 768 and 1920 x 1080 at 8 bits (a palette), and
# 1024 x 768 at 24 bits. (The app tests themselves run on 1920 x 1080 at 24 bits.) With
# RECLUME_SHOTS naming a folder the checks leave their screenshots there.
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
own_display_setup layout_displays
tests='MainFormTest.PathBar*:MainFormTest.TabCaptions*:MainFormTest.FramePictures*:HotkeyDialog.Boxes*'
tests="$tests:OptionDialog.Chinese*:OptionDialog.Sizeable*:DialogButtons.*:AreaWindow.TheBorder*:AVOptions.Centred*"

failed=0
for screen in 1024x768x8 1920x1080x8 1024x768x24; do
  own_display_start "$screen"
  if wine "$RECLUME_BIN/app_tests.exe" --gtest_filter="$tests" >"$work/log.txt" 2>&1 </dev/null &&
     grep -q "\[  PASSED  \] 9 tests" "$work/log.txt"; then
    echo "$screen: passed"
  else
    cat "$work/log.txt"
    echo "$screen: FAILED"
    failed=1
  fi
  own_display_stop
done
exit $failed
