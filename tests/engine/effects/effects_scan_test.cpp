// The effects scan engine: the generator, the pixel walks and their masks, range cells and
// shapes, the data carrier walk and the geometry helpers.
#include <gtest/gtest.h>

#include <thread>
#include <tuple>
#include <vector>

#include "engine/effects/scEffects.h"
#include "engine/effects/scMemUtils.h"
#include "tests/engine/effects/effects_reference.h"

namespace {

using namespace engine;
using effects_test::RandomBitmap;

// Any concrete effects object serves to drive the base class.
using Fx = TEffects;

TEST(EffectsGenerator, FirstDrawsForFixedSeed) {
  SetRandomSeed(12345);
  std::vector<uint32_t> got;
  for (int i = 0; i < 5; ++i) got.push_back(Random(100));
  EXPECT_EQ(got, (std::vector<uint32_t>{38, 28, 7, 55, 63}));
  EXPECT_EQ(RandomSeed(), 0xA23886DAu);

  SetRandomSeed(0);
  EXPECT_EQ(Random(0), 0u);  // a draw with N = 0 yields 0 and still advances
  EXPECT_EQ(RandomSeed(), 1u);
  EXPECT_EQ(Random(256), 8u);
  EXPECT_EQ(Random(256), 220u);
}

TEST(EffectsGenerator, AdvanceSeedMatchesSteppingAndSessionStoresBack) {
  for (uint64_t steps : {0ull, 1ull, 2ull, 7ull, 1000ull, 65537ull}) {
    uint32_t s = 987654321u;
    for (uint64_t i = 0; i < steps; ++i) s = NextSeed(s);
    EXPECT_EQ(AdvanceSeed(987654321u, steps), s) << "steps " << steps;
  }
  SetRandomSeed(5);
  {
    RandomSession session;
    session.Draw(10);
    session.Draw(10);
  }
  EXPECT_EQ(RandomSeed(), NextSeed(NextSeed(5)));
}

TEST(EffectsGenerator, ConcurrentDrawsAreNotLost) {
  // Two threads drawing at once must advance the generator exactly once per draw.
  SetRandomSeed(77);
  std::thread other([] {
    for (int i = 0; i < 20000; ++i) Random(5);
  });
  for (int i = 0; i < 200; ++i) {
    RandomSession session;
    for (int j = 0; j < 100; ++j) session.Draw(3);
  }
  other.join();
  EXPECT_EQ(RandomSeed(), AdvanceSeed(77, 40000));
}

TEST(EffectsScan, WithoutHandlerStopsAfterOnePixelAndEmptyFails) {
  Fx fx;
  TBitmap b(4, 3, TPixelFormat::pf32bit);
  EXPECT_TRUE(fx.Scan(b, nullptr));
  TBitmap empty;
  EXPECT_FALSE(fx.Scan(empty, nullptr));
  int visits = 0;
  fx.OnScan = [&](TPixelRef, int&, int&, void*, bool&) { ++visits; };
  EXPECT_FALSE(fx.Scan(empty, nullptr));
  EXPECT_EQ(visits, 0);
}

// Visits in order as (x, y) with the byte index turned into a column.
struct Walk {
  std::vector<std::pair<int, int>> visits;
};

TEST(EffectsScan, IndexMovesAndStops) {
  struct Case {
    const char* what;
    std::function<void(int&, int&, bool&, int n)> handler;  // n: visits so far
    std::vector<std::pair<int, int>> expected;
  };
  const int bpp = 3;
  std::vector<Case> cases = {
      {"plain walk", [](int&, int&, bool&, int) {}, {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}},
      {"stop at the third", [](int&, int&, bool& c, int n) { c = n < 2; }, {{0, 0}, {1, 0}, {2, 0}}},
      // Past the row's end on the row's last pixel: the walk goes on with the next row.
      {"past the end goes on", [](int& h, int&, bool&, int) { if (h == 2 * bpp) h = 100; },
       {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}},
      {"past the end skips the rest", [](int& h, int&, bool&, int) { if (h == 0) h = 3 * bpp; },
       {{0, 0}, {0, 1}}},
      {"jump to the next row", [](int& h, int& v, bool&, int n) { if (n == 0) h = bpp, v = 1; },
       {{0, 0}, {1, 1}, {2, 1}}},
      {"row past the end ends", [](int&, int& v, bool&, int n) { if (n == 1) v = 2; }, {{0, 0}, {1, 0}}},
      {"negative index ends", [](int& h, int&, bool&, int n) { if (n == 1) h = -bpp; }, {{0, 0}, {1, 0}}},
      {"negative row ends", [](int&, int& v, bool&, int n) { if (n == 0) v = -1; }, {{0, 0}}},
  };
  for (auto& c : cases) {
    Fx fx;
    fx.SetPixelSize(TPixelFormat::pf24bit);
    TBitmap b(3, 2, TPixelFormat::pf24bit);
    std::vector<std::pair<int, int>> got;
    fx.OnScan = [&](TPixelRef, int& h, int& v, void*, bool& cont) {
      got.push_back({h / bpp, v});
      c.handler(h, v, cont, static_cast<int>(got.size()) - 1);
    };
    EXPECT_TRUE(fx.Scan(b, nullptr)) << c.what;
    EXPECT_EQ(got, c.expected) << c.what;
  }
}

TEST(EffectsScan, ConvertsToPixelSizeAndPixelSizeReadsBack) {
  Fx fx;
  EXPECT_EQ(fx.GetPixelSize(), TPixelFormat::pf32bit);
  fx.SetPixelSize(TPixelFormat::pf15bit);
  EXPECT_EQ(fx.GetPixelSize(), TPixelFormat::pf16bit);
  EXPECT_THROW(fx.SetPixelSize(TPixelFormat::pf4bit), std::invalid_argument);
  fx.SetPixelSize(TPixelFormat::pf24bit);
  TBitmap b(5, 5, TPixelFormat::pf32bit);
  fx.OnScan = [](TPixelRef, int&, int&, void*, bool&) {};
  fx.Scan(b, nullptr);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf24bit);
}

