// Plain per-pixel versions of the effects, written from their formulas on top of the generic
// Scan walk (one callback per pixel), as oracles for the row kernels of TEffects; and small
// helpers for making and comparing test bitmaps.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/effects/scEffects.h"

namespace effects_test {

using engine::TBitmap;
using engine::TChannels;
using engine::TPixelFormat;
using engine::TPixelRef;

inline TPixelFormat FormatOfBytes(int bytes) {
  switch (bytes) {
    case 1: return TPixelFormat::pf8bit;
    case 2: return TPixelFormat::pf16bit;
    case 3: return TPixelFormat::pf24bit;
    default: return TPixelFormat::pf32bit;
  }
}

// A bitmap of random bytes (the fourth byte of 32-bit pixels included).
inline TBitmap RandomBitmap(int w, int h, TPixelFormat format, uint32_t seed) {
  TBitmap b(w, h, format);
  std::mt19937 gen(seed);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < b.Stride(); ++i) row[i] = static_cast<uint8_t>(gen());
  }
  return b;
}

inline TBitmap Copy(const TBitmap& b) {
  TBitmap c;
  c.Assign(b);
  return c;
}

// Compares the pixel bytes and the row padding: an operation must not touch the padding either.
inline ::testing::AssertionResult SameBitmap(const TBitmap& got, const TBitmap& expected) {
  if (got.Width() != expected.Width() || got.Height() != expected.Height())
    return ::testing::AssertionFailure() << "size got " << got.Width() << "x" << got.Height() << ", expected "
                                         << expected.Width() << "x" << expected.Height();
  if (got.PixelFormat() != expected.PixelFormat())
    return ::testing::AssertionFailure() << "format got " << int(got.PixelFormat()) << ", expected "
                                         << int(expected.PixelFormat());
  for (int y = 0; y < got.Height(); ++y)
    for (int i = 0; i < got.Stride(); ++i)
      if (got.ScanLine(y)[i] != expected.ScanLine(y)[i])
        return ::testing::AssertionFailure() << "row " << y << " byte " << i << " got " << int(got.ScanLine(y)[i])
                                             << ", expected " << int(expected.ScanLine(y)[i]);
  return ::testing::AssertionSuccess();
}

// Runs fn(pixel, x, y) for every pixel through the generic walk of fx (its mask rules apply).
inline void EachByScan(engine::TEffects& fx, TBitmap& b, const std::function<void(TPixelRef, int, int)>& fn) {
  engine::TScanEvent saved = fx.OnScan;
  const int bpp = fx.BytesPerPixel();
  fx.OnScan = [&](TPixelRef p, int& h, int& v, void*, bool&) { fn(p, h / bpp, v); };
  fx.Scan(b, nullptr);
  fx.OnScan = saved;
}

inline uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// The channels of the selection that exist at bpp bytes.
inline int Present(const TChannels& ch, int bpp, int c) { return c < bpp && ch[c]; }

