// The screen camera's recording routine without sound: the compressor check and its questions,
// the size fitting, a compressor that fails part-way, and the frame loop's figures and
// auto-stop on a clock the test moves by hand.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "tests/engine/camera/ScrCam_record_support.h"
#include "tests/support/passthrough_codec.h"

namespace {

using namespace scrcamtest;
using scrcamNStest::FileExists;
using scrcamNStest::ReadAvi;

const wchar_t kAskNone[] = L"You no selected compressor, use default compressor?";
const wchar_t kAskFitted[] =
    L"Error: This compressor cann`t work if the dimensions is adjusted slightly\r\nUse default compressor?";

class ScrCamRecord : public testing::Test, public CameraFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(SetUpCamera()); }
  void TearDown() override {
    cam.reset();
    EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{}) << "left in the temporary folder";
    DeleteKeptRecordings();
  }
  scrcamNStest::ScratchFolder folder;
};

TEST_F(ScrCamRecord, NoCompressorAsksAndNoLeavesNothing) {
  for (int selected : {-1, 99}) {
    events.Clear();
    testsupport::ScriptedPrompter answers({IDNO});
    base::ScopedPrompter scoped(answers);
    cam->SelectedCompressor = selected;
    const std::wstring path = folder.Path(L"none" + std::to_wstring(selected + 1) + L".avi");
    ASSERT_TRUE(cam->StartRecording(path));
    ASSERT_TRUE(WaitNoThread());
    ASSERT_EQ(answers.asked().size(), 1u) << selected;
    EXPECT_EQ(answers.asked()[0].text, kAskNone);
    EXPECT_EQ(answers.asked()[0].caption, L"Notice");
    EXPECT_EQ(answers.asked()[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
    EXPECT_EQ(events.Outline(), (std::vector<std::wstring>{L"error: User aborted!", L"stop", L"deleting 100: "}))
        << selected;
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopError);
    EXPECT_FALSE(cam->Recording);
  }
}

TEST_F(ScrCamRecord, FittedToACompressorThatTakesWidthsInFours) {
  testsupport::PassThroughOptions fours;
  fours.widthMultiple = 4;
  fours.bitDepths = {8};
  testsupport::ScopedPassThrough pass(fours);
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(SetUpCamera(301, 240));
  cam->SetCaptureArea({200, 160, 304, 240});
  cam->GetVideoCompressors();
  cam->SelectedCompressor = FindCompressor(*cam, testsupport::kPassThroughFourCC);
  ASSERT_GE(cam->SelectedCompressor, 0);
  cam->SetCaptureArea({200, 160, 301, 240});
  const std::wstring path = folder.Path(L"fitted.avi");
  ASSERT_TRUE(RecordFrames(path, 3));
  EXPECT_TRUE(prompter.asked().empty());
  EXPECT_EQ(cam->ScreenWidth(), 304);
  EXPECT_EQ(cam->CompressorName, L"PassThru");
  const scrcamNStest::AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_EQ(avi.width, 304);
  EXPECT_EQ(avi.height, 240);
  EXPECT_EQ(avi.nonEmpty(), cam->FramesWritten.load());
  EXPECT_TRUE(ScrCam::MergeSucceeded.load());
}

// The machine's default compressor codes whole 4 x 4 blocks only: a 401 x 303 rectangle
// recorded with it (no compressor chosen, the question answered Yes) is fitted to 404 x 304,
// and its last column and row hold the picture.
TEST_F(ScrCamRecord, TheDefaultCompressorGetsAFittedRectangle) {
  // White under the extra column and row: the edge blocks hold two colours and come back exact.
  testsupport::PatternWindow backdrop;
  ASSERT_TRUE(backdrop.Show(RECT{190, 150, 620, 480}));
  backdrop.SetSolid(RGB(255, 255, 255));
  ASSERT_TRUE(SetUpCamera(401, 303));
  cam->SetColors(engine::TPixelFormat::pf32bit);
  cam->SelectedCompressor = -1;
  testsupport::ScriptedPrompter answers({IDYES});
  base::ScopedPrompter scoped(answers);
  const std::wstring path = folder.Path(L"odd.avi");
  ASSERT_TRUE(RecordFrames(path, 3));
  ASSERT_EQ(answers.asked().size(), 1u);
  EXPECT_EQ(answers.asked()[0].text, kAskNone);
  EXPECT_EQ(events.Errors(), std::vector<std::wstring>{});
  EXPECT_EQ(cam->ScreenWidth(), 404);
  EXPECT_EQ(cam->ScreenHeight(), 304);
  const scrcamNStest::AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_EQ(avi.width, 404);
  EXPECT_EQ(avi.height, 304);
  for (POINT p : {POINT{0, 0}, POINT{400, 0}, POINT{0, 302}, POINT{400, 302}})
    EXPECT_EQ(scrcamNStest::DecodedPixel(path, 0, p.x, p.y), pattern.ColorAt(p.x, p.y)) << p.x << "," << p.y;
}

TEST_F(ScrCamRecord, ADefaultThatRefusesEndsWithItsText) {
  // Installed in the process under the default code: the fall-back refuses too.
  testsupport::PassThroughOptions refuse;
  refuse.refuseAll = true;
  testsupport::ScopedPassThrough pass(refuse, ScrCam::kDefaultFourCC);
  ASSERT_TRUE(pass.ok());
  testsupport::PassThroughOptions any;
  any.bitDepths = {8};
  testsupport::ScopedPassThrough listed(any);
  cam->GetVideoCompressors();
  cam->SelectedCompressor = FindCompressor(*cam, testsupport::kPassThroughFourCC);
  ASSERT_GE(cam->SelectedCompressor, 0);
  testsupport::InstallPassThrough(refuse);  // now it refuses every size
  testsupport::ScriptedPrompter answers({IDYES});
  base::ScopedPrompter scoped(answers);
  const std::wstring path = folder.Path(L"refused.avi");
  ASSERT_TRUE(cam->StartRecording(path));
  ASSERT_TRUE(WaitNoThread());
  ASSERT_EQ(answers.asked().size(), 1u);
  EXPECT_EQ(answers.asked()[0].text, kAskFitted);
  EXPECT_EQ(events.Errors(), (std::vector<std::wstring>{L"Error on set AVI stream format.",
                                                         L"Error creating AVI file with \"MS Video Codec\"."}));
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(cam->CompressorName, L"MS Video Codec");
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopError);
}

