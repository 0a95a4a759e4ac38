// Docking layout, container panels and splitters for the program's forms. Each form builds its
// regions as panels and docks them outside in; a panel re-applies its layout on every
// WM_SIZE, so a resize flows down through the nested regions by itself.
#include "app/forms/layout.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "base/unique.h"

namespace app {

namespace {

bool HasVisibleStyle(HWND wnd) {
  return (::GetWindowLongW(wnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

void DockLayout::Add(HWND wnd, Dock dock, int size) { items_.push_back({wnd, dock, size}); }

bool DockLayout::SetSize(HWND wnd, int size) {
  for (auto& item : items_)
    if (item.wnd == wnd) {
      item.size = std::max(0, size);
      return true;
    }
  return false;
}

int DockLayout::Size(HWND wnd) const {
  for (const auto& item : items_)
    if (item.wnd == wnd) return item.size;
  return -1;
}

bool DockLayout::SetDock(HWND wnd, Dock dock, int size) {
  for (auto& item : items_)
    if (item.wnd == wnd) {
      item.dock = dock;
      if (dock != Dock::Client) item.size = size;
      return true;
    }
  return false;
}

template <class F>
RECT DockLayout::Walk(const RECT& area, F&& place) const {
  RECT left = area;
  // Edge items take their slice in order; client items share what the edges leave.
  for (const auto& item : items_) {
    if (item.dock == Dock::Client || !HasVisibleStyle(item.wnd)) continue;
    RECT r = left;
    switch (item.dock) {
      case Dock::Top:
        r.bottom = std::min(left.bottom, left.top + item.size);
        left.top = r.bottom;
        break;
      case Dock::Bottom:
        r.top = std::max(left.top, left.bottom - item.size);
        left.bottom = r.top;
        break;
      case Dock::Left:
        r.right = std::min(left.right, left.left + item.size);
        left.left = r.right;
        break;
      case Dock::Right:
        r.left = std::max(left.left, left.right - item.size);
        left.right = r.left;
        break;
      case Dock::Client:
        break;
    }
    place(item, r);
  }
  for (const auto& item : items_)
    if (item.dock == Dock::Client && HasVisibleStyle(item.wnd)) place(item, left);
  return left;
}

bool DockLayout::Placement(const RECT& area, HWND wnd, RECT& placed) const {
  bool found = false;
  placed = RECT{};
  Walk(area, [&](const Item& item, const RECT& r) {
    if (item.wnd == wnd) {
      placed = r;
      found = true;
    }
  });
  return found;
}

RECT DockLayout::Remaining(const RECT& area) const {
  return Walk(area, [](const Item&, const RECT&) {});
}

void DockLayout::Apply(const RECT& area) const {
  Walk(area, [](const Item& item, const RECT& r) {
    RECT now{};
    ::GetWindowRect(item.wnd, &now);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(item.wnd), reinterpret_cast<POINT*>(&now), 2);
    if (!::EqualRect(&now, &r))
      ::SetWindowPos(item.wnd, nullptr, r.left, r.top, Width(r), Height(r), SWP_NOZORDER | SWP_NOACTIVATE);
  });
}

void DockLayout::Apply(HWND parent) const {
  RECT area{};
  ::GetClientRect(parent, &area);
  Apply(area);
}

// --- Panel ---

bool Panel::Create(HWND parent, int id, bool visible, const wchar_t* className) {
  base::WindowClass cls;
  cls.name = className;
  cls.background = FormBrush();
  return base::Window::Create(cls, ChildSpec(parent, id, RECT{}, visible, WS_CLIPCHILDREN));
}

void Panel::Relayout() const {
  if (hwnd()) layout_.Apply(hwnd());
}

void Panel::Paint(HDC dc, const RECT& client, bool withBackground) const {
  if (withBackground) {
    auto brush = reinterpret_cast<HBRUSH>(::GetClassLongPtrW(hwnd(), GCLP_HBRBACKGROUND));
    ::FillRect(dc, &client, brush ? brush : FormBrush());
  }
  const int length = ::GetWindowTextLengthW(hwnd());
  if (length <= 0) return;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd(), text.data(), length + 1)));
  RECT r = client;
  r.left += 8;
  base::SelectGuard select(dc, font_ ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

UINT DragListMessage() {
  static const UINT message = ::RegisterWindowMessageW(DRAGLISTMSGSTRING);
  return message;
}

LRESULT Panel::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Relayout();
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wp);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
      LRESULT r = Default(msg, wp, lp);
      ::InvalidateRect(hwnd(), nullptr, TRUE);
      return r;
    }
    case WM_ERASEBKGND:
      if (doubleBuffered_) return 1;  // the buffered paint draws the background
      break;
    case WM_PAINT: {
      base::PaintDC dc(hwnd());
      RECT client{};
      ::GetClientRect(hwnd(), &client);
      if (!doubleBuffered_ || client.right <= 0 || client.bottom <= 0) {
        Paint(dc.get(), client, false);
        return 0;
      }
      base::UniqueDC memory(::CreateCompatibleDC(dc.get()));
      base::UniqueBitmap buffer(::CreateCompatibleBitmap(dc.get(), client.right, client.bottom));
      if (!memory || !buffer) {
        Paint(dc.get(), client, true);
        return 0;
      }
      {
        base::SelectGuard select(memory.get(), buffer.get());
        Paint(memory.get(), client, true);
        ::BitBlt(dc.get(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
      }
      return 0;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CONTEXTMENU:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      if (HWND parent = ::GetParent(hwnd())) return ::SendMessageW(parent, msg, wp, lp);
      break;
  }
  // A drag list's reports go to its parent, like the notifications above.
  if (msg == DragListMessage() && msg != 0)
    if (HWND parent = ::GetParent(hwnd())) return ::SendMessageW(parent, msg, wp, lp);
  return Default(msg, wp, lp);
}

// --- Splitter ---

bool Splitter::Create(HWND parent, int id, DockLayout& layout, HWND target, Dock side) {
  layout_ = &layout;
  target_ = target;
  side_ = side;
  const bool vertical = side == Dock::Left || side == Dock::Right;
  base::WindowClass cls;
  cls.name = vertical ? L"TSplitterWE" : L"TSplitterNS";
  cls.background = FormBrush();
  cls.cursor = vertical ? IDC_SIZEWE : IDC_SIZENS;
  if (!base::Window::Create(cls, ChildSpec(parent, id, RECT{}, true))) return false;
  layout.Add(hwnd(), side, kThickness);
  return true;
}

int Splitter::MoveBy(int delta) {
  if (!layout_ || !hwnd()) return -1;
  HWND parent = ::GetParent(hwnd());
  RECT area{};
  ::GetClientRect(parent, &area);
  const int size = layout_->Size(target_);
  const int grow = (side_ == Dock::Left || side_ == Dock::Top) ? delta : -delta;
  RECT rest = layout_->Remaining(area);
  const bool vertical = side_ == Dock::Left || side_ == Dock::Right;
  const int room = vertical ? Width(rest) : Height(rest);
  // The target may take what the client items have beyond their own minimum.
  const int most = std::max(kMinSize, size + room - kMinSize);
  const int next = std::clamp(size + grow, kMinSize, most);
  layout_->SetSize(target_, next);
  layout_->Apply(parent);
  return next;
}

LRESULT Splitter::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  const bool vertical = side_ == Dock::Left || side_ == Dock::Right;
  switch (msg) {
    case WM_LBUTTONDOWN: {
      dragging_ = true;
      ::SetCapture(hwnd());
      ::GetCursorPos(&dragStart_);
      startSize_ = layout_ ? layout_->Size(target_) : 0;
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragging_ && layout_) {
        POINT now{};
        ::GetCursorPos(&now);
        const int moved = vertical ? now.x - dragStart_.x : now.y - dragStart_.y;
        // Measured from the drag's start, so clamping never accumulates an error.
        layout_->SetSize(target_, startSize_);
        MoveBy(moved);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_) {
        dragging_ = false;
        if (msg == WM_LBUTTONUP) ::ReleaseCapture();
      }
      return 0;
  }
  return Default(msg, wp, lp);
}

}  // namespace app
