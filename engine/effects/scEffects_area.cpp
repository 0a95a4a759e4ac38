// The area effects of TEffects: blur, smoothing of flat areas, sharpening, and the two mosaics.
//
// The neighbourhood effects read every pixel's clipped square window through column sums that
// slide down the rows and running totals of them along each row, so a pixel costs the same
// at any radius and the integer results are those of adding up the whole window. The mosaics
// sum each range cell once, work out each cell's value once and paint it in a second pass over
// the same range drawing.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_helpers.h"
#include "engine/effects/scEffects_walk.h"

namespace engine {
namespace {

using helpers::Clamp;
using helpers::OnlyChannel;

// Round to nearest with halves to the even neighbour, for finite values.
double RoundHalfEven(double v) {
  double f = std::floor(v);
  const double d = v - f;
  if (d > 0.5 || (d == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
  return f;
}

// Exact division of window sums by a pixel count n, as a multiply and a shift: for every
// s <= 255 n, (s x m) >> k equals s div n when 2^k > 255 n^2 and m = ceil(2^k / n). The last
// count's m and k are kept, since whole rows share one count away from the edges. With the
// least such k, 2^k <= 510 n^2, so m <= 510 n + 1 fits 32 bits: one 32 x 32 multiply.
class CountDivider {
 public:
  uint32_t Divide(uint32_t s, uint32_t n) {
    if (n != n_) Prepare(n);
    return static_cast<uint32_t>((static_cast<uint64_t>(s) * m_) >> k_);
  }

 private:
  void Prepare(uint32_t n) {
    n_ = n;
    k_ = 0;
    while ((uint64_t{1} << k_) <= 255 * static_cast<uint64_t>(n) * n) ++k_;
    m_ = static_cast<uint32_t>(((uint64_t{1} << k_) + n - 1) / n);
  }
  uint32_t n_ = 0;
  int k_ = 0;
  uint32_t m_ = 0;
};

// Per-channel sums of the bytes in the window of radius R around every pixel of one row of a
// bitmap of B bytes per pixel, the window clipped at the bitmap's edges. Rows are visited top
// to bottom.
template <int B>
class WindowSums {
 public:
  WindowSums(const TBitmap& source, int radius)
      : source_(source),
        radius_(radius),
        width_(source.Width()),
        columns_(static_cast<size_t>(width_) * bpp_, 0),
        prefix_(static_cast<size_t>(width_ + 1) * bpp_, 0) {}

  // Makes the sums those of row y; y never goes back up.
  void MoveTo(int y) {
    const int maxY = source_.Height() - 1;
    const int top = std::max(y - radius_, 0), bottom = std::min(y + radius_, maxY);
    const int n = width_ * bpp_;
    uint32_t* __restrict col = columns_.data();
    // Down one row in the middle of the bitmap: one row enters, one leaves, in one pass.
    while (bottom_ < bottom && top_ < top) {
      const uint8_t* __restrict in = source_.ScanLine(++bottom_);
      const uint8_t* __restrict out = source_.ScanLine(top_++);
      for (int i = 0; i < n; ++i) col[i] += static_cast<uint32_t>(in[i]) - out[i];
    }
    while (bottom_ < bottom) {
      const uint8_t* __restrict in = source_.ScanLine(++bottom_);
      for (int i = 0; i < n; ++i) col[i] += in[i];
    }
    while (top_ < top) {
      const uint8_t* __restrict out = source_.ScanLine(top_++);
      for (int i = 0; i < n; ++i) col[i] -= out[i];
    }
    rows_ = bottom - top + 1;
    // Running totals of the columns along the row: a window is the difference of two.
    uint32_t* __restrict pre = prefix_.data();
    for (int i = 0; i < n; ++i) pre[i + bpp_] = pre[i] + col[i];
  }

  // The sums of the window of column x.
  void Sums(int x, uint32_t sums[4]) const {
    const int left = std::max(x - radius_, 0), right = std::min(x + radius_, width_ - 1);
    const uint32_t* hi = &prefix_[static_cast<size_t>(right + 1) * bpp_];
    const uint32_t* lo = &prefix_[static_cast<size_t>(left) * bpp_];
    for (int c = 0; c < bpp_; ++c) sums[c] = hi[c] - lo[c];
  }
  // The pixels in the window of column x.
  uint32_t Count(int x) const {
    const int left = std::max(x - radius_, 0), right = std::min(x + radius_, width_ - 1);
    return static_cast<uint32_t>(right - left + 1) * static_cast<uint32_t>(rows_);
  }

  // The average of each channel over the window without its centre pixel (the bytes at
  // centre); false when the window holds no other pixel.
  bool NeighbourAverage(int x, const uint8_t* centre, int averages[4]) {
    const uint32_t n = Count(x) - 1;
    if (n == 0) return false;
    uint32_t s[4];
    Sums(x, s);
    for (int c = 0; c < bpp_; ++c) averages[c] = static_cast<int>(divider_.Divide(s[c] - centre[c], n));
    return true;
  }

  // Each channel's average over the whole window of column x.
  void Average(int x, uint8_t averages[4]) {
    const uint32_t n = Count(x);
    uint32_t s[4];
    Sums(x, s);
    for (int c = 0; c < bpp_; ++c) averages[c] = static_cast<uint8_t>(divider_.Divide(s[c], n));
  }

 private:
  static constexpr int bpp_ = B;
  const TBitmap& source_;
  const int radius_, width_;
  std::vector<uint32_t> columns_, prefix_;
  int top_ = 0, bottom_ = -1, rows_ = 0;
  CountDivider divider_;
};

// Visits the walk's pixels with the window sums of their row: f(sums, pixel, x, y).
template <int B, class F>
void EachWindow(TBitmap& dest, const TBitmap* mask, const uint8_t* maskColor, const TBitmap& source, int radius,
                F&& f) {
  WindowSums<B> sums(source, radius);
  int current = -1;
  auto visit = [&](auto, uint8_t* p, int x, int y) {
    if (y != current) {
      sums.MoveTo(y);
      current = y;
    }
    f(sums, p, x, y);
  };
  walk::EachPixelOf<B>(dest, mask, maskColor, visit);
}

// Calls f with the bytes per pixel as a compile-time constant.
template <class F>
void WithBytes(int bpp, F&& f) {
  switch (bpp) {
    case 1: f(walk::Bytes<1>{}); break;
    case 2: f(walk::Bytes<2>{}); break;
    case 3: f(walk::Bytes<3>{}); break;
    default: f(walk::Bytes<4>{}); break;
  }
}

// Puts a value back when the guard goes.
template <class T>
class Restore {
 public:
  explicit Restore(T& slot) : slot_(slot), saved_(slot) {}
  ~Restore() { slot_ = saved_; }
  Restore(const Restore&) = delete;
  Restore& operator=(const Restore&) = delete;

 private:
  T& slot_;
  T saved_;
};

// The range index that a range drawing holds at a pixel (0xFFFFFF: outside every shape).
inline int RangeAt(const TBitmap& ranges, int x, int y) {
  const uint8_t* p = ranges.ScanLine(y) + static_cast<size_t>(x) * 3;
  return p[2] + p[1] * 256 + p[0] * 65536;
}
constexpr int kOutsideRanges = 0xFFFFFF;

}  // namespace

TBitmap& TCustomEffects::DrawnRanges(int width, int height, POINT cellSize) {
  DrawRanges(rangeBitmap_, width, height, cellSize);
  return rangeBitmap_;
}

bool TEffects::CopyForArea(TBitmap& source, TBitmap& dest, TChannels channels, const TBitmap*& mask) {
  mask = nullptr;
  if (!HasChannel(channels) || source.Empty() || &source == &dest) return false;
  source.SetPixelFormat(GetPixelSize());
  dest.Assign(source);
  return PrepareWalk(dest, nullptr, mask);
}

// ---- neighbourhood effects ----

bool TEffects::Blur(TBitmap& source, TBitmap& dest, uint8_t radius, uint8_t channel) {
  return Blur(source, dest, OnlyChannel(channel), radius);
}

bool TEffects::Blur(TBitmap& source, TBitmap& dest, TChannels channels, uint8_t radius) {
  const TBitmap* mask = nullptr;
  if (!CopyForArea(source, dest, channels, mask)) return false;
  if (radius == 0) return true;  // the window is the pixel itself
  const int bpp = BytesPerPixel();
  const unsigned sel = walk::PresentChannels(channels.data(), bpp);
  WithBytes(bpp, [&](auto bytes) {
    constexpr int B = decltype(bytes)::value;
    EachWindow<B>(dest, mask, MaskColor.data(), source, radius, [&](WindowSums<B>& sums, uint8_t* p, int x, int) {
      uint8_t avg[4];
      sums.Average(x, avg);
      for (int c = 0; c < B; ++c)
        if (sel & (1u << c)) p[c] = avg[c];
    });
  });
  return true;
}

bool TEffects::SmoothFlat(TBitmap& source, TBitmap& dest, uint8_t testRadius, uint8_t blurRadius,
                          uint8_t tolerance, uint8_t channel) {
  return SmoothFlat(source, dest, OnlyChannel(channel), testRadius, blurRadius, tolerance);
}

bool TEffects::SmoothFlat(TBitmap& source, TBitmap& dest, TChannels channels, uint8_t testRadius,
                          uint8_t blurRadius, uint8_t tolerance) {
  if (!HasChannel(channels) || source.Empty() || &source == &dest) return false;
  // The scratch mask is not kept: afterwards MaskBitmap is empty and Masked as it was.
  struct MaskReset {
    TBitmap& mask;
    ~MaskReset() { mask = TBitmap(); }
  } maskReset{MaskBitmap()};
  Restore<bool> masked(Masked);

  source.SetPixelFormat(GetPixelSize());
  const int bpp = BytesPerPixel();
  const int w = source.Width(), h = source.Height();
  const unsigned sel = walk::PresentChannels(channels.data(), bpp);
  // Flat pixels get MaskColor's bytes in the mask, the others FillColor's (with MaskColor's
  // fourth byte), so that exactly the flat ones match MaskColor.
  uint8_t flatBytes[4], edgeBytes[4];
  for (int c = 0; c < 4; ++c) {
    flatBytes[c] = MaskColor[c];
    edgeBytes[c] = c < 3 ? FillColor[c] : MaskColor[c];
  }
  TBitmap& mask = MaskBitmap();
  mask.Reset(w, h, GetPixelSize());
  WithBytes(bpp, [&](auto bytes) {
    constexpr int B = decltype(bytes)::value;
    WindowSums<B> sums(source, testRadius);
    for (int y = 0; y < h; ++y) {
      sums.MoveTo(y);
      const uint8_t* row = source.ScanLine(y);
      uint8_t* m = mask.ScanLine(y);
      for (int x = 0; x < w; ++x, row += B, m += B) {
        int avg[4] = {};
        bool flat = sums.NeighbourAverage(x, row, avg);
        for (int c = 0; c < B && flat; ++c)
          if (sel & (1u << c)) flat = Clamp(avg[c] - tolerance) <= row[c] && row[c] <= Clamp(avg[c] + tolerance);
        std::memcpy(m, flat ? flatBytes : edgeBytes, B);
      }
    }
  });
  Masked = true;
  return Blur(source, dest, channels, blurRadius);
}

bool TEffects::Sharpen(TBitmap& source, TBitmap& dest, uint8_t radius, uint8_t tolerance, double strength,
                       uint8_t mode, uint8_t channel) {
  return Sharpen(source, dest, OnlyChannel(channel), radius, tolerance, strength, mode);
}

bool TEffects::Sharpen(TBitmap& source, TBitmap& dest, TChannels channels, uint8_t radius, uint8_t tolerance,
                       double strength, uint8_t mode) {
  const TBitmap* mask = nullptr;
  if (!CopyForArea(source, dest, channels, mask)) return false;
  if ((mode != 0 && mode != 1) || std::isnan(strength)) return true;
  // What a byte that stands out becomes, above and below its neighbours' average. The products
  // of Strength are clamped before they become integers: past +-510 every byte saturates.
  uint8_t above[256], below[256];
  if (mode == 0) {
    for (int b = 0; b < 256; ++b) {
      const int d = static_cast<int>(RoundHalfEven(std::clamp(b * strength / 100, -510.0, 510.0)));
      above[b] = Clamp(b + d);
      below[b] = Clamp(b - d);
    }
  } else {
    const auto c = static_cast<int16_t>(RoundHalfEven(std::clamp(strength * 255 / 100, -32768.0, 32767.0)));
    for (int b = 0; b < 256; ++b) {
      uint8_t v = static_cast<uint8_t>(b);
      ContrastByte(v, c);
      above[b] = below[b] = v;
    }
  }
  const int bpp = BytesPerPixel();
  const unsigned sel = walk::PresentChannels(channels.data(), bpp);
  WithBytes(bpp, [&](auto bytes) {
    constexpr int B = decltype(bytes)::value;
    EachWindow<B>(dest, mask, MaskColor.data(), source, radius, [&](WindowSums<B>& sums, uint8_t* p, int x, int y) {
      int avg[4] = {};
      if (!sums.NeighbourAverage(x, source.ScanLine(y) + static_cast<size_t>(x) * B, avg)) return;
      for (int c = 0; c < B; ++c) {
        if (!(sel & (1u << c))) continue;
        const uint8_t b = p[c];
        if (b < Clamp(avg[c] - tolerance))
          p[c] = below[b];
        else if (b > Clamp(avg[c] + tolerance))
          p[c] = above[b];
      }
    });
  });
  return true;
}

// ---- mosaics ----

bool TEffects::Mosaic(TBitmap& bitmap, POINT cellSize, uint8_t channel) {
  return Mosaic(bitmap, OnlyChannel(channel), cellSize);
}

bool TEffects::Mosaic(TBitmap& bitmap, TChannels channels, POINT cellSize) {
  return RangeMosaic(bitmap, channels, cellSize, 0, false);
}

bool TEffects::SmoothMosaic(TBitmap& bitmap, POINT cellSize, uint8_t radius, bool sparse, uint8_t channel) {
  return SmoothMosaic(bitmap, OnlyChannel(channel), cellSize, radius, sparse);
}

bool TEffects::SmoothMosaic(TBitmap& bitmap, TChannels channels, POINT cellSize, uint8_t radius, bool sparse) {
  return RangeMosaic(bitmap, channels, cellSize, radius, sparse);
}

// Radius 0 is the plain mosaic: every range becomes its own average.
bool TEffects::RangeMosaic(TBitmap& bitmap, TChannels channels, POINT cellSize, int radius, bool sparse) {
  if (!HasChannel(channels) || bitmap.Empty() || cellSize.x < 1 || cellSize.y < 1) return false;
  const int w = bitmap.Width(), h = bitmap.Height();
  const int64_t cols = (w + static_cast<int64_t>(cellSize.x) - 1) / cellSize.x;
  const int64_t gridRows = (h + static_cast<int64_t>(cellSize.y) - 1) / cellSize.y;
  const int extra = TransparentRange ? 0 : 1;  // range 0 is then what lies outside the shapes
  const int64_t cells = cols * gridRows + extra;
  if (cells <= extra) return false;
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  const TBitmap& ranges = DrawnRanges(w, h, cellSize);
  const int bpp = BytesPerPixel();
  const unsigned sel = walk::PresentChannels(channels.data(), bpp);
  const size_t n = static_cast<size_t>(cells);

  // First pass: each range's sums and pixel count (64 bits: a cell may hold many millions).
  std::vector<int64_t> sums(n * bpp, 0), counts(n, 0);
  walk::EachPixel(bpp, bitmap, mask, MaskColor.data(), [&](auto, uint8_t* p, int x, int y) {
    const int i = RangeAt(ranges, x, y);
    if (i == kOutsideRanges || i >= cells) return;
    ++counts[i];
    int64_t* s = &sums[static_cast<size_t>(i) * bpp];
    for (int c = 0; c < bpp; ++c) s[c] += p[c];
  });

  // Each range's new bytes, once. Smoothed, a range takes the average of the averages of the
  // ranges around it by index: grid rows Step apart within Radius rows, and Radius indexes to
  // either side of each (running on into the neighbouring grid row at the edges).
  std::vector<uint8_t> values(n * bpp, 0);
  if (radius == 0) {
    for (size_t i = 0; i < n; ++i)
      if (counts[i] > 0)
        for (int c = 0; c < bpp; ++c) values[i * bpp + c] = static_cast<uint8_t>(sums[i * bpp + c] / counts[i]);
  } else {
    // Running totals over the index of the averages and of the ranges that have pixels.
    std::vector<int64_t> avgTotal((n + 1) * bpp, 0), filled(n + 1, 0);
    for (size_t i = 0; i < n; ++i) {
      filled[i + 1] = filled[i] + (counts[i] > 0);
      for (int c = 0; c < bpp; ++c)
        avgTotal[(i + 1) * bpp + c] = avgTotal[i * bpp + c] + (counts[i] > 0 ? sums[i * bpp + c] / counts[i] : 0);
    }
    const int64_t reach = radius * cols;
    const int64_t step = sparse ? reach : cols;
    for (int64_t i = 0; i < cells; ++i) {
      if (counts[i] == 0) continue;
      int64_t total[4] = {}, taken = 0;
      for (int64_t j = i - reach; j <= i + reach; j += step) {
        const int64_t lo = std::max<int64_t>(j - radius, 0), hi = std::min<int64_t>(j + radius, cells - 1);
        if (lo > hi) continue;
        taken += filled[hi + 1] - filled[lo];
        for (int c = 0; c < bpp; ++c) total[c] += avgTotal[(hi + 1) * bpp + c] - avgTotal[lo * bpp + c];
      }
      if (taken > 0)
        for (int c = 0; c < bpp; ++c) values[i * bpp + c] = static_cast<uint8_t>(total[c] / taken);
    }
  }

  // Second pass over the same drawing: the ranges are not drawn again.
  walk::EachPixel(bpp, bitmap, mask, MaskColor.data(), [&](auto, uint8_t* p, int x, int y) {
    const int i = RangeAt(ranges, x, y);
    if (i == kOutsideRanges || i >= cells || counts[i] == 0) return;
    const uint8_t* v = &values[static_cast<size_t>(i) * bpp];
    for (int c = 0; c < bpp; ++c)
      if (sel & (1u << c)) p[c] = v[c];
  });
  return true;
}

}  // namespace engine
