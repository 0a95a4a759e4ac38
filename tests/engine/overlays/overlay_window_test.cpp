// The overlay windows as real windows under the display: the frame regions as the window
// system holds them, what the frame looks like on the screen, the window picker over test
// windows and the free-hand window over a frozen desktop.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/unique.h"
#include "engine/overlays/scFlashWnd.h"
#include "engine/overlays/scFreeHandWnd.h"
#include "engine/overlays/scSelObjWnd.h"
#include "tests/support/pattern_window.h"

namespace {

using scFlashWnd::FrameStyle;

constexpr DWORD kDeadlineMs = 10000;
const COLORREF kRed = RGB(255, 0, 0);

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) +
         ", " + std::to_string(r.bottom) + ")";
}

COLORREF ScreenPixel(int x, int y) {
  base::WindowDC screen;
  base::UniqueDC mem(CreateCompatibleDC(screen.get()));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 1;
  bi.bmiHeader.biHeight = 1;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  base::UniqueBitmap dib(CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib) return CLR_INVALID;
  {
    base::SelectGuard select(mem.get(), dib.get());
    BitBlt(mem.get(), 0, 0, 1, 1, screen.get(), x, y, SRCCOPY);
  }
  GdiFlush();
  const BYTE* p = static_cast<const BYTE*>(bits);
  return RGB(p[2], p[1], p[0]);
}

bool WaitForPixel(int x, int y, COLORREF color) {
  return base::PumpUntil([&] { return ScreenPixel(x, y) == color; }, kDeadlineMs);
}

std::string Hex(COLORREF c) {
  char buf[16];
  snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return buf;
}

// The region a frame should have, built from the pieces that stay (not from the pieces the
// window cuts away): the caption tab, the four sides of the frame, and for corners only the
// parts of the sides inside the four c x c corner boxes.
base::UniqueRegion ExpectedFrameRegion(int w, int h, SIZE cap, FrameStyle s, bool corners) {
  const int b = s.border, c = s.corner;
  const int winW = w + 3 * b, winH = h + 3 * b + cap.cy;
  base::UniqueRegion frame(CreateRectRgn(0, 0, 0, 0));
  auto add = [](HRGN to, int l, int t, int r, int btm) {
    base::UniqueRegion piece(CreateRectRgn(l, t, r, btm));
    CombineRgn(to, to, piece.get(), RGN_OR);
  };
  add(frame.get(), 0, cap.cy, winW, cap.cy + b);                                // top side
  add(frame.get(), 0, cap.cy + 2 * b + h, winW, winH);                          // bottom side
  add(frame.get(), 0, cap.cy + b, b, cap.cy + 2 * b + h);                       // left side
  add(frame.get(), 2 * b + w, cap.cy + b, winW, cap.cy + 2 * b + h);            // right side
  if (corners) {
    base::UniqueRegion boxes(CreateRectRgn(0, 0, 0, 0));
    add(boxes.get(), 0, cap.cy, c, cap.cy + c);
    add(boxes.get(), winW - c, cap.cy, winW, cap.cy + c);
    add(boxes.get(), 0, winH - c, c, winH);
    add(boxes.get(), winW - c, winH - c, winW, winH);
    CombineRgn(frame.get(), frame.get(), boxes.get(), RGN_AND);
  }
  if (cap.cx > 0 && cap.cy > 0) add(frame.get(), 0, 0, std::min<int>(cap.cx, winW), cap.cy);
  return frame;
}

// Runs steps from a thread timer while a modal loop runs; a step returns true when it is done.
// After the deadline the fallback ends the loop, so a broken test cannot hang the suite.
class Script {
 public:
  Script(std::vector<std::function<bool()>> steps, std::function<void()> fallback)
      : steps_(std::move(steps)), fallback_(std::move(fallback)), start_(GetTickCount()) {
    current_ = this;
    id_ = SetTimer(nullptr, 0, 15, &Script::Tick);
  }
  ~Script() {
    KillTimer(nullptr, id_);
    current_ = nullptr;
  }
  bool finished() const { return next_ == steps_.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script* s = current_;
    if (!s) return;
    if (GetTickCount() - s->start_ > kDeadlineMs) {
      s->fallback_();
      return;
    }
    if (s->next_ < s->steps_.size() && s->steps_[s->next_]()) ++s->next_;
  }
  static inline Script* current_ = nullptr;
  std::vector<std::function<bool()>> steps_;
  std::function<void()> fallback_;
  DWORD start_;
  size_t next_ = 0;
  UINT_PTR id_ = 0;
};

