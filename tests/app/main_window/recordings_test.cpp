// The recordings list against real folders and files: numeric order, empty and uncreatable
// folders, the folder the entries belong to, and the delete and rename roads that release a
// recording held by the player before they touch it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>

#include "app/main_window/player.h"
#include "app/main_window/recordings.h"
#include "base/shell_opener.h"
#include "base/unique.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/scratch.h"

namespace {

using Names = std::vector<std::wstring>;

std::string Narrow(const Names& names) {
  std::string out;
  for (const auto& n : names) {
    if (!out.empty()) out += ", ";
    for (wchar_t c : n) out += c < 128 ? static_cast<char>(c) : '?';
  }
  return "{" + out + "}";
}

class RecordingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.reset(::CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_HASSTRINGS, 0, 0,
                                 200, 300, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(box_);
    list_.Attach(box_.get());
  }
  void Make(const std::wstring& folder, const Names& names) {
    for (const auto& n : names) ASSERT_TRUE(apptest::TouchFile(folder + n)) << Narrow({n});
  }
  void Select(const Names& names) {
    for (const auto& n : names) {
      const LRESULT at = ::SendMessageW(box_.get(), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(n.c_str()));
      ASSERT_NE(at, LB_ERR) << Narrow({n});
      ::SendMessageW(box_.get(), LB_SETSEL, TRUE, at);
    }
  }
  void Focus(int index) { ::SendMessageW(box_.get(), LB_SETCARETINDEX, index, FALSE); }

  apptest::ScratchFolder folder_;
  base::UniqueWindow box_;
  app::RecordingList list_;
};

// A save beside its target ("N.avi.saving.avi", being written or left by a crash) is no
// recording.
TEST_F(RecordingsTest, ListsEveryNameHoldingAviInNumericOrder) {
  Make(folder_.path(), {L"10.avi", L"2.avi", L"REC.avi", L"notes-avi.txt", L"clip.wav", L"3.avi.saving.avi",
                        L"4.AVI.Saving.avi"});
  ASSERT_TRUE(::CreateDirectoryW((folder_.path() + L"7.avi").c_str(), nullptr));  // a folder is no recording
  ASSERT_TRUE(list_.Refresh(folder_.path()));
  const Names got = list_.Names();
  ASSERT_EQ(got.size(), 4u) << Narrow(got);
  // Names without a leading number count as 0 and come first, in no fixed order.
  EXPECT_EQ(std::set<std::wstring>(got.begin(), got.begin() + 2), (std::set<std::wstring>{L"REC.avi", L"notes-avi.txt"}))
      << Narrow(got);
  EXPECT_EQ(got[2], L"2.avi") << Narrow(got);
  EXPECT_EQ(got[3], L"10.avi") << Narrow(got);
  EXPECT_EQ(list_.Folder(), folder_.path());
  EXPECT_EQ(list_.PathOf(L"2.avi"), folder_.path() + L"2.avi");
}

TEST_F(RecordingsTest, EmptyMissingAndUncreatableFolders) {
  Make(folder_.path(), {L"1.avi", L"2.avi"});
  ASSERT_TRUE(list_.Refresh(folder_.path()));
  ASSERT_EQ(list_.Count(), 2);

  // A folder with no recordings empties the list, and the entries now belong to it.
  const std::wstring empty = folder_.path() + L"empty\\";
  ASSERT_TRUE(::CreateDirectoryW(empty.c_str(), nullptr));
  ASSERT_TRUE(list_.Refresh(empty));
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.Folder(), empty);
  EXPECT_FALSE(list_.Current().has_value());
  EXPECT_TRUE(list_.Selected().empty());

  // A missing folder is made with its parents.
  const std::wstring nested = folder_.path() + L"new\\录像\\";
  ASSERT_TRUE(list_.Refresh(nested));
  EXPECT_TRUE(apptest::Exists(nested));
  EXPECT_EQ(list_.Folder(), nested);

  // Folders that cannot be made leave the entries and their folder as they were.
  ASSERT_TRUE(list_.Refresh(folder_.path()));
  Make(folder_.path(), {L"a-file"});
  const std::wstring refused[] = {folder_.path() + L"a-file\\sub\\", folder_.path() + L"bad|name\\", L"", L"   "};
  for (const auto& folder : refused) {
    EXPECT_FALSE(list_.Refresh(folder)) << Narrow({folder});
    EXPECT_EQ(list_.Names(), (Names{L"1.avi", L"2.avi"})) << Narrow({folder});
    EXPECT_EQ(list_.Folder(), folder_.path()) << Narrow({folder});
  }
}

