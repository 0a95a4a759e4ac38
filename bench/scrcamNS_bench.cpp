// Figures of the sound-less recorder at the screen's full size (1920 x 1080 under scripts/bench):
//   - what one pass costs at 32 and 8 bits: the grab alone (BitBlt and GetDIBits into objects
//     made once), the recorder's pass (the grab, the cursor and the bracket paints), its own
//     work (pass - grab), against a memcpy of the frame's bytes from memory (cold) and from the
//     cache (hot), and the objects a pass makes after the first; medians over processes;
//   - the real recorder at 320 x 240 and at full screen, 10 and 30 fps, also with every pass
//     padded to 85 % of the interval: dropped slots and the largest |slot x interval - time of
//     the grab| of the written frames (8 bits through MRLE, the one compressor that compresses
//     here);
//   - a soak at full screen: memory, open handles and the GDI balance at 30 s and at the end;
//   - with --bare S: the bare grab loop at full screen on the frame loop's 30 fps deadlines for S
//     seconds a run, BitBlt and GetDIBits timed apart, alone and with each frame compressed
//     (MRLE) and written to an AVI file on the same thread, with the times of the grabs over
//     50 ms to set beside other probes of the machine; --strips N grabs in N bands of rows (one
//     BitBlt each) instead of one.
// Arguments: --processes N (5), --seconds S per recording (30), --repeats R recordings per row
// (3), --soak S (300; 0 leaves it out), --full30-only 1 (only the full screen at 30 fps as is,
// no pass table), --bare S (0: left out), --strips N (1). "grab %" is the grab's (and cursor's)
// share of each pass's work, the rest being the frame's compression and write; "after long
// grab" counts the dropped slots that came right after a pass whose grab alone took over 1.5
// intervals (the platform's, not the loop's timing). Each figure comes from child processes of this program.
#include <windows.h>
#include <psapi.h>
#include <vfw.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/thread.h"
#include "base/unique.h"
#include "bench/bench_support.h"
#include "engine/overlays/flashwnd.h"
#include "engine/soundless/scrcamNS.h"
#include "engine/capture/compressed_writer.h"
#include "engine/soundless/scrcamNS_capture.h"
#include "engine/capture/scrcamNS_rules.h"
#include "engine/capture/screen_grab.h"
#include "engine/capture/vfw_handles.h"
#include "tests/support/fixed_area.h"
#include "tests/support/object_counters.h"
#include "tests/support/process_figures.h"

