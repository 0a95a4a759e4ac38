// Starting the real program: a copy of Reclume.exe in a scratch folder (so its settings file
// lands there) is run with each command line; the test finds its windows by class, checks what
// a user would see, closes it like the user would and reads the settings file it left.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/program.h"
#include "base/text.h"
#include "base/unique.h"
#include "tests/app/scratch.h"

namespace {

using apptest::ScratchFolder;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

std::wstring BinFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::wstring WindowText(HWND wnd) {
  wchar_t text[512] = {};
  ::GetWindowTextW(wnd, text, 512);
  return text;
}

struct FindData {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND wnd, LPARAM lp) {
  auto* data = reinterpret_cast<FindData*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  wchar_t cls[64] = {};
  ::GetClassNameW(wnd, cls, 64);
  if (pid == data->pid && std::wstring(cls) == data->cls) {
    data->found = wnd;
    return FALSE;
  }
  return TRUE;
}

// A run of the program from its own folder.
class RunningProgram {
 public:
  RunningProgram(const ScratchFolder& folder, const std::wstring& arguments) {
    exe_ = folder / L"Reclume.exe";
    if (!::CopyFileW((BinFolder() + L"Reclume.exe").c_str(), exe_.c_str(), FALSE)) return;
    std::wstring line = L"\"" + exe_ + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe_.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(), &si,
                          &pi))
      return;
    process_.reset(pi.hProcess);
    ::CloseHandle(pi.hThread);
    pid_ = pi.dwProcessId;
  }
  ~RunningProgram() {
    if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.get(), 99);
      ::WaitForSingleObject(process_.get(), 10000);
    }
  }
  bool started() const { return static_cast<bool>(process_); }

  // The program's top-level window of that class, or nullptr.
  HWND Find(const wchar_t* cls) const {
    FindData data{pid_, cls, nullptr};
    ::EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&data));
    return data.found;
  }
  // Waits (with a generous deadline) until that window exists and is visible, and, when
  // maximised is set, until the show sequence has maximised it too.
  HWND WaitForVisible(const wchar_t* cls, bool maximised = false, DWORD timeoutMs = 30000) const {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
      HWND wnd = Find(cls);
      if (wnd && ::IsWindowVisible(wnd) && (!maximised || ::IsZoomed(wnd))) return wnd;
      if (::WaitForSingleObject(process_.get(), 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
  }
  // Closes the window as the system close button does and waits for the process to end.
  bool CloseAndWait(HWND wnd, DWORD timeoutMs = 30000) {
    ::PostMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return ::WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
  }
  bool WaitForExit(DWORD timeoutMs = 30000) const {
    return ::WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
  }

 private:
  std::wstring exe_;
  base::UniqueHandle process_;
  DWORD pid_ = 0;
};

TEST(Arguments, OnlyAnExactFirstUninstallSelectsTheUninstallMode) {
  struct Case {
    const wchar_t* line;
    bool uninstall;
  } cases[] = {
      {L"Reclume.exe uninstall", true},        {L"Reclume.exe uninstall x", true},
      {L"\"C:\\a b\\Reclume.exe\" uninstall", true}, {L"Reclume.exe Uninstall", false},
      {L"Reclume.exe \" uninstall\"", false},  {L"Reclume.exe \"uninstall \"", false},
      {L"Reclume.exe", false},                 {L"Reclume.exe x uninstall", false},
      {L"Reclume.exe uninstallx", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(app::IsUninstallMode(c.line), c.uninstall) << "command line: " << Narrow(c.line);
}

// Each command line starts the program for real: the uninstall ones show only the uninstall
// window and leave no settings file; the others show only the maximised main window and write
// the settings file when closed.
TEST(Startup, ArgumentTableSelectsTheWindow) {
  struct Case {
    const wchar_t* arguments;
    bool uninstall;
  } cases[] = {
      {L"uninstall", true}, {L"uninstall x", true}, {L"Uninstall", false}, {L"\" uninstall\"", false}, {L"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("arguments: [" + Narrow(c.arguments) + "]");
    ScratchFolder folder;
    RunningProgram run(folder, c.arguments);
    ASSERT_TRUE(run.started());
    const wchar_t* expected = c.uninstall ? L"TFrmUninstall" : L"TFrmMain";
    const wchar_t* other = c.uninstall ? L"TFrmMain" : L"TFrmUninstall";
    HWND wnd = run.WaitForVisible(expected, !c.uninstall);
    ASSERT_NE(wnd, nullptr) << "no visible window of class " << Narrow(expected);
    EXPECT_EQ(run.Find(other), nullptr) << "a window of class " << Narrow(other) << " exists too";
    if (c.uninstall) {
      EXPECT_EQ(Narrow(WindowText(wnd)), Narrow(L"卸载QIV软件 - 屏幕录像"));
    } else {
      EXPECT_TRUE(::IsZoomed(wnd)) << "the main window is not maximised";
      EXPECT_EQ(Narrow(WindowText(wnd)).rfind("QIVReclume v3.6 - ", 0), 0u) << Narrow(WindowText(wnd));
      // Maximised on the screen too: the window covers its monitor's work area.
      MONITORINFO monitor{};
      monitor.cbSize = sizeof monitor;
      ::GetMonitorInfoW(::MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), &monitor);
      RECT r{};
      ::GetWindowRect(wnd, &r);
      EXPECT_LE(r.left, monitor.rcWork.left);
      EXPECT_GE(r.right, monitor.rcWork.right);
      EXPECT_GE(r.bottom, monitor.rcWork.bottom);
      EXPECT_EQ(::GetForegroundWindow(), wnd) << "the main window is not in front";
    }
    ASSERT_TRUE(run.CloseAndWait(wnd)) << "the program did not end after its window was closed";
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_EQ(apptest::FileExists(folder / L"defualt.ini"), !c.uninstall);
  }
}

TEST(Startup, FirstStartWritesTheDefaultsOnExit) {
  ScratchFolder folder;
  RunningProgram run(folder, L"");
  ASSERT_TRUE(run.started());
  HWND wnd = run.WaitForVisible(L"TFrmMain", true);
  ASSERT_NE(wnd, nullptr);
  EXPECT_FALSE(apptest::FileExists(folder / L"defualt.ini")) << "the settings are written only at exit";
  ASSERT_TRUE(run.CloseAndWait(wnd));
  std::wstring expected = L"[default]\r\nPicPath=" + folder.path() +
                          L"\r\nPicName=REC\r\nautoSaveToPath=1\r\nsound=0\r\nAutoRun=0\r\n";
  EXPECT_EQ(Narrow(apptest::ReadText(folder / L"defualt.ini")), Narrow(expected));
}

BOOL CALLBACK FindExitButton(HWND wnd, LPARAM lp) {
  wchar_t cls[64] = {};
  ::GetClassNameW(wnd, cls, 64);
  if (::GetDlgCtrlID(wnd) != app::id::BtnExit || std::wstring(cls) != L"TFlatButton") return TRUE;
  *reinterpret_cast<HWND*>(lp) = wnd;
  return FALSE;
}

TEST(Startup, TheExitButtonEndsTheProgramThroughTheNormalClose) {
  ScratchFolder folder;
  RunningProgram run(folder, L"");
  ASSERT_TRUE(run.started());
  HWND wnd = run.WaitForVisible(L"TFrmMain", true);
  ASSERT_NE(wnd, nullptr);
  HWND exitButton = nullptr;
  ::EnumChildWindows(wnd, &FindExitButton, reinterpret_cast<LPARAM>(&exitButton));
  ASSERT_NE(exitButton, nullptr) << "no exit button on the main window";
  ::SendMessageW(exitButton, BM_CLICK, 0, 0);
  ASSERT_TRUE(run.WaitForExit()) << "the program did not end after its exit button was pressed";
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(apptest::FileExists(folder / L"defualt.ini")) << "the settings were not written at exit";
}

}  // namespace
