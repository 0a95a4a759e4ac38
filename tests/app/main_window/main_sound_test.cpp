// Recordings with sound from the real main window (this process, the session's display): the
// record button goes through the camera host form, a refused target changes nothing but the
// message, every end of a recording, a stop key's included, saves it and brings the window
// back with the normal icon, and closing the window waits for the save.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/forms/control_ids.h"
#include "app/forms/dialog_ids.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/host_form/optdlg_ws.h"
#include "app/host_form/withsound.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/recording_form.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"

namespace {

namespace id = app::id;

class MainSoundRecording : public testing::Test {
 protected:
  void SetUp() override {
    app::MainFormOptions options;
    options.programFolder = program_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    testapp::PrepareRecordingForm(*form_, records_.path(), L"");
    if (HasFatalFailure()) return;
    form_->ToggleSound();
    ASSERT_TRUE(app::RecordWithSound.load());
    testapp::PrepareShortSoundRecordings(form_->ScrCamera());
  }
  void TearDown() override {
    form_.reset();
    base::FreeActiveBalloon();
  }
  app::TFrmMain& form() { return *form_; }
  ScrCam::TScreenCamera& camera() { return form_->ScrCamera(); }
  bool Blinking() const { return form_->TimerEnabled(id::TimerRECing); }
  bool Start() {
    form().Button(id::BtnSartRec)->Click();
    return camera().Recording;
  }
  bool WaitForTheEnd() {
    return base::PumpUntil([&] { return !camera().HasRecordThread() && !form().Road()->Running(); }, 60000);
  }
  void ExpectWindowBack() {
    EXPECT_TRUE(::IsWindowVisible(form().hwnd()));
    EXPECT_FALSE(::IsIconic(form().hwnd()));
    EXPECT_FALSE(Blinking());
    EXPECT_EQ(form().TrayIconNormal(), form().TrayData().icon());
  }

  testsupport::ScriptedPrompter prompter_{{}, IDNO};
  base::ScopedPrompter scoped_{prompter_};
  testsupport::ScopedPassThrough codec_;
  testapp::ScratchFolder program_, records_;
  std::unique_ptr<app::TFrmMain> form_;
};

TEST_F(MainSoundRecording, ARefusedTargetChangesNothingButTheMessage) {
  form().SetControlText(id::EdtRECPath, records_.path() + L"bad|folder");
  const std::wstring status = form().Status();
  form().Button(id::BtnSartRec)->Click();
  const auto asked = prompter_.asked();
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(L"请选择一个合法的文件夹名称", asked.back().text);
  EXPECT_FALSE(camera().Recording);
  EXPECT_TRUE(::IsWindowVisible(form().hwnd()));
  EXPECT_FALSE(::IsIconic(form().hwnd()));
  EXPECT_FALSE(Blinking());
  EXPECT_FALSE(form().Road()->LastRecording());
  EXPECT_EQ(status, form().Status());
}

// The record button minimises the window, the tray icon blinks, and the host form records the
// whole monitor into the next numbered file. Each way of ending brings the window back.
TEST_F(MainSoundRecording, EveryEndBringsTheWindowBack) {
  struct Case {
    const char* stop;
    std::function<void()> press;
    bool throughTheWindow;  // writes the status line
  };
  const Case cases[] = {
      {"tray left click", [&] { ::SendMessageW(form().hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN); }, true},
      {"stop key (Esc)",
       [&] { ASSERT_TRUE(testapp::PressEscape()); },
       false},
      {"the camera's own stop", [&] { camera().StopRecording(); }, false},
  };
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stop);
    ASSERT_TRUE(Start());
    const std::wstring target = records_.path() + std::to_wstring(++made) + L".avi";
    ASSERT_TRUE(app::FrmMainWithSound);
    EXPECT_EQ(4, app::FrmMainWithSound->RegSelectIndex());
    EXPECT_EQ(ScrCam::TScreenRegion::FullScreen, camera().ScreenRegion);
    EXPECT_EQ(target, ScrCam::TargetFile);
    EXPECT_TRUE(::IsIconic(form().hwnd()));
    EXPECT_TRUE(Blinking());
    EXPECT_TRUE(app::RunAVOptionDefaults().Applied()) << "the options' defaults come before the first start";
    ASSERT_TRUE(base::PumpUntil([&] { return camera().FramesWritten >= 2; }, 20000)) << "no frames written";
    c.press();
    ASSERT_TRUE(WaitForTheEnd());
    ExpectWindowBack();
    // Only the stop through the window writes the status line.
    if (c.throughTheWindow) {
      EXPECT_EQ(L"自动生成录像文件 : " + target, form().Status());
    }
    form().SetStatus(L"");
    EXPECT_TRUE(apptest::FileExists(target)) << "each end saves its recording";
    // The first stop through the window names the saved file in its balloon.
    if (c.throughTheWindow) {
      ASSERT_TRUE(base::ActiveBalloon());
      EXPECT_EQ(L"屏幕录像已保存为" + target, base::ActiveBalloon()->Title());
    }
  }
}

// Closing the window during a recording with sound is the user's stop: the close returns
// once the camera's thread, which saves the file, has gone.
TEST_F(MainSoundRecording, ClosingTheWindowWaitsForTheSave) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(base::PumpUntil([&] { return camera().FramesWritten >= 2; }, 20000)) << "no frames written";
  const std::wstring target = records_.path() + L"1.avi";
  ::SendMessageW(form().hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(form().hwnd()));
  EXPECT_FALSE(camera().Recording);
  EXPECT_FALSE(camera().HasRecordThread()) << "the close returned before the recording was saved";
  EXPECT_EQ(ScrCam::kStopUser, ScrCam::StopStatus.load()) << "a user stop, which saves the file";
  EXPECT_TRUE(apptest::FileExists(target));
}

}  // namespace