namespace {

constexpr int kFrames = 41;
constexpr RECT kSmallArea{100, 100, 420, 340};  // 320 x 240

int ScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

// --- one process: the cost of a pass ---

struct PassArgs {
  int bits = 32;
  flashwnd::TFlashingWnd* brackets = nullptr;
  bench::Figures figures;
};

// One grab's ms.
double TimedGrab(scrcamNS::ScreenGrabber& grabber, const scrcamNS::BracketPainter& paint) {
  const double start = bench::NowMsPrecise();
  grabber.Grab(0, 0, paint);
  return bench::NowMsPrecise() - start;
}

void PassThread(PassArgs* args) {
  const int w = ScreenWidth(), h = ScreenHeight();
  scrcamNS::CaptureSettings bare;
  bare.bitsPerPixel = args->bits;
  bare.drawCursor = false;
  scrcamNS::CaptureSettings recorder = bare;
  recorder.drawCursor = true;
  recorder.arrow = ::LoadCursorW(nullptr, IDC_ARROW);
  recorder.arrowHotspot = scrcamNS::CursorHotspot(recorder.arrow);
  flashwnd::TFlashingWnd* wnd = args->brackets;
  const scrcamNS::BracketPainter paint = [wnd](COLORREF c) { wnd->PostPaint(c); };

  scrcamNS::ScreenGrabber plain(w, h, bare), full(w, h, recorder);
  if (!plain.ok() || !full.ok()) return;
  // The three kinds take turns, so a busy moment of the machine hits them alike. At full
  // screen the recorder shows no brackets (they would all be off screen); the pass with them
  // is what a recording of a smaller area pays on top.
  plain.Grab(0, 0, nullptr);
  full.Grab(0, 0, paint);
  std::vector<double> grab, pass, passBrackets;
  for (int i = 0; i < kFrames; ++i) {
    grab.push_back(TimedGrab(plain, nullptr));
    pass.push_back(TimedGrab(full, nullptr));
    passBrackets.push_back(TimedGrab(full, paint));
  }
  args->figures["grab"] = bench::Median(grab);
  args->figures["pass"] = bench::Median(pass);
  args->figures["pass_brackets"] = bench::Median(passBrackets);
  // The objects, counted over passes with nothing of the benchmark's own in between.
  testsupport::ObjectCounters counters;
  const testsupport::ObjectCounts before = testsupport::ObjectCounters::Now();
  for (int i = 0; i < kFrames; ++i) full.Grab(0, 0, paint);
  const testsupport::ObjectCounts made = testsupport::ObjectCounters::Now() - before;
  args->figures["objects_per_frame"] = static_cast<double>(made.total()) / kFrames;
  args->figures["counters_ok"] = counters.ok();
}

int PassChild(int bits, const wchar_t* out) {
  const size_t bytes = static_cast<size_t>(ScreenWidth()) * ScreenHeight() * bits / 8;
  bench::Figures figures;
  // Cold: enough pairs that they hold more than the processor's caches (over 128 MB).
  const int coldPairs = static_cast<int>(std::max<size_t>(8, (size_t{128} << 20) / (2 * bytes) + 1));
  figures["memcpy_cold"] = bench::MemcpyMs(bytes, 24, coldPairs);
  figures["memcpy_hot"] = bench::MemcpyMs(bytes, 24, 1);
  flashwnd::TFlashingWnd wnd;
  wnd.Create(nullptr);
  wnd.SetUpRegion(0, 0, ScreenWidth(), ScreenHeight());
  ::ShowWindow(wnd.hwnd(), SW_SHOWNOACTIVATE);
  PassArgs args;
  args.bits = bits;
  args.brackets = &wnd;
  // The grabs run on a worker, as in a recording; this thread runs the bracket paints.
  base::Thread thread;
  if (thread.Start("pass bench", [&args] { PassThread(&args); })) thread.Join();
  base::PumpPending();
  for (const auto& [name, value] : args.figures) figures[name] = value;
  bench::WriteFigures(out, figures);
  return 0;
}

// --- one process: a real recording ---

using testsupport::FixedArea;

// Pads each pass to `share` of the interval (busy, as real work would be), measures how far
// each written frame's grab was from its slot's time and how long each pass's own work took
// (grab, cursor, brackets, compression and write), and samples the object counts.
class Probe : public scrcamNS::TScreenCamNS::PassProbe {
 public:
  Probe(scrcamNS::TScreenCamNS& cam, int interval, double share, size_t capacity)
      : cam_(cam), interval_(interval), share_(share) {
    work.reserve(capacity);  // nothing allocated while the recording runs
    grab.reserve(capacity);
  }
  void GrabEnded() override { grabEnd_ = ::timeGetTime(); }
  void Grabbed(uint32_t elapsed, int slot, bool written) override {
    const DWORD now = ::timeGetTime();
    if (work.size() < work.capacity()) {
      work.push_back(static_cast<double>(now - cam_.StartTime() - elapsed) / interval_);
      grab.push_back(static_cast<double>(grabEnd_ - cam_.StartTime() - elapsed) / interval_);
    }
    if (written) worst = std::max(worst, std::abs(static_cast<double>(slot) * interval_ - elapsed));
    // A slot skipped right after a pass whose grab alone ran over 1.5 intervals is the
    // platform's grab, not the loop's timing.
    const double grabMs = static_cast<double>(grabEnd_ - cam_.StartTime() - elapsed);
    if (written) {
      if (slot - lastWritten_ > 1) {
        skipped += slot - lastWritten_ - 1;
        if (previousGrabMs_ > 1.5 * interval_) skippedAfterLongGrab += slot - lastWritten_ - 1;
      }
      lastWritten_ = slot;
    }
    previousGrabMs_ = grabMs;
    const int n = ++passes;
    if (n == 3) first = testsupport::ObjectCounters::Now();
    if (n >= 3) last = testsupport::ObjectCounters::Now();
    if (share_ > 0) {
      const double until = elapsed + share_ * interval_;
      while (static_cast<double>(::timeGetTime() - cam_.StartTime()) < until) {
      }
    }
  }
  double worst = 0;
  int skipped = 0, skippedAfterLongGrab = 0;
  std::vector<double> work;  // each pass's work in intervals
  std::vector<double> grab;  // the grab's part of it
  std::atomic<int> passes{0};
  testsupport::ObjectCounts first, last;

