#!/bin/sh
# Draws the program's icons with ImageMagick: the program icon (a red record dot on a screen)
# and the alternate picture the notification-area icon blinks to while a recording runs.
# The results are committed beside this script; run it again only to change an icon.
set -eu
cd "$(dirname "$0")"
icon() {  # name draw-arguments...
  name=$1; shift
  convert -size 32x32 xc:none "$@" \( -clone 0 -resize 16x16 \) "$name.ico"
}
icon reclume -fill '#3A6EA5' -draw 'roundrectangle 1,4 30,24 3,3' -fill '#F5FAFE' -draw 'rectangle 4,7 27,21' \
  -fill '#3A6EA5' -draw 'rectangle 13,24 18,28' -draw 'rectangle 8,28 23,30' -fill '#D03030' -draw 'circle 15,14 15,9'
icon trayblink -fill '#D03030' -draw 'circle 15,15 15,3' -fill '#F5FAFE' -draw 'circle 15,15 15,9'
