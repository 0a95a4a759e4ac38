// The colour effects of TEffects: fills, per-channel byte operations (invert, add colour,
// contrast, posterize) run as one lookup table per channel, saturation, solarize, noise and
// the two colour replacements.
//
// The camera applies several of these to every frame, so each is a row loop specialised by
// bytes per pixel; the mask of the component, when in use, is tested per pixel in a loop of
// its own.
#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_helpers.h"
#include "engine/effects/scEffects_noise.h"
#include "engine/effects/scEffects_simd.h"
#include "engine/effects/scEffects_walk.h"
#include "engine/effects/scEffects_workers.h"
#include "engine/effects/scMemUtils.h"

namespace engine {
namespace {

using helpers::Clamp;
using helpers::OnlyChannel;

// Round(v / l) with halves to the even neighbour, for v >= 0 and l >= 1.
int RoundDivHalfEven(int v, int l) {
  int q = v / l, r = v % l;
  if (2 * r > l || (2 * r == l && (q & 1))) ++q;
  return q;
}

}  // namespace

// ---- helpers ----

bool TEffects::HasChannel(TChannels channels, unsigned excludeMask) {
  for (int i = 0; i < 4; ++i)
    if (channels[i] && !(excludeMask & (1u << i))) return true;
  return false;
}

bool TEffects::InRange(uint8_t value, uint8_t low, uint8_t high, bool invert) {
  return (low <= value && value <= high) != invert;
}

void TEffects::ContrastByte(uint8_t& b, int16_t c) { b = Clamp(b - ((127 - b) * c) / 255); }

void TEffects::AddByte(uint8_t& b, int16_t d) { b = Clamp(b + d); }

// ---- byte chains ----

TByteChain::TByteChain() {
  for (auto& t : tables_)
    for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
}

void TByteChain::AddColor(TChannels channels, TChannels wrap, const TChannelValues& values) {
  for (int c = 0; c < 4; ++c) {
    if (!channels[c]) continue;
    touched_[c] = true;
    for (auto& b : tables_[c])
      b = wrap[c] ? static_cast<uint8_t>(b + (values[c] & 0xFF)) : Clamp(b + values[c]);
  }
}

void TByteChain::Contrast(TChannels channels, const TChannelValues& values) {
  for (int c = 0; c < 4; ++c) {
    if (!channels[c]) continue;
    touched_[c] = true;
    for (auto& b : tables_[c]) TEffects::ContrastByte(b, values[c]);
  }
}

void TByteChain::Invert(TChannels channels) {
  for (int c = 0; c < 4; ++c) {
    if (!channels[c]) continue;
    touched_[c] = true;
    for (auto& b : tables_[c]) b = static_cast<uint8_t>(255 - b);
  }
}

void TByteChain::Posterize(uint8_t levels) {
  const int l = levels == 0 ? 1 : levels;
  for (int c = 0; c < 4; ++c) {
    touched_[c] = true;
    for (auto& b : tables_[c]) b = Clamp(RoundDivHalfEven(b, l) * l);
  }
}

bool TByteChain::AsAddPattern(simd::AddPattern& pattern) const {
  for (int c = 0; c < 4; ++c) {
    const auto& t = tables_[c];
    bool wraps = true;
    for (int i = 0; i < 256 && wraps; ++i) wraps = t[i] == static_cast<uint8_t>(i + t[0]);
    if (wraps) {
      pattern.wrap[c] = t[0];
      pattern.up[c] = pattern.down[c] = 0;
      continue;
    }
    const int d = t[255] < 255 ? t[255] - 255 : t[0];
    for (int i = 0; i < 256; ++i)
      if (t[i] != Clamp(i + d)) return false;
    pattern.wrap[c] = 0;
    pattern.up[c] = static_cast<uint8_t>(d > 0 ? d : 0);
    pattern.down[c] = static_cast<uint8_t>(d < 0 ? -d : 0);
  }
  return true;
}

bool TEffects::ApplyByteChain(TBitmap& bitmap, const TByteChain& chain) {
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  const int bpp = BytesPerPixel();
  const uint8_t* tables[4] = {chain.Table(0).data(), chain.Table(1).data(), chain.Table(2).data(),
                              chain.Table(3).data()};
  simd::AddPattern pattern;
  if (!mask && chain.AsAddPattern(pattern)) {
    // Adding with clamping or wrapping needs no table: saturating byte arithmetic does it.
    const int rowBytes = bitmap.Width() * bpp;
    for (int y = 0; y < bitmap.Height(); ++y) {
      uint8_t* row = bitmap.ScanLine(y);
      for (int i = simd::AddBytes(row, rowBytes, bpp, pattern); i < rowBytes; ++i)
        row[i] = tables[i % bpp][row[i]];
    }
    return true;
  }
  const uint8_t* t0 = tables[0];
  const uint8_t* t1 = tables[1];
  const uint8_t* t2 = tables[2];
  const uint8_t* t3 = tables[3];
  walk::EachPixel(BytesPerPixel(), bitmap, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int, int) {
    constexpr int B = decltype(bytes)::value;
    if constexpr (B == 4) {
      // One load and one store per pixel; the four lookups in between.
      uint32_t v;
      std::memcpy(&v, p, 4);
      v = uint32_t(t0[v & 0xFF]) | uint32_t(t1[(v >> 8) & 0xFF]) << 8 | uint32_t(t2[(v >> 16) & 0xFF]) << 16 |
          uint32_t(t3[v >> 24]) << 24;
      std::memcpy(p, &v, 4);
      return;
    }
    p[0] = t0[p[0]];
    if constexpr (B > 1) p[1] = t1[p[1]];
    if constexpr (B > 2) p[2] = t2[p[2]];
    if constexpr (B > 3) p[3] = t3[p[3]];
  });
  return true;
}