 private:
  scrcamNS::TScreenCamNS& cam_;
  int interval_;
  double share_;
  DWORD grabEnd_ = 0;
  int lastWritten_ = -1;
  double previousGrabMs_ = 0;
};

bool UseMrle(scrcamNS::TScreenCamNS& cam) {
  cam.SetBitsPerPixel(8);
  cam.RefreshCompressors();
  for (int i = 0; i < cam.CompressorCount(); ++i) {
    if ((cam.Compressor(i).fccHandler | 0x20202020) == mmioFOURCC('m', 'r', 'l', 'e')) {
      cam.SetCompressorIndex(i);
      cam.SetKeyFrameEvery(1);
      return true;
    }
  }
  return false;
}

std::wstring TempAvi(const wchar_t* stem) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + stem + std::to_wstring(::GetCurrentProcessId()) + L".avi";
}

int RecordChild(bool full, int fps, int padPercent, int seconds, const wchar_t* out) {
  testsupport::ObjectCounters counters;
  scrcamNS::TScreenCamNS cam;
  if (!UseMrle(cam)) return 1;
  const int interval = (1000 + fps / 2) / fps;
  cam.SetCaptureInterval(interval);
  cam.SetFrameRate(fps);
  Probe probe(cam, interval, padPercent / 100.0, static_cast<size_t>(seconds) * fps * 2 + 64);
  cam.SetPassProbe(&probe);
  std::atomic<int> errors{0};
  cam.OnError = [&](scrcamNS::TScreenCamNS&) { ++errors; };
  const std::wstring path = TempAvi(L"reclume_bench_rec");
  const RECT area = full ? RECT{0, 0, ScreenWidth(), ScreenHeight()} : kSmallArea;
  cam.StartRecording(std::make_shared<FixedArea>(area), path);
  base::PumpUntil([&] { return !cam.Recording(); }, static_cast<DWORD>(seconds) * 1000);
  cam.StopRecording();
  base::PumpUntil([&] { return !cam.HasRecordThread(); }, 60000);
  ::DeleteFileW(path.c_str());
  const int slots = cam.FrameIndex() + 1;
  const int passes = probe.passes.load();
  bench::Figures figures;
  figures["slots"] = slots;
  figures["dropped_pct"] = slots > 0 ? 100.0 * cam.FramesDropped() / slots : 0;
  figures["worst_error_ms"] = probe.worst;
  figures["worst_error_slots"] = probe.worst / interval;
  figures["objects_per_frame"] = passes > 3 ? static_cast<double>((probe.last - probe.first).total()) / (passes - 3) : 0;
  figures["errors"] = errors.load();
  figures["skipped"] = probe.skipped;
  figures["skipped_after_long_grab"] = probe.skippedAfterLongGrab;
  // How often the work alone (before any padding) did not fit 85 % of the interval.
  std::vector<double> work = probe.work;
  double workSum = 0, grabSum = 0;
  for (size_t i = 0; i < work.size(); ++i) workSum += work[i], grabSum += probe.grab[i];
  std::sort(work.begin(), work.end());
  if (!work.empty()) {
    figures["work_median_pct"] = 100 * work[work.size() / 2];
    figures["work_p99_pct"] = 100 * work[work.size() * 99 / 100];
    figures["grab_share_pct"] = workSum > 0 ? 100 * grabSum / workSum : 0;
  }
  bench::WriteFigures(out, figures);
  return 0;
}

