// Area recordings without sound in the real main window (this process, the session's display),
// recorded with the test's pass-through compressor: a start that fails its checks brings the
// main window back with its message and leaves nothing behind, and every stop (the tray, a stop
// key) hides the tool window.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/area/areaselect.h"
#include "app/forms/control_ids.h"
#include "app/dialogs/hotkeyset.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/area/toolform.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/files.h"
#include "tests/app/recording_form.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"

namespace {

namespace id = app::id;

class MainAreaRecording : public testing::Test {
 protected:
  void SetUp() override {
    app::HotkeyText1.clear();
    app::HotkeyText2.clear();
    app::HotkeyText3 = L"Esc";
    app::MainFormOptions options;
    options.programFolder = program_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    testapp::PrepareRecordingForm(*form_, records_.path(), L"");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(testapp::SelectPassThrough(*form_->ScreenCamNS())) << "the pass-through compressor is not listed";
  }
  void TearDown() override {
    form_.reset();
    base::FreeActiveBalloon();
  }
  app::TFrmMain& form() { return *form_; }
  // The area record button, the area window at (100, 100) sized 400 x 300, its confirm.
  void RecordArea() {
    form().Button(id::BtnAreaScreenREC)->Click();
    ASSERT_TRUE(app::FrmAreaSelect);
    ::SetWindowPos(app::FrmAreaSelect->hwnd(), nullptr, 100, 100, 400, 300, SWP_NOZORDER);
    ::SendMessageW(app::FrmAreaSelect->hwnd(), WM_COMMAND, MAKEWPARAM(id::BtnConfirm, BN_CLICKED), 0);
  }
  bool ToolShown() const { return app::FrmTool && ::IsWindowVisible(app::FrmTool->hwnd()); }
  bool WindowBack() {
    return ::IsWindowVisible(form().hwnd()) && !::IsIconic(form().hwnd()) &&
           ::GetForegroundWindow() == form().hwnd();
  }
  size_t Recordings() {
    std::vector<std::wstring> files;
    base::GetFileList(records_.path(), L".avi", files);
    return files.size();
  }

  testsupport::ScriptedPrompter prompter_;
  base::ScopedPrompter scoped_{prompter_};
  testsupport::ScopedPassThrough codec_{testsupport::PassThroughOptions{{24, 32}}};
  apptest::ScratchFolder program_, records_;
  std::unique_ptr<app::TFrmMain> form_;
};

TEST_F(MainAreaRecording, AFailedStartBringsTheWindowBack) {
  struct Case {
    const char* name;
    std::wstring path, typedName;
    std::wstring message;
  };
  std::vector<Case> cases = {{"empty name", records_.path(), L" ", L"请输入一个录像名称"}};
  if (!(::GetLogicalDrives() & (1u << (L'Q' - L'A'))))
    cases.push_back({"missing drive", L"Q:\\rec\\", L"", L"磁盘Q:不存在，请重选择一个路径。"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    form().SetControlText(id::EdtRECPath, c.path);
    const bool numbering = c.typedName.empty();
    if ((form().Button(id::BtnAutoSave)->tag() == 1) != numbering) form().BtnAutoSaveClick();
    form().SetControlText(id::EdtREC, c.typedName);
    const size_t asked = prompter_.asked().size();
    RecordArea();
    ASSERT_EQ(asked + 1, prompter_.asked().size());
    EXPECT_EQ(c.message, prompter_.asked().back().text);
    EXPECT_TRUE(base::PumpUntil([&] { return WindowBack(); }, 5000));
    EXPECT_FALSE(ToolShown());
    EXPECT_FALSE(form().TimerEnabled(id::TimerRECing));
    EXPECT_FALSE(form().ScreenCamNS()->Recording());
    EXPECT_FALSE(app::StopHotKeyRegistered.load());
    EXPECT_EQ(0u, Recordings());
  }
}

TEST_F(MainAreaRecording, EveryStopHidesTheToolWindow) {
  struct Case {
    const char* stop;
    std::function<void()> press;
  };
  const Case cases[] = {
      {"tray left click", [&] { ::SendMessageW(form().hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN); }},
      {"stop key (Esc)",
       [&] { ASSERT_TRUE(testapp::PressEscape()); }},
  };
  scrcamNS::TScreenCamNS& recorder = *form().ScreenCamNS();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stop);
    RecordArea();
    ASSERT_TRUE(recorder.Recording());
    EXPECT_TRUE(ToolShown());
    EXPECT_TRUE(app::StopHotKeyRegistered.load());
    EXPECT_TRUE(base::PumpUntil([&] { return recorder.FramesWritten() >= 2; }, 20000));
    c.press();
    EXPECT_TRUE(base::PumpUntil([&] { return !recorder.HasRecordThread() && !form().Road()->Running(); }, 20000));
    EXPECT_FALSE(ToolShown());
    EXPECT_TRUE(base::PumpUntil([&] { return ::IsWindowVisible(form().hwnd()) != FALSE; }, 5000));
    EXPECT_FALSE(app::StopHotKeyRegistered.load());
  }
  EXPECT_EQ(2u, Recordings());
}

}  // namespace
