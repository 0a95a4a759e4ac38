// Figures of the sound-less recorder at 1920 x 1080: what one grab costs (screen copy, cursor,
// packing) at 32 and 8 bits with the corner brackets painted around it or not, against a
// memcpy of the same bytes; and how well the frame loop keeps time over 30 s at 100 ms / 10 fps
// and 33 ms / 30 fps (8 bits through MRLE, the one compressor that compresses here).
#include <windows.h>
#include <vfw.h>


#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/thread.h"
#include "bench/bench_timing.h"
#include "base/main_call.h"
#include "base/seams.h"
#include "base/unique.h"
#include "engine/flashwnd.h"
#include "engine/scrcamNS.h"
#include "engine/scrcamNS_capture.h"
#include "engine/scrcamNS_rules.h"

namespace {

using bench::MemcpyMs;
using bench::NowMsPrecise;

constexpr int kWidth = 1920, kHeight = 1080;

struct GrabArgs {
  int bits = 32;
  bool brackets = false;
  int rounds = 41;
  flashwnd::TFlashingWnd* wnd = nullptr;
  double msPerFrame = 0;
};

unsigned __stdcall GrabThread(void* p) {
  auto* args = static_cast<GrabArgs*>(p);
  scrcamNS::CaptureSettings settings;
  settings.bitsPerPixel = args->bits;
  settings.drawCursor = true;
  settings.arrow = ::LoadCursorW(nullptr, IDC_ARROW);
  settings.arrowHotspot = scrcamNS::CursorHotspot(settings.arrow);
  scrcamNS::BracketPainter paint;
  if (args->brackets) {
    flashwnd::TFlashingWnd* wnd = args->wnd;
    paint = [wnd](COLORREF color) { base::CallOnMain([wnd, color] { wnd->PaintFrame(color); }, nullptr, 5000); };
  }
  scrcamNS::CaptureScreenFrame(0, 0, kWidth, kHeight, settings, paint);  // warm-up
  std::vector<double> times;
  for (int i = 0; i < args->rounds; ++i) {
    double start = NowMsPrecise();
    scrcamNS::CaptureScreenFrame(0, 0, kWidth, kHeight, settings, paint);
    times.push_back(NowMsPrecise() - start);
  }
  // The median: the machine is shared and single grabs are sometimes held up.
  std::sort(times.begin(), times.end());
  args->msPerFrame = times[times.size() / 2];
  return 0;
}

void CaptureCost(flashwnd::TFlashingWnd& wnd) {
  std::printf("capture cost per frame at %dx%d (grab, cursor, pack; median of 41):\n", kWidth, kHeight);
  for (int bits : {32, 8}) {
    const size_t bytes = static_cast<size_t>(kWidth) * kHeight * bits / 8;
    const double warm = MemcpyMs(bytes, 20, 1);
    const double copy = MemcpyMs(bytes, 24, 6);
    std::printf("  %2d bits: memcpy of %zu bytes %.2f ms (%.2f ms from the cache)\n", bits, bytes, copy, warm);
    for (bool brackets : {false, true}) {
      GrabArgs args;
      args.bits = bits;
      args.brackets = brackets;
      args.wnd = &wnd;
      // The grab runs on a worker, as in a recording; the main thread pumps so the bracket
      // paints it asks for can run.
      base::Thread grab;
      if (grab.Start("grab bench", [&args] { GrabThread(&args); })) grab.Join();
      std::printf("  %2d bits, brackets %-3s: %7.2f ms = %6.1f x memcpy (%6.1f x from the cache)\n", bits,
                  brackets ? "on" : "off", args.msPerFrame, args.msPerFrame / copy, args.msPerFrame / warm);
    }
  }
}

// Remembers every clock reading the recording thread makes: the frame loop reads the clock at
// its start, then at the start and the end of every pass.
class RecordingClock : public base::Clock {
 public:
  uint32_t NowMs() override {
    uint32_t now = ::timeGetTime();
    if (!base::IsMainThread()) {
      std::lock_guard<std::mutex> lock(mutex_);
      reads_.push_back(now);
    }
    return now;
  }
  std::vector<uint32_t> reads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reads_;
  }

 private:
  std::mutex mutex_;
  std::vector<uint32_t> reads_;
};

class FullScreen : public scrcamNS::AreaSource {
 public:
  bool CurrentArea(RECT& area) override {
    area = RECT{0, 0, kWidth, kHeight};
    return true;
  }
};

void Timing(int interval, int fps, DWORD seconds) {
  RecordingClock clock;
  base::ScopedClock scoped(clock);
  scrcamNS::TScreenCamNS cam;
  cam.SetBitsPerPixel(8);
  cam.RefreshCompressors();
  int index = -1;
  for (int i = 0; i < cam.CompressorCount(); ++i)
    if ((cam.Compressor(i).fccHandler | 0x20202020) == mmioFOURCC('m', 'r', 'l', 'e')) index = i;
  if (index < 0) {
    std::printf("  MRLE not listed: no timing figures\n");
    return;
  }
  cam.SetCompressorIndex(index);
  cam.SetKeyFrameEvery(1);
  cam.SetCaptureInterval(interval);
  cam.SetFrameRate(fps);
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + L"scrcamNS_bench.avi";
  std::atomic<int> errors{0};
  cam.OnError = [&](scrcamNS::TScreenCamNS&) { ++errors; };

  cam.StartRecording(std::make_shared<FullScreen>(), path);
  base::PumpUntil([&] { return !cam.Recording(); }, seconds * 1000);
  double stopAt = NowMsPrecise();
  cam.StopRecording();
  base::PumpUntil([&] { return !cam.HasRecordThread(); }, 60000);
  double latency = NowMsPrecise() - stopAt;

  // Replays the passes: after the loop's start reading, each pass gives (start, end).
  std::vector<uint32_t> reads = clock.reads();
  double worst = 0;
  if (!reads.empty()) {
    const uint32_t start = reads[0];
    scrcamNS::FrameSchedule schedule(interval);
    for (size_t i = 1; i < reads.size(); i += 2) {
      uint32_t t = reads[i] - start;
      int slot = schedule.SlotAt(t);
      if (!schedule.ShouldWrite(slot)) continue;
      schedule.Written(slot);
      worst = std::max(worst, std::abs(static_cast<double>(slot) * interval - t));
    }
  }
  const int slots = cam.FrameIndex() + 1;
  std::printf("  interval %3d ms / %2d fps over %lu s: %d frames written, %d dropped (%.1f%% of %d slots), "
              "largest |slot time - capture time| %.0f ms, stop latency %.1f ms%s\n",
              interval, fps, static_cast<unsigned long>(seconds), cam.FramesWritten(), cam.FramesDropped(),
              slots > 0 ? 100.0 * cam.FramesDropped() / slots : 0.0, slots, worst, latency,
              errors.load() ? " (the recording reported an error)" : "");
  ::DeleteFileW(path.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  base::StartMainDispatcher();
  DWORD seconds = 30;
  if (argc > 1) seconds = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
  {
    flashwnd::TFlashingWnd wnd;
    wnd.Create(nullptr);
    wnd.SetUpRegion(0, 0, kWidth, kHeight);
    ::ShowWindow(wnd.hwnd(), SW_SHOWNOACTIVATE);
    CaptureCost(wnd);
  }
  std::printf("timing accuracy at %dx%d, 8 bits through MRLE:\n", kWidth, kHeight);
  Timing(100, 10, seconds);
  Timing(33, 30, seconds);
  base::StopMainDispatcher();
  return 0;
}
