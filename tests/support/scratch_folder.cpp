// Scratch folders: a fresh name per folder (process, time and a counter), so tests running at
// the same time in other processes never share one.
#include "tests/support/scratch_folder.h"

#include <windows.h>

#include <atomic>

#include "base/text.h"
#include "base/unique.h"

namespace testsupport {

ScratchFolder::ScratchFolder(const wchar_t* keepVariable) {
  wchar_t kept[MAX_PATH] = {};
  const DWORD n = keepVariable ? ::GetEnvironmentVariableW(keepVariable, kept, MAX_PATH) : 0;
  if (n > 0 && n < MAX_PATH) {
    path_ = kept;
    if (path_.back() != L'\\') path_ += L'\\';
    kept_ = true;
    ::CreateDirectoryW(path_.c_str(), nullptr);
    return;
  }
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  path_ = base::Format(L"%lsreclume_test_%u_%u_%d\\", temp, ::GetCurrentProcessId(), ::GetTickCount(), ++counter);
  RemoveTree(path_);
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
  if (!kept_) RemoveTree(path_);
}

void RemoveTree(const std::wstring& folder) {
  std::wstring dir = folder;
  if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
  WIN32_FIND_DATAW data{};
  base::UniqueFind find(::FindFirstFileW((dir + L"*").c_str(), &data));
  if (find) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring full = dir + name;
      ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        ::DeleteFileW(full.c_str());
      }
    } while (::FindNextFileW(find.get(), &data));
  }
  find.reset();
  ::RemoveDirectoryW(dir.c_str());
}

std::string ReadBytes(const std::wstring& path) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace testsupport
