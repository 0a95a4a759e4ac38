// Renaming a recording: the rename dialog and the rules for the new name.
#pragma once

#include <windows.h>

#include <string>

namespace app {

enum class RenameOutcome {
  Renamed,       // the file has its new name
  Cancelled,     // no name was given (or the dialog was closed)
  Unchanged,     // the new name is the old one
  InvalidName,   // the name holds a path separator or a character no file name may hold
  TargetExists,  // another file or folder has that name; nothing was overwritten
  Failed,        // the file system refused (the file is in use, no access, ...)
};

// The path newName gives in folder (which ends with "\"): folder + newName (trimmed of
// blanks), with extension (given with its dot) appended when the name has none.
std::wstring RenameTargetPath(const std::wstring& folder, const std::wstring& newName, const std::wstring& extension);

// Renames folder + oldName to the name newName gives; never overwrites another file.
RenameOutcome RenameRecordingFile(const std::wstring& folder, const std::wstring& oldName,
                                  const std::wstring& newName, const std::wstring& extension);

// Asks for a new name (the dialog preset to oldName) and renames folder + oldName. True only
// when the file was renamed; a refused name is reported to the user and changes nothing.
bool RenameRecording(const std::wstring& folder, const std::wstring& oldName, const std::wstring& extension,
                     HWND owner = nullptr);

// The rename dialog, once it exists (for tests).
HWND RenameDialogWindow();

}  // namespace app
