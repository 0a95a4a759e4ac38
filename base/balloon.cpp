// The notification balloon and the routines that show it at a point, at the mouse cursor or
// anchored on a control. The window paints its icon, title, text and close mark itself (no
// child controls), so a click anywhere on it reaches one handler and hides it. It never takes
// the focus: it is a no-activate tool window, shown with SW_SHOWNOACTIVATE, and it answers
// WM_MOUSEACTIVATE with MA_NOACTIVATE.
#include "base/balloon.h"

#include "base/barrier.h"
#include "base/resources.h"
#include "base/rounding.h"
#include "base/text.h"

namespace base {

namespace {

constexpr UINT_PTR kHideTimerId = 1;
// Posted to itself when the balloon was minimised: it comes back once the minimise is over.
constexpr UINT kMsgReshow = WM_APP + 1;

constexpr int kTitleLeft = 34, kTitleTop = 12;
constexpr int kTextLeft = 10;
constexpr int kIconLeft = 10, kIconTop = 10, kIconSize = 16;
// Tails on the top edge push the title and the icon down by the tail's band.
constexpr int kTopTailShift = 20;

std::unique_ptr<TBalloon> gActiveBalloon;

// Draws bitmap at (x, y), its bottom-left pixel's colour transparent (as the balloon's
// pictures are drawn on the tooltip colour).
void DrawTransparent(HDC dc, HBITMAP bitmap, int x, int y) {
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0) return;
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  UniqueDC memory(::CreateCompatibleDC(dc));
  if (!memory) return;
  SelectGuard select(memory.get(), bitmap);
  const COLORREF key = ::GetPixel(memory.get(), 0, height - 1);
  ::GdiTransparentBlt(dc, x, y, info.bmWidth, height, memory.get(), 0, 0, info.bmWidth, height, key);
}

}  // namespace

const wchar_t* BalloonIconResource(BYTE icon) {
  switch (icon) {
    case 1:
      return L"ERROR";
    case 2:
      return L"WARNING";
    default:
      return L"INFO";
  }
}

BYTE TailForAnchors(BYTE hAnchor, BYTE vAnchor) {
  static constexpr BYTE kTails[3][3] = {
      {kTailBottomRight, kTailTopRight, kTailTopRight},
      {kTailBottomRight, kTailTopLeft, kTailTopLeft},
      {kTailBottomLeft, kTailBottomLeft, kTailTopLeft},
  };
  if (hAnchor > 2 || vAnchor > 2) return kTailTopLeft;
  return kTails[hAnchor][vAnchor];
}

std::unique_ptr<TBalloon> TBalloon::CreateNew() {
  std::unique_ptr<TBalloon> balloon(new TBalloon());
  if (!balloon->Build()) return nullptr;
  return balloon;
}

TBalloon::~TBalloon() { Destroy(); }

