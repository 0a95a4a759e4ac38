// One running copy per installation: a second start of the same program file hands over to
// the copy that runs (its main window comes to the front) and ends. Copies of other program
// files (other installations) run side by side.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique.h"

namespace app {

// The name of the object that marks a running copy of the program file at exePath: the same
// for every spelling of one path (letter case), different for another path.
std::wstring RunningCopyName(const std::wstring& exePath);

class RunningCopy {
 public:
  // Marks this process as the running copy of exePath, unless another process already is.
  explicit RunningCopy(const std::wstring& exePath);
  RunningCopy(const RunningCopy&) = delete;
  RunningCopy& operator=(const RunningCopy&) = delete;

  // This process is the running copy (also when the mark could not be made at all: a copy
  // that cannot tell never stays away).
  bool First() const { return first_; }
  // The running copy: its main window, now shown, for a second start to bring forward.
  void Publish(HWND mainWindow);
  // A second start: asks the running copy to bring its main window to the front, waiting up to
  // timeoutMs for that window to exist. False when it never did.
  bool BringRunningCopyForward(DWORD timeoutMs = 15000);

 private:
  base::UniqueHandle mapping_;
  bool first_ = true;
};

}  // namespace app
