// What happens to an exception that reached a Win32 boundary: the user sees nothing (the
// program's handlers drop their errors), a debugger sees one line.
#include "base/barrier.h"

#include <windows.h>

#include <string>

#include "base/text.h"

namespace base {

void ReportBarrierException(const char* where, const std::exception* e) noexcept {
  try {
    std::wstring line = Format(L"Reclume: exception stopped at %s: %s\n", where ? where : "?",
                               e ? e->what() : "unknown exception");
    ::OutputDebugStringW(line.c_str());
  } catch (...) {
    ::OutputDebugStringW(L"Reclume: exception stopped at a boundary\n");
  }
}

}  // namespace base