bool TBalloon::Build() {
  // Failures below leave an empty picture or close mark, never a missing balloon.
  font_.reset(::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma"));
  boldFont_.reset(::CreateFontW(-11, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma"));
  background_.reset(::CreateSolidBrush(::GetSysColor(COLOR_INFOBK)));
  LoadGraphicFromRes(closeBitmap_, L"BClose", L"bmp");

  WindowClass cls;
  cls.name = L"TBalloon";
  cls.style = 0;
  WindowSpec spec;
  spec.title = L"";
  spec.style = WS_POPUP;
  spec.exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST;
  spec.x = 0;
  spec.y = 0;
  spec.width = 100;
  spec.height = 60;
  return Create(cls, spec);
}

SIZE TBalloon::MeasureText(HFONT font, const std::wstring& text) const {
  SIZE size{0, 0};
  WindowDC dc(hwnd());
  if (!dc) return size;
  SelectGuard select(dc.get(), font);
  // A label sized to its text: no wrapping, each line break starts a new line.
  RECT r{0, 0, 0, 0};
  const std::wstring measured = text.empty() ? std::wstring(L" ") : text;
  ::DrawTextW(dc.get(), measured.c_str(), static_cast<int>(measured.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_LEFT | DT_TOP);
  size.cx = text.empty() ? 0 : r.right - r.left;
  size.cy = r.bottom - r.top;
  return size;
}

void TBalloon::ShowAt(int x, int y, const std::wstring& title, const std::wstring& text, BYTE icon,
                      int timeoutSeconds, BYTE tail) {
  if (!hwnd()) return;
  tailOnTop_ = tail == kTailTopRight || tail == kTailTopLeft;
  const int shift = tailOnTop_ ? kTopTailShift : 0;
  title_ = title;
  text_ = text;

  // Absolute places: showing the same balloon again never moves its contents further.
  const SIZE titleSize = MeasureText(boldFont_.get(), title_);
  titleRect_ = {kTitleLeft, kTitleTop + shift, kTitleLeft + titleSize.cx, kTitleTop + shift + titleSize.cy};
  const SIZE textSize = MeasureText(font_.get(), text_);
  const int textTop = titleRect_.bottom + 8;
  textRect_ = {kTextLeft, textTop, kTextLeft + textSize.cx, textTop + textSize.cy};
  iconRect_ = {kIconLeft, kIconTop + shift, kIconLeft + kIconSize, kIconTop + shift + kIconSize};

  iconName_ = BalloonIconResource(icon);
  iconBitmap_.reset(static_cast<HBITMAP>(
      ::LoadImageW(::GetModuleHandleW(nullptr), iconName_, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));

  const int height = textRect_.bottom + (tailOnTop_ ? 10 : 30);
  const int width = (titleRect_.right > textRect_.right ? titleRect_.right : textRect_.right) + 40;

  int left = 0, top = 0;
  POINT triangle[3]{};
  RECT body{};
  switch (tail) {
    case kTailBottomRight:
      left = x - (width - 20);
      top = y - height;
      body = {0, 0, width, height - 18};
      triangle[0] = {width - 40, height - 20};
      triangle[1] = {width - 20, height};
      triangle[2] = {width - 20, height - 20};
      break;
    case kTailBottomLeft:
      left = x - 20;
      top = y - height;
      body = {0, 0, width, height - 18};
      triangle[0] = {20, height - 20};
      triangle[1] = {20, height};
      triangle[2] = {40, height - 20};
      break;
    case kTailTopRight:
      left = x - (width - 20);
      top = y - 2;
      body = {0, 22, width, height};
      triangle[0] = {width - 20, 2};
      triangle[1] = {width - 20, 22};
      triangle[2] = {width - 40, 22};
      break;
    default:  // only 0 to 3 are defined; anything else is drawn as the top-left tail
      left = x - 20;
      top = y - 2;
      body = {0, 22, width, height};
      triangle[0] = {20, 2};
      triangle[1] = {20, 22};
      triangle[2] = {40, 22};
      break;
  }
  ::SetWindowPos(hwnd(), HWND_TOPMOST, left, top, width, height, SWP_NOACTIVATE);

  UniqueRegion shape(::CreateRoundRectRgn(body.left, body.top, body.right, body.bottom, 7, 7));
  UniqueRegion pointer(::CreatePolygonRgn(triangle, 3, WINDING));
  if (shape && pointer) {
    ::CombineRgn(shape.get(), shape.get(), pointer.get(), RGN_OR);
    // From here on the region belongs to the window.
    if (::SetWindowRgn(hwnd(), shape.get(), TRUE)) shape.release();
  }

  ::ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
  StayOnTop();
  ::InvalidateRect(hwnd(), nullptr, TRUE);

  ::KillTimer(hwnd(), kHideTimerId);
  hideTimerRunning_ = false;
  if (timeoutSeconds > 0 && ::SetTimer(hwnd(), kHideTimerId, static_cast<UINT>(timeoutSeconds) * 1000u, nullptr))
    hideTimerRunning_ = true;
}

void TBalloon::ShowAtControl(HWND window, int x, int y, BYTE hAnchor, BYTE vAnchor, const std::wstring& title,
                             const std::wstring& text, BYTE icon, int timeoutSeconds) {
  RECT r{};
  if (!::GetWindowRect(window, &r)) return;
  auto anchor = [](BYTE which, LONG low, LONG high) -> int {
    switch (which) {
      case 0:
        return low;
      case 1:
        return low + static_cast<int>(RoundHalfEvenDiv(high - low, 2));
      case 2:
        return high;
      default:
        return 0;
    }
  };
  ShowAt(x + anchor(hAnchor, r.left, r.right), y + anchor(vAnchor, r.top, r.bottom), title, text, icon,
         timeoutSeconds, TailForAnchors(hAnchor, vAnchor));
}

void TBalloon::Hide() {
  if (!hwnd()) return;
  ::KillTimer(hwnd(), kHideTimerId);
  hideTimerRunning_ = false;
  ::ShowWindow(hwnd(), SW_HIDE);
}

void TBalloon::StayOnTop() {
  ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TBalloon::Paint() {
  PaintDC dc(hwnd());
  if (!dc.get()) return;
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  ::FillRect(dc.get(), &client, background_ ? background_.get() : ::GetSysColorBrush(COLOR_INFOBK));

  UniqueRegion outline(::CreateRectRgn(0, 0, 0, 0));
  if (outline && ::GetWindowRgn(hwnd(), outline.get()) != ERROR)
    ::FrameRgn(dc.get(), outline.get(), static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)), 1, 1);

  DrawTransparent(dc.get(), iconBitmap_.get(), iconRect_.left, iconRect_.top);
  DrawTransparent(dc.get(), closeBitmap_.get(), client.right - 30, tailOnTop_ ? 26 : 6);

  ::SetBkMode(dc.get(), TRANSPARENT);
  ::SetTextColor(dc.get(), ::GetSysColor(COLOR_INFOTEXT));
  {
    SelectGuard select(dc.get(), boldFont_.get());
    RECT r = titleRect_;
    ::DrawTextW(dc.get(), title_.c_str(), static_cast<int>(title_.size()), &r, DT_NOPREFIX | DT_EXPANDTABS | DT_NOCLIP);
  }
  SelectGuard select(dc.get(), font_.get());
  RECT r = textRect_;
  ::DrawTextW(dc.get(), text_.c_str(), static_cast<int>(text_.size()), &r, DT_NOPREFIX | DT_EXPANDTABS | DT_NOCLIP);
}

LRESULT TBalloon::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
      Hide();
      return 0;
    case WM_TIMER:
      if (wp == kHideTimerId) {
        Hide();
        return 0;
      }
      break;
    case WM_SIZE:
      if (wp == SIZE_MINIMIZED) ::PostMessageW(hwnd(), kMsgReshow, 0, 0);
      break;
    case kMsgReshow:
      if (::IsIconic(hwnd())) ::ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
      ::ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
      StayOnTop();
      return 0;
    // Shown by anyone, activated or deactivated: back to the top of the topmost windows, over
    // any topmost window that came up since.
    case WM_WINDOWPOSCHANGED:
      if (reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_SHOWWINDOW) StayOnTop();
      break;
    case WM_ACTIVATE:
      StayOnTop();
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    default:
      break;
  }
  return Default(msg, wp, lp);
}

TBalloon* ActiveBalloon() { return gActiveBalloon.get(); }

TBalloon* CreateBalloon() {
  return Guard(
      "CreateBalloon",
      [] {
        gActiveBalloon = TBalloon::CreateNew();
        return gActiveBalloon.get();
      },
      static_cast<TBalloon*>(nullptr));
}

void FreeActiveBalloon() {
  GuardVoid("FreeActiveBalloon", [] { gActiveBalloon.reset(); });
}

void ShowBalloon(int x, int y, const std::wstring& title, const std::wstring& text, BYTE icon,
                 int timeoutSeconds, BYTE tail) {
  GuardVoid("ShowBalloon", [&] {
    // The balloon shown before goes away now: it is a main-thread window, like this call.
    gActiveBalloon.reset();
    gActiveBalloon = TBalloon::CreateNew();
    if (gActiveBalloon) gActiveBalloon->ShowAt(x, y, title, Trim(text), icon, timeoutSeconds, tail);
  });
}

void ShowBalloonAtCursor(const std::wstring& title, const std::wstring& text) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  ShowBalloon(cursor.x, cursor.y, title, text, 0, 20, kTailTopLeft);
}

void ShowBalloonForControl(HWND control, const std::wstring& title, const std::wstring& text, BYTE hAnchor,
                           BYTE vAnchor, int timeoutSeconds) {
  GuardVoid("ShowBalloonForControl", [&] {
    TBalloon* balloon = gActiveBalloon.get();
    HWND parent = ::GetParent(control);
    RECT r{};
    if (!balloon || !parent || !::GetWindowRect(control, &r)) return;
    // The control's place inside its parent, as a control's own Left and Top give it.
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    const int width = r.right - r.left, height = r.bottom - r.top;
    // Halves truncate toward zero, as an integer division does.
    const int x = r.left - width / 2;
    const int y = r.top - height / 2 + 30;
    balloon->ShowAtControl(parent, x, y, hAnchor, vAnchor, title, Trim(text), 0, timeoutSeconds);
  });
}

}  // namespace base
