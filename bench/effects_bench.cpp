// Times the effects the screen camera applies to every frame at 1920 x 1080: each colour and
// geometry operation alone, and again at its place in the camera's chain (noise, saturation,
// colour values, brightness, contrast, then the turn), as multiples of a memcpy of the frame
// from memory (cold) in the same process (a copy from the cache, hot, is shown beside it).
// Every figure is the median of 21 runs in one
// process; the table shows min / median / max over several processes (--processes N, 5),
// for 32, 24, 16 and 8-bit frames, each with the AVX2 kernels and with the SSE2-only ones.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_simd.h"
#include "engine/effects/scEffects_workers.h"

namespace {

using namespace engine;

constexpr int kWidth = 1920, kHeight = 1080, kRuns = 21;

void FillRandom(TBitmap& b) {
  std::mt19937 gen(1);
  for (int y = 0; y < b.Height(); ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(b.ScanLine(y));
    for (int x = 0; x < b.Width(); ++x) row[x] = gen();
  }
}

struct Effect {
  const char* name;
  std::function<void()> run;
};

int EffectsChild(bool baseline, int bits, const wchar_t* out) {
  simd::UseBaselineKernels(baseline);
  const TPixelFormat format = bits == 8    ? TPixelFormat::pf8bit
                              : bits == 16 ? TPixelFormat::pf16bit
                              : bits == 24 ? TPixelFormat::pf24bit
                                           : TPixelFormat::pf32bit;
  TBitmap frame(kWidth, kHeight, TPixelFormat::pf32bit), source(kWidth, kHeight, TPixelFormat::pf32bit), turned;
  FillRandom(frame);
  frame.SetPixelFormat(format);
  source.Assign(frame);
  TEffects fx;
  fx.SetPixelSize(format);
  // The same 32-bit frame's bytes, whatever the depth: the scale every row is measured on.
  const size_t bytes = static_cast<size_t>(kWidth) * kHeight * 4;
  bench::Figures figures;
  figures["memcpy_cold"] = bench::MemcpyMs(bytes, 24, 8);
  figures["memcpy_hot"] = bench::MemcpyMs(bytes, 24, 1);

  const TChannelValues colour = MakeChannelValues(20, -10, 5, 0);
  const TChannelValues bright = MakeChannelValues(15, 15, 15, 0);
  const TChannelValues contrast = MakeChannelValues(40, 40, 40, 0);
  // The camera's chain, in its order; the turn works from a copy of the frame.
  const std::vector<Effect> chain = {
      {"noise", [&] { fx.Noise(frame, AllChannels, 30); }},
      {"saturation", [&] { fx.Saturation(frame, AllChannels, 205); }},
      {"colour_values", [&] { fx.AddColor(frame, AllChannels, NoChannels, colour); }},
      {"brightness", [&] { fx.AddColor(frame, AllChannels, NoChannels, bright); }},
      {"contrast", [&] { fx.Contrast(frame, AllChannels, contrast); }},
      {"rotate90", [&] { fx.Rotate(source, turned, std::numbers::pi / 2); }},
  };
  const std::vector<Effect> others = {
      {"rotate270", [&] { fx.Rotate(source, turned, 3 * std::numbers::pi / 2); }},
      {"flip", [&] { fx.FlipVertical(source, turned); }},
      {"mirror", [&] { fx.MirrorHorizontal(source, turned); }},
      {"rotate180", [&] { fx.Rotate180(source, turned); }},
  };
  auto timed = [](const std::function<void()>& fn) {
    const double start = bench::NowMsPrecise();
    fn();
    return bench::NowMsPrecise() - start;
  };
  // Alone: the same effect again and again (after a warm-up run).
  for (const auto* list : {&chain, &others}) {
    for (const Effect& e : *list) {
      e.run();
      std::vector<double> t;
      for (int i = 0; i < kRuns; ++i) t.push_back(timed(e.run));
      figures[std::string("alone_") + e.name] = bench::Median(t);
    }
  }
  // In the chain: each effect timed at its place, the whole chain run kRuns times.
  std::vector<std::vector<double>> t(chain.size());
  std::vector<double> whole;
  for (const Effect& e : chain) e.run();
  for (int i = 0; i < kRuns; ++i) {
    double sum = 0;
    for (size_t k = 0; k < chain.size(); ++k) {
      if (k + 1 == chain.size()) source.Assign(frame);  // the turn takes the chain's result
      t[k].push_back(timed(chain[k].run));
      sum += t[k].back();
    }
    whole.push_back(sum);
  }
  for (size_t k = 0; k < chain.size(); ++k) figures[std::string("chain_") + chain[k].name] = bench::Median(t[k]);
  figures["chain_whole"] = bench::Median(whole);
  bench::WriteFigures(out, figures);
  return 0;
}

void Table(int processes, bool baseline, int bits) {
  auto all = bench::RunProcesses(processes, L"--child effects --baseline " + std::to_wstring(baseline ? 1 : 0) +
                                                L" --bits " + std::to_wstring(bits));
  std::printf("-- %d bits, %s kernels (%zu processes)\n", bits,
              baseline ? "SSE2-only" : (simd::WideKernelsAvailable() ? "AVX2 where written, else SSE2" : "SSE2"),
              all.size());
  if (all.empty()) return;
  // Each process's figure in copies of its own cold memcpy, then spread over the processes.
  auto copies = [&](const std::string& name) {
    std::vector<double> v;
    for (const auto& f : all)
      if (f.count(name)) v.push_back(f.at(name) / f.at("memcpy_cold"));
    std::sort(v.begin(), v.end());
    return v.empty() ? bench::Spread{} : bench::Spread{v.front(), v[v.size() / 2], v.back()};
  };
  const bench::Spread cold = bench::SpreadOf(all, "memcpy_cold"), hot = bench::SpreadOf(all, "memcpy_hot");
  std::printf("  memcpy of a 32-bit frame: cold %.3f / %.3f / %.3f ms, hot %.3f / %.3f / %.3f ms\n", cold.min,
              cold.median, cold.max, hot.min, hot.median, hot.max);
  std::printf("  %-16s %20s %20s %26s %26s\n", "", "alone ms median", "in the chain ms", "x cold copy alone",
              "x cold copy in the chain");
  std::printf("  %-16s %20s %20s %26s %26s\n", "", "", "", "min / median / max", "min / median / max");
  for (const char* name : {"noise", "saturation", "colour_values", "brightness", "contrast", "rotate90", "rotate270",
                           "flip", "mirror", "rotate180"}) {
    const bench::Spread a = bench::SpreadOf(all, std::string("alone_") + name);
    const bench::Spread c = bench::SpreadOf(all, std::string("chain_") + name);
    const bench::Spread ax = copies(std::string("alone_") + name), cx = copies(std::string("chain_") + name);
    if (c.median > 0)
      std::printf("  %-16s %20.3f %20.3f %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f\n", name, a.median, c.median, ax.min,
                  ax.median, ax.max, cx.min, cx.median, cx.max);
    else
      std::printf("  %-16s %20.3f %20s %8.2f %8.2f %8.2f\n", name, a.median, "", ax.min, ax.median, ax.max);
  }
  const bench::Spread w = bench::SpreadOf(all, "chain_whole"), wx = copies("chain_whole");
  std::printf("  %-16s %20s %20.3f %26s %8.2f %8.2f %8.2f\n", "whole chain", "", w.median, "", wx.min, wx.median,
              wx.max);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* child = bench::StrArg(argc, argv, L"--child");
  const wchar_t* out = bench::StrArg(argc, argv, L"--out");
  if (child && out && std::wstring(child) == L"effects")
    return EffectsChild(bench::IntArg(argc, argv, L"--baseline", 0) != 0, bench::IntArg(argc, argv, L"--bits", 32), out);
  const int processes = std::max(1, bench::IntArg(argc, argv, L"--processes", 5));
  std::printf("effects at %dx%d, medians of %d runs per process, spread over %d processes\n", kWidth, kHeight, kRuns,
              processes);
  std::printf("(the machine may be shared with other work: the spread shows the noise)\n");
  const workers::Pool* pool = workers::SharedPool();
  std::printf("noise and quarter turns run in bands on the calling thread and %d effect workers\n",
              pool ? pool->workers() : 0);
  Table(processes, false, 32);
  if (simd::WideKernelsAvailable()) Table(processes, true, 32);
  for (int bits : {24, 16, 8}) {
    Table(processes, false, bits);
    if (simd::WideKernelsAvailable()) Table(processes, true, bits);
  }
  return 0;
}
