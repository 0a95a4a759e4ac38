// The MS Video 1 coder and decoder (layout in msvideo1.h). The coder picks, per block, the
// cheapest code whose squared error stays within the quality's threshold: skip (against what
// the decoder already shows), one colour, two colours, and otherwise the better of two and
// eight colours. Colours are split along the channel with the widest range, which reproduces
// any block (or quadrant) of at most two colours exactly. 8-bit channels go to the nearest
// 5-bit level rather than the one below: truncating costs about 2 dB on a desktop picture.
#include "codec/msvideo1.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace msvideo1 {
namespace {

constexpr int kQuadrant[4][4] = {{0, 1, 4, 5}, {2, 3, 6, 7}, {8, 9, 12, 13}, {10, 11, 14, 15}};
constexpr uint32_t kQuadrantMask[4] = {0x0033, 0x00CC, 0x3300, 0xCC00};
constexpr int kMaxSkipRun = 0x3FF;

inline int R5(uint16_t c) { return (c >> 10) & 31; }
inline int G5(uint16_t c) { return (c >> 5) & 31; }
inline int B5(uint16_t c) { return c & 31; }
inline uint16_t Pack555(int r, int g, int b) { return uint16_t((r << 10) | (g << 5) | b); }

// The 5-bit level whose expansion (v << 3 | v >> 2, as the decoders show it) lies nearest to an
// 8-bit channel; a tie goes to the lower level. 255 gives 31: no clamp is needed.
inline int To5(int c) { return (c * 31 + 131) >> 8; }

inline uint32_t Distance555(uint16_t a, uint16_t b) {
  int dr = R5(a) - R5(b), dg = G5(a) - G5(b), db = B5(a) - B5(b);
  return uint32_t(dr * dr + dg * dg + db * db);
}

inline void Put16(uint8_t*& out, uint32_t v) {
  out[0] = uint8_t(v);
  out[1] = uint8_t(v >> 8);
  out += 2;
}

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// Writes the pending skip run as codes of at most 1023 blocks each.
void FlushSkips(uint8_t*& out, size_t& run) {
  while (run > 0) {
    size_t n = std::min<size_t>(run, kMaxSkipRun);
    Put16(out, 0x8400 + n);
    run -= n;
  }
}

// Splits the pixels px[idx[0..n)] into two colours; returns the squared error, the colours and
// the mask of the pixels that take A.
struct Split {
  uint16_t a = 0, b = 0;
  uint32_t mask = 0;
  uint32_t error = 0;
};

Split Split555(const uint16_t* px, const int* idx, int n) {
  int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
  for (int i = 0; i < n; ++i) {
    uint16_t c = px[idx[i]];
    int ch[3] = {R5(c), G5(c), B5(c)};
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], ch[k]);
      hi[k] = std::max(hi[k], ch[k]);
    }
  }
  int axis = 0;
  for (int k = 1; k < 3; ++k)
    if (hi[k] - lo[k] > hi[axis] - lo[axis]) axis = k;
  const int mid = (lo[axis] + hi[axis]) / 2;
  int sum[2][3] = {}, count[2] = {};
  Split s;
  for (int i = 0; i < n; ++i) {
    uint16_t c = px[idx[i]];
    int ch[3] = {R5(c), G5(c), B5(c)};
    int side = ch[axis] > mid ? 0 : 1;
    if (side == 0) s.mask |= 1u << idx[i];
    ++count[side];
    for (int k = 0; k < 3; ++k) sum[side][k] += ch[k];
  }
  uint16_t colour[2];
  for (int side = 0; side < 2; ++side) {
    int m = std::max(count[side], 1), h = m / 2;
    colour[side] = Pack555((sum[side][0] + h) / m, (sum[side][1] + h) / m, (sum[side][2] + h) / m);
  }
  if (count[0] == 0) colour[0] = colour[1];
  if (count[1] == 0) colour[1] = colour[0];
  s.a = colour[0];
  s.b = colour[1];
  for (int i = 0; i < n; ++i) s.error += Distance555(px[idx[i]], (s.mask >> idx[i]) & 1 ? s.a : s.b);
  return s;
}

