// Figures of the split of a recording into pictures at 1920 x 1080: about 100 frames of moving
// stripes written through the platform's MRLE (8 bits, every frame a key frame), split without
// saving (decode, conversion to 24 bits, the preview copy) and with saving (into a scratch
// "img"), in frames a second. scripts/bench then times ffmpeg's decode of the same file and
// prints each mode's cost per frame against it; the figures go to split_bench.txt for that.
#include <windows.h>
#include <vfw.h>

#include <cstdio>
#include <string>

#include "app/avi_split.h"
#include "base/unique.h"
#include "bench/bench_timing.h"
#include "tests/app/mrle_fixture.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 100, kFps = 10;

// What the main window does with each frame: a copy into its own preview picture.
class PreviewView : public app::SplitView {
 public:
  PreviewView() : from_(::CreateCompatibleDC(nullptr)), to_(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, kWidth, kHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    preview_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  }
  void SetStatus(const std::wstring&) override {}
  void ShowFrame(HBITMAP frame) override {
    base::SelectGuard source(from_.get(), frame);
    base::SelectGuard target(to_.get(), preview_.get());
    ::BitBlt(to_.get(), 0, 0, kWidth, kHeight, from_.get(), 0, 0, SRCCOPY);
    ::GdiFlush();
  }
  void AddPicture(const std::wstring&, const std::wstring&) override {}
  void Message(const std::wstring& text) override { std::fwprintf(stderr, L"split message: %ls\n", text.c_str()); }

 private:
  base::UniqueDC from_, to_;
  base::UniqueBitmap preview_;
};

// Ms per frame of one split, or a negative figure when it did not complete.
double SplitMsPerFrame(const std::wstring& avi, bool save, int& frames) {
  PreviewView view;
  app::SplitRequest request;
  request.fileName = avi;
  request.save = save;
  const double start = bench::NowMsPrecise();
  const app::SplitResult result = app::AviToPictures(request, view);
  const double elapsed = bench::NowMsPrecise() - start;
  frames = result.written;
  if (result.end != app::SplitResult::End::Completed || frames == 0) return -1;
  return elapsed / frames;
}

}  // namespace

int wmain() {
  wchar_t here[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, here);
  const std::wstring folder = std::wstring(here) + L"\\split";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring avi = folder + L"\\rec.avi";
  if (!apptest::WriteFixtureAvi(avi, kWidth, kHeight, kFrames, kFps, mmioFOURCC('M', 'R', 'L', 'E'), 1, 8,
                                apptest::FixturePattern::MovingStripes)) {
    std::fprintf(stderr, "could not write the MRLE recording\n");
    return 1;
  }
  int shownFrames = 0, savedFrames = 0;
  const double showMs = SplitMsPerFrame(avi, false, shownFrames);
  const double saveMs = SplitMsPerFrame(avi, true, savedFrames);
  if (showMs < 0 || saveMs < 0) {
    std::fprintf(stderr, "a split did not complete\n");
    return 1;
  }
  std::printf("split of %d frames at %dx%d from MRLE:\n", shownFrames, kWidth, kHeight);
  std::printf("  without saving (decode, convert, preview): %6.2f ms a frame, %6.1f frames/s\n", showMs,
              1000.0 / showMs);
  std::printf("  saving into img:                           %6.2f ms a frame, %6.1f frames/s\n", saveMs,
              1000.0 / saveMs);
  // The pictures (about 6 MB each) go; the recording stays for ffmpeg.
  for (int i = 1; i <= savedFrames; ++i) ::DeleteFileW((folder + L"\\img\\" + app::PictureName(i)).c_str());
  ::RemoveDirectoryW((folder + L"\\img").c_str());
  if (FILE* out = _wfopen(L"split_bench.txt", L"w")) {
    std::fprintf(out, "frames %d\nshow_ms %.3f\nsave_ms %.3f\n", shownFrames, showMs, saveMs);
    std::fclose(out);
  }
  return 0;
}
