// Folder-path normalising, leading-number keys and sorting, and folder creation and flat folder
// listings on a real folder.
#include "base/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/unique.h"
#include "tests/support/scratch_folder.h"

namespace {

std::string Show(const std::wstring& s) { return base::WideToUtf8(s); }

TEST(NormalizeDirPath, TrimsEndsWithOneBackslashAndCollapsesRuns) {
  struct Case {
    const wchar_t* given;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"C:\\Rec", L"C:\\Rec\\"},
      {L"  C:\\Rec\\\\  ", L"C:\\Rec\\"},
      {L"C:\\Rec\\", L"C:\\Rec\\"},
      {L"C:\\a\\\\\\\\b", L"C:\\a\\b\\"},      // four in a row
      {L"C:\\a\\\\\\\\\\b", L"C:\\a\\b\\"},    // five in a row
      {L"C:\\a\\\\b\\\\\\c", L"C:\\a\\b\\c\\"},
      {L"C:", L"C:\\"},
      {L"C:\\", L"C:\\"},
      {L"\t D:\\录像 \r\n", L"D:\\录像\\"},
      {L"", L""},
      {L"   ", L"   "},
      // A network path keeps its leading pair; the rest collapses as usual.
      {L"\\\\srv\\share", L"\\\\srv\\share\\"},
      {L" \\\\srv\\\\share\\\\ ", L"\\\\srv\\share\\"},
      {L"\\\\\\srv\\share", L"\\\\srv\\share\\"},
      {L"\\\\", L"\\"},
      {L"\\Rec", L"\\Rec\\"},
  };
  for (const Case& c : cases) {
    std::wstring path = c.given;
    base::NormalizeDirPath(path);
    EXPECT_EQ(path, c.expected) << "given \"" << Show(c.given) << "\": got \"" << Show(path)
                                << "\", expected \"" << Show(c.expected) << "\"";
  }
}

TEST(LeadingNumber, ReadsLenientlyAndStopsAtTheLimit) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  struct Case {
    const wchar_t* text;
    int64_t expected;
  };
  const Case cases[] = {
      {L"12.avi", 12},
      {L"7 copy.avi", 7},
      {L"  42rec.avi", 42},
      {L"$1F.avi", 31},
      {L"x10.avi", 16},
      {L"X1f", 31},
      {L"REC.avi", 0},
      {L"", 0},
      {L"$", 0},
      {L"-5.avi", -5},
      {L"+8.avi", 8},
      {L"-$10", -16},
      {L"0012.avi", 12},
      {L"123456789012345678901234567890.avi", kMax},  // a 30-digit run
      {L"-123456789012345678901234567890", kMin},
      {L"9223372036854775807", kMax},
      {L"9223372036854775808", kMax},
      {L"-9223372036854775808", kMin},
      {L"$FFFFFFFFFFFFFFFFFFFF", kMax},
  };
  for (const Case& c : cases)
    EXPECT_EQ(base::LeadingNumber(c.text), c.expected) << "key of \"" << Show(c.text) << "\"";
}

TEST(LeadingNumber, ComparesByKey) {
  EXPECT_EQ(base::CompareByLeadingNumber(L"2.avi", L"10.avi"), -1);
  EXPECT_EQ(base::CompareByLeadingNumber(L"10.avi", L"2.avi"), 1);
  EXPECT_EQ(base::CompareByLeadingNumber(L"REC.avi", L"clip.avi"), 0);
  EXPECT_EQ(base::CompareByLeadingNumber(L"$10.avi", L"16.avi"), 0);
  EXPECT_EQ(base::CompareByLeadingNumber(L"99999999999999999999.avi", L"9223372036854775806.avi"), 1);
}

TEST(SortByLeadingNumber, AscendingAndStableForEqualKeys) {
  std::vector<std::wstring> items = {L"10.avi", L"2.avi", L"1.avi", L"REC.avi"};
  base::SortByLeadingNumber(items);
  EXPECT_EQ(items, (std::vector<std::wstring>{L"REC.avi", L"1.avi", L"2.avi", L"10.avi"}));

  // Names without a number all count as 0 and keep their order among themselves.
  items = {L"zeta.avi", L"123456789012345678901234567890.avi", L"3.avi", L"alpha.avi", L"$1F.avi",
           L"mid.avi", L"-1.avi"};
  base::SortByLeadingNumber(items);
  EXPECT_EQ(items, (std::vector<std::wstring>{L"-1.avi", L"zeta.avi", L"alpha.avi", L"mid.avi", L"3.avi",
                                              L"$1F.avi", L"123456789012345678901234567890.avi"}));
}