// --- one process: the bare grab loop ---

// The grab alone at the screen's full size on the frame loop's own deadlines (RunFrameLoop):
// BitBlt from the screen into the compatible bitmap, then GetDIBits into the 8-bit packed
// frame, timed apart. With --load 1 each written pass also compresses its frame with MRLE and
// writes it to an AVI file, as a recording does on its record thread, so a stall that comes
// only with that work shows itself against the grab alone.
class BareSteps : public scrcamNS::FrameLoopSteps {
 public:
  BareSteps(engine::ScreenGrab& grab, engine::PackedFrame& frame, engine::CompressedWriter* writer, int seconds,
            size_t capacity, int strips, HDC screen)
      : grab_(grab), frame_(frame), writer_(writer), seconds_(seconds), strips_(strips), screen_(screen) {
    bitblt.reserve(capacity);
    dibits.reserve(capacity);
    write.reserve(capacity);
    start_ = ::timeGetTime();
  }
  uint32_t Elapsed() override { return ::timeGetTime() - start_; }
  bool Running() override { return Elapsed() < static_cast<uint32_t>(seconds_) * 1000; }
  bool Grab() override {
    const double a = bench::NowMsPrecise();
    if (strips_ > 1) {
      const int rows = (grab_.height() + strips_ - 1) / strips_;
      for (int y = 0; y < grab_.height(); y += rows)
        ::BitBlt(grab_.dc(), 0, y, grab_.width(), std::min(rows, grab_.height() - y), screen_, 0, y, SRCCOPY);
    } else {
      grab_.Grab(0, 0, SRCCOPY, engine::GrabCursor{});
    }
    const double b = bench::NowMsPrecise();
    grab_.PackInto(frame_.get(), engine::HeaderRewrite::ColorCountOnly);
    const double c = bench::NowMsPrecise();
    if (bitblt.size() < bitblt.capacity()) bitblt.push_back(b - a), dibits.push_back(c - b);
    // When the long ones came (UTC), to set beside other probes of the machine.
    if (c - a > 50 && longAt.size() < 8) {
      SYSTEMTIME now;
      ::GetSystemTime(&now);
      longAt.push_back(now.wHour * 10000.0 + now.wMinute * 100 + now.wSecond + now.wMilliseconds / 1000.0);
    }
    return true;
  }
  bool Write(int slot, uint32_t) override {
    if (!writer_) return true;
    const double a = bench::NowMsPrecise();
    const bool ok = writer_->Write(slot, frame_.pixels(), static_cast<LONG>(frame_->biSizeImage)) == AVIERR_OK;
    if (write.size() < write.capacity()) write.push_back(bench::NowMsPrecise() - a);
    return ok;
  }
  void Passed(uint32_t, int, bool) override {}
  bool Wait(uint32_t ms) override {
    ::Sleep(ms);
    return true;
  }
  std::vector<double> bitblt, dibits, write;
  std::vector<double> longAt;  // hhmmss.mmm of the grabs over 50 ms

 private:
  engine::ScreenGrab& grab_;
  engine::PackedFrame& frame_;
  engine::CompressedWriter* writer_;
  int seconds_;
  int strips_;
  HDC screen_;
  DWORD start_ = 0;
};

