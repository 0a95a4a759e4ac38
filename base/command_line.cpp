// The first argument of a command line, through the shell's own parsing.
#include "base/command_line.h"

#include <windows.h>
#include <shellapi.h>

namespace base {

std::wstring FirstArgument(const wchar_t* commandLine) {
  if (!commandLine || !*commandLine) return {};
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(commandLine, &count);
  if (!args) return {};
  std::wstring first = count > 1 ? args[1] : L"";
  ::LocalFree(args);
  return first;
}

}  // namespace base
