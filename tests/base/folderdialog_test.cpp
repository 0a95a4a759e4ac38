// The shell's folder dialog, driven for real: a thread timer finds the dialog while its modal
// loop runs on the test thread, reads its texts and presses a button. A folder with a Chinese
// name must come back exactly as it was preselected.
#include "base/files.h"
#include "base/folderdialog.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "base/text.h"

namespace {

std::string Show(const std::wstring& s) { return base::WideToUtf8(s); }

// Presses `button` in the first folder dialog this thread shows, after letting it settle, and
// keeps the texts of the dialog's controls.
class DialogDriver {
 public:
  // waitFor: the name the dialog's edit box (the selected folder's name) should show before the
  // button is pressed; the driver waits for it up to a deadline, then presses anyway. Wine's
  // tree now and then misses a folder made a moment before the dialog opened (about one run in
  // thirty), so after a second the driver selects `path` once more, as the callback did.
  explicit DialogDriver(int button, std::wstring waitFor = L"", std::wstring path = L"")
      : button_(button), waitFor_(std::move(waitFor)), path_(std::move(path)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 50, Tick);
  }
  ~DialogDriver() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool pressed() const { return pressed_; }
  bool HasText(const std::wstring& text) const {
    for (const auto& t : texts_)
      if (t == text) return true;
    return false;
  }
  std::string AllTexts() const {
    std::string all;
    for (const auto& t : texts_) all += "\"" + Show(t) + "\" ";
    return all;
  }

 private:
  static BOOL CALLBACK FindDialog(HWND wnd, LPARAM found) {
    wchar_t cls[32] = {};
    GetClassNameW(wnd, cls, 32);
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(wnd)) {
      *reinterpret_cast<HWND*>(found) = wnd;
      return FALSE;
    }
    return TRUE;
  }
  static BOOL CALLBACK CollectText(HWND wnd, LPARAM self) {
    wchar_t text[512] = {};
    GetWindowTextW(wnd, text, 512);
    if (text[0]) reinterpret_cast<DialogDriver*>(self)->texts_.push_back(text);
    return TRUE;
  }
  static std::wstring EditText(HWND dialog) {
    HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
    wchar_t text[512] = {};
    if (edit) GetWindowTextW(edit, text, 512);
    return text;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogDriver* self = current_;
    if (!self || self->pressed_) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    // Give the tree a few ticks to reach the preselected folder.
    ++self->ticksSeen_;
    if (self->ticksSeen_ < 6) return;
    if (!self->waitFor_.empty() && self->ticksSeen_ < 100 && EditText(dialog) != self->waitFor_) {
      if (self->ticksSeen_ == 20 && !self->path_.empty())
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(self->path_.c_str()));
      return;
    }
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(self));
    self->pressed_ = true;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(self->button_, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, self->button_)));
  }

  static inline DialogDriver* current_ = nullptr;
  int button_;
  std::wstring waitFor_;
  std::wstring path_;
  UINT_PTR timer_ = 0;
  int ticksSeen_ = 0;
  bool pressed_ = false;
  std::vector<std::wstring> texts_;
};

// Wine's folder tree does not find folders made moments ago below the user's profile folder
// (the temporary folder among them), so the test folders go straight under C:\.
std::wstring MakeTestFolder(const wchar_t* leaf) {
  const std::wstring parent = base::Format(L"C:\\reclume-dialog-%u", GetCurrentProcessId());
  CreateDirectoryW(parent.c_str(), nullptr);
  std::wstring folder = parent + L"\\" + leaf;
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void RemoveTestFolder(const std::wstring& folder) {
  RemoveDirectoryW(folder.c_str());
  RemoveDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str());
}

TEST(FolderDialog, ReturnsThePreselectedFolderWithItsChineseName) {
  const std::wstring folder = MakeTestFolder(L"录像 文件夹");
  ASSERT_TRUE(base::FolderExists(folder));
  std::wstring got;
  {
    DialogDriver driver(IDOK, L"录像 文件夹", folder);
    got = base::BrowseForFolder(L"选择录像文件夹", folder);
    EXPECT_TRUE(driver.pressed());
    EXPECT_TRUE(driver.HasText(L"选择录像文件夹")) << "dialog texts: " << driver.AllTexts();
    EXPECT_EQ(CompareStringOrdinal(got.c_str(), -1, folder.c_str(), -1, TRUE), CSTR_EQUAL)
        << "got \"" << Show(got) << "\", expected \"" << Show(folder) << "\"; dialog texts: " << driver.AllTexts();
  }
  RemoveTestFolder(folder);
}

TEST(FolderDialog, CancelGivesAnEmptyPath) {
  DialogDriver driver(IDCANCEL);
  EXPECT_EQ(base::BrowseForFolder(L"title", L"C:\\"), L"");
  EXPECT_TRUE(driver.pressed());
}

TEST(FolderDialog, SelectFolderTitlesWithAnExistingFolderAndStartsAtTheDriveRoot) {
  const std::wstring folder = MakeTestFolder(L"exists");
  struct Case {
    std::wstring given, title;
  };
  const Case cases[] = {
      {folder, folder},
      {folder + L"\\not here", L"C:\\"},
      {L"", L"C:\\"},
  };
  for (const Case& c : cases) {
    DialogDriver driver(IDOK, L" (C:)");  // how Wine names drive C: without a volume label
    const std::wstring got = base::SelectFolder(c.given);
    EXPECT_TRUE(driver.HasText(c.title)) << "given \"" << Show(c.given) << "\"; dialog texts: " << driver.AllTexts();
    EXPECT_EQ(CompareStringOrdinal(got.c_str(), -1, L"C:\\", -1, TRUE), CSTR_EQUAL)
        << "given \"" << Show(c.given) << "\": got \"" << Show(got) << "\"";
  }
  RemoveTestFolder(folder);
}

}  // namespace
