// The geometry effects: the five fixed turns against the table of where each source pixel
// goes (at every pixel size, 24 bits included, masked and not), rotation by any angle, drawing
// with blending and clipping, and splitting into channel bitmaps and joining them back.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_simd.h"
#include "engine/effects/scEffects_workers.h"
#include "tests/engine/effects/effects_reference.h"

namespace {

using namespace engine;
using namespace effects_test;
using ref::Turn;

constexpr double kPi = std::numbers::pi;

bool RunTurn(TEffects& fx, Turn t, TBitmap& s, TBitmap& d, const TPixelValue* fill = nullptr) {
  switch (t) {
    case Turn::R90: return fx.Rotate90(s, d, fill);
    case Turn::R270: return fx.Rotate270(s, d, fill);
    case Turn::R180: return fx.Rotate180(s, d, fill);
    case Turn::Flip: return fx.FlipVertical(s, d, fill);
    case Turn::Mirror: return fx.MirrorHorizontal(s, d, fill);
  }
  return false;
}

const char* Name(Turn t) {
  switch (t) {
    case Turn::R90: return "Rotate90";
    case Turn::R270: return "Rotate270";
    case Turn::R180: return "Rotate180";
    case Turn::Flip: return "FlipVertical";
    case Turn::Mirror: return "MirrorHorizontal";
  }
  return "";
}

const Turn kTurns[] = {Turn::R90, Turn::R270, Turn::R180, Turn::Flip, Turn::Mirror};

// Pixel (x, y) of a 32-bit or 24-bit bitmap as a number.
uint32_t At(const TBitmap& b, int x, int y) {
  const int bpp = BytesPerPixel(b.PixelFormat());
  uint32_t v = 0;
  std::memcpy(&v, b.ScanLine(y) + x * bpp, bpp);
  return v;
}

TEST(EffectsTurns, SmallBitmapCorners) {
  // A 3 x 2 bitmap, each pixel numbered: which source pixel lands top-left.
  struct Case {
    Turn turn;
    int w, h;
    std::pair<int, int> topLeftFrom;
  };
  const Case cases[] = {{Turn::R90, 2, 3, {2, 0}},  {Turn::R270, 2, 3, {0, 1}}, {Turn::R180, 3, 2, {2, 1}},
                        {Turn::Flip, 3, 2, {0, 1}}, {Turn::Mirror, 3, 2, {2, 0}}};
  for (TPixelFormat f : {TPixelFormat::pf32bit, TPixelFormat::pf24bit}) {
    for (const auto& c : cases) {
      TEffects fx;
      fx.SetPixelSize(f);
      TBitmap src(3, 2, f), dst;
      const int bpp = BytesPerPixel(f);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) std::memset(src.ScanLine(y) + x * bpp, 16 * y + x + 1, bpp);
      ASSERT_TRUE(RunTurn(fx, c.turn, src, dst)) << Name(c.turn);
      EXPECT_EQ(dst.Width(), c.w) << Name(c.turn);
      EXPECT_EQ(dst.Height(), c.h) << Name(c.turn);
      EXPECT_EQ(At(dst, 0, 0), At(src, c.topLeftFrom.first, c.topLeftFrom.second)) << Name(c.turn) << " bpp " << bpp;
    }
  }
}

void CheckTurnsAgainstTheTable() {
  // Odd sizes, larger than a tile, so partial tiles and the last byte of each row are covered;
  // at 24 bits a four-byte copy would overwrite the neighbour and fail here. A height that is a
  // multiple of 4 lets 32-bit quarter turns write whole aligned blocks around the cache. The
  // largest is split into bands of columns on the effect workers at 2 bytes a pixel and more.
  const std::vector<std::pair<int, int>> sizes = {{1, 1}, {3, 2}, {37, 23}, {70, 33}, {141, 132}, {1031, 264}};
  for (int bpp = 1; bpp <= 4; ++bpp) {
    for (bool masked : {false, true}) {
      for (auto [w, h] : sizes) {
        for (Turn t : kTurns) {
          TEffects fx;
          fx.SetPixelSize(FormatOfBytes(bpp));
          TPixelValue fill{1, 2, 3, 4};
          if (masked) {
            fx.Masked = true;
            fx.MaskBitmap() = RandomBitmap((w + 1) / 2, (h + 1) / 2, TPixelFormat::pf32bit, 17);
            for (int y = 0; y < fx.MaskBitmap().Height(); ++y)
              for (int x = 0; x < fx.MaskBitmap().Width(); ++x)
                if ((x + y) % 2) std::memset(fx.MaskBitmap().ScanLine(y) + x * 4, 0xFF, 4);
          }
          TBitmap src = RandomBitmap(w, h, FormatOfBytes(bpp), uint32_t(w * 31 + h));
          TBitmap srcCopy = Copy(src);
          // Both destinations start with the same leftovers of an earlier frame.
          TBitmap fast = RandomBitmap(h + 3, w, TPixelFormat::pf32bit, 5);
          TBitmap slow = Copy(fast);
          const std::string where = std::string(Name(t)) + " bpp " + std::to_string(bpp) +
                                    (masked ? " masked " : " ") + std::to_string(w) + "x" + std::to_string(h);
          ASSERT_TRUE(RunTurn(fx, t, src, fast, masked ? &fill : nullptr)) << where;
          if (masked) {
            const bool quarter = t == Turn::R90 || t == Turn::R270;
            slow.SetSize(quarter ? h : w, quarter ? w : h);
            fx.Masked = false;
            fx.FillChannels(slow, AllChannels, fill);
            fx.Masked = true;
          }
          ref::FixedTurn(fx, t, srcCopy, slow);
          EXPECT_TRUE(SameBitmap(fast, slow)) << where;
        }
      }
    }
  }
}

