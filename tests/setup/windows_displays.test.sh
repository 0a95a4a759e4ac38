#!/bin/sh
# The setup and uninstall windows' on-screen checks (real glyphs, nothing left unpainted, the
# buttons' pictures, the hand over the links only) on a 1024 x 768 display; the setup test
# program itself runs them on 1920 x 1080.
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
own_display_setup windows_displays
tests='SetupWindow.*:UninstallWindowOnScreen.*'
own_display_start 1024x768x24
if wine "$RECLUME_BIN/setup_tests.exe" --gtest_filter="$tests" >"$work/log.txt" 2>&1 </dev/null &&
   grep -q "\[  PASSED  \] 5 tests" "$work/log.txt"; then
  echo "1024x768x24: passed"
else
  cat "$work/log.txt"
  echo "1024x768x24: FAILED"
  exit 1
fi