int BareChild(int seconds, bool load, int strips, const wchar_t* out) {
  const int w = ScreenWidth(), h = ScreenHeight(), interval = 33;
  engine::ScreenGrab grab(w, h);
  engine::PackedFrame frame(engine::AllocPackedFrame(w, h, 8));
  if (!grab.ok() || !frame) return 1;
  grab.Grab(0, 0, SRCCOPY, engine::GrabCursor{});
  grab.PackInto(frame.get(), engine::HeaderRewrite::ColorCountOnly);
  engine::AviLibrary library;
  engine::UniqueAviFile file;
  engine::UniqueAviStream stream;
  engine::CompressedWriter writer;
  const std::wstring path = TempAvi(L"reclume_bench_bare");
  if (load) {
    AVISTREAMINFOW info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 30;
    info.dwSuggestedBufferSize = frame->biSizeImage;
    info.rcFrame = RECT{0, 0, w, h};
    AVICOMPRESSOPTIONS options{};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = mmioFOURCC('m', 'r', 'l', 'e');
    options.dwKeyFrameEvery = 1;
    options.dwQuality = 7500;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
    if (::AVIFileOpenW(file.put(), path.c_str(), OF_WRITE | OF_CREATE, nullptr) != AVIERR_OK ||
        ::AVIFileCreateStream(file.get(), stream.put(), &info) != AVIERR_OK ||
        writer.Open(stream.get(), options) != AVIERR_OK ||
        writer.SetFormat(frame.get(), static_cast<LONG>(frame.formatSize())) != AVIERR_OK)
      return 1;
  }
  engine::TimerPeriod period;
  scrcamNS::FrameSchedule schedule(interval);
  base::WindowDC screen(nullptr);
  BareSteps steps(grab, frame, load ? &writer : nullptr, seconds, static_cast<size_t>(seconds) * 40 + 64, strips,
                  screen.get());
  scrcamNS::RunFrameLoop(steps, schedule, interval);
  writer.Close();
  stream.reset();
  file.reset();
  ::DeleteFileW(path.c_str());
  bench::Figures figures;
  const int slots = schedule.last() + 1;
  figures["slots"] = slots;
  figures["dropped_pct"] = slots > 0 ? 100.0 * schedule.dropped() / slots : 0;
  auto spread = [&](const char* name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) return;
    figures[std::string(name) + "_p50"] = v[v.size() / 2];
    figures[std::string(name) + "_p99"] = v[v.size() * 99 / 100];
    figures[std::string(name) + "_max"] = v.back();
  };
  std::vector<double> whole;
  int longGrabs = 0, longBitblt = 0, longDibits = 0;
  double longMs = 0;
  for (size_t i = 0; i < steps.bitblt.size(); ++i) {
    whole.push_back(steps.bitblt[i] + steps.dibits[i]);
    if (whole.back() > 1.5 * interval) ++longGrabs, longMs += whole.back();
    if (steps.bitblt[i] > 1.5 * interval) ++longBitblt;
    if (steps.dibits[i] > 1.5 * interval) ++longDibits;
  }
  spread("bitblt", steps.bitblt);
  spread("dibits", steps.dibits);
  spread("grab", whole);
  spread("write", steps.write);
  figures["long_grabs"] = longGrabs;
  figures["long_bitblt"] = longBitblt;
  figures["long_dibits"] = longDibits;
  figures["long_mean_ms"] = longGrabs ? longMs / longGrabs : 0;
  for (size_t i = 0; i < steps.longAt.size(); ++i) figures["long_at_" + std::to_string(i)] = steps.longAt[i];
  bench::WriteFigures(out, figures);
  return 0;
}

// --- one process: the soak ---

void Sample(bench::Figures& figures, const std::string& at) {
  PROCESS_MEMORY_COUNTERS mem{};
  mem.cb = sizeof mem;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &mem, sizeof mem);
  const std::string suffix = "_" + at;
  figures["rss_mb" + suffix] = mem.WorkingSetSize / 1048576.0;
  figures["private_mb" + suffix] = mem.PagefileUsage / 1048576.0;
  figures["handles" + suffix] = testsupport::ProcessHandleCount();
  figures["gdi_balance" + suffix] = testsupport::ObjectCounters::Now().gdiBalance();
}

