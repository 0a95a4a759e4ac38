// The effects bitmap: sizes, formats and their conversions, row order, copies and the canvas.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/effects/effects_bitmap.h"
#include "engine/effects/scEffects.h"
#include "tests/engine/effects/effects_reference.h"

namespace {

using namespace engine;
using effects_test::Copy;
using effects_test::RandomBitmap;
using effects_test::SameBitmap;

TEST(EffectsBitmap, SizesRowsAndPadding) {
  struct Case {
    TPixelFormat format;
    int width, stride;
  };
  const Case cases[] = {{TPixelFormat::pf1bit, 33, 8},  {TPixelFormat::pf4bit, 9, 8},   {TPixelFormat::pf8bit, 5, 8},
                        {TPixelFormat::pf15bit, 3, 8}, {TPixelFormat::pf16bit, 2, 4},  {TPixelFormat::pf24bit, 5, 16},
                        {TPixelFormat::pf32bit, 3, 12}, {TPixelFormat::pfDevice, 1, 4}};
  for (const auto& c : cases) {
    TBitmap b(c.width, 3, c.format);
    EXPECT_EQ(b.Stride(), c.stride) << int(c.format);
    EXPECT_FALSE(b.Empty());
    EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), c.stride);
  }
  TBitmap empty(0, 5);
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(empty.ScanLine(0), nullptr);
  EXPECT_THROW(TBitmap(2, 2, TPixelFormat::pfCustom), std::invalid_argument);
}

TEST(EffectsBitmap, RowZeroIsTheTopRow) {
  // Drawn by GDI at the top, found by the first row pointer.
  TBitmap b(4, 4, TPixelFormat::pf24bit);
  TCanvas canvas = b.Canvas();
  canvas.SetBrushColor(RGB(10, 20, 30));  // red in the lowest byte
  canvas.FillRect(RECT{0, 0, 4, 1});
  const uint8_t* top = b.ScanLine(0);
  EXPECT_EQ(top[0], 30);  // blue
  EXPECT_EQ(top[1], 20);
  EXPECT_EQ(top[2], 10);  // red
  EXPECT_EQ(b.ScanLine(1)[0], 0);
}

TEST(EffectsBitmap, SetSizeKeepsTheTopLeft) {
  TBitmap b = RandomBitmap(5, 4, TPixelFormat::pf32bit, 1);
  TBitmap before = Copy(b);
  b.SetSize(7, 2);
  ASSERT_EQ(b.Width(), 7);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(std::memcmp(b.ScanLine(y), before.ScanLine(y), 20), 0);
    for (int i = 20; i < 28; ++i) EXPECT_EQ(b.ScanLine(y)[i], 0);
  }
}

TEST(EffectsBitmap, FormatConversions) {
  // Pure colours survive every format; 24 <-> 32 keeps the colour bytes and zeroes the fourth.
  TBitmap b(4, 1, TPixelFormat::pf32bit);
  const uint32_t colours[4] = {0xFFFF0000u, 0x1200FF00u, 0x340000FFu, 0x56FFFFFFu};
  std::memcpy(b.ScanLine(0), colours, 16);
  for (TPixelFormat f : {TPixelFormat::pf24bit, TPixelFormat::pf16bit, TPixelFormat::pf15bit, TPixelFormat::pf8bit,
                         TPixelFormat::pf4bit}) {
    TBitmap c = Copy(b);
    c.SetPixelFormat(f);
    EXPECT_EQ(c.PixelFormat(), f);
    c.SetPixelFormat(TPixelFormat::pf32bit);
    for (int x = 0; x < 4; ++x) {
      uint32_t v;
      std::memcpy(&v, c.ScanLine(0) + 4 * x, 4);
      EXPECT_EQ(v & 0xFFFFFF, colours[x] & 0xFFFFFF) << "via format " << int(f) << " pixel " << x;
    }
  }
  TBitmap d = Copy(b);
  d.SetPixelFormat(TPixelFormat::pfDevice);  // same storage: nothing changes
  d.SetPixelFormat(TPixelFormat::pf32bit);
  EXPECT_TRUE(SameBitmap(d, b));
}

TEST(EffectsBitmap, CopiesStretchAndClip) {
  TBitmap src = RandomBitmap(3, 2, TPixelFormat::pf32bit, 2);
  TBitmap dst(6, 4, TPixelFormat::pf32bit);
  dst.Canvas().StretchDraw(RECT{0, 0, 6, 4}, src);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      ASSERT_EQ(std::memcmp(dst.ScanLine(y) + 4 * x, src.ScanLine(y / 2) + 4 * (x / 2), 4), 0) << x << "," << y;
  // Outside either bitmap nothing is read or written.
  TBitmap small(2, 2, TPixelFormat::pf32bit);
  CopyPixels(src, RECT{-1, -1, 5, 5}, small, RECT{-3, 0, 3, 6});
  TBitmap assigned;
  assigned.Assign(src);
  EXPECT_TRUE(SameBitmap(assigned, src));
}

TEST(EffectsBitmap, TurnsRefuseToWorkInPlace) {
  TEffects fx;
  TBitmap b = RandomBitmap(3, 2, TPixelFormat::pf32bit, 3);
  TBitmap before = Copy(b);
  EXPECT_FALSE(fx.Rotate90(b, b));
  EXPECT_FALSE(fx.Rotate(b, b, 0.5));
  EXPECT_TRUE(SameBitmap(b, before));
}

}  // namespace
