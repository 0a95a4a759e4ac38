// Keeping a recording that could not be saved: one free name for the whole set of files, then
// a move, a copy where the move is refused, and the file left alone where neither works.
#include "engine/capture/kept_files.h"

#include <windows.h>

#include <cstdio>

namespace engine {

namespace {

constexpr int kMostSuffixes = 1000;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsRegularFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExtensionOf(const std::wstring& file) {
  const size_t dot = file.find_last_of(L'.');
  const size_t slash = file.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
  return file.substr(dot);
}

std::wstring NameWith(const std::wstring& folder, const std::wstring& stamp, int n, const std::wstring& extension) {
  return folder + L"Reclume recording " + stamp + (n > 1 ? L"-" + std::to_wstring(n) : L"") + extension;
}

bool SameSize(const std::wstring& a, const std::wstring& b) {
  WIN32_FILE_ATTRIBUTE_DATA da{}, db{};
  return ::GetFileAttributesExW(a.c_str(), GetFileExInfoStandard, &da) &&
         ::GetFileAttributesExW(b.c_str(), GetFileExInfoStandard, &db) && da.nFileSizeHigh == db.nFileSizeHigh &&
         da.nFileSizeLow == db.nFileSizeLow;
}

bool NameTaken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

// Moves or copies file to name; false when neither was done. taken: name was there already.
bool MoveOrCopy(const std::wstring& file, const std::wstring& name, KeptFile& result, bool& taken) {
  taken = false;
  if (::MoveFileExW(file.c_str(), name.c_str(), 0)) return true;
  if (NameTaken(::GetLastError())) {
    taken = true;
    return false;
  }
  if (::CopyFileW(file.c_str(), name.c_str(), TRUE)) {
    // A copy cut short (a full disk) holds less than the recording: it does not count.
    if (SameSize(file, name)) {
      result.copied = true;
      return true;
    }
    ::DeleteFileW(name.c_str());
    return false;
  }
  taken = NameTaken(::GetLastError());
  return false;
}

}  // namespace

std::wstring KeptStamp() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t stamp[32];
  std::swprintf(stamp, 32, L"%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                now.wSecond);
  return stamp;
}

std::vector<KeptFile> KeepUnderRecordingNames(const std::vector<std::wstring>& files, const std::wstring& folder,
                                              const std::wstring& stamp) {
  std::vector<std::wstring> present;
  for (const std::wstring& file : files)
    if (IsRegularFile(file)) present.push_back(file);
  // The first suffix free for every extension of the set.
  int n = 1;
  for (; n < kMostSuffixes; ++n) {
    bool free = true;
    for (const std::wstring& file : present) free = free && !Exists(NameWith(folder, stamp, n, ExtensionOf(file)));
    if (free) break;
  }
  std::vector<KeptFile> kept;
  for (const std::wstring& file : present) {
    KeptFile result;
    result.from = file;
    bool done = false, taken = false;
    // A name taken meanwhile (another program keeping its own) moves this file on alone.
    for (int m = n; m < kMostSuffixes && !done; ++m) {
      const std::wstring name = NameWith(folder, stamp, m, ExtensionOf(file));
      done = MoveOrCopy(file, name, result, taken);
      if (done) result.kept = name;
      if (!done && !taken) break;
    }
    if (!done) {
      result.kept = file;
      result.inPlace = true;
    }
    kept.push_back(std::move(result));
  }
  return kept;
}

}  // namespace engine
