// The pattern window for capture tests: four quadrants of pure colour, topmost, not activated.
#include "tests/support/pattern_window.h"

#include "base/dispatch.h"
#include "base/unique.h"

namespace testsupport {

bool PatternWindow::Show(const RECT& r) {
  rect_ = r;
  painted_ = false;
  base::WindowClass cls;
  cls.name = L"ReclumeTestPattern";
  cls.style = CS_HREDRAW | CS_VREDRAW;
  base::WindowSpec spec;
  spec.title = L"Pattern";
  spec.style = WS_POPUP;
  spec.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  spec.x = r.left;
  spec.y = r.top;
  spec.width = r.right - r.left;
  spec.height = r.bottom - r.top;
  if (!hwnd() && !Create(cls, spec)) return false;
  ::SetWindowPos(hwnd(), HWND_TOPMOST, spec.x, spec.y, spec.width, spec.height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  base::PumpUntil([&] { return painted_; }, 5000);
  ::GdiFlush();
  base::PumpUntil([] { return false; }, 200);  // let the display server catch up
  return painted_;
}

void PatternWindow::SetSolid(COLORREF color) {
  solid_ = color;
  ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  ::GdiFlush();
}

void PatternWindow::PaintNoise(uint32_t seed) {
  const int w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
  noise_.resize(static_cast<size_t>(w) * h);
  uint32_t x = seed * 2654435761u + 1;
  for (uint32_t& pixel : noise_) {
    // xorshift32: cheap, and no two neighbours alike.
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    pixel = x & 0xFFFFFF;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  base::WindowDC dc(hwnd());
  ::SetDIBitsToDevice(dc.get(), 0, 0, w, h, 0, 0, 0, h, noise_.data(), &info, DIB_RGB_COLORS);
  ::GdiFlush();
}

COLORREF PatternWindow::ColorAt(int x, int y) const {
  int w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
  int q = (x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0);
  return kPatternColors[q];
}

LRESULT PatternWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      base::PaintDC dc(hwnd());
      RECT c;
      ::GetClientRect(hwnd(), &c);
      if (solid_ != CLR_INVALID) {
        base::UniqueBrush brush(::CreateSolidBrush(solid_));
        ::FillRect(dc.get(), &c, brush.get());
        painted_ = true;
        return 0;
      }
      int w = c.right, h = c.bottom;
      RECT parts[4] = {{0, 0, w / 2, h / 2}, {w / 2, 0, w, h / 2}, {0, h / 2, w / 2, h}, {w / 2, h / 2, w, h}};
      for (int i = 0; i < 4; ++i) {
        base::UniqueBrush brush(::CreateSolidBrush(kPatternColors[i]));
        ::FillRect(dc.get(), &parts[i], brush.get());
      }
      painted_ = true;
      return 0;
    }
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
  }
  return Default(msg, wp, lp);
}

}  // namespace testsupport
