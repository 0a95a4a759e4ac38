#!/bin/sh
# Three recordings with sound through the main window on a 640x480x24 display of its own, with
# the test's pass-through compressor, 100 ms per frame slot and 10 frames per second: the test
# program starts each one from the record button and ends them through the tray icon (1.avi),
# Esc (2.avi) and closing the window (3.avi). An 8 s 440 Hz tone is played into the sound card
# as each recording starts. Here ffprobe and sox check the files: a 640x480 video stream and a
# pcm_s16le 8000 Hz mono sound stream in each; in 1.avi the sound is as long as the video
# (within 0.5 s) and its last 2 s hold the tone. No temporary file is left behind.
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
. "$RECLUME_SRC/tests/audio/shell_checks.sh"
own_display_setup record_sound
rec="$work/rec"
mkdir -p "$rec"
own_display_start 640x480x24
sox -n -r 44100 -c 2 "$work/tone.wav" synth 8 sine 440 vol 0.5

RECLUME_E2E_SOUND_FOLDER=$(winepath -w "$rec")
export RECLUME_E2E_SOUND_FOLDER
wine "$RECLUME_BIN/app_tests.exe" --gtest_filter='RecordWithSoundEndToEnd.*' >"$work/log.txt" 2>&1 </dev/null &
prog=$!
players=""
for n in 1 2 3; do
  i=0
  while [ ! -f "$rec/recording.$n" ] && [ $i -lt 1200 ] && kill -0 $prog 2>/dev/null; do sleep 0.05; i=$((i + 1)); done
  [ -f "$rec/recording.$n" ] || break
  paplay --device=rec "$work/tone.wav" & players="$players $!"
done
status=0
wait $prog || status=$?
for p in $players; do kill "$p" 2>/dev/null || true; done
if [ $status -ne 0 ] || ! grep -q "\[  PASSED  \] 1 test" "$work/log.txt"; then
  cat "$work/log.txt"; echo "the recording program failed"; exit 1
fi

# The frequency of the first channel from its rising zero crossings.
frequency() {
  sox "$1" -t dat - | awk '!/^;/ { if (n++ && prev < 0 && $2 + 0 >= 0) { if (!first) first = $1; last = $1; k++ }
    prev = $2 + 0 } END { if (k > 1) printf "%.1f\n", (k - 1) / (last - first); else print 0 }'
}
vprobe() { ffprobe -v error -select_streams v:0 -show_entries "stream=$2" -of default=nw=1:nk=1 "$1"; }

for n in 1 2 3; do
  f="$rec/$n.avi"
  echo "== $n.avi"
  [ -f "$f" ] || { ls -la "$rec"; echo "got no $f"; fail=1; continue; }
  check "$n.avi video width" "$(vprobe "$f" width)" 640
  check "$n.avi video height" "$(vprobe "$f" height)" 480
  check "$n.avi sound codec" "$(probe "$f" codec_name)" pcm_s16le
  check "$n.avi sound rate" "$(probe "$f" sample_rate)" 8000
  check "$n.avi sound channels" "$(probe "$f" channels)" 1
done

f="$rec/1.avi"
if [ -f "$f" ]; then
  # The sound decoded (its stream's length is not in the header) against the video's frames.
  ffmpeg -v error -i "$f" -map 0:a:0 "$work/sound.wav"
  sound=$(sox --i -D "$work/sound.wav")
  video=$(vprobe "$f" duration)
  near "1.avi sound length against the video's (s)" "$sound" "$video" 0.5
  sox "$work/sound.wav" "$work/tail.wav" trim "$(awk -v s="$sound" 'BEGIN { print s - 2 }')"
  near "1.avi tone in the last 2 s (Hz)" "$(frequency "$work/tail.wav")" 440 20
fi

left=$(find "$WINEPREFIX/drive_c" \( -iname tmpVideoStream.avi -o -iname tmpAudioStream.wav -o -iname qivtmp.avi \) | head -5)
check "temporary files left" "${left:-none}" none
exit $fail
