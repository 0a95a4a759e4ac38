# Sourced by the shell tests that run programs against the local content server
# (content_server.py), which plays every web host as an HTTP proxy.
#   content_server_start RULES FOLDER  starts it on a free port with the rules file, logging to
#                                      FOLDER/log.txt; exports http_proxy (naming it) and
#                                      RECLUME_CONTENT_LOG (the log as a Windows path)
#   content_server_stop                stops it (also at exit, once started)
content_server_pid=""

content_server_start() {
  rm -f "$2/port" "$2/log.txt"
  python3 "$RECLUME_SRC/tests/support/content_server.py" "$1" "$2/log.txt" "$2/port" &
  content_server_pid=$!
  trap content_server_stop EXIT
  i=0
  while [ ! -f "$2/port" ]; do
    i=$((i + 1)); [ $i -lt 100 ] || { echo "content server did not start"; return 1; }
    sleep 0.1
  done
  export http_proxy="http://127.0.0.1:$(cat "$2/port")"
  RECLUME_CONTENT_LOG=$(winepath -w "$2/log.txt")
  export RECLUME_CONTENT_LOG
}

content_server_stop() {
  if [ -n "$content_server_pid" ]; then
    kill "$content_server_pid" 2>/dev/null || true
    wait "$content_server_pid" 2>/dev/null || true
  fi
  content_server_pid=""
}
