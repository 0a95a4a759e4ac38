// Times the area effects and the hidden data at 1920 x 1080, 32 bits, in milliseconds and as
// a multiple of a memcpy of the same frame timed in the same run (median of several runs), as
// the effects benchmark does for the camera's effects. A blur costs the same at any radius.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "bench/bench_timing.h"
#include "engine/effects/scEffects.h"

namespace {

using namespace engine;

constexpr int kWidth = 1920, kHeight = 1080, kRuns = 9;

double Median(const std::function<void()>& fn) { return bench::MedianMs(fn, kRuns); }

}  // namespace

int wmain() {
  TBitmap source(kWidth, kHeight, TPixelFormat::pf32bit), dest, frame;
  std::mt19937 gen(1);
  // A picture with flat areas and edges, so that the flat-area smoothing has both to tell apart.
  for (int y = 0; y < kHeight; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(source.ScanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t base = ((x / 64 + y / 64) % 2) ? 0x00C0C0C0u : 0x00404040u;
      row[x] = base + (gen() & 0x00030303u);
    }
  }
  frame.Assign(source);
  const size_t bytes = static_cast<size_t>(source.Stride()) * kHeight;
  std::vector<uint8_t> copyTarget(bytes);
  TEffects fx;
  fx.SetPixelSize(TPixelFormat::pf32bit);

  const double copyMs = Median([&] { std::memcpy(copyTarget.data(), source.ScanLine(0), bytes); });
  std::printf("area effects at %dx%d, 32 bits, median of %d runs\n", kWidth, kHeight, kRuns);
  std::printf("%-38s %8.3f ms   1.00 copies\n", "memcpy of the frame", copyMs);
  auto report = [&](const char* name, const std::function<void()>& fn) {
    const double ms = Median(fn);
    std::printf("%-38s %8.3f ms  %6.2f copies\n", name, ms, ms / copyMs);
    return ms;
  };
  report("Blur radius 0 (the copy alone)", [&] { fx.Blur(source, dest, AllChannels, 0); });
  const double blur1 = report("Blur radius 1", [&] { fx.Blur(source, dest, AllChannels, 1); });
  report("Blur radius 4", [&] { fx.Blur(source, dest, AllChannels, 4); });
  const double blur16 = report("Blur radius 16", [&] { fx.Blur(source, dest, AllChannels, 16); });
  std::printf("%-38s %8.2f (aim: at most 2)\n", "Blur radius 16 / radius 1", blur16 / blur1);
  report("SmoothFlat (test 2, blur 2, tol. 10)", [&] { fx.SmoothFlat(source, dest, AllChannels, 2, 2, 10); });
  report("Sharpen mode 0, radius 2", [&] { fx.Sharpen(source, dest, AllChannels, 2, 10, 50, 0); });
  report("Sharpen mode 1, radius 2", [&] { fx.Sharpen(source, dest, AllChannels, 2, 10, 50, 1); });
  fx.RangeType = TRangeType::rtRect;
  report("Mosaic 16 x 16 rtRect", [&] { fx.Mosaic(frame, AllChannels, POINT{16, 16}); });
  fx.RangeType = TRangeType::rtEllipse;
  report("Mosaic 16 x 16 rtEllipse", [&] { fx.Mosaic(frame, AllChannels, POINT{16, 16}); });
  fx.RangeType = TRangeType::rtRect;
  report("SmoothMosaic 16 x 16, radius 1", [&] { fx.SmoothMosaic(frame, AllChannels, POINT{16, 16}, 1, false); });
  report("SmoothMosaic 16 x 16, Sparse radius 2", [&] { fx.SmoothMosaic(frame, AllChannels, POINT{16, 16}, 2, true); });

  TMemoryStream data(1000000), back;  // a 32-bit frame holds 1036800 bytes
  for (auto& b : data) b = static_cast<uint8_t>(gen());
  report("HideData 1 MB", [&] { fx.HideData(data, frame, false, 0, 0); });
  report("ExtractData 1 MB", [&] { fx.ExtractData(back, frame, false, static_cast<int>(data.size()), 0, 0); });
  if (back != data) {
    std::printf("ExtractData did not give back what HideData hid\n");
    return 1;
  }
  return 0;
}
