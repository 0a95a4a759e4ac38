// Helpers of the wave-in tests and the recorder soak: a wall clock shared with the shell side,
// small files the shell and the test program hand each other, and the process's handle count
// and commit as this Wine can read them (GetProcessHandleCount and PrivateUsage answer 0 here).
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/process_figures.h"

namespace wavetest {

// Milliseconds since 1970, the same clock as `date +%s%3N` on the Linux side.
inline int64_t WallMs() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  const int64_t t = (int64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return t / 10000 - 11644473600000LL;
}

inline bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Writes "key value" lines for the shell side to read.
inline void WriteFacts(const std::wstring& path, const std::vector<std::pair<std::string, std::string>>& facts) {
  std::ofstream out(path.c_str());
  for (const auto& [key, value] : facts) out << key << ' ' << value << '\n';
}

// Waits for a file the shell side makes; false when it has not come within limitMs.
inline bool WaitForFile(const std::wstring& path, DWORD limitMs) {
  const DWORD start = ::GetTickCount();
  while (!FileExists(path)) {
    if (::GetTickCount() - start > limitMs) return false;
    ::Sleep(10);
  }
  return true;
}

// True when nobody else has the file open (it can be opened with no sharing).
inline bool OpensExclusively(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

// This process's entries in the system handle table.
using testsupport::ProcessHandleCount;

// The process's commit (PagefileUsage), bytes.
inline size_t ProcessCommit() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PagefileUsage;
}

}  // namespace wavetest
