// The shell opener: the one way the program hands a file or folder to the shell ("open" in the
// default program, "explore" in the file manager). Production code uses ShellExecuteW; tests
// install their own opener for the duration of a test, since a default player cannot be watched
// under Wine. Main thread.
#pragma once

#include <windows.h>

#include <string>

namespace base {

class ShellOpener {
 public:
  virtual ~ShellOpener() = default;
  // Hands target to the shell with verb and parameters (empty: none); true when the shell
  // accepted it.
  virtual bool Open(HWND owner, const std::wstring& verb, const std::wstring& target, const std::wstring& parameters,
                    int show) = 0;
};

// ShellExecuteW unless a test installed another.
ShellOpener& CurrentShellOpener();
inline bool ShellOpen(HWND owner, const std::wstring& verb, const std::wstring& target, int show = SW_SHOWNORMAL,
                      const std::wstring& parameters = {}) {
  return CurrentShellOpener().Open(owner, verb, target, parameters, show);
}

// Installs an opener while alive; the previous one comes back on destruction.
class ScopedShellOpener {
 public:
  explicit ScopedShellOpener(ShellOpener& opener);
  ~ScopedShellOpener();
  ScopedShellOpener(const ScopedShellOpener&) = delete;
  ScopedShellOpener& operator=(const ScopedShellOpener&) = delete;

 private:
  ShellOpener* previous_;
};

}  // namespace base
