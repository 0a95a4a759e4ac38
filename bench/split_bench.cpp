// Figures of the split of a recording into pictures at 1920 x 1080: 100 frames of moving
// stripes written through the platform's MRLE (8 bits, every frame a key frame), split without
// saving (decode, conversion to 24 bits, the preview) and with saving (into a scratch
// "img"). Each child process (--processes N, 5) times, per frame:
//   decode   AVIStreamGetFrame over every position alone: the platform's decoder
//   show     the split without saving
//   save     the split with saving (run twice, see SplitChild; the second counts)
//   preview  the view's time for each frame (inside show): as the main window's, it draws
//            the split's own picture and keeps the last one, so no copy is made
//   write    the bytes written into the picture files (inside save)
// After each process the parent asks scripts/bench to time ffmpeg on the same file, its decode
// to null and its writing of the same frames as 24-bit BMPs (it makes split\ffmpeg-N and waits
// for split\ffmpeg-N.txt), so ours and ffmpeg's take turns on the same disk and memory. It
// prints min / median / max over the rounds, each part's share of a frame, and the split's
// ratios against ffmpeg round by round. Run alone (no answer within a minute) it prints its
// own figures only.
#include <windows.h>
#include <vfw.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/split/avi_split.h"
#include "base/unique.h"
#include "bench/bench_support.h"
#include "engine/capture/vfw_handles.h"
#include "tests/app/mrle_fixture.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 100, kFps = 10;

// What the main window does with each frame: it draws the split's picture itself (here: takes
// its handle and size, as the main window places its preview by it) and keeps the last one.
class PreviewView : public app::SplitView {
 public:
  void SetStatus(const std::wstring&) override {}
  void ShowFrame(HBITMAP frame) override {
    const double start = bench::NowMsPrecise();
    if (frame != shown_) {
      BITMAP size{};
      ::GetObjectW(frame, sizeof size, &size);
      shown_ = frame;
    }
    previewMs += bench::NowMsPrecise() - start;
  }
  void KeepFrame(base::UniqueBitmap frame) override {
    if (frame.get() == shown_) kept_ = std::move(frame);
  }
  void AddPicture(const std::wstring&, const std::wstring&) override {}
  void Message(const std::wstring& text) override { std::fwprintf(stderr, L"split message: %ls\n", text.c_str()); }

  double previewMs = 0;

 private:
  HBITMAP shown_ = nullptr;
  base::UniqueBitmap kept_;
};

struct AviLibrary {
  AviLibrary() { ::AVIFileInit(); }
  ~AviLibrary() { ::AVIFileExit(); }
};

struct GetFrameTraits {
  using Handle = PGETFRAME;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::AVIStreamGetFrameClose(h); }
};

// Ms per frame of the platform's decode alone, as the split asks for it; negative on failure.
double DecodeMsPerFrame(const std::wstring& avi) {
  AviLibrary library;
  engine::UniqueAviFile file;
  if (::AVIFileOpenW(file.put(), avi.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) != 0) return -1;
  engine::UniqueAviStream stream;
  if (::AVIFileGetStream(file.get(), stream.put(), streamtypeVIDEO, 0) != 0) return -1;
  const LONG length = ::AVIStreamLength(stream.get());
  base::Unique<GetFrameTraits> getter(::AVIStreamGetFrameOpen(stream.get(), nullptr));
  if (!getter || length <= 0) return -1;
  ::AVIStreamBeginStreaming(stream.get(), 0, length, 1000);
  const double start = bench::NowMsPrecise();
  for (LONG position = 0; position < length; ++position)
    if (!::AVIStreamGetFrame(getter.get(), position)) return -1;
  const double elapsed = bench::NowMsPrecise() - start;
  ::AVIStreamEndStreaming(stream.get());
  return elapsed / length;
}

struct SplitTimes {
  double perFrame = -1, preview = 0, write = 0;
  int frames = 0;
};