TEST_F(ScrCamRecord, ACompressorFailingAtFrameFiveKeepsTheFirstFrames) {
  testsupport::PassThroughOptions failing;
  failing.bitDepths = {8};
  failing.failAtFrame = 5;
  testsupport::ScopedPassThrough pass(failing);
  ASSERT_TRUE(pass.ok());
  cam->GetVideoCompressors();
  cam->SelectedCompressor = FindCompressor(*cam, testsupport::kPassThroughFourCC);
  ASSERT_GE(cam->SelectedCompressor, 0);
  const std::wstring path = folder.Path(L"five.avi");
  ASSERT_TRUE(cam->StartRecording(path));
  ASSERT_TRUE(WaitNoThread());
  EXPECT_TRUE(prompter.asked().empty()) << "no question after frames were written";
  EXPECT_EQ(events.Errors(), std::vector<std::wstring>{L"Error on write data to AVI stream."});
  EXPECT_TRUE(ScrCam::MergeSucceeded.load());
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser);
  const scrcamNStest::AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_EQ(avi.nonEmpty(), 5);
}

// --- the frame loop on a clock the test moves ---

class Passes : public ScrCam::RecordProbe {
 public:
  void Wrote(int) override {
    if (slowWrite) clock->Advance(slowWrite);
  }
  void Passed(uint32_t, int slot, bool written) override {
    lastSlot = slot;
    lastWritten = written;
    ++count;
  }
  testsupport::ManualClock* clock = nullptr;
  std::atomic<uint32_t> slowWrite{0};
  std::atomic<int> count{0}, lastSlot{-1};
  std::atomic<bool> lastWritten{false};
};