// A message-only window that counts the hotkey messages it is given.
class HotkeySink : public base::Window {
 public:
  HotkeySink() {
    base::WindowSpec spec;
    spec.style = 0;
    spec.parent = HWND_MESSAGE;
    Create(base::WindowClass{.name = L"ReclumeTestHotkeySink"}, spec);
  }
  int hotkeys = 0;

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_HOTKEY) {
      ++hotkeys;
      return 0;
    }
    return Default(msg, wp, lp);
  }
};

struct RegionCase {
  const char* name;
  int x, y, w, h;
  bool corners;
  const wchar_t* caption;
  bool picker;  // the picker's 1-pixel frame with 20-pixel corners
};

TEST(FrameWindowRegion, MatchesTheLayout) {
  const RegionCase cases[] = {
      {"camera frame with a caption", 100, 100, 300, 200, false, L"Preview... (Cancel=Esc)", false},
      {"corners only", 100, 100, 300, 200, true, L"Paused... (Press pause key to resume)", false},
      {"picker frame", 200, 150, 400, 300, false, scSelObjWnd::kPickerCaption, true},
      {"picker corners", 40, 60, 200, 100, true, scSelObjWnd::kPickerCaption, true},
      {"empty caption", 100, 100, 300, 200, false, L"", false},
      {"small rectangle, corners only", 500, 400, 40, 30, true, L"", false},
  };
  scFlashWnd::TFlashingWnd camera;
  scSelObjWnd::TSelObjWindow picker;
  ASSERT_TRUE(camera.hwnd());
  ASSERT_TRUE(picker.hwnd());
  for (const RegionCase& c : cases) {
    SCOPED_TRACE(c.name);
    scFlashWnd::FrameWindow& wnd = c.picker ? static_cast<scFlashWnd::FrameWindow&>(picker) : camera;
    const FrameStyle style = c.picker ? scSelObjWnd::kPickerFrame : scFlashWnd::kCameraFrame;
    wnd.SetupFrame(c.x, c.y, c.w, c.h, c.corners, c.caption);
    const SIZE cap = wnd.CaptionSize(c.caption);
    if (*c.caption) {
      EXPECT_GT(cap.cx, 0);
      EXPECT_GT(cap.cy, 0);
    } else {
      EXPECT_EQ(cap.cx, 0);
      EXPECT_EQ(cap.cy, 0);
    }
    const int b = style.border;
    const RECT expectedBounds{c.x - 2 * b, c.y - 2 * b - cap.cy, c.x - 2 * b + c.w + 3 * b,
                              c.y - 2 * b - cap.cy + c.h + 3 * b + cap.cy};
    RECT bounds;
    GetWindowRect(wnd.hwnd(), &bounds);
    EXPECT_TRUE(EqualRect(&bounds, &expectedBounds)) << "got " << Show(bounds) << ", expected " << Show(expectedBounds);
    const RECT paint{0, cap.cy, c.w + 3 * b, c.h + 3 * b + cap.cy};
    EXPECT_TRUE(EqualRect(&wnd.PaintRect(), &paint)) << "paint rect " << Show(wnd.PaintRect());

    base::UniqueRegion got(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(wnd.hwnd(), got.get()), ERROR);
    base::UniqueRegion expected = ExpectedFrameRegion(c.w, c.h, cap, style, c.corners);
    RECT gotBox, expectedBox;
    GetRgnBox(got.get(), &gotBox);
    GetRgnBox(expected.get(), &expectedBox);
    EXPECT_TRUE(EqualRgn(got.get(), expected.get()))
        << "window region box " << Show(gotBox) << ", expected box " << Show(expectedBox);
  }
}

