// The free-hand selection: its state machine, and the window that shows a frozen image of the
// virtual desktop with the crosshairs and a hint beside the cursor.
//
// The window covers the virtual desktop from its true origin, so window coordinates are the
// screen coordinates minus that origin; the state machine works in screen coordinates (it
// reads the cursor position, not the message's). A crosshair move repaints only the strips the
// lines left and entered, not the whole desktop.

#include "engine/overlays/scFreeHandWnd.h"

#include <algorithm>
#include <string>

#include "engine/overlays/scFlashWnd.h"

namespace scFreeHandWnd {

namespace {

// No CS_DBLCLKS: a quick second click is a second mouse-down, not a double click.
const base::WindowClass kFreeHandClass{.name = L"ReclumeFreeHand", .style = 0};
const base::WindowClass kHintClass{.name = L"ReclumeFreeHandHint", .style = CS_SAVEBITS};

constexpr COLORREF kLineColor = RGB(255, 0, 0);
const std::wstring kLineBreak = L"\n\r";  // LF CR, in that order

void ComputeSelection(FreeHandState& s) {
  s.SelLeft = std::min(s.StartX, s.EndX);
  s.SelWidth = std::max(s.StartX, s.EndX) - s.SelLeft;
  s.SelTop = std::min(s.StartY, s.EndY);
  s.SelHeight = std::max(s.StartY, s.EndY) - s.SelTop;
}

RECT VirtualDesktop() {
  const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  return RECT{x, y, x + ::GetSystemMetrics(SM_CXVIRTUALSCREEN), y + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

POINT CursorPos() {
  POINT p{0, 0};
  ::GetCursorPos(&p);
  return p;
}

}  // namespace

bool FreeHandMouseDown(FreeHandState& s, MouseButton button, bool ctrl, POINT cursor) {
  if (ctrl && button == MouseButton::Left && s.HasSelection && s.SelWidth != 0 && s.SelHeight != 0) {
    return true;
  }
  if (button != MouseButton::Left) return false;
  s.SelLeft = s.SelTop = s.SelWidth = s.SelHeight = 0;
  s.Dragging = true;
  s.HasSelection = false;
  s.Shape1 = CrossLine{true, cursor.x};
  s.Shape2 = CrossLine{true, cursor.y};
  s.Shape3.visible = false;
  s.Shape4.visible = false;
  // Both corners start at the cursor: until the mouse moves the selection is empty (a click
  // that does not move selects nothing, and the hint must not claim an area).
  s.StartX = s.EndX = cursor.x;
  s.StartY = s.EndY = cursor.y;
  return false;
}

void FreeHandMouseMove(FreeHandState& s, POINT cursor) {
  if (s.Dragging) {
    s.Shape1.visible = s.Shape2.visible = true;
    s.Shape3 = CrossLine{true, cursor.x};
    s.Shape4 = CrossLine{true, cursor.y};
    s.EndX = cursor.x;
    s.EndY = cursor.y;
    s.HasSelection = true;
  } else if (!s.HasSelection) {
    s.Shape1 = CrossLine{true, cursor.x};
    s.Shape2 = CrossLine{true, cursor.y};
    s.Shape3.visible = false;
    s.Shape4.visible = false;
  }
  ComputeSelection(s);
}

void FreeHandMouseUp(FreeHandState& s) {
  ComputeSelection(s);
  s.Dragging = false;
  s.HasSelection = s.Shape1.pos != s.Shape3.pos && s.Shape2.pos != s.Shape4.pos &&
                   (s.Shape3.visible || s.Shape4.visible);
}

std::wstring FreeHandHint(const FreeHandState& s, POINT cursor) {
  std::wstring hint = L"X: " + std::to_wstring(cursor.x) + L" Y: " + std::to_wstring(cursor.y);
  if (s.SelWidth != 0 && s.SelHeight != 0) {
    hint += kLineBreak + L"Selected Area : " + std::to_wstring(s.SelWidth) + L" x " +
            std::to_wstring(s.SelHeight);
  }
  hint += kLineBreak + std::wstring(40, L'-');
  hint += kLineBreak + L"For Cancel Press (Esc Key)";
  hint += kLineBreak + L"For Select Press (Ctrl+Left Click)";
  return hint;
}

RECT LineStrip(const CrossLine& line, bool vertical, const RECT& desktop) {
  if (vertical) return RECT{line.pos, desktop.top, line.pos + kLineThickness, desktop.bottom};
  return RECT{desktop.left, line.pos, desktop.right, line.pos + kLineThickness};
}

std::vector<RECT> ChangedLineStrips(const FreeHandState& before, const FreeHandState& after,
                                    const RECT& desktop) {
  std::vector<RECT> strips;
  auto add = [&](const CrossLine& was, const CrossLine& now, bool vertical) {
    if (was == now) return;
    if (was.visible) strips.push_back(LineStrip(was, vertical, desktop));
    if (now.visible) strips.push_back(LineStrip(now, vertical, desktop));
  };
  add(before.Shape1, after.Shape1, true);
  add(before.Shape2, after.Shape2, false);
  add(before.Shape3, after.Shape3, true);
  add(before.Shape4, after.Shape4, false);
  return strips;
}

// The hint beside the cursor: a small topmost tool window that never takes the focus or the
// mouse (clicks fall through to the free-hand window of the same thread).
class HintWindow : public base::Window {
 public:
  HintWindow() {
    base::WindowSpec spec;
    spec.style = WS_POPUP | WS_BORDER;
    spec.exStyle = scFlashWnd::kOverlayExStyle;
    spec.x = spec.y = 0;
    spec.width = spec.height = 10;
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    ::wcsncpy(lf.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE - 1);
    font_.reset(::CreateFontIndirectW(&lf));
    Create(kHintClass, spec);
  }
  ~HintWindow() override { Destroy(); }

  void ShowAt(const std::wstring& hint, POINT cursor, const RECT& desktop) {
    if (!hwnd()) return;
    text_ = hint;
    // DrawText breaks lines at LF and at CR alike; make each LF CR pair one break.
    for (size_t at = 0; (at = text_.find(kLineBreak, at)) != std::wstring::npos;) text_.replace(at, 2, L"\n");
    RECT r{0, 0, 0, 0};
    {
      base::WindowDC dc(hwnd());
      base::SelectGuard select(dc.get(), font_.get());
      ::DrawTextW(dc.get(), text_.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX);
    }
    const int w = r.right + 2 * kPadding + 2;
    const int h = r.bottom + 2 * kPadding + 2;
    // Below the cursor, kept on the desktop.
    int x = std::min<int>(cursor.x, desktop.right - w);
    int y = cursor.y + kBelowCursor;
    if (y + h > desktop.bottom) y = cursor.y - h - 4;
    x = std::max<int>(x, desktop.left);
    y = std::max<int>(y, desktop.top);
    ::SetWindowPos(hwnd(), HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
    ::InvalidateRect(hwnd(), nullptr, TRUE);
  }
  void Hide() {
    if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
  }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_NCHITTEST:
        return HTTRANSPARENT;
      case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        base::PaintDC dc(hwnd());
        RECT client;
        ::GetClientRect(hwnd(), &client);
        ::FillRect(dc.get(), &client, ::GetSysColorBrush(COLOR_INFOBK));
        base::SelectGuard select(dc.get(), font_.get());
        ::SetBkMode(dc.get(), TRANSPARENT);
        ::SetTextColor(dc.get(), ::GetSysColor(COLOR_INFOTEXT));
        ::InflateRect(&client, -kPadding, -kPadding);
        ::DrawTextW(dc.get(), text_.c_str(), -1, &client, DT_NOPREFIX);
        return 0;
      }
      default:
        return Default(msg, wp, lp);
    }
  }