TEST(EffectsScan, BytesBeyondThePixelAreASink) {
  // At 24 bits the fourth pointer must not reach the next pixel: it reads 0, and what a
  // handler writes there goes nowhere.
  Fx fx;
  fx.SetPixelSize(TPixelFormat::pf24bit);
  TBitmap b = RandomBitmap(3, 2, TPixelFormat::pf24bit, 1);
  TBitmap before = effects_test::Copy(b);
  bool allZero = true;
  fx.OnScan = [&](TPixelRef p, int&, int&, void*, bool&) {
    allZero = allZero && *p[3] == 0;
    *p[3] = 0xAB;
  };
  fx.Scan(b, nullptr);
  EXPECT_TRUE(allZero);
  EXPECT_TRUE(effects_test::SameBitmap(b, before));
}

TEST(EffectsScan, Masks) {
  Fx fx;
  fx.SetPixelSize(TPixelFormat::pf24bit);
  fx.Masked = true;
  TBitmap b(4, 2, TPixelFormat::pf24bit);
  int visits = 0;
  fx.OnScan = [&](TPixelRef, int&, int&, void*, bool&) { ++visits; };
  fx.Scan(b, nullptr);  // empty MaskBitmap, no argument: unmasked
  EXPECT_EQ(visits, 8);

  // Mask pixels (x, y) marked: (0,0) and (3,1). The byte after a marked 24-bit pixel is 0,
  // so a four-byte comparison would refuse them.
  TBitmap mask(4, 2, TPixelFormat::pf24bit);
  std::memset(mask.ScanLine(0), 0xFF, 3);
  std::memset(mask.ScanLine(1) + 9, 0xFF, 3);
  mask.ScanLine(1)[3] = 0xFF;  // a partly marked pixel stays out
  std::vector<std::pair<int, int>> got;
  fx.OnScan = [&](TPixelRef, int& h, int& v, void*, bool&) { got.push_back({h / 3, v}); };
  fx.Scan(b, nullptr, &mask);
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{0, 0}, {3, 1}}));

  // The component's mask smaller than the bitmap is dropped for that scan.
  fx.MaskBitmap().Reset(2, 2, TPixelFormat::pf24bit);
  visits = 0;
  fx.OnScan = [&](TPixelRef, int&, int&, void*, bool&) { ++visits; };
  fx.Scan(b, nullptr);
  EXPECT_EQ(visits, 8);

  // A given mask that is too small gets the component's mask stretched to the bitmap.
  fx.MaskBitmap().Reset(2, 1, TPixelFormat::pf24bit);
  fx.MaskBitmap().Clear();
  std::memset(fx.MaskBitmap().ScanLine(0), 0xFF, 3);  // left half marked
  TBitmap small;
  visits = 0;
  fx.Scan(b, nullptr, &small);
  EXPECT_EQ(visits, 4);
  EXPECT_EQ(small.Width(), 4);
  EXPECT_EQ(small.Height(), 2);
}