// With the fixed caption font a status caption is 16 pixels high, so the camera's frame around
// (100, 100, 300, 200) is the window (96, 80) 306 x 222 with its hole from (2, 18) to (304, 220).
TEST(FrameWindowRegion, CameraFrameAroundTheSampleRectangle) {
  scFlashWnd::TFlashingWnd frame;
  const std::wstring caption = L"Preview... (Cancel=Esc)";
  const SIZE cap = frame.CaptionSize(caption);
  if (cap.cy != 16) GTEST_SKIP() << "the caption font is " << cap.cy << " pixels high on this machine";
  frame.SetupFrame(100, 100, 300, 200, false, caption);
  RECT r;
  GetWindowRect(frame.hwnd(), &r);
  EXPECT_EQ(r.left, 96);
  EXPECT_EQ(r.top, 80);
  EXPECT_EQ(r.right - r.left, 306);
  EXPECT_EQ(r.bottom - r.top, 222);
  base::UniqueRegion rgn(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(frame.hwnd(), rgn.get()), ERROR);
  EXPECT_TRUE(PtInRegion(rgn.get(), 1, 17));
  EXPECT_FALSE(PtInRegion(rgn.get(), 2, 18));
  EXPECT_FALSE(PtInRegion(rgn.get(), 303, 219));
  EXPECT_TRUE(PtInRegion(rgn.get(), 304, 220));
  EXPECT_EQ(frame.FrameRegion() != nullptr, true);
}

