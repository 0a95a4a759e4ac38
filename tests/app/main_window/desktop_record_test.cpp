// The other side of desktop_record.test.sh: a user's hands on a Reclume started the way
// scripts/run starts it, in another process, on Wine's virtual desktop "Reclume". This test
// joins that desktop, shows the test pattern where the recording will see it, presses the
// record button, lets a few seconds be recorded and stops from the tray icon, then waits for
// the window to come back. It only runs when the shell test asks (RECLUME_E2E_DESKTOP).
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <thread>

#include "app/forms/control_ids.h"
#include "app/forms/messages.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/support/pattern_window.h"

namespace {

struct Found {
  int id;
  HWND wnd;
};

BOOL CALLBACK MatchControl(HWND wnd, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  if (::GetDlgCtrlID(wnd) != f->id) return TRUE;
  f->wnd = wnd;
  return FALSE;
}

HWND FindControl(HWND top, int id) {
  Found found{id, nullptr};
  ::EnumChildWindows(top, &MatchControl, reinterpret_cast<LPARAM>(&found));
  return found.wnd;
}

// Runs on a thread of its own: a thread joins another desktop only before it has windows.
void UserSide(const wchar_t* desktopName, const wchar_t* out) {
  HDESK desktop = ::OpenDesktopW(desktopName, 0, FALSE, GENERIC_ALL);
  ASSERT_NE(desktop, nullptr) << "no desktop " << base::WideToUtf8(desktopName);
  ASSERT_TRUE(::SetThreadDesktop(desktop)) << "error " << ::GetLastError();

  HWND main = nullptr;
  ASSERT_TRUE(base::PumpUntil(
      [&] {
        main = ::FindWindowW(L"TFrmMain", nullptr);
        return main && ::IsWindowVisible(main) && ::IsZoomed(main);
      },
      60000))
      << "Reclume's maximised main window did not appear";
  EXPECT_TRUE(::GetWindowLongW(main, GWL_STYLE) & WS_CAPTION) << "the main window has its caption";
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
  {
    std::ofstream area(base::WideToUtf8(std::wstring(out) + L"\\area.txt"));
    area << monitor.rcWork.left << " " << monitor.rcWork.top << " " << (monitor.rcWork.right - monitor.rcWork.left)
         << " " << (monitor.rcWork.bottom - monitor.rcWork.top);
  }

  HWND record = FindControl(main, app::id::BtnSartRec);
  ASSERT_NE(record, nullptr);
  ::PostMessageW(::GetParent(record), WM_COMMAND, MAKEWPARAM(app::id::BtnSartRec, BN_CLICKED), LPARAM(record));
  ASSERT_TRUE(base::PumpUntil([&] { return !::IsWindowVisible(main); }, 20000)) << "the recording did not start";

  // The pattern, on top of everything, for the recording to see.
  testsupport::PatternWindow pattern;
  ASSERT_TRUE(pattern.Show(RECT{monitor.rcWork.left + 200, monitor.rcWork.top + 160, monitor.rcWork.left + 520,
                                monitor.rcWork.top + 400}));
  base::PumpUntil([] { return false; }, 3000);  // three seconds of recording

  ::SendMessageW(main, app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
  EXPECT_TRUE(base::PumpUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 20000))
      << "the main window did not come back after the stop";
  // The user closes the program; the shell test waits for it to end.
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(base::PumpUntil([&] { return !::IsWindow(main); }, 20000)) << "the main window did not close";
}

TEST(DesktopRecord, RecordButtonThenTrayStop) {
  wchar_t desktopName[64] = {}, out[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"RECLUME_E2E_DESKTOP", desktopName, 64) ||
      !::GetEnvironmentVariableW(L"RECLUME_E2E_OUT", out, MAX_PATH))
    GTEST_SKIP() << "run by desktop_record.test.sh";
  std::thread user(UserSide, desktopName, out);
  user.join();
}

}  // namespace