TEST_F(RecordingsTest, CurrentEntryIsTheFocusedOneAndSelectionMayHoldSeveral) {
  Make(folder_.path(), {L"1.avi", L"2.avi", L"3.avi"});
  ASSERT_TRUE(list_.Refresh(folder_.path()));
  Focus(2);
  EXPECT_EQ(list_.Current().value_or(L"-"), L"3.avi");
  EXPECT_TRUE(list_.Selected().empty()) << "focus alone selects nothing";
  Select({L"1.avi", L"3.avi"});
  EXPECT_EQ(list_.Selected(), (Names{L"1.avi", L"3.avi"}));
}

TEST_F(RecordingsTest, DeleteRemovesExactlyTheSelectedFilesOfTheListedFolder) {
  Make(folder_.path(), {L"1.avi", L"2.avi", L"5.avi", L"REC.avi"});
  const std::wstring held = folder_.path() + L"3.avi";
  ASSERT_TRUE(apptest::WriteMrleAvi(held, 32, 32, 40, 10));
  // Same names in another folder: they must survive.
  const std::wstring other = folder_.path() + L"other\\";
  ASSERT_TRUE(::CreateDirectoryW(other.c_str(), nullptr));
  Make(other, {L"1.avi", L"3.avi", L"5.avi"});

  ASSERT_TRUE(list_.Refresh(folder_.path()));
  Select({L"1.avi", L"3.avi", L"5.avi"});

  // The player holds one of them open; the delete must release it first.
  app::Playback playback;
  ASSERT_TRUE(playback.PlayFile(held));
  ASSERT_FALSE(::DeleteFileW(held.c_str())) << "the open device should hold the file";
  int closes = 0;
  const int deleted = app::DeleteSelectedRecordings(list_, [&] {
    ++closes;
    playback.ClosePlayer();
  });
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(deleted, 3);
  EXPECT_FALSE(playback.player().IsOpen());
  for (const auto& gone : {L"1.avi", L"3.avi", L"5.avi"}) EXPECT_FALSE(apptest::Exists(folder_.path() + gone));
  for (const auto& kept : {L"2.avi", L"REC.avi"}) EXPECT_TRUE(apptest::Exists(folder_.path() + kept));
  for (const auto& kept : {L"1.avi", L"3.avi", L"5.avi"}) EXPECT_TRUE(apptest::Exists(other + kept));
  Names now = list_.Names();
  std::sort(now.begin(), now.end());
  EXPECT_EQ(now, (Names{L"2.avi", L"REC.avi"}));
}

// The rename road with a renamer that moves the file the way the rename dialog's rule does
// (the extension added when the new name has none; never over another file).
TEST_F(RecordingsTest, RenameReleasesTheRecordingAndRenamesOnce) {
  struct Case {
    const wchar_t* typed;
    const wchar_t* expectedFile;  // nullptr: the old name stays
    bool held;                    // the player has the file open
  };
  const Case cases[] = {
      {L"holiday", L"holiday.avi", true},    // held by the player, extension added
      {L"talk.mp4", L"talk.mp4", false},      // another extension is kept
      {L"2.avi", nullptr, false},             // an existing target is not overwritten
      {L"1.avi", nullptr, true},              // its own name: nothing changes
  };
  for (const Case& c : cases) {
    apptest::ScratchFolder folder;
    const std::wstring old = folder.path() + L"1.avi";
    ASSERT_TRUE(apptest::WriteMrleAvi(old, 32, 32, 40, 10));
    ASSERT_TRUE(apptest::TouchFile(folder.path() + L"2.avi"));
    ASSERT_TRUE(list_.Refresh(folder.path()));
    Focus(0);
    ASSERT_EQ(list_.Current().value_or(L""), L"1.avi");
    app::Playback playback;
    if (c.held) {
      ASSERT_TRUE(playback.PlayFile(old));
    }

    int renames = 0;
    bool freeWhenAsked = false;
    const bool answered = app::RenameCurrentRecording(
        list_, [&] { playback.ClosePlayer(); },
        [&](const std::wstring& dir, const std::wstring& name, const std::wstring& extension) {
          ++renames;
          EXPECT_EQ(dir, folder.path());
          EXPECT_EQ(name, L"1.avi");
          EXPECT_EQ(extension, L".avi");
          std::wstring target = c.typed;
          if (app::ExtensionOf(target).empty()) target += extension;
          // Free: a rename to a scratch name and back succeeds.
          const std::wstring probe = dir + L"probe.tmp";
          freeWhenAsked = ::MoveFileW((dir + name).c_str(), probe.c_str()) && ::MoveFileW(probe.c_str(), (dir + name).c_str());
          return target != name && ::MoveFileW((dir + name).c_str(), (dir + target).c_str()) != 0;
        });
    const std::string label = Narrow({c.typed});
    EXPECT_EQ(renames, 1) << label;
    EXPECT_TRUE(freeWhenAsked) << label << ": the player still held the file";
    EXPECT_EQ(answered, c.expectedFile != nullptr) << label;
    const std::wstring expected = c.expectedFile ? c.expectedFile : L"1.avi";
    EXPECT_TRUE(apptest::Exists(folder.path() + expected)) << label;
    EXPECT_TRUE(apptest::Exists(folder.path() + L"2.avi")) << label;
    // The refreshed list shows the folder as it now is (a name without "avi" is no recording).
    const Names listed = list_.Names();
    const bool shown = std::find(listed.begin(), listed.end(), expected) != listed.end();
    EXPECT_EQ(shown, expected.find(L"avi") != std::wstring::npos) << label << " " << Narrow(listed);
    EXPECT_EQ(listed.size(), shown ? 2u : 1u) << label << " " << Narrow(listed);
  }
}

