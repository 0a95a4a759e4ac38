// The uninstall mode's work: removing the links, the product key, the installed-programs entry
// and the settings file that an installation left, and the batch file that removes the
// program file and its folder once the program has ended. Only what belongs to the folder
// the uninstalling program runs from goes: a copy run elsewhere leaves the installation alone.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace app {

// Deletes the link name + ".lnk" in a shell folder: location 0 the desktop folder
// (CSIDL_DESKTOPDIRECTORY, where setup puts it), 1 "Start Menu", 2 "Programs" (the only one
// that takes subFolder), 3 "Startup" of the user's shell folders, but only when it points at
// a file in folder. Never deletes a folder. True unless a link of folder's program is left; a
// link that points elsewhere, or cannot be read, is not this installation's and stays.
bool DeleteShortcut(const std::wstring& name, BYTE location, const std::wstring& subFolder, const std::wstring& folder);

// Deletes the installed-programs entry kUninstallRoot + name, but only when its
// "InstallLocation" is folder (the name is a generic one another program may use). An entry
// already gone, or one of another folder, is left and gives ERROR_SUCCESS; a refusal comes
// back as the registry's error.
LSTATUS DeleteUninstallEntry(const std::wstring& name, const std::wstring& folder);

// Deletes the product key kSoftKeyRoot + "\" + code under HKEY_CURRENT_USER, but only when its
// "app" names a program in folder; the same answers as DeleteUninstallEntry.
LSTATUS DeleteProductKey(const std::wstring& code, const std::wstring& folder);

// Removes what setup wrote for the program in folder (with its trailing "\") and its settings
// file there. Every step runs; what could not be removed is listed by name (empty: all done).
std::vector<std::wstring> RemoveInstallation(const std::wstring& folder);

// The running program's file, its long name.
std::wstring ProgramFile();

// The system's temporary folder with its trailing "\".
std::wstring GetTempDir();
// A new file name in the temporary folder with the prefix "uis": the system makes the empty
// file "uis….tmp" for it, and the name comes back with extension (".bat") in place of ".tmp".
// Empty when no name could be made.
std::wstring MakeTempFileName(const std::wstring& extension);

// A path as the batch holds it: in the console's code page (cmd reads a batch file in it),
// with every "%" doubled (cmd expands "%NAME%" even inside quotes), for use between double
// quotes (inside them "&", "^", "(", ")" and "!" are plain characters). A path that the code
// page cannot hold is written by its short name; nothing when that cannot be held either.
std::optional<std::string> BatchPath(const std::wstring& path);

// The self-deleting batch for these paths (each as BatchPath gives it): it retries deleting
// exe for about kBatchTries seconds, removes folder when it is empty, then deletes the
// reserving .tmp file and itself.
inline constexpr int kBatchTries = 30;
std::string SelfDeleteBatchText(const std::string& exe, const std::string& folder, const std::string& reservation,
                                const std::string& batch);

// Writes the batch and starts it hidden through cmd.exe from the temporary folder (its
// command line holds only the batch's own file name, which has none of cmd's special
// characters). True when it runs; the caller then ends the process.
bool StartSelfDeleteBatch(const std::wstring& exe, const std::wstring& folder);

// StartSelfDeleteBatch for the running program, then ends the process at once. Returns (false)
// only when the batch could not be started.
bool RunSelfDeleteBatch();

}  // namespace app
