// Starting the real program: a copy of Reclume.exe in a scratch folder (so its settings file
// lands there) is run through the UI driver with each command line; the test finds its windows
// by class, checks what a user would see, closes it like the user would and reads the settings
// file it left.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/forms/control_ids.h"
#include "app/program.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/scratch.h"
#include "tests/support/program_driver.h"

namespace {

using apptest::ScratchFolder;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

// A run of the program from its own folder (a copy in the scratch folder).
class RunningProgram : public testsupport::RunningProgram {
 public:
  RunningProgram(const ScratchFolder& folder, const std::wstring& arguments)
      : testsupport::RunningProgram(Copied(folder), arguments, folder.path()) {}

 private:
  static std::wstring Copied(const ScratchFolder& folder) {
    const std::wstring exe = folder / L"Reclume.exe";
    ::CopyFileW((testsupport::BinFolder() + L"Reclume.exe").c_str(), exe.c_str(), FALSE);
    return exe;
  }
};

using testsupport::WindowText;

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

namespace {

// A second start of the same program file: the running copy's main window comes to the front
// (restored from the tray or the task bar) and the second process ends without a window.
TEST(Startup, ASecondStartOfTheSameProgramBringsTheFirstForwardAndEnds) {
  ScratchFolder folder;
  RunningProgram first(folder, L"");
  ASSERT_TRUE(first.started());
  HWND wnd = first.WaitForVisible(L"TFrmMain", true);
  ASSERT_NE(wnd, nullptr);
  struct Case {
    const char* name;
    int show;  // how the user left the running copy's window
  } cases[] = {{"minimised", SW_MINIMIZE}, {"hidden in the tray", SW_HIDE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::ShowWindow(wnd, c.show);
    ASSERT_TRUE(base::PumpUntil([&] { return c.show == SW_HIDE ? !::IsWindowVisible(wnd) : ::IsIconic(wnd) != FALSE; },
                                10000));
    testsupport::RunningProgram second(folder / L"Reclume.exe", L"", folder.path());
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(second.WaitForExit(20000)) << "the second start did not end";
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(base::PumpUntil(
        [&] { return ::IsWindowVisible(wnd) && !::IsIconic(wnd) && ::GetForegroundWindow() == wnd; }, 10000))
        << "visible " << ::IsWindowVisible(wnd) << ", minimised " << ::IsIconic(wnd) << ", in front "
        << (::GetForegroundWindow() == wnd);
    EXPECT_TRUE(first.Running());
  }
  ASSERT_TRUE(first.CloseAndWait(wnd));
  EXPECT_EQ(first.ExitCode(), 0u);
}

// Copies of two installations (two program files) run side by side.
TEST(Startup, CopiesOfTwoInstallationsRunSideBySide) {
  ScratchFolder one, two;
  RunningProgram first(one, L"");
  HWND wnd1 = first.WaitForVisible(L"TFrmMain", true);
  ASSERT_NE(wnd1, nullptr);
  RunningProgram second(two, L"");
  HWND wnd2 = second.WaitForVisible(L"TFrmMain", true);
  ASSERT_NE(wnd2, nullptr) << "the second installation's copy shows no window";
  EXPECT_NE(wnd1, wnd2);
  EXPECT_TRUE(first.Running());
  ASSERT_TRUE(second.CloseAndWait(wnd2));
  ASSERT_TRUE(first.CloseAndWait(wnd1));
}

}  // namespace
