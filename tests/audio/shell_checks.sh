# Shared by the shell tests of this folder (sourced): checks that print what they got and set
# fail=1 when it is not what was expected, and ffprobe's view of a file's first audio stream.
fail=0
check() {  # what got expected
  if [ "$2" != "$3" ]; then echo "$1: got $2, expected $3"; fail=1; else echo "$1: $2"; fi
}
near() {  # what got expected tolerance
  if awk -v g="$2" -v e="$3" -v t="$4" 'BEGIN { exit !(g - e <= t && e - g <= t) }'; then
    echo "$1: $2 (expected $3 +- $4)"
  else
    echo "$1: got $2, expected $3 +- $4"; fail=1
  fi
}
probe() { ffprobe -v error -select_streams a:0 -show_entries "stream=$2" -of default=nw=1:nk=1 "$1"; }
