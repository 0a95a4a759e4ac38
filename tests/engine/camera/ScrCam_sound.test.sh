#!/bin/sh
# The screen camera's recordings with sound, checked from outside: the test program
# (ScrCamSound.*) records the pattern window through MRLE at 8 bits, 10 frames a second, with
# 16-bit mono sound at 8000 Hz, while tones are played into the null sink "rec".
#  - 4 s with a 1000 Hz tone: one msrle stream of the area at 10 fps with one non-empty packet
#    per written frame, one pcm_s16le 8000 Hz mono stream whose decoded length is the video's
#    within 0.3 s and that holds the tone; both streams are the temporary files' unchanged.
#  - a tone played only while the recording is paused: the file holds no tone, and the lengths
#    still agree.
#  - a window turning white as a burst plays, 3 s in: the burst's onset lies within 0.4 s of
#    the first white frame.
#  - a sound server of its own killed 3 s in, the recording going on 3 s more: the picture
#    whole, the sound up to the kill, and the camera tells where the sound stopped.
set -eu
out=$(mktemp -d "$RECLUME_BUILD/scrcam_sound.XXXXXX")
pids=""
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  rm -rf "$out"
}
trap cleanup EXIT
cd "$out"
RECLUME_SCRCAM_OUT=$(winepath -w "$out")
export RECLUME_SCRCAM_OUT
. "$RECLUME_SRC/tests/audio/shell_checks.sh"

run_case() {  # name: runs ScrCamSound.name, fails (fail=1) when it did not pass
  if ! wine "$RECLUME_BIN/engine_tests.exe" --gtest_filter="ScrCamSound.$1" >"$out/$1.log" 2>&1 </dev/null ||
     ! grep -q "\[  PASSED  \] 1 test" "$out/$1.log"; then
    cat "$out/$1.log"; echo "$1: the test program failed"; fail=1; return 1
  fi
}
now_ms() { date +%s%3N; }
# The merged file's sound decoded to a wave.
sound_of() { ffmpeg -v error -y -i "$1" -map 0:a -c:a pcm_s16le "$2"; }
# Seconds of the video: its positions (empty ones included) at 10 a second.
video_seconds() {
  n=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$1")
  awk -v n="$n" 'BEGIN { print n / 10 }'
}
# Seconds from the start of the first sample whose magnitude is over 0.1.
onset() {
  sox "$1" -t dat - | awk '!/^;/ { if ($2 + 0 > 0.1 || $2 + 0 < -0.1) { print $1; exit } }'
}

sox -n -r 44100 -c 2 tone.wav synth 30 sine 1000 vol 0.5
sox -n -r 44100 -c 2 burst.wav synth 0.3 sine 1000 vol 0.5

# ---- 4 s with a tone
echo "== a tone throughout"
paplay --device=rec tone.wav & tone=$!
pids="$pids $tone"
sleep 0.3
run_case FourSecondsWithATone || true
kill $tone 2>/dev/null || true
if [ -f tone.avi ]; then
  python3 "$RECLUME_SRC/tests/support/avi_check.py" tone.avi --codec msrle --width 320 --height 240 --fps 10 \
    --packets "$(cat tone.frames)" || fail=1
  check "sound codec" "$(probe tone.avi codec_name)" pcm_s16le
  check "sound rate" "$(probe tone.avi sample_rate)" 8000
  check "sound channels" "$(probe tone.avi channels)" 1
  # The headers as written after the merge: 10 fps is 100,000 us a frame, and the sound
  # stream's length counts its blocks (its bytes over its block), not its chunks.
  check "microseconds per frame" "$(python3 -c '
import struct, sys
b = open(sys.argv[1], "rb").read()
print(struct.unpack("<I", b[b.find(b"avih") + 8:][:4])[0])' tone.avi)" 100000
  check "sound length in blocks" "$(python3 -c '
import struct, sys
b = open(sys.argv[1], "rb").read()
a = b.find(b"auds")
length, size = struct.unpack("<I", b[a + 32:a + 36])[0], struct.unpack("<I", b[a + 44:a + 48])[0]
f = b.find(b"strf", a)
block = size or struct.unpack("<H", b[f + 8 + 12:f + 8 + 14])[0]
m, end = b.find(b"movi"), b.rfind(b"idx1")
total, at = 0, b.find(b"01wb", m, end)
while at >= 0:
    n = struct.unpack("<I", b[at + 4:at + 8])[0]
    total += n
    at = b.find(b"01wb", at + 8 + n + (n & 1), end)
