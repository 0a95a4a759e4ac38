// The hand cursor of a link label, through a subclass of that one window.
#include "base/hand_cursor.h"

#include <commctrl.h>

namespace base {

namespace {

constexpr UINT_PTR kHandCursorSubclass = 0x4843;  // one subclass of its own per window

LRESULT CALLBACK HandCursorProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
  switch (msg) {
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(wnd, &HandCursorProc, id);
      break;
  }
  return ::DefSubclassProc(wnd, msg, wp, lp);
}

}  // namespace

bool UseHandCursor(HWND control) {
  return control && ::SetWindowSubclass(control, &HandCursorProc, kHandCursorSubclass, 0);
}

}  // namespace base