uint32_t BlockError(const uint16_t* a, const uint16_t* b) {
  uint32_t e = 0;
  for (int i = 0; i < 16; ++i) e += Distance555(a[i], b[i]);
  return e;
}

#if defined(__SSE2__)
// Each byte of 16 to its nearest 5-bit level (To5), in 16-bit lanes.
inline __m128i Bytes16To5(__m128i v) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i k31 = _mm_set1_epi16(31), k131 = _mm_set1_epi16(131);
  const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), k31), k131), 8);
  const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), k31), k131), 8);
  return _mm_packus_epi16(lo, hi);
}

// B-G-R-x pixels to RGB555, one per 32-bit lane.
inline __m128i Bgrx4To555(__m128i v) {
  v = Bytes16To5(v);  // each channel now 0..31 in its own byte
  const __m128i r = _mm_and_si128(_mm_srli_epi32(v, 6), _mm_set1_epi32(0x7C00));
  const __m128i g = _mm_and_si128(_mm_srli_epi32(v, 3), _mm_set1_epi32(0x03E0));
  const __m128i b = _mm_and_si128(v, _mm_set1_epi32(0x001F));
  return _mm_or_si128(_mm_or_si128(r, g), b);
}

// RGB555 words (zero-extended to 32-bit lanes) to B-G-R-0 with full-range channels.
inline __m128i Rgb555To32(__m128i v) {
  const __m128i c = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, _mm_set1_epi32(0x7C00)), 9),
                                              _mm_slli_epi32(_mm_and_si128(v, _mm_set1_epi32(0x03E0)), 6)),
                                 _mm_slli_epi32(_mm_and_si128(v, _mm_set1_epi32(0x001F)), 3));
  return _mm_or_si128(c, _mm_and_si128(_mm_srli_epi32(c, 5), _mm_set1_epi32(0x070707)));
}
#endif

constexpr int kAll[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

}  // namespace

size_t MaxFrameBytes(int width, int height, bool palettised) {
  if (width < kMinSize || height < kMinSize || width > kMaxSize || height > kMaxSize) return 0;
  size_t blocks = size_t(width / 4) * size_t(height / 4);
  return blocks * (palettised ? 10 : 18) + 16;
}

uint32_t ThresholdForQuality(int quality) {
  quality = std::clamp(quality, 0, 10000);
  // Allowed mean squared error per pixel: 0 at 10000, about 12 (two steps in each channel) at
  // the usual 6550, 100 at 0.
  uint32_t loss = uint32_t(10000 - quality);
  return 16 * loss * loss / 1000000;
}

void Shape::Set(int w, int h, bool isPalettised, const std::vector<Rgb>& colours) {
  width = w;
  height = h;
  blocksWide = w / 4;
  blocksHigh = h / 4;
  palettised = isPalettised;
  palette = colours;
  palette.resize(256, Rgb{0, 0, 0, 0});
}

// --- the coder ---

void Encoder::Begin(int width, int height, bool palettised, const std::vector<Rgb>& palette) {
  shape_.Set(width, height, palettised, palette);
  const size_t values = shape_.blocks() * 16;
  previous_.assign(values, 0);
  shown_.assign(values, 0);
  havePrevious_ = false;
}

void Encoder::End() {
  shape_ = Shape{};
  std::vector<uint16_t>().swap(previous_);
  std::vector<uint16_t>().swap(shown_);
  havePrevious_ = false;
}

