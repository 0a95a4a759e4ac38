#!/bin/sh
# Round trips through the installed MS Video 1 driver checked against an independent decoder:
# the test program codes the test pattern and a desktop screenshot (tests/codec/data) at 8, 16,
# 24 and 32 bits and writes the driver's own decoded pictures beside each file; ffprobe must
# read every file as msvideo1 and ffmpeg's decoder must give the same pixels, frame by frame
# (RGB555 for the 16-bit form, B-G-R bytes through the colour table for the 8-bit form).
set -eu
out=$(mktemp -d "$RECLUME_BUILD/codec_roundtrip.XXXXXX")
[ -n "${RECLUME_KEEP:-}" ] || trap 'rm -rf "$out"' EXIT
convert "$RECLUME_SRC/tests/codec/data/desktop.png" -type TrueColor "BMP3:$out/desktop.bmp"
RECLUME_CODEC_OUT=$(winepath -w "$out")
RECLUME_CODEC_DESKTOP=$(winepath -w "$out/desktop.bmp")
export RECLUME_CODEC_OUT RECLUME_CODEC_DESKTOP
wine "$RECLUME_BIN/codec_tests.exe" --gtest_filter='*MsvcRoundTrip*' >"$out/log.txt" 2>&1 </dev/null || {
  cat "$out/log.txt"; echo "coding program failed"; exit 1; }
grep -E 'PSNR' "$out/log.txt" | tr -d '\r'

checked=0
for avi in "$out"/*.avi; do
  name=$(basename "$avi" .avi)
  bits=$(echo "$name" | cut -d- -f2)
  python3 "$RECLUME_SRC/tests/support/avi_check.py" "$avi" --codec msvideo1 --packets 7 >/dev/null || {
    python3 "$RECLUME_SRC/tests/support/avi_check.py" "$avi" --codec msvideo1 --packets 7; exit 1; }
  if [ "$bits" = 8 ]; then format=bgr24; else format=rgb555le; fi
  ffmpeg -v error -i "$avi" -f rawvideo -pix_fmt "$format" "$out/$name.ffmpeg"
  # RGB555 words compare without their unused top bit (ffmpeg keeps a one-colour block's flag).
  python3 - "$out/$name.ffmpeg" "$out/$name.raw" "$format" <<'PY'
import sys
ffmpeg, driver = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
if len(ffmpeg) != len(driver):
    sys.exit(f"{sys.argv[1]}: got {len(ffmpeg)} bytes from ffmpeg, expected {len(driver)}")
if sys.argv[3] == "rgb555le":
    ffmpeg = bytes(b & 0x7F if i % 2 else b for i, b in enumerate(ffmpeg))
    driver = bytes(b & 0x7F if i % 2 else b for i, b in enumerate(driver))
if ffmpeg != driver:
    first = next(i for i in range(len(driver)) if ffmpeg[i] != driver[i])
    sys.exit(f"{sys.argv[1]}: ffmpeg's pixels differ from the driver's from byte {first}")
PY
  checked=$((checked + 1))
done
echo "$checked files decode the same in ffmpeg and in the driver"
[ "$checked" -ge 9 ]
