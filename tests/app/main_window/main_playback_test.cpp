// The main window's recordings list and playback, driven the way the user drives them (keys
// sent to the controls, button clicks, menu commands) over a scratch recording folder with real
// MRLE recordings: the path edit, the list's folder, replay and the playback buttons, the
// full-screen view and its exits, Esc, delete and the default player.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/program.h"
#include "app/forms/dialog_ids.h"
#include "app/dialogs/rename.h"
#include "base/shell_opener.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/form_doubles.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"

namespace {

namespace id = app::id;
using Names = std::vector<std::wstring>;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

using testapp::IgnoreTrayCall;
using testapp::RecordingShellOpener;

class MainPlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SetProgramIdentity(false);
    previousTray_ = app::SetNotifyIconFunction(&IgnoreTrayCall);
  }
  void TearDown() override {
    form_.reset();
    app::SetNotifyIconFunction(previousTray_);
  }
  // The window over the scratch folder, which is also its recording folder.
  void Open(bool shown = false) {
    app::MainFormOptions options;
    options.programFolder = folder_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    ASSERT_TRUE(form_->Create());
    if (shown) {
      ::ShowWindow(form_->hwnd(), SW_SHOWNORMAL);
      base::PumpPending();
    }
  }
  void Key(int controlId, WPARAM key) { ::SendMessageW(form_->Control(controlId), WM_KEYDOWN, key, 0); }
  void Command(int commandId, int code = 0) {
    ::SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(commandId, code),
                   reinterpret_cast<LPARAM>(form_->Control(commandId)));
  }
  void Click(int buttonId) { form_->Button(buttonId)->Click(); }
  void FocusEntry(const std::wstring& name) {
    HWND list = form_->Control(id::LbVideoList);
    const LRESULT at = ::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(at, LB_ERR) << Narrow(name);
    ::SendMessageW(list, LB_SETCARETINDEX, at, FALSE);
  }
  void SelectEntries(const Names& names) {
    HWND list = form_->Control(id::LbVideoList);
    for (const auto& n : names) {
      const LRESULT at = ::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(n.c_str()));
      ASSERT_NE(at, LB_ERR) << Narrow(n);
      ::SendMessageW(list, LB_SETSEL, TRUE, at);
    }
  }
  Names Listed() const {
    Names names = form_->Recordings().Names();
    std::sort(names.begin(), names.end());
    return names;
  }
  RECT LocalRect(int controlId) const {
    HWND wnd = form_->Control(controlId);
    RECT r{};
    ::GetWindowRect(wnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  RECT ClientOf(int controlId) const {
    RECT r{};
    ::GetClientRect(form_->Control(controlId), &r);
    return r;
  }

  apptest::ScratchFolder folder_;
  std::unique_ptr<app::TFrmMain> form_;
  app::NotifyIconFunction previousTray_ = nullptr;
};

TEST_F(MainPlaybackTest, EnterInThePathEditMakesAndListsTheFolderLeavingItOnlyTellsTheFolder) {
  for (const auto* n : {L"10.avi", L"2.avi", L"REC.avi"}) ASSERT_TRUE(apptest::TouchFile(folder_ / n));
  Open();
  EXPECT_EQ(form_->Recordings().Folder(), folder_.path());
  EXPECT_EQ(Listed(), (Names{L"10.avi", L"2.avi", L"REC.avi"}));

  // Enter with a new sub-folder's name: it is made and listed (empty).
  const std::wstring made = folder_ / L"新的 录像";
  form_->SetControlText(id::EdtRECPath, L"  " + made + L"  ");
  Key(id::EdtRECPath, VK_RETURN);
  EXPECT_TRUE(apptest::Exists(made));
  EXPECT_EQ(form_->RecordFolder(), made + L"\\");
  EXPECT_EQ(form_->Recordings().Folder(), made + L"\\");
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ(Narrow(form_->Status()), Narrow(base::Format(L"%s:%s", app::StrCurrentPath, made + L"\\")));

  // Back to the first folder, then leave the edit with a folder that does not exist.
  form_->SetControlText(id::EdtRECPath, folder_.path());
  Key(id::EdtRECPath, VK_RETURN);
  ASSERT_EQ(Listed().size(), 3u);
  FocusEntry(L"2.avi");
  Command(id::LbVideoList, LBN_SELCHANGE);
  EXPECT_EQ(form_->TargetPath(), folder_ / L"2.avi");
  const std::wstring typed = folder_ / L"typed\\";
  form_->SetControlText(id::EdtRECPath, typed);
  Command(id::EdtRECPath, EN_KILLFOCUS);
  EXPECT_FALSE(apptest::Exists(typed)) << "leaving the edit makes no folder";
  EXPECT_EQ(Narrow(form_->Status()), Narrow(base::Format(L"%s:%s", app::StrCurrentPath, typed)));
  EXPECT_EQ(form_->RecordFolder(), typed);
  EXPECT_EQ(Listed().size(), 3u) << "leaving the edit does not refresh the list";
  EXPECT_EQ(form_->TargetPath(), folder_ / L"2.avi") << "the chosen recording stays the listed one";

  // The list's actions keep to the folder the entries came from.
  ASSERT_TRUE(::CreateDirectoryW(typed.c_str(), nullptr));
  ASSERT_TRUE(apptest::TouchFile(typed + L"2.avi"));
  FocusEntry(L"2.avi");
  Command(id::LbVideoList, LBN_SELCHANGE);
  EXPECT_EQ(form_->TargetPath(), folder_ / L"2.avi");
  SelectEntries({L"2.avi"});
  Key(id::LbVideoList, VK_DELETE);
  EXPECT_FALSE(apptest::Exists(folder_ / L"2.avi"));
  EXPECT_TRUE(apptest::Exists(typed + L"2.avi")) << "a same-named file of the typed folder was touched";
  EXPECT_EQ(Listed(), (Names{L"10.avi", L"REC.avi"}));
}

TEST_F(MainPlaybackTest, ReplayPlaysTheCurrentEntryAtItsSizeAndTheButtonsDriveIt) {
  ASSERT_TRUE(apptest::WriteMrleAvi(folder_ / L"1.avi", 96, 64, 40, 10));
  ASSERT_TRUE(apptest::WriteMrleAvi(folder_ / L"2.avi", 120, 80, 40, 10));
  Open(true);
  EXPECT_FALSE(form_->ControlVisible(id::PnlVideoControl));
  FocusEntry(L"2.avi");
  Click(id::BtnReplayRec);
  EXPECT_TRUE(form_->ControlVisible(id::PnlScreen));
  EXPECT_TRUE(form_->ControlVisible(id::PnlVideoControl));
  EXPECT_EQ(form_->FileName(), L"2.avi");
  EXPECT_EQ(Narrow(form_->Status()), Narrow(base::Format(app::StrStartPlayingFmt, folder_ / L"2.avi")));
  EXPECT_EQ(form_->VideoWidth(), 120);
  EXPECT_EQ(form_->VideoHeight(), 80);
  const RECT screen = LocalRect(id::PnlScreen);
  EXPECT_EQ(screen.left, 0);
  EXPECT_EQ(screen.top, 0);
  EXPECT_EQ(screen.right, 120);
  EXPECT_EQ(screen.bottom, 80);
  app::MciPlayer& player = form_->Player().player();
  EXPECT_EQ(player.FileName(), folder_ / L"2.avi");
  EXPECT_TRUE(base::PumpUntil([&] { return player.Mode() == MCI_MODE_PLAY; }, 15000));

  Click(id::BtnPause);
  EXPECT_EQ(player.Mode(), std::optional<DWORD>(MCI_MODE_PAUSE));
  Click(id::BtnPlay);
  EXPECT_TRUE(base::PumpUntil([&] { return player.Mode() == MCI_MODE_PLAY; }, 15000));
  Click(id::BtnStop);
  EXPECT_EQ(player.Mode(), std::optional<DWORD>(MCI_MODE_STOP));

  // With the player closed, the play button plays the current entry.
  form_->ClosePlayer();
  FocusEntry(L"1.avi");
  Click(id::BtnPlay);
  EXPECT_EQ(player.FileName(), folder_ / L"1.avi");
  EXPECT_EQ(form_->VideoWidth(), 96);
}

TEST_F(MainPlaybackTest, ReplayOfAnUnreadableEntrySaysSoInsteadOfStartingToPlay) {
  ASSERT_TRUE(apptest::WriteMrleAvi(folder_ / L"good.avi", 32, 32, 10, 10));
  const std::string good = apptest::ReadBytes(folder_ / L"good.avi");
  ASSERT_TRUE(apptest::WriteBytes(folder_ / L"text.avi", "this is not a recording\r\n"));
  ASSERT_TRUE(apptest::WriteBytes(folder_ / L"cut.avi", good.substr(0, 100)));
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter installed(prompter);
  Open(true);
  for (const wchar_t* name : {L"text.avi", L"cut.avi"}) {
    SCOPED_TRACE(Narrow(name));
    const size_t before = prompter.asked().size();
    FocusEntry(name);
    Click(id::BtnReplayRec);
    const std::wstring expected = base::Format(L"无法播放%s：不是可以读取的录像文件", folder_ / name);
    EXPECT_EQ(Narrow(form_->Status()), Narrow(expected));
    const auto asked = prompter.asked();
    ASSERT_EQ(asked.size(), before + 1) << "one box";
    EXPECT_EQ(Narrow(asked.back().text), Narrow(expected));
    EXPECT_FALSE(form_->ControlVisible(id::PnlVideoControl));
  }
  // A readable one plays as before, without a box.
  const size_t before = prompter.asked().size();
  FocusEntry(L"good.avi");
  Click(id::BtnReplayRec);
  EXPECT_EQ(Narrow(form_->Status()), Narrow(base::Format(app::StrStartPlayingFmt, folder_ / L"good.avi")));
  EXPECT_EQ(prompter.asked().size(), before);
}

TEST_F(MainPlaybackTest, FullScreenHidesTheFrameAndEveryExitRestoresIt) {
  ASSERT_TRUE(apptest::WriteMrleAvi(folder_ / L"1.avi", 96, 64, 40, 10));
  Open(true);
  FocusEntry(L"1.avi");
  Click(id::BtnReplayRec);
  const int frame[] = {id::PnlBottom, id::SbLeft, id::SbFileSelect, id::SbVideoLeft, id::ImgRight,
                       id::ImgLeft,   id::SplB1,  id::SplL2,        id::PnlTop};
  for (int round = 0; round < 2; ++round) {
    Click(id::FullScreenBtn);
    EXPECT_EQ(form_->Button(id::FullScreenBtn)->tag(), 1);
    for (int region : frame) EXPECT_FALSE(form_->ControlVisible(region)) << "region " << region;
    EXPECT_TRUE(::IsZoomed(form_->hwnd()));
    EXPECT_TRUE(form_->ControlVisible(id::PnlScreen));
    // The video covers the whole playback area.
    const RECT area = ClientOf(id::SbVideoScreen);
    const RECT screen = LocalRect(id::PnlScreen);
    EXPECT_EQ(screen.right - screen.left, area.right) << "round " << round;
    EXPECT_EQ(screen.bottom - screen.top, area.bottom) << "round " << round;
    const RECT shown = form_->Player().player().DisplayRect().value_or(RECT{});
    EXPECT_EQ(shown.right, area.right);
    EXPECT_EQ(shown.bottom, area.bottom);
    EXPECT_EQ(Narrow(form_->Status()), Narrow(base::Format(L"当前文件：%s", folder_ / L"1.avi")));

    // First round: a double click on the video leaves; second round: Esc on the window.
    if (round == 0)
      ::SendMessageW(form_->Control(id::PnlScreen), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    else
      ::SendMessageW(form_->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(form_->Button(id::FullScreenBtn)->tag(), 0);
    for (int region : frame) EXPECT_TRUE(form_->ControlVisible(region)) << "region " << region;
    EXPECT_FALSE(::IsZoomed(form_->hwnd()));
    EXPECT_FALSE(form_->ControlVisible(id::PnlScreen));
    const RECT back = LocalRect(id::PnlScreen);
    EXPECT_EQ(back.right - back.left, 96);
    EXPECT_EQ(back.bottom - back.top, 64);
  }
}

TEST_F(MainPlaybackTest, EscInThePathEditRestoresTheWindowAndSetsTheCaption) {
  Open(true);
  ::ShowWindow(form_->hwnd(), SW_MAXIMIZE);
  form_->SetControlVisible(id::SbLeft, false);
  form_->Button(id::FullScreenBtn)->SetTag(1);
  // Through the message loop, as a key press comes.
  ::PostMessageW(form_->Control(id::EdtRECPath), WM_KEYDOWN, VK_ESCAPE, 0);
  base::PumpPending();
  EXPECT_FALSE(::IsZoomed(form_->hwnd()));
  EXPECT_TRUE(form_->ControlVisible(id::SbLeft));
  wchar_t caption[128] = {};
  ::GetWindowTextW(form_->hwnd(), caption, 128);
  EXPECT_EQ(Narrow(caption), Narrow(app::ProductName + L"3.6"));
  EXPECT_EQ(form_->Button(id::FullScreenBtn)->tag(), 1) << "the toggle is not touched";
}

// The shortcut check runs in the message loop for every key press that the window or any
// window inside it gets, whichever has the focus, and leaves the key to that window; keys for
// other windows, and keys while a modal dialog has disabled the window, do not reach it.
TEST_F(MainPlaybackTest, TheShortcutCheckSeesEveryKeyForTheWindowInTheMessageLoop) {
  Open(true);
  HWND stranger = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr, nullptr, nullptr,
                                    nullptr);
  ASSERT_TRUE(stranger);
  const std::wstring restored = app::ProductName + L"3.6";
  struct Case {
    const char* name;
    std::function<HWND()> target;
    WPARAM key;
    bool disabled;
    bool runs;
  };
  const Case cases[] = {
      {"the window", [&] { return form_->hwnd(); }, VK_ESCAPE, false, true},
      {"the path edit", [&] { return form_->Control(id::EdtRECPath); }, VK_ESCAPE, false, true},
      {"the name edit", [&] { return form_->Control(id::EdtREC); }, VK_ESCAPE, false, true},
      {"the recordings list", [&] { return form_->Control(id::LbVideoList); }, VK_ESCAPE, false, true},
      {"the tabs", [&] { return form_->Control(id::PageControl1); }, VK_ESCAPE, false, true},
      {"the demonstration panel", [&] { return form_->Control(id::PnlDemo); }, VK_ESCAPE, false, true},
      {"a button of the left bar", [&] { return form_->Control(id::BtnSartRec); }, VK_ESCAPE, false, true},
      {"another key", [&] { return form_->Control(id::EdtREC); }, 'A', false, false},
      {"a window that is not the main window's", [&] { return stranger; }, VK_ESCAPE, false, false},
      {"the window disabled under a modal dialog", [&] { return form_->Control(id::EdtREC); }, VK_ESCAPE, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::SetWindowTextW(form_->hwnd(), L"before");
    if (c.disabled) ::EnableWindow(form_->hwnd(), FALSE);
    ASSERT_TRUE(::PostMessageW(c.target(), WM_KEYDOWN, c.key, 0));
    base::PumpPending();
    ::EnableWindow(form_->hwnd(), TRUE);
    EXPECT_EQ(Narrow(testapp::TextOf(form_->hwnd())), Narrow(c.runs ? restored : L"before"));
  }
  // The key still reaches its control: Enter in the path edit is the edit's command.
  form_->SetStatus(L"");
  ::PostMessageW(form_->Control(id::EdtRECPath), WM_KEYDOWN, VK_RETURN, 0);
  base::PumpPending();
  EXPECT_EQ(Narrow(form_->Status()), Narrow(app::StrCurrentPath + L":" + folder_.path()));
  ::DestroyWindow(stranger);
}

TEST_F(MainPlaybackTest, DeleteOfThreeSelectedEntriesClosesThePlayerFirst) {
  for (const auto* n : {L"1.avi", L"2.avi", L"3.avi", L"4.avi"})
    ASSERT_TRUE(apptest::WriteMrleAvi(folder_ / n, 32, 32, 40, 10));
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter installed(prompter);
  Open(true);
  FocusEntry(L"3.avi");
  Click(id::BtnReplayRec);
  ASSERT_TRUE(form_->Player().player().IsOpen());
  SelectEntries({L"1.avi", L"3.avi", L"4.avi"});
  Command(id::MnDeleteREC);
  EXPECT_TRUE(prompter.asked().empty()) << "deleting asks nothing";
  EXPECT_FALSE(form_->Player().player().IsOpen());
  EXPECT_FALSE(form_->ControlVisible(id::PnlVideoControl));
  for (const auto* n : {L"1.avi", L"3.avi", L"4.avi"}) EXPECT_FALSE(apptest::Exists(folder_ / n)) << Narrow(n);
  EXPECT_TRUE(apptest::Exists(folder_ / L"2.avi"));
  EXPECT_EQ(Listed(), (Names{L"2.avi"}));

  // F5 lists what the folder holds now.
  ASSERT_TRUE(apptest::TouchFile(folder_ / L"7.avi"));
  Key(id::LbVideoList, VK_F5);
  EXPECT_EQ(Listed(), (Names{L"2.avi", L"7.avi"}));
}

TEST_F(MainPlaybackTest, MessagesForAnEmptyListAndTheDefaultPlayer) {
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter installed(prompter);
  RecordingShellOpener opener;
  base::ScopedShellOpener openerInstalled(opener);
  Open();
  Click(id::BtnReplayRec);
  EXPECT_EQ(Narrow(form_->Status()), Narrow(app::StrNoRecordingFiles));
  Command(id::MnDefaultOpenREC);  // nothing chosen yet
  // A file chosen in the list that has gone since.
  ASSERT_TRUE(apptest::TouchFile(folder_ / L"gone.avi"));
  Key(id::LbVideoList, VK_F5);
  FocusEntry(L"gone.avi");
  Command(id::LbVideoList, LBN_SELCHANGE);
  ASSERT_TRUE(::DeleteFileW((folder_ / L"gone.avi").c_str()));
  Command(id::MnDefaultOpen);
  ASSERT_TRUE(apptest::TouchFile(folder_ / L"5.avi"));
  Key(id::LbVideoList, VK_F5);
  FocusEntry(L"5.avi");
  Command(id::LbVideoList, LBN_SELCHANGE);
  Command(id::BtnDefaultOpen);
  Command(id::MnOpenCurDir);

  const auto asked = prompter.asked();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(Narrow(asked[0].text), Narrow(app::StrNoRecordingFiles));
  EXPECT_EQ(Narrow(asked[1].text), Narrow(L"请选择『录像列表』中的一个视频文件"));
  EXPECT_EQ(Narrow(asked[2].text), Narrow(L"视频文件不存在 ：" + folder_ / L"gone.avi"));
  ASSERT_EQ(opener.calls.size(), 2u);
  EXPECT_EQ(Narrow(opener.calls[0]), Narrow(L"open " + folder_ / L"5.avi"));
  EXPECT_EQ(Narrow(opener.calls[1]), Narrow(L"explore " + folder_.path()));
}

// The rename command through the real rename dialog: the player lets go of a replayed
// recording first, the name gets its extension, and a refused name changes nothing.
TEST_F(MainPlaybackTest, RenameThroughTheDialog) {
  struct Case {
    const wchar_t* typed;      // nullptr: the dialog is closed
    const wchar_t* expected;   // the file's name afterwards
    size_t messages;
  };
  const Case cases[] = {
      {L"holiday", L"holiday.avi", 0},  // held by the player, extension added
      {L"2", L"1.avi", 1},              // an existing target: refused, reported
      {nullptr, L"1.avi", 0},           // closed: nothing changes
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << round++);
    apptest::ScratchFolder folder;
    ASSERT_TRUE(apptest::WriteMrleAvi(folder.path() + L"1.avi", 32, 32, 40, 10));
    ASSERT_TRUE(apptest::WriteMrleAvi(folder.path() + L"2.avi", 32, 32, 4, 10));
    testsupport::ScriptedPrompter prompter;
    base::ScopedPrompter installed(prompter);
    Open(true);
    form_->SetControlText(id::EdtRECPath, folder.path());
    Key(id::EdtRECPath, VK_RETURN);
    FocusEntry(L"1.avi");
    Click(id::BtnReplayRec);
    ASSERT_TRUE(form_->Player().player().IsOpen());
    testapp::WhenShown(app::RenameDialogWindow, [&](HWND dlg) {
      if (c.typed) {
        testapp::SetText(dlg, app::id::EdtName, c.typed);
        testapp::Press(dlg, app::id::RenameBtnConfirm);
      } else {
        testapp::Press(dlg, app::id::RenameBtnClose);
      }
    });
    Command(id::MnUpdateRECName);
    EXPECT_FALSE(form_->Player().player().IsOpen());
    EXPECT_TRUE(apptest::Exists(folder.path() + c.expected)) << Narrow(c.expected);
    EXPECT_TRUE(apptest::Exists(folder.path() + L"2.avi"));
    EXPECT_EQ(prompter.asked().size(), c.messages);
    Names expected{c.expected, L"2.avi"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Listed(), expected);
    form_.reset();
  }
}

}  // namespace
