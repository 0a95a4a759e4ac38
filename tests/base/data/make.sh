#!/bin/sh
# Makes the small fixture files of the resource loader tests (committed; run to change them).
set -eu
cd "$(dirname "$0")"
python3 - <<'PY'
import struct

def bmp(path, w, h, bpp, rows_top_down, palette=()):
    """An uncompressed bottom-up .bmp; rows are BGR tuples (24 bits) or palette indices (8)."""
    stride = (w * bpp + 31) // 32 * 4
    data = b''
    for row in reversed(rows_top_down):
        raw = b''.join(bytes(p) for p in row) if bpp == 24 else bytes(row)
        data += raw + b'\0' * (stride - len(raw))
    pal = b''.join(bytes((b, g, r, 0)) for (b, g, r) in palette)
    off = 14 + 40 + len(pal)
    head = struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, 0, len(data), 2835, 2835, len(palette), 0)
    open(path, 'wb').write(head + info + pal + data)

# Top row red, green, blue; bottom row white, black, grey (3 pixels: rows need padding).
bmp('grid.bmp', 3, 2, 24, [[(0, 0, 255), (0, 255, 0), (255, 0, 0)],
                           [(255, 255, 255), (0, 0, 0), (128, 128, 128)]])
bmp('grid8.bmp', 4, 2, 8, [[0, 1, 2, 1], [2, 2, 0, 0]], palette=[(0, 0, 255), (0, 255, 0), (255, 0, 0)])
open('garbage.bin', 'wb').write(b'BM this is not a picture at all, just bytes.')
open('lines.txt', 'wb').write('\ufeff第一行\r\nsecond\n\nlast'.encode('utf-8'))
PY
convert -size 16x8 xc:red -fill blue -draw 'rectangle 8,0 15,7' -quality 95 -sampling-factor 1x1 halves.jpg
convert -size 8x8 'xc:#808080' -colorspace Gray -quality 95 grey.jpg
