# The recorder against real sound: a 1000 Hz tone played into the null sink "rec" is recorded
# in five formats; a beep launched 3.0 s after the recording started lands where it was played
# once the head gap is added; a sound server of its own killed mid-recording leaves a valid wave
# up to the kill and a prompt Free; with no server at all the open fails at once. The test
# program (WaveInScripted.*) records and writes its facts; sox and ffprobe check the files here.
set -eu
dir=$(mktemp -d "$RECLUME_BUILD/wave_in.XXXXXX")
pids=""
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT
cd "$dir"
RECLUME_AUDIO_OUT=$(winepath -w "$dir")
export RECLUME_AUDIO_OUT
# Runs one WaveInScripted case (extra environment first); its output goes to a log, shown when
# the case did not pass. Fails (and sets fail) then, also when run in the background.
run_case() {
  case_name=$1; shift
  if ! env "$@" wine "$RECLUME_BIN/audio_tests.exe" --gtest_filter="WaveInScripted.$case_name" \
        >"$dir/$case_name.log" 2>&1 </dev/null ||
     ! grep -q "\[  PASSED  \] 1 test" "$dir/$case_name.log"; then
    cat "$dir/$case_name.log"; echo "$case_name: the test program failed"; fail=1; return 1
  fi
}

. "$RECLUME_SRC/tests/audio/shell_checks.sh"
fact() { sed -n "s/^$2 //p" "$1"; }
u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
u16() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
now_ms() { date +%s%3N; }
# Seconds from the start of the first sample whose magnitude is over 0.1 (any channel).
onset() {
  sox "$1" -t dat - | awk '!/^;/ { for (i = 2; i <= NF; i++) if ($i != "" && ($i + 0 > 0.1 || $i + 0 < -0.1)) { print $1; exit } }'
}
# The frequency of channel 1 from its rising zero crossings.
frequency() {
  sox "$1" -t dat - remix 1 | awk '!/^;/ { if (n++ && prev < 0 && $2 + 0 >= 0) { if (!first) first = $1; last = $1; k++ }
    prev = $2 + 0 } END { if (k > 1) printf "%.1f\n", (k - 1) / (last - first); else print 0 }'
}

# ---- tones in five formats
sox -n -r 44100 -c 2 tone.wav synth 40 sine 1000 vol 0.5
paplay --device=rec tone.wav & pids="$pids $!"
sleep 0.5
touch wave-in-tones
run_case TonesInFiveFormats || true
rm -f wave-in-tones
for p in $pids; do kill "$p" 2>/dev/null || true; done
pids=""

#      ordinal codec rate channels bits
for spec in "1 pcm_u8 8000 1 8" "3 pcm_s16le 8000 1 16" "8 pcm_s16le 11025 2 16" \
            "16 pcm_s16le 44100 2 16" "20 pcm_s16le 48000 2 16"; do
  set -- $spec
  f=tone-$1.wav
  echo "== format $1"
  [ -f "$f" ] || { echo "$f: missing"; fail=1; continue; }
  check "$f codec" "$(probe "$f" codec_name)" "$2"
  check "$f rate" "$(probe "$f" sample_rate)" "$3"
  check "$f channels" "$(probe "$f" channels)" "$4"
  block=$(( $4 * $5 / 8 ))
  # The header as the wave library writes it: RIFF, an 18-byte 'fmt ', then 'data'.
  check "$f RIFF size" "$(u32 "$f" 4)" "$(( $(stat -c %s "$f") - 8 ))"
  check "$f 'fmt ' size" "$(u32 "$f" 16)" 18
  check "$f block align" "$(u16 "$f" 32)" "$block"
  data=$(u32 "$f" 42)
  check "$f data size" "$data" "$(( $(stat -c %s "$f") - 46 ))"
  check "$f data in whole blocks" "$(( data % block ))" 0
  near "$f tone (Hz)" "$(frequency "$f")" 1000 20
  amp=$(sox "$f" -n stat 2>&1 | sed -n 's/^Maximum amplitude:[[:space:]]*//p')
  near "$f peak" "$amp" 0.5 0.05
  seconds=$(sox --i -D "$f")
  gap=$(fact tone-$1.txt gap)
  wall=$(fact tone-$1.txt wall)
  near "$f length + head gap (s)" "$(awk -v s="$seconds" -v g="$gap" 'BEGIN { print s + g / 1000 }')" \
    "$(awk -v w="$wall" 'BEGIN { print w / 1000 }')" 0.15
done

# ---- a beep 3.0 s after the start
echo "== beep"
sox -n -r 44100 -c 2 beep-sound.wav synth 0.3 sine 1000 vol 0.5
touch wave-in-beep
run_case BeepAfterThreeSeconds & prog=$!
i=0
while [ ! -s beep-start.txt ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
start=$(fact beep-start.txt start)
if [ -n "$start" ]; then
  while [ "$(now_ms)" -lt $((start + 3000)) ]; do sleep 0.005; done
  launch=$(now_ms)
  paplay --device=rec beep-sound.wav
else
  echo "beep: the program wrote no start"; fail=1; launch=0
fi
touch beep-done
wait $prog || fail=1
rm -f wave-in-beep
if [ -f beep.wav ] && [ -n "$start" ]; then
  gap=$(fact beep-facts.txt gap)
  at=$(onset beep.wav 2>/dev/null || true)
  echo "beep: onset at $at s in the wave, head gap $gap ms"
  near "beep onset + head gap (s)" "$(awk -v a="$at" -v g="$gap" 'BEGIN { print a + g / 1000 }')" \
    "$(awk -v l="$launch" -v s="$start" 'BEGIN { print (l - s) / 1000 }')" 0.1
fi

# ---- a sound server of our own, killed mid-recording
echo "== killed server"
mkdir -m 0700 "$dir/pulse2"
XDG_RUNTIME_DIR=$dir/pulse2 pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
  --load="module-native-protocol-unix socket=$dir/pulse2/native" --load="module-null-sink sink_name=rec2" \
  --load=module-always-sink >/dev/null 2>&1 & server=$!
pids="$pids $server"
i=0
while ! PULSE_SERVER=unix:$dir/pulse2/native pactl info >/dev/null 2>&1 && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
touch wave-in-kill
run_case ServerKilledMidRecording PULSE_SERVER=unix:$dir/pulse2/native & prog=$!
i=0
while [ ! -s kill-ready.txt ] && [ $i -lt 300 ]; do sleep 0.05; i=$((i + 1)); done
sleep 1
kill -9 $server
killed_at=$(now_ms)
touch killed
wait $prog || fail=1
rm -f wave-in-kill
start=$(fact kill-ready.txt start)
if [ -f killed.wav ] && [ -n "$start" ]; then
  seconds=$(sox --i -D killed.wav)
  gap=$(fact kill-facts.txt gap)
  # Valid up to the kill, give or take the buffer in flight (200 ms) and the kill's own delay.
  near "killed: length + head gap (s)" "$(awk -v s="$seconds" -v g="$gap" 'BEGIN { print s + g / 1000 }')" \
    "$(awk -v k="$killed_at" -v s="$start" 'BEGIN { print (k - s) / 1000 }')" 0.3
else
  echo "killed: no wave or no start"; fail=1
fi

# ---- no server anywhere
echo "== no server"
touch wave-in-noserver
run_case NoServer PULSE_SERVER=unix:$dir/nowhere/native || true
exit $fail