class ScrCamManualClock : public ScrCamRecord {
 protected:
  void SetUp() override {
    ScrCamRecord::SetUp();
    passes.clock = &clock;
    cam->SetRecordProbe(&passes);
  }
  // Moves the clock to t (ms since the start) and waits for the pass it lets run.
  bool PassAt(uint32_t t) {
    const int before = passes.count;
    clock.Set(kStart + t);
    return base::PumpUntil([&] { return passes.count > before || !cam->Recording; }, 5000);
  }
  static constexpr uint32_t kStart = 1000;
  testsupport::ManualClock clock{kStart};
  base::ScopedClock scopedClock{clock};
  Passes passes;
};

TEST_F(ScrCamManualClock, RatesAndTheWriteDuration) {
  cam->SetPlayBack_FPS(5);
  ASSERT_TRUE(cam->StartRecording(folder.Path(L"rates.avi")));
  ASSERT_TRUE(base::PumpUntil([&] { return passes.count >= 1; }, 10000));
  EXPECT_EQ(passes.lastSlot.load(), 0);
  // A frame every 100 ms is 10 a second; the figure is capped at the playback rate.
  ASSERT_TRUE(PassAt(100));
  EXPECT_EQ(passes.lastSlot.load(), 1);
  EXPECT_DOUBLE_EQ(cam->CaptureFrameRate.load(), 5.0);
  // A write that takes 30 ms, then a pass woken 10 ms later in the same slot: the loop rate
  // adds the write's duration.
  passes.slowWrite = 30;
  ASSERT_TRUE(PassAt(200));
  passes.slowWrite = 0;
  const int before = passes.count;
  clock.Set(kStart + 240);
  cam->PauseRecording();
  cam->ResumeRecording();
  ASSERT_TRUE(base::PumpUntil([&] { return passes.count > before; }, 5000));
  EXPECT_EQ(passes.lastSlot.load(), 2);
  EXPECT_FALSE(passes.lastWritten.load());
  EXPECT_DOUBLE_EQ(cam->LoopFrameRate.load(), 1000.0 / (10 + 30));
  EXPECT_EQ(cam->FramesWritten.load(), 3);
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
}

// The frame index is the elapsed time over the slot length, halves to the even neighbour; the
// slots it steps over are the dropped frames, and a pass in the slot already written (woken
// early by a pause and resume) writes nothing.
TEST_F(ScrCamManualClock, FrameIndexIsTheRoundedSlot) {
  ASSERT_TRUE(cam->StartRecording(folder.Path(L"index.avi")));
  ASSERT_TRUE(base::PumpUntil([&] { return passes.count >= 1; }, 10000));
  EXPECT_EQ(cam->FrameIndex(), 0);
  const struct {
    uint32_t t;
    bool woken;
    int index, dropped;
    bool written;
  } passesAt[] = {
      {150, false, 2, 1, true},   // 1.5 goes to 2: slot 1 is dropped
      {250, true, 2, 1, false},   // 2.5 goes to 2 again
      {351, false, 4, 2, true},   // 3.51 goes to 4: slot 3 is dropped
      {449, true, 4, 2, false},
      {1000, false, 10, 7, true},
  };
  for (const auto& p : passesAt) {
    if (p.woken) {
      const int before = passes.count;
      clock.Set(kStart + p.t);
      cam->PauseRecording();
      cam->ResumeRecording();
      ASSERT_TRUE(base::PumpUntil([&] { return passes.count > before; }, 5000)) << p.t;
    } else {
      ASSERT_TRUE(PassAt(p.t)) << p.t;
    }
    EXPECT_EQ(cam->FrameIndex(), p.index) << "at " << p.t;
    EXPECT_EQ(passes.lastSlot.load(), p.index) << "at " << p.t;
    EXPECT_EQ(cam->FramesDropped.load(), p.dropped) << "at " << p.t;
    EXPECT_EQ(passes.lastWritten.load(), p.written) << "at " << p.t;
  }
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  EXPECT_EQ(cam->FrameIndex(), 10) << "kept after the loop";
}