int SoakChild(int seconds, const wchar_t* out) {
  testsupport::ObjectCounters counters;
  scrcamNS::TScreenCamNS cam;
  if (!UseMrle(cam)) return 1;
  cam.SetCaptureInterval(33);
  cam.SetFrameRate(30);
  const std::wstring path = TempAvi(L"reclume_bench_soak");
  bench::Figures figures;
  cam.StartRecording(std::make_shared<FixedArea>(RECT{0, 0, ScreenWidth(), ScreenHeight()}), path);
  // Samples every 30 s (and at the end), so a one-time step tells itself from a steady climb.
  const DWORD start = ::GetTickCount();
  int samples = 0;
  for (int at = 30; samples == 0 || at - 30 < seconds; at += 30) {
    const DWORD until = static_cast<DWORD>(std::min(at, seconds)) * 1000;
    base::PumpUntil([&] { return !cam.Recording() || ::GetTickCount() - start >= until; }, until);
    Sample(figures, std::to_string(std::min(at, seconds)));
    ++samples;
  }
  figures["dropped_pct"] = 100.0 * cam.FramesDropped() / (cam.FrameIndex() + 1);
  cam.StopRecording();
  base::PumpUntil([&] { return !cam.HasRecordThread(); }, 60000);
  ::DeleteFileW(path.c_str());
  bench::WriteFigures(out, figures);
  return 0;
}

// --- the parent: runs the children and prints the table ---

void PassTable(int processes) {
  std::printf("one pass at %dx%d, medians of %d frames per process, min / median / max over %d processes\n",
              ScreenWidth(), ScreenHeight(), kFrames, processes);
  for (int bits : {32, 8}) {
    auto all = bench::RunProcesses(processes, L"--child pass --bits " + std::to_wstring(bits));
    if (all.empty()) {
      std::printf("  %d bits: no process finished\n", bits);
      continue;
    }
    auto show = [&](const char* label, const std::string& name) {
      const bench::Spread s = bench::SpreadOf(all, name);
      std::printf("  %-44s %7.2f %7.2f %7.2f ms\n", label, s.min, s.median, s.max);
    };
    std::printf(" %d bits (%zu processes):\n", bits, all.size());
    show("memcpy of the frame's bytes, cold", "memcpy_cold");
    show("memcpy of the frame's bytes, hot", "memcpy_hot");
    show("grab alone (BitBlt + GetDIBits, reused)", "grab");
    show("recorder's pass (grab + cursor)", "pass");
    show("recorder's pass with bracket paints", "pass_brackets");
    // Own work and its multiples, per process, then over the processes.
    std::vector<double> own, ownBrackets, cold, hot, coldB, objects;
    for (const auto& f : all) {
      own.push_back(f.at("pass") - f.at("grab"));
      ownBrackets.push_back(f.at("pass_brackets") - f.at("grab"));
      cold.push_back(own.back() / f.at("memcpy_cold"));
      hot.push_back(own.back() / f.at("memcpy_hot"));
      coldB.push_back(ownBrackets.back() / f.at("memcpy_cold"));
      objects.push_back(f.at("objects_per_frame"));
    }
    std::printf("  %-44s %7.2f ms = %5.2f x cold memcpy, %5.2f x hot\n", "own work = pass - grab (median)",
                bench::Median(own), bench::Median(cold), bench::Median(hot));
    std::printf("  %-44s %7.2f ms = %5.2f x cold memcpy\n", "own work with bracket paints (median)",
                bench::Median(ownBrackets), bench::Median(coldB));
    std::printf("  %-44s %7.2f (largest over the processes %.2f)\n", "objects made per pass after the first",
                bench::Median(objects), *std::max_element(objects.begin(), objects.end()));
  }
}

