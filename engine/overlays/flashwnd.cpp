// The corner-bracket window of the sound-less recorder. The window covers the recorded
// rectangle plus 8 pixels on every side; its region keeps only four L-shaped brackets at the
// corners, so the recorded pixels themselves are never covered. It takes no input (disabled,
// transparent to hit tests, never activated) and paints only its region.
//
// A paint runs on every grab of a recording, so it makes nothing: the window keeps its own
// device context and fills with the stock DC brush and pen, recoloured.
#include "engine/overlays/flashwnd.h"

#include "base/unique.h"

namespace flashwnd {

namespace {

constexpr wchar_t kClassName[] = L"ReclumeCornerBrackets";
constexpr int kMargin = 8;   // the window reaches this far beyond the rectangle
constexpr int kArm = 24;     // the brackets' arms reach this far from the left and top edges

// Posted to the window by PostPaint: paint in the latest posted colour. wParam, lParam: 0.
constexpr UINT kMsgPostedPaint = WM_APP + 1;
// Posted by PostPlacement: apply the latest posted placement. wParam, lParam: 0.
constexpr UINT kMsgPostedPlacement = WM_APP + 2;

// A rectangle region, empty when the rectangle is (CreateRectRgn would swap the corners of an
// inverted rectangle and cut the wrong piece out of a small window).
base::UniqueRegion RectRegion(int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return base::UniqueRegion(::CreateRectRgn(0, 0, 0, 0));
  return base::UniqueRegion(::CreateRectRgn(left, top, right, bottom));
}

}  // namespace

TFlashingWnd::~TFlashingWnd() { Destroy(); }

bool TFlashingWnd::Create(HWND owner) {
  base::WindowClass cls;
  cls.name = kClassName;
  cls.style = CS_OWNDC;
  cls.background = nullptr;  // no background painting: only the region is ever filled
  base::WindowSpec spec;
  spec.title = L"";
  spec.style = WS_POPUP | WS_DISABLED;
  spec.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  spec.x = 0;
  spec.y = 0;
  spec.width = 2 * kMargin;
  spec.height = 2 * kMargin;
  spec.parent = owner;
  if (!base::Window::Create(cls, spec)) return false;
  dc_ = ::GetDC(hwnd());
  if (dc_) {
    ::SelectObject(dc_, ::GetStockObject(DC_BRUSH));
    ::SelectObject(dc_, ::GetStockObject(DC_PEN));
  }
  return true;
}

void TFlashingWnd::OnDestroyed() {
  // A class device context belongs to the window and goes with it.
  dc_ = nullptr;
}

void TFlashingWnd::SetUpRegion(int left, int top, int width, int height) {
  areaLeft_ = left;
  areaTop_ = top;
  areaRight_ = left + width - 1;
  areaBottom_ = top + height - 1;
  if (!hwnd()) return;
  const int w = width, h = height;
  ::SetWindowPos(hwnd(), HWND_TOPMOST, left - kMargin, top - kMargin, w + 2 * kMargin, h + 2 * kMargin,
                 SWP_NOACTIVATE);
  base::UniqueRegion region = RectRegion(0, 0, w + 2 * kMargin, h + 2 * kMargin);
  base::UniqueRegion inner = RectRegion(kMargin, kMargin, w + kMargin + 1, h + kMargin + 1);
  base::UniqueRegion across = RectRegion(0, kArm, w + 2 * kMargin, h - 11);
  base::UniqueRegion down = RectRegion(kArm, 0, w - 11, h + 2 * kMargin);
  if (!region || !inner || !across || !down) return;
  ::CombineRgn(region.get(), region.get(), inner.get(), RGN_DIFF);
  ::CombineRgn(region.get(), region.get(), across.get(), RGN_DIFF);
  ::CombineRgn(region.get(), region.get(), down.get(), RGN_DIFF);
  // On success the window owns the region (and frees the one it had).
  if (::SetWindowRgn(hwnd(), region.get(), TRUE)) region.release();
}

void TFlashingWnd::PaintFrame(COLORREF color) {
  color_ = color;
  if (!dc_ || areaRight_ <= areaLeft_ || areaBottom_ <= areaTop_) return;
  Fill(dc_);
}

void TFlashingWnd::PostPaint(COLORREF color) {
  postedColor_ = color;
  if (!paintQueued_.exchange(true) && !::PostMessageW(hwnd(), kMsgPostedPaint, 0, 0)) paintQueued_ = false;
}

void TFlashingWnd::PostPlacement(int left, int top, int width, int height) {
  {
    std::lock_guard<std::mutex> lock(placementLock_);
    postedPlacement_ = RECT{left, top, width, height};
  }
  if (!placementQueued_.exchange(true) && !::PostMessageW(hwnd(), kMsgPostedPlacement, 0, 0))
    placementQueued_ = false;
}

void TFlashingWnd::Fill(HDC dc) {
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  // The DC brush and pen are stock objects: recolouring them makes nothing.
  base::SelectGuard selBrush(dc, ::GetStockObject(DC_BRUSH));
  base::SelectGuard selPen(dc, ::GetStockObject(DC_PEN));
  ::SetDCBrushColor(dc, color_);
  ::SetDCPenColor(dc, color_);
  ::Rectangle(dc, client.left, client.top, client.right, client.bottom);
}

LRESULT TFlashingWnd::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      base::PaintDC dc(hwnd());
      // Uncovered brackets get their current colour back.
      if (areaRight_ > areaLeft_ && areaBottom_ > areaTop_) Fill(dc.get());
      return 0;
    }
    case kMsgPostedPaint:
      paintQueued_ = false;
      PaintFrame(postedColor_.load());
      return 0;
    case kMsgPostedPlacement: {
      placementQueued_ = false;
      RECT p;
      {
        std::lock_guard<std::mutex> lock(placementLock_);
        p = postedPlacement_;
      }
      SetUpRegion(p.left, p.top, p.right, p.bottom);
      PaintFrame(color_);
      return 0;
    }
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    default:
      return Default(msg, wp, lp);
  }
}

}  // namespace flashwnd
