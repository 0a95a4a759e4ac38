// The area window and the tool window as real windows on the session's display: the
// see-through region over a window of one colour, the edits that follow the window and move or
// size it, what leaving an edit with a bad number does, and where the tool window goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/area/areaselect.h"
#include "app/forms/control_ids.h"
#include "app/forms/picture_box.h"
#include "app/area/toolform.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/text.h"
#include "base/unique.h"
#include "tests/app/frame_look.h"
#include "tests/app/glyphs.h"
#include "tests/support/doubles.h"
#include "tests/support/pattern_window.h"

namespace {

namespace id = app::id;

std::wstring Text(HWND wnd) {
  wchar_t text[64] = {};
  ::GetWindowTextW(wnd, text, 64);
  return text;
}

COLORREF ScreenPixel(int x, int y) {
  HDC dc = ::GetDC(nullptr);
  const COLORREF c = ::GetPixel(dc, x, y);
  ::ReleaseDC(nullptr, dc);
  return c;
}

class AreaWindow : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(area.Create());
    ASSERT_TRUE(area.hwnd());
  }
  // Placed at (left, top) with the outer size width x height, shown, and laid out.
  void Place(int left, int top, int width, int height) {
    ::SetWindowPos(area.hwnd(), nullptr, left, top, width, height, SWP_NOZORDER);
    area.ShowArea();
    base::PumpUntil([] { return false; }, 300);
  }
  RECT Bounds() const { return area.Bounds(); }
  std::vector<std::wstring> EditTexts() const {
    std::vector<std::wstring> texts;
    for (int edit : {id::EdtLeft, id::EdtTop, id::EdtWidth, id::EdtHeight}) texts.push_back(Text(area.Edit(edit)));
    return texts;
  }
  std::vector<std::wstring> BoundsTexts() const {
    const RECT r = Bounds();
    return {std::to_wstring(r.left), std::to_wstring(r.top), std::to_wstring(r.right - r.left),
            std::to_wstring(r.bottom - r.top)};
  }

  int confirmed = 0, closed = 0;
  app::TFrmAreaSelect area{[this] { ++confirmed; }, [this] { ++closed; }};
};

