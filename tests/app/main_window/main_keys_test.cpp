// What a user meets at the keyboard and the toggles of the real main window (this process, the
// session's display), with real keys through SendInput: a recording with sound whose sound
// toggle is clicked meanwhile still stops by every route and makes its file; Esc belongs to the
// program in front while nothing records (a second program receives it and the main window is
// left as it is), stops a recording while one runs, and inside the main window does what the
// window gives it; and the program's own balloons are off the screen when the first frame of a
// recording is grabbed.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/host_form/optdlg_ws.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/recording_form.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"
#include "tests/support/program_driver.h"

namespace {

namespace id = app::id;

class MainKeys : public testing::Test {
 protected:
  void SetUp() override {
    app::MainFormOptions options;
    options.programFolder = program_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    testapp::PrepareRecordingForm(*form_, records_.path(), L"");
  }
  void TearDown() override {
    form_.reset();
    base::FreeActiveBalloon();
  }
  app::TFrmMain& form() { return *form_; }
  void Tray(UINT mouseMessage) { ::SendMessageW(form().hwnd(), app::WM_TRAYICON, 0, mouseMessage); }
  void PrepareCamera() { testapp::PrepareShortSoundRecordings(form().ScrCamera()); }
  bool Idle() {
    return (!form().HasWithSoundForm() || !form().ScrCamera().HasRecordThread()) &&
           !form().ScreenCamNS()->HasRecordThread() && !form().Road()->Running();
  }
  // A sound-less full-screen recording from the record button, running with frames written.
  bool StartSoundless() {
    scrcamNS::TScreenCamNS* recorder = form().ScreenCamNS();
    if (!apptest::UseMrleAt8Bits(*recorder)) return false;
    form().Button(id::BtnSartRec)->Click();
    return recorder->Recording() &&
           base::PumpUntil([&] { return recorder->FramesWritten() >= 2 || !recorder->Recording(); }, 30000) &&
           recorder->Recording();
  }

  testsupport::ScriptedPrompter prompter_{{}, IDNO};
  base::ScopedPrompter scoped_{prompter_};
  testsupport::ScopedPassThrough codec_;
  testapp::ScratchFolder program_, records_;
  std::unique_ptr<app::TFrmMain> form_;
};

// Recording with sound, the user shows the window from the tray and clicks the sound toggle
// (off): the stop button, the tray icon and Esc still stop the camera, and the file is made.
// The toggle decides the next recording only.
TEST_F(MainKeys, TheSoundToggleDuringARecordingChangesOnlyTheNextOne) {
  PrepareCamera();
  struct Case {
    const char* stop;
    std::function<void()> press;
  };
  const Case cases[] = {
      {"stop button", [&] { form().Button(id::BtnStopRec)->Click(); }},
      {"tray left click", [&] { Tray(WM_LBUTTONDOWN); }},
      {"Esc", [&] { ASSERT_TRUE(testapp::PressEscape()); }},
  };
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stop);
    if (form().Button(id::CbSound)->tag() != 1) form().Button(id::CbSound)->Click();
    ASSERT_TRUE(app::RecordWithSound.load());
    form().Button(id::BtnSartRec)->Click();
    ASSERT_TRUE(form().ScrCamera().Recording);
    const std::wstring target = records_.path() + std::to_wstring(++made) + L".avi";
    ASSERT_TRUE(base::PumpUntil([&] { return form().ScrCamera().FramesWritten >= 2; }, 20000));
    Tray(WM_RBUTTONDOWN);
    form().Button(id::CbSound)->Click();
    ASSERT_EQ(0, form().Button(id::CbSound)->tag());
    ASSERT_FALSE(app::RecordWithSound.load());
    c.press();
    ASSERT_TRUE(base::PumpUntil([&] { return Idle(); }, 60000)) << "the camera went on recording";
    EXPECT_FALSE(form().ScrCamera().Recording);
    EXPECT_TRUE(apptest::FileExists(target)) << "no " << base::WideToUtf8(target);
    EXPECT_EQ(ScrCam::kStopUser, ScrCam::StopStatus.load());
    EXPECT_FALSE(form().ScreenCamNS()->HasRecordThread()) << "the sound-less recorder was never started";
    EXPECT_FALSE(app::RecordWithSound.load()) << "the toggle's choice stays for the next recording";
  }
}

