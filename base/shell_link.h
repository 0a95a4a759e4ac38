// Shell links (.lnk files) as both programs use them: setup writes the program's links, the
// uninstall mode reads where a link points before it removes it. COM must be initialised on
// the calling thread.
#pragma once

#include <string>

namespace base {

// Saves a link to target at linkFile with the working folder (none when empty) and
// description given; true when the link was written.
bool SaveShellLink(const std::wstring& linkFile, const std::wstring& target, const std::wstring& workingDir,
                   const std::wstring& description);

// The file a link points at, or empty when the link cannot be read. Read from the link's item
// list: the link object's plain path passes through the ANSI code page, which turns every
// Chinese character into "?".
std::wstring ShellLinkTarget(const std::wstring& linkFile);

}  // namespace base
