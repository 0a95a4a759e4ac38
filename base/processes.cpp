// Finding processes by their program file: a snapshot of the processes, their executable
// names first (cheap), then the full image path of the few that match by name.
#include "base/processes.h"

#include <tlhelp32.h>

#include "base/files.h"
#include "base/unique.h"

namespace base {

namespace {

bool SameFile(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// The full, long form of a path: a program started by its short name reports that name as
// its image.
std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2] = {};
  DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  const std::wstring absolute = n == 0 || n >= MAX_PATH * 2 ? path : std::wstring(full, n);
  n = ::GetLongPathNameW(absolute.c_str(), full, MAX_PATH * 2);
  return n == 0 || n >= MAX_PATH * 2 ? absolute : std::wstring(full, n);
}

std::wstring ImageOf(DWORD pid) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return {};
  wchar_t image[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!::QueryFullProcessImageNameW(process.get(), 0, image, &size)) return {};
  return std::wstring(image, size);
}

}  // namespace

std::vector<DWORD> ProcessesRunningFrom(const std::wstring& image) {
  std::vector<DWORD> pids;
  const std::wstring wanted = FullPath(image);
  const std::wstring name = FileNameOf(wanted);
  UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return pids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) continue;
    if (!SameFile(entry.szExeFile, name) || !SameFile(FullPath(ImageOf(entry.th32ProcessID)), wanted)) continue;
    pids.push_back(entry.th32ProcessID);
  }
  return pids;
}

}  // namespace base
