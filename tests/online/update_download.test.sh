#!/bin/sh
# The verified downloader against the local content server: a key pair and signatures made
# with openssl, a good program and every way its download can go wrong (UpdateFiles.*); then
# once more with the proxy on a closed port (refused).
set -eu
out=$(mktemp -d "$RECLUME_BUILD/update_download.XXXXXX")
. "$RECLUME_SRC/tests/support/content_server.sh"
. "$RECLUME_SRC/tests/support/update_keys.sh"
trap 'content_server_stop; rm -rf "$out"' EXIT
update_keys_make "$out"
cp "$RECLUME_BIN/Reclume.exe" "$out/good.exe"
update_sign "$out/key.pem" "$out/good.exe"
update_sign "$out/other.pem" "$out/good.exe" "$out/otherkey.sig"
printf 'MZ? no, only text that was signed\n' >"$out/text.txt"
update_sign "$out/key.pem" "$out/text.txt"
# One byte in the middle, flipped.
python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[len(b) // 2] ^= 1; open(sys.argv[2], "wb").write(b)' \
  "$out/good.exe" "$out/changed.exe"
cmp -s "$out/good.exe" "$out/changed.exe" && { echo "the changed copy is not changed"; exit 1; }
head -c 1025 /dev/zero >"$out/long.sig"
g="$out/good.exe"; s="$out/good.exe.sig"
cat >"$out/rules.json" <<JSON
{
  "dl.example/good.exe": {"body_file": "$g"},
  "dl.example/good.exe.sig": {"body_file": "$s"},
  "dl.example/missing.exe": {"status": 404, "body": "<html><body>not here</body></html>"},
  "dl.example/missing.exe.sig": {"body_file": "$s"},
  "dl.example/short.exe": {"body_file": "$g", "short_by": 1000},
  "dl.example/short.exe.sig": {"body_file": "$s"},
  "dl.example/silent.exe": {"silent": true},
  "dl.example/moved.exe": {"status": 302, "location": "http://dl.example/good.exe"},
  "dl.example/moved.exe.sig": {"body_file": "$s"},
  "dl.example/endless.exe": {"endless": true},
  "dl.example/unannounced.exe": {"endless": true, "unannounced": true},
  "dl.example/text.exe": {"body_file": "$out/text.txt"},
  "dl.example/text.exe.sig": {"body_file": "$out/text.txt.sig"},
  "dl.example/otherkey.exe": {"body_file": "$g"},
  "dl.example/otherkey.exe.sig": {"body_file": "$out/otherkey.sig"},
  "dl.example/changed.exe": {"body_file": "$out/changed.exe"},
  "dl.example/changed.exe.sig": {"body_file": "$s"},
  "dl.example/nosig.exe": {"body_file": "$g"},
  "dl.example/longsig.exe": {"body_file": "$g"},
  "dl.example/longsig.exe.sig": {"body_file": "$out/long.sig"}
}
JSON
RECLUME_UPDATE_FILES=$(winepath -w "$out")
export RECLUME_UPDATE_FILES
content_server_start "$out/rules.json" "$out"
trap 'content_server_stop; rm -rf "$out"' EXIT
"$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" --gtest_filter='ProgramCheck.*:UpdateFiles.*' ||
  { echo "--- server log"; cat "$out/log.txt"; exit 1; }
content_server_stop
unset RECLUME_CONTENT_LOG
http_proxy=http://127.0.0.1:9 "$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" \
  --gtest_filter='UpdateFiles.ARefusedConnection*'
