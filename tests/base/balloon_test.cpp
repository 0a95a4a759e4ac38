// The balloon: where it lands for each tail, its shape, its hide timer, a click hiding it, and
// that it never takes the focus from the window the user works in.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/text.h"

namespace {

struct Placement {
  int width, height;
  RECT window;
};

Placement PlacementOf(HWND wnd) {
  Placement p{};
  ::GetWindowRect(wnd, &p.window);
  p.width = p.window.right - p.window.left;
  p.height = p.window.bottom - p.window.top;
  return p;
}

bool RegionHas(HWND wnd, int x, int y) {
  HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
  bool inside = ::GetWindowRgn(wnd, rgn) != ERROR && ::PtInRegion(rgn, x, y);
  ::DeleteObject(rgn);
  return inside;
}

// A plain window that holds the focus, as the user's window would.
class FocusWindow : public base::Window {
 public:
  bool Open() {
    base::WindowClass cls;
    cls.name = L"BalloonTestFocus";
    cls.background = ::GetSysColorBrush(COLOR_WINDOW);
    base::WindowSpec spec;
    spec.title = L"focus";
    spec.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    spec.x = 50;
    spec.y = 50;
    spec.width = 300;
    spec.height = 200;
    if (!Create(cls, spec)) return false;
    ::SetForegroundWindow(hwnd());
    ::SetFocus(hwnd());
    return base::PumpUntil([&] { return ::GetForegroundWindow() == hwnd(); }, 3000);
  }
};

void ClickAt(int x, int y) {
  ::SetCursorPos(x, y);
  INPUT inputs[2]{};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

TEST(Balloon, EachTailPutsItsTipOnThePointAndShapesTheBody) {
  struct Case {
    BYTE tail;
    bool onTop;
  } cases[] = {{0, false}, {1, false}, {2, true}, {3, true}};
  auto balloon = base::TBalloon::CreateNew();
  ASSERT_TRUE(balloon);
  const int x = 700, y = 400;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "tail " << int(c.tail));
    balloon->ShowAt(x, y, L"Title", L"A line of text\nand a second one", 0, 0, c.tail);
    ASSERT_TRUE(::IsWindowVisible(balloon->hwnd()));
    const Placement p = PlacementOf(balloon->hwnd());
    const int w = p.width, h = p.height;
    EXPECT_EQ(c.onTop, balloon->TailOnTop());
    // The tip, in window coordinates, and where the window must be for it to land on (x, y).
    const POINT tip = c.tail == 0 ? POINT{w - 20, h} : c.tail == 1 ? POINT{20, h}
                    : c.tail == 2 ? POINT{w - 20, 2} : POINT{20, 2};
    EXPECT_EQ(x, p.window.left + tip.x) << "got left " << p.window.left;
    EXPECT_EQ(y, p.window.top + tip.y) << "got top " << p.window.top;
    // Body: its middle is inside; the band of the tail outside the triangle is not.
    const int bodyTop = c.onTop ? 22 : 0, bodyBottom = c.onTop ? h : h - 18;
    EXPECT_TRUE(RegionHas(balloon->hwnd(), w / 2, (bodyTop + bodyBottom) / 2));
    const int bandY = c.onTop ? 8 : h - 6;
    EXPECT_FALSE(RegionHas(balloon->hwnd(), w / 2, bandY));
    // Inside the triangle, close to its tip edge.
    const bool right = c.tail == 0 || c.tail == 2;
    const int inX = right ? w - 22 : 21;
    EXPECT_TRUE(RegionHas(balloon->hwnd(), inX, bandY)) << "no tail at " << inX << "," << bandY;
    EXPECT_FALSE(RegionHas(balloon->hwnd(), right ? 21 : w - 22, bandY));
    // The body's bottom or top edge follows the tail, and the size fits the texts.
    EXPECT_EQ(balloon->TextRect().bottom + (c.onTop ? 10 : 30), h);
    EXPECT_GE(w, balloon->TextRect().right + 40);
  }
}

TEST(Balloon, ContentsStayInPlaceWhenShownAgain) {
  auto balloon = base::TBalloon::CreateNew();
  ASSERT_TRUE(balloon);
  for (int round = 0; round < 2; ++round) {
    balloon->ShowAt(300, 300, L"Title", L"Text", 0, 0, base::kTailTopLeft);
    EXPECT_EQ(34, balloon->TitleRect().left);
    EXPECT_EQ(32, balloon->TitleRect().top) << "round " << round;
    EXPECT_EQ(30, balloon->IconRect().top) << "round " << round;
  }
  balloon->ShowAt(300, 300, L"Title", L"Text", 0, 0, base::kTailBottomLeft);
  EXPECT_EQ(12, balloon->TitleRect().top);
  EXPECT_EQ(10, balloon->IconRect().top);
  EXPECT_EQ(balloon->TitleRect().bottom + 8, balloon->TextRect().top);
}

