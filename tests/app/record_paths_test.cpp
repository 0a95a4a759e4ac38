// The recording target rules: the next free number, the folder and drive checks, which typed
// names may become a file name, and the hold a recording keeps on its target.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/record_paths.h"
#include "base/text.h"
#include "base/unique.h"
#include "tests/app/dialog_driver.h"

namespace {

bool DriveLetterMissing(wchar_t letter) { return !(::GetLogicalDrives() & (1u << (letter - L'A'))); }

TEST(RecordPaths, NextAutoFileNameTakesMaxPlusOneAndNeverAnExistingName) {
  struct Case {
    std::vector<std::wstring> files;
    std::wstring expected;
  } cases[] = {
      {{}, L"1.avi"},
      {{L"9.avi", L"10.avi"}, L"11.avi"},
      {{L"1.avi", L"3.avi", L"REC.avi", L"7.AVI"}, L"4.avi"},
      {{L"1.AVI"}, L"2.avi"},
      {{L"2.avi", L"3.AVI"}, L"4.avi"},
      {{L"5.avi.avi", L"notes.txt", L"x5.avi"}, L"6.avi"},
  };
  int round = 0;
  for (const auto& c : cases) {
    testapp::ScratchFolder folder;
    for (const auto& f : c.files) folder.Touch(f);
    EXPECT_EQ(c.expected, app::NextAutoFileName(folder.path())) << "case " << round++;
  }
}

TEST(RecordPaths, FolderCheckNormalisesCreatesAndRefuses) {
  testapp::ScratchFolder scratch;
  // Created with every missing parent, blanks trimmed, one trailing backslash.
  auto check = app::PrepareRecordFolder(L"  " + scratch.path() + L"new\\\\sub  ");
  ASSERT_TRUE(check.ok()) << int(check.result);
  EXPECT_EQ(scratch.path() + L"new\\sub\\", check.folder);
  EXPECT_TRUE(scratch.Has(L"new\\sub"));
  // An existing folder is fine as it is.
  EXPECT_TRUE(app::PrepareRecordFolder(scratch.path()).ok());

  scratch.Touch(L"afile");
  const std::wstring invalid[] = {scratch.path() + L"afile\\rec", scratch.path() + L"a*b", scratch.path() + L"a?b",
                                  scratch.path().substr(0, 2) + L"relative"};
  for (const auto& text : invalid)
    EXPECT_EQ(app::RecordFolderCheck::Result::Invalid, app::PrepareRecordFolder(text).result) << base::WideToUtf8(text);
  EXPECT_FALSE(scratch.Has(L"a*b"));
}

TEST(RecordPaths, MissingDrivesAreNamedInTheAnswer) {
  if (!DriveLetterMissing(L'Q')) GTEST_SKIP() << "this machine has a Q: drive";
  auto check = app::PrepareRecordFolder(L"Q:\\rec\\");
  EXPECT_EQ(app::RecordFolderCheck::Result::DriveMissing, check.result);
  EXPECT_EQ(L"Q:", check.drive);
  check = app::PrepareRecordFolder(L"rec");
  EXPECT_EQ(app::RecordFolderCheck::Result::DriveMissing, check.result);
  EXPECT_EQ(L"", check.drive);
  check = app::PrepareRecordFolder(L"\\\\server\\share\\rec");
  EXPECT_EQ(app::RecordFolderCheck::Result::DriveMissing, check.result);
  EXPECT_EQ(L"\\\\server\\share", check.drive);

  EXPECT_TRUE(app::DriveExists(L"c:"));
  EXPECT_TRUE(app::DriveExists(L" C: "));
  EXPECT_FALSE(app::DriveExists(L"Q:"));
  EXPECT_FALSE(app::DriveExists(L""));
  EXPECT_FALSE(app::DriveExists(L"C"));
}

TEST(RecordPaths, TypedNamesKeepOrLoseTheirBlanksAndRefuseBadCharacters) {
  struct Case {
    std::wstring typed;
    bool trim;
    std::wstring expected;
  } cases[] = {
      {L" my clip ", false, L" my clip .avi"},
      {L" my clip ", true, L"my clip.avi"},
      {L"录像", false, L"录像.avi"},
      {L"", false, L""},
      {L"   ", true, L""},
      {L"a\\b", false, L""},
      {L"a/b", false, L""},
      {L"c:clip", false, L""},
      {L"x*", false, L""},
      {L"what?", false, L""},
      {L"say \"hi\"", false, L""},
      {L"<in>", false, L""},
      {L"a|b", false, L""},
      {L"tab\there", true, L""},
      {L"CON", false, L""},
      {L" nul ", true, L""},
      {L"com7", false, L""},
      {L"CONSOLE", false, L"CONSOLE.avi"},
      {L"com10", false, L"com10.avi"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, app::TypedRecordFileName(c.typed, c.trim)) << "typed [" << base::WideToUtf8(c.typed) << "]";
}

TEST(RecordPaths, NameCheckTellsEmptyFromInvalid) {
  using app::RecordName;
  struct Case {
    std::wstring typed;
    RecordName expected;
  } cases[] = {
      {L"clip", RecordName::Usable},      {L" 录像 1 ", RecordName::Usable},   {L"LPT", RecordName::Usable},
      {L"", RecordName::Empty},           {L" \t ", RecordName::Empty},       {L"bad:name*?", RecordName::Invalid},
      {L"aux", RecordName::Invalid},      {L"Prn ", RecordName::Invalid},     {L"LPT1", RecordName::Invalid},
      {L"a\x01", RecordName::Invalid},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, app::CheckRecordName(c.typed)) << "typed [" << base::WideToUtf8(c.typed) << "]";
}

TEST(RecordPaths, DrivePartTable) {
  EXPECT_EQ(L"Q:", app::DrivePartOf(L"Q:\\rec\\"));
  EXPECT_EQ(L"c:", app::DrivePartOf(L"c:"));
  EXPECT_EQ(L"", app::DrivePartOf(L"rec\\"));
  EXPECT_EQ(L"", app::DrivePartOf(L"1:\\rec\\"));
  EXPECT_EQ(L"\\\\srv\\share", app::DrivePartOf(L"\\\\srv\\share\\rec\\"));
}

// One target is one hold, however its path is spelt, whether its file exists yet or not, and
// however long the path is; another file is another hold, and a hold let go is free again.
TEST(RecordPaths, ATargetIsHeldUnderEverySpellingOfItsPath) {
  testapp::ScratchFolder scratch;
  const std::wstring folder = scratch.path() + L"Recordings of the week\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring target = folder + L"Rec.avi";
  wchar_t shortFolder[MAX_PATH] = {};
  ASSERT_NE(::GetShortPathNameW(folder.c_str(), shortFolder, MAX_PATH), 0u);
  std::wstring upper = target, lower = target;
  ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  ::CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
  const std::wstring spellings[] = {target, upper, lower,
                                    std::wstring(shortFolder) + L"rec.AVI", folder + L"sub\\..\\Rec.avi"};
  base::UniqueHandle hold;
  ASSERT_TRUE(app::HoldTarget(target, hold));
  ASSERT_TRUE(hold);
  for (bool fileMade : {false, true}) {
    if (fileMade) {
      ASSERT_TRUE(apptest::WriteBytes(target, ""));
    }
    for (const std::wstring& spelling : spellings) {
      SCOPED_TRACE(base::WideToUtf8(spelling) + (fileMade ? " (file made)" : " (no file yet)"));
      EXPECT_TRUE(app::TargetHeld(spelling));
      base::UniqueHandle second;
      EXPECT_FALSE(app::HoldTarget(spelling, second));
      EXPECT_FALSE(second);
    }
  }
  EXPECT_FALSE(app::TargetHeld(folder + L"Rec2.avi"));
  const std::wstring longTarget = folder + std::wstring(400, L'x') + L".avi";
  base::UniqueHandle longHold;
  EXPECT_TRUE(app::HoldTarget(longTarget, longHold));
  EXPECT_TRUE(longHold);
  EXPECT_TRUE(app::TargetHeld(longTarget));
  EXPECT_FALSE(app::TargetHeld(folder + std::wstring(400, L'x') + L"y.avi"));
  hold.reset();
  EXPECT_FALSE(app::TargetHeld(target));
  EXPECT_TRUE(app::HoldTarget(target, hold));
}

}  // namespace
