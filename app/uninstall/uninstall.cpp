// Removing an installation. Only what the setup program wrote for this folder goes: its two
// links (the "QIV软件" folders stay, other products share them), the product key and the
// installed-programs entry, each only when it names this folder (a copy of the program run
// from elsewhere must not remove the installation's), and the settings file. The program
// file and its folder can only go once the program has ended: a small batch file, started
// hidden, retries deleting the file for about half a minute, removes the folder when it is
// empty and deletes itself.
#include "app/uninstall/uninstall.h"

#include <shlobj.h>

#include "app/texts/allparam.h"
#include "base/files.h"
#include "base/ombrix_reg.h"
#include "base/shell_link.h"
#include "base/text.h"
#include "base/unique.h"

namespace app {

namespace {

bool SamePath(std::wstring a, std::wstring b) {
  base::NormalizeDirPath(a);
  base::NormalizeDirPath(b);
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool DeleteFileIfPresent(const std::wstring& path) {
  if (::DeleteFileW(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring ShortcutFolder(BYTE location) {
  switch (location) {
    case 0: return base::SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
    case 1: return base::ShellFolderValue(L"Start Menu");
    case 2: return base::ShellFolderValue(L"Programs");
    case 3: return base::ShellFolderValue(L"Startup");
  }
  return {};
}

// Whose a registry key is, by the path one of its values holds: a folder (isFile false) or a
// program file (isFile true).
enum class Owner { Nobody, Other, Folder };

Owner OwnerOf(HKEY root, const std::wstring& key, const wchar_t* value, bool isFile, const std::wstring& folder) {
  std::wstring path;
  if (!base::ReadRegString(root, key, value, path)) {
    base::UniqueRegKey probe;
    const LSTATUS status = base::CurrentRegistry().OpenKey(root, key, KEY_QUERY_VALUE, probe);
    // No key at all is done; a key without the path is not known to be ours.
    return status == ERROR_FILE_NOT_FOUND ? Owner::Nobody : Owner::Other;
  }
  const std::wstring owner = isFile ? base::FolderOf(base::Trim(path)) : path;
  return !base::Trim(owner).empty() && SamePath(owner, folder) ? Owner::Folder : Owner::Other;
}

}  // namespace

bool DeleteShortcut(const std::wstring& name, BYTE location, const std::wstring& subFolder, const std::wstring& folder) {
  const std::wstring shellFolder = base::Trim(ShortcutFolder(location));
  if (shellFolder.empty()) return true;
  const std::wstring linkName = location == 2 && !subFolder.empty() ? subFolder + L"\\" + name : name;
  const std::wstring link = shellFolder + L"\\" + linkName + L".lnk";
  const DWORD attributes = ::GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  const std::wstring target = base::ShellLinkTarget(link);
  if (target.empty() || !SamePath(base::FolderOf(target), folder)) return true;
  ::SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileIfPresent(link);
}

LSTATUS DeleteUninstallEntry(const std::wstring& name, const std::wstring& folder) {
  if (base::Trim(name).empty()) return ERROR_INVALID_PARAMETER;
  const std::wstring key = std::wstring(base::kUninstallRoot) + name;
  switch (OwnerOf(HKEY_LOCAL_MACHINE, key, L"InstallLocation", false, folder)) {
    case Owner::Nobody: return ERROR_FILE_NOT_FOUND;
    case Owner::Other: return ERROR_SUCCESS;
    case Owner::Folder: break;
  }
  return base::CurrentRegistry().DeleteTree(HKEY_LOCAL_MACHINE, key);
}

LSTATUS DeleteProductKey(const std::wstring& code, const std::wstring& folder) {
  if (base::Trim(code).empty()) return ERROR_INVALID_PARAMETER;
  switch (OwnerOf(HKEY_CURRENT_USER, std::wstring(base::kSoftKeyRoot) + L"\\" + code, L"app", true, folder)) {
    case Owner::Nobody: return ERROR_FILE_NOT_FOUND;
    case Owner::Other: return ERROR_SUCCESS;
    case Owner::Folder: break;
  }
  return base::TMySoftReg().DeleteSoftKey(code);
}

std::vector<std::wstring> RemoveInstallation(const std::wstring& folder) {
  std::vector<std::wstring> left;
  const std::wstring group = base::kLinkGroup;
  if (!DeleteShortcut(group + L"\\" + ProductName, 0, L"", folder))
    left.push_back(base::Format(L"桌面快捷方式“%s\\%s”", group, ProductName));
  if (!DeleteShortcut(ProductName, 2, group, folder))
    left.push_back(base::Format(L"开始菜单快捷方式“%s\\%s”", group, ProductName));
  if (!base::IsGone(DeleteProductKey(ProductCode, folder)))
    left.push_back(base::Format(L"注册表项 HKEY_CURRENT_USER\\%s\\%s", base::kSoftKeyRoot, ProductCode));
  if (!base::IsGone(DeleteUninstallEntry(ProductName, folder)))
    left.push_back(base::Format(L"已安装程序列表中的『%s』", ProductName));
  if (!DeleteFileIfPresent(folder + L"defualt.ini")) left.push_back(folder + L"defualt.ini");
  return left;
}

std::wstring ProgramFile() {
  // Started by its short name, the program would not know the paths setup wrote.
  return base::FullLongPath(base::ProgramPath());
}

std::wstring GetTempDir() {
  wchar_t dir[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, dir);
  std::wstring result(dir, n > MAX_PATH ? 0 : n);
  if (!result.empty() && result.back() != L'\\') result += L'\\';
  return result;
}

std::wstring MakeTempFileName(const std::wstring& extension) {
  const std::wstring dir = GetTempDir();
  wchar_t name[MAX_PATH * 2] = {};
  if (dir.empty() || !::GetTempFileNameW(dir.c_str(), L"uis", 0, name)) return {};
  std::wstring path = name;
  const size_t dot = path.find_last_of(L'.');
  const size_t slash = path.find_last_of(L'\\');
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) path.resize(dot);
  return path + extension;
}

std::optional<std::string> BatchPath(const std::wstring& path) {
  const UINT codePage = ::GetOEMCP();
  const auto encode = [codePage](const std::wstring& text) -> std::optional<std::string> {
    std::wstring escaped;
    for (wchar_t c : text) {
      escaped += c;
      if (c == L'%') escaped += L'%';
    }
    if (escaped.empty()) return std::nullopt;
    // UTF-8 holds everything (and takes no default-character flag).
    const bool utf8 = codePage == CP_UTF8;
    BOOL lossy = FALSE;
    const int length = static_cast<int>(escaped.size());
    const int n = ::WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, escaped.data(), length, nullptr, 0,
                                        nullptr, utf8 ? nullptr : &lossy);
    if (n <= 0 || lossy) return std::nullopt;
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, escaped.data(), length, bytes.data(), n, nullptr,
                          nullptr);
    return bytes;
  };
  if (auto held = encode(path)) return held;
  wchar_t shortPath[MAX_PATH * 2] = {};
  const DWORD n = ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return std::nullopt;
  return encode(std::wstring(shortPath, n));
}

std::string SelfDeleteBatchText(const std::string& exe, const std::string& folder, const std::string& reservation,
                                const std::string& batch) {
  // ping waits about a second between tries (there is no timeout.exe everywhere); rmdir
  // without /s removes the folder only when nothing else is left in it; the empty .tmp file
  // that reserved the batch's name goes with the batch. Every path is quoted and holds no
  // "%" of its own (BatchPath), so cmd reads each one as it is.
  return "@echo off\r\n"
         "set tries=0\r\n"
         ":retry\r\n"
         "del /f /q \"" + exe + "\" >nul 2>&1\r\n"
         "if not exist \"" + exe + "\" goto removed\r\n"
         "set /a tries+=1\r\n"
         "if %tries% geq " + std::to_string(kBatchTries) + " goto removed\r\n"
         "ping -n 2 127.0.0.1 >nul 2>&1\r\n"
         "goto retry\r\n"
         ":removed\r\n"
         "rmdir \"" + folder + "\" >nul 2>&1\r\n"
         "del /f /q \"" + reservation + "\" >nul 2>&1\r\n"
         "del /f /q \"" + batch + "\" >nul 2>&1\r\n";
}

bool StartSelfDeleteBatch(const std::wstring& exe, const std::wstring& folder) {
  const std::wstring batch = MakeTempFileName(L".bat");
  if (batch.empty()) return false;
  const std::wstring reservation = batch.substr(0, batch.find_last_of(L'.')) + L".tmp";
  const auto giveUp = [&] {
    ::DeleteFileW(batch.c_str());
    ::DeleteFileW(reservation.c_str());
    return false;
  };
  // The folder without its final "\" (rmdir of "X:\a\" and of "X:\a" are the same).
  std::wstring dir = folder;
  while (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
  {
    // Made before its text: a file that exists has a short name for BatchPath.
    base::UniqueFile file(::CreateFileW(batch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return giveUp();
    const auto exePath = BatchPath(exe), dirPath = BatchPath(dir), reservationPath = BatchPath(reservation),
               batchPath = BatchPath(batch);
    if (!exePath || !dirPath || !reservationPath || !batchPath) return giveUp();
    const std::string text = SelfDeleteBatchText(*exePath, *dirPath, *reservationPath, *batchPath);
    DWORD written = 0;
    if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
      return giveUp();
  }
  // A read-only program file can be deleted too.
  ::SetFileAttributesW(exe.c_str(), FILE_ATTRIBUTE_NORMAL);
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  // cmd expands "%NAME%" in its own command line too: the line names the batch only by its
  // file name ("uis" and hex digits), found in the current folder. /d: no AutoRun command of
  // the registry runs first (it could change the folder or the variables); /v:off: delayed
  // expansion stays off whatever the registry sets, or "!" in a path would be read as a
  // variable's bounds and the batch would delete in another folder.
  std::wstring line = L"\"" + cmd + L"\" /d /v:off /c " + base::FileNameOf(batch);
  // Started from the temporary folder, so the program folder is not held as anyone's current
  // folder.
  const std::wstring temp = base::FolderOf(batch);
  ::SetCurrentDirectoryW(temp.c_str());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, temp.c_str(), &si,
                        &pi))
    return giveUp();
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return true;
}

bool RunSelfDeleteBatch() {
  const std::wstring exe = ProgramFile();
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\') + 1);
  if (!StartSelfDeleteBatch(exe, folder)) return false;
  ::ExitProcess(0);
}

}  // namespace app
