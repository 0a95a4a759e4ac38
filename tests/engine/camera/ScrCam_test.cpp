// The screen camera's life under Wine: the defaults and the writes its setters refuse, and the
// states of the record thread (second start, start while finishing, a pending selection,
// stopping with the preview off, destroying the camera while it records).
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "base/dispatch.h"
#include "engine/camera/ScrCam.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/doubles.h"

namespace {

using ScrCam::TScreenCamera;
using ScrCam::TScreenRegion;
using engine::TPixelFormat;

class OneMonitor : public ScrCam::MonitorLister {
 public:
  std::vector<RECT> Monitors() override { return {RECT{0, 0, 1920, 1080}}; }
};

class CountingHost : public ScrCam::CameraHost {
 public:
  void MinimizeApp() override { ++minimized; }
  void RestoreApp() override { ++restored; }
  bool RecordWithSound() override { return false; }
  bool StopHotKeyRegistered() override { return false; }
  void StopRecordingAndRestore() override {}
  void RefreshRecordingList() override {}
  HWND MessageOwner() override { return nullptr; }
  int minimized = 0, restored = 0;
};

TEST(ScrCam, DefaultsAndRefusedWrites) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  TScreenCamera cam;
  EXPECT_EQ(ScrCam::CameraInstance.load(), &cam);
  EXPECT_EQ(cam.CompressorName, L"MS Video Codec");
  EXPECT_EQ(cam.SelectedCompressor, -1);
  EXPECT_EQ(cam.UpdateRate(), 250);
  EXPECT_EQ(cam.Record_MSPF(), 5);
  EXPECT_EQ(cam.PlayBack_FPS(), 200);
  EXPECT_EQ(cam.KeyFramesEvery, 20);
  EXPECT_EQ(cam.CompressionQuality(), 10000);
  EXPECT_EQ(cam.Colors(), TPixelFormat::pf32bit);
  EXPECT_EQ(cam.BitsPerPixel(), 32);
  EXPECT_EQ(cam.ScreenRegion, TScreenRegion::FixedMoving);
  EXPECT_EQ(cam.ScreenLeft(), 0);
  EXPECT_EQ(cam.ScreenTop(), 0);
  EXPECT_EQ(cam.ScreenWidth(), 300);
  EXPECT_EQ(cam.ScreenHeight(), 300);
  EXPECT_EQ(cam.FrameColor, cam.RegionColor1);
  EXPECT_EQ(cam.RegionColor1, RGB(255, 0, 0));
  EXPECT_EQ(cam.RegionColor2, RGB(0, 255, 0));
  EXPECT_TRUE(cam.RecordCursor && cam.DrawAreaCapture && cam.LineRectClear && cam.MinimizeAppOnStart &&
              cam.RestoreAppOnStop);
  EXPECT_EQ(cam.CurrentMonitor(), 1);
  EXPECT_EQ(cam.FilterColor(), 0);
  EXPECT_EQ(cam.VideoPriority(), scHighTimer::TThreadPriority::tpNormal);
  EXPECT_EQ(cam.DefaultFourCC, mmioFOURCC('M', 'S', 'V', 'C'));
  EXPECT_EQ(cam.DesktopWidth, ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_FALSE(cam.Recording || cam.Paused || cam.Preview());
  EXPECT_EQ(ScrCam::StopStatus.load(), 0);
  EXPECT_FALSE(ScrCam::StartPending.load());
  EXPECT_EQ(ScrCam::TempVideoFile.substr(ScrCam::TempVideoFile.size() - 19), L"\\tmpVideoStream.avi");
  EXPECT_EQ(ScrCam::TempAudioFile.substr(ScrCam::TempAudioFile.size() - 19), L"\\tmpAudioStream.wav");

  struct IntCase {
    const char* name;
    std::function<void(int)> set;
    std::function<int()> get;
    int refused[2];
    int accepted;
  };
  const IntCase ints[] = {
      {"PlayBack_FPS", [&](int v) { cam.SetPlayBack_FPS(v); }, [&] { return cam.PlayBack_FPS(); }, {0, 1001}, 1000},
      {"UpdateRate", [&](int v) { cam.SetUpdateRate(v); }, [&] { return cam.UpdateRate(); }, {0, 501}, 500},
      {"Record_MSPF", [&](int v) { cam.SetRecord_MSPF(v); }, [&] { return cam.Record_MSPF(); }, {0, 1001}, 1},
      {"CompressionQuality", [&](int v) { cam.SetCompressionQuality(v); }, [&] { return cam.CompressionQuality(); },
       {0, 10001}, 1},
      {"FilterColor", [&](int v) { cam.SetFilterColor(v); }, [&] { return cam.FilterColor(); }, {-1, 2}, 1},
      {"CurrentMonitor", [&](int v) { cam.SetCurrentMonitor(v); }, [&] { return cam.CurrentMonitor(); }, {0, 2}, 1},
  };
  for (const IntCase& c : ints) {
    const int before = c.get();
    for (int value : c.refused) {
      c.set(value);
      EXPECT_EQ(c.get(), before) << c.name << " took " << value;
    }
    c.set(c.accepted);
    EXPECT_EQ(c.get(), c.accepted) << c.name << " refused " << c.accepted;
  }

  struct ColorCase {
    TPixelFormat written, read;
    int bits;
  };
  const ColorCase colors[] = {
      {TPixelFormat::pf8bit, TPixelFormat::pf8bit, 8},     {TPixelFormat::pf15bit, TPixelFormat::pf16bit, 16},
      {TPixelFormat::pf16bit, TPixelFormat::pf16bit, 16},  {TPixelFormat::pf24bit, TPixelFormat::pf24bit, 24},
      {TPixelFormat::pf1bit, TPixelFormat::pf32bit, 32},   {TPixelFormat::pfDevice, TPixelFormat::pf32bit, 32},
      {TPixelFormat::pfCustom, TPixelFormat::pf32bit, 32},
  };
  for (const ColorCase& c : colors) {
    cam.SetColors(c.written);
    EXPECT_EQ(cam.Colors(), c.read) << "wrote format " << static_cast<int>(c.written);
    EXPECT_EQ(cam.BitsPerPixel(), c.bits) << "wrote format " << static_cast<int>(c.written);
  }

  cam.SetVantro_Version(L"1.0");
  EXPECT_EQ(cam.Vantro_Version(), L"4.8.0.0");
}

TEST(ScrCam, CurrentMonitorFollowsTheMonitorCount) {
  class TwoMonitors : public ScrCam::MonitorLister {
   public:
    std::vector<RECT> Monitors() override { return {RECT{0, 0, 1920, 1080}, RECT{1920, 0, 3200, 1024}}; }
  } monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  TScreenCamera cam;
  cam.SetCurrentMonitor(2);
  EXPECT_EQ(cam.CurrentMonitor(), 2);
  cam.SetCurrentMonitor(3);
  EXPECT_EQ(cam.CurrentMonitor(), 2);
}

class ScrCamThread : public testing::Test {
 protected:
  void SetUp() override {
    cam_ = std::make_unique<TScreenCamera>(&host_);
    cam_->ScreenRegion = TScreenRegion::FixedStable;
    cam_->OnStop = [this](TScreenCamera&) { ++stops_; };
  }
  bool WaitNoThread(DWORD timeoutMs = 5000) {
    return base::PumpUntil([&] { return !cam_->HasRecordThread(); }, timeoutMs);
  }

