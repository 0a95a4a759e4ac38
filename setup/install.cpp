// The install steps that need no window. The program file is written beside its target and
// moved into place, so an interrupted or refused write never leaves half a program behind.
#include "setup/install.h"

#include <vector>

#include "app/texts/siteaddresses.h"
#include "base/command_line.h"
#include "base/dispatch.h"
#include "base/files.h"
#include "base/ombrix_reg.h"
#include "base/processes.h"
#include "base/resources.h"
#include "base/seams.h"
#include "base/text.h"
#include "base/unique.h"
#include "setup/setup_routines.h"

namespace setup {

namespace {

using base::FileExists;

BOOL CALLBACK PostCloseToProcessWindows(HWND wnd, LPARAM lp) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  if (pid == static_cast<DWORD>(lp) && !::GetWindow(wnd, GW_OWNER) && ::IsWindowVisible(wnd))
    ::PostMessageW(wnd, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

std::wstring FailureMessage() { return std::wstring(L"未知错误，请重新安装，或联系") + app::site::kHomePage; }

std::wstring UpdateDirFromCommandLine(const wchar_t* commandLine) {
  std::wstring dir = base::FirstArgument(commandLine);
  for (wchar_t& c : dir)
    if (c == L'?') c = L' ';
  return base::Trim(dir);
}

bool IsAbsoluteFolder(const std::wstring& folder) {
  std::wstring dir = folder;
  base::NormalizeDirPath(dir);
  if (dir.size() >= 3 && iswalpha(dir[0]) && dir[1] == L':' && dir[2] == L'\\') return true;
  if (dir.size() < 5 || dir.compare(0, 2, L"\\\\") != 0) return false;
  // "\\server\share\": a server name and a share name.
  const size_t serverEnd = dir.find(L'\\', 2);
  return serverEnd != std::wstring::npos && serverEnd > 2 && serverEnd + 1 < dir.size() - 1;
}

bool IsUpdateTarget(const std::wstring& dir) {
  if (dir.empty() || !IsAbsoluteFolder(dir) || !base::FolderExists(dir)) return false;
  std::wstring folder = dir;
  base::NormalizeDirPath(folder);
  return FileExists(folder + base::kInstalledExeName) || FileExists(folder + base::kUpdateAsideExeName);
}

std::span<const uint8_t> CarriedProgram() { return base::FindResourceBytes(L"OMBRIX", L"EXEFILE"); }

DWORD WriteProgramFile(const std::wstring& folder, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return ERROR_RESOURCE_DATA_NOT_FOUND;
  wchar_t temp[MAX_PATH * 2] = {};
  if (!::GetTempFileNameW(folder.c_str(), L"pvl", 0, temp)) return ::GetLastError();
  DWORD error = ERROR_SUCCESS;
  {
    base::UniqueFile file(::CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      error = ::GetLastError();
    } else {
      DWORD written = 0;
      if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        error = ::GetLastError();
      else if (written != bytes.size())
        error = ERROR_WRITE_FAULT;
      else if (!::FlushFileBuffers(file.get()))
        error = ::GetLastError();
    }
  }
  if (error == ERROR_SUCCESS) {
    const std::wstring target = folder + base::kInstalledExeName;
    if (!::MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) error = ::GetLastError();
  }
  if (error != ERROR_SUCCESS) ::DeleteFileW(temp);
  return error;
}

void CloseRunningCopies(const std::wstring& target, DWORD waitMs) {
  std::vector<base::UniqueHandle> closing;
  for (DWORD pid : base::ProcessesRunningFrom(target)) {
    base::UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    if (!process) continue;
    ::EnumWindows(&PostCloseToProcessWindows, static_cast<LPARAM>(pid));
    closing.push_back(std::move(process));
  }
  const DWORD start = ::GetTickCount();
  for (auto& process : closing) {
    const DWORD spent = ::GetTickCount() - start;
    const DWORD left = spent < waitMs ? waitMs - spent : 0;
    if (base::WaitPumping(process.get(), left) != base::WaitResult::Signalled) {
      ::TerminateProcess(process.get(), 1);
      ::WaitForSingleObject(process.get(), 5000);
    }
  }
}

bool RunUpdate(const std::wstring& dir, std::span<const uint8_t> bytes) {
  std::wstring folder = dir;
  base::NormalizeDirPath(folder);
  if (WriteProgramFile(folder, bytes) == ERROR_SUCCESS) return true;
  const std::wstring program = folder + base::kInstalledExeName;
  const std::wstring aside = folder + base::kUpdateAsideExeName;
  if (!FileExists(program) && FileExists(aside)) ::MoveFileExW(aside.c_str(), program.c_str(), MOVEFILE_WRITE_THROUGH);
  base::ShowMessage(nullptr, FailureMessage(), kSetupTitle, MB_OK | MB_ICONERROR);
  return false;
}

}  // namespace setup