template <typename Load>
size_t Encoder::Encode16(Load load, uint32_t threshold, bool keyFrame, uint8_t* out) {
  uint8_t* const start = out;
  size_t run = 0;
  uint16_t px[16];
  size_t block = 0;
  for (int by = 0; by < shape_.blocksHigh; ++by) {
    for (int bx = 0; bx < shape_.blocksWide; ++bx, ++block) {
      load(bx, by, px);
      uint16_t* prev = &previous_[block * 16];
      uint16_t* shown = &shown_[block * 16];
      if (!keyFrame) {
        const bool same = std::memcmp(px, prev, sizeof px) == 0;
        if (same || (threshold && BlockError(px, shown) <= threshold)) {
          if (!same) std::memcpy(prev, px, sizeof px);
          ++run;
          ++counts_.skipped;
          continue;
        }
      }
      std::memcpy(prev, px, sizeof px);
      FlushSkips(out, run);

      bool flat = true;
      for (int i = 1; i < 16 && flat; ++i) flat = px[i] == px[0];
      uint16_t one = px[0];
      uint32_t oneError = 0;
      if (!flat) {
        int sum[3] = {};
        for (int i = 0; i < 16; ++i) {
          sum[0] += R5(px[i]);
          sum[1] += G5(px[i]);
          sum[2] += B5(px[i]);
        }
        one = Pack555((sum[0] + 8) / 16, (sum[1] + 8) / 16, (sum[2] + 8) / 16);
        for (int i = 0; i < 16; ++i) oneError += Distance555(px[i], one);
      }
      if (oneError <= threshold) {
        if ((((one | 0x8000) >> 8) & 0xFC) == 0x84) {
          // This colour's one-colour word would read as a skip: send it as two equal colours.
          Put16(out, 0);
          Put16(out, one);
          Put16(out, one);
        } else {
          Put16(out, one | 0x8000);
        }
        std::fill(shown, shown + 16, one);
        ++counts_.oneColour;
        continue;
      }
      Split two = Split555(px, kAll, 16);
      Split quad[4];
      uint32_t eightError = 0;
      if (two.error > threshold) {
        for (int q = 0; q < 4; ++q) {
          quad[q] = Split555(px, kQuadrant[q], 4);
          eightError += quad[q].error;
        }
      }
      if (two.error <= threshold || two.error <= eightError) {
        uint32_t mask = two.mask;
        uint16_t a = two.a, b = two.b;
        if (mask & 0x8000) {  // the mask's top bit must be clear
          mask ^= 0xFFFF;
          std::swap(a, b);
        }
        Put16(out, mask);
        Put16(out, a);
        Put16(out, b);
        for (int i = 0; i < 16; ++i) shown[i] = (mask >> i) & 1 ? a : b;
        ++counts_.twoColour;
      } else {
        uint32_t mask = 0;
        for (int q = 0; q < 4; ++q) mask |= quad[q].mask;
        if (mask & 0x8000) {
          mask ^= kQuadrantMask[3];
          std::swap(quad[3].a, quad[3].b);
        }
        Put16(out, mask);
        for (int q = 0; q < 4; ++q) {
          Put16(out, q == 0 ? (quad[q].a | 0x8000) : quad[q].a);
          Put16(out, quad[q].b);
          for (int i : kQuadrant[q]) shown[i] = (mask >> i) & 1 ? quad[q].a : quad[q].b;
        }
        ++counts_.eightColour;
      }
    }
  }
  FlushSkips(out, run);
  return size_t(out - start);
}