// ---- fills ----

bool TEffects::FillChannel(TBitmap& bitmap, uint8_t channel, uint8_t value) {
  TPixelValue values{};
  if (channel < 4) values[channel] = value;
  return FillChannels(bitmap, OnlyChannel(channel), values);
}

bool TEffects::FillChannels(TBitmap& bitmap, TChannels channels, TPixelValue values) {
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  const unsigned sel = walk::PresentChannels(channels.data(), BytesPerPixel());
  if (!sel) return true;
  walk::EachPixel(BytesPerPixel(), bitmap, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int, int) {
    constexpr int B = decltype(bytes)::value;
    for (int c = 0; c < B; ++c)
      if (sel & (1u << c)) p[c] = values[c];
  });
  return true;
}

// ---- per-channel table effects ----

bool TEffects::Invert(TBitmap& bitmap, uint8_t channel) { return Invert(bitmap, OnlyChannel(channel)); }

bool TEffects::Invert(TBitmap& bitmap, TChannels channels) {
  if (!HasChannel(channels)) return false;
  TByteChain chain;
  chain.Invert(channels);
  return ApplyByteChain(bitmap, chain);
}

bool TEffects::AddColor(TBitmap& bitmap, uint8_t channel, int16_t value, bool wrap) {
  TChannelValues values{};
  if (channel < 4) values[channel] = value;
  return AddColor(bitmap, OnlyChannel(channel), wrap ? OnlyChannel(channel) : NoChannels, values);
}

bool TEffects::AddColor(TBitmap& bitmap, TChannels channels, TChannels wrap, const TChannelValues& values) {
  if (!HasChannel(channels)) return false;
  TByteChain chain;
  chain.AddColor(channels, wrap, values);
  return ApplyByteChain(bitmap, chain);
}

bool TEffects::Contrast(TBitmap& bitmap, uint8_t channel, int16_t value) {
  TChannelValues values{};
  if (channel < 4) values[channel] = value;
  return Contrast(bitmap, OnlyChannel(channel), values);
}