SplitTimes TimeSplit(const std::wstring& avi, bool save) {
  PreviewView view;
  double writeMs = 0;
  app::SplitRequest request;
  request.fileName = avi;
  request.save = save;
  request.writer = [&](HANDLE file, const void* data, DWORD size, int number) {
    const double start = bench::NowMsPrecise();
    const DWORD error = app::WritePictureBytes(file, data, size, number);
    writeMs += bench::NowMsPrecise() - start;
    return error;
  };
  const double start = bench::NowMsPrecise();
  const app::SplitResult result = app::AviToPictures(request, view);
  const double elapsed = bench::NowMsPrecise() - start;
  SplitTimes times;
  times.frames = result.written;
  if (result.end != app::SplitResult::End::Completed || result.written == 0) return times;
  times.perFrame = elapsed / result.written;
  times.preview = view.previewMs / result.written;
  times.write = writeMs / result.written;
  return times;
}

void RemovePictures(const std::wstring& folder, int count) {
  for (int i = 1; i <= count; ++i) ::DeleteFileW((folder + L"\\img\\" + app::PictureName(i)).c_str());
  ::RemoveDirectoryW((folder + L"\\img").c_str());
}

int SplitChild(const std::wstring& folder, const wchar_t* out) {
  const std::wstring avi = folder + L"\\rec.avi";
  const double decode = DecodeMsPerFrame(avi);
  const SplitTimes shown = TimeSplit(avi, false);
  RemovePictures(folder, 0);
  // Saved twice: the first split of a process writes its 600 MB into memory the machine has
  // given back meanwhile (about 13 ms a picture for any writer here, ffmpeg's too); the second
  // follows the deletion of the first's pictures, as ffmpeg's run follows this process's.
  const SplitTimes first = TimeSplit(avi, true);
  RemovePictures(folder, first.frames);
  const SplitTimes saved = TimeSplit(avi, true);
  RemovePictures(folder, saved.frames);
  if (decode < 0 || shown.perFrame < 0 || first.perFrame < 0 || saved.perFrame < 0) {
    std::fprintf(stderr, "a split did not complete\n");
    return 1;
  }
  bench::WriteFigures(out, {{"frames", saved.frames},
                            {"decode_ms", decode},
                            {"show_ms", shown.perFrame},
                            {"save_ms", saved.perFrame},
                            {"save_first_ms", first.perFrame},
                            {"preview_ms", shown.preview},
                            {"write_ms", saved.write}});
  return 0;
}