  std::wstring Target(const wchar_t* name) const { return folder_.Path(name); }

  // Question 3 (no compressor selected) is answered Yes: the default compressor records.
  testsupport::ScriptedPrompter prompter_{{}, IDYES};
  base::ScopedPrompter scopedPrompter_{prompter_};
  scrcamNStest::ScratchFolder folder_;
  CountingHost host_;
  std::unique_ptr<TScreenCamera> cam_;
  std::atomic<int> stops_{0};
};

TEST_F(ScrCamThread, StartStopAndSecondStart) {
  ASSERT_TRUE(cam_->StartRecording(Target(L"a.avi")));
  EXPECT_TRUE(cam_->Recording);
  EXPECT_TRUE(cam_->HasRecordThread());
  EXPECT_EQ(ScrCam::TargetFile, Target(L"a.avi"));
  EXPECT_EQ(host_.minimized, 1);
  ASSERT_NE(cam_->FrameTimer(), nullptr);
  EXPECT_TRUE(cam_->FrameTimer()->Enabled());
  EXPECT_EQ(cam_->FrameTimer()->Interval(), 5u);  // 1000 div 200

  EXPECT_FALSE(cam_->StartRecording(Target(L"b.avi"))) << "second start while recording";
  EXPECT_EQ(ScrCam::TargetFile, Target(L"a.avi"));

  cam_->PauseRecording();
  cam_->StopRecording();
  EXPECT_FALSE(cam_->Recording);
  EXPECT_FALSE(cam_->Paused);
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser);
  ASSERT_TRUE(WaitNoThread());
  EXPECT_EQ(stops_.load(), 1);

