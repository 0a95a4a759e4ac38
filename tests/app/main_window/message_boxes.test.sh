#!/bin/sh
# A recording with sound from the real main window with no sound server: PULSE_SERVER names a
# socket that does not exist, so the wave-in device fails at once. The test program checks that
# the camera's error box opens in front of the main window, enabled, and answers it.
set -eu
out=$(mktemp -d "$RECLUME_BUILD/message_boxes.XXXXXX")
trap 'rm -rf "$out"' EXIT
RECLUME_E2E_NO_SOUND_SERVER=1 PULSE_SERVER=unix:/nonexistent \
  wine "$RECLUME_BIN/app_tests.exe" --gtest_filter='MessageBoxes.NoSoundServer' >"$out/log.txt" 2>&1 </dev/null || {
  cat "$out/log.txt"; echo "the message box test failed"; exit 1; }
grep -q "\[  PASSED  \] 1 test" "$out/log.txt" || { cat "$out/log.txt"; echo "the test did not run"; exit 1; }
