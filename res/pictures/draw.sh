#!/bin/sh
# Draws the program's button glyphs (24-bit .bmp) and panel pictures (.jpg) with ImageMagick.
# The results are committed beside this script; run it again only to change a picture.
# Glyph backgrounds use the windows' background colour (#F5FAFE), so they blend in.
set -eu
cd "$(dirname "$0")"
bg='#F5FAFE'
font=DejaVu-Sans-Bold

glyph() {  # name size draw-arguments...
  name=$1 size=$2; shift 2
  convert -size "$size" "xc:$bg" "$@" -type TrueColor -define bmp:format=bmp3 "BMP3:$name.bmp"
}

# Main window buttons.
glyph fs 32x32 -fill none -stroke '#3A6EA5' -strokewidth 2 -draw 'rectangle 3,5 28,22' \
  -draw 'line 12,27 19,27' -draw 'line 15,22 15,27' -stroke none -fill '#D03030' -draw 'circle 15,13 15,8'
glyph areascreencut 32x32 -fill none -stroke '#3A6EA5' -strokewidth 2 -draw 'stroke-dasharray 4 3 rectangle 3,3 28,28' \
  -stroke none -fill '#D03030' -draw 'circle 15,15 15,10'
glyph BtnReplayRec 32x32 -fill '#2E9E4F' -draw 'polygon 10,6 26,16 10,26'
glyph BtnStopRec 32x32 -fill '#A02828' -draw 'rectangle 8,8 24,24'
glyph BtnOtherFun 32x32 -fill '#3A6EA5' -draw 'circle 8,16 8,13' -draw 'circle 16,16 16,13' -draw 'circle 24,16 24,13'
glyph checked 16x16 -fill white -stroke '#3A6EA5' -draw 'rectangle 1,1 14,14' -stroke '#2E9E4F' -strokewidth 2 \
  -fill none -draw 'polyline 4,8 7,11 12,4'
glyph notchecked 16x16 -fill white -stroke '#3A6EA5' -draw 'rectangle 1,1 14,14'
glyph opendir 20x20 -fill '#E8B84A' -stroke '#9C7420' -draw 'polygon 1,5 7,5 9,7 18,7 18,17 1,17' \
  -fill '#F6D77F' -draw 'polygon 4,10 19,10 16,17 1,17'
glyph selectpath 20x20 -fill '#E8B84A' -stroke '#9C7420' -draw 'polygon 1,4 7,4 9,6 18,6 18,16 1,16' \
  -stroke none -fill '#3A6EA5' -draw 'circle 5,11 5,10' -draw 'circle 10,11 10,10' -draw 'circle 15,11 15,10'
# Branded panel, dialogs and web panel buttons.
glyph BtnOrder 16x16 -fill '#E07A1F' -draw 'polygon 1,3 4,3 6,11 13,11 15,5 5,5' -draw 'circle 7,14 7,13' -draw 'circle 12,14 12,13'
glyph BtnHelp 16x16 -fill '#3A6EA5' -draw 'circle 8,8 8,1' -fill white -font "$font" -pointsize 11 -gravity center -annotate +0+0 '?'
glyph BtnExit 16x16 -fill none -stroke '#A02828' -strokewidth 2 -draw 'arc 2,2 14,14 -60,240' -draw 'line 8,1 8,8'
glyph BClose 12x12 -stroke '#606060' -strokewidth 2 -draw 'line 2,2 9,9' -draw 'line 9,2 2,9'
glyph BtnClose 16x16 -stroke '#A02828' -strokewidth 2 -draw 'line 3,3 12,12' -draw 'line 12,3 3,12'
# The compressor's About and Configure buttons of the sound-less recorder's options dialog.
glyph BtnAbout 16x16 -fill '#3A6EA5' -draw 'circle 8,8 8,1' -fill white -draw 'rectangle 7,7 9,12' -draw 'rectangle 7,3 9,5'
glyph BtnConfig 16x16 -fill '#606870' -draw 'circle 8,8 8,1' -fill "$bg" -draw 'circle 8,8 8,5' \
  -fill '#606870' -draw 'rectangle 7,0 9,15' -draw 'rectangle 0,7 15,9' -fill "$bg" -draw 'circle 8,8 8,6'
