#!/bin/sh
# The free space of a 30 MB disk behind a folder link in the prefix, as the disk budget reads
# it: its own, not the free space of drive C.
set -eu
. "$RECLUME_SRC/tests/support/small_disk.sh"
dir=$(mktemp -d "$RECLUME_BUILD/disk_budget.XXXXXX")
trap 'small_disk_cleanup; rm -rf "$dir"' EXIT
small_disk_mount reclume_small_disk 30m
RECLUME_SMALL_DISK="$small_disk_win" \
  wine "$RECLUME_BIN/engine_tests.exe" --gtest_filter='DiskBudgetVolume.*' >"$dir/log.txt" 2>&1 </dev/null || {
  cat "$dir/log.txt"; echo "the test program failed"; exit 1; }
grep -q '\[  PASSED  \] 1 test' "$dir/log.txt" || { cat "$dir/log.txt"; echo "the case did not run"; exit 1; }
