# Sourced by scripts/test, scripts/run and scripts/bench: configures and builds the tree, and
# starts the private session the programs run in (Xvfb display, PulseAudio with a null sink,
# a project-local 32-bit Wine prefix). reclume_stop_session stops exactly what was started.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${RECLUME_BUILD:-$top/build}
export RECLUME_BUILD=$build

reclume_build() {
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$top/scripts/wine-run" >/dev/null
  fi
  if [ $# -gt 0 ]; then
    cmake --build "$build" --target "$@" -- -j"$(nproc)"
  else
    cmake --build "$build" -- -j"$(nproc)"
  fi
}

started_pids=()

# Settings of the prefix itself, written before the persistent server starts and waited for:
# a server killed at the end of a short session has not yet saved what was written to it.
reclume_prefix_settings() {
  local wrote=0
  # A crashing program prints its backtrace and ends instead of waiting on a crash dialog.
  if [ ! -f "$WINEPREFIX/.reclume-nocrashdialog" ]; then
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1 && touch "$WINEPREFIX/.reclume-nocrashdialog"; wrote=1
  fi
  # Chinese texts: every face the program asks for, by its English and its Chinese name, is
  # replaced by the CJK font that setup installs; a face Wine cannot find otherwise falls back
  # to a font without Chinese and draws boxes. The names go in through a UTF-16 .reg file (the
  # command line would pass them through the ANSI code page), and what landed is read back.
  # The marker holds the list it was written for, so a prefix made with another list is
  # brought up to date.
  local cjk_font="WenQuanYi Micro Hei"
  local cjk_faces=(SimSun 宋体 NSimSun 新宋体 "Microsoft YaHei" 微软雅黑 SimHei 黑体 PMingLiU
                   Tahoma Arial "MS Sans Serif")
  local font_marker=$WINEPREFIX/.reclume-cjkfonts
  if [ "$(cat "$font_marker" 2>/dev/null)" != "$(printf '%s\n' "$cjk_font" "${cjk_faces[@]}")" ]; then
    local reg=$build/run/cjkfonts.reg face
    {
      printf '\xff\xfe'
      { printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        for face in "${cjk_faces[@]}"; do printf '"%s"="%s"\r\n' "$face" "$cjk_font"; done
        printf '\r\n'; } | iconv -f UTF-8 -t UTF-16LE
    } >"$reg"
    wrote=1
    wine regedit /S "$(winepath -w "$reg")" </dev/null >/dev/null 2>&1 || true
    wine reg export 'HKCU\Software\Wine\Fonts\Replacements' "$(winepath -w "$reg")" /y </dev/null >/dev/null 2>&1 || true
    local landed missing=0
    landed=$(iconv -f UTF-16LE -t UTF-8 "$reg" 2>/dev/null | tr -d '\r' || true)
    for face in "${cjk_faces[@]}"; do
      grep -qxF "\"$face\"=\"$cjk_font\"" <<<"$landed" || { echo "session: font replacement for $face did not land" >&2; missing=1; }
    done
    rm -f "$reg" "$WINEPREFIX/.reclume-cjkfont"
    [ $missing = 1 ] || printf '%s\n' "$cjk_font" "${cjk_faces[@]}" >"$font_marker"
  fi
  if [ $wrote = 1 ]; then timeout 120 wineserver -w || true; fi
}

reclume_start_session() {
  # $1: Xvfb screen (e.g. 1920x1080x24); $2: 1 to leave the caller's DISPLAY in place.
  local screen=${1:-1920x1080x24} keep_display=${2:-0}
  export HOME=$build/home XDG_DATA_HOME=$build/home/.local/share
  export XDG_RUNTIME_DIR=$build/run XDG_CONFIG_HOME=$build/home/.config
  mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
  mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
  chmod 0700 "$XDG_RUNTIME_DIR"
  export WINEPREFIX=$build/wineprefix WINEARCH=win32 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

  if [ "$keep_display" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    local fifo=$build/run/displayfd
    rm -f "$fifo"; mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    started_pids+=($!)
    local num
    read -r -t 20 num <"$fifo" || { echo "Xvfb did not start" >&2; return 1; }
    rm -f "$fifo"
    export DISPLAY=:$num
  fi

  # PulseAudio before Wine, as the same user, with a null sink standing in for a sound card.
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=rec" \
    --load=module-always-sink >/dev/null 2>&1 &
  started_pids+=($!)
  local i
  for i in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "session: making the Wine prefix"
    wineboot -u >/dev/null 2>&1 || true
    wineserver -w
    # The profile folders of a new prefix link to $HOME; make them real folders.
    local d
    for d in "$WINEPREFIX"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos}; do
      if [ -L "$d" ]; then rm -f "$d"; mkdir -p "$d"; fi
    done
  fi
  reclume_install_codec
  # The caption buttons' font (setup takes it from fonts-wine).
  if [ -f "$build/deps/fonts/marlett.ttf" ] &&
    ! cmp -s "$build/deps/fonts/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"; then
    cp "$build/deps/fonts/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
  fi
  reclume_prefix_settings
  wineserver -p >/dev/null 2>&1 &
  started_pids+=($!)
  # Start Wine's services and desktop now, with no output handles of ours, so the helper
  # processes that outlive every program never hold a test's output pipe open.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
}

# The MS Video 1 compressor driver of codec/ is this machine's 'msvc' video driver (Wine's own
# only decompresses): copied into the prefix's system folder and registered in Drivers32, with
# the system.ini line of the built-in one commented out so the driver is listed once. Redone
# whenever the built DLL differs from the installed one. Runs before the persistent wineserver
# starts: the registry reaches the prefix's files only when a server ends by itself.
reclume_install_codec() {
  local dll=$build/bin/reclume_msvc.dll sys=$WINEPREFIX/drive_c/windows/system32
  local ini=$WINEPREFIX/drive_c/windows/system.ini
  [ -f "$dll" ] || return 0
  if cmp -s "$dll" "$sys/reclume_msvc.dll" &&
    grep -qix '"vidc.msvc"="reclume_msvc.dll"' "$WINEPREFIX/system.reg"; then return 0; fi
  cp "$dll" "$sys/reclume_msvc.dll"
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32' /v vidc.msvc /t REG_SZ \
    /d reclume_msvc.dll /f </dev/null >/dev/null 2>&1 || { echo "session: cannot register the msvc driver" >&2; return 1; }
  if [ -f "$ini" ]; then sed -i 's/^\(vidc\.msvc=\)/;\1/I' "$ini"; fi
  timeout 120 wineserver -w || true
}

reclume_stop_session() {
  wineserver -k >/dev/null 2>&1 || true
  local pid
  for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${started_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  started_pids=()
}
