// The uninstall window as the user meets it: where it stands, its warning icon and buttons,
// and its link, which opens the home page through the shell opener; and how its batch holds
// paths for cmd (the batch itself runs in tests/setup/uninstall.test.sh).
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/forms/control_ids.h"
#include "base/shell_opener.h"
#include "app/texts/siteaddresses.h"
#include "app/uninstall/uninstall.h"
#include "app/uninstall/uninstall_form.h"
#include "app/program.h"
#include "base/files.h"
#include "base/processes.h"
#include "base/text.h"
#include "tests/support/doubles.h"
#include "tests/support/scratch_folder.h"

namespace {

class RecordingOpener : public base::ShellOpener {
 public:
  bool Open(HWND, const std::wstring& verb, const std::wstring& target, const std::wstring&, int) override {
    opened.push_back(verb + L" " + target);
    return true;
  }
  std::vector<std::wstring> opened;
};

TEST(UninstallWindow, StandsLeftOfAndAboveTheCentreWithItsControls) {
  app::TFrmUninstall form;
  ASSERT_TRUE(form.Create());
  RECT r{};
  ::GetWindowRect(form.hwnd(), &r);
  EXPECT_EQ(r.left, (::GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2 - 50);
  EXPECT_EQ(r.top, (::GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2 - 30);
  RECT client{};
  ::GetClientRect(form.hwnd(), &client);
  EXPECT_EQ(client.right, app::kUninstallClientWidth);
  EXPECT_EQ(client.bottom, app::kUninstallClientHeight);
  HWND panel = ::GetDlgItem(form.hwnd(), app::id::UninstallPanel1);
  ASSERT_NE(panel, nullptr);
  for (int id : {app::id::UninstallImage1, app::id::BtnStartUnstall, app::id::BtnClose, app::id::Label2})
    EXPECT_NE(::GetDlgItem(panel, id), nullptr) << "no control " << id;
  EXPECT_NE(::SendMessageW(::GetDlgItem(panel, app::id::UninstallImage1), STM_GETICON, 0, 0), 0) << "no icon";
  wchar_t text[64] = {};
  ::GetWindowTextW(::GetDlgItem(panel, app::id::Label2), text, 64);
  EXPECT_EQ(base::WideToUtf8(text), base::WideToUtf8(L"查看QIV最新软件"));

  RecordingOpener opener;
  base::ScopedShellOpener useOpener(opener);
  ::SendMessageW(panel, WM_COMMAND, MAKEWPARAM(app::id::Label2, STN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(panel, app::id::Label2)));
  ASSERT_EQ(opener.opened.size(), 1u);
  EXPECT_EQ(base::WideToUtf8(opener.opened[0]), base::WideToUtf8(std::wstring(L"open ") + app::site::kHomePage));
  form.Destroy();
}

// Processes as the system would list them, each with what its image query answers.
class ListedProcesses : public base::ProcessQuery {
 public:
  struct Process {
    DWORD pid;
    std::wstring exeName;
    Image image;
    std::wstring path;
  };
  explicit ListedProcesses(std::vector<Process> processes) : processes_(std::move(processes)) {}
  std::vector<base::ProcessEntry> List() override {
    std::vector<base::ProcessEntry> entries;
    for (const auto& p : processes_) entries.push_back({p.pid, p.exeName});
    return entries;
  }
  Image ImageOf(DWORD pid, std::wstring& path) override {
    for (const auto& p : processes_)
      if (p.pid == pid) {
        path = p.path;
        return p.image;
      }
    return Image::Gone;
  }

 private:
  std::vector<Process> processes_;
};

TEST(RunningCheck, AProcessOfTheNameWhoseImageIsRefusedCountsOnlyWhenAsked) {
  using Image = base::ProcessQuery::Image;
  const std::wstring exe = L"C:\\QIV\\Reclume.exe";
  struct Case {
    const char* what;
    ListedProcesses::Process process;
    bool counted, countedWhenSkipping;
  } cases[] = {
      {"the program itself", {501, L"Reclume.exe", Image::Read, exe}, true, true},
      {"the same name in another folder", {502, L"reclume.exe", Image::Read, L"C:\\other\\Reclume.exe"}, false, false},
      {"the same name, its image refused", {503, L"RECLUME.EXE", Image::Refused, L""}, true, false},
      {"the same name, ended meanwhile", {504, L"Reclume.exe", Image::Gone, L""}, false, false},
      {"another name, its image refused", {505, L"cmd.exe", Image::Refused, L""}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ListedProcesses listed({c.process});
    base::ScopedProcessQuery useQuery(listed);
    EXPECT_EQ(base::ProcessesRunningFrom(exe, base::Unreadable::Count).size(), c.counted ? 1u : 0u);
    EXPECT_EQ(base::ProcessesRunningFrom(exe).size(), c.countedWhenSkipping ? 1u : 0u) << "setup's close";
  }
}

TEST(UninstallWindow, RefusesWhileAProcessOfItsNameCannotBeRead) {
  app::SetProgramIdentity(true);
  const std::wstring exe = app::ProgramFile();
  ListedProcesses listed({{0x7ffe, base::FileNameOf(exe), base::ProcessQuery::Image::Refused, L""}});
  base::ScopedProcessQuery useQuery(listed);
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter usePrompter(prompter);
  app::TFrmUninstall form;
  ASSERT_TRUE(form.Create());
  EXPECT_FALSE(form.BtnStartUnstallClick(false)) << "reported as uninstalled";
  const auto asked = prompter.asked();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(base::WideToUtf8(asked[0].text), base::WideToUtf8(app::RunningProgramMessage(exe)));
  // The refusal names the start button as the user sees it: a tick picture without a caption.
  HWND start = ::GetDlgItem(::GetDlgItem(form.hwnd(), app::id::UninstallPanel1), app::id::BtnStartUnstall);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(::GetWindowTextLengthW(start), 0) << "the start button has a caption now";
  EXPECT_NE(asked[0].text.find(L"✓"), std::wstring::npos) << base::WideToUtf8(asked[0].text);
  EXPECT_EQ(asked[0].text.find(L"开始卸载"), std::wstring::npos) << "names a caption nobody sees";
  form.Destroy();
}

// A byte string as text for the messages.
std::string Shown(const std::optional<std::string>& held) { return held ? "[" + *held + "]" : "<nothing>"; }

TEST(SelfDeleteBatch, PathsAreHeldForCmd) {
  testsupport::ScratchFolder scratch;
  const std::wstring chinese = scratch / L"中文 %TEMP% 目录";
  ASSERT_TRUE(base::CreateFolderTree(chinese));
  struct Case {
    std::wstring path;
    std::optional<std::string> held;  // nullopt: the short name, checked below
  } cases[] = {
      {L"C:\\pct %TEMP% x\\Reclume.exe", "C:\\pct %%TEMP%% x\\Reclume.exe"},
      {L"C:\\a & b ^ (c) !d!", "C:\\a & b ^ (c) !d!"},
      {L"C:\\%%", "C:\\%%%%"},
      {chinese, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.path));
    const std::optional<std::string> held = app::BatchPath(c.path);
    ASSERT_TRUE(held.has_value());
    if (c.held) {
      EXPECT_EQ(Shown(held), Shown(c.held));
      continue;
    }
    // A folder the console's code page (437 here) cannot name goes by its short name, "%" doubled
    // there too.
    wchar_t shortPath[MAX_PATH * 2] = {};
    ASSERT_NE(::GetShortPathNameW(c.path.c_str(), shortPath, MAX_PATH * 2), 0u);
    std::string expected;
    for (const wchar_t* p = shortPath; *p; ++p) {
      ASSERT_LT(*p, 0x80) << "a short name outside ASCII";
      expected += static_cast<char>(*p);
      if (*p == L'%') expected += '%';
    }
    EXPECT_EQ(Shown(held), Shown(expected));
  }
  // A path the code page cannot hold that has no short name (it does not exist) is refused.
  EXPECT_EQ(Shown(app::BatchPath(scratch / L"没有")), "<nothing>");
  // The batch quotes every path it holds.
  const std::string text = app::SelfDeleteBatchText("E", "F", "T", "B");
  for (const char* line : {"del /f /q \"E\"", "if not exist \"E\"", "rmdir \"F\"", "del /f /q \"T\"", "del /f /q \"B\""})
    EXPECT_NE(text.find(line), std::string::npos) << line;
}

}  // namespace
