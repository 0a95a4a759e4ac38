// Renaming a recording: the rules table on real files, and the dialog's confirm and cancel
// paths (buttons, Enter, Esc).
#include <gtest/gtest.h>

#include <windows.h>

#include "app/forms/dialog_ids.h"
#include "app/texts/kv.h"
#include "app/dialogs/rename.h"
#include "tests/app/dialog_driver.h"
#include "tests/support/doubles.h"

namespace {

using app::RenameOutcome;

TEST(Rename, RulesTable) {
  struct Case {
    std::wstring typed;
    RenameOutcome outcome;
    std::wstring resultName;  // the file old.avi has afterwards
  } cases[] = {
      {L"", RenameOutcome::Cancelled, L"old.avi"},
      {L"   ", RenameOutcome::Cancelled, L"old.avi"},
      {L"old.avi", RenameOutcome::Unchanged, L"old.avi"},
      {L"new", RenameOutcome::Renamed, L"new.avi"},
      {L" spaced ", RenameOutcome::Renamed, L"spaced.avi"},
      {L"clip.mp4", RenameOutcome::Renamed, L"clip.mp4"},
      {L"OLD", RenameOutcome::Renamed, L"OLD.avi"},
      {L"other", RenameOutcome::TargetExists, L"old.avi"},
      {L"OTHER.AVI", RenameOutcome::TargetExists, L"old.avi"},
      {L"sub\\new", RenameOutcome::InvalidName, L"old.avi"},
      {L"..\\new", RenameOutcome::InvalidName, L"old.avi"},
      {L"a/b", RenameOutcome::InvalidName, L"old.avi"},
      {L"c:new", RenameOutcome::InvalidName, L"old.avi"},
      {L"n*w", RenameOutcome::InvalidName, L"old.avi"},
      {L"trailing.", RenameOutcome::InvalidName, L"old.avi"},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << round++);
    testapp::ScratchFolder folder;
    folder.Touch(L"old.avi");
    folder.Touch(L"other.avi");
    EXPECT_EQ(c.outcome, app::RenameRecordingFile(folder.path(), L"old.avi", c.typed, L".avi"));
    EXPECT_EQ(c.resultName, folder.StoredName(c.resultName));
    EXPECT_EQ(L"other.avi", folder.StoredName(L"other.avi")) << "the other recording is untouched";
  }
}

TEST(Rename, ExtensionIsAppendedOnlyWhenTheNameHasNone) {
  EXPECT_EQ(L"C:\\r\\a.avi", app::RenameTargetPath(L"C:\\r\\", L"a", L".avi"));
  EXPECT_EQ(L"C:\\r\\a.b", app::RenameTargetPath(L"C:\\r\\", L"a.b", L".avi"));
}

class RenameDialog : public testing::Test {
 protected:
  void SetUp() override { app::LoadLanguageTexts(); }
  testapp::ScratchFolder folder_;
};

TEST_F(RenameDialog, ConfirmRenamesAndIsPresetToTheOldName) {
  folder_.Touch(L"take.avi");
  std::wstring preset;
  testapp::WhenShown(app::RenameDialogWindow, [&](HWND dlg) {
    preset = testapp::ItemTextOf(dlg, app::id::EdtName);
    testapp::SetText(dlg, app::id::EdtName, L"final");
    testapp::Press(dlg, app::id::RenameBtnConfirm);
  });
  EXPECT_TRUE(app::RenameRecording(folder_.path(), L"take.avi", L".avi"));
  EXPECT_EQ(L"take.avi", preset);
  EXPECT_TRUE(folder_.Has(L"final.avi"));
  EXPECT_FALSE(folder_.Has(L"take.avi"));
  EXPECT_EQ(L"更改名称", testapp::TextOf(app::RenameDialogWindow()));
  EXPECT_FALSE(::IsWindowVisible(app::RenameDialogWindow()));
}

TEST_F(RenameDialog, CloseAndEscChangeNothing) {
  folder_.Touch(L"take.avi");
  testapp::WhenShown(app::RenameDialogWindow, [](HWND dlg) {
    testapp::SetText(dlg, app::id::EdtName, L"ignored");
    testapp::Press(dlg, app::id::RenameBtnClose);
  });
  EXPECT_FALSE(app::RenameRecording(folder_.path(), L"take.avi", L".avi"));
  testapp::WhenShown(app::RenameDialogWindow, [](HWND dlg) {
    HWND edit = ::GetDlgItem(dlg, app::id::EdtName);
    ::SetWindowTextW(edit, L"ignored too");
    ::PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  });
  EXPECT_FALSE(app::RenameRecording(folder_.path(), L"take.avi", L".avi"));
  EXPECT_TRUE(folder_.Has(L"take.avi"));
  EXPECT_FALSE(folder_.Has(L"ignored.avi"));
  EXPECT_FALSE(folder_.Has(L"ignored too.avi"));
}

TEST_F(RenameDialog, EnterConfirms) {
  folder_.Touch(L"take.avi");
  testapp::WhenShown(app::RenameDialogWindow, [](HWND dlg) {
    HWND edit = ::GetDlgItem(dlg, app::id::EdtName);
    ::SetWindowTextW(edit, L"by enter");
    ::PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  });
  EXPECT_TRUE(app::RenameRecording(folder_.path(), L"take.avi", L".avi"));
  EXPECT_TRUE(folder_.Has(L"by enter.avi"));
}

TEST_F(RenameDialog, RefusedNamesAreReportedAndOverwriteNothing) {
  folder_.Touch(L"take.avi");
  folder_.Touch(L"keep.avi");
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter installed(prompter);
  for (const wchar_t* typed : {L"keep", L"sub\\x"}) {
    testapp::WhenShown(app::RenameDialogWindow, [typed](HWND dlg) {
      testapp::SetText(dlg, app::id::EdtName, typed);
      testapp::Press(dlg, app::id::RenameBtnConfirm);
    });
    EXPECT_FALSE(app::RenameRecording(folder_.path(), L"take.avi", L".avi"));
  }
  EXPECT_EQ(2u, prompter.asked().size());
  EXPECT_TRUE(folder_.Has(L"take.avi"));
  EXPECT_TRUE(folder_.Has(L"keep.avi"));
}

}  // namespace
