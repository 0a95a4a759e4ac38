// The uninstall mode's work: removing the links, the product key, the installed-programs entry
// and the settings file that an installation left, and the batch file that removes the
// program file and its folder once the program has ended.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace app {

// Deletes the link name + ".lnk" in a shell folder: location 0 the desktop folder
// (CSIDL_DESKTOPDIRECTORY, where setup puts it), 1 "Start Menu", 2 "Programs" (the only one
// that takes subFolder), 3 "Startup" of the user's shell folders. Never deletes a folder.
// True when no such link is left (it was deleted, or there was none).
bool DeleteShortcut(const std::wstring& name, BYTE location, const std::wstring& subFolder);

// Deletes the installed-programs entry kUninstallRoot + name, but only when its
// "InstallLocation" is folder (the name is a generic one another program may use). An entry
// already gone, or one of another folder, is left and gives ERROR_SUCCESS; a refusal comes
// back as the registry's error.
LSTATUS DeleteUninstallEntry(const std::wstring& name, const std::wstring& folder);

// Removes what setup wrote for the program in folder (with its trailing "\") and its settings
// file there. Every step runs; what could not be removed is listed by name (empty: all done).
std::vector<std::wstring> RemoveInstallation(const std::wstring& folder);

// The system's temporary folder with its trailing "\".
std::wstring GetTempDir();
// A new file name in the temporary folder with the prefix "uis": the system makes the empty
// file "uis….tmp" for it, and the name comes back with extension (".bat") in place of ".tmp".
// Empty when no name could be made.
std::wstring MakeTempFileName(const std::wstring& extension);

// The lines of the self-deleting batch (ASCII: paths arrive as its arguments %1 program
// file, %2 folder).
std::string SelfDeleteBatchText();

// Writes the batch, starts it hidden through cmd.exe with the program file and its folder as
// arguments, from the temporary folder. True when it runs; the caller then ends the process.
bool StartSelfDeleteBatch(const std::wstring& exe, const std::wstring& folder);

// StartSelfDeleteBatch for the running program, then ends the process at once. Returns (false)
// only when the batch could not be started.
bool RunSelfDeleteBatch();

}  // namespace app
