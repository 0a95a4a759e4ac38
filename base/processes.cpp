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

ProcessQuery gSystemQuery;
ProcessQuery* gQuery = &gSystemQuery;

}  // namespace

std::vector<ProcessEntry> ProcessQuery::List() {
  std::vector<ProcessEntry> entries;
  UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return entries;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
    entries.push_back({entry.th32ProcessID, entry.szExeFile});
  return entries;
}

ProcessQuery::Image ProcessQuery::ImageOf(DWORD pid, std::wstring& path) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  // An id that names no process any more is refused as a bad parameter; anything else (access
  // denied above all) leaves a process that runs unread.
  if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER ? Image::Gone : Image::Refused;
  wchar_t image[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!::QueryFullProcessImageNameW(process.get(), 0, image, &size)) return Image::Refused;
  path.assign(image, size);
  return Image::Read;
}

ProcessQuery& CurrentProcessQuery() { return *gQuery; }

ScopedProcessQuery::ScopedProcessQuery(ProcessQuery& query) : previous_(gQuery) { gQuery = &query; }
ScopedProcessQuery::~ScopedProcessQuery() { gQuery = previous_; }

std::vector<DWORD> ProcessesRunningFrom(const std::wstring& image, Unreadable unreadable) {
  std::vector<DWORD> pids;
  // In full and long form: a program started by its short name reports that name as its image.
  const std::wstring wanted = FullLongPath(image);
  const std::wstring name = FileNameOf(wanted);
  ProcessQuery& query = CurrentProcessQuery();
  for (const ProcessEntry& entry : query.List()) {
    if (entry.pid == ::GetCurrentProcessId() || !SameFile(entry.exeName, name)) continue;
    std::wstring path;
    switch (query.ImageOf(entry.pid, path)) {
      case ProcessQuery::Image::Read:
        if (SameFile(FullLongPath(path), wanted)) pids.push_back(entry.pid);
        break;
      case ProcessQuery::Image::Refused:
        if (unreadable == Unreadable::Count) pids.push_back(entry.pid);
        break;
      case ProcessQuery::Image::Gone:
        break;
    }
  }
  return pids;
}

}  // namespace base
