// MS Video 1 frames: the coder and decoder behind the compressor driver, in plain C++ with no
// Windows headers, so the fuzz target and the benchmarks build the same code natively.
//
// The format codes a frame as 4 x 4 blocks, left to right, from the bottom row of blocks up
// (the order of a bottom-up DIB). Each block starts with a little-endian 16-bit word:
//   - high byte 0x84..0x87: skip ((high - 0x84) * 256 + low) blocks, which keep the previous
//     frame's pixels;
//   - high byte below 0x80: the word is a 16-bit pixel mask (bit y*4+x, row 0 at the bottom),
//     followed by two colours A and B (bit set: A), or, when A is flagged, by eight colours,
//     one A/B pair for each 2 x 2 quadrant;
//   - otherwise a one-colour block.
// In the 16-bit form colours are RGB555 words, and bit 15 of the first colour flags the eight
// colour block. In the 8-bit form colours are palette indices, the one-colour block carries its
// index in the low byte, and an eight-colour block is one whose mask's high byte is 0x90 or
// more. The format has no partial blocks: the coder takes only sides that are multiples of 4
// (the driver refuses other sizes), and the decoder leaves the right-most columns and top rows
// of such a frame from elsewhere black.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace msvideo1 {

// Input pixel layouts: 8-bit palette indices, RGB555 words, B-G-R bytes, B-G-R-x bytes.
enum class Layout { Pal8, Rgb555, Bgr24, Bgrx32 };

// A picture in memory, addressed from its bottom row: `bottom` points at the first pixel of the
// bottom row and `stride` (bytes, negative for top-down pictures) steps one row up.
struct Picture {
  const uint8_t* bottom = nullptr;
  std::ptrdiff_t stride = 0;
  int width = 0;
  int height = 0;
  Layout layout = Layout::Bgrx32;
};

struct Rgb {
  uint8_t b, g, r, x;  // the layout of a DIB colour table entry
};

inline constexpr int kMinSize = 4;
inline constexpr int kMaxSize = 16384;

// The frame a coder or decoder works on: its size in pixels and blocks, its form and, for the
// 8-bit form, its colour table (always 256 entries).
struct Shape {
  int width = 0, height = 0, blocksWide = 0, blocksHigh = 0;
  bool palettised = false;
  std::vector<Rgb> palette;
  void Set(int w, int h, bool isPalettised, const std::vector<Rgb>& colours);
  size_t blocks() const { return size_t(blocksWide) * size_t(blocksHigh); }
};

// Bytes one coded frame can take at most (every block with eight colours).
size_t MaxFrameBytes(int width, int height, bool palettised);
// Error threshold for a block of 16 pixels at a quality of 0..10000 (10000: exact blocks only),
// in squared 5-bit channel steps.
uint32_t ThresholdForQuality(int quality);

// Codes a sequence of frames; keeps the previous frame's input and what a decoder shows, so
// unchanged blocks become skip codes. One per compression run.
class Encoder {
 public:
  // palette: the 256-entry (or shorter) colour table of 8-bit input, else empty.
  void Begin(int width, int height, bool palettised, const std::vector<Rgb>& palette);
  // Codes `in` into out (capacity bytes, at least MaxFrameBytes). Returns the bytes written, or
  // 0 when the picture does not fit what Begin was told. A key frame codes every block. Sides
  // that are not multiples of 4 keep their last columns and top rows uncoded (see above).
  size_t Encode(const Picture& in, int quality, bool keyFrame, uint8_t* out, size_t capacity);
  // Ends the run and gives back its memory (two frames' worth of values); Begin starts anew.
  void End();

  struct Counts {
    size_t skipped = 0, oneColour = 0, twoColour = 0, eightColour = 0;
  };
  const Counts& LastCounts() const { return counts_; }

 private:
  template <typename Load>
  size_t Encode16(Load load, uint32_t threshold, bool keyFrame, uint8_t* out);
  size_t Encode8(const Picture& in, uint32_t threshold, bool keyFrame, uint8_t* out);

  Shape shape_;
  bool havePrevious_ = false;
  std::vector<uint16_t> previous_;  // last input, per block (16 values), 555 or index
  std::vector<uint16_t> shown_;     // what the decoder shows, per block
  Counts counts_;
};

// Decodes a sequence of frames into its own picture of the coded format (RGB555 words or
// palette indices) and converts that to the caller's layout.
class Decoder {
 public:
  void Begin(int width, int height, bool palettised, const std::vector<Rgb>& palette);
  // Decodes one frame. Malformed data (truncated, codes past the last block) decodes what is
  // valid; nothing outside `data` is read. Returns false when the frame was not whole.
  bool Decode(const uint8_t* data, size_t size);
  // Writes the current picture: out addressed from its bottom row like Picture, with
  // bitsPerPixel 8 (palettised only), 16 (RGB555), 24 or 32. Uncoded edges are black.
  bool Convert(uint8_t* bottom, std::ptrdiff_t stride, int bitsPerPixel) const;
  // Gives back the picture's memory; Begin starts anew.
  void End();

  int width() const { return shape_.width; }
  int height() const { return shape_.height; }

 private:
  Shape shape_;
  std::vector<uint16_t> picture_;  // width_ x height_, bottom row first
};

}  // namespace msvideo1
