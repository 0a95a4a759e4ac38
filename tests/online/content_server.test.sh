#!/bin/sh
# The mirror probe against the local content server, which plays every host as an HTTP proxy:
# statuses, redirects, a silent server, a slow one, an endless body; then once more with the
# proxy on a closed port (refused).
set -eu
out=$(mktemp -d "$RECLUME_BUILD/content_server.XXXXXX")
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$out"' EXIT
cat >"$out/rules.json" <<'JSON'
{
  "ok.test": {"status": 200, "body": "ok"},
  "found.test": {"status": 302, "location": "http://ok.test/ombrix/"},
  "loop.test": {"status": 302, "location": "http://loop.test/ombrix/"},
  "moved.test": {"status": 301, "location": "http://ok.test/ombrix/"},
  "missing.test": {"status": 404},
  "broken.test": {"status": 500},
  "slow.test": {"status": 200, "delay": 2},
  "silent.test": {"silent": true},
  "endless.test": {"endless": true},
  "short.test": {"status": 200, "body": "short", "short_by": 100000},
  "plain.test": {"status": 200},
  "caps.test": {"status": 200}
}
JSON
python3 "$RECLUME_SRC/tests/support/content_server.py" "$out/rules.json" "$out/log.txt" "$out/port" &
server=$!
i=0
while [ ! -f "$out/port" ]; do
  i=$((i + 1)); [ $i -lt 100 ] || { echo "content server did not start"; exit 1; }
  sleep 0.1
done
port=$(cat "$out/port")
RECLUME_CONTENT_LOG=$(winepath -w "$out/log.txt")
export RECLUME_CONTENT_LOG
http_proxy=http://127.0.0.1:$port "$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" \
  --gtest_filter='ServerUrl.*' || { echo "--- server log"; cat "$out/log.txt"; exit 1; }
unset RECLUME_CONTENT_LOG
http_proxy=http://127.0.0.1:9 "$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" \
  --gtest_filter='ServerUrlRefused.*'
