// Long recording names through the main window, the way the user meets them: a 250-character
// name in the list is played, split through the system open dialog, renamed and deleted; a
// path longer than 259 characters chosen in the open dialogs ("打开一个录像", the split's file
// choice and the picture-add dialog) is refused there with a message, and the dialog stays usable, while the list still
// plays, renames and deletes that recording.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/forms/control_ids.h"
#include "app/forms/dialog_ids.h"
#include "app/main_window/main_form.h"
#include "app/program.h"
#include "app/dialogs/rename.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/form_doubles.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"

namespace {

namespace id = app::id;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

// A recording folder with a short path of its own, so a 250-character name still makes a path
// within MAX_PATH: C:\rl32\ and its contents, removed afterwards.
class ShortFolder {
 public:
  ShortFolder() {
    apptest::RemoveTree(path_);
    ok_ = ::CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
  }
  ~ShortFolder() { apptest::RemoveTree(path_); }
  ShortFolder(const ShortFolder&) = delete;
  ShortFolder& operator=(const ShortFolder&) = delete;
  bool ok() const { return ok_; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_ = L"C:\\rl32\\";
  bool ok_ = false;
};

class LongNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SetProgramIdentity(false);
    previousTray_ = app::SetNotifyIconFunction(&testapp::IgnoreTrayCall);
    app::MainFormOptions options;
    options.programFolder = scratch_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    ASSERT_TRUE(form_->Create());
    ::ShowWindow(form_->hwnd(), SW_SHOWNORMAL);
    base::PumpPending();
  }
  void TearDown() override {
    form_.reset();
    app::SetNotifyIconFunction(previousTray_);
  }
  void Command(int commandId, int code = 0) {
    ::SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(commandId, code),
                   reinterpret_cast<LPARAM>(form_->Control(commandId)));
  }
  void ListFolder(const std::wstring& folder) {
    form_->SetControlText(id::EdtRECPath, folder);
    ::SendMessageW(form_->Control(id::EdtRECPath), WM_KEYDOWN, VK_RETURN, 0);
  }
  bool Focus(const std::wstring& name) {
    HWND list = form_->Control(id::LbVideoList);
    ::SendMessageW(list, LB_SETSEL, FALSE, -1);
    const LRESULT at =
        ::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (at == LB_ERR) return false;
    ::SendMessageW(list, LB_SETSEL, TRUE, at);
    ::SendMessageW(list, LB_SETCARETINDEX, at, FALSE);
    return true;
  }

  apptest::ScratchFolder scratch_;
  std::unique_ptr<app::TFrmMain> form_;
  app::NotifyIconFunction previousTray_ = nullptr;
  testsupport::ScriptedPrompter prompter_;
  base::ScopedPrompter scopedPrompter_{prompter_};
};

TEST_F(LongNamesTest, AQuarterKilocharacterNameIsPlayedSplitRenamedAndDeleted) {
  ShortFolder folder;
  ASSERT_TRUE(folder.ok());
  const std::wstring name = std::wstring(246, L'r') + L".avi", renamed = std::wstring(240, L's') + L".avi";
  ASSERT_EQ(name.size(), 250u);
  ASSERT_LT(folder.path().size() + name.size(), static_cast<size_t>(MAX_PATH));
  ASSERT_TRUE(apptest::WriteMrleAvi(folder.path() + name, 32, 24, 3, 10));
  ListFolder(folder.path());
  ASSERT_TRUE(Focus(name)) << "listed";

  // Played.
  form_->Button(id::BtnReplayRec)->Click();
  EXPECT_TRUE(form_->Player().player().IsOpen());

  // Split, chosen in the system open dialog.
  testapp::WhenShown(&testapp::OpenDialog, [&](HWND dialog) { testapp::ChooseFile(dialog, folder.path() + name); });
  Command(id::MnAVIToPIC);
  EXPECT_TRUE(prompter_.asked().empty());
  EXPECT_EQ(form_->PictureEntries().size(), 3u);
  EXPECT_TRUE(apptest::FileExists(folder.path() + L"img\\Frame03.BMP"));

  // Renamed, to another long name, through the rename dialog.
  ListFolder(folder.path());
  ASSERT_TRUE(Focus(name));
  testapp::WhenShown(app::RenameDialogWindow, [&](HWND dlg) {
    testapp::SetText(dlg, app::id::EdtName, renamed);
    testapp::Press(dlg, app::id::RenameBtnConfirm);
  });
  Command(id::MnUpdateRECName);
  EXPECT_TRUE(apptest::FileExists(folder.path() + renamed));
  EXPECT_FALSE(apptest::FileExists(folder.path() + name));
  EXPECT_EQ(form_->Recordings().Names(), std::vector<std::wstring>{renamed});

  // Played again, then deleted.
  ASSERT_TRUE(Focus(renamed));
  form_->Button(id::BtnReplayRec)->Click();
  EXPECT_TRUE(form_->Player().player().IsOpen());
  Command(id::MnDeleteREC);
  EXPECT_FALSE(apptest::FileExists(folder.path() + renamed));
  EXPECT_EQ(form_->Recordings().Names(), std::vector<std::wstring>{});
  EXPECT_TRUE(prompter_.asked().empty()) << Narrow(prompter_.asked().empty() ? L"" : prompter_.asked()[0].text);
}

