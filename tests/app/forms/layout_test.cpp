// The docking layout and the flat button on their own: edge items take their slices in the
// order they were added, hidden ones give their room away, the client items get the rest; a
// flat button's click (mouse or BM_CLICK) reaches its parent as BN_CLICKED once, and a press
// released outside it is no click.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/forms/flat_button.h"
#include "app/forms/layout.h"
#include "base/window.h"

namespace {

// A top-level parent that records the commands its children send.
class CommandSink : public base::Window {
 public:
  bool Create() {
    base::WindowClass cls;
    cls.name = L"ReclumeTestCommandSink";
    base::WindowSpec spec;
    spec.style = WS_POPUP | WS_CLIPCHILDREN;
    spec.x = 0;
    spec.y = 0;
    spec.width = 400;
    spec.height = 300;
    return base::Window::Create(cls, spec);
  }
  std::vector<std::pair<int, int>> commands;  // (id, notification)

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_COMMAND) {
      commands.push_back({LOWORD(wp), HIWORD(wp)});
      return 0;
    }
    return Default(msg, wp, lp);
  }
};

HWND Child(HWND parent, bool visible = true) {
  return ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | (visible ? WS_VISIBLE : 0), 0, 0, 1, 1, parent, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

RECT RectIn(HWND wnd) {
  RECT r{};
  ::GetWindowRect(wnd, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

TEST(DockLayout, EdgesInOrderHiddenGiveRoomClientGetsTheRest) {
  CommandSink parent;
  ASSERT_TRUE(parent.Create());
  HWND top = Child(parent.hwnd()), left = Child(parent.hwnd()), bottom = Child(parent.hwnd());
  HWND hiddenRight = Child(parent.hwnd(), false), right = Child(parent.hwnd()), client = Child(parent.hwnd());
  app::DockLayout layout;
  layout.Add(client, app::Dock::Client);  // added first, still placed after every edge
  layout.Add(top, app::Dock::Top, 20);
  layout.Add(left, app::Dock::Left, 50);   // below the top item: it came after it
  layout.Add(bottom, app::Dock::Bottom, 30);
  layout.Add(hiddenRight, app::Dock::Right, 70);
  layout.Add(right, app::Dock::Right, 40);
  layout.Apply(RECT{0, 0, 400, 300});
  EXPECT_TRUE(Same(RectIn(top), RECT{0, 0, 400, 20}));
  EXPECT_TRUE(Same(RectIn(left), RECT{0, 20, 50, 300}));
  EXPECT_TRUE(Same(RectIn(bottom), RECT{50, 270, 400, 300}));
  EXPECT_TRUE(Same(RectIn(right), RECT{360, 20, 400, 270})) << "the hidden item takes no room";
  EXPECT_TRUE(Same(RectIn(client), RECT{50, 20, 360, 270}));

  // Showing the hidden one pushes the client in; sizes larger than the room are cut.
  ::ShowWindow(hiddenRight, SW_SHOWNA);
  layout.SetSize(top, 1000);
  layout.Apply(RECT{0, 0, 400, 300});
  EXPECT_TRUE(Same(RectIn(top), RECT{0, 0, 400, 300}));
  EXPECT_EQ(RectIn(client).bottom - RectIn(client).top, 0);
}

TEST(FlatButton, MouseAndBmClickReachTheParentOnce) {
  CommandSink parent;
  ASSERT_TRUE(parent.Create());
  app::FlatButton button;
  ASSERT_TRUE(button.Create(parent.hwnd(), 77, RECT{10, 10, 110, 50}, L"Go"));
  ::SendMessageW(button.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(button.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
  ASSERT_EQ(parent.commands.size(), 1u);
  EXPECT_EQ(parent.commands[0], std::make_pair(77, static_cast<int>(BN_CLICKED)));

  // Pressed, then released outside: no click.
  ::SendMessageW(button.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(button.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(300, 5));
  EXPECT_EQ(parent.commands.size(), 1u);

  ::SendMessageW(button.hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(parent.commands.size(), 2u);
  ::EnableWindow(button.hwnd(), FALSE);
  ::SendMessageW(button.hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(parent.commands.size(), 2u) << "a disabled button does not click";
}

TEST(Panel, PassesItsChildrensCommandsToItsParent) {
  CommandSink parent;
  ASSERT_TRUE(parent.Create());
  app::Panel outer, inner;
  ASSERT_TRUE(outer.Create(parent.hwnd(), 1));
  ASSERT_TRUE(inner.Create(outer.hwnd(), 2));
  app::FlatButton button;
  ASSERT_TRUE(button.Create(inner.hwnd(), 55, RECT{0, 0, 20, 20}));
  button.Click();
  ASSERT_EQ(parent.commands.size(), 1u);
  EXPECT_EQ(parent.commands[0].first, 55);
}

}  // namespace
