#!/bin/sh
# The layout and text checks of the main window and the dialogs on the other displays the
# program meets: 1024 x 768 and 1920 x 1080 at 8 bits (a palette), and 1024 x 768 at 24 bits.
# (The app tests themselves run on 1920 x 1080 at 24 bits.)
#
# Each display is an Xvfb of its own; Wine's desktop belongs to the display it started on, so
# the tests run in a copy of the session's prefix whose wineserver ends before the next display.
set -eu
work=$(mktemp -d "$RECLUME_BUILD/layout_displays.XXXXXX")
prefix="$work/prefix"
xvfb=""
stop_display() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  xvfb=""
}
cleanup() {
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT
cp -a "$WINEPREFIX" "$prefix"
export WINEPREFIX="$prefix"
tests='MainFormTest.PathBar*:MainFormTest.TabCaptions*:HotkeyDialog.Boxes*:OptionDialog.Chinese*'

failed=0
for screen in 1024x768x8 1920x1080x8 1024x768x24; do
  fifo="$work/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  read -r num <"$fifo"
  rm -f "$fifo"
  if DISPLAY=":$num" wine "$RECLUME_BIN/app_tests.exe" --gtest_filter="$tests" >"$work/log.txt" 2>&1 </dev/null &&
     grep -q "\[  PASSED  \] 4 tests" "$work/log.txt"; then
    echo "$screen: passed"
  else
    cat "$work/log.txt"
    echo "$screen: FAILED"
    failed=1
  fi
  stop_display
done
exit $failed
