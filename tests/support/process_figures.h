// This process's open handles and private memory as this Wine can read them:
// GetProcessHandleCount and PrivateUsage answer 0 here, so the handles come from the system's
// handle table (NtQuerySystemInformation) and the memory from PagefileUsage.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testsupport {

struct ProcessFigures {
  long handles = -1;         // -1: the table could not be read
  size_t privateBytes = 0;   // PagefileUsage
};

// This process's entries in the system handle table.
inline long ProcessHandleCount() {
  using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  struct Entry {
    ULONG ownerPid;
    BYTE type, flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = LONG(0xC0000004);
  std::vector<uint8_t> buffer(1 << 16);
  for (int tries = 0; tries < 16; ++tries) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), ULONG(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status < 0) return -1;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG));
    long mine = 0;
    for (ULONG i = 0; i < count; ++i) mine += entries[i].ownerPid == ::GetCurrentProcessId();
    return mine;
  }
  return -1;
}

inline ProcessFigures ReadProcessFigures() {
  ProcessFigures figures;
  figures.handles = ProcessHandleCount();
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
    figures.privateBytes = counters.PagefileUsage;
  return figures;
}

}  // namespace testsupport
