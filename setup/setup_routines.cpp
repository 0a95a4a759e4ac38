// Registry, link, folder-dialog and balloon routines of the setup program.
#include "setup/setup_routines.h"

#include <shlobj.h>

#include "base/balloon.h"
#include "base/barrier.h"
#include "base/files.h"
#include "base/folderdialog.h"
#include "base/shell_link.h"
#include "base/text.h"

namespace setup {

namespace {

using base::FileNameOf;
using base::FolderOf;

// name with its extension (after the last dot of the last path part) replaced by ".lnk".
std::wstring LinkFileName(const std::wstring& name) {
  const size_t dot = name.find_last_of(L'.');
  return (dot == std::wstring::npos ? name : name.substr(0, dot)) + L".lnk";
}

}  // namespace

std::wstring GetProgramFilesDir() {
  std::wstring dir;
  if (base::ReadRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                          dir) &&
      !base::Trim(dir).empty())
    return base::Trim(dir);
  dir = base::SpecialFolderPath(CSIDL_PROGRAM_FILES);
  return dir.empty() ? L"C:\\Program Files" : dir;
}

std::wstring DefaultInstallDir() {
  std::wstring dir = base::Format(L"%s\\Ombrix\\%s\\", GetProgramFilesDir(), ProductCode);
  base::NormalizeDirPath(dir);
  return dir;
}

LSTATUS WriteUninstallInfo(const std::wstring& icon, const std::wstring& displayName, const std::wstring& displayVersion,
                           const std::wstring& installLocation, const std::wstring& uninstallString) {
  return base::WriteRegStrings(HKEY_LOCAL_MACHINE, std::wstring(base::kUninstallRoot) + ProductName,
                               {{L"DisplayIcon", icon},
                                {L"DisplayName", displayName},
                                {L"DisplayVersion", displayVersion},
                                {L"InstallLocation", installLocation},
                                {L"UninstallString", uninstallString}});
}

bool CreateDesktopShortcut(const std::wstring& target, const std::wstring& linkName, const std::wstring& group) {
  return base::Guard("CreateDesktopShortcut", [&] {
    std::wstring folder = base::SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
    if (folder.empty()) return false;
    folder += group.empty() ? L"\\" : std::wstring(L"\\") + base::kLinkGroup + L"\\";
    base::NormalizeDirPath(folder);
    if (!base::CreateFolderTree(folder)) return false;
    return base::SaveShellLink(folder + linkName + L".lnk", target, FolderOf(target), linkName);
  }, false);
}

std::wstring ShellFolderOfKind(BYTE kind) {
  switch (kind) {
    case 0: return base::ShellFolderValue(L"Desktop");
    case 1: return base::ShellFolderValue(L"Start Menu");
    case 2: return base::ShellFolderValue(L"Programs");
    case 3: return base::ShellFolderValue(L"Startup");
    case 4: {
      const std::wstring appData = base::ShellFolderValue(L"AppData");
      return appData.empty() ? appData : appData + L"\\Microsoft\\Internet Explorer\\Quick Launch";
    }
  }
  return {};
}

bool CreateShellFolderShortcut(const std::wstring& target, const std::wstring& linkName, BYTE kind,
                               const std::wstring& subFolder) {
  return base::Guard("CreateShellFolderShortcut", [&] {
    const std::wstring name = target.empty() ? std::wstring(L"我的电脑") : !linkName.empty() ? linkName : FileNameOf(target);
    std::wstring folder = base::Trim(ShellFolderOfKind(kind));
    if (folder.empty()) return false;
    if (!subFolder.empty()) {
      folder += L"\\" + subFolder;
      if (!base::FolderExists(folder) && !::CreateDirectoryW(folder.c_str(), nullptr)) return false;
    }
    return base::SaveShellLink(folder + L"\\" + LinkFileName(name), target, L"", name);
  }, false);
}

std::wstring SelectFolderFrom(const std::wstring& title, const std::wstring& folder, HWND owner) {
  return base::BrowseForFolder(title, base::FolderExists(folder) ? folder : std::wstring(L"C:\\"), owner);
}

void ShowBalloonHint(int x, int y, const std::wstring& title, const std::wstring& text) {
  base::GuardVoid("ShowBalloonHint", [&] {
    if (base::TBalloon* balloon = base::ActiveBalloon())
      balloon->ShowAt(x, y, base::Trim(title), base::Trim(text), 0, 20, base::kTailTopLeft);
  });
}

void FreeBalloonHint() { base::FreeActiveBalloon(); }

base::TMySoftReg& MySoftReg() {
  static base::TMySoftReg reg;
  return reg;
}

}  // namespace setup