TEST(EffectsScan, PairWalkHandsRowsAndVisitsAll) {
  Fx fx;
  TBitmap a(3, 2, TPixelFormat::pf32bit), pair(5, 4, TPixelFormat::pf24bit);
  EXPECT_TRUE(fx.ScanPair(a, pair, nullptr));  // no handler: walks all, changes nothing
  EXPECT_EQ(pair.PixelFormat(), TPixelFormat::pf32bit);
  int visits = 0;
  int data = 7;
  fx.OnScanPair = [&](TPixelRef, int&, int& v, const TLines& lines, void* d, bool&) {
    ++visits;
    EXPECT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[v], pair.ScanLine(v));
    EXPECT_EQ(d, &data);
  };
  EXPECT_TRUE(fx.ScanPair(a, pair, &data));
  EXPECT_EQ(visits, 6);
  EXPECT_FALSE(fx.OnScan);  // the adapter is gone again
  TBitmap empty;
  EXPECT_FALSE(fx.ScanPair(a, empty, nullptr));
}

TEST(EffectsScan, HandlersAreRestoredWhenAHandlerThrows) {
  Fx fx;
  bool userCalled = false;
  fx.OnScan = [&](TPixelRef, int&, int&, void*, bool&) { userCalled = true; };
  fx.OnScanPair = [](TPixelRef, int&, int&, const TLines&, void*, bool&) { throw std::runtime_error("boom"); };
  TBitmap a(2, 2), b(2, 2);
  EXPECT_THROW(fx.ScanPair(a, b, nullptr), std::runtime_error);
  fx.Scan(a, nullptr);
  EXPECT_TRUE(userCalled);
}

struct RangeVisit {
  int x, y, index;
  RECT rect;
};

std::vector<RangeVisit> RangeWalk(Fx& fx, TBitmap& b, POINT cell) {
  std::vector<RangeVisit> got;
  fx.OnScanRange = [&](TPixelRef, int& h, int& v, int index, const RECT& r, void*, bool&) {
    got.push_back({h / fx.BytesPerPixel(), v, index, r});
  };
  EXPECT_TRUE(fx.ScanRange(b, cell, nullptr));
  return got;
}