TEST(Balloon, TimeoutHidesAndZeroKeepsItUp) {
  auto balloon = base::TBalloon::CreateNew();
  ASSERT_TRUE(balloon);
  balloon->ShowAt(400, 400, L"Soon gone", L"one second", 0, 1, base::kTailTopLeft);
  EXPECT_TRUE(balloon->HideTimerRunning());
  EXPECT_TRUE(::IsWindowVisible(balloon->hwnd()));
  EXPECT_TRUE(base::PumpUntil([&] { return !::IsWindowVisible(balloon->hwnd()); }, 8000));
  EXPECT_FALSE(balloon->HideTimerRunning());

  balloon->ShowAt(400, 400, L"Stays", L"no timer", 0, 0, base::kTailTopLeft);
  EXPECT_FALSE(balloon->HideTimerRunning());
  base::PumpUntil([] { return false; }, 1500);
  EXPECT_TRUE(::IsWindowVisible(balloon->hwnd()));
}

TEST(Balloon, ClickHidesItWithoutTakingTheFocus) {
  FocusWindow user;
  ASSERT_TRUE(user.Open());
  auto balloon = base::TBalloon::CreateNew();
  ASSERT_TRUE(balloon);
  balloon->ShowAt(900, 500, L"Click me", L"anywhere on the balloon", 0, 20, base::kTailTopLeft);
  base::PumpPending();
  EXPECT_EQ(user.hwnd(), ::GetForegroundWindow());
  EXPECT_EQ(MA_NOACTIVATE, ::SendMessageW(balloon->hwnd(), WM_MOUSEACTIVATE,
                                          reinterpret_cast<WPARAM>(balloon->hwnd()), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)));

  const Placement p = PlacementOf(balloon->hwnd());
  ClickAt(p.window.left + p.width / 2, p.window.top + 22 + (p.height - 22) / 2);
  EXPECT_TRUE(base::PumpUntil([&] { return !::IsWindowVisible(balloon->hwnd()); }, 5000));
  EXPECT_FALSE(balloon->HideTimerRunning()) << "the hide timer must stop with the balloon";
  EXPECT_EQ(user.hwnd(), ::GetForegroundWindow());
  EXPECT_NE(balloon->hwnd(), ::GetActiveWindow());
}

TEST(Balloon, ComesBackWhenMinimised) {
  auto balloon = base::TBalloon::CreateNew();
  ASSERT_TRUE(balloon);
  balloon->ShowAt(500, 500, L"Here", L"to stay", 0, 0, base::kTailBottomRight);
  ::ShowWindow(balloon->hwnd(), SW_MINIMIZE);
  EXPECT_TRUE(base::PumpUntil(
      [&] { return !::IsIconic(balloon->hwnd()) && ::IsWindowVisible(balloon->hwnd()); }, 5000));
}

// True when above comes before below in the z-order.
bool Above(HWND above, HWND below) {
  for (HWND w = ::GetWindow(below, GW_HWNDPREV); w; w = ::GetWindow(w, GW_HWNDPREV))
    if (w == above) return true;
  return false;
}