// Esc pressed while a second program is in front: after a recording it reaches that program
// and the main window is neither restored nor brought forward; during a recording it stops the
// recording; inside the main window, in the path edit, it restores the window and sets the
// caption as the window's own key handling does.
TEST_F(MainKeys, EscBelongsToTheProgramInFrontWhileNothingRecords) {
  ASSERT_TRUE(StartSoundless());  // the screen camera exists from this recording on
  Tray(WM_LBUTTONDOWN);
  ASSERT_TRUE(base::PumpUntil([&] { return Idle(); }, 30000));
  ASSERT_TRUE(::IsZoomed(form().hwnd()));

  testsupport::RunningProgram other(testsupport::BinFolder() + L"key_listener.exe", L"", L"");
  ASSERT_TRUE(other.started());
  HWND listener = other.WaitForVisible(L"ReclumeKeyListener");
  ASSERT_TRUE(listener);
  auto inFront = [&] {
    ::SetForegroundWindow(listener);
    return base::PumpUntil([&] { return ::GetForegroundWindow() == listener; }, 5000);
  };
  auto listenerSaw = [&](const wchar_t* title) {
    return base::PumpUntil([&] { return testsupport::WindowText(listener) == title; }, 3000);
  };
  ASSERT_TRUE(inFront());
  ASSERT_TRUE(testapp::PressEscape());
  EXPECT_TRUE(listenerSaw(L"Esc 1")) << "the program in front did not get Esc";
  EXPECT_EQ(listener, ::GetForegroundWindow()) << "the main window was brought forward";
  EXPECT_TRUE(::IsZoomed(form().hwnd())) << "the main window was restored";
  EXPECT_TRUE(Idle());

  // While a recording runs Esc is the stop key, whichever program is in front.
  ASSERT_TRUE(StartSoundless());
  ASSERT_TRUE(inFront());
  ASSERT_TRUE(testapp::PressEscape());
  EXPECT_TRUE(base::PumpUntil([&] { return Idle(); }, 30000)) << "Esc did not stop the recording";
  EXPECT_EQ(L"Esc 1", testsupport::WindowText(listener)) << "the stop key also reached the other program";
  EXPECT_FALSE(form().ScrCamera().HoldsDefaultHotKeys()) << "the keys stayed taken after the recording";

  // In the main window's path edit.
  ::ShowWindow(form().hwnd(), SW_MAXIMIZE);
  ::SetForegroundWindow(form().hwnd());
  ASSERT_TRUE(base::PumpUntil([&] { return ::GetForegroundWindow() == form().hwnd(); }, 5000));
  ::SetFocus(form().Control(id::EdtRECPath));
  ASSERT_TRUE(testapp::PressEscape());
  EXPECT_TRUE(base::PumpUntil([&] { return !::IsZoomed(form().hwnd()); }, 3000));
  EXPECT_EQ(base::WideToUtf8(base::Format(L"%s%1.1f", app::ProductName, static_cast<double>(app::SoftVersion))),
            base::WideToUtf8(testsupport::WindowText(form().hwnd())));
  other.CloseAndWait(listener, 5000);
}

// The start-up balloon is on the screen when a recording starts (without sound, then with
// sound after the sound hint): each is hidden before the recording grabs its first frame.
TEST_F(MainKeys, TheProgramsBalloonsAreOffTheScreenAtTheFirstFrame) {
  struct FirstGrab : scrcamNS::TScreenCamNS::PassProbe, ScrCam::RecordProbe {
    std::atomic<int> passes{0};
    std::atomic<bool> balloonShown{false};
    HWND balloon = nullptr;
    void Look() {
      if (passes++ == 0) balloonShown = balloon && ::IsWindowVisible(balloon);
    }
    void Grabbed(uint32_t, int, bool) override { Look(); }
    void Passed(uint32_t, int, bool) override { Look(); }
  };
  ASSERT_TRUE(base::ActiveBalloon());
  ASSERT_TRUE(::IsWindowVisible(base::ActiveBalloon()->hwnd())) << "the start-up balloon shows";
  {
    FirstGrab probe;
    probe.balloon = base::ActiveBalloon()->hwnd();
    form().ScreenCamNS()->SetPassProbe(&probe);
    ASSERT_TRUE(StartSoundless());
    EXPECT_GE(probe.passes.load(), 1);
    EXPECT_FALSE(probe.balloonShown.load()) << "the start-up balloon was on the screen at the first frame";
    Tray(WM_LBUTTONDOWN);
    ASSERT_TRUE(base::PumpUntil([&] { return Idle(); }, 30000));
    form().ScreenCamNS()->SetPassProbe(nullptr);
  }
  PrepareCamera();
  form().Button(id::CbSound)->Click();  // the sound hint, at the cursor
  ASSERT_TRUE(base::ActiveBalloon());
  ASSERT_TRUE(::IsWindowVisible(base::ActiveBalloon()->hwnd())) << "the sound hint shows";
  FirstGrab probe;
  probe.balloon = base::ActiveBalloon()->hwnd();
  form().ScrCamera().SetRecordProbe(&probe);
  form().Button(id::BtnSartRec)->Click();
  ASSERT_TRUE(base::PumpUntil([&] { return probe.passes.load() >= 1; }, 20000));
  EXPECT_FALSE(probe.balloonShown.load()) << "the sound hint was on the screen at the first frame";
  Tray(WM_LBUTTONDOWN);
  ASSERT_TRUE(base::PumpUntil([&] { return Idle(); }, 60000));
  form().ScrCamera().SetRecordProbe(nullptr);
}

}  // namespace