TEST(EffectsRange, GridCellsAtEveryPixelSize) {
  // 10 x 10 with 4 x 4 cells: 3 x 3 cells, indexes in row order, edge cells keep full rects.
  // The range index colours must survive any PixelSize.
  for (TPixelFormat f : {TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
    Fx fx;
    fx.SetPixelSize(f);
    TBitmap b(10, 10, f);
    auto got = RangeWalk(fx, b, POINT{4, 4});
    ASSERT_EQ(got.size(), 100u) << int(f);
    for (const auto& v : got) {
      const int expected = (v.y / 4) * 3 + v.x / 4;
      ASSERT_EQ(v.index, expected) << "pixel " << v.x << "," << v.y << " format " << int(f);
      ASSERT_EQ(v.rect.left, v.x / 4 * 4);
      ASSERT_EQ(v.rect.right, v.rect.left + 4);
      ASSERT_EQ(v.rect.top, v.y / 4 * 4);
    }
    EXPECT_EQ(got.back().rect.left, 8);
    EXPECT_EQ(got.back().rect.right, 12);
  }
}

TEST(EffectsRange, ShapesAndTransparency) {
  for (bool transparent : {true, false}) {
    for (TRangeType t : {TRangeType::rtEllipse, TRangeType::rtStar5, TRangeType::rtStar6, TRangeType::rtTriangle0,
                         TRangeType::rtRhomb, TRangeType::rtCross, TRangeType::rtFrame}) {
      Fx fx;
      fx.RangeType = t;
      fx.TransparentRange = transparent;
      TBitmap b(40, 20, TPixelFormat::pf32bit);
      auto got = RangeWalk(fx, b, POINT{20, 20});
      int outside = 0, first = 0, second = 0;
      for (const auto& v : got) {
        if (v.index == 0 && !transparent) ++outside;
        else if (v.index == (transparent ? 0 : 1)) ++first;
        else if (v.index == (transparent ? 1 : 2)) ++second;
        else ADD_FAILURE() << "index " << v.index;
      }
      // A shape covers part of its cell: the rest is skipped, or reported as range 0.
      EXPECT_GT(first, 0) << int(t);
      EXPECT_GT(second, 0) << int(t);
      EXPECT_LT(first, 400) << int(t);
      const size_t expectedVisits = transparent ? size_t(first + second) : 800u;
      EXPECT_EQ(got.size(), expectedVisits) << int(t);
      if (!transparent) {
        EXPECT_GT(outside, 0) << int(t);
      }
    }
  }
}

TEST(EffectsRange, CellSizeBelowOneFailsAndCallerRangesAreUsed) {
  Fx fx;
  TBitmap b(4, 4, TPixelFormat::pf32bit);
  fx.OnScanRange = [](TPixelRef, int&, int&, int, const RECT&, void*, bool&) { ADD_FAILURE(); };
  EXPECT_FALSE(fx.ScanRange(b, POINT{0, 4}, nullptr));
  EXPECT_FALSE(fx.ScanRange(b, POINT{4, -1}, nullptr));

  TBitmap ranges(4, 4, TPixelFormat::pf24bit);
  TCanvas canvas = ranges.Canvas();
  canvas.SetBrushColor(0xFFFFFF);
  canvas.FillRect(RECT{0, 0, 4, 4});
  canvas.SetPixel(1, 2, 0x030201);
  std::vector<RangeVisit> got;
  fx.OnScanRange = [&](TPixelRef, int& h, int& v, int index, const RECT& r, void*, bool&) {
    got.push_back({h / 4, v, index, r});
  };
  EXPECT_TRUE(fx.ScanRange(b, POINT{2, 2}, nullptr, &ranges));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].index, 0x030201);
  EXPECT_EQ(got[0].rect.left, 0);
  EXPECT_EQ(got[0].rect.top, 2);
}