TEST(FrameWindow, MarksARectangleWithoutTakingTheFocus) {
  testsupport::PatternWindow beneath;
  const RECT area{300, 300, 500, 450};
  ASSERT_TRUE(beneath.Show(area));

  // A window of the "recorded program" that has the keyboard.
  testsupport::PatternWindow focused;
  ASSERT_TRUE(focused.Show(RECT{900, 700, 1000, 800}));
  SetForegroundWindow(focused.hwnd());
  SetFocus(focused.hwnd());
  HWND foreground = GetForegroundWindow();

  ASSERT_TRUE(WaitForPixel(area.left + 5, area.top + 5, beneath.ColorAt(5, 5)))
      << "pattern: " << Hex(ScreenPixel(area.left + 5, area.top + 5));
  scFlashWnd::TFlashingWnd frame;
  ASSERT_TRUE(frame.hwnd());
  const LONG ex = GetWindowLongW(frame.hwnd(), GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(ex & WS_EX_NOACTIVATE);
  EXPECT_EQ(GetWindow(frame.hwnd(), GW_OWNER), nullptr) << "the frame must have no owner";

  const std::wstring caption = L"Preview... (Cancel=Esc)";
  const COLORREF blue = RGB(0, 0, 255);
  frame.SetupFrame(area.left, area.top, area.right - area.left, area.bottom - area.top, false, caption);
  frame.Show();
  frame.PaintFrame(blue, caption);
  EXPECT_TRUE(IsWindowVisible(frame.hwnd()));
  EXPECT_EQ(GetForegroundWindow(), foreground);

  // The frame lies 2 pixels off the rectangle on the left and top and touches it on the right
  // and bottom; the rectangle itself shows through the hole.
  const int midY = (area.top + area.bottom) / 2, midX = (area.left + area.right) / 2;
  EXPECT_TRUE(WaitForPixel(area.left - 4, midY, blue)) << "left side: " << Hex(ScreenPixel(area.left - 4, midY));
  EXPECT_EQ(ScreenPixel(area.left - 3, midY), blue);
  EXPECT_EQ(ScreenPixel(area.right, midY), blue) << "right side";
  EXPECT_EQ(ScreenPixel(area.right + 1, midY), blue);
  EXPECT_EQ(ScreenPixel(midX, area.bottom), blue) << "bottom side";
  EXPECT_EQ(ScreenPixel(midX, area.top - 3), blue) << "top side";
  EXPECT_EQ(ScreenPixel(area.left + 5, area.top + 5), beneath.ColorAt(5, 5)) << "the hole";
  EXPECT_EQ(ScreenPixel(area.right - 5, area.bottom - 5),
            beneath.ColorAt(area.right - area.left - 5, area.bottom - area.top - 5));

  // The caption tab: black text on yellow above the frame's top-left corner.
  const SIZE cap = frame.CaptionSize(caption);
  int yellow = 0, black = 0;
  for (int y = 0; y < cap.cy; ++y) {
    for (int x = 0; x < cap.cx; x += 2) {
      COLORREF c = ScreenPixel(area.left - 4 + x, area.top - 4 - cap.cy + y);
      yellow += c == RGB(255, 255, 0);
      black += c == RGB(0, 0, 0);
    }
  }
  EXPECT_GT(yellow, cap.cx * cap.cy / 4) << "yellow pixels in the caption tab";
  EXPECT_GT(black, 10) << "black pixels in the caption tab";
  // Right of the tab the desktop shows through.
  EXPECT_NE(ScreenPixel(area.left + cap.cx + 20, area.top - 4 - cap.cy / 2), RGB(255, 255, 0));

  // What the camera sends when the application is minimised: the frame stays, unactivated.
  SendMessageW(frame.hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(IsWindowVisible(frame.hwnd()));
  EXPECT_EQ(GetForegroundWindow(), foreground);
  EXPECT_NE(GetActiveWindow(), frame.hwnd());

  frame.Hide();
  EXPECT_FALSE(IsWindowVisible(frame.hwnd()));
}

TEST(WindowPicker, PicksTheWindowUnderTheCursorButNotItself) {
  testsupport::PatternWindow target;
  const RECT area{200, 150, 600, 450};
  ASSERT_TRUE(target.Show(area));
  ASSERT_TRUE(SetCursorPos(400, 300));

  scSelObjWnd::TSelObjWindow picker;
  ASSERT_TRUE(picker.hwnd());
  picker.Timer1Timer();
  EXPECT_EQ(picker.PickedWindow(), target.hwnd());
  EXPECT_EQ(picker.PickLeft(), 200);
  EXPECT_EQ(picker.PickTop(), 150);
  EXPECT_EQ(picker.PickWidth(), 400);
  EXPECT_EQ(picker.PickHeight(), 300);

  // Framed with its 1-pixel frame, not corners only, with the picker's caption.
  const SIZE cap = picker.CaptionSize(scSelObjWnd::kPickerCaption);
  RECT bounds;
  GetWindowRect(picker.hwnd(), &bounds);
  const RECT expected{198, 148 - cap.cy, 198 + 403, 148 + 303};
  EXPECT_TRUE(EqualRect(&bounds, &expected)) << "got " << Show(bounds) << ", expected " << Show(expected);
  base::UniqueRegion rgn(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(picker.hwnd(), rgn.get()), ERROR);
  base::UniqueRegion want = ExpectedFrameRegion(400, 300, cap, scSelObjWnd::kPickerFrame, false);
  EXPECT_TRUE(EqualRgn(rgn.get(), want.get()));
  EXPECT_TRUE(GetWindowLongW(picker.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);

  // With the cursor on the picker's own caption tab, the previous pick stays.
  picker.Show();
  const POINT onTab{bounds.left + 3, bounds.top + cap.cy / 2};
  ASSERT_TRUE(SetCursorPos(onTab.x, onTab.y));
  ASSERT_EQ(WindowFromPoint(onTab), picker.hwnd()) << "the tab should be the picker's";
  picker.Timer1Timer();
  EXPECT_EQ(picker.PickedWindow(), target.hwnd());
  EXPECT_EQ(picker.PickLeft(), 200);
  EXPECT_EQ(picker.PickWidth(), 400);
  RECT again;
  GetWindowRect(picker.hwnd(), &again);
  EXPECT_TRUE(EqualRect(&again, &bounds)) << "the frame moved to " << Show(again);
}

TEST(WindowPicker, FollowsTheCursorWhileModalUntilConfirmed) {
  testsupport::PatternWindow first, second;
  ASSERT_TRUE(first.Show(RECT{100, 100, 400, 300}));
  ASSERT_TRUE(second.Show(RECT{800, 500, 1000, 700}));
  scSelObjWnd::TSelObjWindow picker;
  scSelObjWnd::SelObjWindow = &picker;
  ASSERT_TRUE(SetCursorPos(250, 200));
  int result;
  {
    Script script(
        {[&] { return picker.PickedWindow() == first.hwnd() && IsWindowVisible(picker.hwnd()); },
         [&] { return SetCursorPos(900, 600) != FALSE; },
         [&] { return picker.PickedWindow() == second.hwnd(); },
         [&] {
           // What the camera's CONTROL + RETURN hotkey does.
           picker.StopTracking();
           picker.SetModalResult(IDOK);
           return true;
         }},
        [&] { picker.SetModalResult(IDABORT); });
    result = picker.ShowModal();
    EXPECT_TRUE(script.finished());
  }
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(picker.PickLeft(), 800);
  EXPECT_EQ(picker.PickTop(), 500);
  EXPECT_EQ(picker.PickWidth(), 200);
  EXPECT_EQ(picker.PickHeight(), 200);
  EXPECT_FALSE(IsWindowVisible(picker.hwnd()));
  EXPECT_FALSE(picker.Tracking());
}

TEST(WindowPicker, EscCancels) {
  testsupport::PatternWindow target;
  ASSERT_TRUE(target.Show(RECT{600, 400, 700, 500}));
  ASSERT_TRUE(SetCursorPos(650, 450));
  scSelObjWnd::TSelObjWindow picker;
  HotkeySink sink;
  struct Case {
    const char* name;
    std::function<void()> press;
  } cases[] = {
      {"Esc key", [&] { PostMessageW(picker.hwnd(), WM_KEYDOWN, VK_ESCAPE, 1); }},
      // The camera holds Esc as a global hotkey: the key reaches its hotkey window only.
      {"Esc hotkey", [&] { PostMessageW(sink.hwnd(), WM_HOTKEY, 7, MAKELPARAM(0, VK_ESCAPE)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Script script({[&] {
                    c.press();
                    return true;
                  }},
                  [&] { picker.SetModalResult(IDABORT); });
    EXPECT_EQ(picker.ShowModal(), IDCANCEL);
  }
  EXPECT_EQ(sink.hotkeys, 1) << "the hotkey still reaches its window";
}

TEST(FreeHandWindow, CoversTheDesktopWithAFrozenImage) {
  testsupport::PatternWindow beneath;
  const RECT area{100, 100, 300, 250};
  ASSERT_TRUE(beneath.Show(area));
  ASSERT_TRUE(WaitForPixel(area.left + 10, area.top + 10, kRed)) << "the window beneath is not on the screen";
  ASSERT_TRUE(SetCursorPos(1500, 900));

  scFreeHandWnd::TFreeHandWindow freeHand;
  ASSERT_TRUE(freeHand.hwnd());
  freeHand.Show();
  RECT bounds;
  GetWindowRect(freeHand.hwnd(), &bounds);
  const RECT desktop{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                     GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                     GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  EXPECT_TRUE(EqualRect(&bounds, &desktop)) << "got " << Show(bounds) << ", expected " << Show(desktop);
  EXPECT_TRUE(GetWindowLongW(freeHand.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetWindow(freeHand.hwnd(), GW_OWNER), nullptr);
  ASSERT_TRUE(base::PumpUntil([&] { return !GetUpdateRect(freeHand.hwnd(), nullptr, FALSE); }, kDeadlineMs));
  EXPECT_TRUE(WaitForPixel(area.left + 10, area.top + 10, kRed));

  // The window beneath moves away; the frozen image keeps it where it was.
  SetWindowPos(beneath.hwnd(), nullptr, 1200, 600, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  base::PumpPending();
  RedrawWindow(freeHand.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  base::PumpPending();
  EXPECT_EQ(ScreenPixel(area.left + 10, area.top + 10), kRed) << "the frozen image followed the change";
  EXPECT_NE(ScreenPixel(1210, 610), kRed) << "the moved window shows through";

  base::WindowDC screen;
  base::UniqueDC mem(CreateCompatibleDC(screen.get()));
  {
    base::SelectGuard select(mem.get(), freeHand.ScreenCopy());
    EXPECT_EQ(GetPixel(mem.get(), area.left + 10 - desktop.left, area.top + 10 - desktop.top), kRed);
  }
}

TEST(FreeHandWindow, DragThenCtrlClickConfirms) {
  scFreeHandWnd::TFreeHandWindow freeHand;
  scFreeHandWnd::FreeHandWindow = &freeHand;
  HWND w = freeHand.hwnd();
  ASSERT_TRUE(w);
  std::wstring hintDuringDrag;
  int result;
  {
    Script script(
        {[&] { return IsWindowVisible(w) != FALSE; },
         [&] {
           SetCursorPos(300, 200);
           SendMessageW(w, WM_MOUSEMOVE, 0, 0);
           SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
           return true;
         },
         [&] {
           SetCursorPos(100, 50);
           SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, 0);
           hintDuringDrag = freeHand.Hint();
           SendMessageW(w, WM_LBUTTONUP, 0, 0);
           return true;
         },
         [&] {
           SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 0);
           return true;
         }},
        [&] { freeHand.Cancel(); });
    result = freeHand.ShowModal();
    EXPECT_TRUE(script.finished());
  }
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(freeHand.SelLeft(), 100);
  EXPECT_EQ(freeHand.SelTop(), 50);
  EXPECT_EQ(freeHand.SelWidth(), 200);
  EXPECT_EQ(freeHand.SelHeight(), 150);
  EXPECT_EQ(hintDuringDrag,
            L"X: 100 Y: 50\n\rSelected Area : 200 x 150\n\r----------------------------------------"
            L"\n\rFor Cancel Press (Esc Key)\n\rFor Select Press (Ctrl+Left Click)");
  EXPECT_FALSE(IsWindowVisible(w));
}

TEST(FreeHandWindow, CrosshairMoveRepaintsOnlyTheLineStrips) {
  scFreeHandWnd::TFreeHandWindow freeHand;
  HWND w = freeHand.hwnd();
  freeHand.Show();
  ASSERT_TRUE(base::PumpUntil([&] { return !GetUpdateRect(w, nullptr, FALSE); }, kDeadlineMs));
  const RECT& d = freeHand.Desktop();

  // The crosshair may already show where the cursor was when the window appeared, and the
  // hint beside it: where the hint leaves, the system repaints what it uncovers.
  SetCursorPos(500, 400);
  const scFreeHandWnd::FreeHandState before = freeHand.State();
  base::UniqueRegion allowed(CreateRectRgn(0, 0, 0, 0));
  auto allow = [&](RECT r) {
    OffsetRect(&r, -d.left, -d.top);
    base::UniqueRegion piece(CreateRectRgnIndirect(&r));
    CombineRgn(allowed.get(), allowed.get(), piece.get(), RGN_OR);
  };
  HWND hint = FindWindowW(L"ReclumeFreeHandHint", nullptr);
  RECT hintRect{};
  if (hint && IsWindowVisible(hint) && GetWindowRect(hint, &hintRect)) allow(hintRect);
  ValidateRect(w, nullptr);
  SendMessageW(w, WM_MOUSEMOVE, 0, 0);
  base::UniqueRegion update(CreateRectRgn(0, 0, 0, 0));
  GetUpdateRgn(w, update.get(), FALSE);

  const RECT newStrips[2] = {{500, d.top, 502, d.bottom}, {d.left, 400, d.right, 402}};
  for (const RECT& r : newStrips) {
    RECT c = r;
    OffsetRect(&c, -d.left, -d.top);
    EXPECT_TRUE(RectInRegion(update.get(), &c)) << "not repainted: " << Show(r);
    allow(r);
  }
  if (before.Shape1.visible) allow(RECT{before.Shape1.pos, d.top, before.Shape1.pos + 2, d.bottom});
  if (before.Shape2.visible) allow(RECT{d.left, before.Shape2.pos, d.right, before.Shape2.pos + 2});
  base::UniqueRegion extra(CreateRectRgn(0, 0, 0, 0));
  const int kind = CombineRgn(extra.get(), update.get(), allowed.get(), RGN_DIFF);
  RECT box;
  GetRgnBox(extra.get(), &box);
  EXPECT_EQ(kind, NULLREGION) << "repainted beyond the line strips: " << Show(box);
  EXPECT_NE(freeHand.Hint().find(L"X: 500 Y: 400"), std::wstring::npos);
}

}  // namespace