// Asks scripts/bench for ffmpeg's wall time on the recording (ns decoding to null, ns writing
// BMPs), waiting at most a minute.
std::optional<std::pair<double, double>> AskFfmpeg(const std::wstring& folder, int round) {
  const std::wstring ask = folder + L"\\ffmpeg-" + std::to_wstring(round);
  const std::wstring answer = ask + L".txt";
  base::UniqueFile(::CreateFileW(ask.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const double deadline = bench::NowMsPrecise() + 60000;
  while (bench::NowMsPrecise() < deadline) {
    if (FILE* in = _wfopen(answer.c_str(), L"r")) {
      double null = 0, bmp = 0;
      const bool read = std::fscanf(in, "%lf %lf", &null, &bmp) == 2;
      std::fclose(in);
      ::DeleteFileW(answer.c_str());
      ::DeleteFileW(ask.c_str());
      if (!read) return std::nullopt;
      return std::make_pair(null, bmp);
    }
    ::Sleep(20);
  }
  ::DeleteFileW(ask.c_str());
  return std::nullopt;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t here[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, here);
  const std::wstring folder = std::wstring(here) + L"\\split";
  const wchar_t* child = bench::StrArg(argc, argv, L"--child");
  const wchar_t* out = bench::StrArg(argc, argv, L"--out");
  if (child && out && std::wstring(child) == L"split") return SplitChild(folder, out);

  const int processes = std::max(1, bench::IntArg(argc, argv, L"--processes", 5));
  ::CreateDirectoryW(folder.c_str(), nullptr);
  if (!apptest::WriteFixtureAvi(folder + L"\\rec.avi", kWidth, kHeight, kFrames, kFps,
                                mmioFOURCC('M', 'R', 'L', 'E'), 1, 8, apptest::FixturePattern::MovingStripes)) {
    std::fprintf(stderr, "could not write the MRLE recording\n");
    return 1;
  }
  std::vector<bench::Figures> all;
  bool ffmpegAnswered = true;
  for (int round = 0; round < processes; ++round) {
    auto one = bench::RunProcesses(1, L"--child split");
    if (one.empty()) continue;
    bench::Figures figures = one.front();
    if (ffmpegAnswered) {
      const double frames = figures["frames"];
      if (auto ffmpeg = AskFfmpeg(folder, round); ffmpeg && frames > 0) {
        figures["ffmpeg_null_ms"] = ffmpeg->first / 1e6 / frames;
        figures["ffmpeg_bmp_ms"] = ffmpeg->second / 1e6 / frames;
        figures["show_x_null"] = figures["show_ms"] / figures["ffmpeg_null_ms"];
        figures["save_x_bmp"] = figures["save_ms"] / figures["ffmpeg_bmp_ms"];
      } else {
        ffmpegAnswered = false;
      }
    }
    all.push_back(std::move(figures));
  }
  if (all.empty()) {
    std::fprintf(stderr, "no split process completed\n");
    return 1;
  }
  const bench::Spread decode = bench::SpreadOf(all, "decode_ms"), show = bench::SpreadOf(all, "show_ms"),
                      save = bench::SpreadOf(all, "save_ms"), preview = bench::SpreadOf(all, "preview_ms"),
                      write = bench::SpreadOf(all, "write_ms"), saveFirst = bench::SpreadOf(all, "save_first_ms");
  std::printf("split of %d frames at %dx%d from MRLE, ms a frame over %zu rounds (one process each)\n", kFrames,
              kWidth, kHeight, all.size());
  std::printf("(the machine may be shared with other work: the spread shows the noise)\n");
  std::printf("  %-52s %7s %7s %7s   share of a frame\n", "", "min", "median", "max");
  auto row = [&](const char* name, const bench::Spread& s, const bench::Spread& whole) {
    std::printf("  %-52s %7.2f %7.2f %7.2f   %5.1f %%\n", name, s.min, s.median, s.max,
                whole.median > 0 ? 100.0 * s.median / whole.median : 0.0);
  };
  auto only = [](double median) { return bench::Spread{median, median, median}; };
  row("without saving (decode, convert, preview)", show, show);
  row("  the platform's decode (AVIStreamGetFrame)", decode, show);
  row("  the preview (draws the split's own picture)", preview, show);
  row("  ours: conversion to 24 bits, the loop (the rest)", only(show.median - decode.median - preview.median), show);
  row("saving into img", save, save);
  row("  the platform's decode (AVIStreamGetFrame)", decode, save);
  row("  the picture files' bytes (WriteFile, on the saver's thread)", write, save);
  row("  what saving adds to a frame (the files overlap decoding)", only(save.median - show.median), save);
  row("saving, the process's first split (into memory given back)", saveFirst, saveFirst);
  if (ffmpegAnswered) {
    const bench::Spread null = bench::SpreadOf(all, "ffmpeg_null_ms"), bmp = bench::SpreadOf(all, "ffmpeg_bmp_ms"),
                        showX = bench::SpreadOf(all, "show_x_null"), saveX = bench::SpreadOf(all, "save_x_bmp");
    std::printf("ffmpeg on the same file, after each round (ms a frame, min / median / max):\n");
    std::printf("  %-52s %7.2f %7.2f %7.2f\n", "ffmpeg decoding to null", null.min, null.median, null.max);
    std::printf("  %-52s %7.2f %7.2f %7.2f\n", "ffmpeg writing 24-bit BMPs (-pix_fmt bgr24)", bmp.min, bmp.median,
                bmp.max);
    std::printf("the split against ffmpeg, round by round (x, min / median / max):\n");
    std::printf("  %-52s %7.2f %7.2f %7.2f\n", "without saving / ffmpeg decoding to null", showX.min, showX.median,
                showX.max);
    std::printf("  %-52s %7.2f %7.2f %7.2f\n", "saving / ffmpeg writing BMPs", saveX.min, saveX.median, saveX.max);
  } else {
    std::printf("(ffmpeg did not answer: run through scripts/bench for the ratios against it)\n");
  }
  std::printf("the platform's decode is %.0f %% of a frame without saving, %.0f %% of a saved one\n",
              100.0 * decode.median / show.median, 100.0 * decode.median / save.median);
  return 0;
}
