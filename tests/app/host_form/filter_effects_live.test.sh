#!/bin/sh
# A running recording takes the filter effects dialog's change from the next frame: the test
# program records the test pattern through the pass-through compressor at 32 bits and sets red
# to +255 in the dialog a second in. ffmpeg decodes fx.avi: the first frames show the
# pattern's colours, the last ones red at 255 with green and blue as before.
set -eu
work=$(mktemp -d "$RECLUME_BUILD/filter_effects_live.XXXXXX")
trap 'rm -rf "$work"' EXIT
RECLUME_FX_OUT=$(winepath -w "$work")
export RECLUME_FX_OUT
wine "$RECLUME_BIN/app_tests.exe" --gtest_filter='FilterEffectsLive.*' >"$work/log.txt" 2>&1 </dev/null || {
  cat "$work/log.txt"; echo "the recording program failed"; exit 1; }
grep -q "\[  PASSED  \] 1 test" "$work/log.txt" || { cat "$work/log.txt"; echo "the recording test did not run"; exit 1; }

avi="$work/fx.avi"
[ -f "$avi" ] || { ls -la "$work"; echo "got no $avi"; exit 1; }
ffmpeg -v error -xerror -i "$avi" -f rawvideo -pix_fmt rgb24 "$work/frames.rgb" || { echo "ffmpeg could not decode $avi"; exit 1; }
python3 - "$work/frames.rgb" 320 240 <<'PY'
import sys
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = open(path, "rb").read()
size = w * h * 3
frames = len(data) // size
if frames < 20:
    sys.exit(f"decoded {frames} frames, expected at least 20")
pattern = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]
red = [(255, g, b) for _, g, b in pattern]

def quadrants(n):
    frame = data[n * size:(n + 1) * size]
    out = []
    for q in range(4):
        x, y = (3 if q % 2 else 1) * w // 4, (3 if q // 2 else 1) * h // 4
        o = (y * w + x) * 3
        out.append(tuple(frame[o:o + 3]))
    return out

kinds = ["pattern" if quadrants(n) == pattern else "red" if quadrants(n) == red else "other" for n in range(frames)]
print(f"{frames} frames: first {quadrants(0)}, last {quadrants(frames - 1)}")
first_red = kinds.index("red") if "red" in kinds else frames
bad = [n for n, k in enumerate(kinds) if k != ("pattern" if n < first_red else "red")]
if kinds[0] != "pattern" or kinds[-1] != "red" or bad:
    sys.exit(f"expected the pattern, then red at 255 to the end; frames that are neither in order: {bad[:10]}")
print(f"the pattern in frames 0..{first_red - 1}, red at 255 from frame {first_red} on")
PY
