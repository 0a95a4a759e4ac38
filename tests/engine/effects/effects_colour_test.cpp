// The colour effects: their formulas on single pixels, and every row kernel against its plain
// per-pixel reference on random bitmaps of odd sizes at every pixel size, masked and not.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_simd.h"
#include "engine/effects/scEffects_workers.h"
#include "engine/effects/scMemUtils.h"
#include "tests/engine/effects/effects_reference.h"

namespace {

using namespace engine;
using namespace effects_test;

// A 1-pixel 32-bit bitmap holding b, g, r, a.
TBitmap Pixel(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  TBitmap bm(1, 1, TPixelFormat::pf32bit);
  uint8_t* p = bm.ScanLine(0);
  p[0] = b, p[1] = g, p[2] = r, p[3] = a;
  return bm;
}

std::vector<int> Bytes(const TBitmap& b) {
  return std::vector<int>(b.ScanLine(0), b.ScanLine(0) + 4);
}

TEST(EffectsColour, PointOperations) {
  struct Case {
    const char* what;
    std::function<bool(TEffects&, TBitmap&)> op;
    std::vector<int> in, expected;
  };
  const TChannelValues plus10{10, 10, 10, 10};
  const std::vector<Case> cases = {
      {"contrast 100", [](TEffects& fx, TBitmap& b) { return fx.Contrast(b, AllChannels, TChannelValues{100, 100, 100, 100}); },
       {100, 200, 127, 0}, {90, 228, 127, 0}},
      {"contrast -255", [](TEffects& fx, TBitmap& b) { return fx.Contrast(b, AllChannels, TChannelValues{-255, -255, -255, -255}); },
       {0, 255, 30, 127}, {127, 127, 127, 127}},
      {"contrast 255 doubles", [](TEffects& fx, TBitmap& b) { return fx.Contrast(b, AllChannels, TChannelValues{255, 255, 255, 0}); },
       {100, 150, 127, 9}, {73, 173, 127, 9}},
      {"add clamps", [&](TEffects& fx, TBitmap& b) { return fx.AddColor(b, AllChannels, NoChannels, plus10); },
       {250, 0, 245, 1}, {255, 10, 255, 11}},
      {"add wraps", [&](TEffects& fx, TBitmap& b) { return fx.AddColor(b, AllChannels, AllChannels, plus10); },
       {250, 0, 245, 1}, {4, 10, 255, 11}},
      {"add -300", [](TEffects& fx, TBitmap& b) { return fx.AddColor(b, AllChannels, NoChannels, MakeChannelValues(-300, -300, -300, -300)); },
       {250, 1, 255, 128}, {0, 0, 0, 0}},
      {"add one channel", [](TEffects& fx, TBitmap& b) { return fx.AddColor(b, 2, 20, false); },
       {1, 2, 3, 4}, {1, 2, 23, 4}},
      {"make values order", [](TEffects& fx, TBitmap& b) { return fx.AddColor(b, AllChannels, NoChannels, MakeChannelValues(1, 2, 3, 4)); },
       {0, 0, 0, 0}, {3, 2, 1, 4}},
      {"posterize 0 is 1", [](TEffects& fx, TBitmap& b) { return fx.Posterize(b, AllChannels, 0); },
       {1, 77, 150, 255}, {1, 77, 150, 255}},
      {"posterize 100", [](TEffects& fx, TBitmap& b) { return fx.Posterize(b, 0, 100); },
       {150, 50, 251, 249}, {200, 0, 255, 200}},
      {"solarize 255 never", [](TEffects& fx, TBitmap& b) { return fx.Solarize(b, AllChannels, 255); },
       {255, 255, 255, 255}, {255, 255, 255, 255}},
      {"solarize 0 inverts", [](TEffects& fx, TBitmap& b) { return fx.Solarize(b, AllChannels, 0); },
       {4, 0, 0, 0}, {251, 255, 255, 255}},
      {"solarize one channel", [](TEffects& fx, TBitmap& b) { return fx.Solarize(b, 1, 99); },
       {10, 100, 20, 30}, {245, 155, 235, 225}},
      {"saturation 0", [](TEffects& fx, TBitmap& b) { return fx.Saturation(b, AllChannels, 0); },
       {100, 150, 200, 0}, {112, 112, 112, 112}},
      {"saturation 255", [](TEffects& fx, TBitmap& b) { return fx.Saturation(b, AllChannels, 255); },
       {100, 150, 200, 0}, {100, 150, 200, 0}},
      {"saturation 128", [](TEffects& fx, TBitmap& b) { return fx.Saturation(b, AllChannels, 128); },
       {100, 150, 200, 0}, {106, 131, 156, 56}},
      {"saturation one channel", [](TEffects& fx, TBitmap& b) { return fx.Saturation(b, 2, 0); },
       {100, 150, 200, 0}, {100, 150, 200, 0}},
      {"invert", [](TEffects& fx, TBitmap& b) { return fx.Invert(b, TChannels{true, false, true, false}); },
       {0, 1, 2, 3}, {255, 1, 253, 3}},
      {"fill", [](TEffects& fx, TBitmap& b) { return fx.FillChannels(b, TChannels{false, true, false, true}, TPixelValue{9, 8, 7, 6}); },
       {0, 1, 2, 3}, {0, 8, 2, 6}},
      {"fill one", [](TEffects& fx, TBitmap& b) { return fx.FillChannel(b, 3, 200); }, {0, 1, 2, 3}, {0, 1, 2, 200}},
      {"replace channel", [](TEffects& fx, TBitmap& b) { return fx.ReplaceChannelRange(b, 1, 10, 20, TPixelValue{1, 2, 3, 4}, false); },
       {0, 15, 0, 0}, {1, 2, 3, 4}},
      {"replace channel inverted", [](TEffects& fx, TBitmap& b) { return fx.ReplaceChannelRange(b, 1, 10, 20, TPixelValue{1, 2, 3, 4}, true); },
       {0, 15, 0, 0}, {0, 15, 0, 0}},
      {"replace colour: one channel suffices",
       [](TEffects& fx, TBitmap& b) {
         return fx.ReplaceColorRange(b, TPixelValue{0, 200, 200, 0}, TPixelValue{10, 255, 255, 255}, TPixelValue{7, 7, 7, 7}, NoChannels, false, false);
       },
       {5, 0, 0, 0}, {7, 7, 7, 7}},
      {"replace colour: alpha ignored",
       [](TEffects& fx, TBitmap& b) {
         return fx.ReplaceColorRange(b, TPixelValue{200, 200, 200, 0}, TPixelValue{255, 255, 255, 255}, TPixelValue{7, 7, 7, 7}, NoChannels, false, false);
       },
       {5, 0, 0, 50}, {5, 0, 0, 50}},
      {"replace colour: alpha used",
       [](TEffects& fx, TBitmap& b) {
         return fx.ReplaceColorRange(b, TPixelValue{200, 200, 200, 0}, TPixelValue{255, 255, 255, 255}, TPixelValue{7, 7, 7, 7}, NoChannels, false, true);
       },
       {5, 0, 0, 50}, {7, 7, 7, 7}},
      {"replace colour: inverted result",
       [](TEffects& fx, TBitmap& b) {
         return fx.ReplaceColorRange(b, TPixelValue{200, 200, 200, 0}, TPixelValue{255, 255, 255, 255}, TPixelValue{7, 7, 7, 7}, TChannels{true, false, false, false}, true, false);
       },
       {5, 0, 0, 50}, {5, 0, 0, 50}},
  };
  for (const auto& c : cases) {
    TEffects fx;
    TBitmap b = Pixel(uint8_t(c.in[0]), uint8_t(c.in[1]), uint8_t(c.in[2]), uint8_t(c.in[3]));
    EXPECT_TRUE(c.op(fx, b)) << c.what;
    EXPECT_EQ(Bytes(b), c.expected) << c.what;
  }
}

TEST(EffectsColour, NoChannelsAndEmptyBitmaps) {
  TEffects fx;
  TBitmap b = Pixel(1, 2, 3, 4);
  const std::vector<int> before = Bytes(b);
  EXPECT_FALSE(fx.Invert(b, NoChannels));
  EXPECT_FALSE(fx.AddColor(b, NoChannels, NoChannels, TChannelValues{5, 5, 5, 5}));
  EXPECT_FALSE(fx.Contrast(b, NoChannels, TChannelValues{5, 5, 5, 5}));
  EXPECT_FALSE(fx.Saturation(b, NoChannels, 0));
  EXPECT_FALSE(fx.Solarize(b, NoChannels, 0));
  EXPECT_FALSE(fx.Posterize(b, NoChannels, 100));
  EXPECT_FALSE(fx.Noise(b, NoChannels, 200));
  EXPECT_FALSE(fx.Invert(b, uint8_t(4)));  // no such channel
  EXPECT_TRUE(fx.FillChannels(b, NoChannels, TPixelValue{9, 9, 9, 9}));
  EXPECT_EQ(Bytes(b), before);
  TBitmap empty;
  EXPECT_FALSE(fx.Invert(empty, AllChannels));
  EXPECT_FALSE(fx.Noise(empty, AllChannels, 3));
  EXPECT_FALSE(fx.FillChannels(empty, AllChannels, TPixelValue{}));
}

TEST(EffectsColour, NoiseWithAmountZeroStillAdvances) {
  TEffects fx;
  TBitmap b = RandomBitmap(7, 3, TPixelFormat::pf32bit, 5);
  TBitmap before = Copy(b);
  SetRandomSeed(42);
  EXPECT_TRUE(fx.Noise(b, AllChannels, 0));
  EXPECT_TRUE(SameBitmap(b, before));
  EXPECT_EQ(RandomSeed(), AdvanceSeed(42, 7 * 3 * 4 * 2));
  SetRandomSeed(42);
  fx.Noise(b, TChannels{false, true, false, false}, 0);
  EXPECT_EQ(RandomSeed(), AdvanceSeed(42, 7 * 3 * 2));
}

// The settings every kernel is tried with.
struct KernelCase {
  std::string what;
  std::function<bool(TEffects&, TBitmap&)> fast;
  std::function<void(TEffects&, TBitmap&)> reference;
};

std::vector<KernelCase> KernelCases() {
  std::vector<KernelCase> cases;
  const std::vector<TChannels> sets = {AllChannels, {true, false, true, false}, {false, false, false, true},
                                       {false, true, true, true}};
  for (size_t i = 0; i < sets.size(); ++i) {
    const TChannels ch = sets[i];
    const std::string tag = " set " + std::to_string(i);
    const TChannelValues v = i % 2 ? TChannelValues{-40, 77, 300, -1000} : TChannelValues{32767, -32768, 128, -129};
    const TChannels wrap{true, false, true, false};
    cases.push_back({"contrast" + tag, [=](TEffects& fx, TBitmap& b) { return fx.Contrast(b, ch, v); },
                     [=](TEffects& fx, TBitmap& b) { ref::Contrast(fx, b, ch, v); }});
    cases.push_back({"add" + tag, [=](TEffects& fx, TBitmap& b) { return fx.AddColor(b, ch, wrap, v); },
                     [=](TEffects& fx, TBitmap& b) { ref::AddColor(fx, b, ch, wrap, v); }});
    cases.push_back({"invert" + tag, [=](TEffects& fx, TBitmap& b) { return fx.Invert(b, ch); },
                     [=](TEffects& fx, TBitmap& b) { ref::Invert(fx, b, ch); }});
    for (int s : {0, 100, 205, 255})
      cases.push_back({"saturation " + std::to_string(s) + tag,
                       [=](TEffects& fx, TBitmap& b) { return fx.Saturation(b, ch, uint8_t(s)); },
                       [=](TEffects& fx, TBitmap& b) { ref::Saturation(fx, b, ch, s); }});
    cases.push_back({"solarize" + tag, [=](TEffects& fx, TBitmap& b) { return fx.Solarize(b, ch, 120); },
                     [=](TEffects& fx, TBitmap& b) { ref::Solarize(fx, b, ch, 120); }});
    for (int amount : {0, 1, 37, 255})
      cases.push_back({"noise " + std::to_string(amount) + tag,
                       [=](TEffects& fx, TBitmap& b) {
                         SetRandomSeed(0xC0FFEE);
                         
                         const bool ok = fx.Noise(b, ch, uint8_t(amount));
                         return ok;
                       },
                       [=](TEffects& fx, TBitmap& b) {
                         const uint32_t end = ref::Noise(fx, b, ch, amount, 0xC0FFEE);
                         // The kernel's final seed must be the reference's.
                         EXPECT_EQ(RandomSeed(), end) << "final seed";
                       }});
  }
  for (int l : {0, 3, 100, 255})
    cases.push_back({"posterize " + std::to_string(l), [=](TEffects& fx, TBitmap& b) { return fx.Posterize(b, 1, uint8_t(l)); },
                     [=](TEffects& fx, TBitmap& b) { ref::Posterize(fx, b, l); }});
  return cases;
}

void CheckKernelsAgainstReferences() {
  // Rows of 10 and 11 pixels hold one round of the widest 24-bit kernel or none; 643 many.
  const std::vector<std::pair<int, int>> sizes = {{1, 1}, {37, 23}, {3, 5}, {129, 7}, {10, 2}, {11, 2}, {643, 3}};
  const auto cases = KernelCases();
  for (int bpp = 1; bpp <= 4; ++bpp) {
    for (bool masked : {false, true}) {
      for (auto [w, h] : sizes) {
        uint32_t seed = 1;
        for (const auto& c : cases) {
          TEffects fx;
          fx.SetPixelSize(FormatOfBytes(bpp));
          if (masked) {
            fx.Masked = true;
            fx.MaskBitmap() = RandomBitmap(w + 2, h, FormatOfBytes(bpp), 99);
            // Mark about half the pixels.
            for (int y = 0; y < h; ++y)
              for (int x = 0; x < w + 2; ++x)
                if ((x * 7 + y * 3) % 2) std::memset(fx.MaskBitmap().ScanLine(y) + x * bpp, 0xFF, bpp);
          }
          TBitmap fast = RandomBitmap(w, h, FormatOfBytes(bpp), ++seed);
          TBitmap slow = Copy(fast);
          const std::string where = c.what + " bpp " + std::to_string(bpp) + (masked ? " masked " : " ") +
                                    std::to_string(w) + "x" + std::to_string(h);
          EXPECT_TRUE(c.fast(fx, fast)) << where;
          c.reference(fx, slow);
          EXPECT_TRUE(SameBitmap(fast, slow)) << where;
        }
      }
    }
  }
}

TEST(EffectsColour, KernelsEqualTheirReferences) {
  if (!simd::WideKernelsAvailable()) std::printf("note: this processor runs the SSE2 kernels only\n");
  CheckKernelsAgainstReferences();
}

TEST(EffectsColour, BaselineKernelsEqualTheirReferences) {
  // The SSE2 kernels every machine runs, also where the AVX2 ones would be chosen.
  simd::UseBaselineKernels(true);
  CheckKernelsAgainstReferences();
  simd::UseBaselineKernels(false);
}

TEST(EffectsColour, SaturationOfFullFramesRunsInBandsAndEqualsItsReference) {
  // Large enough to be split over the effect workers at 3 and 4 bytes a pixel, with an odd
  // width so every row ends in pixels the kernels leave to the plain loop; both kernel sets.
  constexpr int kW = 643, kH = 601;
  ASSERT_GT(workers::BandsFor(int64_t(kW) * kH * 3), 2);
  for (bool baseline : {false, true}) {
    simd::UseBaselineKernels(baseline);
    for (int bpp : {3, 4}) {
      for (int s : {0, 205, 255}) {
        TEffects fx;
        fx.SetPixelSize(FormatOfBytes(bpp));
        TBitmap got = RandomBitmap(kW, kH, FormatOfBytes(bpp), uint32_t(7 + s + bpp));
        TBitmap expected = Copy(got);
        EXPECT_TRUE(fx.Saturation(got, AllChannels, uint8_t(s)));
        ref::Saturation(fx, expected, AllChannels, s);
        EXPECT_TRUE(SameBitmap(got, expected)) << (baseline ? "SSE2-only" : "widest") << " kernels, bpp " << bpp
                                               << ", saturation " << s;
      }
    }
  }
  simd::UseBaselineKernels(false);
}

TEST(EffectsColour, ByteChainEqualsTheCallsInOrder) {
  // The camera's colour, brightness and contrast adjustments composed into one pass.
  for (int bpp : {3, 4}) {
    TEffects fx;
    fx.SetPixelSize(FormatOfBytes(bpp));
    TBitmap separate = RandomBitmap(41, 9, FormatOfBytes(bpp), 7);
    TBitmap chained = Copy(separate);
    const TChannelValues colour = MakeChannelValues(30, -20, 5, 0), bright = MakeChannelValues(-15, -15, -15, 0);
    const TChannelValues contrast = MakeChannelValues(60, 60, 60, 0);
    fx.AddColor(separate, AllChannels, NoChannels, colour);
    fx.AddColor(separate, AllChannels, NoChannels, bright);
    fx.Contrast(separate, AllChannels, contrast);
    TByteChain chain;
    chain.AddColor(AllChannels, NoChannels, colour);
    chain.AddColor(AllChannels, NoChannels, bright);
    chain.Contrast(AllChannels, contrast);
    EXPECT_TRUE(fx.ApplyByteChain(chained, chain));
    EXPECT_TRUE(SameBitmap(chained, separate)) << "bpp " << bpp;
  }
}

TEST(EffectsColour, EffectsLeaveUserHandlersInPlace) {
  TEffects fx;
  int calls = 0;
  fx.OnScan = [&](TPixelRef, int&, int&, void*, bool&) { ++calls; };
  TBitmap b = RandomBitmap(5, 5, TPixelFormat::pf32bit, 3);
  fx.Invert(b, AllChannels);
  fx.Noise(b, AllChannels, 9);
  fx.Saturation(b, AllChannels, 9);
  EXPECT_EQ(calls, 0);
  fx.Scan(b, nullptr);
  EXPECT_EQ(calls, 25);
}

}  // namespace
