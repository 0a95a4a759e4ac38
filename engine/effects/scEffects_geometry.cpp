// The geometry effects of TEffects: the five fixed turns and mirrors, rotation by any angle,
// drawing one bitmap onto another, and splitting a bitmap into channel bitmaps and joining
// them back.
//
// The fixed operations run on every recorded frame when the camera turns its picture, so
// without a mask they are row copies (flips and mirrors) or tiled transposes (quarter turns)
// rather than a walk per pixel; with a mask only the marked source pixels are copied.
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_simd.h"
#include "engine/effects/scEffects_walk.h"
#include "engine/effects/scEffects_workers.h"

namespace engine {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;

bool SameAngle(double a, double b) {
  const double eps = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-16, 1e-16);
  return std::fabs(a - b) <= eps;
}

// Puts the floating-point rounding mode back on every way out.
class RoundingMode {
 public:
  explicit RoundingMode(int mode) : saved_(std::fegetround()) { std::fesetround(mode); }
  ~RoundingMode() { std::fesetround(saved_); }
  RoundingMode(const RoundingMode&) = delete;
  RoundingMode& operator=(const RoundingMode&) = delete;

 private:
  int saved_;
};

int64_t RoundNearestEven(double v) { return static_cast<int64_t>(std::nearbyint(v)); }

// Quarter turns in tiles, so both the rows read and the rows written stay in the cache.
constexpr int kTile = 128;

// Source pixels (x0..x1) x (y0..y1) to their places, one at a time.
template <int B>
void QuarterPixels(const TBitmap& src, TBitmap& dst, bool counterClockwise, int x0, int x1, int y0, int y1) {
  const int w = src.Width(), h = src.Height();
  for (int x = x0; x < x1; ++x) {
    // Turned left, source column x becomes destination row w-1-x read from the top (y
    // ascending); turned right, it becomes row x read from the right (h-1-y).
    uint8_t* d = counterClockwise ? dst.ScanLine(w - 1 - x) + y0 * B : dst.ScanLine(x) + (h - 1 - y0) * B;
    const uint8_t* s = src.ScanLine(y0) + x * B;
    const int stride = src.Stride();
    for (int y = y0; y < y1; ++y, s += stride) {
      std::memcpy(d, s, B);
      d += counterClockwise ? B : -B;
    }
  }
}

// Source columns [x0, x1) of a quarter turn: whole destination rows.
template <int B, bool Stream = false>
__attribute__((always_inline)) inline void QuarterTurnBody(const TBitmap& src, TBitmap& dst, bool counterClockwise,
                                                          int x0, int x1) {
  const int w = src.Width(), h = src.Height();
  for (int ty = 0; ty < h; ty += kTile) {
    const int yEnd = std::min(ty + kTile, h);
    for (int tx = x0; tx < x1; tx += kTile) {
      const int xEnd = std::min(tx + kTile, x1);
      if constexpr (B != 4) {
        QuarterPixels<B>(src, dst, counterClockwise, tx, xEnd, ty, yEnd);
      } else {
        // Whole 4 x 4 blocks as register transposes, the ragged edges pixel by pixel.
        const int y4 = ty + ((yEnd - ty) & ~3), x4 = tx + ((xEnd - tx) & ~3);
        // Along destination rows first, so each of them fills whole cache lines in turn.
        const int stride = src.Stride();
        for (int x = tx; x < x4; x += 4) {
          uint8_t* out[4];
          for (int k = 0; k < 4; ++k)
            out[k] = counterClockwise ? dst.ScanLine(w - 1 - x - k) + ty * 4 : dst.ScanLine(x + k) + (h - 4 - ty) * 4;
          const uint8_t* block = src.ScanLine(ty) + x * 4;
          for (int y = ty; y < y4; y += 4, block += 4 * stride) {
            simd::QuarterBlock32<Stream>(block, stride, out, counterClockwise);
            for (int k = 0; k < 4; ++k) out[k] += counterClockwise ? 16 : -16;
          }
        }
        QuarterPixels<B>(src, dst, counterClockwise, x4, xEnd, ty, yEnd);
        QuarterPixels<B>(src, dst, counterClockwise, tx, x4, y4, yEnd);
      }
    }
  }
}

// The 32-bit block transposes compiled a second time for AVX2, in their VEX forms: legacy SSE
// code after the wide kernels pays for the upper register halves they leave behind (see
// scEffects_simd.cpp).
__attribute__((target("avx2"))) void QuarterTurn32Vex(const TBitmap& src, TBitmap& dst, bool counterClockwise, int x0,
                                                      int x1) {
  // The blocks land on 16-byte boundaries when the rows do and the height is a multiple of 4.
  const bool aligned = reinterpret_cast<uintptr_t>(dst.ScanLine(0)) % 16 == 0 && dst.Stride() % 16 == 0 &&
                       src.Height() % 4 == 0;
  if (aligned) {
    QuarterTurnBody<4, true>(src, dst, counterClockwise, x0, x1);
    _mm_sfence();  // by the thread that streamed, before its band counts as done
  } else {
    QuarterTurnBody<4>(src, dst, counterClockwise, x0, x1);
  }
}

