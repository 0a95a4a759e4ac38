#!/bin/sh
# End to end, from outside: Reclume is started as scripts/run starts it (Wine's virtual desktop
# sized to the display, with default settings in a folder of its own), the test program on the
# same desktop presses the record button and stops from the tray icon, and the recording
# folder (the program's folder by default) must then hold 1.avi, which ffprobe reads as
# msvideo1 and ffmpeg decodes completely, showing the test pattern, not a black screen.
set -eu
work=$(mktemp -d "$RECLUME_BUILD/desktop_record.XXXXXX")
reclume=""
cleanup() {
  [ -n "$reclume" ] && kill "$reclume" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/prog" "$work/out"
cp "$RECLUME_BIN/Reclume.exe" "$work/prog/"
size=$(xdpyinfo -display "$DISPLAY" 2>/dev/null | awk '/dimensions:/ && !size { size = $2 } END { print size }')
(cd "$work/prog" && exec wine explorer "/desktop=Reclume,${size:-1920x1080}" ./Reclume.exe </dev/null >"$work/reclume.log" 2>&1) &
reclume=$!

RECLUME_E2E_DESKTOP=Reclume RECLUME_E2E_OUT=$(winepath -w "$work/out")
export RECLUME_E2E_DESKTOP RECLUME_E2E_OUT
wine "$RECLUME_BIN/app_tests.exe" --gtest_filter='DesktopRecord.*' >"$work/log.txt" 2>&1 </dev/null || {
  cat "$work/log.txt"; echo "the user's side failed"; exit 1; }
grep -q "\[  PASSED  \] 1 test" "$work/log.txt" || { cat "$work/log.txt"; echo "the user's side did not run"; exit 1; }
# Closed by the user's side: Reclume and its desktop end by themselves.
for i in $(seq 200); do kill -0 "$reclume" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$reclume" 2>/dev/null; then echo "Reclume did not end after its window closed"; exit 1; fi
reclume=""

avi="$work/prog/1.avi"
[ -f "$avi" ] || { ls -la "$work/prog"; echo "got no $avi, expected the first numbered recording"; exit 1; }
set -- $(cat "$work/out/area.txt")
width=$3 height=$4
python3 "$RECLUME_SRC/tests/support/avi_check.py" "$avi" --codec msvideo1 --width "$width" --height "$height" \
  --min-packets 10
frames=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$avi")
ffmpeg -v error -xerror -i "$avi" -f rawvideo -pix_fmt rgb24 "$work/frames.rgb" || { echo "ffmpeg could not decode $avi"; exit 1; }
python3 - "$work/frames.rgb" "$width" "$height" "$frames" <<'PY'
import sys
path, w, h, packets = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
data = open(path, "rb").read()
size = w * h * 3
# ffmpeg repeats the previous picture for skipped positions: at least one frame per packet.
frames = len(data) // size
if len(data) % size or frames < packets:
    sys.exit(f"decoded {len(data)} bytes, expected at least {packets} whole frames of {size}")
last = data[(frames - 1) * size:]
lit = sum(1 for i in range(0, size, 3 * 97) if any(last[i:i + 3]))
samples = len(range(0, size, 3 * 97))
print(f"{frames} frames decoded; {lit} of {samples} sampled pixels of the last frame are not black")
# The pattern window sat at (200, 160)-(520, 400) of the work area during the recording.
want = {(280, 220): (255, 0, 0), (440, 220): (0, 255, 0), (280, 340): (0, 0, 255), (440, 340): (255, 255, 255)}
found = 0
for n in range(frames):
    frame = data[n * size:(n + 1) * size]
    if all(tuple(frame[(y * w + x) * 3:(y * w + x) * 3 + 3]) == c for (x, y), c in want.items()):
        found += 1
print(f"{found} frames show the test pattern")
sys.exit(0 if found >= 5 and lit > samples // 10 else 1)
PY
