// The setup program's routines for the Program Files folder, the installed-programs entry, the
// links, the folder dialog and its balloon. What they write is what Reclume's uninstall mode
// removes (base/ombrix_reg.h names it).
#pragma once

#include <windows.h>

#include <string>

#include "base/ombrix_reg.h"

namespace setup {

// The product as the setup program installs it.
inline constexpr const wchar_t* ProductName = base::kInstalledProductName;
inline constexpr const wchar_t* ProductCode = base::kInstalledProductCode;
inline constexpr const wchar_t* ExeName = base::kInstalledExeName;
inline constexpr float SoftVersion = 3.6f;

// The Program Files folder: the "ProgramFilesDir" value of HKEY_LOCAL_MACHINE
// "Software\Microsoft\Windows\CurrentVersion" (read with query access only), else the shell's
// CSIDL_PROGRAM_FILES, else "C:\Program Files".
std::wstring GetProgramFilesDir();

// The default install folder: <Program Files>\Ombrix\<code>\.
std::wstring DefaultInstallDir();

// Writes the installed-programs entry kUninstallRoot + ProductName (whatever displayName
// says) under HKEY_LOCAL_MACHINE: DisplayIcon, DisplayName, DisplayVersion, InstallLocation,
// UninstallString, in that order. The registry's answer comes back: a key that cannot be
// opened, or a value it refuses, is the caller's to report.
LSTATUS WriteUninstallInfo(const std::wstring& icon, const std::wstring& displayName, const std::wstring& displayVersion,
                           const std::wstring& installLocation, const std::wstring& uninstallString);

// The desktop link: CSIDL_DESKTOPDIRECTORY + "\QIV软件\" (when group is not empty, else the
// desktop itself) + linkName + ".lnk", to target, working in target's folder. The folder is
// made with its parents. True when the link was written.
bool CreateDesktopShortcut(const std::wstring& target, const std::wstring& linkName, const std::wstring& group);

// A link in the user's shell folder of kind 0 Desktop, 1 Start Menu, 2 Programs, 3 Startup,
// 4 Quick Launch (below AppData); any other kind, or a missing folder value, gives false and
// makes nothing. The link is named linkName, else target's file name, else "我的电脑" (empty
// target), with its extension replaced by ".lnk"; with a subFolder it goes into that folder
// (made when missing, one level). True when the link was saved.
bool CreateShellFolderShortcut(const std::wstring& target, const std::wstring& linkName, BYTE kind,
                               const std::wstring& subFolder);

// The shell folder of a kind above, or empty.
std::wstring ShellFolderOfKind(BYTE kind);

// The folder dialog starting at folder when it exists (else at "C:\"), with title as its text;
// empty on cancel.
std::wstring SelectFolderFrom(const std::wstring& title, const std::wstring& folder, HWND owner = nullptr);

// Shows the active balloon (it makes none) at (x, y) with the trimmed texts, the information
// icon, 20 seconds and the top-left tail.
void ShowBalloonHint(int x, int y, const std::wstring& title, const std::wstring& text);
// Releases the active balloon, if any.
void FreeBalloonHint();

// The setup program's one product-key object.
base::TMySoftReg& MySoftReg();

}  // namespace setup
