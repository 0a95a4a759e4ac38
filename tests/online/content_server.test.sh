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
  "ok.example": {"status": 200, "body": "ok"},
  "found.example": {"status": 302, "location": "http://ok.example/ombrix/"},
  "loop.example": {"status": 302, "location": "http://loop.example/ombrix/"},
  "moved.example": {"status": 301, "location": "http://ok.example/ombrix/"},
  "missing.example": {"status": 404},
  "broken.example": {"status": 500},
  "slow.example": {"status": 200, "delay": 2},
  "silent.example": {"silent": true},
  "endless.example": {"endless": true},
  "short.example": {"status": 200, "body": "short", "short_by": 100000},
  "plain.example": {"status": 200},
  "caps.example": {"status": 200}
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
