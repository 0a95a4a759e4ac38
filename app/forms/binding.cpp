// The change semantics of controls set from code: compare first, then let the control or the
// notification a user's action would send run the handler, so every handler has one entry.
#include "app/forms/binding.h"

#include <commctrl.h>

#include <vector>

namespace app {

namespace {

void SendClicked(HWND button) {
  HWND parent = ::GetParent(button);
  if (!parent) return;
  const int id = ::GetDlgCtrlID(button);
  ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace

std::wstring EditText(HWND edit) {
  if (!edit) return std::wstring();
  const int length = ::GetWindowTextLengthW(edit);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(edit, buffer.data(), length + 1);
  return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

bool SetEditText(HWND edit, const std::wstring& text) {
  if (!edit || EditText(edit) == text) return false;
  ::SetWindowTextW(edit, text.c_str());
  return true;
}

bool Checked(HWND button) { return button && ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool SetChecked(HWND button, bool checked) {
  if (!button || Checked(button) == checked) return false;
  ::SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  SendClicked(button);
  return true;
}

int RadioIndex(HWND parent, std::span<const int> buttonIds) {
  int index = 0;
  for (int id : buttonIds) {
    if (Checked(::GetDlgItem(parent, id))) return index;
    ++index;
  }
  return -1;
}

bool SetRadioIndex(HWND parent, std::span<const int> buttonIds, int index, Notify notify) {
  if (RadioIndex(parent, buttonIds) == index) return false;
  HWND chosen = nullptr;
  int i = 0;
  for (int id : buttonIds) {
    HWND button = ::GetDlgItem(parent, id);
    if (i == index) chosen = button;
    ::SendMessageW(button, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    ++i;
  }
  if (chosen && notify == Notify::Yes) SendClicked(chosen);
  return true;
}

int TrackPosition(HWND trackBar) { return static_cast<int>(::SendMessageW(trackBar, TBM_GETPOS, 0, 0)); }

bool SetTrackPosition(HWND trackBar, int position) {
  if (!trackBar) return false;
  const int before = TrackPosition(trackBar);
  ::SendMessageW(trackBar, TBM_SETPOS, TRUE, position);
  const int after = TrackPosition(trackBar);
  if (after == before) return false;
  const bool vertical = (::GetWindowLongW(trackBar, GWL_STYLE) & TBS_VERT) != 0;
  if (HWND parent = ::GetParent(trackBar))
    ::SendMessageW(parent, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, after),
                   reinterpret_cast<LPARAM>(trackBar));
  return true;
}

int ComboIndex(HWND combo) { return static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void SetComboIndex(HWND combo, int index) { ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

}  // namespace app