TEST_F(ScrCamManualClock, AutoStopAtTheSetTimeIsAUserStop) {
  struct Case {
    const char* name;
    std::vector<uint32_t> times;  // the passes let run, ms since the start
    ScrCam::TAutoStopTime stop;
    bool stops;
  };
  const Case cases[] = {
      {"at 2 s", {1000, 1900, 2000}, {true, 0, 0, 2}, true},
      {"over a jump past 2 s", {1000, 1900, 2700}, {true, 0, 0, 2}, true},
      {"0:0:0", {1000, 2000, 3000, 5000}, {true, 0, 0, 0}, false},
  };
  for (const Case& c : cases) {
    clock.Set(kStart);
    passes.count = 0;
    cam->AutoStop = c.stop;
    const std::wstring path = folder.Path(L"auto.avi");
    ::DeleteFileW(path.c_str());
    ASSERT_TRUE(cam->StartRecording(path)) << c.name;
    ASSERT_TRUE(base::PumpUntil([&] { return passes.count >= 1; }, 10000)) << c.name;
    for (uint32_t t : c.times) {
      EXPECT_TRUE(cam->Recording) << c.name << " stopped before " << t;
      ASSERT_TRUE(PassAt(t)) << c.name;
    }
    if (c.stops) {
      ASSERT_TRUE(WaitNoThread()) << c.name;
      EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser) << c.name;
      EXPECT_TRUE(ScrCam::MergeSucceeded.load()) << c.name;
      EXPECT_TRUE(FileExists(path)) << c.name;
    } else {
      EXPECT_TRUE(cam->Recording) << c.name;
      cam->StopRecording();
      ASSERT_TRUE(WaitNoThread()) << c.name;
    }
  }
}

}  // namespace

namespace {

// Run by no_sound_server.test.sh with PULSE_SERVER pointing nowhere: the wave-in device cannot
// be opened, so a recording with sound ends at its start with the start error, as an error
// stop that writes no target and leaves no temporary file.
TEST(NoSoundServer, ARecordingWithSoundEndsWithTheStartError) {
  if (!::GetEnvironmentVariableW(L"RECLUME_NO_SOUND_SERVER", nullptr, 0)) GTEST_SKIP() << "run by no_sound_server.test.sh";
  CameraFixture fixture;
  ASSERT_TRUE(fixture.SetUpCamera());
  scrcamNStest::ScratchFolder folder;
  ScrCam::TScreenCamera& cam = *fixture.cam;
  cam.UseAudioRecord = true;
  cam.SelectedAudioFormat = 2;
  cam.MinimizeAppOnStart = false;
  const std::wstring path = folder.Path(L"sound.avi");
  ASSERT_TRUE(cam.StartRecording(path));
  ASSERT_TRUE(fixture.WaitNoThread(10000));
  EXPECT_EQ(fixture.events.Errors(), std::vector<std::wstring>{L"Error on start audio recording."});
  // The video stream was ready before the sound; the end of the recording and the error
  // ending each report the stop, as after every failure past the stream's making.
  EXPECT_EQ(fixture.events.Outline(),
            (std::vector<std::wstring>{L"deleting 100: ", L"start", L"deleting 100: ",
                                       L"error: Error on start audio recording.", L"stop", L"stop", L"deleting 100: "}));
  EXPECT_EQ(cam.FramesWritten.load(), 0);
  EXPECT_FALSE(cam.Recording);
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopError);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
  fixture.cam.reset();
}

}  // namespace