void RecordTable(int repeats, int seconds, bool onlyFull30) {
  std::printf("the recorder, 8 bits through MRLE, %d recordings of %d s per row\n", repeats, seconds);
  std::printf("  %-36s %5s %10s %12s %18s %12s %18s %8s %16s\n", "area, rate, work", "slots", "dropped %", "worst run %",
              "worst |err| slots", "objects/pass", "work % med / p99", "grab %", "after long grab");
  std::printf("  (\"after long grab\": the dropped slots of all its recordings that came right after a pass whose\n"
              "   grab alone took over 1.5 intervals, of all dropped slots)\n");
  for (bool full : {false, true}) {
    for (int fps : {10, 30}) {
      for (int pad : {0, 85}) {
        if (onlyFull30 && !(full && fps == 30 && pad == 0)) continue;
        wchar_t args[128];
        std::swprintf(args, 128, L"--child record --full %d --fps %d --pad %d --seconds %d", full ? 1 : 0, fps, pad,
                      seconds);
        auto all = bench::RunProcesses(repeats, args);
        char label[64];
        std::snprintf(label, sizeof label, "%s, %d fps, %s", full ? "full screen" : "320 x 240", fps,
                      pad ? "padded to 85 %" : "as is");
        if (all.empty()) {
          std::printf("  %-36s no recording finished\n", label);
          continue;
        }
        const bench::Spread slots = bench::SpreadOf(all, "slots"), dropped = bench::SpreadOf(all, "dropped_pct"),
                            error = bench::SpreadOf(all, "worst_error_slots"),
                            objects = bench::SpreadOf(all, "objects_per_frame");
        double skipped = 0, afterLongGrab = 0;
        for (const bench::Figures& f : all) skipped += f.at("skipped"), afterLongGrab += f.at("skipped_after_long_grab");
        char afterLong[32];
        std::snprintf(afterLong, sizeof afterLong, "%.0f of %.0f", afterLongGrab, skipped);
        std::printf("  %-36s %5.0f %10.2f %12.2f %18.2f %12.2f %8.0f / %6.0f %8.0f %16s%s\n", label, slots.median,
                    dropped.median, dropped.max, error.max, objects.max, bench::SpreadOf(all, "work_median_pct").median,
                    bench::SpreadOf(all, "work_p99_pct").max, bench::SpreadOf(all, "grab_share_pct").median, afterLong,
                    bench::SpreadOf(all, "errors").max > 0 ? "  (a recording failed)" : "");
      }
    }
  }
}

void BareTable(int repeats, int seconds, int strips) {
  std::printf("the bare grab loop at full screen, 30 fps slots, 8 bits, %d runs of %d s per row%s\n", repeats, seconds,
              strips > 1 ? (", the grab in " + std::to_string(strips) + " bands of rows").c_str() : "");
  std::printf("  %-34s %9s %11s %18s %18s %18s %16s %14s\n", "what", "dropped %", "worst run %", "BitBlt p50/p99/max",
              "GetDIBits p50/p99/max", "write p50/p99/max", "grabs > 1.5 int", "of which BitBlt");
  for (int load : {0, 1}) {
    auto all = bench::RunProcesses(repeats, L"--child bare --load " + std::to_wstring(load) + L" --seconds " +
                                                std::to_wstring(seconds) + L" --strips " + std::to_wstring(strips));
    const char* label = load ? "grab, then MRLE + AVI write" : "grab alone";
    if (all.empty()) {
      std::printf("  %-34s no run finished\n", label);
      continue;
    }
    auto med = [&](const char* n) { return bench::SpreadOf(all, n).median; };
    auto top = [&](const char* n) { return bench::SpreadOf(all, n).max; };
    double longGrabs = 0, longBitblt = 0;
    for (const bench::Figures& f : all) longGrabs += f.at("long_grabs"), longBitblt += f.at("long_bitblt");
    char b[32], d[32], wr[32];
    std::snprintf(b, sizeof b, "%.1f/%.1f/%.0f", med("bitblt_p50"), med("bitblt_p99"), top("bitblt_max"));
    std::snprintf(d, sizeof d, "%.1f/%.1f/%.0f", med("dibits_p50"), med("dibits_p99"), top("dibits_max"));
    std::snprintf(wr, sizeof wr, "%.1f/%.1f/%.0f", load ? med("write_p50") : 0.0, load ? med("write_p99") : 0.0,
                  load ? top("write_max") : 0.0);
    std::printf("  %-34s %9.2f %11.2f %18s %18s %18s %16.0f %14.0f\n", label, med("dropped_pct"), top("dropped_pct"), b,
                d, wr, longGrabs, longBitblt);
    std::printf("    grabs over 50 ms at (UTC):");
    for (const bench::Figures& f : all)
      for (const auto& [name, value] : f)
        if (name.rfind("long_at_", 0) == 0) {
          const int hhmmss = static_cast<int>(value);
          std::printf(" %02d:%02d:%06.3f", hhmmss / 10000, hhmmss / 100 % 100, hhmmss % 100 + (value - hhmmss));
        }
    std::printf("\n");
  }
}

