#!/bin/sh
# Pelvane and the uninstall mode, run for real in a scratch copy of the session's prefix on a
# display of its own. Web addresses open through cmd into C:\opened.txt. The test program
# drives the programs (PelvaneRun.*); in between, the installed-programs entry is read back the
# way the registry exports it (UTF-16) and the installed program is compared with the built one.
set -eu
. "$RECLUME_SRC/tests/support/own_display.sh"
own_display_setup pelvane
own_display_start 1280x1024x24
export RECLUME_SETUP_PREFIX=1
log="$work/log.txt"
timeout 60 wine reg add 'HKCR\http\shell\open\command' /ve /d 'cmd /c echo %1>>C:\opened.txt' /f </dev/null >/dev/null 2>&1

run() {
  timeout 600 wine "$RECLUME_BIN/setup_tests.exe" --gtest_filter="$1" </dev/null >>"$log" 2>&1 || {
    cat "$log"; echo "failed: $1"; exit 1; }
}

run 'PelvaneRun.ShellFolderShortcutKinds:PelvaneRun.InstallWritesTheProgramKeysEntryAndLinksThenStartsIt'
installed="$WINEPREFIX/drive_c/QIV 安装/屏幕录像/Reclume.exe"
cmp "$installed" "$RECLUME_BIN/Reclume.exe" || { cat "$log"; echo "the installed Reclume.exe differs from the built one"; exit 1; }
reg="$work/entry.reg"
timeout 60 wine reg export 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\屏幕录像' 'C:\entry.reg' /y </dev/null >/dev/null 2>&1 || true
iconv -f UTF-16LE -t UTF-8 "$WINEPREFIX/drive_c/entry.reg" | tr -d '\r' >"$reg" || { echo "no entry exported"; exit 1; }
for line in \
  '"DisplayIcon"="C:\\QIV 安装\\屏幕录像\\Reclume.exe"' \
  '"DisplayName"="屏幕录像"' \
  '"DisplayVersion"="3.6"' \
  '"InstallLocation"="C:\\QIV 安装\\屏幕录像\\"' \
  '"UninstallString"="\"C:\\QIV 安装\\屏幕录像\\Reclume.exe\" uninstall"'; do
  grep -qxF "$line" "$reg" || { cat "$reg"; echo "missing from the entry: $line"; exit 1; }
done
timeout 60 wine reg export 'HKCU\Software\Ombrix\QIVKV' 'C:\key.reg' /y </dev/null >/dev/null 2>&1 || true
iconv -f UTF-16LE -t UTF-8 "$WINEPREFIX/drive_c/key.reg" | tr -d '\r' >"$work/key.reg"
for line in '"name"="屏幕录像"' '"app"="C:\\QIV 安装\\屏幕录像\\Reclume.exe"'; do
  grep -qxF "$line" "$work/key.reg" || { cat "$work/key.reg"; echo "missing from the product key: $line"; exit 1; }
done
run 'PelvaneRun.*-PelvaneRun.ShellFolderShortcutKinds:PelvaneRun.InstallWritesTheProgramKeysEntryAndLinksThenStartsIt'
grep -E '^\[  (PASSED|SKIPPED|FAILED)' "$log" || true
