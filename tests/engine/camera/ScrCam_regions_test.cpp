// The screen camera's regions and tick: the follow-cursor rule, the full-screen rectangle of
// injected monitors, free-hand clipping, and ticks driven directly: the live preview, the
// preview-while-recording decision, the frame's colour and OnUpdate on a manual clock, and the
// frame window (topmost, never active, outside the grabbed area, hidden in a full-screen
// recording without preview).
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <vector>

#include "base/dispatch.h"
#include "base/seams.h"
#include "engine/camera/ScrCam.h"
#include "engine/overlays/scFlashWnd.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/doubles.h"
#include "tests/support/pattern_window.h"

namespace {

using ScrCam::CaptureRect;
using ScrCam::TScreenCamera;
using ScrCam::TScreenRegion;

class FixedMonitors : public ScrCam::MonitorLister {
 public:
  explicit FixedMonitors(std::vector<RECT> rects) : rects_(std::move(rects)) {}
  std::vector<RECT> Monitors() override { return rects_; }

 private:
  std::vector<RECT> rects_;
};

TEST(ScrCamRegions, FollowCursor) {
  const RECT screen{0, 0, 1920, 1080}, desktop{-1280, 0, 1920, 1080};
  struct Case {
    CaptureRect area;
    POINT cursor;
    RECT bounds;
    int left, top;
  } cases[] = {
      {{0, 0, 300, 300}, {10, 10}, screen, 0, 0},
      {{0, 0, 300, 300}, {1910, 1070}, screen, 1620, 780},
      {{0, 0, 300, 300}, {960, 540}, screen, 810, 390},
      {{0, 0, 2000, 300}, {960, 540}, screen, -80, 390},  // wider: the right edge on the bounds'
      {{0, 0, 300, 301}, {960, 540}, screen, 810, 390},   // 301 div 2 is 150
      {{0, 0, 300, 300}, {1900, 500}, desktop, 1620, 350},
      {{0, 0, 300, 300}, {-1270, 500}, desktop, -1280, 350},
  };
  for (const Case& c : cases) {
    const CaptureRect got = ScrCam::FollowCursor(c.area, c.cursor, c.bounds);
    EXPECT_EQ(got.left, c.left) << "cursor " << c.cursor.x << "," << c.cursor.y << " width " << c.area.width;
    EXPECT_EQ(got.top, c.top) << "cursor " << c.cursor.x << "," << c.cursor.y << " height " << c.area.height;
    EXPECT_EQ(got.width, c.area.width);
    EXPECT_EQ(got.height, c.area.height);
  }
}

TEST(ScrCamRegions, ClipShrinksOrCancels) {
  const RECT screen{0, 0, 1920, 1080};
  struct Case {
    CaptureRect area;
    bool kept;
    CaptureRect clipped;
  } cases[] = {
      {{100, 100, 200, 200}, true, {100, 100, 200, 200}},
      {{-50, -20, 200, 100}, true, {0, 0, 150, 80}},
      {{1800, 1000, 300, 300}, true, {1800, 1000, 120, 80}},
      {{2000, 100, 50, 50}, false, {}},
      {{100, -300, 50, 200}, false, {}},
  };
  for (const Case& c : cases) {
    CaptureRect area = c.area;
    EXPECT_EQ(ScrCam::ClipToBounds(area, screen), c.kept) << c.area.left << "," << c.area.top;
    if (!c.kept) continue;
    EXPECT_EQ(area.left, c.clipped.left);
    EXPECT_EQ(area.top, c.clipped.top);
    EXPECT_EQ(area.width, c.clipped.width);
    EXPECT_EQ(area.height, c.clipped.height);
  }
}

TEST(ScrCamRegions, FullScreenOfTheCurrentMonitorOrTheDesktop) {
  FixedMonitors two({RECT{0, 0, 1920, 1080}, RECT{1920, 0, 3200, 1024}});
  ScrCam::ScopedMonitorLister scoped(two);
  TScreenCamera cam;
  EXPECT_EQ(cam.GetMonitorCount(), 2);
  cam.SetCurrentMonitor(2);
  cam.SetFullScreenRegion();
  EXPECT_EQ(cam.ScreenLeft(), 1920);
  EXPECT_EQ(cam.ScreenTop(), 0);
  EXPECT_EQ(cam.ScreenWidth(), 1280);
  EXPECT_EQ(cam.ScreenHeight(), 1024);
  int left = 0, top = 0, width = 0, height = 0;
  cam.GetMonitorOrigin(left, top);
  cam.GetMonitorSize(width, height);
  EXPECT_EQ(left, 1920);
  EXPECT_EQ(width, 1280);
  cam.RecordAllMonitors = true;
  cam.SetFullScreenRegion();
  EXPECT_EQ(cam.ScreenLeft(), ::GetSystemMetrics(SM_XVIRTUALSCREEN));
  EXPECT_EQ(cam.ScreenWidth(), ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(cam.ScreenHeight(), ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

class ScrCamTick : public testing::Test {
 protected:
  void SetUp() override {
    ::SetCursorPos(1910, 1070);
    cam_.ScreenRegion = TScreenRegion::FixedStable;
    cam_.MinimizeAppOnStart = false;
    cam_.SetCaptureArea({200, 200, 300, 200});
    cam_.OnPreview = [this](TScreenCamera&, engine::TBitmap* b, bool p, bool r) {
      // The frames a recording shows come from its record thread: the tick's calls are these.
      if (!base::IsMainThread()) return;
      calls_.push_back({b ? b->Width() : -1, b ? b->Height() : -1, p, r});
    };
  }
  void TearDown() override {
    cam_.StopRecording();
    base::PumpUntil([&] { return !cam_.HasRecordThread(); }, 5000);
  }
  struct Call {
    int width, height;
    bool preview, recording;
  };
  HWND Frame() { return cam_.FrameWindow() ? cam_.FrameWindow()->hwnd() : nullptr; }

  // A recording's question 3 is answered Yes: the default compressor records.
  testsupport::ScriptedPrompter prompter_{{}, IDYES};
  base::ScopedPrompter scopedPrompter_{prompter_};
  scrcamNStest::ScratchFolder folder_;
  TScreenCamera cam_;
  std::vector<Call> calls_;
};

TEST_F(ScrCamTick, LivePreviewFramesAndTheFrameWindow) {
  testsupport::PatternWindow pattern;
  ASSERT_TRUE(pattern.Show(RECT{200, 200, 500, 400}));
  cam_.SetPreview(true);
  calls_.clear();
  cam_.TimerTick();
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].width, 300);
  EXPECT_EQ(calls_[0].height, 200);
  EXPECT_TRUE(calls_[0].preview);
  EXPECT_FALSE(calls_[0].recording);

  // The frame is on top, never active, and outside the grabbed rectangle.
  HWND frame = Frame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(::IsWindowVisible(frame));
  EXPECT_TRUE(::GetWindowLongW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_NE(::GetForegroundWindow(), frame);
  EXPECT_NE(::GetActiveWindow(), frame);
  ScrCam::FrameCapturer capturer;
  engine::TBitmap grabbed;
  cam_.RecordCursor = false;
  cam_.CaptureFrame(capturer, 0, &grabbed, 200, 200, 300, 200, 0);
  engine::TBitmap wide;
  wide.Reset(300, 200, engine::TPixelFormat::pf32bit);
  engine::CopyPixels(grabbed, RECT{0, 0, 300, 200}, wide, RECT{0, 0, 300, 200});
  for (POINT p : {POINT{0, 0}, POINT{299, 0}, POINT{0, 199}, POINT{299, 199}}) {
    const uint8_t* px = wide.ScanLine(p.y) + p.x * 4;
    EXPECT_EQ(RGB(px[2], px[1], px[0]), pattern.ColorAt(p.x, p.y)) << "the frame covers " << p.x << "," << p.y;
  }

  cam_.SetPreview(false);
  EXPECT_FALSE(::IsWindowVisible(frame));
}

TEST_F(ScrCamTick, PreviewWhileRecordingUpTo640By480) {
  // The tick's choice depends on the recording running: its temporary files are this test's
  // own, so nothing another recording left in the shared temporary folder can end it early.
  ScrCam::TempVideoFile = folder_.Path(L"tmpVideoStream.avi");
  ScrCam::TempAudioFile = folder_.Path(L"tmpAudioStream.wav");
  cam_.SetPreview(true);
  ASSERT_TRUE(cam_.StartRecording(folder_.Path(L"a.avi")));
  // The record thread fits the rectangle to the compressor before its first frame (it writes
  // the size back): the ticks below change the size only once that is done.
  ASSERT_TRUE(base::PumpUntil([&] { return cam_.FramesWritten >= 1 || !cam_.Recording; }, 20000));
  ASSERT_TRUE(cam_.Recording);
  struct Case {
    int width, height;
    bool whileRecording;
  } cases[] = {{640, 480, true}, {641, 480, false}, {640, 481, false}, {300, 200, true}};
  for (const Case& c : cases) {
    cam_.SetCaptureArea({0, 0, c.width, c.height});
    calls_.clear();
    cam_.TimerTick();
    // A recording that ended by itself would make every check below a different one.
    ASSERT_TRUE(cam_.Recording) << "the recording ended (stop status " << int(ScrCam::StopStatus.load()) << ") at " << c.width
                                << " x " << c.height;
    EXPECT_EQ(cam_.PreviewWhileRecording.load(), c.whileRecording) << c.width << " x " << c.height;
    if (c.whileRecording) {
      EXPECT_TRUE(calls_.empty()) << c.width << " x " << c.height;
    } else {
      ASSERT_EQ(calls_.size(), 1u) << c.width << " x " << c.height;
      EXPECT_EQ(calls_[0].width, -1);
      EXPECT_FALSE(calls_[0].preview);
      EXPECT_TRUE(calls_[0].recording);
    }
  }
}

TEST_F(ScrCamTick, ColourAndUpdateEveryUpdateRateOnAManualClock) {
  testsupport::ManualClock clock(5000);
  base::ScopedClock scoped(clock);
  cam_.SetUpdateRate(250);
  int updates = 0;
  cam_.OnUpdate = [&](TScreenCamera&) { ++updates; };
  cam_.SetPreview(true);  // the preview clock starts at 5000
  std::vector<COLORREF> colours;
  struct Step {
    uint32_t advance;
    int updates;
  } steps[] = {{0, 0}, {100, 0}, {149, 0}, {1, 1}, {100, 1}, {150, 2}, {600, 3}};
  for (const Step& s : steps) {
    clock.Advance(s.advance);
    cam_.TimerTick();
    colours.push_back(cam_.FrameColor);
    EXPECT_EQ(updates, s.updates) << "at " << clock.NowMs() - 5000 << " ms";
  }
  // The colour switches at 0 (the first tick) is not due: 0 >= 0 + 250 is false; at 250, 500, 1100.
  const COLORREF red = cam_.RegionColor1, lime = cam_.RegionColor2;
  EXPECT_EQ(colours, (std::vector<COLORREF>{red, red, red, lime, lime, red, lime}));
  EXPECT_EQ(cam_.ElapsedTimeText(), L"0 : 0 : 1 : 1");  // 1100 ms
}

TEST_F(ScrCamTick, FullScreenRecordingWithoutPreviewHidesTheFrame) {
  cam_.SetPreview(true);
  cam_.TimerTick();
  ASSERT_NE(Frame(), nullptr);
  EXPECT_TRUE(::IsWindowVisible(Frame()));
  cam_.SetPreview(false);
  cam_.ScreenRegion = TScreenRegion::FullScreen;
  ASSERT_TRUE(cam_.StartRecording(folder_.Path(L"a.avi")));
  calls_.clear();
  cam_.TimerTick();
  EXPECT_FALSE(::IsWindowVisible(Frame()));
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_FALSE(calls_[0].preview);
  EXPECT_TRUE(calls_[0].recording);
  EXPECT_EQ(cam_.ScreenWidth(), ::GetSystemMetrics(SM_CXSCREEN));
}

// The window picker run by the tick, answered by keys queued before the tick: Ctrl+Enter
// through the camera's hotkey window confirms the window under the cursor, Esc cancels.
TEST_F(ScrCamTick, SelectionsStartWhatIsPendingOrOnlyMoveTheRectangle) {
  testsupport::PatternWindow pattern;
  ASSERT_TRUE(pattern.Show(RECT{400, 300, 700, 500}));
  ::SetCursorPos(550, 400);
  auto confirm = [&] {
    ::PostMessageW(cam_.HotKeyWindow(), WM_HOTKEY, cam_.HotKeyId(TScreenCamera::kSlotConfirm), 0);
  };
  auto expectPatternArea = [&](const char* where) {
    const CaptureRect a = cam_.CaptureArea();
    EXPECT_EQ(a.left, 400) << where;
    EXPECT_EQ(a.top, 300) << where;
    EXPECT_EQ(a.width, 300) << where;
    EXPECT_EQ(a.height, 200) << where;
  };

  // Confirmed while a start is pending: the recording starts over the picked window.
  cam_.ScreenRegion = TScreenRegion::SelObject;
  EXPECT_FALSE(cam_.StartRecording(L"C:\a.avi"));
  ASSERT_TRUE(ScrCam::StartPending.load());
  confirm();
  cam_.TimerTick();
  EXPECT_TRUE(cam_.Recording);
  EXPECT_TRUE(cam_.HasRecordThread());
  EXPECT_FALSE(ScrCam::StartPending.load());
  EXPECT_EQ(cam_.ScreenRegion, TScreenRegion::FixedStable);
  expectPatternArea("pending");
  cam_.StopRecording();
  ASSERT_TRUE(base::PumpUntil([&] { return !cam_.HasRecordThread(); }, 5000));

  // Confirmed during a preview: only the rectangle moves.
  cam_.SetCaptureArea({0, 0, 300, 300});
  cam_.ScreenRegion = TScreenRegion::SelObject;
  cam_.SetPreview(true);
  confirm();
  cam_.TimerTick();
  EXPECT_FALSE(cam_.HasRecordThread());
  EXPECT_FALSE(cam_.Recording);
  expectPatternArea("preview");
  EXPECT_TRUE(cam_.FrameTimer()->Enabled());
  cam_.SetPreview(false);

  // Cancelled: nothing stays pending and the timer is off.
  cam_.ScreenRegion = TScreenRegion::SelObject;
  EXPECT_FALSE(cam_.StartRecording(L"C:\b.avi"));
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
  cam_.TimerTick();
  EXPECT_FALSE(ScrCam::StartPending.load());
  EXPECT_FALSE(cam_.HasRecordThread());
  EXPECT_FALSE(cam_.FrameTimer()->Enabled());
  ::SetCursorPos(1910, 1070);
}

}  // namespace
