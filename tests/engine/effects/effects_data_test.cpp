// Hidden data: bits placed in the lowest bit of the carrier bytes and read back, the size a
// bitmap holds, malformed arguments refused with nothing changed, and a seeded random run over
// formats, sizes, steps, offsets and payloads.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/effects/scEffects.h"
#include "tests/engine/effects/effects_reference.h"

namespace {

using namespace engine;
using namespace effects_test;

using Bytes = std::vector<uint8_t>;

// Every byte of every row, padding included, with the format.
struct Snapshot {
  TPixelFormat format;
  int w, h, stride;
  Bytes bytes;
};

Snapshot Take(const TBitmap& b) {
  Snapshot s{b.PixelFormat(), b.Width(), b.Height(), b.Stride(), {}};
  for (int y = 0; y < b.Height(); ++y) s.bytes.insert(s.bytes.end(), b.ScanLine(y), b.ScanLine(y) + b.Stride());
  return s;
}

bool SameSnapshot(const Snapshot& a, const Snapshot& b) {
  return a.format == b.format && a.w == b.w && a.h == b.h && a.bytes == b.bytes;
}

// After a successful hide: only the lowest bit of pixel bytes changed, never the padding.
::testing::AssertionResult OnlyLowBitsOfPixels(const Snapshot& before, const TBitmap& after) {
  const Snapshot now = Take(after);
  if (now.format != before.format || now.bytes.size() != before.bytes.size())
    return ::testing::AssertionFailure() << "format or size changed";
  const int rowBytes = after.RowBytes();
  for (size_t i = 0; i < now.bytes.size(); ++i) {
    const int x = static_cast<int>(i % before.stride);
    const uint8_t diff = now.bytes[i] ^ before.bytes[i];
    if ((diff & 0xFE) || (diff && x >= rowBytes))
      return ::testing::AssertionFailure() << "byte " << i << " (row byte " << x << " of " << rowBytes << ") went from "
                                           << int(before.bytes[i]) << " to " << int(now.bytes[i]);
  }
  return ::testing::AssertionSuccess();
}

// Runs fn and gives the message it raised ("" when it raised nothing).
std::string Raised(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EStreamError& e) {
    return std::string("EStreamError: ") + e.what();
  } catch (const EBitmapError& e) {
    return std::string("EBitmapError: ") + e.what();
  }
  return "";
}

const std::string kZero = std::string("EStreamError: ") + kDataSizeZero;
const std::string kSpace = std::string("EBitmapError: ") + kOutOfBitmapSpace;
const std::string kOffset = std::string("EBitmapError: ") + kNegativeOffset;
const std::string kStep = std::string("EBitmapError: ") + kStepBelowOne;

TEST(EffectsData, LettersInALine) {
  TEffects fx;
  TBitmap b(8, 1, TPixelFormat::pf24bit);
  TMemoryStream abc{'a', 'b', 'c'};
  fx.HideData(abc, b, false, 0, 0);
  const int lowBits[8] = {1, 0, 0, 0, 0, 1, 1, 0};  // 97, least significant bit first
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b.ScanLine(0)[i] & 1, lowBits[i]) << "carrier " << i;
  for (int size : {3, -1}) {
    TMemoryStream back{9, 9, 9, 9, 9};
    fx.ExtractData(back, b, false, size, 0, 0);
    EXPECT_EQ(back, abc) << "size " << size;
  }
  // One byte spreads its bits over all 24 carriers (step 3): carriers 0, 3, ..., 21 hold bits
  // 0, 3, 6 of a, 1, 4, 7 of b and 2, 5 of c: 1, 0, 1, 1, 0, 0, 0, 1.
  TMemoryStream one;
  fx.ExtractData(one, b, false, 1, 0, 0);
  EXPECT_EQ(one, TMemoryStream{141});
}

