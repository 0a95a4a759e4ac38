// The recording road in the real main window (this process, the session's display): the
// balloons it shows and where they point, starts that fail their checks, real recordings
// stopped every way (what the stop reports, how the window comes back), a recording that fails,
// and the two commands that open dialogs. The recordings are full-screen MRLE at 8 bits.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "app/forms/control_ids.h"
#include "app/forms/dialog_ids.h"
#include "app/dialogs/hotkeyset.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/dialogs/optdlg.h"
#include "app/host_form/optdlg_ws.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"

namespace {

namespace id = app::id;

class MainRecording : public testing::Test {
 protected:
  void SetUp() override { Open(); }
  void TearDown() override {
    form_.reset();
    base::FreeActiveBalloon();
  }
  // A new window (the one before goes), shown maximised, recording numbered files into
  // records_ without sound, its list showing records_.
  void Open() {
    form_.reset();
    app::MainFormOptions options;
    options.programFolder = program_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    ASSERT_TRUE(form_->Create());
    form_->Show();
    form_->SetControlText(id::EdtRECPath, records_.path());
    form_->EdtRECPathKeyDown(VK_RETURN);
    if (form_->Button(id::BtnAutoSave)->tag() != 1) form_->BtnAutoSaveClick();
    if (form_->Button(id::CbSound)->tag() != 0) form_->ToggleSound();
  }
  bool Blinking() const { return form_->TimerEnabled(id::TimerRECing); }
  void Tray(UINT mouseMessage) { ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, mouseMessage); }

  // Starts a full-screen recording from the record button; false when it does not run with a
  // few frames written.
  bool StartRecording() {
    scrcamNS::TScreenCamNS* camera = form_->ScreenCamNS();
    if (!apptest::UseMrleAt8Bits(*camera)) return false;
    form_->Button(id::BtnSartRec)->Click();
    if (!camera->Recording()) return false;
    return base::PumpUntil([&] { return camera->FramesWritten() >= 2 || !camera->Recording(); }, 30000) &&
           camera->Recording();
  }
  // The recording's thread has gone and the window has taken the end.
  bool WaitForTheEnd() {
    return base::PumpUntil(
        [&] { return !form_->ScreenCamNS()->HasRecordThread() && !form_->Road()->Running(); }, 30000);
  }

  // The active balloon is shown with title, on the screen, its tail's tip on the control.
  void ExpectBalloonOn(int controlId, const std::wstring& title) {
    base::TBalloon* balloon = base::ActiveBalloon();
    ASSERT_TRUE(balloon);
    EXPECT_EQ(base::WideToUtf8(title), base::WideToUtf8(balloon->Title()));
    EXPECT_TRUE(::IsWindowVisible(balloon->hwnd()));
    ASSERT_FALSE(balloon->TailOnTop()) << "anchored right: the tail is at the bottom left";
    RECT body{}, control{};
    ::GetWindowRect(balloon->hwnd(), &body);
    ::GetWindowRect(form_->Control(controlId), &control);
    const POINT tip{body.left + 20, body.bottom};
    EXPECT_TRUE(::PtInRect(&control, tip)) << "tip (" << tip.x << "," << tip.y << "), control (" << control.left
                                           << "," << control.top << "," << control.right << "," << control.bottom
                                           << ")";
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(form_->hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT inside{};
    ::IntersectRect(&inside, &body, &monitor.rcMonitor);
    EXPECT_TRUE(::EqualRect(&inside, &body)) << "balloon (" << body.left << "," << body.top << "," << body.right
                                             << "," << body.bottom << ") is not all on the screen";
  }

  testsupport::ScriptedPrompter prompter_{{}, IDNO};
  base::ScopedPrompter scoped_{prompter_};
  testapp::ScratchFolder program_, records_;
  std::unique_ptr<app::TFrmMain> form_;
};

TEST_F(MainRecording, BalloonsAtStartAndOnTheFirstSoundClickOnly) {
  // The start-up balloon points at the record button of the maximised window.
  ASSERT_TRUE(::IsZoomed(form_->hwnd()));
  ExpectBalloonOn(id::BtnSartRec, L"单击此按钮，可全屏屏幕录像");

  form_->CbSoundClick();
  ASSERT_TRUE(base::ActiveBalloon());
  HWND hint = base::ActiveBalloon()->hwnd();
  EXPECT_EQ(L"是否录制声音", base::ActiveBalloon()->Title());
  EXPECT_EQ(1, form_->Button(id::CbSound)->tag());
  form_->CbSoundClick();
  EXPECT_EQ(hint, base::ActiveBalloon()->hwnd()) << "the hint is shown once a run";
  EXPECT_EQ(0, form_->Button(id::CbSound)->tag());
}

// Starts refused by their checks (a bad folder, names the file system would not take): each
// says why, and nothing changes: no file, no recording, the window and its status line as they
// were.
TEST_F(MainRecording, AStartThatFailsItsChecksLeavesTheWindowAsItWas) {
  struct Case {
    std::wstring folder, name, message;
  };
  auto invalid = [](const std::wstring& name) { return base::Format(app::kInvalidRecNameFmt, name); };
  const std::wstring records = records_.path();
  const Case cases[] = {
      {records + L"bad|folder", L"", L"请选择一个合法的文件夹名称"},
      {records, L"bad:name*?", invalid(L"bad:name*?")},
      {records, L"a/b", invalid(L"a/b")},
      {records, L"<clip>", invalid(L"<clip>")},
      {records, L"say \"hi\"", invalid(L"say \"hi\"")},
      {records, L"con", invalid(L"con")},
      {records, L"   ", L"请输入要屏幕录像名称。"},
  };
  const std::wstring status = form_->Status();
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.folder + L" | " + c.name));
    form_->SetControlText(id::EdtRECPath, c.folder);
    if (!c.name.empty()) {
      if (form_->Button(id::BtnAutoSave)->tag() == 1) form_->BtnAutoSaveClick();
      form_->SetControlText(id::EdtREC, c.name);
    }
    const size_t before = prompter_.asked().size();
    form_->Button(id::BtnSartRec)->Click();
    const auto asked = prompter_.asked();
    ASSERT_EQ(before + 1, asked.size());
    EXPECT_EQ(base::WideToUtf8(c.message), base::WideToUtf8(asked.back().text));
    EXPECT_EQ(app::kApplicationTitle, asked.back().caption);
    EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
    EXPECT_FALSE(::IsIconic(form_->hwnd()));
    EXPECT_FALSE(Blinking());
    EXPECT_FALSE(form_->ScreenCamNS()->Recording());
    EXPECT_FALSE(form_->Road()->LastRecording());
    EXPECT_EQ(base::WideToUtf8(status), base::WideToUtf8(form_->Status()));
  }
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW((records + L"*.avi").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, find) << "a refused start made " << base::WideToUtf8(found.cFileName);
  if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
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
  EXPECT_FALSE(form_->Road()->SaveBalloonShown());
}

