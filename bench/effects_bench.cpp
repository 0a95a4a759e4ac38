// Times the effects the screen camera applies to every frame at 1920 x 1080, 32 bits: each
// colour and geometry operation alone and the camera's whole chain, in milliseconds and as a
// multiple of a memcpy of the same frame timed in the same run (median of several runs).
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "bench/bench_timing.h"
#include "engine/scEffects.h"
#include "engine/scEffects_simd.h"

namespace {

using namespace engine;

constexpr int kWidth = 1920, kHeight = 1080, kRuns = 21;

double Median(const std::function<void()>& fn) { return bench::MedianMs(fn, kRuns); }

void FillRandom(TBitmap& b) {
  std::mt19937 gen(1);
  for (int y = 0; y < b.Height(); ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(b.ScanLine(y));
    for (int x = 0; x < b.Width(); ++x) row[x] = gen();
  }
}

}  // namespace

int wmain() {
  TBitmap frame(kWidth, kHeight, TPixelFormat::pf32bit), source(kWidth, kHeight, TPixelFormat::pf32bit);
  FillRandom(frame);
  source.Assign(frame);
  const size_t bytes = static_cast<size_t>(frame.Stride()) * kHeight;
  std::vector<uint8_t> copyTarget(bytes);
  TEffects fx;
  fx.SetPixelSize(TPixelFormat::pf32bit);

  const double copyMs = Median([&] { std::memcpy(copyTarget.data(), frame.ScanLine(0), bytes); });
  std::printf("effects at %dx%d, 32 bits, median of %d runs\n", kWidth, kHeight, kRuns);
  std::printf("%-34s %8.3f ms   1.00 copies\n", "memcpy of the frame", copyMs);
  // For scale: the same copy when the frame is not in the cache (a frame fresh from the
  // screen grab usually is; eight frames in turn are more than the caches hold).
  {
    std::vector<std::vector<uint8_t>> frames(8, std::vector<uint8_t>(bytes, 1));
    size_t next = 0;
    const double coldMs = Median([&] {
      std::memcpy(copyTarget.data(), frames[next].data(), bytes);
      next = (next + 1) % frames.size();
    });
    std::printf("%-34s %8.3f ms  %5.2f copies\n", "memcpy, frame not in cache", coldMs, coldMs / copyMs);
  }

  auto report = [&](const char* name, const std::function<void()>& fn) {
    const double ms = Median(fn);
    std::printf("%-34s %8.3f ms  %5.2f copies\n", name, ms, ms / copyMs);
  };
  const TChannelValues colour = MakeChannelValues(20, -10, 5, 0);
  const TChannelValues bright = MakeChannelValues(15, 15, 15, 0);
  const TChannelValues contrast = MakeChannelValues(40, 40, 40, 0);
  auto runAll = [&] {
    report("noise (amount 30)", [&] { fx.Noise(frame, AllChannels, 30); });
    report("saturation (205)", [&] { fx.Saturation(frame, AllChannels, 205); });
    report("colour values (AddColor)", [&] { fx.AddColor(frame, AllChannels, NoChannels, colour); });
    report("brightness (AddColor)", [&] { fx.AddColor(frame, AllChannels, NoChannels, bright); });
    report("contrast", [&] { fx.Contrast(frame, AllChannels, contrast); });
    report("rotate 90 (Rotate pi/2)", [&] { fx.Rotate(source, frame, std::numbers::pi / 2); });
    report("rotate 270 (Rotate 3pi/2)", [&] { fx.Rotate(source, frame, 3 * std::numbers::pi / 2); });
    report("flip (FlipVertical)", [&] { fx.FlipVertical(source, frame); });
    report("mirror (MirrorHorizontal)", [&] { fx.MirrorHorizontal(source, frame); });
    report("rotate 180 (Rotate180)", [&] { fx.Rotate180(source, frame); });

    auto colourChain = [&] {
      fx.Noise(frame, AllChannels, 30);
      fx.Saturation(frame, AllChannels, 205);
      TByteChain chain;
      chain.AddColor(AllChannels, NoChannels, colour);
      chain.AddColor(AllChannels, NoChannels, bright);
      chain.Contrast(AllChannels, contrast);
      fx.ApplyByteChain(frame, chain);
    };
    report("colour chain, composed tables", colourChain);
    // As the camera calls them, one after another.
    auto cameraCalls = [&] {
      fx.Noise(frame, AllChannels, 30);
      fx.Saturation(frame, AllChannels, 205);
      fx.AddColor(frame, AllChannels, NoChannels, colour);
      fx.AddColor(frame, AllChannels, NoChannels, bright);
      fx.Contrast(frame, AllChannels, contrast);
    };
    report("colour chain, separate calls", cameraCalls);
    // The camera turns a copy of its frame into the frame; here the turned picture goes to a
    // bitmap of its own, so the figure is the work of the effects, not fresh allocations.
    TBitmap turned;
    report("whole chain (calls + rotate 90)", [&] {
      cameraCalls();
      source.Assign(frame);
      fx.Rotate(source, turned, std::numbers::pi / 2);
    });
  };
  std::printf("-- kernels: %s\n", simd::WideKernelsAvailable() ? "AVX2 where written, else SSE2" : "SSE2");
  runAll();
  if (simd::WideKernelsAvailable()) {
    std::printf("-- kernels: SSE2 only (as on processors without AVX2)\n");
    simd::UseBaselineKernels(true);
    runAll();
    simd::UseBaselineKernels(false);
  }
  // The camera's other true-colour setting, against the same 32-bit copy.
  std::printf("-- frames of 24 bits\n");
  fx.SetPixelSize(TPixelFormat::pf24bit);
  frame.SetPixelFormat(TPixelFormat::pf24bit);
  source.SetPixelFormat(TPixelFormat::pf24bit);
  runAll();
  return 0;
}