TEST(EffectsTurns, KernelsEqualTheTableAtEveryPixelSize) {
  ASSERT_GT(workers::BandsFor(int64_t(1031) * 264 * 2), 1);
  CheckTurnsAgainstTheTable();
}

TEST(EffectsTurns, BaselineKernelsEqualTheTable) {
  simd::UseBaselineKernels(true);
  CheckTurnsAgainstTheTable();
  simd::UseBaselineKernels(false);
}

TEST(EffectsRotate, AnglesThatAreQuarterTurns) {
  struct Case {
    double angle;
    Turn same;
  };
  const Case cases[] = {{kPi / 2, Turn::R90},           {2 * kPi + kPi / 2, Turn::R90}, {-kPi / 2, Turn::R270},
                        {90 * kPi / 180, Turn::R90},    {270 * kPi / 180, Turn::R270}, {kPi, Turn::R180},
                        {3 * kPi / 2, Turn::R270},      {-3 * kPi, Turn::R180}};
  for (const auto& c : cases) {
    TEffects fx;
    TBitmap src = RandomBitmap(9, 4, TPixelFormat::pf32bit, 8), a, b;
    ASSERT_TRUE(fx.Rotate(src, a, c.angle));
    RunTurn(fx, c.same, src, b);
    EXPECT_TRUE(SameBitmap(a, b)) << "angle " << c.angle;
  }
}

TEST(EffectsRotate, AnyAngle) {
  TEffects fx;
  TBitmap src(100, 50, TPixelFormat::pf32bit), dst = RandomBitmap(10, 10, TPixelFormat::pf32bit, 1);
  for (int y = 0; y < 50; ++y) std::memset(src.ScanLine(y), 0x80, 400);
  ASSERT_TRUE(fx.Rotate(src, dst, kPi / 4));
  EXPECT_EQ(dst.Width(), 106);
  EXPECT_EQ(dst.Height(), 106);
  EXPECT_EQ(At(dst, 0, 0), 0u);  // no source pixel reaches the corners: zero
  EXPECT_EQ(At(dst, 105, 105), 0u);
  EXPECT_EQ(At(dst, 53, 53), 0x80808080u);

  // A small turn: the centre stays, a pixel just right of it moves up by the angle.
  TBitmap numbered(21, 21, TPixelFormat::pf32bit);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x) {
      const uint32_t v = uint32_t(y * 100 + x);
      std::memcpy(numbered.ScanLine(y) + x * 4, &v, 4);
    }
  TBitmap turned;
  const TPixelValue fill{9, 9, 9, 9};
  ASSERT_TRUE(fx.Rotate(numbered, turned, 0.3, &fill));
  const POINT size = TEffects::RotatedSize(21, 21, 0.3);
  ASSERT_EQ(turned.Width(), size.x);
  const POINT dc{size.x / 2, size.y / 2};
  EXPECT_EQ(At(turned, dc.x, dc.y), 10u * 100 + 10);
  // Counter-clockwise on screen: the source pixel right of the centre shows up and to the right.
  const POINT s = TEffects::SourcePoint(dc.x + 8, dc.y - 2, POINT{10, 10}, dc, std::cos(0.3), std::sin(0.3));
  EXPECT_EQ(At(turned, dc.x + 8, dc.y - 2), uint32_t(s.y * 100 + s.x));
  EXPECT_EQ(s.y, 10);
  EXPECT_EQ(At(turned, 0, 0), 0x09090909u);

  TBitmap empty;
  EXPECT_FALSE(fx.Rotate(empty, dst, 1.0));
  EXPECT_FALSE(fx.Rotate(src, dst, std::nan("")));
  ASSERT_TRUE(fx.Rotate(numbered, dst, 0.0));  // no turn: a plain copy
  EXPECT_TRUE(SameBitmap(dst, numbered));
}

