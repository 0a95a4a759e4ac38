// Many recordings in one process leave nothing behind: after the first recordings (which load
// the compressor and the AVI library), ten more through the default compressor at 32 bits keep
// the process's handles and its private memory where they were, for both recorders. The
// platform's compressed stream kept the compressor's state (a frame's worth) and a handle for
// every recording. scripts/bench runs the long version (1, 10 and 50 full-screen recordings).
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "base/dispatch.h"
#include "base/seams.h"
#include "engine/camera/ScrCam.h"
#include "engine/capture/compressors.h"
#include "engine/soundless/scrcamNS.h"
#include "tests/support/doubles.h"
#include "tests/support/fixed_area.h"
#include "tests/support/process_figures.h"
#include "tests/support/scratch_folder.h"

namespace {

constexpr RECT kArea{0, 0, 640, 480};  // a 32-bit frame of it is 1.2 MB
constexpr int kMore = 10;
constexpr size_t kAllowedGrowth = 2u << 20;  // over the ten; one kept frame each would be 12 MB
// Over the ten: the platform starts a worker thread of its own now and then (once, not per
// recording); a handle kept per recording would be ten.
constexpr long kAllowedHandles = 2;

struct Growth {
  bool readable = false;  // both samples read the handle table and the memory use
  long handles = 0;
  long long bytes = 0;
};

// A process always holds handles and memory: a figure of 0 (or -1) is one that was not read,
// and a growth of 0 between two such samples would prove nothing.
bool Readable(const testsupport::ProcessFigures& figures) { return figures.handles > 0 && figures.privateBytes > 0; }

// Runs record() twice (what the first recordings load, the platform keeps), samples, runs it
// kMore times, and tells the growth.
template <class Record>
Growth Measure(Record record) {
  record();
  record();
  const testsupport::ProcessFigures before = testsupport::ReadProcessFigures();
  for (int i = 0; i < kMore; ++i) record();
  // A thread that has just ended may still stand in the handle table for a moment.
  base::PumpUntil([&] { return testsupport::ProcessHandleCount() <= before.handles; }, 500);
  const testsupport::ProcessFigures after = testsupport::ReadProcessFigures();
  return {Readable(before) && Readable(after), after.handles - before.handles,
          static_cast<long long>(after.privateBytes) - static_cast<long long>(before.privateBytes)};
}

TEST(RecorderMemory, SoundlessRecordingsLeaveNothingBehind) {
  testsupport::ScratchFolder folder;
  scrcamNS::TScreenCamNS cam;
  cam.SetBitsPerPixel(32);
  cam.SetCaptureInterval(20);
  cam.SetShowFlashFrame(false);
  int errors = 0;
  cam.OnError = [&](scrcamNS::TScreenCamNS&) { ++errors; };
  const std::wstring path = folder / L"ns.avi";
  const Growth growth = Measure([&] {
    cam.StartRecording(std::make_shared<testsupport::FixedArea>(kArea), path);
    base::PumpUntil([&] { return cam.FramesWritten() >= 2 || !cam.Recording(); }, 20000);
    cam.StopRecording();
    ASSERT_TRUE(base::PumpUntil([&] { return !cam.HasRecordThread(); }, 20000));
  });
  EXPECT_EQ(errors, 0);
  ASSERT_TRUE(growth.readable) << "the handle table or the memory use could not be read";
  EXPECT_LE(growth.handles, kAllowedHandles) << "handles after " << kMore << " more recordings";
  EXPECT_LT(growth.bytes, static_cast<long long>(kAllowedGrowth)) << "bytes after " << kMore << " more recordings";
}

TEST(RecorderMemory, CameraRecordingsLeaveNothingBehind) {
  testsupport::ScratchFolder folder;
  testsupport::ScriptedPrompter prompter{{}, IDNO};
  base::ScopedPrompter scoped{prompter};
  auto cam = std::make_unique<ScrCam::TScreenCamera>();
  int errors = 0;
  cam->OnError = [&](ScrCam::TScreenCamera&, const std::wstring&) { ++errors; };
  cam->ScreenRegion = ScrCam::TScreenRegion::FixedStable;
  cam->SetCaptureArea({kArea.left, kArea.top, kArea.right - kArea.left, kArea.bottom - kArea.top});
  cam->SetColors(engine::TPixelFormat::pf32bit);
  cam->SetRecord_MSPF(20);
  cam->GetVideoCompressors();
  for (int i = 0; i < cam->CompressorCount; ++i)
    if (engine::SameFourCC(cam->Compressors[i].fccHandler, ScrCam::kDefaultFourCC)) cam->SelectedCompressor = i;
  ASSERT_GE(cam->SelectedCompressor, 0) << "the default compressor is not listed";
  const std::wstring path = folder / L"camera.avi";
  const Growth growth = Measure([&] {
    ASSERT_TRUE(cam->StartRecording(path));
    base::PumpUntil([&] { return cam->FramesWritten >= 2 || !cam->Recording; }, 20000);
    cam->StopRecording();
    ASSERT_TRUE(base::PumpUntil([&] { return !cam->HasRecordThread(); }, 20000));
  });
  EXPECT_EQ(errors, 0);
  EXPECT_TRUE(prompter.asked().empty());
  ASSERT_TRUE(growth.readable) << "the handle table or the memory use could not be read";
  EXPECT_LE(growth.handles, kAllowedHandles) << "handles after " << kMore << " more recordings";
  EXPECT_LT(growth.bytes, static_cast<long long>(kAllowedGrowth)) << "bytes after " << kMore << " more recordings";
}

}  // namespace
