#!/bin/sh
# Recordings with sound on 30 MB disks that fill (the target's, the temporary folder's, one that
# another writer fills while recording or while merging, the temporary one filled by another
# writer while recording), a read-only disk (told from a full one, by both recorders), a pair
# left by an earlier run, and the AVI size limit lowered through its seam (ScrCamDisk.* in the
# test program). Every file the
# cases leave, saved recordings and kept ones, is decoded here: each AVI decodes without an
# error, every frame its header counts, its last frame at the length its header claims, its
# sound to the video's length (within 0.5 s); each kept wave decodes, in whole blocks.
set -eu
. "$RECLUME_SRC/tests/support/small_disk.sh"
. "$RECLUME_SRC/tests/audio/shell_checks.sh"
out=$(mktemp -d "$RECLUME_BUILD/scrcam_disk.XXXXXX")
trap 'small_disk_cleanup; rm -rf "$out"' EXIT
small_disk_mount reclume_disk_target 30m
target=$small_disk_win
small_disk_mount reclume_disk_temp 30m
temp=$small_disk_win
small_disk_mount reclume_disk_ro 30m
mount -o remount,ro "$small_disk_unix"
ro=$small_disk_win
RECLUME_DISK_OUT=$(winepath -w "$out") RECLUME_DISK_TARGET=$target RECLUME_DISK_TEMP=$temp RECLUME_DISK_RO=$ro \
  wine "$RECLUME_BIN/engine_tests.exe" --gtest_filter='ScrCamDisk.*' >"$out/log.txt" 2>&1 </dev/null || {
  cat "$out/log.txt"; echo "the test program failed"; exit 1; }
grep -q '\[  PASSED  \] 4 tests' "$out/log.txt" || { cat "$out/log.txt"; echo "the cases did not run"; exit 1; }

fail=0
for f in "$out"/*.avi; do
  name=$(basename "$f")
  echo "== $name"
  # The header's length against the time of the last frame that decodes (skipped positions
  # are empty chunks, which ffprobe does not count as packets).
  video=$(ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 "$f")
  last=$(ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 "$f" | tail -1)
  near "$name last frame's end against the header's length (s)" "$(awk -v l="$last" 'BEGIN { print l + 0.1 }')" \
    "$video" 0.3
  errors=$(ffmpeg -v error -i "$f" -f null - 2>&1 | head -3)
  check "$name decoding errors" "${errors:-none}" none
  check "$name frames decoded" \
    "$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$f")" \
    "$(ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 "$f")"
  if ffprobe -v error -select_streams a -show_entries stream=codec_name -of csv=p=0 "$f" | grep -q .; then
    ffmpeg -v error -y -i "$f" -map 0:a:0 "$out/sound.wav"
    # A temporary disk that another writer filled ended the wave first: its sound is shorter.
    case $name in
      temp-taken*.avi) echo "$name: sound $(sox --i -D "$out/sound.wav") s of $video s (the disk filled)" ;;
      *) near "$name sound length against the video's (s)" "$(sox --i -D "$out/sound.wav")" "$video" 0.5 ;;
    esac
  fi
done
for f in "$out"/*.wav; do
  [ -f "$f" ] && [ "$(basename "$f")" != sound.wav ] || continue
  echo "== $(basename "$f")"
  length=$(sox --i -D "$f" 2>/dev/null || echo none)
  check "$(basename "$f") decodes" "$(awk -v l="$length" 'BEGIN { print (l + 0 > 0) ? "yes" : "no" }')" yes
  # The recorder's header: the format's block at byte 32, the data's size at byte 42.
  block=$(od -An -tu2 -j32 -N2 "$f" | tr -d ' ')
  data=$(od -An -tu4 -j42 -N4 "$f" | tr -d ' ')
  check "$(basename "$f") whole blocks" "$((data % block))" 0
done
exit $fail
