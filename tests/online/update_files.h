// What the update tests share: the folder of keys, signatures and programs their shell test
// made (named in RECLUME_UPDATE_FILES), file checks, and bytes as the verifier takes them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

namespace onlinetest {

// The folder, ending with "\"; empty when no shell test made one.
inline std::wstring UpdateFilesFolder() {
  wchar_t value[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(L"RECLUME_UPDATE_FILES", value, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::wstring folder(value, n);
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

inline bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace onlinetest