std::vector<std::wstring> ListBoxItems(HWND box) {
  std::vector<std::wstring> items;
  const LRESULT count = SendMessageW(box, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(static_cast<size_t>(SendMessageW(box, LB_GETTEXTLEN, i, 0)), L'\0');
    SendMessageW(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    items.push_back(text);
  }
  return items;
}

TEST(SortListByNumber, RefillsARealListBox) {
  base::UniqueWindow box(CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_NOTIFY, 0, 0, 200, 200, nullptr,
                                         nullptr, GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(box);
  for (const wchar_t* item : {L"10.avi", L"2.avi", L"录像.avi", L"1.avi", L"REC.avi"})
    SendMessageW(box.get(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  ASSERT_TRUE(base::SortListByNumber(box.get()));
  EXPECT_EQ(ListBoxItems(box.get()),
            (std::vector<std::wstring>{L"录像.avi", L"REC.avi", L"1.avi", L"2.avi", L"10.avi"}));

  base::UniqueWindow notAList(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                              GetModuleHandleW(nullptr), nullptr));
  EXPECT_FALSE(base::SortListByNumber(notAList.get()));
}

// The test's scratch folder, with files made in it.
class TempFolder : public testsupport::ScratchFolder {
 public:
  void AddFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const {
    base::UniqueFile file(CreateFileW((path() + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      attributes, nullptr));
    EXPECT_TRUE(file) << "could not make " << Show(name);
  }
};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(CreateFolderTree, MakesEveryMissingParentAndRefusesWhatIsNoFolder) {
  TempFolder folder;
  folder.AddFile(L"file");
  const std::wstring& f = folder.path();
  struct Case {
    std::wstring folder;
    bool created;
  };
  const Case cases[] = {
      {f + L"a\\b\\c\\", true},
      {f + L"录像\\屏幕", true},
      {f, true},                     // exists already
      {f + L"file\\sub", false},     // a file stands in the way
      {f + L"bad|name\\", false},
      {L"", false},
      {L"  \t", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(base::CreateFolderTree(c.folder), c.created) << "folder [" << Show(c.folder) << "]";
    EXPECT_EQ(base::FolderExists(c.folder), c.created) << "folder [" << Show(c.folder) << "]";
  }
  EXPECT_FALSE(base::FolderExists(f + L"file")) << "a file is no folder";
}

TEST(GetFileList, ListsMatchingFilesDirectlyInTheFolder) {
  TempFolder folder;
  folder.AddFile(L"1.avi");
  folder.AddFile(L"avi-notes.txt");
  folder.AddFile(L"hidden.AVI", FILE_ATTRIBUTE_HIDDEN);
  folder.AddFile(L"录像.avi");
  folder.AddFile(L"clip.mp4");
  ASSERT_TRUE(CreateDirectoryW((folder.path() + L"x.avi").c_str(), nullptr));
  folder.AddFile(L"x.avi\\inner.avi");
  const std::wstring& f = folder.path();

  struct Case {
    const wchar_t* filter;
    std::vector<std::wstring> expected;
  };
  const std::vector<std::wstring> everything = {f + L"1.avi", f + L"avi-notes.txt", f + L"hidden.AVI",
                                                f + L"录像.avi", f + L"clip.mp4"};
  const Case cases[] = {
      {L"avi", {f + L"1.avi", f + L"avi-notes.txt", f + L"hidden.AVI", f + L"录像.avi"}},
      {L"AVI", {f + L"1.avi", f + L"avi-notes.txt", f + L"hidden.AVI", f + L"录像.avi"}},
      {L"mp4", {f + L"clip.mp4"}},
      {L" avi", {}},  // the filter itself is not trimmed
      {L"", everything},
      {L"   ", everything},
      {L".*", everything},
      {L"wmv", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> list;
    base::GetFileList(f, c.filter, list);
    EXPECT_EQ(Sorted(list), Sorted(c.expected)) << "filter \"" << Show(c.filter) << "\"";
  }
}

TEST(GetFileList, AppendsAndKeepsTheListWhenTheFolderIsMissing) {
  TempFolder folder;
  folder.AddFile(L"2.avi");
  std::vector<std::wstring> list = {L"earlier"};
  base::GetFileList(folder.path(), L"avi", list);
  EXPECT_EQ(list, (std::vector<std::wstring>{L"earlier", folder.path() + L"2.avi"}));

  base::GetFileList(folder.path() + L"no such folder\\", L"", list);
  EXPECT_EQ(list.size(), 2u);

  // Without the final separator the folder itself is still what is listed.
  list.clear();
  std::wstring bare = folder.path();
  bare.pop_back();
  base::GetFileList(bare, L"avi", list);
  EXPECT_EQ(list, (std::vector<std::wstring>{folder.path() + L"2.avi"}));
}

}  // namespace