bool TEffects::Contrast(TBitmap& bitmap, TChannels channels, const TChannelValues& values) {
  if (!HasChannel(channels)) return false;
  if (BytesPerPixel() == 4 && !(Masked && !MaskBitmap().Empty()) && simd::UseWideKernels()) {
    const TBitmap* mask = nullptr;
    if (!PrepareWalk(bitmap, nullptr, mask)) return false;
    std::array<int16_t, 4> c{};
    for (int i = 0; i < 4; ++i) c[i] = channels[i] ? values[i] : 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
      uint8_t* row = bitmap.ScanLine(y);
      for (int i = simd::Contrast32Avx2(row, bitmap.Width(), c) * 4; i < bitmap.Width() * 4; ++i)
        ContrastByte(row[i], c[i % 4]);
    }
    return true;
  }
  TByteChain chain;
  chain.Contrast(channels, values);
  return ApplyByteChain(bitmap, chain);
}

bool TEffects::Posterize(TBitmap& bitmap, uint8_t channel, uint8_t levels) {
  return Posterize(bitmap, OnlyChannel(channel), levels);
}

bool TEffects::Posterize(TBitmap& bitmap, TChannels channels, uint8_t levels) {
  if (!HasChannel(channels)) return false;  // the set only has to be non-empty
  TByteChain chain;
  chain.Posterize(levels);
  return ApplyByteChain(bitmap, chain);
}

// ---- effects over the mean of the selected bytes ----

bool TEffects::Saturation(TBitmap& bitmap, uint8_t channel, uint8_t value) {
  return Saturation(bitmap, OnlyChannel(channel), value);
}

bool TEffects::Saturation(TBitmap& bitmap, TChannels channels, uint8_t value) {
  if (!HasChannel(channels)) return false;
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  const int bpp = BytesPerPixel();
  const unsigned sel = walk::PresentChannels(channels.data(), bpp);
  const int count = __builtin_popcount(sel);
  // One channel is its own mean: every byte stays as it is (all of an 8-bit frame).
  if (count <= 1) return true;
  // scaled[d + 255] = (d * S) div 255 for every difference d between a byte and the mean.
  int scaled[511];
  for (int d = -255; d <= 255; ++d) scaled[d + 255] = (d * value) / 255;
  const bool all = sel == (1u << bpp) - 1;
  // Without a mask over all channels of 32 or 24-bit pixels, every row on its own, in bands of
  // rows on the effect workers beside this thread: the kernels are bound by their arithmetic,
  // not by memory, most of all the SSE2 ones and the plain loop of 24-bit rows without AVX2.
  if (all && !mask && (bpp == 4 || bpp == 3)) {
    const bool wide = simd::UseWideKernels();
    const int width = bitmap.Width(), height = bitmap.Height();
    auto row32 = [&](uint8_t* row) {
      const int done = wide ? simd::Saturation32Avx2(row, width, value) : simd::Saturation32(row, width, value);
      for (int x = done; x < width; ++x) {
        uint8_t* p = row + x * 4;
        const int m = (p[0] + p[1] + p[2] + p[3]) / 4;
        for (int c = 0; c < 4; ++c) p[c] = static_cast<uint8_t>(scaled[p[c] - m + 255] + m);
      }
    };
    auto row24 = [&](uint8_t* row) {
      for (int x = wide ? simd::Saturation24Avx2(row, width, value) : 0; x < width; ++x) {
        uint8_t* p = row + x * 3;
        const int m = (p[0] + p[1] + p[2]) / 3;
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(scaled[p[c] - m + 255] + m);
      }
    };
    const int bands = workers::BandsFor(static_cast<int64_t>(width) * height * bpp);
    auto band = [&](int i) {
      const int y0 = static_cast<int>(static_cast<int64_t>(height) * i / bands);
      const int y1 = static_cast<int>(static_cast<int64_t>(height) * (i + 1) / bands);
      for (int y = y0; y < y1; ++y) {
        if (bpp == 4)
          row32(bitmap.ScanLine(y));
        else
          row24(bitmap.ScanLine(y));
      }
    };
    workers::ForEachBand(bands, band);
    return true;
  }
  walk::EachPixel(bpp, bitmap, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int, int) {
    constexpr int B = decltype(bytes)::value;
    if (all) {
      int sum = 0;
      for (int c = 0; c < B; ++c) sum += p[c];
      const int m = sum / B;
      for (int c = 0; c < B; ++c) p[c] = static_cast<uint8_t>(scaled[p[c] - m + 255] + m);
      return;
    }
    int sum = 0;
    for (int c = 0; c < B; ++c)
      if (sel & (1u << c)) sum += p[c];
    const int m = sum / count;
    for (int c = 0; c < B; ++c)
      if (sel & (1u << c)) p[c] = static_cast<uint8_t>(scaled[p[c] - m + 255] + m);
  });
  return true;
}