TEST_F(LongNamesTest, APathOverMaxPathIsRefusedInTheOpenDialogs) {
  // The scratch folder plus a 250-character name: well over 259 characters.
  const std::wstring path = scratch_.path() + std::wstring(246, L'n') + L".avi";
  ASSERT_GE(path.size(), static_cast<size_t>(MAX_PATH));
  {
    apptest::ScratchFolder shortCopy;
    ASSERT_TRUE(apptest::WriteMrleAvi(shortCopy.path() + L"1.avi", 32, 24, 3, 10));
    ASSERT_TRUE(::MoveFileW((shortCopy.path() + L"1.avi").c_str(), path.c_str())) << ::GetLastError();
  }
  // A picture with a path as long, for the picture-add dialog (alone, and as the second of
  // two files chosen together).
  const std::wstring picture = scratch_.path() + std::wstring(246, L'p') + L".bmp";
  {
    apptest::ScratchFolder shortCopy;
    ASSERT_TRUE(apptest::WriteBytes(shortCopy.path() + L"1.bmp", "BM"));
    ASSERT_TRUE(::MoveFileW((shortCopy.path() + L"1.bmp").c_str(), picture.c_str())) << ::GetLastError();
  }
  ListFolder(scratch_.path());
  struct Choice {
    const char* name;
    int command;
    std::wstring typed;
  } choices[] = {{"open a recording", id::MnOpenAREC, path},
                 {"split into pictures", id::MnAVIToPIC, path},
                 {"add pictures", id::BtnLoadPics, picture},
                 {"add two pictures", id::BtnLoadPics, L"\"" + scratch_.path() + L"a.bmp\" \"" + picture + L"\""}};
  for (const Choice& choice : choices) {
    SCOPED_TRACE(choice.name);
    testsupport::ScriptedPrompter prompter;
    base::ScopedPrompter scoped(prompter);
    bool stillOpen = false;
    testapp::WhenShown(&testapp::OpenDialog, [&](HWND dialog) {
      testapp::ChooseFile(dialog, choice.typed);
      // Refused: the dialog is still there, and is closed by the user.
      stillOpen = dialog && ::IsWindowVisible(dialog);
      ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    Command(choice.command);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(prompter.asked().size(), 1u);
    EXPECT_NE(prompter.asked()[0].text.find(L"路径太长"), std::wstring::npos) << Narrow(prompter.asked()[0].text);
    EXPECT_FALSE(form_->Player().player().IsOpen());
    EXPECT_TRUE(form_->PictureEntries().empty());
  }

  // From the list the same recording still plays, is renamed and is deleted.
  const std::wstring name = path.substr(scratch_.path().size());
  ASSERT_TRUE(Focus(name));
  form_->Button(id::BtnReplayRec)->Click();
  EXPECT_TRUE(form_->Player().player().IsOpen());
  const std::wstring renamed = std::wstring(246, L'm') + L".avi";
  testapp::WhenShown(app::RenameDialogWindow, [&](HWND dlg) {
    testapp::SetText(dlg, app::id::EdtName, renamed);
    testapp::Press(dlg, app::id::RenameBtnConfirm);
  });
  Command(id::MnUpdateRECName);
  EXPECT_TRUE(apptest::FileExists(scratch_.path() + renamed));
  ASSERT_TRUE(Focus(renamed));
  Command(id::MnDeleteREC);
  EXPECT_FALSE(apptest::FileExists(scratch_.path() + renamed));
  EXPECT_EQ(form_->Recordings().Names(), std::vector<std::wstring>{});
}

}  // namespace
