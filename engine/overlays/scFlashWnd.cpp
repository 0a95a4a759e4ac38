// The frame overlays: the region geometry of a frame with a caption tab, the frame window the
// camera and the window picker draw, and the modal loop of the selection windows.
//
// A frame window's region is the whole window minus the strip right of the caption tab minus
// the inner hole (and, for corners only, minus two bands through the middle of each side). The
// window is painted only where its region lets paint through, so painting fills the whole part
// below the caption row and lets the region cut it into a frame.

#include "engine/overlays/scFlashWnd.h"

#include <algorithm>

#include "base/dispatch.h"

namespace scFlashWnd {

namespace {

const base::WindowClass kFrameClass{.name = L"ReclumeFrameOverlay", .style = 0};

void AddCut(std::vector<RECT>& cuts, LONG left, LONG top, LONG right, LONG bottom) {
  RECT r{left, top, right, bottom};
  // A band narrower than nothing (a rectangle too small for its corners, a caption wider than
  // the window) would be turned round by the region functions and cut the wrong pixels.
  if (HasArea(r)) cuts.push_back(r);
}

}  // namespace

FrameLayout LayoutFrame(int x, int y, int width, int height, SIZE caption, bool cornersOnly,
                        FrameStyle style) {
  const int w = std::max(width, 0);
  const int h = std::max(height, 0);
  const int b = style.border;
  const int c = style.corner;
  const int capW = std::max<int>(caption.cx, 0);
  const int capH = std::max<int>(caption.cy, 0);

  FrameLayout layout;
  const int winW = w + 3 * b;
  const int winH = h + 3 * b + capH;
  layout.bounds = RECT{x - 2 * b, y - 2 * b - capH, x - 2 * b + winW, y - 2 * b - capH + winH};
  layout.paintRect = RECT{0, capH, winW, winH};
  AddCut(layout.cuts, capW, 0, winW, capH);
  AddCut(layout.cuts, b, capH + b, 2 * b + w, 2 * b + h + capH);
  if (cornersOnly) {
    AddCut(layout.cuts, 0, c + capH, winW, winH - c);
    AddCut(layout.cuts, c, capH, winW - c, winH);
  }
  return layout;
}

base::UniqueRegion MakeFrameRegion(const FrameLayout& layout) {
  const LONG winW = layout.bounds.right - layout.bounds.left;
  const LONG winH = layout.bounds.bottom - layout.bounds.top;
  base::UniqueRegion region(::CreateRectRgn(0, 0, winW, winH));
  if (!region) return region;
  for (const RECT& cut : layout.cuts) {
    base::UniqueRegion piece(::CreateRectRgnIndirect(&cut));
    if (piece) ::CombineRgn(region.get(), region.get(), piece.get(), RGN_DIFF);
  }
  return region;
}

void ShowOverlay(HWND wnd) {
  if (!wnd) return;
  ::ShowWindow(wnd, SW_SHOWNA);
  ::SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

int RunOverlayModal(const int& result) {
  bool cancelled = false;
  const bool ran = base::RunModalLoop([&] { return result != 0 || cancelled; }, [&](MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      cancelled = true;
      return true;
    }
    if (msg.message == WM_HOTKEY && HIWORD(msg.lParam) == VK_ESCAPE) {
      // The hotkey's own handler runs (the camera's stop key); the selection ends either way.
      ::DispatchMessageW(&msg);
      cancelled = result == 0;
      return true;
    }
    return false;
  });
  return ran && !cancelled ? result : IDCANCEL;
}

FrameWindow::FrameWindow(FrameStyle style, Colors colors)
    : style_(style), colors_(colors), color_(colors.frameColor) {
  LOGFONTW lf{};
  lf.lfHeight = kCaptionFontHeight;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  ::wcsncpy(lf.lfFaceName, kCaptionFontFace, LF_FACESIZE - 1);
  font_.reset(::CreateFontIndirectW(&lf));
}

FrameWindow::~FrameWindow() { Destroy(); }

bool FrameWindow::CreateFrame() {
  base::WindowSpec spec;
  spec.style = kOverlayStyle;
  spec.exStyle = kOverlayExStyle;
  spec.x = 0;
  spec.y = 16;
  spec.width = 300;
  spec.height = 300;
  return Create(kFrameClass, spec);
}

SIZE FrameWindow::CaptionSize(const std::wstring& caption) const {
  SIZE size{0, 0};
  if (caption.empty()) return size;
  base::UniqueDC dc(::CreateCompatibleDC(nullptr));
  if (!dc) return size;
  base::SelectGuard select(dc.get(), font_.get());
  ::GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &size);
  return size;
}

void FrameWindow::SetupFrame(int x, int y, int width, int height, bool cornersOnly,
                             const std::wstring& caption) {
  if (!hwnd()) return;
  FrameLayout layout = LayoutFrame(x, y, width, height, CaptionSize(caption), cornersOnly, style_);
  const RECT& b = layout.bounds;
  ::SetWindowPos(hwnd(), nullptr, b.left, b.top, b.right - b.left, b.bottom - b.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  paintRect_ = layout.paintRect;
  base::UniqueRegion region = MakeFrameRegion(layout);
  if (!region) return;
  // From here the region belongs to the window; the system frees the previous one.
  if (::SetWindowRgn(hwnd(), region.get(), TRUE)) frameRegion_ = region.release();
}

void FrameWindow::PaintFrame(COLORREF color, const std::wstring& caption) {
  color_ = color;
  caption_ = caption;
  if (!hwnd() || !HasArea(paintRect_)) return;
  base::WindowDC dc(hwnd());
  if (dc) Paint(dc.get());
}

void FrameWindow::Paint(HDC dc) {
  if (!HasArea(paintRect_)) return;
  if (!caption_.empty()) {
    base::SelectGuard select(dc, font_.get());
    ::SetBkMode(dc, OPAQUE);
    ::SetTextColor(dc, colors_.captionText);
    ::SetBkColor(dc, colors_.captionBack);
    ::TextOutW(dc, 0, 0, caption_.c_str(), static_cast<int>(caption_.size()));
  }
  base::UniqueBrush brush(::CreateSolidBrush(colors_.fixedFrameColor ? colors_.frameColor : color_));
  if (brush) ::FillRect(dc, &paintRect_, brush.get());
}

LRESULT FrameWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // everything visible is painted in WM_PAINT
    case WM_PAINT: {
      base::PaintDC dc(hwnd());
      Paint(dc.get());
      return 0;
    }
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_SYSCOMMAND:
      // The camera sends SC_RESTORE when the application is minimised; the default handling
      // would activate the frame and take the keyboard from the recorded program.
      if ((wp & 0xFFF0) == SC_RESTORE) {
        if (::IsWindowVisible(hwnd())) ShowOverlay(hwnd());
        return 0;
      }
      return Default(msg, wp, lp);
    default:
      return Default(msg, wp, lp);
  }
}

TFlashingWnd::TFlashingWnd()
    : FrameWindow(kCameraFrame, Colors{RGB(0, 0, 0), RGB(255, 255, 0), false, RGB(255, 0, 0)}) {
  CreateFrame();
}

}  // namespace scFlashWnd
