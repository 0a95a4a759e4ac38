// Removing an installation. Only what the setup program wrote goes: its two links (the
// "QIV软件" folders stay, other products share them), the product key, the installed-programs
// entry when it belongs to this folder, and the settings file. The program file and its
// folder can only go once the program has ended: a small batch file, started hidden, retries
// deleting the file for about ten seconds, removes the folder when it is empty and deletes
// itself.
#include "app/uninstall.h"

#include <shlobj.h>

#include "app/allparam.h"
#include "base/files.h"
#include "base/ombrix_reg.h"
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

std::wstring ProgramFile() {
  wchar_t path[MAX_PATH * 2] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return std::wstring(path, n);
}

}  // namespace

bool DeleteShortcut(const std::wstring& name, BYTE location, const std::wstring& subFolder) {
  const std::wstring folder = base::Trim(ShortcutFolder(location));
  if (folder.empty()) return true;
  const std::wstring linkName = location == 2 && !subFolder.empty() ? subFolder + L"\\" + name : name;
  const std::wstring link = folder + L"\\" + linkName + L".lnk";
  const DWORD attributes = ::GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  ::SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileIfPresent(link);
}

LSTATUS DeleteUninstallEntry(const std::wstring& name, const std::wstring& folder) {
  if (base::Trim(name).empty()) return ERROR_INVALID_PARAMETER;
  const std::wstring key = std::wstring(base::kUninstallRoot) + name;
  std::wstring location;
  if (!base::ReadRegString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", location)) {
    base::UniqueRegKey probe;
    const LSTATUS status = base::CurrentRegistry().OpenKey(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE, probe);
    // No entry at all is done; an entry without a location is not known to be ours.
    return status == ERROR_FILE_NOT_FOUND ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
  }
  if (!SamePath(location, folder)) return ERROR_SUCCESS;
  return base::CurrentRegistry().DeleteTree(HKEY_LOCAL_MACHINE, key);
}

std::vector<std::wstring> RemoveInstallation(const std::wstring& folder) {
  std::vector<std::wstring> left;
  const std::wstring group = base::kLinkGroup;
  if (!DeleteShortcut(group + L"\\" + ProductName, 0, L""))
    left.push_back(base::Format(L"桌面快捷方式“%s\\%s”", group, ProductName));
  if (!DeleteShortcut(ProductName, 2, group))
    left.push_back(base::Format(L"开始菜单快捷方式“%s\\%s”", group, ProductName));
  if (!base::IsGone(base::TMySoftReg().DeleteSoftKey(ProductCode)))
    left.push_back(base::Format(L"注册表项 HKEY_CURRENT_USER\\%s\\%s", base::kSoftKeyRoot, ProductCode));
  if (!base::IsGone(DeleteUninstallEntry(ProductName, folder)))
    left.push_back(base::Format(L"已安装程序列表中的『%s』", ProductName));
  if (!DeleteFileIfPresent(folder + L"defualt.ini")) left.push_back(folder + L"defualt.ini");
  return left;
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

std::string SelfDeleteBatchText() {
  // ping waits about a second between tries (there is no timeout.exe everywhere); rmdir
  // without /s removes the folder only when nothing else is left in it; the empty .tmp file
  // that reserved the batch's name goes with the batch.
  return "@echo off\r\n"
         "set tries=0\r\n"
         ":retry\r\n"
         "del /f /q \"%~1\" >nul 2>&1\r\n"
         "if not exist \"%~1\" goto removed\r\n"
         "set /a tries+=1\r\n"
         "if %tries% geq 10 goto removed\r\n"
         "ping -n 2 127.0.0.1 >nul 2>&1\r\n"
         "goto retry\r\n"
         ":removed\r\n"
         "rmdir \"%~2\" >nul 2>&1\r\n"
         "del /f /q \"%~dpn0.tmp\" >nul 2>&1\r\n"
         "del /f /q \"%~f0\" >nul 2>&1\r\n";
}

bool StartSelfDeleteBatch(const std::wstring& exe, const std::wstring& folder) {
  const std::wstring batch = MakeTempFileName(L".bat");
  if (batch.empty()) return false;
  {
    base::UniqueFile file(::CreateFileW(batch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const std::string text = SelfDeleteBatchText();
    DWORD written = 0;
    if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
      return false;
  }
  // A read-only program file can be deleted too.
  ::SetFileAttributesW(exe.c_str(), FILE_ATTRIBUTE_NORMAL);
  // The folder without its final "\": a "\" before the closing quote would escape it.
  std::wstring dir = folder;
  while (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  std::wstring line = L"\"" + cmd + L"\" /c \"\"" + batch + L"\" \"" + exe + L"\" \"" + dir + L"\"\"";
  // Started from the temporary folder, so the program folder is not held as anyone's current
  // folder.
  const std::wstring temp = GetTempDir();
  ::SetCurrentDirectoryW(temp.c_str());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, temp.c_str(), &si,
                        &pi)) {
    ::DeleteFileW(batch.c_str());
    ::DeleteFileW((batch.substr(0, batch.find_last_of(L'.')) + L".tmp").c_str());
    return false;
  }
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
