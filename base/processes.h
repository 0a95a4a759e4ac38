// The running processes started from a given program file. Setup closes the copies of the
// program that run from its target; the uninstall mode will not remove a program that runs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace base {

// The ids of the processes other than this one whose image is the file image (the same path,
// compared without regard to case; a copy of the same name elsewhere does not count).
std::vector<DWORD> ProcessesRunningFrom(const std::wstring& image);

}  // namespace base