  ASSERT_TRUE(cam_->StartRecording(Target(L"c.avi"))) << "a new start once the thread ended";
  cam_->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  EXPECT_EQ(stops_.load(), 2);
}

TEST_F(ScrCamThread, StartWhileFinishingIsRefused) {
  // OnStop holds the thread in its finishing state until the test lets it go.
  base::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<bool> finishing{false};
  cam_->OnStop = [&](TScreenCamera&) {
    finishing = true;
    ::WaitForSingleObject(release.get(), 10000);
  };
  ASSERT_TRUE(cam_->StartRecording(Target(L"a.avi")));
  cam_->StopRecording();
  ASSERT_TRUE(base::PumpUntil([&] { return finishing.load(); }, 5000));
  EXPECT_FALSE(cam_->Recording);
  EXPECT_FALSE(cam_->StartRecording(Target(L"b.avi"))) << "start while the last recording finishes";
  EXPECT_FALSE(cam_->Recording);
  ::SetEvent(release.get());
  ASSERT_TRUE(WaitNoThread());
  EXPECT_TRUE(cam_->StartRecording(Target(L"b.avi")));
  cam_->StopRecording();
  ASSERT_TRUE(WaitNoThread());
}

TEST_F(ScrCamThread, SelectionRegionsWaitWithTheTimerOn) {
  for (TScreenRegion region : {TScreenRegion::SelObject, TScreenRegion::FreeHand}) {
    ScrCam::StartPending = false;
    cam_->ScreenRegion = region;
    EXPECT_FALSE(cam_->StartRecording(Target(L"a.avi"))) << static_cast<int>(region);
    EXPECT_TRUE(ScrCam::StartPending.load());
    EXPECT_FALSE(cam_->Recording);
    EXPECT_FALSE(cam_->HasRecordThread());
    ASSERT_NE(cam_->FrameTimer(), nullptr);
    EXPECT_TRUE(cam_->FrameTimer()->Enabled());
  }
}

TEST_F(ScrCamThread, StopWithThePreviewOffReportsAnEmptyPreview) {
  struct Call {
    bool bitmap, preview, recording;
  };
  // The empty reports, on the main thread. The frames a recording shows while the preview is
  // on come from the record thread and are only counted.
  std::vector<Call> calls;
  std::atomic<int> frames{0};
  cam_->OnPreview = [&](TScreenCamera&, engine::TBitmap* b, bool p, bool r) {
    if (b)
      ++frames;
    else
      calls.push_back({false, p, r});
  };
  ASSERT_TRUE(cam_->StartRecording(Target(L"a.avi")));
  cam_->StopRecording();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_FALSE(calls[0].bitmap || calls[0].preview || calls[0].recording);
  EXPECT_FALSE(cam_->FrameTimer()->Enabled());
  ASSERT_TRUE(WaitNoThread());
  EXPECT_EQ(frames.load(), 0) << "frames reported with the preview off";

  // With the preview on, the stop keeps the timer running and reports nothing.
  calls.clear();
  cam_->SetPreview(true);
  ASSERT_TRUE(cam_->StartRecording(Target(L"a.avi")));
  cam_->StopRecording();
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(cam_->FrameTimer()->Enabled());
  EXPECT_FALSE(cam_->IsPreviewOff());
  ASSERT_TRUE(WaitNoThread());
  cam_->SetPreview(false);
  EXPECT_FALSE(cam_->FrameTimer()->Enabled());
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(ScrCamThread, DestroyWhileRecordingIsAnErrorStop) {
  ScrCam::StopStatus = ScrCam::kStopUser;
  ASSERT_TRUE(cam_->StartRecording(Target(L"a.avi")));
  cam_.reset();  // waits for the thread
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopError);
  EXPECT_EQ(ScrCam::CameraInstance.load(), nullptr);
  EXPECT_EQ(stops_.load(), 1);
  // The thread's posted end finds no camera and does nothing.
  base::PumpUntil([] { return false; }, 50);
}

}  // namespace
