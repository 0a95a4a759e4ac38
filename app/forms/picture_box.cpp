// The forms' picture control: paints its bitmap once per WM_PAINT from a memory DC; the space
// the bitmap does not cover shows the form colour.
#include "app/forms/picture_box.h"

#include "app/forms/layout.h"

namespace app {

bool PictureBox::Create(HWND parent, int id, const RECT& bounds, bool visible) {
  base::WindowClass cls;
  cls.name = L"TImage";
  cls.style = CS_DBLCLKS;
  cls.background = FormBrush();
  return base::Window::Create(cls, ChildSpec(parent, id, bounds, visible));
}

void PictureBox::SetStretch(bool stretch) {
  stretch_ = stretch;
  PictureChanged();
}

void PictureBox::ShowBorrowed(HBITMAP bitmap) {
  borrowed_ = bitmap;
  PictureChanged();
}

void PictureBox::PictureChanged() {
  if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

LRESULT PictureBox::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    base::PaintDC dc(hwnd());
    if (HBITMAP shown = Shown()) {
      BITMAP bm{};
      ::GetObjectW(shown, sizeof bm, &bm);
      base::UniqueDC mem(::CreateCompatibleDC(dc.get()));
      if (mem) {
        base::SelectGuard select(mem.get(), shown);
        RECT box{};
        ::GetClientRect(hwnd(), &box);
        if (stretch_) {
          ::SetStretchBltMode(dc.get(), COLORONCOLOR);
          ::StretchBlt(dc.get(), 0, 0, box.right, box.bottom, mem.get(), 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        } else {
          ::BitBlt(dc.get(), 0, 0, bm.bmWidth, bm.bmHeight, mem.get(), 0, 0, SRCCOPY);
        }
      }
    }
    return 0;
  }
  return Default(msg, wp, lp);
}

}  // namespace app
