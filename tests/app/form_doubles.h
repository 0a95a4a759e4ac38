// Doubles the main window's tests share: a tray that accepts every call without showing an
// icon, and shell openers that record what they were asked to open.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/shell_opener.h"
#include "base/text.h"

namespace testapp {

inline BOOL IgnoreTrayCall(DWORD, NOTIFYICONDATAW*) { return TRUE; }

class RecordingShellOpener : public base::ShellOpener {
 public:
  bool Open(HWND, const std::wstring& verb, const std::wstring& target, const std::wstring&, int) override {
    calls.push_back(verb + L" " + target);
    return true;
  }
  std::vector<std::wstring> calls;
};

// Keeps every call whole (verb, target, parameters) and refuses one target, as a system
// without that program would.
class ShellCallLog : public base::ShellOpener {
 public:
  struct Call {
    std::wstring verb, target, parameters;
    bool operator==(const Call&) const = default;
    friend void PrintTo(const Call& c, std::ostream* os) {
      *os << "(" << base::WideToUtf8(c.verb) << ", " << base::WideToUtf8(c.target) << ", "
          << base::WideToUtf8(c.parameters) << ")";
    }
  };
  bool Open(HWND, const std::wstring& verb, const std::wstring& target, const std::wstring& parameters,
            int) override {
    calls.push_back({verb, target, parameters});
    return target != refused;
  }
  std::vector<Call> calls;
  std::wstring refused;
};

}  // namespace testapp
