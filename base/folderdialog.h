// The shell's folder dialog with a preselected folder, shared by Reclume and its setup program.
#pragma once

#include <windows.h>

#include <string>

namespace base {

// Shows the shell's folder dialog (file-system folders only, with an edit box, new style),
// owned by owner, with title as its text, preselecting start when start is not empty. Returns
// the chosen folder as the shell spells it (no trailing "\" except for a drive root), or an
// empty text when the user cancels or picks something that is no file-system folder.
// Runs a modal loop on the calling thread, which must be able to use COM apartments.
std::wstring BrowseForFolder(const std::wstring& title, const std::wstring& start,
                             HWND owner = nullptr) noexcept;

// The main window's folder dialog: it starts at "C:\" and shows folder as its title text when
// folder is an existing folder, else "C:\" as the title too.
std::wstring SelectFolder(const std::wstring& folder, HWND owner = nullptr) noexcept;

}  // namespace base
