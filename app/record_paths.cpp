// The recording folder check, the automatic numbering and the typed-name rules of the main
// window's recording road. Everything here works on texts and the file system only, so the
// tables of cases run without a window.
#include "app/record_paths.h"

#include <windows.h>

#include <climits>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/text.h"

namespace app {

namespace {

std::wstring UpperCased(std::wstring s) {
  if (!s.empty()) ::CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// The number a listed name stands for: its name with every ".avi" removed, when the rest is
// decimal digits only; -1 otherwise (and for numbers too large to count on from).
long long NumberOfRecording(std::wstring name) {
  for (size_t at = name.find(L".avi"); at != std::wstring::npos; at = name.find(L".avi", at)) name.erase(at, 4);
  if (name.empty() || name.size() > 10) return -1;
  long long value = 0;
  for (wchar_t c : name) {
    if (c < L'0' || c > L'9') return -1;
    value = value * 10 + (c - L'0');
  }
  return value < INT_MAX ? value : -1;
}

}  // namespace

bool IsForbiddenNameChar(wchar_t c) {
  return c < 32 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' ||
         c == L'<' || c == L'>' || c == L'|';
}

std::wstring DrivePartOf(const std::wstring& folder) {
  if (folder.size() >= 2 && folder[1] == L':' &&
      ((folder[0] >= L'A' && folder[0] <= L'Z') || (folder[0] >= L'a' && folder[0] <= L'z')))
    return folder.substr(0, 2);
  if (folder.size() > 2 && folder[0] == L'\\' && folder[1] == L'\\') {
    // "\\server\share": up to the backslash after the share name.
    size_t server = folder.find(L'\\', 2);
    if (server == std::wstring::npos) return folder;
    size_t share = folder.find(L'\\', server + 1);
    return share == std::wstring::npos ? folder : folder.substr(0, share);
  }
  return std::wstring();
}

bool DriveExists(const std::wstring& drive) {
  const std::wstring wanted = UpperCased(base::Trim(drive) + L"\\");
  const DWORD needed = ::GetLogicalDriveStringsW(0, nullptr);
  if (needed == 0) return false;
  std::vector<wchar_t> roots(needed + 1, L'\0');
  const DWORD got = ::GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()), roots.data());
  if (got == 0 || got >= roots.size()) return false;
  for (const wchar_t* root = roots.data(); *root; root += wcslen(root) + 1)
    if (UpperCased(root) == wanted) return true;
  return false;
}

RecordFolderCheck PrepareRecordFolder(const std::wstring& text) {
  RecordFolderCheck check;
  check.folder = text;
  base::NormalizeDirPath(check.folder);
  check.folder = base::Trim(check.folder);
  check.drive = DrivePartOf(check.folder);
  if (!DriveExists(check.drive)) {
    check.result = RecordFolderCheck::Result::DriveMissing;
    return check;
  }
  check.result = RecordFolderCheck::Result::Invalid;
  // "C:rec\" would be relative to the drive's current folder: only "X:\..." is a folder here.
  if (check.folder.size() < 3 || check.folder[2] != L'\\') return check;
  for (size_t i = 3; i < check.folder.size(); ++i)
    if (check.folder[i] != L'\\' && IsForbiddenNameChar(check.folder[i])) return check;
  if (base::CreateFolderTree(check.folder)) check.result = RecordFolderCheck::Result::Ok;
  return check;
}

std::wstring NextAutoFileName(const std::wstring& folder, const std::wstring& after) {
  std::vector<std::wstring> files;
  base::GetFileList(folder, L"avi", files);
  long long largest = 0;
  for (const auto& path : files) {
    const size_t slash = path.find_last_of(L'\\');
    const long long number = NumberOfRecording(slash == std::wstring::npos ? path : path.substr(slash + 1));
    if (number > largest) largest = number;
  }
  if (!after.empty() && NumberOfRecording(after) > largest) largest = NumberOfRecording(after);
  // The file system compares names without case: "1.avi" would overwrite "1.AVI".
  for (long long n = largest + 1;; ++n) {
    std::wstring name = std::to_wstring(n) + L".avi";
    if (::GetFileAttributesW((folder + name).c_str()) == INVALID_FILE_ATTRIBUTES) return name;
  }
}

RecordName CheckRecordName(const std::wstring& typed) {
  const std::wstring name = base::Trim(typed);
  if (name.empty()) return RecordName::Empty;
  for (wchar_t c : typed)
    if (IsForbiddenNameChar(c)) return RecordName::Invalid;
  // "CON.avi" is the console, not a file: the system takes a device name whatever extension
  // follows it.
  const std::wstring upper = UpperCased(name);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"})
    if (upper == device) return RecordName::Invalid;
  if (upper.size() == 4 && (upper.compare(0, 3, L"COM") == 0 || upper.compare(0, 3, L"LPT") == 0) &&
      upper[3] >= L'1' && upper[3] <= L'9')
    return RecordName::Invalid;
  return RecordName::Usable;
}

std::wstring TypedRecordFileName(const std::wstring& typed, bool trimBlanks) {
  if (CheckRecordName(typed) != RecordName::Usable) return std::wstring();
  return (trimBlanks ? base::Trim(typed) : typed) + L".avi";
}

std::wstring TargetHoldName(const std::wstring& target) {
  return base::PathObjectName(L"Local\\Reclume.Target.", base::FullLongPath(target));
}

bool HoldTarget(const std::wstring& target, base::UniqueHandle& holder) {
  holder.reset();
  // Made, not opened: the one that makes the object owns the target.
  base::UniqueHandle object(::CreateMutexW(nullptr, FALSE, TargetHoldName(target).c_str()));
  const DWORD error = ::GetLastError();
  if (object ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED) return false;
  holder = std::move(object);
  return true;
}

bool TargetHeld(const std::wstring& target) {
  base::UniqueHandle object(::OpenMutexW(SYNCHRONIZE, FALSE, TargetHoldName(target).c_str()));
  const DWORD error = ::GetLastError();
  // One that this process may not open exists all the same.
  return object || error == ERROR_ACCESS_DENIED;
}

}  // namespace app
