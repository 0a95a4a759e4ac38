// The AVI size limit at full size: a recording with sound of the whole 1920 x 1080 screen at
// the options dialog's defaults (MS Video 1) while a full-screen window changes every pixel ten
// times a second, so the temporary video grows at several MB a second and reaches what an AVI
// 1.0 file holds in some minutes. The camera must end it by itself before the limit, as a
// normal stop, and save it whole.
//
// It runs only with RECLUME_BENCH_LIMIT naming a folder (Windows path; scripts/bench sets it
// when called with RECLUME_BENCH_LIMIT=1): the recording "limit.avi" goes there, with
// "limit.txt" (figures); scripts/bench decodes the file with ffprobe, ffmpeg and sox.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/host_form/optdlg_ws.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/window.h"
#include "engine/camera/ScrCam.h"
#include "engine/camera/avi_contents.h"
#include "engine/capture/disk_budget.h"
#include "tests/support/doubles.h"

namespace {

// A topmost window over the whole screen painted with new noise on every timer tick.
class NoiseWindow : public base::Window {
 public:
  bool Show(int width, int height) {
    width_ = width;
    height_ = height;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels_ = static_cast<uint32_t*>(bits);
    base::WindowClass cls;
    cls.name = L"ReclumeNoise";
    base::WindowSpec spec;
    spec.style = WS_POPUP | WS_VISIBLE;
    spec.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    spec.x = 0;
    spec.y = 0;
    spec.width = width;
    spec.height = height;
    if (!bitmap_ || !Create(cls, spec)) return false;
    ::SetTimer(hwnd(), 1, 100, nullptr);
    return true;
  }
  ~NoiseWindow() override {
    if (bitmap_) ::DeleteObject(bitmap_);
  }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_TIMER) {
      // Blocks of 4 x 4 pixels of one random colour: MS Video 1 codes each as a one-colour
      // block that never repeats, which is what a busy desktop costs it.
      for (int y = 0; y < height_; y += 4) {
        for (int x = 0; x < width_; x += 4) {
          state_ ^= state_ << 13;
          state_ ^= state_ >> 17;
          state_ ^= state_ << 5;
          for (int dy = 0; dy < 4 && y + dy < height_; ++dy)
            for (int dx = 0; dx < 4 && x + dx < width_; ++dx) pixels_[(y + dy) * width_ + x + dx] = state_;
        }
      }
      ::InvalidateRect(hwnd(), nullptr, FALSE);
      return 0;
    }
    if (msg == WM_PAINT) {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      HDC mem = ::CreateCompatibleDC(dc);
      HGDIOBJ old = ::SelectObject(mem, bitmap_);
      ::BitBlt(dc, 0, 0, width_, height_, mem, 0, 0, SRCCOPY);
      ::SelectObject(mem, old);
      ::DeleteDC(mem);
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    return base::Window::OnMessage(msg, wp, lp);
  }

 private:
  int width_ = 0, height_ = 0;
  HBITMAP bitmap_ = nullptr;
  uint32_t* pixels_ = nullptr;
  uint32_t state_ = 2463534242u;
};

}  // namespace

int wmain() {
  const wchar_t* folderVariable = ::_wgetenv(L"RECLUME_BENCH_LIMIT");
  if (!folderVariable || !*folderVariable) {
    std::printf("AVI size limit at full size: skipped (run scripts/bench with RECLUME_BENCH_LIMIT=1;"
                " about 8 minutes and 5 GB of disk)\n");
    return 0;
  }
  // The record thread hands its end to the main thread; the dispatcher outlives the camera.
  struct Dispatcher {
    Dispatcher() { base::StartMainDispatcher(); }
    ~Dispatcher() { base::StopMainDispatcher(); }
  } dispatcher;
  std::wstring folder = folderVariable;
  if (folder.back() != L'\\') folder += L'\\';
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  testsupport::ScriptedPrompter prompter{{}, IDYES};
  base::ScopedPrompter scopedPrompter{prompter};
  NoiseWindow noise;
  if (!noise.Show(width, height)) {
    std::printf("AVI size limit: no noise window\n");
    return 1;
  }
  std::vector<std::wstring> errors;
  ScrCam::TScreenCamera cam;
  app::ApplyDefaultAVOptions(cam);
  cam.UseAudioRecord = true;
  cam.ScreenRegion = ScrCam::TScreenRegion::FullScreen;
  cam.OnError = [&](ScrCam::TScreenCamera&, const std::wstring& text) { errors.push_back(text); };
  const std::wstring target = folder + L"limit.avi";
  ::DeleteFileW(target.c_str());
  const uint32_t start = base::NowMs();
  uint64_t peakTemp = 0;
  if (!cam.StartRecording(target)) {
    std::printf("AVI size limit: the recording did not start\n");
    return 1;
  }
  // At most 20 minutes: a camera that never stops fails the benchmark.
  base::PumpUntil(
      [&] {
        peakTemp = std::max(peakTemp, engine::FileSizeOf(ScrCam::TempVideoFile));
        return !cam.Recording;
      },
      20 * 60 * 1000);
  const double seconds = (base::NowMs() - start) / 1000.0;
  const bool stoppedItself = !cam.Recording;
  cam.StopRecording();
  base::PumpUntil([&] { return !cam.HasRecordThread(); }, 10 * 60 * 1000);
  const engine::AviContents saved = engine::ReadAviContents(target);
  const uint64_t size = engine::FileSizeOf(target);
  std::printf("AVI size limit at %d x %d with sound: %s after %.1f s, %d frames, temporary video %.1f MB (%.2f MB/s),"
              " target %.1f MB (limit %.1f MB), whole %s, frames %llu of %d, saved %s\n",
              width, height, stoppedItself ? "stopped itself" : "NOT stopped", seconds, cam.FramesWritten.load(),
              peakTemp / 1e6, peakTemp / 1e6 / seconds, size / 1e6, engine::AviFileLimit() / 1e6,
              saved.whole ? "yes" : "NO", static_cast<unsigned long long>(saved.videoFrames), cam.FramesWritten.load(),
              ScrCam::MergeSucceeded.load() ? "yes" : "NO");
  for (const std::wstring& e : errors) std::printf("  told: %ls\n", e.c_str());
  FILE* facts = _wfopen((folder + L"limit.txt").c_str(), L"w");
  if (facts) {
    std::fprintf(facts, "seconds %.1f\nframes %d\nsize %llu\n", seconds, cam.FramesWritten.load(),
                 static_cast<unsigned long long>(size));
    std::fclose(facts);
  }
  return stoppedItself && saved.whole && ScrCam::MergeSucceeded.load() ? 0 : 1;
}
