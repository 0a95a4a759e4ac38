// The flat speed button: painted by itself (glyph with a transparent colour, caption beside
// it), mouse tracking for the hover edge, and a click that reaches the parent exactly as a
// push button's BN_CLICKED does, so the forms route both kinds through one WM_COMMAND switch.
#include "base/flat_button.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

#include "base/form_style.h"

namespace base {

bool FlatButton::Create(HWND parent, int id, const RECT& bounds, const std::wstring& caption, bool visible) {
  caption_ = caption;
  WindowClass cls;
  cls.name = L"TFlatButton";
  cls.style = 0;  // double clicks arrive as two clicks, as a speed button's do
  cls.background = nullptr;
  WindowSpec spec = ChildSpec(parent, id, bounds, visible);
  spec.title = caption_.c_str();
  return Window::Create(cls, spec);
}

void FlatButton::SetGlyph(UniqueBitmap glyph) {
  glyph_ = std::move(glyph);
  GlyphChanged();
}

void FlatButton::GlyphChanged() {
  if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void FlatButton::SetFaceBrush(HBRUSH brush) {
  face_ = brush;
  if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void FlatButton::SetCaption(const std::wstring& caption) {
  caption_ = caption;
  if (hwnd()) {
    ::SetWindowTextW(hwnd(), caption_.c_str());
    ::InvalidateRect(hwnd(), nullptr, TRUE);
  }
}

void FlatButton::SetHint(const std::wstring& hint) {
  hint_ = hint;
  if (!hwnd()) return;
  if (!tooltip_) {
    tooltip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                                     nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (!tooltip_) return;
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd();
    info.uId = reinterpret_cast<UINT_PTR>(hwnd());
    info.lpszText = const_cast<wchar_t*>(hint_.c_str());
    ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    return;
  }
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = hwnd();
  info.uId = reinterpret_cast<UINT_PTR>(hwnd());
  info.lpszText = const_cast<wchar_t*>(hint_.c_str());
  ::SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void FlatButton::Click() {
  if (!hwnd() || !::IsWindowEnabled(hwnd())) return;
  HWND parent = ::GetParent(hwnd());
  const int id = ::GetDlgCtrlID(hwnd());
  ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd()));
}

void FlatButton::SetHot(bool hot) {
  if (hot_ == hot) return;
  hot_ = hot;
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void FlatButton::Paint(HDC dc) {
  RECT r{};
  ::GetClientRect(hwnd(), &r);
  ::FillRect(dc, &r, face_ ? face_ : FormBrush());

  int textLeft = r.left + 4;
  if (glyph_) {
    BITMAP bm{};
    ::GetObjectW(glyph_.get(), sizeof bm, &bm);
    UniqueDC mem(::CreateCompatibleDC(dc));
    if (mem) {
      SelectGuard select(mem.get(), glyph_.get());
      const int shift = pressed_ ? 1 : 0;
      // Centred when there is no caption; at the left edge otherwise.
      const int x = (caption_.empty() ? (r.right - bm.bmWidth) / 2 : r.left + 4) + shift;
      const int y = (r.bottom - bm.bmHeight) / 2 + shift;
      const COLORREF transparent = ::GetPixel(mem.get(), 0, bm.bmHeight - 1);
      ::GdiTransparentBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem.get(), 0, 0, bm.bmWidth, bm.bmHeight,
                          transparent);
      textLeft = x + bm.bmWidth + 4;
    }
  }
  if (!caption_.empty()) {
    SelectGuard selectFont(dc, font_ ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::IsWindowEnabled(hwnd()) ? RGB(0, 0, 0) : ::GetSysColor(COLOR_GRAYTEXT));
    RECT text = r;
    text.left = glyph_ ? textLeft : r.left;
    if (pressed_) ::OffsetRect(&text, 1, 1);
    const UINT align = glyph_ ? DT_LEFT : DT_CENTER;
    ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &text,
                align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (pressed_ && hot_)
    ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  else if (hot_ && ::IsWindowEnabled(hwnd()))
    ::DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
}

LRESULT FlatButton::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PaintDC dc(hwnd());
      Paint(dc.get());
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE: {
      if (!tracking_) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = hwnd();
        tracking_ = ::TrackMouseEvent(&track) != FALSE;
      }
      RECT r{};
      ::GetClientRect(hwnd(), &r);
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      SetHot(::PtInRect(&r, pt) != FALSE);
      return 0;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      SetHot(false);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      hot_ = true;
      ::SetCapture(hwnd());
      ::InvalidateRect(hwnd(), nullptr, TRUE);
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (::GetCapture() == hwnd()) ::ReleaseCapture();
      ::InvalidateRect(hwnd(), nullptr, TRUE);
      RECT r{};
      ::GetClientRect(hwnd(), &r);
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      if (wasPressed && ::PtInRect(&r, pt)) Click();
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (pressed_) {
        pressed_ = false;
        ::InvalidateRect(hwnd(), nullptr, TRUE);
      }
      return 0;
    case BM_CLICK:
      Click();
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wp);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_ENABLE:
      ::InvalidateRect(hwnd(), nullptr, TRUE);
      return 0;
  }
  return Default(msg, wp, lp);
}

}  // namespace base