size_t Encoder::Encode8(const Picture& in, uint32_t threshold, bool keyFrame, uint8_t* out) {
  uint8_t* const start = out;
  size_t run = 0;
  uint16_t px[16];
  size_t block = 0;
  auto distance = [&](uint16_t i, uint16_t j) {
    const Rgb &p = shape_.palette[i & 255], &q = shape_.palette[j & 255];
    int dr = To5(p.r) - To5(q.r), dg = To5(p.g) - To5(q.g), db = To5(p.b) - To5(q.b);
    return uint32_t(dr * dr + dg * dg + db * db);
  };
  // Two indices for px[idx[0..n)]: the most frequent and the one farthest from it.
  auto split = [&](const int* idx, int n) {
    Split s;
    int best = 0;
    for (int i = 0; i < n; ++i) {
      int c = 0;
      for (int j = 0; j < n; ++j) c += px[idx[j]] == px[idx[i]];
      if (c > best) {
        best = c;
        s.a = px[idx[i]];
      }
    }
    s.b = s.a;
    bool haveB = false;
    uint32_t far = 0;
    for (int i = 0; i < n; ++i) {
      const uint16_t c = px[idx[i]];
      if (c == s.a) continue;
      const uint32_t d = distance(c, s.a);
      if (!haveB || d > far) {
        haveB = true;
        far = d;
        s.b = c;
      }
    }
    for (int i = 0; i < n; ++i) {
      uint16_t c = px[idx[i]];
      uint32_t da = c == s.a ? 0 : distance(c, s.a), db = c == s.b ? 0 : distance(c, s.b);
      if (da <= db && c != s.b) s.mask |= 1u << idx[i];
      s.error += std::min(da, db);
    }
    return s;
  };
  for (int by = 0; by < shape_.blocksHigh; ++by) {
    for (int bx = 0; bx < shape_.blocksWide; ++bx, ++block) {
      for (int y = 0; y < 4; ++y) {
        const uint8_t* row = in.bottom + (by * 4 + y) * in.stride + bx * 4;
        for (int x = 0; x < 4; ++x) px[y * 4 + x] = row[x];
      }
      uint16_t* prev = &previous_[block * 16];
      uint16_t* shown = &shown_[block * 16];
      if (!keyFrame) {
        uint32_t error = 0;
        if (threshold)
          for (int i = 0; i < 16; ++i) error += distance(px[i], shown[i]);
        if (std::memcmp(px, prev, sizeof px) == 0 || (threshold && error <= threshold)) {
          std::memcpy(prev, px, sizeof px);
          ++run;
          ++counts_.skipped;
          continue;
        }
      }
      std::memcpy(prev, px, sizeof px);
      FlushSkips(out, run);

      Split two = split(kAll, 16);
      uint32_t oneError = 0;
      for (int i = 0; i < 16; ++i) oneError += distance(px[i], two.a);
      if (oneError <= threshold) {
        *out++ = uint8_t(two.a);
        *out++ = 0x80;
        std::fill(shown, shown + 16, two.a);
        ++counts_.oneColour;
        continue;
      }
      Split quad[4];
      uint32_t eightError = 0;
      if (two.error > threshold) {
        for (int q = 0; q < 4; ++q) {
          quad[q] = split(kQuadrant[q], 4);
          eightError += quad[q].error;
        }
      }
      if (two.error <= threshold || two.error <= eightError) {
        uint32_t mask = two.mask;
        uint16_t a = two.a, b = two.b;
        if (mask & 0x8000) {
          mask ^= 0xFFFF;
          std::swap(a, b);
        }
        Put16(out, mask);
        *out++ = uint8_t(a);
        *out++ = uint8_t(b);
        for (int i = 0; i < 16; ++i) shown[i] = (mask >> i) & 1 ? a : b;
        ++counts_.twoColour;
      } else {
        // An eight-colour block has a mask whose high byte is 0x90 or more: bit 15 set and one
        // of bits 12 to 14 set. Swapping a quadrant's pair inverts its bits.
        uint32_t mask = 0;
        for (int q = 0; q < 4; ++q) mask |= quad[q].mask;
        if (!(mask & 0x8000)) {
          mask ^= kQuadrantMask[3];
          std::swap(quad[3].a, quad[3].b);
        }
        if (!(mask & 0x7000)) {
          mask ^= kQuadrantMask[2];
          std::swap(quad[2].a, quad[2].b);
        }
        Put16(out, mask);
        for (int q = 0; q < 4; ++q) {
          *out++ = uint8_t(quad[q].a);
          *out++ = uint8_t(quad[q].b);
          for (int i : kQuadrant[q]) shown[i] = (mask >> i) & 1 ? quad[q].a : quad[q].b;
        }
        ++counts_.eightColour;
      }
    }
  }
  FlushSkips(out, run);
  return size_t(out - start);
}

