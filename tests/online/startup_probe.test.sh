#!/bin/sh
# Reclume at start-up against the local content server, which plays every mirror: first with
# two mirrors answering (the probe stops at the first of them in its order and the
# demonstration tab asks it for its page), then with every mirror silent (the window answers
# and closes promptly).
set -eu
out=$(mktemp -d "$RECLUME_BUILD/startup_probe.XXXXXX")
. "$RECLUME_SRC/tests/support/content_server.sh"
page='<html><head><title>demo</title></head><body><!---qvb---3.6---qve---></body></html>'
cat >"$out/answer.json" <<JSON
{
  "cloud3.qivsoft.example": {"status": 200, "body": "$page"},
  "cloud5.qivsoft.example": {"status": 302, "location": "http://cloud5.qivsoft.example/ombrix/x"},
  "*": {"status": 404}
}
JSON
echo '{"*": {"silent": true}}' >"$out/silent.json"
RECLUME_EXE=$(winepath -w "$RECLUME_BIN/Reclume.exe")
export RECLUME_EXE
# run RULES UP_ENTRIES TEST
run() {
  content_server_start "$out/$1" "$out"
  trap 'content_server_stop; rm -rf "$out"' EXIT
  RECLUME_UP_ENTRIES=$2 "$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" \
    --gtest_filter="ReclumeRun.$3" || { echo "--- server log ($1)"; cat "$out/log.txt"; exit 1; }
  content_server_stop
}
# Entries 2 (cloud3) and 4 (cloud5, a 302) answer.
run answer.json 2,4 'ProbesInOneOrder*'
run silent.json none 'WithEveryMirrorSilent*'
rm -rf "$out"
