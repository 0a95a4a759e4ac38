// Setting a control from code with the change semantics the forms' handlers are written for:
// a handler runs when the control's state really changes, once, whether the user or the code
// changed it.
//
// What the controls do on their own (measured under Wine): WM_SETTEXT on an edit sends
// EN_CHANGE even when the text stays the same; BM_SETCHECK sends no BN_CLICKED; TBM_SETPOS
// sends no WM_HSCROLL; CB_SETCURSEL sends no CBN_SELCHANGE. So:
//   - SetEditText sets the text only when it differs (the edit's own EN_CHANGE runs the
//     handler once);
//   - SetChecked, SetRadioIndex and SetTrackPosition run the handler themselves, by the
//     notification a user's action sends to the parent, and only when the state changed;
//   - SetComboIndex and SetRadioIndex with Notify::No run nothing.
// A user's click or keystroke sends its notification once, as always. Main thread only.
#pragma once

#include <windows.h>

#include <span>
#include <string>

namespace app {

enum class Notify { Yes, No };

std::wstring EditText(HWND edit);
// True when the text changed (and the parent received the edit's EN_CHANGE).
bool SetEditText(HWND edit, const std::wstring& text);

bool Checked(HWND button);
// True when the state changed; the parent then receives BN_CLICKED from the button.
bool SetChecked(HWND button, bool checked);

// A radio group: the buttons in order. The index of the checked one, -1 when none is.
int RadioIndex(HWND parent, std::span<const int> buttonIds);
// Checks the button at index (none for an index outside the group); when the index changed
// and notify is Yes, the parent receives BN_CLICKED from the newly checked button.
bool SetRadioIndex(HWND parent, std::span<const int> buttonIds, int index, Notify notify);

int TrackPosition(HWND trackBar);
// True when the position changed (after the bar's own clamping); the bar's parent then receives
// WM_HSCROLL (or WM_VSCROLL for a vertical bar) with TB_THUMBPOSITION.
bool SetTrackPosition(HWND trackBar, int position);

int ComboIndex(HWND combo);
void SetComboIndex(HWND combo, int index);

}  // namespace app
