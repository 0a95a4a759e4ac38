// The screen camera's benchmarks.
//
// Capture cost at 1920 x 1080, 32 and 8 bits: the screen grab alone, the camera's own work on
// it (cursor, overlay, effects off, pack) and the whole CaptureFrame, in ms and as multiples of
// a memcpy of the frame in the same run.
//
// Full screen at 30 fps ("--seconds S", 60 by default; "--repeats R" recordings, 3, each in a
// child process of its own): the camera records the whole screen without sound, 8 bits
// through MRLE, Record_MSPF 33; the figures are its dropped slots, each pass's work in
// intervals (median and p99), the capture's share of that work (the rest is the write) and how
// many of the dropped slots came right after a capture that alone took over 1.5 intervals.
//
// A/V sync soak ("--soak S", 300 by default; 0 leaves it out): a 320 x 240 window recorded with
// sound (Record_MSPF 20, PlayBack_FPS 50, MRLE at 8 bits, 16-bit mono 8000 Hz) turns white for
// one slot every 2 s while scripts/bench plays a 100 ms burst into the sound server at each
// request. A second wave-in device, opened 2 s before the recording, hears the same bursts on
// the real clock: it gives the playback path's latency. This program writes the recording, the
// reference wave and the times of the flashes into the folder RECLUME_BENCH_SYNC names (the
// Linux side sets it, plays the bursts and measures the offsets; see bench/scrcam_sync.py).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/seams.h"
#include "bench/bench_support.h"
#include "engine/camera/ScrCam.h"
#include "engine/camera/ScrCam_record.h"
#include "engine/capture/compressors.h"
#include "engine/capture/packed_frame.h"
#include "engine/capture/screen_grab.h"
#include "tests/support/doubles.h"
#include "tests/support/pattern_window.h"

namespace {

void Pump(DWORD ms) { base::PumpUntil([] { return false; }, ms); }

void CaptureCosts() {
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  std::printf("screen camera capture at %d x %d (median of 30):\n", width, height);
  for (int bits : {32, 8}) {
    ScrCam::TScreenCamera cam;
    cam.SetColors(bits == 8 ? engine::TPixelFormat::pf8bit : engine::TPixelFormat::pf32bit);
    cam.OvelayDrawing = true;
    cam.OnOverlay = [](ScrCam::TScreenCamera&, HDC, int, int) {};
    ScrCam::FrameCapturer capturer;
    engine::ScreenGrab grab(width, height);
    const double copy = bench::MemcpyMs(static_cast<size_t>(width) * height * bits / 8, 20, 6);
    const double grabMs = bench::MedianMs([&] { grab.Grab(0, 0, SRCCOPY, engine::GrabCursor{}); }, 30);
    engine::PackedFrame frame(engine::AllocPackedFrame(width, height, bits));
    const double packMs =
        bench::MedianMs([&] { grab.PackInto(frame.get(), engine::HeaderRewrite::Whole); }, 30);
    const double whole = bench::MedianMs(
        [&] { cam.CaptureFrame(capturer, 1, nullptr, 0, 0, width, height, cam.FilterColor()); }, 30);
    // The camera's own work is the whole less the grab; the pack, its largest part, is timed
    // on its own as well (the grab's spread makes the difference noisy).
    std::printf("  %2d bits: memcpy of the frame %.2f ms | grab %.2f ms (%.1f x) | pack %.2f ms (%.1f x) |"
                " camera's own work %.2f ms (%.1f x) | CaptureFrame %.2f ms (%.1f x)\n",
                bits, copy, grabMs, grabMs / copy, packMs, packMs / copy, whole - grabMs, (whole - grabMs) / copy,
                whole, whole / copy);
  }
}

// Each pass's work (from the time read before its capture to the end of its write) and its
// capture's part, in intervals; nothing is allocated while the recording runs.
class PassTimes : public ScrCam::RecordProbe {
 public:
  PassTimes(int interval, size_t capacity) : interval_(interval) {
    work.reserve(capacity);
    capture.reserve(capacity);
  }
  void Capturing() override { captured_ = began_ = base::NowMs(); }
  void Captured() override { captured_ = base::NowMs(); }
  void Passed(uint32_t, int slot, bool wrote) override {
    lastSlot = slot;
    // A slot skipped right after a pass whose capture alone ran over 1.5 intervals is the
    // platform's grab, not the loop's timing.
    if (wrote) {
      if (slot - lastWritten_ > 1) {
        skipped += slot - lastWritten_ - 1;
        if (previousCaptureMs_ > 1.5 * interval_) skippedAfterLongCapture += slot - lastWritten_ - 1;
      }
      lastWritten_ = slot;
    }
    previousCaptureMs_ = static_cast<double>(captured_ - began_);
    if (work.size() < work.capacity()) {
      work.push_back(static_cast<double>(base::NowMs() - began_) / interval_);
      capture.push_back(static_cast<double>(captured_ - began_) / interval_);
    }
  }
  std::vector<double> work, capture;
  int lastSlot = -1;
  int skipped = 0, skippedAfterLongCapture = 0;

