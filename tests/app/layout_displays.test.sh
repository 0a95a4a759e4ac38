#!/bin/sh
# The layout and text checks of the main window and the dialogs on the other displays the
# program meets: 1024 x 768 and 1920 x 1080 at 8 bits (a palette), and 1024 x 768 at 24 bits.
# (The app tests themselves run on 1920 x 1080 at 24 bits.)
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
own_display_setup layout_displays
tests='MainFormTest.PathBar*:MainFormTest.TabCaptions*:HotkeyDialog.Boxes*:OptionDialog.Chinese*:DialogButtons.*'

failed=0
for screen in 1024x768x8 1920x1080x8 1024x768x24; do
  own_display_start "$screen"
  if wine "$RECLUME_BIN/app_tests.exe" --gtest_filter="$tests" >"$work/log.txt" 2>&1 </dev/null &&
     grep -q "\[  PASSED  \] 5 tests" "$work/log.txt"; then
    echo "$screen: passed"
  else
    cat "$work/log.txt"
    echo "$screen: FAILED"
    failed=1
  fi
  own_display_stop
done
exit $failed
