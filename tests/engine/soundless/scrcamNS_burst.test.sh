#!/bin/sh
# A burst of full-screen change near the AVI size limit (lowered through its seam) after a still
# stretch: the sound-less recording must end under the limit with a file that ffprobe reads to
# its last frame, its header claiming exactly what it holds, and ffmpeg decodes whole.
set -eu
out=$(mktemp -d "$RECLUME_BUILD/scrcamNS_burst.XXXXXX")
trap 'rm -rf "$out"' EXIT
RECLUME_SCRCAMNS_OUT=$(winepath -w "$out")
export RECLUME_SCRCAMNS_OUT
wine "$RECLUME_BIN/engine_tests.exe" --gtest_filter='ScrCamNSDisk.ABurst*' >"$out/log.txt" 2>&1 </dev/null || {
  cat "$out/log.txt"; echo "the test program failed"; exit 1; }
grep -q '\[  PASSED  \] 1 test' "$out/log.txt" || { cat "$out/log.txt"; echo "the case did not run"; exit 1; }
f="$out/burst.avi"
frames=$(cat "$f.frames")
python3 "$RECLUME_SRC/tests/support/avi_check.py" "$f" --codec msvideo1 --width 640 --height 480 --fps 10 \
  --packets "$frames"
size=$(stat -c %s "$f")
limit=$((3 * 1024 * 1024))
[ "$size" -lt "$limit" ] || { echo "the file holds $size bytes, the limit is $limit"; exit 1; }
claimed=$(ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 "$f")
read_packets=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$f")
[ "$claimed" = "$read_packets" ] || { echo "header claims $claimed frames, the file holds $read_packets"; exit 1; }
decoded=$(ffmpeg -v error -xerror -i "$f" -f null - 2>&1 || echo "ffmpeg failed")
[ -z "$decoded" ] || { echo "decoding: $decoded"; exit 1; }
echo "kept $frames frames in $size bytes under a limit of $limit"
