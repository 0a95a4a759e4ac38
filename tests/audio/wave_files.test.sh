# Waves written by the adapter, checked from the Linux side: a tone made by sox is read,
# converted to 44.1 kHz stereo and shortened by half a second; an odd-sized 8-bit recording
# is written through the recorder's path. ffprobe and sox must read both as they were meant.
set -eu
dir=$(mktemp -d "$RECLUME_BUILD/wave_files.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir"
sox -n -r 8000 -c 1 -b 16 sox-tone.wav synth 2 sine 440 vol 0.5
RECLUME_AUDIO_OUT=$(winepath -w "$dir")
export RECLUME_AUDIO_OUT
wine "$RECLUME_BIN/audio_tests.exe" --gtest_filter=WaveFiles.* >"$dir/log.txt" 2>&1 </dev/null || {
  cat "$dir/log.txt"; echo "the wave program failed"; exit 1; }
grep -q "\[  PASSED  \] 1 test" "$dir/log.txt" || { cat "$dir/log.txt"; echo "the wave test did not run"; exit 1; }

. "$RECLUME_SRC/tests/audio/shell_checks.sh"

check "converted codec" "$(probe converted.wav codec_name)" pcm_s16le
check "converted rate" "$(probe converted.wav sample_rate)" 44100
check "converted channels" "$(probe converted.wav channels)" 2
near "converted seconds" "$(sox --i -D converted.wav)" 1.5 0.02
# The platform's rate conversion repeats samples: filter the steps' harmonics away first.
freq=$(sox converted.wav -n remix 1 lowpass 2000 stat 2>&1 | sed -n 's/^Rough[[:space:]]*frequency:[[:space:]]*//p')
near "converted tone (Hz)" "$freq" 440 15
amp=$(sox converted.wav -n stat 2>&1 | sed -n 's/^Maximum amplitude:[[:space:]]*//p')
near "converted amplitude" "$amp" 0.5 0.05

check "recorded codec" "$(probe recorded.wav codec_name)" pcm_u8
check "recorded rate" "$(probe recorded.wav sample_rate)" 8000
check "recorded samples" "$(sox --i -s recorded.wav)" 8001
check "recorded file size" "$(stat -c %s recorded.wav)" 8048
check "recorded RIFF size" "$(od -An -tu4 -j4 -N4 recorded.wav | tr -d ' ')" 8040
check "recorded 'fmt ' size" "$(od -An -tu4 -j16 -N4 recorded.wav | tr -d ' ')" 18
freq=$(sox recorded.wav -n stat 2>&1 | sed -n 's/^Rough[[:space:]]*frequency:[[:space:]]*//p')
near "recorded tone (Hz)" "$freq" 1000 30
exit $fail
