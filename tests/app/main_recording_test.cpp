// The recording road in the real main window (this process, the session's display): the
// balloons it shows, a start that fails its checks, a recording that fails, and the two
// commands that open dialogs.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "app/control_ids.h"
#include "app/dialog_ids.h"
#include "app/hotkeyset.h"
#include "app/main_form.h"
#include "app/messages.h"
#include "app/optdlg.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"

namespace {

namespace id = app::id;

class MainRecording : public testing::Test {
 protected:
  void SetUp() override {
    app::MainFormOptions options;
    options.programFolder = program_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    ASSERT_TRUE(form_->Create());
    form_->Show();
    form_->SetControlText(id::EdtRECPath, records_.path());
    if (form_->Button(id::BtnAutoSave)->tag() != 1) form_->BtnAutoSaveClick();
    if (form_->Button(id::CbSound)->tag() != 0) form_->ToggleSound();
  }
  void TearDown() override {
    form_.reset();
    base::FreeActiveBalloon();
  }
  bool Blinking() const { return form_->TimerEnabled(id::TimerRECing); }

  testsupport::ScriptedPrompter prompter_{{}, IDNO};
  base::ScopedPrompter scoped_{prompter_};
  testapp::ScratchFolder program_, records_;
  std::unique_ptr<app::TFrmMain> form_;
};

TEST_F(MainRecording, BalloonsAtStartAndOnTheFirstSoundClickOnly) {
  base::TBalloon* balloon = base::ActiveBalloon();
  ASSERT_TRUE(balloon);
  EXPECT_TRUE(::IsWindowVisible(balloon->hwnd()));
  EXPECT_EQ(L"单击此按钮，可全屏屏幕录像", balloon->Title());
  EXPECT_FALSE(balloon->TailOnTop()) << "anchored right and top: the tail is at the bottom left";

  form_->CbSoundClick();
  ASSERT_TRUE(base::ActiveBalloon());
  HWND hint = base::ActiveBalloon()->hwnd();
  EXPECT_EQ(L"是否录制声音", base::ActiveBalloon()->Title());
  EXPECT_EQ(1, form_->Button(id::CbSound)->tag());
  form_->CbSoundClick();
  EXPECT_EQ(hint, base::ActiveBalloon()->hwnd()) << "the hint is shown once a run";
  EXPECT_EQ(0, form_->Button(id::CbSound)->tag());
}

TEST_F(MainRecording, AStartThatFailsItsChecksLeavesTheWindowAsItWas) {
  form_->SetControlText(id::EdtRECPath, records_.path() + L"bad|folder");
  form_->Button(id::BtnSartRec)->Click();
  ASSERT_EQ(1u, prompter_.asked().size());
  EXPECT_EQ(L"请选择一个合法的文件夹名称", prompter_.asked()[0].text);
  EXPECT_EQ(app::kApplicationTitle, prompter_.asked()[0].caption);
  EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
  EXPECT_FALSE(::IsIconic(form_->hwnd()));
  EXPECT_FALSE(Blinking());
  EXPECT_FALSE(form_->ScreenCamNS()->Recording());
}

// The default compressor made to refuse every format (a refusing compressor installed in this
// process in its place): the recording fails, says so, and the end brings the window back with
// the normal icon; a stop afterwards shows no saved balloon.
TEST_F(MainRecording, AFailedRecordingBringsTheWindowBackWithoutASavedBalloon) {
  testsupport::ScopedPassThrough refusingDefault({.refuseAll = true}, scrcamNS::kDefaultCodec);
  ASSERT_TRUE(refusingDefault.ok());
  scrcamNS::TScreenCamNS* camera = form_->ScreenCamNS();
  camera->SetCompressorIndex(-1);
  form_->Button(id::BtnSartRec)->Click();
  EXPECT_TRUE(base::PumpUntil([&] { return !camera->HasRecordThread(); }, 30000));
  EXPECT_TRUE(base::PumpUntil([&] { return ::IsWindowVisible(form_->hwnd()) != FALSE; }, 10000));
  EXPECT_FALSE(Blinking());
  EXPECT_EQ(form_->TrayIconNormal(), form_->TrayData().icon());
  EXPECT_FALSE(prompter_.asked().empty()) << "the recorder reports its failure";
  ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
  ASSERT_TRUE(base::ActiveBalloon());
  EXPECT_EQ(std::wstring::npos, base::ActiveBalloon()->Title().find(L"屏幕录像已保存为"));
  EXPECT_FALSE(form_->SaveBalloonShown);
}

TEST_F(MainRecording, MenuCommandsOpenTheHotkeyAndOptionsDialogs) {
  bool hint = true;
  testapp::WhenShown(app::HotkeyDialogWindow, [&](HWND dlg) {
    hint = ::IsWindowVisible(::GetDlgItem(dlg, id::LnlHint1)) != FALSE;
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  ::SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(id::MnHotKeySet, 0), 0);
  EXPECT_FALSE(hint);

  scrcamNS::TScreenCamNS* camera = form_->ScreenCamNS();
  const int interval = camera->CaptureInterval();
  bool opened = false;
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    opened = true;
    ::SendMessageW(::GetDlgItem(dlg, id::TrackBarRecord), TBM_SETPOS, TRUE, 1000);
    testapp::Press(dlg, id::BitBtn1);
  });
  ::SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(id::MnRectSet, 0), 0);
  EXPECT_TRUE(opened);
  EXPECT_NE(interval, camera->CaptureInterval());
  EXPECT_EQ(60000, camera->CaptureInterval());
}

}  // namespace