// Another topmost window that comes up over the balloon is passed again when the balloon is
// shown (by anyone, not only through ShowAt) and when it is activated or deactivated.
TEST(Balloon, BackOnTopWhenShownOrActivated) {
  auto balloon = base::TBalloon::CreateNew();
  ASSERT_TRUE(balloon);
  HWND rival = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"rival",
                                 WS_POPUP | WS_VISIBLE, 600, 600, 80, 40, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(rival);
  balloon->ShowAt(620, 580, L"On top", L"of every topmost window", 0, 0, base::kTailTopLeft);
  EXPECT_TRUE(Above(balloon->hwnd(), rival));
  auto rivalOnTop = [&] {
    ::SetWindowPos(rival, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return Above(rival, balloon->hwnd());
  };
  const struct {
    const char* name;
    std::function<void()> act;
  } cases[] = {
      {"shown again",
       [&] {
         ::ShowWindow(balloon->hwnd(), SW_HIDE);
         ::ShowWindow(balloon->hwnd(), SW_SHOWNOACTIVATE);
       }},
      {"activated", [&] { ::SendMessageW(balloon->hwnd(), WM_ACTIVATE, WA_ACTIVE, 0); }},
      {"deactivated", [&] { ::SendMessageW(balloon->hwnd(), WM_ACTIVATE, WA_INACTIVE, 0); }},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(rivalOnTop()) << c.name;
    c.act();
    EXPECT_TRUE(Above(balloon->hwnd(), rival)) << c.name;
  }
  ::DestroyWindow(rival);
}

TEST(Balloon, AnchorsChooseTheTail) {
  struct Case {
    BYTE h, v, tail;
  } cases[] = {{0, 0, 0}, {0, 1, 2}, {0, 2, 2}, {1, 0, 0}, {1, 1, 3}, {1, 2, 3},
               {2, 0, 1}, {2, 1, 1}, {2, 2, 3}, {3, 0, 3}, {0, 7, 3}};
  for (const auto& c : cases)
    EXPECT_EQ(c.tail, base::TailForAnchors(c.h, c.v)) << "anchors " << int(c.h) << "," << int(c.v);
  EXPECT_STREQ(L"INFO", base::BalloonIconResource(0));
  EXPECT_STREQ(L"ERROR", base::BalloonIconResource(1));
  EXPECT_STREQ(L"WARNING", base::BalloonIconResource(2));
  EXPECT_STREQ(L"INFO", base::BalloonIconResource(3));
}

TEST(Balloon, PicturesComeFromTheProgramsResources) {
  auto balloon = base::TBalloon::CreateNew();
  ASSERT_TRUE(balloon);
  EXPECT_TRUE(balloon->HasCloseMark());
  for (BYTE icon : {0, 1, 2, 9}) {
    balloon->ShowAt(300, 300, L"t", L"x", icon, 0, base::kTailBottomLeft);
    EXPECT_TRUE(balloon->HasIconPicture()) << "icon " << int(icon) << " (" << base::WideToUtf8(balloon->IconName()) << ")";
  }
}

TEST(Balloon, ForControlUsesTheActiveBalloonOnTheParent) {
  base::WindowClass cls;
  cls.name = L"BalloonTestParent";
  cls.background = ::GetSysColorBrush(COLOR_WINDOW);
  base::Window parent;
  base::WindowSpec spec;
  spec.style = WS_POPUP | WS_VISIBLE;
  spec.exStyle = WS_EX_NOACTIVATE;
  spec.x = 200;
  spec.y = 150;
  spec.width = 400;
  spec.height = 301;
  ASSERT_TRUE(parent.Create(cls, spec));
  HWND control = ::CreateWindowExW(0, L"BUTTON", L"rec", WS_CHILD | WS_VISIBLE, 20, 40, 100, 30, parent.hwnd(),
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(control);

  base::FreeActiveBalloon();
  base::ShowBalloonForControl(control, L"t", L"x", 2, 1, 0);
  EXPECT_EQ(nullptr, base::ActiveBalloon()) << "it makes no balloon";

  base::TBalloon* balloon = base::CreateBalloon();
  ASSERT_TRUE(balloon);
  base::ShowBalloonForControl(control, L"Saved", L"  trimmed  ", 2, 1, 0);
  ASSERT_TRUE(::IsWindowVisible(balloon->hwnd()));
  EXPECT_EQ(L"trimmed", balloon->Text());
  // Right edge and middle of the parent (301 / 2 = 150.5 rounds to the even 150), moved by the
  // control's left - width / 2 and top - height / 2 + 30: the tip of tail 1 (bottom left).
  const int tipX = 600 + (20 - 50), tipY = 150 + 150 + (40 - 15 + 30);
  const Placement p = PlacementOf(balloon->hwnd());
  EXPECT_FALSE(balloon->TailOnTop());
  EXPECT_EQ(tipX - 20, p.window.left);
  EXPECT_EQ(tipY - p.height, p.window.top);

  // ShowBalloon replaces the active balloon by a new window.
  HWND old = balloon->hwnd();
  base::ShowBalloon(300, 300, L"new", L" text ", 7, 0, base::kTailTopRight);
  ASSERT_TRUE(base::ActiveBalloon());
  EXPECT_FALSE(::IsWindow(old));
  EXPECT_STREQ(L"INFO", base::ActiveBalloon()->IconName());
  EXPECT_EQ(L"text", base::ActiveBalloon()->Text());
  base::FreeActiveBalloon();
}

}  // namespace
