// The flash window of the sync tests and the sync benchmark.
#include "tests/support/flash_window.h"

namespace testsupport {

bool FlashWindow::Show(const RECT& r) {
  base::WindowClass cls;
  cls.name = L"ReclumeTestFlash";
  base::WindowSpec spec;
  spec.title = L"Flash";
  spec.style = WS_POPUP;
  spec.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  spec.x = r.left;
  spec.y = r.top;
  spec.width = r.right - r.left;
  spec.height = r.bottom - r.top;
  if (!hwnd() && !Create(cls, spec)) return false;
  ::SetWindowPos(hwnd(), HWND_TOPMOST, spec.x, spec.y, spec.width, spec.height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SetWhite(false);
  return true;
}

void FlashWindow::SetWhite(bool white) {
  white_ = white;
  ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  ::GdiFlush();
}

LRESULT FlashWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      RECT r;
      ::GetClientRect(hwnd(), &r);
      ::FillRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(white_ ? WHITE_BRUSH : BLACK_BRUSH)));
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    default:
      return Window::OnMessage(msg, wp, lp);
  }
}

}  // namespace testsupport
