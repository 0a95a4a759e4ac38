// What an installation of Reclume leaves on a machine, and the registry routines both programs
// use on it: the setup program writes the product key, the installed-programs entry and the
// links; Reclume's uninstall mode removes exactly those.
//
// Registry paths never begin with "\" (the registry refuses such a path with error 161).
// Every registry call goes through the current Registry, so tests can play a registry that
// refuses what a user without the right would be refused (the platform here has no ACLs).
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/unique.h"

namespace base {

// The installed program file, and the name a self-update moves the running one aside to.
inline constexpr const wchar_t* kInstalledExeName = L"Reclume.exe";
inline constexpr const wchar_t* kUpdateAsideExeName = L"qivupdatetmp.exe";
// The product as it is installed: the name of its entry and links, and its short code.
inline constexpr const wchar_t* kInstalledProductName = L"屏幕录像";
inline constexpr const wchar_t* kInstalledProductCode = L"QIVKV";
// The folder that holds the links on the desktop and in the Programs menu (it stays on
// uninstall: other products of the maker share it).
inline constexpr const wchar_t* kLinkGroup = L"QIV软件";
// HKEY_CURRENT_USER: the maker's key; the product key is kSoftKeyRoot + "\" + code.
inline constexpr const wchar_t* kSoftKeyRoot = L"Software\\Ombrix";
// HKEY_LOCAL_MACHINE: the installed-programs list; the entry is this + product name.
inline constexpr const wchar_t* kUninstallRoot = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// HKEY_CURRENT_USER: the user's shell folders by name ("Desktop", "Programs", ...).
inline constexpr const wchar_t* kShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The registry as the programs use it. The default one is the platform's.
class Registry {
 public:
  virtual ~Registry() = default;
  // RegCreateKeyExW (creating the key and missing parents) or RegOpenKeyExW (never creating).
  virtual LSTATUS CreateKey(HKEY root, const std::wstring& path, REGSAM access, UniqueRegKey& key);
  virtual LSTATUS OpenKey(HKEY root, const std::wstring& path, REGSAM access, UniqueRegKey& key);
  virtual LSTATUS SetString(HKEY key, const std::wstring& name, const std::wstring& value);
  // Deletes path with every subkey and value under it.
  virtual LSTATUS DeleteTree(HKEY root, const std::wstring& path);
};

Registry& CurrentRegistry();

// Installs a registry while alive; the previous one comes back on destruction.
class ScopedRegistry {
 public:
  explicit ScopedRegistry(Registry& registry);
  ~ScopedRegistry();
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;

 private:
  Registry* previous_;
};

// True when a deletion's status means the thing is gone: deleted now, or not there at all
// (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND).
inline bool IsGone(LSTATUS status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

// Opens (creating it when missing) root\path and writes the string values in order; the first
// failure is returned and the values after it are not written.
LSTATUS WriteRegStrings(HKEY root, const std::wstring& path,
                        const std::vector<std::pair<std::wstring, std::wstring>>& values);

// Reads a string value (REG_SZ, or REG_EXPAND_SZ expanded) without creating anything; false
// when the key or value is missing or holds something else.
bool ReadRegString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& value);

// The user's shell folder of that name under kShellFoldersKey, or empty.
std::wstring ShellFolderValue(const wchar_t* name);
// A shell special folder (CSIDL_*) as a path, or empty.
std::wstring SpecialFolderPath(int csidl);

// The product key under HKEY_CURRENT_USER.
class TMySoftReg {
 public:
  // Opens, creating it when missing, kSoftKeyRoot\subKey and writes "name" and "app".
  LSTATUS WriteSoftInfo(const std::wstring& subKey, const std::wstring& name, const std::wstring& app);
  // Deletes kSoftKeyRoot\subKey with everything under it. Never creates the maker's key; an
  // empty (or blank) subKey would name the maker's whole key and is refused
  // (ERROR_INVALID_PARAMETER). A key already gone gives ERROR_FILE_NOT_FOUND.
  LSTATUS DeleteSoftKey(const std::wstring& subKey);
};

}  // namespace base
