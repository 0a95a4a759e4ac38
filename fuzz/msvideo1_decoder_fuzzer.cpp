// libFuzzer target for the MS Video 1 decoder of the compressor driver (built natively by
// scripts/fuzz). An input is a 5-byte header (width and height as little-endian 16-bit values,
// each taken as 1 + value % 256; bit 0 of the fifth byte: the 8-bit palettised form) and the
// coded frame. The frame is decoded twice (a frame over its own picture, as a delta frame
// would be) and converted to every depth; AddressSanitizer guards every read and write, and the
// conversion must leave the bytes past the picture alone.
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/msvideo1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int width = 1 + (data[0] | (data[1] << 8)) % 256;
  const int height = 1 + (data[2] | (data[3] << 8)) % 256;
  const bool palettised = data[4] & 1;
  std::vector<msvideo1::Rgb> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0});
  msvideo1::Decoder decoder;
  decoder.Begin(width, height, palettised, palette);
  // An exact-size copy, so a read past the frame is a read past the allocation.
  std::vector<uint8_t> frame(data + 5, data + size);
  decoder.Decode(frame.data(), frame.size());
  decoder.Decode(frame.data(), frame.size());
  for (int bits : {8, 16, 24, 32}) {
    const size_t row = ((size_t(width) * bits + 31) / 32) * 4;
    std::vector<uint8_t> out(row * size_t(height) + 16, 0xA5);
    const bool converted = decoder.Convert(out.data(), std::ptrdiff_t(row), bits);
    if (converted != (bits != 8 || palettised)) __builtin_trap();
    for (size_t i = row * size_t(height); i < out.size(); ++i)
      if (out[i] != 0xA5) __builtin_trap();
  }
  return 0;
}
