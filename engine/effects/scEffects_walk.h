// Internal to the effects: row loops over the pixels of a bitmap, specialised by bytes per
// pixel, with the mask test hoisted out of the unmasked loop. The per-pixel function gets the
// byte count as a compile-time constant, the pixel's first byte and its column and row.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/effects/effects_bitmap.h"

namespace engine::walk {

template <int B>
using Bytes = std::integral_constant<int, B>;

template <int B, class F>
void EachPixelOf(TBitmap& bitmap, const TBitmap* mask, const uint8_t* maskColor, F& f) {
  const int w = bitmap.Width(), h = bitmap.Height();
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    if (!mask) {
      for (int x = 0; x < w; ++x) f(Bytes<B>{}, row + x * B, x, y);
      continue;
    }
    const uint8_t* m = mask->ScanLine(y);
    for (int x = 0; x < w; ++x)
      if (std::memcmp(m + x * B, maskColor, B) == 0) f(Bytes<B>{}, row + x * B, x, y);
  }
}

// Calls f for every pixel the mask (null: none) lets through, rows top to bottom.
template <class F>
void EachPixel(int bytesPerPixel, TBitmap& bitmap, const TBitmap* mask, const uint8_t* maskColor, F&& f) {
  switch (bytesPerPixel) {
    case 1: EachPixelOf<1>(bitmap, mask, maskColor, f); break;
    case 2: EachPixelOf<2>(bitmap, mask, maskColor, f); break;
    case 3: EachPixelOf<3>(bitmap, mask, maskColor, f); break;
    default: EachPixelOf<4>(bitmap, mask, maskColor, f); break;
  }
}

// The channels of a selection that a pixel of B bytes has.
inline unsigned PresentChannels(const bool* channels, int bytesPerPixel) {
  unsigned bits = 0;
  for (int i = 0; i < bytesPerPixel && i < 4; ++i)
    if (channels[i]) bits |= 1u << i;
  return bits;
}

}  // namespace engine::walk
