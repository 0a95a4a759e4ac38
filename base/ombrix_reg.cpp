// The installation's registry routines and the registry seam behind them.
#include "base/ombrix_reg.h"

#include <shlobj.h>

#include "base/text.h"

namespace base {

namespace {

Registry gSystemRegistry;
Registry* gRegistry = &gSystemRegistry;

}  // namespace

LSTATUS Registry::CreateKey(HKEY root, const std::wstring& path, REGSAM access, UniqueRegKey& key) {
  return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(), nullptr);
}

LSTATUS Registry::OpenKey(HKEY root, const std::wstring& path, REGSAM access, UniqueRegKey& key) {
  return ::RegOpenKeyExW(root, path.c_str(), 0, access, key.put());
}

LSTATUS Registry::SetString(HKEY key, const std::wstring& name, const std::wstring& value) {
  return ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS Registry::DeleteTree(HKEY root, const std::wstring& path) {
  // RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyW.
  LSTATUS status = ::RegDeleteTreeW(root, path.c_str());
  if (status != ERROR_SUCCESS) return status;
  status = ::RegDeleteKeyW(root, path.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

Registry& CurrentRegistry() { return *gRegistry; }

ScopedRegistry::ScopedRegistry(Registry& registry) : previous_(gRegistry) { gRegistry = &registry; }
ScopedRegistry::~ScopedRegistry() { gRegistry = previous_; }

LSTATUS WriteRegStrings(HKEY root, const std::wstring& path,
                        const std::vector<std::pair<std::wstring, std::wstring>>& values) {
  UniqueRegKey key;
  LSTATUS status = CurrentRegistry().CreateKey(root, path, KEY_SET_VALUE, key);
  if (status != ERROR_SUCCESS) return status;
  for (const auto& [name, value] : values) {
    status = CurrentRegistry().SetString(key.get(), name, value);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

bool ReadRegString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& value) {
  UniqueRegKey key;
  if (CurrentRegistry().OpenKey(root, path, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
      ERROR_SUCCESS)
    return false;
  text.resize(wcsnlen(text.c_str(), text.size()));
  if (type == REG_EXPAND_SZ) {
    const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    std::wstring expanded(needed, L'\0');
    if (needed == 0 || ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed) == 0) return false;
    expanded.resize(needed - 1);
    text = std::move(expanded);
  }
  value = std::move(text);
  return true;
}

std::wstring ShellFolderValue(const wchar_t* name) {
  std::wstring value;
  if (!ReadRegString(HKEY_CURRENT_USER, kShellFoldersKey, name, value)) return {};
  return value;
}

std::wstring SpecialFolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

LSTATUS TMySoftReg::WriteSoftInfo(const std::wstring& subKey, const std::wstring& name, const std::wstring& app) {
  return WriteRegStrings(HKEY_CURRENT_USER, std::wstring(kSoftKeyRoot) + L"\\" + subKey, {{L"name", name}, {L"app", app}});
}

LSTATUS TMySoftReg::DeleteSoftKey(const std::wstring& subKey) {
  if (Trim(subKey).empty()) return ERROR_INVALID_PARAMETER;
  return CurrentRegistry().DeleteTree(HKEY_CURRENT_USER, std::wstring(kSoftKeyRoot) + L"\\" + subKey);
}

}  // namespace base
