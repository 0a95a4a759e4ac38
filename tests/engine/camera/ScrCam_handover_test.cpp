// What the main thread hands the screen camera's record thread while a recording runs: effect
// settings, the overlay handler and AutoStop written mid-recording take effect from the next
// frame; a compressor listing whose test frame fails does not stop the recording; and a start
// right after a stop is taken once the old thread has ended, before its posted end has run.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/unique.h"
#include "tests/engine/camera/ScrCam_record_support.h"

namespace {

using namespace scrcamtest;
using scrcamNStest::FileExists;
using scrcamNStest::ReadAvi;

class ScrCamHandOver : public testing::Test, public CameraFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(SetUpCamera()); }
  void TearDown() override {
    cam.reset();
    DeleteKeptRecordings();
  }
  bool WaitFrames(int frames) {
    return base::PumpUntil([&] { return cam->FramesWritten >= frames || !cam->Recording; }, 30000) &&
           cam->Recording;
  }
  scrcamNStest::ScratchFolder folder;
};

// The written frames of a recording, in order: the positions that hold data.
std::vector<LONG> WrittenPositions(const scrcamNStest::AviFacts& avi) {
  std::vector<LONG> positions;
  for (size_t i = 0; i < avi.sizes.size(); ++i)
    if (avi.sizes[i] > 0) positions.push_back(static_cast<LONG>(i));
  return positions;
}

TEST_F(ScrCamHandOver, SettingsWrittenMidRecordingTakeEffectFromTheNextFrame) {
  const int x = 80, y = 60;  // the pattern's first quadrant, in frame coordinates
  const COLORREF original = pattern.ColorAt(x, y);
  ASSERT_NE(original, RGB(0, 0, 0));
  ASSERT_NE(original, RGB(0, 0, 255));
  struct Phase {
    const char* name;
    std::function<void(ScrCam::TScreenCamera&)> change;
    COLORREF shown;
  } phases[] = {
      {"brightness -255", [](ScrCam::TScreenCamera& c) {
         c.EffectBrightness = -255;
         c.UseBrightness = true;
       }, RGB(0, 0, 0)},
      {"overlay assigned and switched on", [](ScrCam::TScreenCamera& c) {
         c.UseBrightness = false;
         c.OnOverlay = [](ScrCam::TScreenCamera&, HDC dc, int width, int height) {
           RECT all{0, 0, width, height};
           base::UniqueBrush blue(::CreateSolidBrush(RGB(0, 0, 255)));
           ::FillRect(dc, &all, blue.get());
         };
         c.OvelayDrawing = true;
       }, RGB(0, 0, 255)},
      {"overlay switched off", [](ScrCam::TScreenCamera& c) { c.OvelayDrawing = false; }, original},
  };
  const std::wstring path = folder.Path(L"live.avi");
  ASSERT_TRUE(cam->StartRecording(path));
  ASSERT_TRUE(WaitFrames(3));
  // Per phase: the frames surely made before the change and those surely made after it (the
  // one being made while it happened may show either).
  struct Span {
    int lastBefore, firstAfter;
  };
  std::vector<Span> spans;
  for (const Phase& phase : phases) {
    const int before = cam->FramesWritten;
    phase.change(*cam);
    const int after = cam->FramesWritten;
    spans.push_back({before, after + 2});
    ASSERT_TRUE(WaitFrames(after + 4)) << phase.name;
  }
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  ASSERT_TRUE(ScrCam::MergeSucceeded.load());
  EXPECT_EQ(events.Errors(), std::vector<std::wstring>{});

  const std::vector<LONG> written = WrittenPositions(ReadAvi(path));
  ASSERT_GE(static_cast<int>(written.size()), spans.back().firstAfter);
  auto frame = [&](int n) { return scrcamNStest::DecodedPixel(path, written[static_cast<size_t>(n - 1)], x, y); };
  EXPECT_EQ(frame(1), original);
  for (size_t p = 0; p < spans.size(); ++p) {
    SCOPED_TRACE(phases[p].name);
    const COLORREF previous = p == 0 ? original : phases[p - 1].shown;
    EXPECT_EQ(frame(spans[p].lastBefore), previous) << "frame " << spans[p].lastBefore;
    EXPECT_EQ(frame(spans[p].firstAfter), phases[p].shown) << "frame " << spans[p].firstAfter;
    const int end = p + 1 < spans.size() ? spans[p + 1].lastBefore : static_cast<int>(written.size());
    for (int n = spans[p].firstAfter; n <= end; ++n) EXPECT_EQ(frame(n), phases[p].shown) << "frame " << n;
  }
}

TEST_F(ScrCamHandOver, AFailedCompressorListingLeavesTheRecordingRunning) {
  const std::wstring path = folder.Path(L"listed.avi");
  ASSERT_TRUE(cam->StartRecording(path));
  ASSERT_TRUE(WaitFrames(2));
  // The options dialog lists the compressors with a test frame of the rectangle; one too large
  // for any bitmap fails to be made. The recording's own frames keep their size.
  const ScrCam::TScreenCamera::Area area = cam->CaptureArea();
  cam->SetCaptureArea({area.left, area.top, 100000, 100000});
  cam->GetVideoCompressors();
  cam->SetCaptureArea(area);
  EXPECT_EQ(cam->CompressorCount, 0) << "nothing accepts a frame that could not be made";
  EXPECT_EQ(events.Errors(), std::vector<std::wstring>{L"Unable to allocate memory for image"});
  EXPECT_TRUE(cam->Recording);
  const int listedAt = cam->FramesWritten;
  EXPECT_TRUE(WaitFrames(listedAt + 3)) << "the recording went on";
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser);
  EXPECT_TRUE(ScrCam::MergeSucceeded.load());
  EXPECT_GE(ReadAvi(path).nonEmpty(), listedAt + 3);
}

TEST_F(ScrCamHandOver, AStartRightAfterAStopIsTakenOnceTheThreadHasEnded) {
  const std::wstring first = folder.Path(L"first.avi"), second = folder.Path(L"second.avi");
  ASSERT_TRUE(cam->StartRecording(first));
  ASSERT_TRUE(WaitFrames(2));
  cam->StopRecording();
  // No message is served meanwhile, so the old thread's posted end cannot run: the start is
  // refused while the thread finishes the file and taken as soon as it has ended.
  bool started = false;
  const DWORD deadline = ::GetTickCount() + 30000;
  while (!started && static_cast<LONG>(deadline - ::GetTickCount()) > 0) {
    started = cam->StartRecording(second);
    if (!started) ::Sleep(5);
  }
  ASSERT_TRUE(started);
  EXPECT_TRUE(FileExists(first)) << "the first recording was finished before the second began";
  // The first thread's end, served while waiting here, leaves the second recording alone.
  ASSERT_TRUE(WaitFrames(3));
  EXPECT_TRUE(cam->HasRecordThread());
  // AutoStop written while recording: the loop stops itself, as a user stop.
  cam->AutoStop = ScrCam::TAutoStopTime{true, 0, 0, 1};
  ASSERT_TRUE(base::PumpUntil([&] { return !cam->Recording; }, 30000)) << "auto-stop after 1 s";
  EXPECT_GE(cam->FramesWritten.load(), 5);
  ASSERT_TRUE(WaitNoThread());
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser);
  EXPECT_TRUE(ScrCam::MergeSucceeded.load());
  EXPECT_TRUE(ReadAvi(first).ok);
  EXPECT_TRUE(ReadAvi(second).ok);
  EXPECT_EQ(events.Errors(), std::vector<std::wstring>{});
}

}  // namespace