bool TEffects::Solarize(TBitmap& bitmap, uint8_t channel, uint8_t threshold) {
  return Solarize(bitmap, OnlyChannel(channel), threshold);
}

bool TEffects::Solarize(TBitmap& bitmap, TChannels channels, uint8_t threshold) {
  if (!HasChannel(channels)) return false;
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  const int bpp = BytesPerPixel();
  const unsigned sel = walk::PresentChannels(channels.data(), bpp);
  const int count = __builtin_popcount(sel);
  if (count == 0) return true;
  walk::EachPixel(bpp, bitmap, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int, int) {
    constexpr int B = decltype(bytes)::value;
    int sum = 0;
    for (int c = 0; c < B; ++c)
      if (sel & (1u << c)) sum += p[c];
    if (threshold < sum / count)
      for (int c = 0; c < B; ++c) p[c] = static_cast<uint8_t>(255 - p[c]);
  });
  return true;
}

// ---- noise ----

bool TEffects::Noise(TBitmap& bitmap, uint8_t amount, uint8_t channel) {
  return Noise(bitmap, OnlyChannel(channel), amount);
}

bool TEffects::Noise(TBitmap& bitmap, TChannels channels, uint8_t amount) {
  if (!HasChannel(channels)) return false;
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  const int bpp = BytesPerPixel();
  const unsigned sel = walk::PresentChannels(channels.data(), bpp);
  if (!sel) return true;
  RandomSession random;
  if (!mask) {
    // The rows in draw order, split into bands that run side by side.
    const NoiseRows rows{bitmap.ScanLine(0), bitmap.Stride(), bitmap.Width(), bitmap.Height(), bpp, sel};
    const int64_t bytes = static_cast<int64_t>(bitmap.Width()) * bitmap.Height() * std::popcount(sel);
    random.set_seed(ApplyNoise(rows, random.seed(), amount, workers::BandsFor(bytes)));
    return true;
  }
  walk::EachPixel(bpp, bitmap, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int, int) {
    constexpr int B = decltype(bytes)::value;
    for (int c = 0; c < B; ++c) {
      if (!(sel & (1u << c))) continue;
      const int t = p[c] + static_cast<int>(random.Draw(amount));
      p[c] = Clamp(t - static_cast<int>(random.Draw(amount)));
    }
  });
  return true;
}

// ---- colour replacement ----

bool TEffects::ReplaceChannelRange(TBitmap& bitmap, uint8_t channel, uint8_t low, uint8_t high,
                                   TPixelValue newColor, bool invert) {
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  const int bpp = BytesPerPixel();
  if (channel >= bpp) return true;  // the pixels have no such byte: nothing matches
  walk::EachPixel(bpp, bitmap, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int, int) {
    constexpr int B = decltype(bytes)::value;
    if (InRange(p[channel], low, high, invert)) std::memcpy(p, newColor.data(), B);
  });
  return true;
}

bool TEffects::ReplaceColorRange(TBitmap& bitmap, TPixelValue low, TPixelValue high, TPixelValue newColor,
                                 TChannels invertRanges, bool invertResult, bool useAlpha) {
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  walk::EachPixel(BytesPerPixel(), bitmap, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int, int) {
    constexpr int B = decltype(bytes)::value;
    bool hit = false;
    for (int c = 0; c < B && !hit; ++c) {
      if (c == 3 && !useAlpha) break;
      hit = InRange(p[c], low[c], high[c], invertRanges[c]);
    }
    if (hit != invertResult) std::memcpy(p, newColor.data(), B);
  });
  return true;
}

}  // namespace engine