TEST(EffectsData, MalformedArguments) {
  struct Case {
    std::string what;
    int w, h;
    TPixelFormat format;
    std::function<void(TEffects&, TMemoryStream&, TBitmap&)> call;
    std::string error;
  };
  const TMemoryStream payload{1, 2, 3};
  const std::vector<Case> cases = {
      {"hide an empty stream", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream&, TBitmap& b) { TMemoryStream e; fx.HideData(e, b, false, 0, 0); }, kZero},
      {"extract size 0", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, 0, 0, 0); }, kZero},
      {"extract all from a bitmap holding nothing", 2, 1, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, -1, 0, 0); }, kZero},
      {"hide in a 0 x 0 bitmap", 0, 0, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.HideData(s, b, false, 0, 0); }, kSpace},
      {"extract from a 0 x 0 bitmap", 0, 0, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, 1, 0, 0); }, kSpace},
      {"hide at offset = carrier bytes", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.HideData(s, b, false, 0, 192); }, kSpace},
      {"extract at offset = carrier bytes", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, 1, 0, 192); }, kSpace},
      {"hide at offset 2^31-1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.HideData(s, b, false, 0, INT_MAX); }, kSpace},
      {"extract at offset 2^31-1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, 1, 0, INT_MAX); }, kSpace},
      {"hide at offset -1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.HideData(s, b, false, 0, -1); }, kOffset},
      {"extract at offset -1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, 1, 0, -1); }, kOffset},
      {"hide with fixed step 0", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.HideData(s, b, true, 0, 0); }, kStep},
      {"extract with fixed step -5", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, true, 1, -5, 0); }, kStep},
      {"hide one byte with fixed step 2^31-1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream&, TBitmap& b) { TMemoryStream one{7}; fx.HideData(one, b, true, INT_MAX, 0); }, kSpace},
      {"extract one byte with fixed step 2^31-1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, true, 1, INT_MAX, 0); }, kSpace},
      {"extract size 2^31-1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, INT_MAX, 0, 0); }, kSpace},
      {"extract capacity + 1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, 25, 0, 0); }, kSpace},
      {"hide more than a 4-bit bitmap holds", 8, 8, TPixelFormat::pf4bit,
       [](TEffects& fx, TMemoryStream&, TBitmap& b) { TMemoryStream big(9, 1); fx.HideData(big, b, false, 0, 0); }, kSpace},
      {"extract more than a 1-bit bitmap holds", 8, 8, TPixelFormat::pf1bit,
       [](TEffects& fx, TMemoryStream& s, TBitmap& b) { fx.ExtractData(s, b, false, 9, 0, 0); }, kSpace},
      {"hide capacity + 1", 8, 8, TPixelFormat::pf24bit,
       [](TEffects& fx, TMemoryStream&, TBitmap& b) { TMemoryStream big(25, 1); fx.HideData(big, b, false, 0, 0); }, kSpace},
  };
  for (const Case& c : cases) {
    TEffects fx;
    TBitmap b = c.w ? RandomBitmap(c.w, c.h, c.format, 3) : TBitmap();  // an empty one is pfDevice
    TMemoryStream stream = payload;
    const Snapshot before = Take(b);
    EXPECT_EQ(Raised([&] { c.call(fx, stream, b); }), c.error) << c.what;
    EXPECT_TRUE(SameSnapshot(Take(b), before)) << c.what << ": the bitmap changed";
    EXPECT_EQ(stream, payload) << c.what << ": the stream changed";
    EXPECT_FALSE(fx.OnImport || fx.OnExport) << c.what << ": a handler stayed";
  }
}

TEST(EffectsData, WhatFits) {
  struct Case {
    std::string what;
    int w, h;
    TPixelFormat format;
    bool fixedStep;
    int step, offset;
    int64_t capacity;
  };
  const std::vector<Case> cases = {
      {"8 x 8 at 24 bits", 8, 8, TPixelFormat::pf24bit, false, 0, 0, 24},
      {"offset 8", 10, 4, TPixelFormat::pf24bit, false, 0, 8, 14},
      {"fixed step 3", 10, 4, TPixelFormat::pf24bit, true, 3, 0, 5},
      {"fixed step 3 and offset 8", 10, 4, TPixelFormat::pf24bit, true, 3, 8, 4},
      {"width 3 at 24 bits: padding is no carrier", 3, 4, TPixelFormat::pf24bit, false, 0, 0, 4},
      {"1 bit per pixel becomes 8 bits", 16, 4, TPixelFormat::pf1bit, false, 0, 0, 8},
      {"4 bits per pixel become 8 bits", 16, 4, TPixelFormat::pf4bit, false, 0, 0, 8},
      {"the device format becomes 8 bits", 16, 4, TPixelFormat::pfDevice, false, 0, 0, 8},
      {"32 bits", 5, 3, TPixelFormat::pf32bit, false, 0, 1, 7},
  };
  for (const Case& c : cases) {
    TEffects fx;
    TBitmap b = RandomBitmap(c.w, c.h, c.format, 4);
    EXPECT_EQ(TEffects::DataCapacity(b, c.fixedStep, c.step, c.offset), c.capacity) << c.what;
    TMemoryStream data(static_cast<size_t>(c.capacity));
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    fx.HideData(data, b, c.fixedStep, c.step, c.offset);
    if (c.format < TPixelFormat::pf8bit) {
      EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf8bit) << c.what;
    }
    const Snapshot hidden = Take(b);
    for (int size : {static_cast<int>(c.capacity), -1}) {
      TMemoryStream back(3, 0xEE);
      fx.ExtractData(back, b, c.fixedStep, size, c.step, c.offset);
      EXPECT_EQ(back, data) << c.what << ", size " << size;
    }
    TMemoryStream more(3, 0xEE);
    EXPECT_EQ(Raised([&] { fx.ExtractData(more, b, c.fixedStep, static_cast<int>(c.capacity) + 1, c.step, c.offset); }),
              kSpace)
        << c.what;
    EXPECT_TRUE(SameSnapshot(Take(b), hidden)) << c.what << ": reading changed the bitmap";
  }
  // Padding: a 3-pixel 24-bit row is 9 bytes in 12; the 3 padding bytes are never carriers.
  TEffects fx;
  TBitmap b(3, 4, TPixelFormat::pf24bit);
  for (int y = 0; y < 4; ++y) std::memset(b.ScanLine(y), 0xAA, b.Stride());
  const Snapshot before = Take(b);
  TMemoryStream ones(4, 0xFF);
  fx.HideData(ones, b, false, 0, 0);
  EXPECT_TRUE(OnlyLowBitsOfPixels(before, b));
  // 32 bits in 36 carriers: step 1, the last four carriers unused.
  for (int y = 0; y < 4; ++y)
    for (int i = 0; i < 9; ++i)
      EXPECT_EQ(b.ScanLine(y)[i], y * 9 + i < 32 ? 0xAB : 0xAA) << "row " << y << " byte " << i;
}

// Random calls, extremes included: each one round-trips, touching only the lowest bit of
// carrier bytes, or raises one of the data errors with nothing changed.
TEST(EffectsData, RandomCalls) {
  std::mt19937 gen(20261210);
  const TPixelFormat formats[] = {TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit,
                                  TPixelFormat::pf32bit};
  const int steps[] = {INT_MIN, -5, 0, 1, 2, 3, 7, 64, INT_MAX};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int calls = 0, raised = 0;
  for (; calls < 3000 && std::chrono::steady_clock::now() < deadline; ++calls) {
    const TPixelFormat format = formats[gen() % 4];
    const int w = static_cast<int>(gen() % 24), h = static_cast<int>(gen() % 12);
    TBitmap b = w && h ? RandomBitmap(w, h, format, gen()) : TBitmap(w, h, format);
    const int64_t carriers = static_cast<int64_t>(w) * h * BytesPerPixel(format);
    const bool fixedStep = gen() % 2;
    const int step = steps[gen() % std::size(steps)];
    const int offsets[] = {-1, 0, 1, static_cast<int>(gen() % 64), static_cast<int>(carriers), INT_MAX, INT_MIN};
    const int offset = offsets[gen() % std::size(offsets)];
    const int64_t capacity = TEffects::DataCapacity(b, fixedStep, step, offset);
    const int64_t sizes[] = {0, 1, capacity, capacity + 1, static_cast<int64_t>(gen() % 40)};
    TMemoryStream data(static_cast<size_t>(sizes[gen() % std::size(sizes)]));
    for (auto& d : data) d = static_cast<uint8_t>(gen());
    const std::string what = "call " + std::to_string(calls) + ": " + std::to_string(w) + "x" + std::to_string(h) +
                             " at " + std::to_string(BytesPerPixel(format)) + " bytes, " +
                             (fixedStep ? "fixed step " : "step ") + std::to_string(step) + ", offset " +
                             std::to_string(offset) + ", " + std::to_string(data.size()) + " bytes";
    TEffects fx;
    const Snapshot before = Take(b);
    const TMemoryStream sent = data;
    const std::string error = Raised([&] { fx.HideData(data, b, fixedStep, step, offset); });
    ASSERT_EQ(data, sent) << what;
    if (!error.empty()) {
      ++raised;
      ASSERT_TRUE(error == kZero || error == kSpace || error == kOffset || error == kStep) << what << ": " << error;
      ASSERT_TRUE(SameSnapshot(Take(b), before)) << what;
      // Reading with the same arguments fails the same way and leaves the stream alone.
      TMemoryStream back{1, 2};
      ASSERT_FALSE(Raised([&] { fx.ExtractData(back, b, fixedStep, static_cast<int>(data.size()), step, offset); }).empty())
          << what;
      ASSERT_EQ(back, (TMemoryStream{1, 2})) << what;
      continue;
    }
    ASSERT_TRUE(OnlyLowBitsOfPixels(before, b)) << what;
    TMemoryStream back{1, 2};
    ASSERT_EQ(Raised([&] { fx.ExtractData(back, b, fixedStep, static_cast<int>(data.size()), step, offset); }), "")
        << what;
    ASSERT_EQ(back, sent) << what;
  }
  EXPECT_GT(calls, 200);
  EXPECT_GT(raised, 0);
  EXPECT_LT(raised, calls);
}

}  // namespace