// Recording to 6.avi, the user shows the window from the tray and clicks 5.avi in the list,
// then stops from the tray: the status line and the balloon name 6.avi, the file recorded.
TEST_F(MainRecording, TheStopNamesTheRecordingMadeNotTheFileClickedMeanwhile) {
  for (int n = 1; n <= 5; ++n) records_.Touch(std::to_wstring(n) + L".avi");
  form_->RefreshRecordingList();
  ASSERT_TRUE(StartRecording());
  Tray(WM_RBUTTONDOWN);
  HWND list = form_->Control(id::LbVideoList);
  const LRESULT five = ::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(L"5.avi"));
  ASSERT_NE(LB_ERR, five);
  ::SendMessageW(list, LB_SETSEL, TRUE, five);
  ::SendMessageW(list, LB_SETCARETINDEX, five, FALSE);
  ::SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(id::LbVideoList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  ASSERT_EQ(base::WideToUtf8(L"当前文件：" + records_ / L"5.avi"), base::WideToUtf8(form_->Status()));

  Tray(WM_LBUTTONDOWN);
  ASSERT_TRUE(WaitForTheEnd());
  const std::wstring made = records_ / L"6.avi";
  EXPECT_EQ(base::WideToUtf8(L"自动生成录像文件 : " + made), base::WideToUtf8(form_->Status()));
  ASSERT_TRUE(base::ActiveBalloon());
  EXPECT_EQ(base::WideToUtf8(L"屏幕录像已保存为" + made), base::WideToUtf8(base::ActiveBalloon()->Title()));
  EXPECT_FALSE(apptest::ReadBytes(made).empty()) << "nothing recorded into 6.avi";
  EXPECT_TRUE(apptest::ReadBytes(records_ / L"5.avi").empty()) << "5.avi was written";
}

