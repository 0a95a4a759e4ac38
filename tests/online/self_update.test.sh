#!/bin/sh
# The self-update end to end: the local content server serves the built Pelvane as setupKV.exe
# with a signature made by openssl, once signed with another key, and once held half-sent;
# the test program runs the real SelfUpdater (SelfUpdateServed.*) on a dummy program file in
# C:\Program Files\Tools\ of a scratch copy of the prefix, and the real Pelvane replaces it.
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
. "$RECLUME_SRC/tests/support/content_server.sh"
. "$RECLUME_SRC/tests/support/update_keys.sh"
own_display_setup self_update
trap 'content_server_stop; own_display_cleanup' EXIT
own_display_start 1024x768x24
files="$work/files"
mkdir -p "$files"
update_keys_make "$files"
cp "$RECLUME_BIN/Pelvane.exe" "$files/setupKV.exe"
cp "$RECLUME_BIN/Reclume.exe" "$files/Reclume.exe"
update_sign "$files/key.pem" "$files/setupKV.exe"
update_sign "$files/other.pem" "$files/setupKV.exe" "$files/other.sig"
p="$files/setupKV.exe"
cat >"$files/rules.json" <<JSON
{
  "update.example/ombrix/update/kv/setupKV.exe": {"body_file": "$p"},
  "update.example/ombrix/update/kv/setupKV.exe.sig": {"body_file": "$p.sig"},
  "update.example/otherkey/setupKV.exe": {"body_file": "$p"},
  "update.example/otherkey/setupKV.exe.sig": {"body_file": "$files/other.sig"},
  "update.example/held/setupKV.exe": {"body_file": "$p", "hold": 8},
  "update.example/held/setupKV.exe.sig": {"body_file": "$p.sig"}
}
JSON
RECLUME_UPDATE_FILES=$(winepath -w "$files")
export RECLUME_UPDATE_FILES
content_server_start "$files/rules.json" "$work"
trap 'content_server_stop; own_display_cleanup' EXIT
"$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" --gtest_filter='SelfUpdateServed.*' ||
  { echo "--- server log"; cat "$work/log.txt"; exit 1; }