// A turn is memory-bound, so it runs in bands of source columns (whole destination rows, cut
// at cache-line multiples of pixels) on the effect workers: more threads keep more of the
// misses in flight, also when the kernel before it left the cache full of dirty lines.
template <int B>
void QuarterTurn(const TBitmap& src, TBitmap& dst, bool counterClockwise) {
  const int w = src.Width();
  const int bands = workers::BandsFor(static_cast<int64_t>(w) * src.Height() * B);
  auto band = [&](int i) {
    const int x0 = i == 0 ? 0 : (w * i / bands) & ~15;
    const int x1 = i + 1 == bands ? w : (w * (i + 1) / bands) & ~15;
    if (B == 4 && simd::UseWideKernels())
      QuarterTurn32Vex(src, dst, counterClockwise, x0, x1);
    else
      QuarterTurnBody<B>(src, dst, counterClockwise, x0, x1);
  };
  workers::ForEachBand(bands, band);
}

template <int B>
void ReverseRow(const uint8_t* s, uint8_t* d, int w) {
  if constexpr (B == 4) {
    const int done = simd::Reverse32(s, d, w);
    for (int x = done; x < w; ++x) std::memcpy(d + (w - 1 - x) * 4, s + x * 4, 4);
  } else {
    d += static_cast<size_t>(w - 1) * B;
    for (int x = 0; x < w; ++x, s += B, d -= B) std::memcpy(d, s, B);
  }
}

template <int B>
void ReverseRows(const TBitmap& src, TBitmap& dst, bool upsideDown) {
  const int h = src.Height();
  for (int y = 0; y < h; ++y) ReverseRow<B>(src.ScanLine(y), dst.ScanLine(upsideDown ? h - 1 - y : y), src.Width());
}

}  // namespace

// ---- fixed turns ----

bool TEffects::FixedTurn(Turn turn, TBitmap& source, TBitmap& dest, const TPixelValue* fill) {
  if (source.Empty() || &source == &dest) return false;  // a turn cannot be done in place
  source.SetPixelFormat(GetPixelSize());
  const int w = source.Width(), h = source.Height();
  const bool quarter = turn == Turn::R90 || turn == Turn::R270;
  const int dw = quarter ? h : w, dh = quarter ? w : h;
  const int bpp = BytesPerPixel();

  if (Masked && !MaskBitmap().Empty()) {
    // Only the source pixels the mask (stretched to the source) marks are copied.
    TBitmap mask;
    FitMaskTo(mask, POINT{w, h}, true);
    mask.SetPixelFormat(GetPixelSize());
    dest.SetPixelFormat(GetPixelSize());
    dest.SetSize(dw, dh);
    if (fill) FillUnmasked(dest, *fill);
    walk::EachPixel(bpp, source, &mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int x, int y) {
      constexpr int B = decltype(bytes)::value;
      int dx = x, dy = y;
      switch (turn) {
        case Turn::R90: dx = y; dy = w - 1 - x; break;
        case Turn::R270: dx = h - 1 - y; dy = x; break;
        case Turn::R180: dx = w - 1 - x; dy = h - 1 - y; break;
        case Turn::Flip: dy = h - 1 - y; break;
        case Turn::Mirror: dx = w - 1 - x; break;
      }
      std::memcpy(dest.ScanLine(dy) + dx * B, p, B);
    });
    return true;
  }

  dest.Reset(dw, dh, GetPixelSize());  // every pixel is written below
  auto run = [&](auto bytes) {
    constexpr int B = decltype(bytes)::value;
    switch (turn) {
      case Turn::R90: QuarterTurn<B>(source, dest, true); break;
      case Turn::R270: QuarterTurn<B>(source, dest, false); break;
      case Turn::R180: ReverseRows<B>(source, dest, true); break;
      case Turn::Mirror: ReverseRows<B>(source, dest, false); break;
      case Turn::Flip:
        for (int y = 0; y < h; ++y) std::memcpy(dest.ScanLine(h - 1 - y), source.ScanLine(y), w * B);
        break;
    }
  };
  switch (bpp) {
    case 1: run(walk::Bytes<1>{}); break;
    case 2: run(walk::Bytes<2>{}); break;
    case 3: run(walk::Bytes<3>{}); break;
    default: run(walk::Bytes<4>{}); break;
  }
  return true;
}

