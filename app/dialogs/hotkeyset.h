// The stop hotkey of a recording: the three texts it is made of and the dialog that composes
// them from two optional modifiers ("Ctrl", "Alt", "Shift") and one key ("Esc", a letter or a
// digit). The recording start reads the texts when it registers the stop hotkey.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace app {

// Main thread only. Empty at start; the main window sets "", "" and "Esc" when it is created.
extern std::wstring HotkeyText1;
extern std::wstring HotkeyText2;
extern std::wstring HotkeyText3;

// The entries of the modifier boxes (the first is "none") and of the key box.
const std::vector<std::wstring>& HotkeyModifierEntries();
const std::vector<std::wstring>& HotkeyKeyEntries();

// The entry of entries that text (trimmed) names, compared without regard to case; -1 for none.
int FindHotkeyEntry(const std::vector<std::wstring>& entries, const std::wstring& text);

// The stop hotkey the three texts make: its text (also the name it is registered under), the
// modifier flags (MOD_CONTROL, MOD_ALT, MOD_SHIFT; exact names only) and the virtual key.
struct StopHotkey {
  std::wstring text;
  UINT modifiers = 0;
  UINT key = VK_ESCAPE;
};
StopHotkey ComposeStopHotkey(const std::wstring& text1, const std::wstring& text2, const std::wstring& text3);

// Opens the hotkey dialog modally over owner (created on first use, kept afterwards), with
// the conflict hint shown or hidden. Confirming stores the three texts.
void ShowHotkeySettings(bool showConflictHint, HWND owner = nullptr);

// The dialog, once it exists (for tests); null before the first ShowHotkeySettings.
HWND HotkeyDialogWindow();

// Releases the dialog and empties the three texts (at program end).
void ReleaseHotkeySettings();

}  // namespace app
