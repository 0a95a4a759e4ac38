# Sourced by shell tests that need a disk that fills: a tmpfs of a given size mounted on a
# folder of the test's own, reached from Wine through a folder link inside the prefix's drive_c
# (a new drive letter would be seen only after the Wine session restarts). Needs root.
#   small_disk_mount NAME SIZE   mounts SIZE (e.g. 30m) and links C:\NAME to it; sets
#                                small_disk_unix (the Linux folder) and small_disk_win (C:\NAME)
#   small_disk_cleanup           unmounts every disk mounted so and removes their links
# The caller's EXIT trap must call small_disk_cleanup.
small_disk_list=""

small_disk_mount() {
  small_disk_unix=$(mktemp -d "${RECLUME_BUILD:-/tmp}/small_disk.$1.XXXXXX")
  # Listed before anything can fail, so the cleanup always finds what was mounted.
  small_disk_list="$small_disk_list $small_disk_unix:${WINEPREFIX:?}/drive_c/$1"
  mount -t tmpfs -o "size=$2" tmpfs "$small_disk_unix"
  rm -f "$WINEPREFIX/drive_c/$1"
  ln -s "$small_disk_unix" "$WINEPREFIX/drive_c/$1"
  small_disk_win="C:\\$1"
}

small_disk_cleanup() {
  for entry in $small_disk_list; do
    rm -f "${entry#*:}"
    umount "${entry%%:*}" 2>/dev/null || umount -l "${entry%%:*}" 2>/dev/null || true
    rmdir "${entry%%:*}" 2>/dev/null || true
  done
  small_disk_list=""
}