bool TEffects::Rotate90(TBitmap& source, TBitmap& dest, const TPixelValue* fill) {
  return FixedTurn(Turn::R90, source, dest, fill);
}
bool TEffects::FlipVertical(TBitmap& source, TBitmap& dest, const TPixelValue* fill) {
  return FixedTurn(Turn::Flip, source, dest, fill);
}
bool TEffects::Rotate270(TBitmap& source, TBitmap& dest, const TPixelValue* fill) {
  return FixedTurn(Turn::R270, source, dest, fill);
}
bool TEffects::MirrorHorizontal(TBitmap& source, TBitmap& dest, const TPixelValue* fill) {
  return FixedTurn(Turn::Mirror, source, dest, fill);
}
bool TEffects::Rotate180(TBitmap& source, TBitmap& dest, const TPixelValue* fill) {
  return FixedTurn(Turn::R180, source, dest, fill);
}

// ---- rotation by any angle ----

double TEffects::NormalizeAngle(double angle) {
  if (std::fabs(angle) > 1e6) angle = std::fmod(angle, kTwoPi);  // no endless loops for huge angles
  while (angle < 0) angle += kTwoPi;
  while (angle >= kTwoPi) angle -= kTwoPi;
  return angle;
}

double TEffects::ReduceAngle(double angle) {
  if (angle >= kPi / 2 && angle < kPi) return kPi - angle;
  if (angle >= kPi && angle < 3 * kPi / 2) return angle - kPi;
  if (angle >= 3 * kPi / 2 && angle < kTwoPi) return kTwoPi - angle;
  return angle;
}

POINT TEffects::RotatedSize(int width, int height, double folded) {
  const double hw = width / 2.0, hh = height / 2.0;
  const double c = std::cos(folded), s = std::sin(folded);
  return POINT{static_cast<LONG>(RoundNearestEven(2 * (hw * c + hh * s))),
               static_cast<LONG>(RoundNearestEven(2 * (hw * s + hh * c)))};
}

POINT TEffects::SourcePoint(int x, int y, POINT sourceCentre, POINT destCentre, double cosA, double sinA) {
  const double dx = x - destCentre.x, dy = destCentre.y - y;
  const double u = dx * cosA + dy * sinA;
  const double v = dy * cosA - dx * sinA;
  return POINT{static_cast<LONG>(RoundNearestEven(sourceCentre.x + u)),
               static_cast<LONG>(RoundNearestEven(sourceCentre.y - v))};
}

bool TEffects::Rotate(TBitmap& source, TBitmap& dest, double angle, const TPixelValue* fill) {
  if (source.Empty() || &source == &dest || !std::isfinite(angle)) return false;
  // Pixels that no source pixel reaches are zero unless a fill is given.
  const TPixelValue zero{};
  if (!fill) fill = &zero;
  const double a = NormalizeAngle(angle);
  if (std::fabs(a) <= 1e-16) {
    dest.SetSize(source.Width(), source.Height());
    FillUnmasked(dest, *fill);
    return Draw(source, dest, 0, 0, false);
  }
  if (SameAngle(a, kPi / 2)) return Rotate90(source, dest, fill);
  if (SameAngle(a, kPi)) return Rotate180(source, dest, fill);
  if (SameAngle(a, 3 * kPi / 2)) return Rotate270(source, dest, fill);

  const int w = source.Width(), h = source.Height();
  const POINT size = RotatedSize(w, h, ReduceAngle(a));
  if (size.x <= 0 || size.y <= 0) return false;
  source.SetPixelFormat(GetPixelSize());
  dest.Reset(size.x, size.y, GetPixelSize());
  FillUnmasked(dest, *fill);

  TBitmap turnedMask;
  TBitmap* maskArg = nullptr;
  if (Masked && !MaskBitmap().Empty()) {
    struct Restore {
      bool& slot;
      ~Restore() { slot = true; }
    } restore{Masked};
    Masked = false;
    Rotate(MaskBitmap(), turnedMask, angle, &FillColor);
    maskArg = &turnedMask;
  }
  const TBitmap* mask = nullptr;
  PrepareWalk(dest, maskArg, mask);

  RoundingMode nearest(FE_TONEAREST);
  const POINT sc{w / 2, h / 2}, dc{size.x / 2, size.y / 2};
  const double cosA = std::cos(a), sinA = std::sin(a);
  walk::EachPixel(BytesPerPixel(), dest, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int x, int y) {
    constexpr int B = decltype(bytes)::value;
    const POINT s = SourcePoint(x, y, sc, dc, cosA, sinA);
    if (s.x >= 0 && s.x < w && s.y >= 0 && s.y < h) std::memcpy(p, source.ScanLine(s.y) + s.x * B, B);
  });
  return true;
}