TEST(EffectsDraw, ClipsAndBlends) {
  TEffects fx;
  TBitmap src = RandomBitmap(20, 20, TPixelFormat::pf32bit, 4);
  TBitmap dst = RandomBitmap(15, 15, TPixelFormat::pf32bit, 5);
  TBitmap before = Copy(dst);
  ASSERT_TRUE(fx.Draw(src, dst, -10, -10, false));
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 15; ++x) {
      const uint32_t expected = x < 10 && y < 10 ? At(src, x + 10, y + 10) : At(before, x, y);
      ASSERT_EQ(At(dst, x, y), expected) << x << "," << y;
    }
  EXPECT_FALSE(fx.Draw(src, dst, 15, 0, false));  // nothing of it inside

  // Blending with the source's fourth byte: 255 keeps the destination, 0 puts the source on.
  struct Case {
    uint8_t alpha;
    std::vector<int> expected;
  };
  const Case cases[] = {{255, {10, 20, 30, 255}}, {0, {200, 100, 50, 0}}, {51, {162, 84, 46, 51}}};
  for (const auto& c : cases) {
    TBitmap s(1, 1, TPixelFormat::pf32bit), d(1, 1, TPixelFormat::pf32bit);
    const uint8_t sp[4] = {200, 100, 50, c.alpha}, dp[4] = {10, 20, 30, 40};
    std::memcpy(s.ScanLine(0), sp, 4);
    std::memcpy(d.ScanLine(0), dp, 4);
    ASSERT_TRUE(fx.Draw(s, d, 0, 0, true));
    EXPECT_EQ(std::vector<int>(d.ScanLine(0), d.ScanLine(0) + 4), c.expected) << int(c.alpha);
  }
  // At 24 bits the last pixel of a row is blended without touching anything after it.
  TEffects fx24;
  fx24.SetPixelSize(TPixelFormat::pf24bit);
  TBitmap s24 = RandomBitmap(3, 1, TPixelFormat::pf24bit, 6), d24 = RandomBitmap(3, 1, TPixelFormat::pf24bit, 7);
  TBitmap d24before = Copy(d24);
  ASSERT_TRUE(fx24.Draw(s24, d24, 0, 0, true));
  EXPECT_EQ(std::memcmp(d24.ScanLine(0), s24.ScanLine(0), 9), 0);  // no fourth byte: opaque
  EXPECT_EQ(std::memcmp(d24.ScanLine(0) + 9, d24before.ScanLine(0) + 9, d24.Stride() - 9), 0);
}

TEST(EffectsDraw, MaskedByTheMatchingRectangle) {
  TEffects fx;
  fx.Masked = true;
  fx.MaskBitmap().Reset(8, 8, TPixelFormat::pf32bit);
  fx.MaskBitmap().Clear();
  std::memset(fx.MaskBitmap().ScanLine(5) + 6 * 4, 0xFF, 4);  // only (6, 5) marked
  TBitmap src = RandomBitmap(4, 4, TPixelFormat::pf32bit, 1), dst(8, 8, TPixelFormat::pf32bit);
  ASSERT_TRUE(fx.Draw(src, dst, 4, 4, false));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(At(dst, x, y), x == 6 && y == 5 ? At(src, 2, 1) : 0u) << x << "," << y;
}

TEST(EffectsChannels, SplitAndJoin) {
  for (int bpp : {3, 4}) {
    TEffects fx;
    fx.SetPixelSize(FormatOfBytes(bpp));
    TBitmap src = RandomBitmap(13, 7, FormatOfBytes(bpp), 11);
    TChannelBitmap c[4];
    ASSERT_TRUE(fx.SplitChannels(src, {&c[0], &c[1], &c[2], &c[3]}));
    for (int i = 0; i < 4; ++i) {
      ASSERT_EQ(c[i].PixelFormat(), TPixelFormat::pf8bit);
      ASSERT_EQ(c[i].Width(), 13);
      EXPECT_EQ(c[i].ColorTable()[200].rgbGreen, 200);
    }
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x)
        for (int i = 0; i < 4; ++i)
          ASSERT_EQ(c[i].ScanLine(y)[x], i < bpp ? src.ScanLine(y)[x * bpp + i] : 0) << x << "," << y << " ch " << i;
    TBitmap joined = RandomBitmap(20, 20, FormatOfBytes(bpp), 12);
    c[1].SetSize(12, 7);  // the smallest source decides the size
    ASSERT_TRUE(fx.JoinChannels({&c[0], &c[1], &c[2], &c[3]}, joined));
    ASSERT_EQ(joined.Width(), 12);
    ASSERT_EQ(joined.Height(), 7);
    for (int y = 0; y < 7; ++y) EXPECT_EQ(std::memcmp(joined.ScanLine(y), src.ScanLine(y), 12 * bpp), 0) << y;

    // One channel: only that byte changes.
    TChannelBitmap only;
    ASSERT_TRUE(fx.SplitChannels(src, &only, 2));
    for (int y = 0; y < 7; ++y) std::memset(only.ScanLine(y), 0x5A, 13);
    TBitmap expected = Copy(src);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x) expected.ScanLine(y)[x * bpp + 2] = 0x5A;
    ASSERT_TRUE(fx.JoinChannels(&only, src, 2));
    EXPECT_TRUE(SameBitmap(src, expected));
  }
  TEffects fx;
  TBitmap dst(2, 2);
  EXPECT_FALSE(fx.JoinChannels(std::array<TChannelBitmap*, 4>{}, dst));
}

}  // namespace
