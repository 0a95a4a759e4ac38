# Sourced by the shell tests that run a test program on an Xvfb display of their own. Wine's
# desktop belongs to the display it started on, so the program runs in a copy of the session's
# prefix with its own wineserver, which ends before the next display starts.
#   own_display_setup NAME   makes the work folder $work under the build tree, copies the
#                            prefix into it and exports WINEPREFIX; both go when the test exits
#   own_display_start SCREEN starts an Xvfb (e.g. 1024x768x8) and exports DISPLAY
#   own_display_stop         ends the copy's wineserver and the Xvfb
own_display_setup() {
  work=$(mktemp -d "$RECLUME_BUILD/$1.XXXXXX")
  own_xvfb=""
  trap own_display_cleanup EXIT
  cp -a "$WINEPREFIX" "$work/prefix"
  export WINEPREFIX="$work/prefix"
}

own_display_start() {
  own_fifo="$work/displayfd"
  mkfifo "$own_fifo"
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$own_fifo" >/dev/null 2>&1 &
  own_xvfb=$!
  read -r own_num <"$own_fifo"
  rm -f "$own_fifo"
  export DISPLAY=":$own_num"
}

own_display_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$own_xvfb" ]; then
    kill "$own_xvfb" 2>/dev/null || true
    wait "$own_xvfb" 2>/dev/null || true
  fi
  own_xvfb=""
}

own_display_cleanup() {
  own_display_stop
  rm -rf "$work"
}