print("right" if length == total // block else "%d of %d" % (length, total // block))' tone.avi)" right
  sound_of tone.avi tone-sound.wav
  near "sound length against the video's (s)" "$(sox --i -D tone-sound.wav)" "$(video_seconds tone.avi)" 0.3
  # Past the head Wine loses (filled with silence), the tone.
  freq=$(sox tone-sound.wav -n trim 2.5 1 stat 2>&1 | sed -n 's/^Rough[[:space:]]*frequency:[[:space:]]*//p')
  near "tone (Hz)" "$freq" 1000 50
  peak=$(sox tone-sound.wav -n trim 2.5 1 stat 2>&1 | sed -n 's/^Maximum amplitude:[[:space:]]*//p')
  near "tone peak" "$peak" 0.5 0.1
  # The merge copies both streams as they are.
  ffmpeg -v error -i tone-video.avi -map 0:v -c copy -f framemd5 - | grep -v '^#' >video-before.md5
  ffmpeg -v error -i tone.avi -map 0:v -c copy -f framemd5 - | grep -v '^#' >video-after.md5
  check "video stream unchanged" "$(cmp -s video-before.md5 video-after.md5 && echo same || echo differs)" same
  check "sound stream unchanged" "$(ffmpeg -v error -i tone-audio.wav -map 0:a -f md5 -)" \
    "$(ffmpeg -v error -i tone.avi -map 0:a -f md5 -)"
else
  echo "tone.avi missing"; fail=1
fi

# ---- a tone only during a pause
echo "== a tone during a pause"
run_case APauseLeavesOutWhatPlayedMeanwhile & prog=$!
i=0
while [ ! -f paused ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i + 1)); done
sox -n -r 44100 -c 2 pause-tone.wav synth 1 sine 1000 vol 0.5
# Wave-in still delivers what arrives in the first 50 ms or so after it was stopped.
sleep 0.3
paplay --device=rec pause-tone.wav
touch tone-played
wait $prog || fail=1
if [ -f pause.avi ]; then
  sound_of pause.avi pause-sound.wav
  peak=$(sox pause-sound.wav -n stat 2>&1 | sed -n 's/^Maximum amplitude:[[:space:]]*//p')
  near "peak of the sound (nothing played outside the pause)" "$peak" 0 0.05
  near "sound length against the video's (s)" "$(sox --i -D pause-sound.wav)" "$(video_seconds pause.avi)" 0.3
else
  echo "pause.avi missing"; fail=1
fi

# ---- a flash and a burst
echo "== a flash and a burst"
run_case AFlashAndABurstTogether & prog=$!
i=0
while [ ! -f flash ] && [ $i -lt 2000 ]; do sleep 0.01; i=$((i + 1)); done
paplay --device=rec burst.wav
wait $prog || fail=1
if [ -f sync.avi ]; then
  # Every position at 10 a second (an empty one repeats the last frame), as grey.
  ffmpeg -v error -i sync.avi -map 0:v -vf fps=10 -pix_fmt gray -f rawvideo sync.gray
  white=$(python3 -c "
import sys
data = open('sync.gray', 'rb').read()
size = 320 * 240
for i in range(len(data) // size):
    frame = data[i * size:(i + 1) * size]
    if sum(frame[::97]) / len(frame[::97]) > 128:
        print(i / 10); break
")
  sound_of sync.avi sync-sound.wav
  at=$(onset sync-sound.wav)
  echo "first white frame at ${white:-none} s, burst onset at ${at:-none} s"
  if [ -n "$white" ] && [ -n "$at" ]; then
    near "burst onset against the flash (s)" "$at" "$white" 0.4
  else
    echo "no flash or no burst found"; fail=1
  fi
else
  echo "sync.avi missing"; fail=1
fi
# ---- a sound server of its own, killed mid-recording
echo "== a killed sound server"
mkdir -m 0700 "$out/pulse2"
XDG_RUNTIME_DIR=$out/pulse2 pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
  --load="module-native-protocol-unix socket=$out/pulse2/native" --load="module-null-sink sink_name=rec2" \
  --load=module-always-sink >/dev/null 2>&1 & server=$!
pids="$pids $server"
i=0
while ! PULSE_SERVER=unix:$out/pulse2/native pactl info >/dev/null 2>&1 && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
PULSE_SERVER=unix:$out/pulse2/native RECLUME_SCRCAM_KILL=1 run_case AKilledServerIsToldWhereTheSoundStopped & prog=$!
i=0
while [ ! -f kill-ready ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i + 1)); done
sleep 3
kill -9 $server 2>/dev/null || true
touch killed
wait $prog || fail=1
if [ -f killed.avi ]; then
  sound_of killed.avi killed-sound.wav
  # The sound track runs to the kill (3 s after the first frame, give or take the head and the
  # buffer in flight); the picture 3 s longer.
  near "killed: sound length (s)" "$(sox --i -D killed-sound.wav)" 3 1
  near "killed: video length (s)" "$(video_seconds killed.avi)" 6 1
else
  echo "killed.avi missing"; fail=1
fi
exit $fail