// However a recording is stopped the window comes back as it was before it (maximised here),
// except through the stop-and-restore road, which sets it to the normal state, and with the
// recommendation panel hidden. The first stop's balloon waits for the window and then points
// at the recordings list, on the screen.
TEST_F(MainRecording, EachStopBringsTheWindowBackAndTheBalloonPointsAtTheList) {
  struct Case {
    const char* stop;
    std::function<void()> press;
    bool maximised;
  };
  const Case cases[] = {
      {"tray left click", [&] { Tray(WM_LBUTTONDOWN); }, true},
      {"stop button after the tray showed the window",
       [&] {
         Tray(WM_RBUTTONDOWN);
         form_->Button(id::BtnStopRec)->Click();
       },
       true},
      {"stop and restore", [&] { form_->StopRecordingAndRestore(); }, false},
  };
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stop);
    Open();  // a new run: its first stop shows the balloon
    ASSERT_TRUE(::IsZoomed(form_->hwnd()));
    form_->SetControlVisible(id::PnlHot, true);
    ASSERT_TRUE(StartRecording());
    EXPECT_FALSE(::IsWindowVisible(form_->hwnd()));
    c.press();
    ASSERT_TRUE(WaitForTheEnd());
    EXPECT_FALSE(::GetWindowLongW(form_->Control(id::PnlHot), GWL_STYLE) & WS_VISIBLE) << "the recommendation panel";
    ASSERT_TRUE(base::PumpUntil(
        [&] { return base::ActiveBalloon() && ::IsWindowVisible(base::ActiveBalloon()->hwnd()); }, 5000));
    EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
    EXPECT_FALSE(::IsIconic(form_->hwnd()));
    EXPECT_EQ(c.maximised, ::IsZoomed(form_->hwnd()) != FALSE);
    // Each run numbers its recording after the ones before it in the folder.
    ExpectBalloonOn(id::LbVideoList, L"屏幕录像已保存为" + records_ / (std::to_wstring(++made) + L".avi"));
  }
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

  // With sound the same command opens the audio/video options over the host form's camera.
  form_->ToggleSound();
  ASSERT_TRUE(app::RecordWithSound.load());
  bool soundless = true;
  opened = false;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    opened = ::IsWindowVisible(dlg) != FALSE;
    soundless = app::OptionDialogWindow() && ::IsWindowVisible(app::OptionDialogWindow());
    ::SendMessageW(::GetDlgItem(dlg, id::VideoQuality), TBM_SETPOS, TRUE, 3);
    testapp::Press(dlg, id::OptWsBtnConfirm);
  });
  ::SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(id::MnRectSet, 0), 0);
  form_->ToggleSound();
  EXPECT_TRUE(opened);
  EXPECT_FALSE(soundless);
  EXPECT_EQ(3000, form_->ScrCamera().CompressionQuality());
}

// The stop key's three texts, put back when the test ends.
struct KeptHotkeyTexts {
  std::wstring t1 = app::HotkeyText1, t2 = app::HotkeyText2, t3 = app::HotkeyText3;
  ~KeptHotkeyTexts() { app::HotkeyText1 = t1, app::HotkeyText2 = t2, app::HotkeyText3 = t3; }
};

// A hidden window of the test that can hold a key combination.
struct KeyHolder : base::Window {
  KeyHolder() {
    base::WindowClass cls;
    cls.name = L"StopKeyHolder";
    base::WindowSpec spec;
    spec.parent = HWND_MESSAGE;
    Create(cls, spec);
  }
};

// The configured stop key, pressed as the user would, stops a sound-less recording through
// the screen camera's hotkey window; the window comes back and the recording is saved.
TEST_F(MainRecording, TheConfiguredStopKeyStopsARecording) {
  KeptHotkeyTexts kept;
  app::HotkeyText1 = L"Ctrl";
  app::HotkeyText2 = L"";
  app::HotkeyText3 = L"Q";
  ASSERT_TRUE(StartRecording());
  EXPECT_TRUE(app::StopHotKeyRegistered.load());
  INPUT keys[4] = {};
  const WORD sequence[4][2] = {{VK_CONTROL, 0}, {'Q', 0}, {'Q', KEYEVENTF_KEYUP}, {VK_CONTROL, KEYEVENTF_KEYUP}};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = sequence[i][0];
    keys[i].ki.dwFlags = sequence[i][1];
  }
  ASSERT_EQ(4u, ::SendInput(4, keys, sizeof(INPUT)));
  ASSERT_TRUE(WaitForTheEnd());
  EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
  EXPECT_FALSE(app::StopHotKeyRegistered.load());
  EXPECT_FALSE(apptest::ReadBytes(records_ / L"1.avi").empty()) << "nothing recorded";

  // The key was given back with the recording.
  KeyHolder holder;
  EXPECT_TRUE(::RegisterHotKey(holder.hwnd(), 1, MOD_CONTROL, 'Q'));
  ::UnregisterHotKey(holder.hwnd(), 1);
}

// A stop key that another window holds cannot be the recording's: the hotkey dialog opens
// with its conflict hint, and the recording runs all the same.
TEST_F(MainRecording, AHeldStopKeyOpensTheHotkeyDialog) {
  KeptHotkeyTexts kept;
  app::HotkeyText1 = L"Alt";
  app::HotkeyText2 = L"";
  app::HotkeyText3 = L"K";
  KeyHolder holder;
  ASSERT_TRUE(::RegisterHotKey(holder.hwnd(), 1, MOD_ALT, 'K'));
  bool hint = false, shown = false;
  testapp::WhenShown(app::HotkeyDialogWindow, [&](HWND dlg) {
    shown = true;
    hint = ::IsWindowVisible(::GetDlgItem(dlg, id::LnlHint1)) != FALSE;
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  ASSERT_TRUE(StartRecording());
  EXPECT_TRUE(shown);
  EXPECT_TRUE(hint);
  EXPECT_FALSE(app::StopHotKeyRegistered.load());
  Tray(WM_LBUTTONDOWN);
  ASSERT_TRUE(WaitForTheEnd());
  ::UnregisterHotKey(holder.hwnd(), 1);
}

}  // namespace
