// Doubles the main window's tests share: a tray that accepts every call without showing an
// icon, and a shell opener that records what it was asked to open.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/shell_opener.h"

namespace testapp {

inline BOOL IgnoreTrayCall(DWORD, NOTIFYICONDATAW*) { return TRUE; }

class RecordingShellOpener : public app::ShellOpener {
 public:
  bool Open(HWND, const std::wstring& verb, const std::wstring& target, int) override {
    calls.push_back(verb + L" " + target);
    return true;
  }
  std::vector<std::wstring> calls;
};

}  // namespace testapp
