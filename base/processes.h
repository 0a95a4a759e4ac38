// The running processes started from a given program file. Setup closes the copies of the
// program that run from its target; the uninstall mode will not remove a program that runs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace base {

// One process as the system lists it: its id and its executable's file name.
struct ProcessEntry {
  DWORD pid = 0;
  std::wstring exeName;
};

// What the lookups ask the system; tests put another in place (a process whose image the
// system refuses to tell, such as one of another user's logon, cannot be made here).
class ProcessQuery {
 public:
  enum class Image { Read, Gone, Refused };
  virtual ~ProcessQuery() = default;
  // Every running process.
  virtual std::vector<ProcessEntry> List();
  // The full path of pid's image: Read with path set, Gone when the process has ended since
  // the list was taken, Refused when it runs but its image cannot be read.
  virtual Image ImageOf(DWORD pid, std::wstring& path);
};

ProcessQuery& CurrentProcessQuery();

// Installs a process query while alive; the previous one comes back on destruction.
class ScopedProcessQuery {
 public:
  explicit ScopedProcessQuery(ProcessQuery& query);
  ~ScopedProcessQuery();
  ScopedProcessQuery(const ScopedProcessQuery&) = delete;
  ScopedProcessQuery& operator=(const ScopedProcessQuery&) = delete;

 private:
  ProcessQuery* previous_;
};

// What to make of a process of the image's file name whose image path cannot be read.
enum class Unreadable {
  Skip,   // not counted: it cannot be closed either (setup closing the copies it can)
  Count,  // counted as running from image: it may be (the uninstall's refusal)
};

// The ids of the processes other than this one whose image is the file image (the same path,
// compared without regard to case; a copy of the same name elsewhere does not count).
std::vector<DWORD> ProcessesRunningFrom(const std::wstring& image, Unreadable unreadable = Unreadable::Skip);

}  // namespace base
