// A message box of the current prompter placed at a screen point (its top-left corner there,
// kept on the monitor), instead of the centre of its owner.
#pragma once

#include <windows.h>

#include <string>

namespace base {

// Main thread (or any thread with a message queue): the box is moved by a CBT hook on this
// thread as it is activated; a prompter that shows no box is not affected.
int ShowMessageAt(POINT at, HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

// The message box at the mouse cursor.
int ShowMessageAtCursor(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

}  // namespace base