 private:
  int interval_;
  uint32_t began_ = 0, captured_ = 0;
  int lastWritten_ = -1;
  double previousCaptureMs_ = 0;
};

int FullScreenChild(int seconds, const wchar_t* out) {
  testsupport::ScriptedPrompter prompter({}, IDYES);
  base::ScopedPrompter scoped(prompter);
  ::SetCursorPos(1910, 1070);
  ScrCam::TScreenCamera cam;
  cam.ScreenRegion = ScrCam::TScreenRegion::FullScreen;
  cam.SetColors(engine::TPixelFormat::pf8bit);
  cam.KeyFramesEvery = 1;
  cam.SetRecord_MSPF(33);
  cam.SetPlayBack_FPS(30);
  cam.UseAudioRecord = false;
  cam.GetVideoCompressors();
  for (int i = 0; i < cam.CompressorCount; ++i)
    if (engine::SameFourCC(cam.Compressors[i].fccHandler, mmioFOURCC('M', 'R', 'L', 'E'))) cam.SelectedCompressor = i;
  PassTimes times(33, static_cast<size_t>(seconds) * 40 + 64);
  cam.SetRecordProbe(&times);
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"reclume_bench_full" + std::to_wstring(::GetCurrentProcessId()) + L".avi";
  if (!cam.StartRecording(path)) return 1;
  Pump(static_cast<DWORD>(seconds) * 1000);
  cam.StopRecording();
  base::PumpUntil([&] { return !cam.HasRecordThread(); }, 120000);
  ::DeleteFileW(path.c_str());
  const int slots = times.lastSlot + 1;
  if (slots <= 0 || times.work.empty()) return 1;
  std::vector<double> work = times.work;
  double workSum = 0, captureSum = 0;
  for (size_t i = 0; i < work.size(); ++i) workSum += work[i], captureSum += times.capture[i];
  std::sort(work.begin(), work.end());
  bench::Figures figures;
  figures["slots"] = slots;
  figures["dropped_pct"] = 100.0 * cam.FramesDropped.load() / slots;
  figures["work_median_pct"] = 100 * work[work.size() / 2];
  figures["work_p99_pct"] = 100 * work[work.size() * 99 / 100];
  figures["capture_share_pct"] = workSum > 0 ? 100 * captureSum / workSum : 0;
  figures["skipped"] = times.skipped;
  figures["skipped_after_long_capture"] = times.skippedAfterLongCapture;
  bench::WriteFigures(out, figures);
  return 0;
}

void FullScreenTable(int repeats, int seconds) {
  std::printf("screen camera, full screen at 30 fps, 8 bits through MRLE, no sound, %d recordings of %d s:\n", repeats,
              seconds);
  auto all = bench::RunProcesses(repeats, L"--child full --seconds " + std::to_wstring(seconds));
  if (all.empty()) {
    std::printf("  no recording finished\n");
    return;
  }
  auto row = [&](const char* label, const char* name) {
    const bench::Spread s = bench::SpreadOf(all, name);
    std::printf("  %-40s %8.2f %8.2f %8.2f\n", label, s.min, s.median, s.max);
  };
  std::printf("  %-40s %8s %8s %8s\n", "", "min", "median", "max");
  row("slots", "slots");
  row("dropped slots %", "dropped_pct");
  row("work of a pass, % of the interval, median", "work_median_pct");
  row("work of a pass, % of the interval, p99", "work_p99_pct");
  row("the capture's share of the work %", "capture_share_pct");
  double skipped = 0, afterLong = 0;
  for (const bench::Figures& f : all) skipped += f.at("skipped"), afterLong += f.at("skipped_after_long_capture");
  std::printf("  dropped slots right after a pass whose capture alone took over 1.5 intervals: %.0f of %.0f\n",
              afterLong, skipped);
}

void WriteLine(const std::wstring& path, const std::string& line) {
  if (FILE* f = _wfopen(path.c_str(), L"a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

int SyncSoak(int seconds) {
  const wchar_t* dirVar = ::_wgetenv(L"RECLUME_BENCH_SYNC");
  if (!dirVar) {
    std::printf("A/V sync soak left out (scripts/bench runs it, with the bursts)\n");
    return 0;
  }
  std::wstring dir = dirVar;
  if (dir.back() != L'\\') dir += L'\\';
  const std::wstring facts = dir + L"facts.txt";
  ::DeleteFileW(facts.c_str());
  // Every question is answered Yes; none is expected.
  testsupport::ScriptedPrompter prompter({}, IDYES);
  base::ScopedPrompter scoped(prompter);

  // The reference device, started 2 s before the recording.
  ScrCam::CameraAudioRecorder reference;
  reference.SetPCMFormat(audio::Mono16bit8000Hz);
  reference.SetAsync(true);
  if (!reference.RecordToFile(dir + L"reference.wav")) {
    std::printf("the reference device did not start\n");
    return 1;
  }
  Pump(2000);

  testsupport::PatternWindow flash;
  const RECT area{200, 160, 520, 400};
  if (!flash.Show(area)) return 1;
  flash.SetSolid(RGB(0, 0, 0));
  ::SetCursorPos(1910, 1070);
  ScrCam::TScreenCamera cam;
  cam.ScreenRegion = ScrCam::TScreenRegion::FixedStable;
  cam.SetCaptureArea({area.left, area.top, 320, 240});
  cam.SetColors(engine::TPixelFormat::pf8bit);
  cam.KeyFramesEvery = 1;
  cam.SetRecord_MSPF(20);
  cam.SetPlayBack_FPS(50);
  cam.UseAudioRecord = true;
  cam.SelectedAudioFormat = 2;
  cam.GetVideoCompressors();
  for (int i = 0; i < cam.CompressorCount; ++i)
    if (engine::SameFourCC(cam.Compressors[i].fccHandler, mmioFOURCC('M', 'R', 'L', 'E'))) cam.SelectedCompressor = i;
  std::vector<std::wstring> errors;
  cam.OnError = [&](ScrCam::TScreenCamera&, const std::wstring& text) { errors.push_back(text); };
  if (!cam.StartRecording(dir + L"sync.avi")) return 1;

  // A flash every 2 s from 4 s on, each with its burst requested at once.
  const uint32_t start = base::NowMs();
  int n = 0;
  for (uint32_t at = 4000; at + 1000 < static_cast<uint32_t>(seconds) * 1000; at += 2000, ++n) {
    base::PumpUntil([&] { return base::NowMs() - start >= at; }, 10000);
    flash.SetSolid(RGB(255, 255, 255));
    const uint32_t flashed = base::NowMs();
    WriteLine(dir + L"burst-" + std::to_wstring(n), "");
    Pump(25);  // one slot and a little: at least one frame sees it
    flash.SetSolid(RGB(0, 0, 0));
    WriteLine(facts, "flash " + std::to_string(n) + " " + std::to_string(flashed));
  }
  base::PumpUntil([&] { return base::NowMs() - start >= static_cast<uint32_t>(seconds) * 1000; }, 10000);
  cam.StopRecording();
  base::PumpUntil([&] { return !cam.HasRecordThread(); }, 60000);
  reference.Stop();
  reference.WaitUntilClosed();
  uint32_t refStart = 0;
  reference.StartedAt(refStart);
  WriteLine(facts, "reference_first " + std::to_string(refStart + static_cast<uint32_t>(reference.HeadGapMs())));
  std::printf("A/V sync soak: %d s, %d flashes, %d frames written, %d dropped, merged: %s\n", seconds, n,
              cam.FramesWritten.load(), cam.FramesDropped.load(), ScrCam::MergeSucceeded ? "yes" : "no");
  for (const std::wstring& e : errors) std::printf("  error: %ls\n", e.c_str());
  return ScrCam::MergeSucceeded ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  base::StartMainDispatcher();
  const wchar_t* child = bench::StrArg(argc, argv, L"--child");
  const wchar_t* out = bench::StrArg(argc, argv, L"--out");
  if (child && out && std::wstring(child) == L"full") {
    const int result = FullScreenChild(bench::IntArg(argc, argv, L"--seconds", 60), out);
    base::StopMainDispatcher();
    return result;
  }
  CaptureCosts();
  std::fflush(stdout);
  FullScreenTable(std::max(1, bench::IntArg(argc, argv, L"--repeats", 3)), bench::IntArg(argc, argv, L"--seconds", 60));
  std::fflush(stdout);
  const int soak = bench::IntArg(argc, argv, L"--soak", 300);
  int result = 0;
  if (soak > 0)
    result = SyncSoak(std::max(10, soak));
  else
    std::printf("A/V sync soak left out (--soak 0)\n");
  base::StopMainDispatcher();
  return result;
}