size_t Encoder::Encode(const Picture& in, int quality, bool keyFrame, uint8_t* out, size_t capacity) {
  if (in.width != shape_.width || in.height != shape_.height || !in.bottom || !out ||
      capacity < MaxFrameBytes(shape_.width, shape_.height, shape_.palettised) || (in.layout == Layout::Pal8) != shape_.palettised)
    return 0;
  counts_ = Counts{};
  keyFrame = keyFrame || !havePrevious_;
  havePrevious_ = true;
  const uint32_t threshold = ThresholdForQuality(quality);
  const uint8_t* bottom = in.bottom;
  const std::ptrdiff_t stride = in.stride;
  switch (in.layout) {
    case Layout::Pal8:
      return Encode8(in, threshold, keyFrame, out);
    case Layout::Rgb555:
      return Encode16(
          [&](int bx, int by, uint16_t* px) {
            for (int y = 0; y < 4; ++y) {
              const uint8_t* row = bottom + (by * 4 + y) * stride + bx * 8;
              for (int x = 0; x < 4; ++x) px[y * 4 + x] = Get16(row + x * 2) & 0x7FFF;
            }
          },
          threshold, keyFrame, out);
    case Layout::Bgr24:
      return Encode16(
          [&](int bx, int by, uint16_t* px) {
            for (int y = 0; y < 4; ++y) {
              const uint8_t* p = bottom + (by * 4 + y) * stride + bx * 12;
              for (int x = 0; x < 4; ++x, p += 3) px[y * 4 + x] = Pack555(To5(p[2]), To5(p[1]), To5(p[0]));
            }
          },
          threshold, keyFrame, out);
    case Layout::Bgrx32:
      return Encode16(
          [&](int bx, int by, uint16_t* px) {
            const uint8_t* p = bottom + (by * 4) * stride + bx * 16;
#if defined(__SSE2__)
            // Four pixels at a time: the screen's usual depth, and the coder's hottest loop.
            for (int y = 0; y < 4; y += 2, p += 2 * stride) {
              __m128i a = Bgrx4To555(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
              __m128i b = Bgrx4To555(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride)));
              _mm_storeu_si128(reinterpret_cast<__m128i*>(px + y * 4), _mm_packs_epi32(a, b));
            }
#else
            for (int y = 0; y < 4; ++y, p += stride) {
              for (int x = 0; x < 4; ++x) {
                uint32_t v;
                std::memcpy(&v, p + x * 4, 4);
                px[y * 4 + x] = Pack555(To5((v >> 16) & 0xFF), To5((v >> 8) & 0xFF), To5(v & 0xFF));
              }
            }
#endif
          },
          threshold, keyFrame, out);
  }
  return 0;
}

// --- the decoder ---

void Decoder::Begin(int width, int height, bool palettised, const std::vector<Rgb>& palette) {
  shape_.Set(width, height, palettised, palette);
  picture_.assign(size_t(width) * size_t(height), 0);
}

void Decoder::End() {
  shape_ = Shape{};
  std::vector<uint16_t>().swap(picture_);
}

bool Decoder::Decode(const uint8_t* data, size_t size) {
  const size_t blocks = shape_.blocks();
  size_t block = 0, pos = 0;
  const size_t colourBytes = shape_.palettised ? 1 : 2;
  while (block < blocks) {
    if (pos > size || size - pos < 2) return false;
    const uint8_t lo = data[pos], hi = data[pos + 1];
    pos += 2;
    if ((hi & 0xFC) == 0x84) {
      size_t n = (size_t(hi - 0x84) << 8) | lo;
      if (n > blocks - block) return false;  // a skip past the last block
      block += n;
      continue;
    }
    uint16_t colour[8];
    uint32_t mask = 0;
    int colours = 1;
    if (hi < 0x80) {
      mask = (uint32_t(hi) << 8) | lo;
      if (size - pos < 2 * colourBytes) return false;
      if (shape_.palettised) {
        colour[0] = data[pos];
        colour[1] = data[pos + 1];
        colours = 2;
      } else {
        colour[0] = Get16(data + pos);
        colour[1] = Get16(data + pos + 2);
        colours = colour[0] & 0x8000 ? 8 : 2;
      }
    } else if (shape_.palettised && hi >= 0x90) {
      mask = (uint32_t(hi) << 8) | lo;
      colours = 8;
    } else {
      colour[0] = shape_.palettised ? lo : uint16_t(((hi << 8) | lo) & 0x7FFF);
    }
    if (colours == 8) {
      if (size - pos < 8 * colourBytes) return false;
      for (int i = 0; i < 8; ++i)
        colour[i] = shape_.palettised ? data[pos + i] : uint16_t(Get16(data + pos + 2 * i) & 0x7FFF);
      pos += 8 * colourBytes;
    } else if (colours == 2) {
      colour[0] &= shape_.palettised ? 0xFF : 0x7FFF;
      colour[1] &= shape_.palettised ? 0xFF : 0x7FFF;
      pos += 2 * colourBytes;
    }
    const int bx = int(block % size_t(shape_.blocksWide)), by = int(block / size_t(shape_.blocksWide));
    uint16_t* base = picture_.data() + size_t(by) * 4 * size_t(shape_.width) + size_t(bx) * 4;
    if (colours == 1) {
      const uint64_t four = 0x0001000100010001ull * colour[0];
      for (int y = 0; y < 4; ++y) std::memcpy(base + size_t(y) * size_t(shape_.width), &four, 8);
    } else {
      for (int y = 0; y < 4; ++y) {
        uint16_t* row = base + size_t(y) * size_t(shape_.width);
        for (int x = 0; x < 4; ++x) {
          const int pair = colours == 8 ? ((y & 2) << 1) + (x & 2) : 0;
          row[x] = colour[pair + (((mask >> (y * 4 + x)) & 1) ? 0 : 1)];
        }
      }
    }
    ++block;
  }
  return true;
}

