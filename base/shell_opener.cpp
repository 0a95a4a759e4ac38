// The production shell opener and the test installer. ShellExecuteW answers a value above 32
// on success.
#include "base/shell_opener.h"

#include <shellapi.h>

namespace base {

namespace {

class SystemShellOpener : public ShellOpener {
 public:
  bool Open(HWND owner, const std::wstring& verb, const std::wstring& target, const std::wstring& parameters,
            int show) override {
    const HINSTANCE result = ::ShellExecuteW(owner, verb.c_str(), target.c_str(),
                                             parameters.empty() ? nullptr : parameters.c_str(), nullptr, show);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }
};

SystemShellOpener gSystemOpener;
ShellOpener* gOpener = &gSystemOpener;

}  // namespace

ShellOpener& CurrentShellOpener() { return *gOpener; }

ScopedShellOpener::ScopedShellOpener(ShellOpener& opener) : previous_(gOpener) { gOpener = &opener; }
ScopedShellOpener::~ScopedShellOpener() { gOpener = previous_; }

}  // namespace base
