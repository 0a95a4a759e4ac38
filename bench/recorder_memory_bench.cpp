// Memory and open handles over many recordings in one process, for both recorders: the
// sound-less recorder and the screen camera without sound, each recording the whole screen at
// 32 bits through the default compressor ('MSVC'), a few frames at a time. Each recorder runs in
// a child process of its own; the figures are sampled after 1, 10 and 50 recordings, and the
// growth per recording is taken between the 10th and the 50th (the first ones pay the one-time
// costs: the driver's load, the AVI library, the thread pools).
// Arguments: --recordings N (50), --frames F per recording (3).
#include <windows.h>
#include <psapi.h>
#include <vfw.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/seams.h"
#include "bench/bench_support.h"
#include "engine/camera/ScrCam.h"
#include "engine/capture/compressors.h"
#include "engine/soundless/scrcamNS.h"
#include "tests/support/doubles.h"
#include "tests/support/fixed_area.h"
#include "tests/support/process_figures.h"

namespace {

int ScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

std::wstring TempAvi(const wchar_t* stem) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + stem + std::to_wstring(::GetCurrentProcessId()) + L".avi";
}

using testsupport::FixedArea;

bool IsSample(int n, int last) { return n == 1 || n == 10 || n == last; }

void Sample(bench::Figures& figures, int n) {
  const testsupport::ProcessFigures now = testsupport::ReadProcessFigures();
  figures["private_mb_" + std::to_string(n)] = now.privateBytes / 1048576.0;
  figures["handles_" + std::to_string(n)] = static_cast<double>(now.handles);
}

int SoundlessChild(int recordings, int frames, const wchar_t* out) {
  scrcamNS::TScreenCamNS cam;
  cam.SetBitsPerPixel(32);
  cam.SetCaptureInterval(50);
  int errors = 0;
  cam.OnError = [&](scrcamNS::TScreenCamNS&) { ++errors; };
  const std::wstring path = TempAvi(L"reclume_bench_mem_ns");
  bench::Figures figures;
  Sample(figures, 0);
  for (int n = 1; n <= recordings; ++n) {
    cam.StartRecording(std::make_shared<FixedArea>(RECT{0, 0, ScreenWidth(), ScreenHeight()}), path);
    base::PumpUntil([&] { return cam.FramesWritten() >= frames || !cam.Recording(); }, 30000);
    cam.StopRecording();
    base::PumpUntil([&] { return !cam.HasRecordThread(); }, 60000);
    if (IsSample(n, recordings)) Sample(figures, n);
  }
  ::DeleteFileW(path.c_str());
  figures["errors"] = errors;
  bench::WriteFigures(out, figures);
  return 0;
}

int CameraChild(int recordings, int frames, const wchar_t* out) {
  testsupport::ScriptedPrompter prompter{{}, IDYES};
  base::ScopedPrompter scoped{prompter};
  auto cam = std::make_unique<ScrCam::TScreenCamera>();
  int errors = 0;
  cam->OnError = [&](ScrCam::TScreenCamera&, const std::wstring&) { ++errors; };
  cam->ScreenRegion = ScrCam::TScreenRegion::FixedStable;
  cam->SetCaptureArea({0, 0, ScreenWidth(), ScreenHeight()});
  cam->SetColors(engine::TPixelFormat::pf32bit);
  cam->SetRecord_MSPF(50);
  cam->GetVideoCompressors();
  for (int i = 0; i < cam->CompressorCount; ++i)
    if (engine::SameFourCC(cam->Compressors[i].fccHandler, ScrCam::kDefaultFourCC)) cam->SelectedCompressor = i;
  const std::wstring path = TempAvi(L"reclume_bench_mem_cam");
  bench::Figures figures;
  Sample(figures, 0);
  for (int n = 1; n <= recordings; ++n) {
    if (cam->StartRecording(path)) {
      base::PumpUntil([&] { return cam->FramesWritten >= frames || !cam->Recording; }, 30000);
      cam->StopRecording();
      base::PumpUntil([&] { return !cam->HasRecordThread(); }, 60000);
    }
    if (IsSample(n, recordings)) Sample(figures, n);
  }
  ::DeleteFileW(path.c_str());
  figures["errors"] = errors;
  bench::WriteFigures(out, figures);
  return 0;
}

void Table(const wchar_t* child, const char* label, int recordings, int frames) {
  auto all = bench::RunProcesses(1, std::wstring(L"--child ") + child + L" --recordings " +
                                        std::to_wstring(recordings) + L" --frames " + std::to_wstring(frames));
  std::printf("%s: %d recordings of %d frames at %dx%d, 32 bits, MSVC\n", label, recordings, frames, ScreenWidth(),
              ScreenHeight());
  if (all.empty()) {
    std::printf("  the child did not finish\n");
    return;
  }
  const bench::Figures& f = all[0];
  std::printf("  %12s %12s %10s\n", "recordings", "private MB", "handles");
  for (int n : {0, 1, 10, recordings}) {
    const std::string at = std::to_string(n);
    if (!f.count("private_mb_" + at)) continue;
    std::printf("  %12d %12.1f %10.0f\n", n, f.at("private_mb_" + at), f.at("handles_" + at));
    if (n == recordings) break;
  }
  const std::string last = std::to_string(recordings);
  if (recordings > 10 && f.count("private_mb_" + last) && f.count("private_mb_10"))
    std::printf("  per recording from the 10th to the %dth: %.0f KB, %.2f handles%s\n", recordings,
                (f.at("private_mb_" + last) - f.at("private_mb_10")) * 1024 / (recordings - 10),
                (f.at("handles_" + last) - f.at("handles_10")) / (recordings - 10),
                f.at("errors") > 0 ? "  (a recording failed)" : "");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  base::StartMainDispatcher();
  int result = 0;
  const int recordings = std::max(1, bench::IntArg(argc, argv, L"--recordings", 50));
  const int frames = std::max(1, bench::IntArg(argc, argv, L"--frames", 3));
  const wchar_t* child = bench::StrArg(argc, argv, L"--child");
  const wchar_t* out = bench::StrArg(argc, argv, L"--out");
  if (child && out) {
    const std::wstring mode = child;
    if (mode == L"soundless") result = SoundlessChild(recordings, frames, out);
    if (mode == L"camera") result = CameraChild(recordings, frames, out);
  } else {
    Table(L"soundless", "sound-less recorder", recordings, frames);
    std::fflush(stdout);
    Table(L"camera", "screen camera, no sound", recordings, frames);
  }
  base::StopMainDispatcher();
  return result;
}
