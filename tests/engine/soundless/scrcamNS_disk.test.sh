#!/bin/sh
# A sound-less recording onto a 20 MB disk behind a folder link in the prefix (raw frames at
# 3 MB/s): it must end by itself as an error stop before the disk is full, and the file it keeps
# must decode to its last frame, its header claiming exactly what it holds.
set -eu
. "$RECLUME_SRC/tests/support/small_disk.sh"
dir=$(mktemp -d "$RECLUME_BUILD/scrcamNS_disk.XXXXXX")
trap 'small_disk_cleanup; rm -rf "$dir"' EXIT
small_disk_mount reclume_ns_disk 20m
RECLUME_SMALL_DISK="$small_disk_win" \
  wine "$RECLUME_BIN/engine_tests.exe" --gtest_filter='ScrCamNSDisk.ASmallDisk*' >"$dir/log.txt" 2>&1 </dev/null || {
  cat "$dir/log.txt"; echo "the test program failed"; exit 1; }
grep -q '\[  PASSED  \] 1 test' "$dir/log.txt" || { cat "$dir/log.txt"; echo "the case did not run"; exit 1; }
f="$small_disk_unix/full.avi"
frames=$(cat "$f.frames")
python3 "$RECLUME_SRC/tests/support/avi_check.py" "$f" --codec rawvideo --width 320 --height 240 --fps 10 \
  --packets "$frames"
# The header's frame count against the packets the file holds, and every frame decoded.
claimed=$(ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 "$f")
read_packets=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$f")
[ "$claimed" = "$read_packets" ] || { echo "header claims $claimed frames, the file holds $read_packets"; exit 1; }
decoded=$(ffmpeg -v error -xerror -i "$f" -f null - 2>&1 || echo "ffmpeg failed")
[ -z "$decoded" ] || { echo "decoding: $decoded"; exit 1; }
echo "kept $frames frames, header $claimed, free $(df -k --output=avail "$small_disk_unix" | tail -1) KB"