namespace ref {

inline void Contrast(engine::TEffects& fx, TBitmap& b, TChannels ch, engine::TChannelValues v) {
  const int bpp = fx.BytesPerPixel();
  EachByScan(fx, b, [&](TPixelRef p, int, int) {
    for (int c = 0; c < 4; ++c)
      if (Present(ch, bpp, c)) *p[c] = Clamp(*p[c] - ((127 - *p[c]) * v[c]) / 255);
  });
}

inline void AddColor(engine::TEffects& fx, TBitmap& b, TChannels ch, TChannels wrap, engine::TChannelValues v) {
  const int bpp = fx.BytesPerPixel();
  EachByScan(fx, b, [&](TPixelRef p, int, int) {
    for (int c = 0; c < 4; ++c) {
      if (!Present(ch, bpp, c)) continue;
      *p[c] = wrap[c] ? static_cast<uint8_t>((*p[c] + (v[c] & 0xFF)) % 256) : Clamp(*p[c] + v[c]);
    }
  });
}

inline void Invert(engine::TEffects& fx, TBitmap& b, TChannels ch) {
  const int bpp = fx.BytesPerPixel();
  EachByScan(fx, b, [&](TPixelRef p, int, int) {
    for (int c = 0; c < 4; ++c)
      if (Present(ch, bpp, c)) *p[c] = static_cast<uint8_t>(255 - *p[c]);
  });
}

inline void Posterize(engine::TEffects& fx, TBitmap& b, int levels) {
  const int bpp = fx.BytesPerPixel();
  const int l = levels == 0 ? 1 : levels;
  EachByScan(fx, b, [&](TPixelRef p, int, int) {
    for (int c = 0; c < bpp; ++c) *p[c] = Clamp(static_cast<int>(std::nearbyint(double(*p[c]) / l)) * l);
  });
}

inline int Mean(const TPixelRef& p, const TChannels& ch, int bpp, int& count) {
  int sum = 0;
  count = 0;
  for (int c = 0; c < 4; ++c)
    if (Present(ch, bpp, c)) sum += *p[c], ++count;
  return count ? sum / count : 0;
}

inline void Saturation(engine::TEffects& fx, TBitmap& b, TChannels ch, int s) {
  const int bpp = fx.BytesPerPixel();
  EachByScan(fx, b, [&](TPixelRef p, int, int) {
    int n;
    const int m = Mean(p, ch, bpp, n);
    for (int c = 0; c < 4; ++c)
      if (Present(ch, bpp, c)) *p[c] = static_cast<uint8_t>(((*p[c] - m) * s) / 255 + m);
  });
}

inline void Solarize(engine::TEffects& fx, TBitmap& b, TChannels ch, int threshold) {
  const int bpp = fx.BytesPerPixel();
  EachByScan(fx, b, [&](TPixelRef p, int, int) {
    int n;
    const int m = Mean(p, ch, bpp, n);
    if (n && threshold < m)
      for (int c = 0; c < bpp; ++c) *p[c] = static_cast<uint8_t>(255 - *p[c]);
  });
}

// Runs the generator from seed; returns the final seed.
inline uint32_t Noise(engine::TEffects& fx, TBitmap& b, TChannels ch, uint32_t amount, uint32_t seed) {
  const int bpp = fx.BytesPerPixel();
  auto draw = [&] {
    seed = seed * 134775813u + 1u;
    return static_cast<int>((uint64_t(seed) * amount) >> 32);
  };
  EachByScan(fx, b, [&](TPixelRef p, int, int) {
    for (int c = 0; c < 4; ++c) {
      if (!Present(ch, bpp, c)) continue;
      const int t = *p[c] + draw();
      *p[c] = Clamp(t - draw());
    }
  });
  return seed;
}

enum class Turn { R90, R270, R180, Flip, Mirror };

// Copies every source pixel to its place by the table of the turns, through the pair walk.
inline void FixedTurn(engine::TEffects& fx, Turn turn, TBitmap& src, TBitmap& dst) {
  const int w = src.Width(), h = src.Height();
  const bool quarter = turn == Turn::R90 || turn == Turn::R270;
  dst.SetSize(quarter ? h : w, quarter ? w : h);
  const int bpp = fx.BytesPerPixel();
  engine::TScanPairEvent saved = fx.OnScanPair;
  fx.OnScanPair = [&](TPixelRef p, int& hi, int& vi, const engine::TLines& lines, void*, bool&) {
    const int x = hi / bpp, y = vi;
    int dx = x, dy = y;
    switch (turn) {
      case Turn::R90: dx = y, dy = w - 1 - x; break;
      case Turn::R270: dx = h - 1 - y, dy = x; break;
      case Turn::R180: dx = w - 1 - x, dy = h - 1 - y; break;
      case Turn::Flip: dy = h - 1 - y; break;
      case Turn::Mirror: dx = w - 1 - x; break;
    }
    for (int c = 0; c < bpp; ++c) lines[dy][dx * bpp + c] = *p[c];
  };
  // The turns mask with the component's mask stretched to the source: an empty mask argument
  // makes the walk do just that.
  TBitmap stretchedMask;
  fx.ScanPair(src, dst, nullptr, &stretchedMask);
  fx.OnScanPair = saved;
}

// ---- area effects, written from their definitions: every window summed pixel by pixel ----

// The clipped window of radius r around (x, y) in the rows of a bitmap of maxX + 1 by maxY + 1
// pixels: per-channel sums and the pixel count, the centre left out when asked.
inline int WindowSum(const engine::TLines& lines, int bpp, int x, int y, int r, int maxX, int maxY, bool withCentre,
                     int64_t sums[4]) {
  const int x0 = r < x ? x - r : 0, x1 = x + r < maxX ? x + r : maxX;
  const int y0 = r < y ? y - r : 0, y1 = y + r < maxY ? y + r : maxY;
  int n = 0;
  for (int c = 0; c < 4; ++c) sums[c] = 0;
  for (int j = y0; j <= y1; ++j)
    for (int i = x0; i <= x1; ++i) {
      if (!withCentre && i == x && j == y) continue;
      for (int c = 0; c < bpp; ++c) sums[c] += lines[j][i * bpp + c];
      ++n;
    }
  return n;
}

// Walks dest paired with source (the component's mask rules apply) after dest became a copy of
// source; fn(pixel, x, y, source rows).
inline bool PairedCopy(engine::TEffects& fx, TBitmap& src, TBitmap& dst, const TChannels& ch,
                       const std::function<void(TPixelRef, int, int, const engine::TLines&)>& fn) {
  if (!engine::TEffects::HasChannel(ch) || src.Empty() || &src == &dst) return false;
  src.SetPixelFormat(fx.GetPixelSize());
  dst.Assign(src);
  engine::TScanPairEvent saved = fx.OnScanPair;
  const int bpp = fx.BytesPerPixel();
  fx.OnScanPair = [&](TPixelRef p, int& h, int& v, const engine::TLines& lines, void*, bool&) {
    fn(p, h / bpp, v, lines);
  };
  fx.ScanPair(dst, src, nullptr);
  fx.OnScanPair = saved;
  return true;
}

inline bool Blur(engine::TEffects& fx, TBitmap& src, TBitmap& dst, TChannels ch, int r) {
  const int bpp = fx.BytesPerPixel();
  const int maxX = src.Width() - 1, maxY = src.Height() - 1;
  return PairedCopy(fx, src, dst, ch, [&](TPixelRef p, int x, int y, const engine::TLines& lines) {
    int64_t s[4];
    const int n = WindowSum(lines, bpp, x, y, r, maxX, maxY, true, s);
    for (int c = 0; c < 4; ++c)
      if (Present(ch, bpp, c)) *p[c] = static_cast<uint8_t>(s[c] / n);
  });
}

inline bool Sharpen(engine::TEffects& fx, TBitmap& src, TBitmap& dst, TChannels ch, int r, int tol, double strength,
                    int mode) {
  const int bpp = fx.BytesPerPixel();
  const int maxX = src.Width() - 1, maxY = src.Height() - 1;
  return PairedCopy(fx, src, dst, ch, [&](TPixelRef p, int x, int y, const engine::TLines& lines) {
    int64_t s[4];
    const int n = WindowSum(lines, bpp, x, y, r, maxX, maxY, false, s);
    if (n == 0 || std::isnan(strength)) return;
    for (int c = 0; c < 4; ++c) {
      if (!Present(ch, bpp, c)) continue;
      const int a = static_cast<int>(s[c] / n), b = *p[c];
      if (b >= Clamp(a - tol) && b <= Clamp(a + tol)) continue;
      if (mode == 0) {
        const int d = static_cast<int>(std::nearbyint(std::clamp(b * strength / 100, -510.0, 510.0)));
        *p[c] = b > a ? Clamp(b + d) : Clamp(b - d);
      } else if (mode == 1) {
        const auto k = static_cast<int16_t>(std::nearbyint(std::clamp(strength * 255 / 100, -32768.0, 32767.0)));
        *p[c] = Clamp(b - ((127 - b) * k) / 255);
      }
    }
  });
}

// The scratch mask built pixel by pixel, then the blur masked with it.
inline bool SmoothFlat(engine::TEffects& fx, TBitmap& src, TBitmap& dst, TChannels ch, int testR, int blurR, int tol) {
  if (!engine::TEffects::HasChannel(ch) || src.Empty() || &src == &dst) return false;
  const int bpp = fx.BytesPerPixel();
  src.SetPixelFormat(fx.GetPixelSize());
  const int w = src.Width(), h = src.Height();
  engine::TLines lines(h);
  for (int y = 0; y < h; ++y) lines[y] = src.ScanLine(y);
  TBitmap& mask = fx.MaskBitmap();
  mask = TBitmap(w, h, fx.GetPixelSize());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int64_t s[4];
      const int n = WindowSum(lines, bpp, x, y, testR, w - 1, h - 1, false, s);
      bool flat = n > 0;
      for (int c = 0; c < bpp; ++c) {
        if (!flat || !Present(ch, bpp, c)) continue;
        const int a = static_cast<int>(s[c] / n), b = lines[y][x * bpp + c];
        flat = Clamp(a - tol) <= b && b <= Clamp(a + tol);
      }
      for (int c = 0; c < bpp; ++c)
        mask.ScanLine(y)[x * bpp + c] = flat || c == 3 ? fx.MaskColor[c] : fx.FillColor[c];
    }
  const bool masked = fx.Masked;
  fx.Masked = true;
  Blur(fx, src, dst, ch, blurR);
  fx.Masked = masked;
  mask = TBitmap();
  return true;
}

