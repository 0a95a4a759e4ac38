// The area effects (blur, flat-area smoothing, sharpening, the mosaics): their defining cases,
// each one against its plain per-pixel reference on random bitmaps at every pixel size, masked
// and not, and the edges (one-pixel bitmaps, radius 0, bad cell sizes, extreme strengths).
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <limits>
#include <string>
#include <vector>

#include "engine/effects/scEffects.h"
#include "tests/engine/effects/effects_reference.h"

namespace {

using namespace engine;
using namespace effects_test;

uint8_t* Px(TBitmap& b, int x, int y) { return b.ScanLine(y) + x * BytesPerPixel(b.PixelFormat()); }

// A w x h 32-bit bitmap whose channels all hold v[y * w + x].
TBitmap Grey(int w, int h, const std::vector<int>& v) {
  TBitmap b(w, h, TPixelFormat::pf32bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::memset(Px(b, x, y), v[y * w + x], 4);
  return b;
}

// Marks about half the pixels of the component's mask (MaskColor there, 0 elsewhere).
void RandomMask(TEffects& fx, int w, int h, uint32_t seed) {
  const int bpp = fx.BytesPerPixel();
  fx.Masked = true;
  fx.MaskBitmap() = TBitmap(w, h, FormatOfBytes(bpp));
  std::mt19937 gen(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* m = Px(fx.MaskBitmap(), x, y);
      for (int c = 0; c < bpp; ++c) m[c] = gen() % 2 ? fx.MaskColor[c] : 0;
    }
}

TEST(EffectsArea, DefiningCases) {
  // Blur, radius 1 on 3 x 3: the corner averages its 2 x 2 window, the centre all nine.
  {
    TEffects fx;
    TBitmap s = Grey(3, 3, {1, 1, 2, 3, 4, 5, 6, 7, 9}), d;
    ASSERT_TRUE(fx.Blur(s, d, AllChannels, 1));
    EXPECT_EQ(Px(d, 0, 0)[0], 2) << "corner: (1 + 1 + 3 + 4) div 4";
    EXPECT_EQ(Px(d, 1, 1)[0], 4) << "centre: 38 div 9";
    EXPECT_EQ(Px(d, 2, 2)[3], 6) << "corner: (4 + 5 + 7 + 9) div 4, alpha too";
    TBitmap copy;
    ASSERT_TRUE(fx.Blur(s, copy, AllChannels, 0));
    EXPECT_TRUE(SameBitmap(copy, s)) << "radius 0 copies";
  }
  // Sharpen on a bright centre among 100s: the centre and a corner (whose neighbours average
  // (100 + 100 + 200) div 3 = 166) both stand out.
  {
    struct Case {
      int mode, tolerance;
      int centre, corner;
    };
    const Case cases[] = {
        {0, 10, 250, 75},   // D = Round(B x 25 / 100): 200 + 50, 100 - 25
        {1, 10, 218, 94},   // ContrastByte with C = Round(25 x 255 / 100) = 64
        {2, 10, 200, 100},  // other modes change nothing
        {0, 255, 200, 100}, // nothing lies outside 0..255
    };
    for (const Case& c : cases) {
      TEffects fx;
      TBitmap s = Grey(3, 3, {100, 100, 100, 100, 200, 100, 100, 100, 100}), d;
      ASSERT_TRUE(fx.Sharpen(s, d, AllChannels, 1, static_cast<uint8_t>(c.tolerance), 25.0, static_cast<uint8_t>(c.mode)));
      EXPECT_EQ(Px(d, 1, 1)[2], c.centre) << "mode " << c.mode << " tolerance " << c.tolerance;
      EXPECT_EQ(Px(d, 0, 0)[2], c.corner) << "mode " << c.mode << " tolerance " << c.tolerance;
    }
  }
  // Mosaic of 10 x 10 in 5 x 5 squares: four uniform squares of their truncated averages.
  {
    TEffects fx;
    TBitmap b = RandomBitmap(10, 10, TPixelFormat::pf32bit, 5), before = Copy(b);
    ASSERT_TRUE(fx.Mosaic(b, AllChannels, POINT{5, 5}));
    for (int q = 0; q < 4; ++q)
      for (int c = 0; c < 4; ++c) {
        const int x0 = (q % 2) * 5, y0 = (q / 2) * 5;
        int sum = 0;
        for (int y = y0; y < y0 + 5; ++y)
          for (int x = x0; x < x0 + 5; ++x) sum += Px(before, x, y)[c];
        for (int y = y0; y < y0 + 5; ++y)
          for (int x = x0; x < x0 + 5; ++x)
            ASSERT_EQ(Px(b, x, y)[c], sum / 25) << "square " << q << " channel " << c << " at " << x << "," << y;
      }
  }
  // Ellipses: the cells' corners keep their pixels, or are averaged together as range 0.
  for (bool transparent : {true, false}) {
    TEffects fx;
    fx.RangeType = TRangeType::rtEllipse;
    fx.TransparentRange = transparent;
    TBitmap b = RandomBitmap(20, 20, TPixelFormat::pf32bit, 6), before = Copy(b);
    ASSERT_TRUE(fx.Mosaic(b, AllChannels, POINT{10, 10}));
    int sum = 0, n = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) {
        const uint8_t* r = fx.RangeBitmap().ScanLine(y) + x * 3;
        if (r[0] + r[1] + r[2] == (transparent ? 3 * 255 : 0)) sum += Px(before, x, y)[1], ++n;
      }
    ASSERT_GT(n, 4) << "the corners lie outside the ellipses";
    for (auto [x, y] : {std::pair{0, 0}, {19, 0}, {9, 10}, {10, 19}})
      EXPECT_EQ(Px(b, x, y)[1], transparent ? Px(before, x, y)[1] : sum / n)
          << "corner " << x << "," << y << (transparent ? " kept" : " averaged as range 0");
  }
  // SmoothMosaic with radius 0 is Mosaic.
  for (bool transparent : {true, false}) {
    TEffects fx;
    fx.RangeType = TRangeType::rtStar5;
    fx.TransparentRange = transparent;
    TBitmap a = RandomBitmap(23, 17, TPixelFormat::pf24bit, 7), b = Copy(a);
    fx.SetPixelSize(TPixelFormat::pf24bit);
    ASSERT_TRUE(fx.Mosaic(a, AllChannels, POINT{6, 4}));
    ASSERT_TRUE(fx.SmoothMosaic(b, AllChannels, POINT{6, 4}, 0, false));
    EXPECT_TRUE(SameBitmap(b, a));
  }
}

TEST(EffectsArea, SmoothFlatBlursFlatAreasOnly) {
  // Left half gently varying (98..102), right half 220: a sharp edge between columns 5 and 6.
  const int w = 12, h = 7;
  std::vector<int> v(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) v[y * w + x] = x < 6 ? 98 + (x * 3 + y * 5) % 5 : 220;
  for (bool callerMask : {false, true}) {
    TEffects fx;
    int scans = 0;
    fx.OnScan = [&](TPixelRef, int&, int&, void*, bool&) { ++scans; };
    if (callerMask) RandomMask(fx, w, h, 3);  // replaced by the scratch mask, then gone
    TBitmap s = Grey(w, h, v), d, blurred;
    ASSERT_TRUE(fx.SmoothFlat(s, d, AllChannels, 1, 1, 10));
    TEffects plain;
    ASSERT_TRUE(plain.Blur(s, blurred, AllChannels, 1));
    for (int y = 0; y < h; ++y) {
      EXPECT_EQ(Px(d, 2, y)[0], Px(blurred, 2, y)[0]) << "flat pixel blurred, row " << y;
      EXPECT_EQ(Px(d, 5, y)[0], Px(s, 5, y)[0]) << "edge pixel kept, row " << y;
      EXPECT_EQ(Px(d, 6, y)[0], 220) << "edge pixel kept, row " << y;
      EXPECT_EQ(Px(d, 9, y)[0], 220) << "flat pixel, row " << y;
    }
    EXPECT_TRUE(fx.MaskBitmap().Empty());
    EXPECT_EQ(fx.Masked, callerMask);
    ASSERT_TRUE(fx.OnScan);
    TBitmap one(1, 1, TPixelFormat::pf32bit);
    fx.Masked = false;
    fx.Scan(one, nullptr);
    EXPECT_EQ(scans, 1) << "the caller's scan handler is back";
  }
}

// Every operation against its reference, on random bitmaps of odd sizes at 1 to 4 bytes per
// pixel, masked and not, with radii from 0 to beyond the bitmap.
TEST(EffectsArea, EqualTheirReferences) {
  struct Op {
    std::string name;
    std::function<bool(TEffects&, TBitmap&, TBitmap&, int)> fast, slow;
  };
  const TChannels some{true, false, true, true};
  const std::vector<Op> ops = {
      {"Blur", [&](TEffects& fx, TBitmap& s, TBitmap& d, int r) { return fx.Blur(s, d, some, uint8_t(r)); },
       [&](TEffects& fx, TBitmap& s, TBitmap& d, int r) { return ref::Blur(fx, s, d, some, r); }},
      {"Sharpen mode 0",
       [&](TEffects& fx, TBitmap& s, TBitmap& d, int r) { return fx.Sharpen(s, d, AllChannels, uint8_t(r), 12, 37.5, 0); },
       [&](TEffects& fx, TBitmap& s, TBitmap& d, int r) { return ref::Sharpen(fx, s, d, AllChannels, r, 12, 37.5, 0); }},
      {"Sharpen mode 1",
       [&](TEffects& fx, TBitmap& s, TBitmap& d, int r) { return fx.Sharpen(s, d, some, uint8_t(r), 3, -80, 1); },
       [&](TEffects& fx, TBitmap& s, TBitmap& d, int r) { return ref::Sharpen(fx, s, d, some, r, 3, -80, 1); }},
      {"SmoothFlat",
       [&](TEffects& fx, TBitmap& s, TBitmap& d, int r) { return fx.SmoothFlat(s, d, some, uint8_t(r), uint8_t(r + 1), 60); },
       [&](TEffects& fx, TBitmap& s, TBitmap& d, int r) { return ref::SmoothFlat(fx, s, d, some, r, r + 1, 60); }},
      {"Mosaic",
       [&](TEffects& fx, TBitmap& s, TBitmap&, int r) { return fx.Mosaic(s, some, POINT{r + 1, r / 2 + 2}); },
       [&](TEffects& fx, TBitmap& s, TBitmap&, int r) { return ref::SmoothMosaic(fx, s, some, POINT{r + 1, r / 2 + 2}, 0, false); }},
      {"SmoothMosaic",
       [&](TEffects& fx, TBitmap& s, TBitmap&, int r) { return fx.SmoothMosaic(s, AllChannels, POINT{2, 3}, uint8_t(r), false); },
       [&](TEffects& fx, TBitmap& s, TBitmap&, int r) { return ref::SmoothMosaic(fx, s, AllChannels, POINT{2, 3}, r, false); }},
      {"SmoothMosaic sparse",
       [&](TEffects& fx, TBitmap& s, TBitmap&, int r) { return fx.SmoothMosaic(s, some, POINT{3, 2}, uint8_t(r), true); },
       [&](TEffects& fx, TBitmap& s, TBitmap&, int r) { return ref::SmoothMosaic(fx, s, some, POINT{3, 2}, r, true); }},
  };
  const std::pair<int, int> sizes[] = {{1, 1}, {7, 5}, {13, 9}, {1, 9}, {11, 1}};
  const TRangeType shapes[] = {TRangeType::rtRect, TRangeType::rtEllipse, TRangeType::rtCross};
  uint32_t seed = 1;
  for (const Op& op : ops)
    for (int bpp = 1; bpp <= 4; ++bpp)
      for (auto [w, h] : sizes)
        for (int r : {0, 1, 3, 40})
          for (bool masked : {false, true}) {
            ++seed;
            TEffects fast, slow;
            for (TEffects* fx : {&fast, &slow}) {
              fx->SetPixelSize(FormatOfBytes(bpp));
              fx->RangeType = shapes[seed % 3];
              fx->TransparentRange = seed % 2;
              if (masked) RandomMask(*fx, w, h, seed);
            }
            TBitmap s1 = RandomBitmap(w, h, FormatOfBytes(bpp), seed), s2 = Copy(s1), d1, d2;
            const std::string what = op.name + " " + std::to_string(bpp) + " bytes " + std::to_string(w) + "x" +
                                     std::to_string(h) + " radius " + std::to_string(r) + (masked ? " masked" : "");
            const bool got = op.fast(fast, s1, d1, r), expected = op.slow(slow, s2, d2, r);
            ASSERT_EQ(got, expected) << what;
            ASSERT_TRUE(SameBitmap(s1, s2)) << what << " (source)";
            ASSERT_TRUE(SameBitmap(d1, d2)) << what << " (dest)";
            ASSERT_EQ(fast.MaskBitmap().Empty(), slow.MaskBitmap().Empty()) << what;
          }
}

TEST(EffectsArea, EdgesOfTheArguments) {
  // One pixel: no neighbour, so nothing changes (and the test for flatness says no).
  for (int bpp = 1; bpp <= 4; ++bpp) {
    TEffects fx;
    fx.SetPixelSize(FormatOfBytes(bpp));
    TBitmap s = RandomBitmap(1, 1, FormatOfBytes(bpp), 9), d;
    const std::function<bool()> calls[] = {
        [&] { return fx.Blur(s, d, AllChannels, 3); },
        [&] { return fx.Sharpen(s, d, AllChannels, 1, 0, 100, 0); },
        [&] { return fx.Sharpen(s, d, AllChannels, 1, 0, 100, 1); },
        [&] { return fx.SmoothFlat(s, d, AllChannels, 1, 1, 0); },
        [&] { d.Assign(s); return fx.Mosaic(d, AllChannels, POINT{4, 4}); },
        [&] { d.Assign(s); return fx.SmoothMosaic(d, AllChannels, POINT{1, 1}, 5, true); },
    };
    for (size_t i = 0; i < std::size(calls); ++i) {
      EXPECT_TRUE(calls[i]()) << "call " << i << " at " << bpp << " bytes";
      EXPECT_TRUE(SameBitmap(d, s)) << "call " << i << " at " << bpp << " bytes";
    }
  }
  // Cell sizes below 1, no channel, Source as Dest: False and nothing changed.
  {
    TEffects fx;
    fx.MaskBitmap() = TBitmap(2, 2, TPixelFormat::pf32bit);
    TBitmap b = RandomBitmap(9, 7, TPixelFormat::pf32bit, 10), before = Copy(b), d;
    const std::function<bool()> refused[] = {
        [&] { return fx.Mosaic(b, AllChannels, POINT{0, 5}); },
        [&] { return fx.Mosaic(b, AllChannels, POINT{5, 0}); },
        [&] { return fx.SmoothMosaic(b, AllChannels, POINT{-3, 5}, 1, false); },
        [&] { return fx.Mosaic(b, NoChannels, POINT{2, 2}); },
        [&] { return fx.Blur(b, d, NoChannels, 2); },
        [&] { return fx.Blur(b, b, AllChannels, 2); },
        [&] { return fx.Sharpen(b, b, AllChannels, 2, 0, 50, 0); },
        [&] { return fx.SmoothFlat(b, b, AllChannels, 1, 1, 5); },
    };
    for (size_t i = 0; i < std::size(refused); ++i) {
      EXPECT_FALSE(refused[i]()) << "call " << i;
      EXPECT_TRUE(SameBitmap(b, before)) << "call " << i;
      EXPECT_FALSE(fx.MaskBitmap().Empty()) << "call " << i << ": the caller's mask stays";
    }
  }
  // Sparse with radius 0 is the plain mosaic, and ends.
  {
    TEffects fx;
    TBitmap a = RandomBitmap(31, 29, TPixelFormat::pf32bit, 11), b = Copy(a);
    auto run = std::async(std::launch::async, [&] { return fx.SmoothMosaic(b, AllChannels, POINT{4, 3}, 0, true); });
    if (run.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "SmoothMosaic with Sparse and radius 0 did not end within 20 s";
      std::fflush(stdout);
      ExitProcess(1);
    }
    EXPECT_TRUE(run.get());
    TEffects plain;
    ASSERT_TRUE(plain.Mosaic(a, AllChannels, POINT{4, 3}));
    EXPECT_TRUE(SameBitmap(b, a));
  }
  // Strengths beyond every byte: clamped before they become integers; NaN changes nothing.
  {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
      double strength;
      int mode, centre, corner;
    };
    const Case cases[] = {
        {1e30, 0, 255, 0},  {-1e30, 0, 0, 255}, {inf, 0, 255, 0},  {-inf, 0, 0, 255},
        {1e30, 1, 255, 0},  {-1e30, 1, 0, 255}, {inf, 1, 255, 0},  {-inf, 1, 0, 255},
        {std::nan(""), 0, 200, 100}, {std::nan(""), 1, 200, 100},
    };
    for (const Case& c : cases) {
      TEffects fx;
      TBitmap s = Grey(3, 3, {100, 100, 100, 100, 200, 100, 100, 100, 100}), d;
      ASSERT_TRUE(fx.Sharpen(s, d, AllChannels, 1, 0, c.strength, static_cast<uint8_t>(c.mode)));
      EXPECT_EQ(Px(d, 1, 1)[0], c.centre) << "strength " << c.strength << " mode " << c.mode;
      EXPECT_EQ(Px(d, 0, 0)[0], c.corner) << "strength " << c.strength << " mode " << c.mode;
      TBitmap s2 = Grey(3, 3, {100, 100, 100, 100, 200, 100, 100, 100, 100}), d2;
      TEffects slow;
      ref::Sharpen(slow, s2, d2, AllChannels, 1, 0, c.strength, c.mode);
      EXPECT_TRUE(SameBitmap(d, d2)) << "strength " << c.strength << " mode " << c.mode;
    }
  }
}

}  // namespace
