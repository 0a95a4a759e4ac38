#!/bin/sh
# The mirror probe against the local content server, which plays every host as an HTTP proxy:
# statuses, redirects, a silent server, a slow one, an endless body; then once more with the
# proxy on a closed port (refused).
set -eu
out=$(mktemp -d "$RECLUME_BUILD/content_server.XXXXXX")
. "$RECLUME_SRC/tests/support/content_server.sh"
trap 'content_server_stop; rm -rf "$out"' EXIT
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
content_server_start "$out/rules.json" "$out"
trap 'content_server_stop; rm -rf "$out"' EXIT
"$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" --gtest_filter='ServerUrl.*' ||
  { echo "--- server log"; cat "$out/log.txt"; exit 1; }
content_server_stop
unset RECLUME_CONTENT_LOG
http_proxy=http://127.0.0.1:9 "$RECLUME_SRC/scripts/wine-run" "$RECLUME_BIN/online_tests.exe" \
  --gtest_filter='ServerUrlRefused.*'
