#!/bin/sh
# The uninstall mode in the situations a user meets, run for real in a scratch copy of the
# session's prefix on a display of its own: while the installed program runs, from a copy in
# another folder, in folders whose names hold "%", "&", "^", "()", "!" and Chinese, and with
# cmd's delayed expansion and AutoRun set in the registry. The
# test program installs through Pelvane and uninstalls through Reclume (UninstallRun.*);
# afterwards the folders are looked for from outside the prefix.
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
own_display_setup uninstall
own_display_start 1280x1024x24
export RECLUME_SETUP_PREFIX=1
log="$work/log.txt"
timeout 60 wine reg add 'HKCR\http\shell\open\command' /ve /d 'cmd /c echo %1>>C:\opened.txt' /f </dev/null >/dev/null 2>&1

timeout 600 wine "$RECLUME_BIN/setup_tests.exe" --gtest_filter='UninstallRun.*' </dev/null >"$log" 2>&1 || {
  cat "$log"; echo "failed: UninstallRun.*"; exit 1; }
grep -q '^\[  PASSED  \] 4 tests' "$log" || { cat "$log"; echo "expected 4 tests to pass"; exit 1; }
c="$WINEPREFIX/drive_c"
for dir in "QIV 运行中" "QIV 原装" "QIV 副本" "pct %TEMP% x" "and & caret ^ (paren) !bang! %PATH%" "中文 %TEMP% 目录" "a!b!c"; do
  [ ! -e "$c/$dir" ] || { ls -la "$c/$dir"; echo "left behind: C:\\$dir"; exit 1; }
done
for temp in "temp 临时" "tmp %TMP% 临时"; do
  left=$(find "$c/$temp" -name 'uis*' | head -5)
  [ -z "$left" ] || { echo "batch files left in C:\\$temp: $left"; exit 1; }
done
grep -E '^\[  (PASSED|SKIPPED|FAILED)' "$log" || true