void SoakTable(int seconds) {
  std::printf("soak: full screen, 30 fps, 8 bits through MRLE, %d s\n", seconds);
  auto all = bench::RunProcesses(1, L"--child soak --seconds " + std::to_wstring(seconds));
  if (all.empty()) {
    std::printf("  the soak did not finish\n");
    return;
  }
  const bench::Figures& f = all[0];
  std::printf("  %8s %10s %12s %10s %12s\n", "at s", "rss MB", "private MB", "handles", "GDI balance");
  for (int at = 30; at - 30 < seconds; at += 30) {
    const std::string t = std::to_string(std::min(at, seconds));
    if (!f.count("rss_mb_" + t)) continue;
    std::printf("  %8s %10.1f %12.1f %10.0f %12.0f\n", t.c_str(), f.at("rss_mb_" + t), f.at("private_mb_" + t),
                f.at("handles_" + t), f.at("gdi_balance_" + t));
  }
  std::printf("  dropped slots %.2f %%\n", f.at("dropped_pct"));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  base::StartMainDispatcher();
  int result = 0;
  const wchar_t* child = bench::StrArg(argc, argv, L"--child");
  const wchar_t* out = bench::StrArg(argc, argv, L"--out");
  if (child && out) {
    const std::wstring mode = child;
    if (mode == L"pass") result = PassChild(bench::IntArg(argc, argv, L"--bits", 32), out);
    if (mode == L"record")
      result = RecordChild(bench::IntArg(argc, argv, L"--full", 0) != 0, bench::IntArg(argc, argv, L"--fps", 10),
                           bench::IntArg(argc, argv, L"--pad", 0), bench::IntArg(argc, argv, L"--seconds", 30), out);
    if (mode == L"bare")
      result = BareChild(bench::IntArg(argc, argv, L"--seconds", 60), bench::IntArg(argc, argv, L"--load", 0) != 0,
                          bench::IntArg(argc, argv, L"--strips", 1), out);
    if (mode == L"soak") result = SoakChild(bench::IntArg(argc, argv, L"--seconds", 300), out);
  } else {
    std::printf("(the machine may be shared with other work: figures are medians, and the spread shows the noise)\n");
    if (const int bare = bench::IntArg(argc, argv, L"--bare", 0); bare > 0) {
      BareTable(std::max(1, bench::IntArg(argc, argv, L"--repeats", 3)), bare,
                std::max(1, bench::IntArg(argc, argv, L"--strips", 1)));
      std::fflush(stdout);
    }
    if (!bench::IntArg(argc, argv, L"--full30-only", 0)) PassTable(std::max(1, bench::IntArg(argc, argv, L"--processes", 5)));
    std::fflush(stdout);
    RecordTable(std::max(1, bench::IntArg(argc, argv, L"--repeats", 3)), bench::IntArg(argc, argv, L"--seconds", 30),
                bench::IntArg(argc, argv, L"--full30-only", 0) != 0);
    std::fflush(stdout);
    const int soak = bench::IntArg(argc, argv, L"--soak", 300);
    if (soak > 0) SoakTable(soak);
  }
  base::StopMainDispatcher();
  return result;
}