 private:
  static constexpr int kPadding = 2;
  static constexpr int kBelowCursor = 20;
  base::UniqueFont font_;
  std::wstring text_;
};

TFreeHandWindow::TFreeHandWindow() : desktop_(VirtualDesktop()) {
  base::WindowDC screen;
  screenCopy_.reset(::CreateCompatibleBitmap(screen.get(), desktop_.right - desktop_.left,
                                             desktop_.bottom - desktop_.top));
  base::WindowSpec spec;
  spec.style = scFlashWnd::kOverlayStyle;
  spec.exStyle = scFlashWnd::kOverlayExStyle;
  spec.x = desktop_.left;
  spec.y = desktop_.top;
  spec.width = 290;
  spec.height = 200;
  Create(kFreeHandClass, spec);
  hintWindow_ = std::make_unique<HintWindow>();
}

TFreeHandWindow::~TFreeHandWindow() {
  if (FreeHandWindow == this) FreeHandWindow = nullptr;
  hintWindow_.reset();
  Destroy();
}

void TFreeHandWindow::Show() {
  if (!hwnd()) return;
  // The desktop is read now: a monitor may have come or gone since the window was made.
  const RECT desktop = VirtualDesktop();
  const int w = desktop.right - desktop.left;
  const int h = desktop.bottom - desktop.top;
  base::WindowDC screen;
  if (!::EqualRect(&desktop, &desktop_) || !screenCopy_) {
    screenCopy_.reset(::CreateCompatibleBitmap(screen.get(), w, h));
  }
  desktop_ = desktop;
  // Frozen before the window appears, so the copy never holds the window itself.
  if (screenCopy_) {
    base::UniqueDC mem(::CreateCompatibleDC(screen.get()));
    base::SelectGuard select(mem.get(), screenCopy_.get());
    ::BitBlt(mem.get(), 0, 0, w, h, screen.get(), desktop.left, desktop.top, SRCCOPY);
  }
  state_ = FreeHandState{};
  hint_.clear();
  ::SetWindowPos(hwnd(), nullptr, desktop.left, desktop.top, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  scFlashWnd::ShowOverlay(hwnd());
}

int TFreeHandWindow::ShowModal() {
  if (!hwnd()) return IDCANCEL;
  modalResult_ = 0;
  Show();
  int result = scFlashWnd::RunOverlayModal(modalResult_);
  if (::GetCapture() == hwnd()) ::ReleaseCapture();
  hint_.clear();
  if (hintWindow_) hintWindow_->Hide();
  ::ShowWindow(hwnd(), SW_HIDE);
  return result;
}

void TFreeHandWindow::Apply(const FreeHandState& before) {
  for (RECT r : ChangedLineStrips(before, state_, desktop_)) {
    ::OffsetRect(&r, -desktop_.left, -desktop_.top);
    ::InvalidateRect(hwnd(), &r, FALSE);
  }
}

void TFreeHandWindow::FormMouseDown(MouseButton button, WPARAM keys) {
  hint_.clear();
  if (hintWindow_) hintWindow_->Hide();
  const FreeHandState before = state_;
  if (FreeHandMouseDown(state_, button, (keys & MK_CONTROL) != 0, CursorPos())) {
    modalResult_ = IDOK;
    return;
  }
  if (button == MouseButton::Left) ::SetCapture(hwnd());
  Apply(before);
}

void TFreeHandWindow::FormMouseMove() {
  const FreeHandState before = state_;
  const POINT cursor = CursorPos();
  FreeHandMouseMove(state_, cursor);
  Apply(before);
  hint_ = FreeHandHint(state_, cursor);
  if (hintWindow_) hintWindow_->ShowAt(hint_, cursor, desktop_);
}

void TFreeHandWindow::FormMouseUp() {
  const FreeHandState before = state_;
  FreeHandMouseUp(state_);
  if (::GetCapture() == hwnd()) ::ReleaseCapture();
  Apply(before);
}

void TFreeHandWindow::FormPaint() {
  base::PaintDC dc(hwnd());
  const RECT& clip = dc.info().rcPaint;
  if (screenCopy_) {
    base::UniqueDC mem(::CreateCompatibleDC(dc.get()));
    base::SelectGuard select(mem.get(), screenCopy_.get());
    ::BitBlt(dc.get(), clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, mem.get(),
             clip.left, clip.top, SRCCOPY);
  }
  base::UniqueBrush red(::CreateSolidBrush(kLineColor));
  auto draw = [&](const CrossLine& line, bool vertical) {
    if (!line.visible || !red) return;
    RECT r = LineStrip(line, vertical, desktop_);
    ::OffsetRect(&r, -desktop_.left, -desktop_.top);
    ::FillRect(dc.get(), &r, red.get());
  };
  draw(state_.Shape1, true);
  draw(state_.Shape2, false);
  draw(state_.Shape3, true);
  draw(state_.Shape4, false);
}

LRESULT TFreeHandWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // the frozen desktop covers everything
    case WM_PAINT:
      FormPaint();
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
      FormMouseDown(MouseButton::Left, wp);
      return 0;
    case WM_RBUTTONDOWN:
      FormMouseDown(MouseButton::Right, wp);
      return 0;
    case WM_MBUTTONDOWN:
      FormMouseDown(MouseButton::Middle, wp);
      return 0;
    case WM_MOUSEMOVE:
      FormMouseMove();
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      FormMouseUp();
      return 0;
    default:
      return Default(msg, wp, lp);
  }
}

}  // namespace scFreeHandWnd