bool Decoder::Convert(uint8_t* bottom, std::ptrdiff_t stride, int bitsPerPixel) const {
  if (!bottom || (bitsPerPixel == 8 && !shape_.palettised)) return false;
  if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
  // Expansion tables from the stored value to 8-bit B, G, R.
  auto rgb = [&](uint16_t v, uint8_t& r, uint8_t& g, uint8_t& b) {
    if (shape_.palettised) {
      const Rgb& p = shape_.palette[v & 255];
      r = p.r, g = p.g, b = p.b;
    } else {
      r = uint8_t((R5(v) << 3) | (R5(v) >> 2));
      g = uint8_t((G5(v) << 3) | (G5(v) >> 2));
      b = uint8_t((B5(v) << 3) | (B5(v) >> 2));
    }
  };
  for (int y = 0; y < shape_.height; ++y) {
    const uint16_t* src = picture_.data() + size_t(y) * size_t(shape_.width);
    uint8_t* dst = bottom + y * stride;
    switch (bitsPerPixel) {
      case 8:
        for (int x = 0; x < shape_.width; ++x) dst[x] = uint8_t(src[x]);
        break;
      case 16:
        if (!shape_.palettised) {
          std::memcpy(dst, src, size_t(shape_.width) * 2);
        } else {
          for (int x = 0; x < shape_.width; ++x) {
            const Rgb& p = shape_.palette[src[x] & 255];
            uint16_t v = Pack555(To5(p.r), To5(p.g), To5(p.b));
            dst[2 * x] = uint8_t(v);
            dst[2 * x + 1] = uint8_t(v >> 8);
          }
        }
        break;
      case 24:
        for (int x = 0; x < shape_.width; ++x) rgb(src[x], dst[3 * x + 2], dst[3 * x + 1], dst[3 * x]);
        break;
      case 32:
        if (!shape_.palettised) {
          // The common case of the player: a table-free expansion of each word.
          int x = 0;
#if defined(__SSE2__)
          for (; x + 8 <= shape_.width; x += 8) {
            const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), Rgb555To32(_mm_unpacklo_epi16(words, zero)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x + 16), Rgb555To32(_mm_unpackhi_epi16(words, zero)));
          }
#endif
          for (; x < shape_.width; ++x) {
            uint32_t v = src[x];
            uint32_t c = ((v & 0x7C00) << 9) | ((v & 0x03E0) << 6) | ((v & 0x001F) << 3);
            c |= (c >> 5) & 0x070707;
            std::memcpy(dst + 4 * x, &c, 4);
          }
        } else {
          for (int x = 0; x < shape_.width; ++x) {
            rgb(src[x], dst[4 * x + 2], dst[4 * x + 1], dst[4 * x]);
            dst[4 * x + 3] = 0;
          }
        }
        break;
    }
  }
  return true;
}

}  // namespace msvideo1
