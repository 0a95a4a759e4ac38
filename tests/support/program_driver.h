// The UI driver of the tests that start a real program: it starts the program, finds its
// top-level windows and message boxes by class, presses buttons with BM_CLICK like a user's
// click, and waits (with deadlines) for the process to end.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique.h"

namespace testsupport {

// The folder of the running test program (with its trailing "\"): where the built programs are.
std::wstring BinFolder();
std::wstring WindowText(HWND wnd);

class RunningProgram {
 public:
  // Starts exe with the arguments in workDir; environment: nullptr for this process's own, else
  // a block of "NAME=value\0" strings ended by an empty one.
  RunningProgram(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workDir,
                 const wchar_t* environment = nullptr);
  // Terminates the program if it still runs.
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return static_cast<bool>(process_); }
  DWORD pid() const { return pid_; }

  // The program's top-level window of that class, or nullptr.
  HWND Find(const wchar_t* cls) const;
  // Waits until that window exists and is visible and, when maximised is set, maximised too.
  HWND WaitForVisible(const wchar_t* cls, bool maximised = false, DWORD timeoutMs = 30000) const;
  // A message box of the program ("#32770"), waited for; its text is the static control 0xFFFF.
  HWND WaitForMessageBox(DWORD timeoutMs = 30000) const;
  static std::wstring MessageBoxText(HWND box);
  // Presses the box's OK button.
  static void CloseMessageBox(HWND box);
  // The descendant of top with that control id (however deeply nested), or nullptr.
  static HWND Control(HWND top, int id);
  // Posts BM_CLICK to that control: false when there is none.
  static bool Click(HWND top, int id);

  // Closes the window as the system close button does and waits for the process to end.
  bool CloseAndWait(HWND wnd, DWORD timeoutMs = 30000);
  bool WaitForExit(DWORD timeoutMs = 30000) const;
  bool Running() const;
  DWORD ExitCode() const;

 private:
  base::UniqueHandle process_;
  DWORD pid_ = 0;
};

}  // namespace testsupport