TEST_F(AreaWindow, StartsAsThePanelSizeWithThePanelAtItsCorner) {
  const RECT r = Bounds();
  EXPECT_EQ(app::kAreaPanelSize, r.right - r.left);
  EXPECT_EQ(app::kAreaPanelSize, r.bottom - r.top);
  EXPECT_TRUE(::GetWindowLongW(area.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(nullptr, ::GetWindow(area.hwnd(), GW_OWNER));
  EXPECT_EQ(app::kAreaSelectTitle, Text(area.hwnd()));
  EXPECT_EQ(BoundsTexts(), EditTexts());
}

// Over a window of one colour: the hole shows (and hands the mouse to) the window below, the
// panel keeps its own colour, and the panel sits in the middle.
TEST_F(AreaWindow, TheClientAreaAroundThePanelIsSeeThrough) {
  testsupport::PatternWindow below;
  ASSERT_TRUE(below.Show({50, 50, 800, 600}));
  below.SetSolid(RGB(0, 0, 255));
  Place(100, 100, 600, 400);
  RECT client{};
  ::GetClientRect(area.hwnd(), &client);
  POINT origin{0, 0};
  ::ClientToScreen(area.hwnd(), &origin);
  RECT panel{};
  ::GetWindowRect(area.Panel(), &panel);
  EXPECT_EQ((600 - app::kAreaPanelSize) / 2, panel.left - origin.x) << "the panel's left in the client area";
  EXPECT_EQ((400 - app::kAreaPanelSize) / 2, panel.top - origin.y);

  const POINT hole{origin.x + 20, origin.y + client.bottom / 2};
  // Between the top band and the first row: the panel's own colour.
  const POINT onPanel{panel.left + 12, panel.top + 40};
  EXPECT_TRUE(base::PumpUntil([&] { return ScreenPixel(hole.x, hole.y) == RGB(0, 0, 255); }, 5000))
      << std::hex << "got 0x" << ScreenPixel(hole.x, hole.y) << " in the hole";
  EXPECT_TRUE(base::PumpUntil([&] { return ScreenPixel(onPanel.x, onPanel.y) == base::kFormColor; }, 5000))
      << std::hex << "got 0x" << ScreenPixel(onPanel.x, onPanel.y) << " on the panel";
  EXPECT_EQ(below.hwnd(), ::WindowFromPoint(hole));
  EXPECT_NE(below.hwnd(), ::WindowFromPoint(onPanel));
}

// The window has a border of 1 pixel inside its frame, the panel paints double-buffered and
// carries its decoration pictures (the edits' labels among them, shown as text on the screen), and the region keeps
// the border.
TEST_F(AreaWindow, TheBorderAndTheDecorationPictures) {
  Place(100, 100, 500, 400);
  RECT window{}, client{}, frame{0, 0, 0, 0};
  ::GetWindowRect(area.hwnd(), &window);
  ::GetClientRect(area.hwnd(), &client);
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(area.hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(area.hwnd(), GWL_EXSTYLE)));
  EXPECT_EQ(client.right, (window.right - window.left) - (frame.right - frame.left) - 2);
  EXPECT_EQ(client.bottom, (window.bottom - window.top) - (frame.bottom - frame.top) - 2);
  EXPECT_TRUE(dynamic_cast<app::Panel*>(base::Window::FromHandle(area.Panel()))->DoubleBuffered());
  const std::pair<int, int> pictures[] = {
      {id::AreaPnlTop, id::AreaImage1}, {id::AreaPnlBottom, id::AreaImage2}, {id::AreaPanel3, id::AreaLabels}};
  for (const auto& [panel, picture] : pictures) {
    auto* box = dynamic_cast<app::PictureBox*>(
        base::Window::FromHandle(::GetDlgItem(::GetDlgItem(area.Panel(), panel), picture)));
    ASSERT_NE(box, nullptr) << picture;
    EXPECT_TRUE(box->HasPicture()) << picture;
  }
  // The labels' picture shows its four labels' ink in each row, left of its edit.
  RECT labels{};
  ::GetWindowRect(::GetDlgItem(::GetDlgItem(area.Panel(), id::AreaPanel3), id::AreaLabels), &labels);
  std::vector<int> ink(4, 0);
  EXPECT_TRUE(base::PumpUntil(
      [&] {
        const testapp::InkPicture picture = testapp::CaptureScreen(labels);
        std::fill(ink.begin(), ink.end(), 0);
        for (int y = 0; y < picture.height; ++y)
          for (int x = 0; x < picture.width; ++x)
            if (picture.At(x, y)) ++ink[static_cast<size_t>(std::min(3, y / 36))];
        return std::all_of(ink.begin(), ink.end(), [](int n) { return n > 20; });
      },
      3000))
      << ink[0] << " " << ink[1] << " " << ink[2] << " " << ink[3];
  testapp::SaveScreenshot(L"area-window", window);
}

// The decoration is five panels on PnlMain, each filled by its picture as the screen shows
// it; the window, PnlMain and the two bands paint double-buffered.
TEST_F(AreaWindow, TheDecorationPanelsHoldTheirPicturesDrawn) {
  Place(100, 100, 500, 400);
  EXPECT_TRUE(area.DoubleBuffered()) << "the window";
  const struct {
    int panel;
    int picture;
    RECT bounds;  // in PnlMain
    bool doubleBuffered;
  } panels[] = {
      {id::AreaPnlTop, id::AreaImage1, {0, 0, app::kAreaPanelSize, 30}, true},
      {id::AreaPnlBottom, id::AreaImage2, {0, app::kAreaPanelSize - 20, app::kAreaPanelSize, app::kAreaPanelSize}, true},
      {id::AreaPanel1, id::AreaBorderLeft, {0, 30, 3, app::kAreaPanelSize - 20}, false},
      {id::AreaPanel2, id::AreaBorderRight, {app::kAreaPanelSize - 3, 30, app::kAreaPanelSize, app::kAreaPanelSize - 20},
       false},
      {id::AreaPanel3, id::AreaLabels, {32, 48, 102, 192}, false},
  };
  std::string wrong;
  EXPECT_TRUE(base::PumpUntil(
      [&] {
        wrong.clear();
        HDC screen = ::GetDC(nullptr);
        for (const auto& p : panels) {
          const std::string name = "panel " + std::to_string(p.panel) + ": ";
          HWND wnd = ::GetDlgItem(area.Panel(), p.panel);
          wchar_t cls[16] = {};
          ::GetClassNameW(wnd, cls, 16);
          auto* panel = dynamic_cast<app::Panel*>(base::Window::FromHandle(wnd));
          if (!panel || std::wstring(cls) != L"TPanel" || ::GetParent(wnd) != area.Panel()) {
            wrong += name + "no panel on PnlMain; ";
            continue;
          }
          if (panel->DoubleBuffered() != p.doubleBuffered) wrong += name + "double buffering; ";
          RECT r{};
          ::GetWindowRect(wnd, &r);
          ::MapWindowPoints(HWND_DESKTOP, area.Panel(), reinterpret_cast<POINT*>(&r), 2);
          if (!::EqualRect(&r, &p.bounds)) wrong += name + "not at its place; ";
          HWND picture = ::GetDlgItem(wnd, p.picture);
          auto* box = dynamic_cast<app::PictureBox*>(base::Window::FromHandle(picture));
          RECT inside{}, client{};
          if (picture) ::GetWindowRect(picture, &inside);
          ::GetWindowRect(wnd, &client);
          if (!box || !box->Shown() || !::EqualRect(&inside, &client)) {
            wrong += name + "its picture does not fill it; ";
            continue;
          }
          // The middle of the panel shows the picture's pixel there.
          BITMAP bm{};
          ::GetObjectW(box->Shown(), sizeof bm, &bm);
          const int w = client.right - client.left, h = client.bottom - client.top;
          const int bx = box->Stretch() ? (w / 2) * bm.bmWidth / w : w / 2;
          const int by = box->Stretch() ? (h / 3) * bm.bmHeight / h : h / 3;
          // A picture squeezed into a narrow panel shows some pixel of its row there.
          const COLORREF got = ::GetPixel(screen, client.left + w / 2, client.top + h / 3);
          base::UniqueDC memory(::CreateCompatibleDC(screen));
          bool found = false;
          {
            base::SelectGuard select(memory.get(), box->Shown());
            for (int x = box->Stretch() ? 0 : bx; x <= (box->Stretch() ? bm.bmWidth - 1 : bx) && !found; ++x)
              found = testapp::NearColour(got, ::GetPixel(memory.get(), x, by));
          }
          if (!found || got == base::kFormColor) wrong += name + "its picture is not on the screen; ";
        }
        ::ReleaseDC(nullptr, screen);
        return wrong.empty();
      },
      3000))
      << wrong;
  RECT window{};
  ::GetWindowRect(area.hwnd(), &window);
  testapp::SaveScreenshot(L"area-window-panels", window);
}

TEST_F(AreaWindow, TheEditsFollowTheWindow) {
  Place(100, 100, 600, 400);
  EXPECT_EQ((std::vector<std::wstring>{L"100", L"100", L"600", L"400"}), EditTexts());
  ::SetWindowPos(area.hwnd(), nullptr, 120, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ((std::vector<std::wstring>{L"120", L"130", L"600", L"400"}), EditTexts());
  ::SetWindowPos(area.hwnd(), nullptr, 140, 150, 500, 350, SWP_NOZORDER);
  EXPECT_EQ((std::vector<std::wstring>{L"140", L"150", L"500", L"350"}), EditTexts());

  // A typed width the window system does not take as it is: the edit shows what it applied.
  ::SetWindowTextW(area.Edit(id::EdtWidth), L"100");
  ::SendMessageW(area.Edit(id::EdtWidth), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(BoundsTexts(), EditTexts());
  EXPECT_LE(Bounds().right - Bounds().left, 100 + 200) << "the width was applied";
}

// Typed text, then Enter, Tab or the focus going to another program's window.
TEST_F(AreaWindow, LeavingAnEditWithABadNumber) {
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter scoped{prompter};
  base::UniqueWindow other(::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VISIBLE, 900, 700, 80, 20, nullptr,
                                             nullptr, ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(other);
  struct Case {
    const wchar_t* typed;
    const char* then;
    int width;  // the window's width afterwards (its left stays 100)
    bool message;
  };
  const Case cases[] = {
      {L"300", "Enter", 300, false},
      {L"abc", "Enter", 600, false},
      {L"abc", "Tab", 600, true},
      {L"abc", "other window", 600, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.typed) + " " + c.then);
    Place(100, 100, 600, 400);
    HWND edit = area.Edit(id::EdtWidth);
    ::SetFocus(edit);
    ASSERT_EQ(edit, ::GetFocus());
    const size_t before = prompter.asked().size();
    ::SetWindowTextW(edit, c.typed);
    const std::string then = c.then;
    if (then == "Enter") ::SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    if (then == "Tab") ::SendMessageW(edit, WM_KEYDOWN, VK_TAB, 0);
    if (then == "other window") ::SetFocus(other.get());
    base::PumpUntil([] { return false; }, 200);
    const RECT r = Bounds();
    EXPECT_EQ(100, r.left);
    EXPECT_EQ(c.width, r.right - r.left);
    const auto asked = prompter.asked();
    ASSERT_EQ(before + (c.message ? 1 : 0), asked.size());
    if (c.message) {
      EXPECT_EQ(app::kEnterInteger, asked.back().text);
      EXPECT_EQ(edit, ::GetFocus()) << "the focus is back on the edit";
    }
  }
}

TEST_F(AreaWindow, ConfirmAndCloseHideTheWindow) {
  Place(100, 100, 400, 300);
  ::SendMessageW(area.hwnd(), WM_COMMAND, MAKEWPARAM(id::BtnConfirm, BN_CLICKED), 0);
  EXPECT_EQ(1, confirmed);
  EXPECT_FALSE(::IsWindowVisible(area.hwnd()));
  area.ShowArea();
  ::SendMessageW(area.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(1, closed);
  EXPECT_FALSE(::IsWindowVisible(area.hwnd()));
  EXPECT_TRUE(::IsWindow(area.hwnd())) << "kept for the next area recording";
}

TEST(ToolWindow, PlacementBesideTheArea) {
  struct Case {
    const char* name;
    RECT area;
    int expected;
  };
  const int tool = 173, screen = 1920;
  const Case cases[] = {
      {"left", {0, 100, 400, 400}, 410},
      {"middle", {700, 100, 1100, 400}, 1110},
      {"just fits right", {0, 0, screen - 10 - tool, 100}, screen - tool},
      {"touching the right edge", {1500, 100, 1920, 400}, 1500 - 10 - tool},
      {"one pixel short on the right", {800, 0, screen - 10 - tool + 1, 100}, 800 - 10 - tool},
      {"full width", {0, 0, 1920, 1080}, screen - tool},
      {"nearly full width, more room left", {100, 0, 1900, 100}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, app::ToolWindowLeft(c.area, tool, screen)) << c.name;
}

TEST(ToolWindow, ShownBesideTheAreaAndItsStopHidesIt) {
  int stops = 0;
  app::TFrmTool tool([&] { ++stops; });
  ASSERT_TRUE(tool.Create());
  RECT client{};
  ::GetClientRect(tool.hwnd(), &client);
  EXPECT_EQ(app::kToolClientWidth, client.right);
  EXPECT_EQ(app::kToolClientHeight, client.bottom);
  EXPECT_TRUE(::GetWindowLongW(tool.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  tool.ShowBeside({100, 120, 500, 420});
  RECT r{};
  ::GetWindowRect(tool.hwnd(), &r);
  EXPECT_EQ(510, r.left);
  EXPECT_EQ(120, r.top);
  EXPECT_TRUE(::IsWindowVisible(tool.hwnd()));
  EXPECT_EQ("", testapp::FrameShownWrong(tool.hwnd(), id::ToolFrameFirst)) << "the picture frame";
  testapp::SaveScreenshot(L"tool-window", r);
  ::SendMessageW(tool.hwnd(), WM_COMMAND, MAKEWPARAM(id::ToolBtnStopRec, BN_CLICKED), 0);
  EXPECT_EQ(1, stops);
  EXPECT_FALSE(::IsWindowVisible(tool.hwnd()));
  tool.ShowBeside({100, 120, 500, 420});
  ::SendMessageW(tool.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(2, stops);
  EXPECT_FALSE(::IsWindowVisible(tool.hwnd()));
}

}  // namespace