TEST(EffectsShape, BuildPoints) {
  struct Case {
    int shape, x, y, w, h;
    TPoints expected;
  };
  const std::vector<Case> cases = {
      {0, 0, 0, 10, 10, {{2, -2}, {6, 6}, {-2, 6}}},
      {0, 0, 0, 4, 4, {{2, 0}, {4, 4}, {0, 4}}},  // 2 x 2 is not less than 4: no adjustment
      {1, 10, 20, 10, 7, {{8, 18}, {16, 20}, {8, 23}}},
      {2, 0, 0, 10, 10, {{-2, -2}, {2, 6}, {6, -2}}},
      {3, 0, 0, 10, 10, {{6, -2}, {6, 6}, {-2, 2}}},
      {4, 0, 0, 10, 10, {{-2, 2}, {2, 6}, {6, 2}, {2, -2}}},
      {5, 0, 0, 11, 11,
       {{-2, 1}, {1, 1}, {1, -2}, {4, -2}, {4, 1}, {7, 1}, {7, 4}, {4, 4}, {4, 7}, {1, 7}, {1, 4}, {-2, 4}}},
  };
  for (const auto& c : cases) {
    TShapePoints s;
    s.Bounds = TShapeBounds{c.x, c.y, c.w, c.h};
    s.SetShape(static_cast<uint8_t>(c.shape));
    ASSERT_EQ(s.Points.size(), c.expected.size()) << "shape " << c.shape;
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(s.Points[i].x, c.expected[i].x) << "shape " << c.shape << " point " << i;
      EXPECT_EQ(s.Points[i].y, c.expected[i].y) << "shape " << c.shape << " point " << i;
    }
  }
  TShapePoints s;
  s.Bounds = TShapeBounds{0, 0, 10, 10};
  s.SetShape(4);
  s.SetShape(9);  // unknown shapes leave the points alone
  EXPECT_EQ(s.Points.size(), 4u);
}

struct Carrier {
  int row, x, index, bit;
};

std::vector<Carrier> Carriers(Fx& fx, TMemoryStream& stream, TBitmap& b, bool fixed, int step, int offset) {
  std::vector<Carrier> got;
  fx.OnExport = [&](uint8_t value, void* p, int index, int bit) {
    EXPECT_EQ(p, stream.data());
    got.push_back({value / 16, value % 16, index, bit});
  };
  fx.TransferData(stream, b, true, fixed, step, offset);
  return got;
}

// Each carrier byte holds its own position (row * 16 + x).
TBitmap NumberedCarriers(int w, int h) {
  TBitmap b(w, h, TPixelFormat::pf8bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.ScanLine(y)[x] = static_cast<uint8_t>(y * 16 + x);
  return b;
}

TEST(EffectsTransfer, CarrierWalks) {
  struct Case {
    const char* what;
    int w, h, bytes;
    bool fixed;
    int step, offset;
    std::vector<std::pair<int, int>> expected;  // (row, x) of each carrier in bit order
  };
  const std::vector<Case> cases = {
      {"free step 1", 4, 2, 1, false, 0, 0, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}, {1, 2}, {1, 3}}},
      {"free step 2", 8, 2, 1, false, 0, 0, {{0, 0}, {0, 2}, {0, 4}, {0, 6}, {1, 0}, {1, 2}, {1, 4}, {1, 6}}},
      {"fixed step 3 from 2", 10, 3, 1, true, 3, 2,
       {{0, 3}, {0, 6}, {0, 9}, {1, 2}, {1, 5}, {1, 8}, {2, 1}, {2, 4}}},
      {"offset in a later row", 5, 3, 1, true, 1, 7, {{1, 2}, {1, 3}, {1, 4}, {2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}}},
  };
  for (const auto& c : cases) {
    Fx fx;
    TMemoryStream stream(c.bytes, 0);
    TBitmap b = NumberedCarriers(c.w, c.h);
    auto got = Carriers(fx, stream, b, c.fixed, c.step, c.offset);
    ASSERT_EQ(got.size(), c.expected.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(std::make_pair(got[i].row, got[i].x), c.expected[i]) << c.what << " bit " << i;
      EXPECT_EQ(got[i].index, int(i / 8));
      EXPECT_EQ(got[i].bit, int(i % 8));
    }
  }
}

