#!/bin/sh
# The update dialog's download and restart against the local content server: a stand-in
# package (update_helper.exe, which records how it was started) served as update.exe with a
# signature made by openssl; the dialog fetches it with the real downloader and starts it
# through the shell (UpdateDialogServed.*).
set -eu
out=$(mktemp -d "$RECLUME_BUILD/update_dialog.XXXXXX")
. "$RECLUME_SRC/tests/support/content_server.sh"
. "$RECLUME_SRC/tests/support/update_keys.sh"
trap 'content_server_stop; rm -rf "$out"' EXIT
update_keys_make "$out"
cp "$RECLUME_BIN/update_helper.exe" "$out/update.exe"
update_sign "$out/key.pem" "$out/update.exe"
cat >"$out/rules.json" <<JSON
{
  "dl.example/kv/update.exe": {"body_file": "$out/update.exe"},
  "dl.example/kv/update.exe.sig": {"body_file": "$out/update.exe.sig"}
}
JSON
RECLUME_UPDATE_FILES=$(winepath -w "$out")
export RECLUME_UPDATE_FILES
content_server_start "$out/rules.json" "$out"
trap 'content_server_stop; rm -rf "$out"' EXIT
"$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" --gtest_filter='UpdateDialogServed.*' ||
  { echo "--- server log"; cat "$out/log.txt"; exit 1; }