TEST_F(RecordingsTest, RenameWithoutACurrentEntryDoesNothing) {
  ASSERT_TRUE(list_.Refresh(folder_.path()));
  bool closed = false, asked = false;
  EXPECT_FALSE(app::RenameCurrentRecording(list_, [&] { closed = true; },
                                           [&](const std::wstring&, const std::wstring&, const std::wstring&) {
                                             asked = true;
                                             return true;
                                           }));
  EXPECT_FALSE(closed);
  EXPECT_FALSE(asked);
}

TEST(RecordingNames, ExtensionOf) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"1.avi", L".avi"}, {L"a.b.AVI", L".AVI"}, {L"noext", L""}, {L"dir.x\\file", L""}, {L".avi", L".avi"}};
  for (const auto& [name, ext] : cases) EXPECT_EQ(app::ExtensionOf(name), ext) << Narrow({name});
}

}  // namespace

namespace {

class RecordingShellOpener : public base::ShellOpener {
 public:
  bool Open(HWND, const std::wstring& verb, const std::wstring& target, const std::wstring&, int show) override {
    calls.push_back(verb + L" " + target);
    lastShow = show;
    return answer;
  }
  std::vector<std::wstring> calls;
  int lastShow = -1;
  bool answer = true;
};

TEST(DefaultPlayer, OpensOnlyAnExistingChosenFile) {
  apptest::ScratchFolder folder;
  ASSERT_TRUE(apptest::TouchFile(folder.path() + L"2.avi"));
  ASSERT_TRUE(::CreateDirectoryW((folder.path() + L"dir.avi").c_str(), nullptr));
  RecordingShellOpener opener;
  base::ScopedShellOpener installed(opener);
  using R = app::DefaultOpenResult;
  EXPECT_EQ(app::OpenInDefaultPlayer(nullptr, L"  ", folder.path() + L"  "), R::NoFile);
  EXPECT_EQ(app::OpenInDefaultPlayer(nullptr, L"9.avi", folder.path() + L"9.avi"), R::Missing);
  EXPECT_EQ(app::OpenInDefaultPlayer(nullptr, L"dir.avi", folder.path() + L"dir.avi"), R::Missing);
  EXPECT_TRUE(opener.calls.empty());
  EXPECT_EQ(app::OpenInDefaultPlayer(nullptr, L"2.avi", folder.path() + L"2.avi"), R::Opened);
  ASSERT_EQ(opener.calls.size(), 1u);
  EXPECT_EQ(opener.calls[0], L"open " + folder.path() + L"2.avi");
  EXPECT_EQ(opener.lastShow, SW_SHOWNORMAL);
  opener.answer = false;
  EXPECT_EQ(app::OpenInDefaultPlayer(nullptr, L"2.avi", folder.path() + L"2.avi"), R::Refused);
}

}  // namespace