TEST(EffectsTransfer, HidesThroughTheImportHandler) {
  Fx fx;
  TMemoryStream stream{0xA5};
  TBitmap b = NumberedCarriers(4, 2);
  fx.OnImport = [](uint8_t& carrier, void* p, int index, int bit) {
    carrier = static_cast<uint8_t>((carrier & 0xFE) | ((static_cast<uint8_t*>(p)[index] >> bit) & 1));
  };
  fx.TransferData(stream, b, false, false, 0, 0);
  const uint8_t expected[2][4] = {{1, 0, 3, 2}, {0x10, 0x11, 0x12, 0x13}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.ScanLine(y)[x], expected[y][x]) << x << "," << y;
}

TEST(EffectsTransfer, Failures) {
  Fx fx;
  int calls = 0;
  fx.OnImport = [&](uint8_t&, void*, int, int) { ++calls; };
  TMemoryStream one{1}, none;
  TBitmap small = NumberedCarriers(2, 2);
  TBitmap before = effects_test::Copy(small);
  auto expectThrow = [&](auto fn, const char* text, const char* what) {
    try {
      fn();
      ADD_FAILURE() << what << ": no exception";
    } catch (const EBitmapError& e) {
      EXPECT_STREQ(e.what(), text) << what;
    } catch (const EStreamError& e) {
      EXPECT_STREQ(e.what(), text) << what;
    }
  };
  expectThrow([&] { fx.TransferData(one, small, false, false, 0, 0); }, kOutOfBitmapSpace, "4 bytes for 8 bits");
  expectThrow([&] { fx.TransferData(none, small, false, false, 0, 0); }, kDataSizeZero, "empty stream");
  TBitmap big = NumberedCarriers(8, 8);
  expectThrow([&] { fx.TransferData(one, big, false, false, 0, -1); }, kNegativeOffset, "negative offset");
  expectThrow([&] { fx.TransferData(one, big, false, true, 0, 0); }, kStepBelowOne, "fixed step 0");
  expectThrow([&] { fx.TransferData(one, big, false, true, 9, 0); }, kOutOfBitmapSpace, "72 needed of 64");
  TBitmap empty;
  expectThrow([&] { fx.TransferData(one, empty, false, false, 0, 0); }, kOutOfBitmapSpace, "empty bitmap");
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(effects_test::SameBitmap(small, before));
  // Sizes beyond 32 bits are computed as such, not wrapped into a small number.
  TMemoryStream large(1 << 20);
  expectThrow([&] { fx.TransferData(large, big, false, true, 1 << 12, 0); }, kOutOfBitmapSpace, "2^35 needed");
}

TEST(EffectsTransfer, LowFormatsBecomeEightBit) {
  Fx fx;
  TMemoryStream stream{1};
  TBitmap b(16, 1, TPixelFormat::pf1bit);
  fx.TransferData(stream, b, true, false, 0, 0);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf8bit);
}

TEST(EffectsGeometryHelpers, FitProportional) {
  struct Case {
    POINT source, box;
    bool ok;
    POINT expected;
  };
  const std::vector<Case> cases = {
      {{100, 50}, {40, 40}, true, {40, 20}},  {{50, 100}, {40, 40}, true, {20, 40}},
      {{10, 10}, {0, 5}, false, {0, 5}},      {{0, 10}, {40, 40}, false, {40, 40}},
      {{10, 0}, {40, 40}, false, {40, 40}},   {{1000, 1}, {10, 10}, false, {10, 0}},
  };
  Fx fx;
  for (const auto& c : cases) {
    POINT d = c.box;
    EXPECT_EQ(fx.FitProportional(c.source, d), c.ok) << c.source.x << "x" << c.source.y;
    EXPECT_EQ(d.x, c.expected.x) << c.source.x << "x" << c.source.y;
    EXPECT_EQ(d.y, c.expected.y) << c.source.x << "x" << c.source.y;
  }
}