glyph confirm 16x16 -fill none -stroke '#2E9E4F' -strokewidth 2 -draw 'polyline 2,8 6,12 14,3'
glyph btnNewWin 116x25 -fill none -stroke '#3A6EA5' -draw 'rectangle 4,5 20,19' -draw 'line 4,8 20,8' \
  -stroke none -fill '#203040' -font "$font" -pointsize 11 -annotate +26+16 'New window'
glyph btnCloseAvert 108x25 -stroke '#A02828' -strokewidth 2 -draw 'line 6,7 16,17' -draw 'line 16,7 6,17' \
  -stroke none -fill '#203040' -font "$font" -pointsize 11 -annotate +24+16 'Close tab'

# The window frame around the main window and the sound-less recorder's options dialog: the
# corners whole, the edges stretched along their length (a gradient across them).
edge='#3A6EA5' light='#8FB3DA' dark='#203040'
frame() {  # name size gradient-direction draw-arguments...
  name=$1 size=$2 rotate=$3; shift 3
  convert -size "$size" gradient:"$light-$edge" -rotate "$rotate" "$@" -type TrueColor -define bmp:format=bmp3 "BMP3:$name.bmp"
}
frame frametop 8x15 0 -fill "$dark" -draw 'line 0,14 7,14'
frame frametopleft 10x15 0 -fill "$dark" -draw 'line 0,14 9,14' -fill "$light" -draw 'line 0,0 0,14'
frame frametopright 20x15 0 -fill "$dark" -draw 'line 0,14 19,14' -draw 'line 19,0 19,14' \
  -fill white -draw 'rectangle 5,5 14,9'
frame framebottom 8x11 180 -fill "$dark" -draw 'line 0,10 7,10'
frame framebottomleft 10x11 180 -fill "$dark" -draw 'line 0,10 9,10'
frame framebottomleft2 10x11 180 -fill "$dark" -draw 'line 0,10 9,10' -fill "$light" -draw 'line 0,0 0,10'
frame frameleft 8x10 90 -fill "$light" -draw 'line 0,0 9,0'
frame frameright 8x14 270 -fill "$dark" -draw 'line 0,7 13,7'
# The area window's top and bottom bands and the label picture of its four edits.
# (Their texts are Chinese: drawn with the CJK font that setup installs.)
cjk=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
convert -size 265x30 gradient:"$light-$edge" -fill white -font "$cjk" -pointsize 13 -annotate +10+21 '录像区域' \
  -type TrueColor -define bmp:format=bmp3 BMP3:areatop.bmp
convert -size 265x20 gradient:"$edge-$light" -type TrueColor -define bmp:format=bmp3 BMP3:areabottom.bmp
convert -size 70x144 "xc:$bg" -fill '#203040' -font "$cjk" -pointsize 12 \
  -annotate +4+16 '左边距：' -annotate +4+52 '上边距：' -annotate +4+88 '宽  度：' -annotate +4+124 '高  度：' \
  -type TrueColor -define bmp:format=bmp3 BMP3:arealabels.bmp

# Panel pictures.
picture() {  # name size draw-arguments...
  name=$1 size=$2; shift 2
  convert -size "$size" "$@" -quality 90 -sampling-factor 1x1 "$name.jpg"
}
# The toolbar is the background of the path bar's right end: its left part, under the end of
# the path edit, fades in from the windows' background; its wordmark sits top right, clear of
# the folder buttons and the name row that stand on it.
convert -size 360x70 "xc:$bg" \( -size 360x70 gradient:'#FFFFFF-#D8E6F5' \) \
  \( -size 70x130 gradient:black-white -rotate -90 -background white -extent 360x70 \) -composite \
  -fill '#3A6EA5' -font "$font" -pointsize 18 -annotate +214+26 'Reclume' -quality 90 -sampling-factor 1x1 toolbar.jpg
picture namesave 70x22 "xc:$bg" -fill '#203040' -font "$font" -pointsize 11 -annotate +4+15 'Save as'
picture Ombrix 200x50 gradient:'#3A6EA5-#203040' -fill white -font "$font" -pointsize 20 -annotate +12+33 'QIV Studio'
