// The modal loop and the window plumbing shared by the small dialogs. The loop runs on the
// main thread like every window; while it runs the owner is disabled, and it is enabled again
// before the dialog hides so the activation goes back to it.
#include "app/forms/modal_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "base/dispatch.h"
#include "base/resources.h"

namespace app {

std::wstring ModalDialog::ItemText(int id) const {
  HWND item = Item(id);
  const int length = item ? ::GetWindowTextLengthW(item) : 0;
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(item, buffer.data(), length + 1);
  return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

bool ModalDialog::CreateDialogWindow(const wchar_t* className, const std::wstring& caption, int width, int height,
                                     HWND owner, const wchar_t* fontFace, int fontHeight, BYTE charset) {
  font_.reset(::CreateFontW(fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, fontFace));
  // No WS_CLIPCHILDREN: group boxes are transparent and need the dialog painted beneath them.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, width, height};
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  RECT work{0, 0, 800, 600};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;

  base::WindowClass cls;
  cls.name = className;
  cls.background = ::GetSysColorBrush(COLOR_BTNFACE);
  base::WindowSpec spec;
  spec.title = caption.c_str();
  spec.style = style;
  spec.exStyle = exStyle;
  spec.x = work.left + (work.right - work.left - w) / 2;
  spec.y = work.top + (work.bottom - work.top - h) / 2;
  spec.width = w;
  spec.height = h;
  spec.parent = owner;
  return Create(cls, spec);
}

bool ModalDialog::CentreOn(HWND window) {
  if (!hwnd() || !window || !::IsWindowVisible(window) || ::IsIconic(window)) return false;
  RECT over{}, own{};
  if (!::GetWindowRect(window, &over) || !::GetWindowRect(hwnd(), &own)) return false;
  const int w = own.right - own.left, h = own.bottom - own.top;
  int x = over.left + (over.right - over.left - w) / 2;
  int y = over.top + (over.bottom - over.top - h) / 2;
  MONITORINFO monitor{sizeof monitor, {}, {}, 0};
  if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - w));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - h));
  }
  return ::SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

HWND ModalDialog::AddControl(const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h,
                             int id, DWORD exStyle) {
  HWND control = ::CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, hwnd(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                   nullptr);
  if (control && font_) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return control;
}

bool ModalDialog::AddFlatButton(base::FlatButton& button, int id, const RECT& bounds, const std::wstring& caption,
                                const wchar_t* glyphName) {
  if (!button.Create(hwnd(), id, bounds, caption)) return false;
  if (font_) ::SendMessageW(button.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  button.SetFaceBrush(BackgroundBrush());
  if (glyphName && base::LoadGraphicFromRes(button.glyph(), glyphName, L"bmp")) button.GlyphChanged();
  return true;
}

void ModalDialog::DropCloseBox() {
  ::SetWindowLongW(hwnd(), GWL_STYLE, ::GetWindowLongW(hwnd(), GWL_STYLE) & ~WS_SYSMENU);
  ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void ModalDialog::SetBackground(COLORREF colour) {
  background_.reset(::CreateSolidBrush(colour));
  backgroundColour_ = colour;
  if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

int ModalDialog::TextWidth(const std::wstring& text) const {
  base::WindowDC dc(hwnd());
  if (!dc) return 0;
  base::SelectGuard select(dc.get(), font_ ? static_cast<HGDIOBJ>(font_.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{0, 0};
  ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

int ModalDialog::RunModal(HWND owner) {
  if (!hwnd() || inModal_) return IDCANCEL;
  inModal_ = true;
  ended_ = false;
  result_ = IDCANCEL;
  OnShowModal();
  // Owned by owner while it runs, so it stays above it; the owner it had comes back after, so
  // a window that opened it once does not take it along when that window is destroyed.
  const LONG_PTR previousOwner = ::GetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT);
  if (owner) ::SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  const bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
  if (ownerWasEnabled) ::EnableWindow(owner, FALSE);
  ::ShowWindow(hwnd(), SW_SHOW);
  ::SetForegroundWindow(hwnd());

  base::RunModalLoop([&] { return ended_ || !hwnd(); },
                     [&](MSG& msg) { return ::IsDialogMessageW(hwnd(), &msg) != FALSE; });
  if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
  if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
  if (hwnd() && owner) ::SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, previousOwner);
  inModal_ = false;
  return ended_ ? result_ : IDCANCEL;
}

void ModalDialog::EndModal(int result) {
  result_ = result;
  ended_ = true;
  if (!inModal_ && hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
  // Wakes the loop even when nothing else is queued.
  if (hwnd()) ::PostMessageW(hwnd(), WM_NULL, 0, 0);
}

void ModalDialog::WatchTrackBar(int id) {
  trackSeen_[id] = static_cast<int>(::SendMessageW(Item(id), TBM_GETPOS, 0, 0));
}

void ModalDialog::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  if (id == IDOK || id == IDCANCEL) EndModal(id);
}

LRESULT ModalDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case WM_HSCROLL: {
      HWND bar = reinterpret_cast<HWND>(lp);
      auto seen = bar ? trackSeen_.find(::GetDlgCtrlID(bar)) : trackSeen_.end();
      if (seen == trackSeen_.end()) return Default(msg, wp, lp);
      const int position = static_cast<int>(::SendMessageW(bar, TBM_GETPOS, 0, 0));
      if (position != seen->second) {
        seen->second = position;
        OnTrackBarChange(seen->first, position);
      }
      return 0;
    }
    case WM_ERASEBKGND:
      if (background_) {
        RECT r{};
        ::GetClientRect(hwnd(), &r);
        ::FillRect(reinterpret_cast<HDC>(wp), &r, background_.get());
        return 1;
      }
      return Default(msg, wp, lp);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (background_) {
        ::SetBkColor(reinterpret_cast<HDC>(wp), backgroundColour_);
        return reinterpret_cast<LRESULT>(background_.get());
      }
      return Default(msg, wp, lp);
    case WM_CLOSE:
      // The close box hides the dialog; it is kept for the next show.
      EndModal(IDCANCEL);
      return 0;
    default:
      return Default(msg, wp, lp);
  }
}

}  // namespace app