// ---- drawing ----

bool TEffects::Draw(TBitmap& source, TBitmap& dest, int x, int y, bool blend) {
  TBitmap part;
  if (!CropToArea(source, part, POINT{dest.Width(), dest.Height()}, x, y)) return false;
  TBitmap rectMask;
  TBitmap* maskArg = nullptr;
  if (Masked && !MaskBitmap().Empty()) {
    CopyMaskRect(rectMask, POINT{part.Width(), part.Height()}, POINT{dest.Width(), dest.Height()}, x, y);
    maskArg = &rectMask;
  }
  if (part.Empty()) return false;
  dest.SetPixelFormat(GetPixelSize());
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(part, maskArg, mask)) return false;
  walk::EachPixel(BytesPerPixel(), part, mask, MaskColor.data(), [&](auto bytes, uint8_t* s, int px, int py) {
    constexpr int B = decltype(bytes)::value;
    uint8_t* d = dest.ScanLine(y + py) + (x + px) * B;
    if (!blend) {
      std::memcpy(d, s, B);
      return;
    }
    const int alpha = B == 4 ? s[B - 1] : 0;  // a pixel without a fourth byte is opaque
    for (int c = 0; c < B && c < 3; ++c) d[c] = static_cast<uint8_t>((d[c] * alpha + (255 - alpha) * s[c]) / 255);
    if constexpr (B == 4) d[3] = static_cast<uint8_t>(alpha);
  });
  return true;
}

// ---- channel bitmaps ----

void TChannelBitmap::MakeChannelImage() {
  if (PixelFormat() != TPixelFormat::pf8bit) {
    // Keep what the picture shows, as one grey byte per pixel.
    TBitmap colour;
    colour.Assign(*this);
    colour.SetPixelFormat(TPixelFormat::pf24bit);
    Reset(colour.Width(), colour.Height(), TPixelFormat::pf8bit);
    for (int y = 0; y < Height(); ++y) {
      const uint8_t* s = colour.ScanLine(y);
      uint8_t* d = ScanLine(y);
      for (int x = 0; x < Width(); ++x, s += 3) d[x] = static_cast<uint8_t>((s[0] + s[1] + s[2]) / 3);
    }
  }
  std::vector<RGBQUAD> grey(256);
  for (int i = 0; i < 256; ++i) grey[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  SetColorTable(grey);
}

bool TEffects::SplitChannels(TBitmap& bitmap, TChannelBitmap* target, uint8_t channel) {
  std::array<TChannelBitmap*, 4> targets{};
  if (channel < 4) targets[channel] = target;
  return SplitChannels(bitmap, targets);
}

bool TEffects::SplitChannels(TBitmap& bitmap, const std::array<TChannelBitmap*, 4>& targets) {
  for (TChannelBitmap* t : targets) {
    if (!t) continue;
    t->SetSize(bitmap.Width(), bitmap.Height());
    t->MakeChannelImage();
  }
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(bitmap, nullptr, mask)) return false;
  walk::EachPixel(BytesPerPixel(), bitmap, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int x, int y) {
    constexpr int B = decltype(bytes)::value;
    for (int c = 0; c < 4; ++c)
      if (targets[c]) targets[c]->ScanLine(y)[x] = c < B ? p[c] : 0;
  });
  return true;
}

bool TEffects::JoinChannels(TChannelBitmap* source, TBitmap& dest, uint8_t channel) {
  std::array<TChannelBitmap*, 4> sources{};
  if (channel < 4) sources[channel] = source;
  return JoinChannels(sources, dest);
}

bool TEffects::JoinChannels(const std::array<TChannelBitmap*, 4>& sources, TBitmap& dest) {
  int w = -1, h = -1;
  for (TChannelBitmap* s : sources) {
    if (!s) continue;
    w = w < 0 ? s->Width() : std::min(w, s->Width());
    h = h < 0 ? s->Height() : std::min(h, s->Height());
  }
  if (w < 0) return false;  // no source at all
  dest.SetSize(w, h);
  for (TChannelBitmap* s : sources)
    if (s) s->MakeChannelImage();
  const TBitmap* mask = nullptr;
  if (!PrepareWalk(dest, nullptr, mask)) return false;
  walk::EachPixel(BytesPerPixel(), dest, mask, MaskColor.data(), [&](auto bytes, uint8_t* p, int x, int y) {
    constexpr int B = decltype(bytes)::value;
    for (int c = 0; c < B; ++c)
      if (sources[c]) p[c] = sources[c]->ScanLine(y)[x];
  });
  return true;
}

}  // namespace engine
