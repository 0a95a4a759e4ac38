// Recordings with sound, driven by ScrCam_sound.test.sh, which plays the tones into the sound
// server and checks the files here with ffprobe, ffmpeg and sox: a 4-second recording with a
// tone, a pause during which a tone plays, and a window that turns white as a burst plays. The
// cases run only under the shell test (RECLUME_SCRCAM_OUT names their folder); they talk to it
// through marker files there.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/text.h"
#include "tests/engine/camera/ScrCam_record_support.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace scrcamtest;
using scrcamNStest::FileExists;

class ScrCamSound : public testing::Test, public CameraFixture {
 protected:
  void SetUp() override {
    if (!::_wgetenv(L"RECLUME_SCRCAM_OUT")) GTEST_SKIP() << "run by ScrCam_sound.test.sh";
    ASSERT_TRUE(SetUpCamera());
    cam->UseAudioRecord = true;
    cam->SelectedAudioFormat = 2;  // 16-bit mono at 8000 Hz
  }
  void TearDown() override { DeleteKeptRecordings(); }
  std::wstring Out(const std::wstring& name) const { return folder / name; }
  void Mark(const std::wstring& name, const std::string& text = "") { testsupport::WriteBytes(Out(name), text); }
  bool WaitMark(const std::wstring& name, DWORD timeoutMs) {
    return base::PumpUntil([&] { return FileExists(Out(name)); }, timeoutMs);
  }
  void Pump(DWORD ms) { base::PumpUntil([] { return false; }, ms); }
  // What every good recording with sound ends with.
  void ExpectSavedWithNothingLeft() {
    EXPECT_EQ(events.Errors(), std::vector<std::wstring>{});
    // The temporary video file deleted before the start, the sound file after it; at the end
    // both deleted (the outline shows a run of deletions once).
    const std::vector<std::wstring> outline = events.Outline();
    ASSERT_GE(outline.size(), 7u);
    const std::vector<std::wstring> begin(outline.begin(), outline.begin() + 3);
    EXPECT_EQ(begin, (std::vector<std::wstring>{L"deleting 100: ", L"start", L"deleting 100: "}));
    const std::vector<std::wstring> end(outline.end() - 4, outline.end());
    EXPECT_EQ(end, (std::vector<std::wstring>{L"stop", L"saving: Saving Video...", L"saving 100: Saving Success...",
                                              L"deleting 100: "}));
    EXPECT_TRUE(ScrCam::MergeSucceeded.load());
    EXPECT_EQ(ScrCam::SoundStoppedAtMs.load(), -1) << "the sound lasted as long as the picture";
    EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
  }
  testsupport::ScratchFolder folder{L"RECLUME_SCRCAM_OUT"};
};

TEST_F(ScrCamSound, FourSecondsWithATone) {
  // The temporary files as the merge reads them, kept for the shell's comparison.
  bool copied = false;
  events.onSaving = [&](int, const std::wstring& caption, bool&) {
    if (copied || caption != L"Saving Video...") return;
    copied = true;
    ::CopyFileW(ScrCam::TempVideoFile.c_str(), Out(L"tone-video.avi").c_str(), FALSE);
    ::CopyFileW(ScrCam::TempAudioFile.c_str(), Out(L"tone-audio.wav").c_str(), FALSE);
  };
  ASSERT_TRUE(cam->StartRecording(Out(L"tone.avi")));
  Pump(4000);
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  ExpectSavedWithNothingLeft();
  EXPECT_NEAR(cam->FramesWritten.load(), 40, 3);
  Mark(L"tone.frames", std::to_string(cam->FramesWritten.load()));
}

TEST_F(ScrCamSound, APauseLeavesOutWhatPlayedMeanwhile) {
  ASSERT_TRUE(cam->StartRecording(Out(L"pause.avi")));
  Pump(2500);
  cam->PauseRecording();
  ASSERT_TRUE(base::PumpUntil([&] { return events.Outline().back() == L"pause"; }, 5000));
  Mark(L"paused");
  ASSERT_TRUE(WaitMark(L"tone-played", 20000));
  Pump(300);
  cam->ResumeRecording();
  Pump(2000);
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  ExpectSavedWithNothingLeft();
  const std::vector<std::wstring> outline = events.Outline();
  EXPECT_EQ(std::count(outline.begin(), outline.end(), L"pause"), 1);
  EXPECT_EQ(std::count(outline.begin(), outline.end(), L"resume"), 1);
  Mark(L"pause.frames", std::to_string(cam->FramesWritten.load()));
}

TEST_F(ScrCamSound, AFlashAndABurstTogether) {
  pattern.SetSolid(RGB(0, 0, 0));
  Pump(200);
  ASSERT_TRUE(cam->StartRecording(Out(L"sync.avi")));
  // Past the sound Wine loses at the start.
  ASSERT_TRUE(base::PumpUntil([&] { return cam->FramesWritten >= 30; }, 20000));
  Mark(L"flash");
  pattern.SetSolid(RGB(255, 255, 255));
  Pump(1500);
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  ExpectSavedWithNothingLeft();
}

// The sound server (one of the shell's own, named by PULSE_SERVER) is killed 3 s into the
// recording, which goes on 3 s more: the picture is saved whole, the device shows no box of its
// own, and the camera tells where the sound stopped.
TEST_F(ScrCamSound, AKilledServerIsToldWhereTheSoundStopped) {
  if (!::_wgetenv(L"RECLUME_SCRCAM_KILL")) GTEST_SKIP() << "run by ScrCam_sound.test.sh with a server to kill";
  ASSERT_TRUE(cam->StartRecording(Out(L"killed.avi")));
  const uint32_t started = base::NowMs();
  ASSERT_TRUE(base::PumpUntil([&] { return cam->FramesWritten >= 1; }, 10000));
  Mark(L"kill-ready");
  ASSERT_TRUE(WaitMark(L"killed", 20000));
  const uint32_t killedAt = base::NowMs() - started;
  Pump(3000);
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  EXPECT_TRUE(ScrCam::MergeSucceeded.load());
  EXPECT_EQ(events.Errors(), std::vector<std::wstring>{});
  for (const auto& asked : prompter.asked()) ADD_FAILURE() << "a box: " << base::WideToUtf8(asked.text);
  const int32_t stoppedAt = ScrCam::SoundStoppedAtMs.load();
  EXPECT_NEAR(stoppedAt, static_cast<int32_t>(killedAt), 1000) << "killed " << killedAt << " ms in";
  EXPECT_GT(cam->FramesWritten.load(), static_cast<int>(killedAt / 100) + 15) << "the picture went on";
}

}  // namespace