TEST(EffectsGeometryHelpers, ClipToArea) {
  struct Case {
    POINT size, area;
    int x, y;
    bool ok;
    POINT size2;
    int x2, y2;
  };
  const std::vector<Case> cases = {
      {{10, 10}, {5, 5}, -3, 2, true, {5, 3}, 0, 2},
      {{10, 10}, {20, 20}, -12, 0, true, {0, 10}, 0, 0},
      {{4, 4}, {20, 20}, 3, 3, true, {4, 4}, 3, 3},
      {{4, 4}, {20, 20}, 30, 3, true, {0, 4}, 30, 3},
      {{4, 4}, {0, 20}, -1, -1, false, {4, 4}, -1, -1},
  };
  Fx fx;
  for (const auto& c : cases) {
    POINT s = c.size;
    int x = c.x, y = c.y;
    EXPECT_EQ(fx.ClipToArea(s, c.area, x, y), c.ok);
    EXPECT_EQ(s.x, c.size2.x);
    EXPECT_EQ(s.y, c.size2.y);
    EXPECT_EQ(x, c.x2);
    EXPECT_EQ(y, c.y2);
  }
}

TEST(EffectsGeometryHelpers, CropStretchResize) {
  Fx fx;
  TBitmap src = RandomBitmap(20, 10, TPixelFormat::pf32bit, 3);
  TBitmap part;
  int x = -5, y = 4;
  ASSERT_TRUE(fx.CropToArea(src, part, POINT{8, 8}, x, y));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 4);
  ASSERT_EQ(part.Width(), 8);
  ASSERT_EQ(part.Height(), 4);
  for (int r = 0; r < 4; ++r) EXPECT_EQ(std::memcmp(part.ScanLine(r), src.ScanLine(r) + 5 * 4, 8 * 4), 0);

  TBitmap stretched;
  ASSERT_TRUE(fx.StretchCopy(src, stretched, POINT{40, 40}));
  EXPECT_EQ(stretched.Width(), 40);
  EXPECT_EQ(stretched.Height(), 20);
  EXPECT_EQ(std::memcmp(stretched.ScanLine(2), src.ScanLine(1), 4), 0);  // every pixel doubled
  EXPECT_EQ(std::memcmp(stretched.ScanLine(19) + 39 * 4, src.ScanLine(9) + 19 * 4, 4), 0);
  TBitmap empty;
  EXPECT_FALSE(fx.StretchCopy(empty, stretched, POINT{4, 4}));

  TBitmap r = effects_test::Copy(src);
  EXPECT_TRUE(fx.ResizeBitmap(r, POINT{10, 10}));
  EXPECT_EQ(r.Width(), 10);
  EXPECT_EQ(r.Height(), 5);
  EXPECT_FALSE(fx.ResizeBitmap(r, POINT{0, 10}));
  EXPECT_FALSE(fx.ResizeBitmap(r, POINT{1, 1000}));  // no proportional size fits: kept as it was
  EXPECT_EQ(r.Width(), 10);
}

TEST(EffectsGeometryHelpers, FitMaskCentresOnFillColour) {
  Fx fx;
  fx.MaskBitmap().Reset(2, 2, TPixelFormat::pf32bit);
  for (int y = 0; y < 2; ++y) std::memset(fx.MaskBitmap().ScanLine(y), 0xFF, 8);
  fx.FillColor = TPixelValue{1, 2, 3, 4};
  TBitmap fitted;
  fx.FitMaskTo(fitted, POINT{4, 4}, false);
  ASSERT_EQ(fitted.Width(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t* p = fitted.ScanLine(y) + x * 4;
      const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
      EXPECT_EQ(p[0], inside ? 0xFF : 1) << x << "," << y;
      EXPECT_EQ(p[3], inside ? 0xFF : 4) << x << "," << y;
    }
  fx.ResizeMask(POINT{6, 6}, true);
  EXPECT_EQ(fx.MaskBitmap().Width(), 6);
  EXPECT_EQ(fx.MaskBitmap().ScanLine(5)[5 * 4 + 3], 0xFF);  // stretched: all marked, alpha kept
}

}  // namespace
