#!/bin/sh
# Without a sound server there is no mixer: the mixer component is still made and counts 0,
# and a new camera lists no audio input (-1, -1, no volume) without raising; a recording with
# sound ends at its start with "Error on start audio recording.". The test program runs with
# PULSE_SERVER naming a socket that does not exist.
set -eu
dir=$(mktemp -d "$RECLUME_BUILD/no_sound_server.XXXXXX")
trap 'rm -rf "$dir"' EXIT
PULSE_SERVER=unix:$dir/nowhere/native RECLUME_NO_SOUND_SERVER=1 \
  wine "$RECLUME_BIN/engine_tests.exe" --gtest_filter='NoSoundServer.*' >"$dir/log.txt" 2>&1 </dev/null || {
  cat "$dir/log.txt"; echo "the test program failed"; exit 1; }
grep -q '\[  PASSED  \] 2 tests' "$dir/log.txt" || { cat "$dir/log.txt"; echo "the cases did not run"; exit 1; }