// Both mosaics through two range walks, the second over the first one's drawing.
inline bool SmoothMosaic(engine::TEffects& fx, TBitmap& b, TChannels ch, POINT cell, int r, bool sparse) {
  if (!engine::TEffects::HasChannel(ch) || b.Empty() || cell.x < 1 || cell.y < 1) return false;
  const int bpp = fx.BytesPerPixel();
  const int64_t cols = (b.Width() + cell.x - 1) / cell.x;
  const int extra = fx.TransparentRange ? 0 : 1;
  const int64_t cells = cols * ((b.Height() + cell.y - 1) / cell.y) + extra;
  std::vector<int64_t> sums(cells * 4, 0), counts(cells, 0);
  engine::TScanRangeEvent saved = fx.OnScanRange;
  fx.OnScanRange = [&](TPixelRef p, int&, int&, int i, const RECT&, void*, bool&) {
    if (i >= cells) return;
    ++counts[i];
    for (int c = 0; c < bpp; ++c) sums[i * 4 + c] += *p[c];
  };
  fx.ScanRange(b, cell, nullptr);
  fx.OnScanRange = [&](TPixelRef p, int&, int&, int i, const RECT&, void*, bool&) {
    if (i >= cells || counts[i] == 0) return;
    const int64_t step = sparse && r > 0 ? r * cols : cols;
    for (int c = 0; c < 4; ++c) {
      if (!Present(ch, bpp, c)) continue;
      int64_t total = 0, n = 0;
      for (int64_t j = i - r * cols; j <= i + r * cols; j += step)
        for (int64_t k = j - r; k <= j + r; ++k) {
          if (k < 0) continue;
          if (k >= cells) break;
          if (counts[k] == 0) continue;
          total += sums[k * 4 + c] / counts[k];
          ++n;
        }
      *p[c] = static_cast<uint8_t>(total / n);
    }
  };
  fx.ScanRange(b, cell, nullptr, &fx.RangeBitmap());
  fx.OnScanRange = saved;
  return true;
}

}  // namespace ref
}  // namespace effects_test
