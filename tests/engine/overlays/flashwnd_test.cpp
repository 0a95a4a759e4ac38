// The corner-bracket window: its placement, the shape of its region (including rectangles too
// small for the arms) and that PaintFrame really colours the brackets on screen.
#include <gtest/gtest.h>

#include <windows.h>

#include "base/dispatch.h"
#include "base/unique.h"
#include "engine/overlays/flashwnd.h"

namespace {

struct RegionProbe {
  int x, y;
  bool inside;
};

void ExpectRegion(HWND wnd, const RegionProbe* probes, size_t count) {
  base::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(::GetWindowRgn(wnd, region.get()), ERROR);
  for (size_t i = 0; i < count; ++i) {
    const RegionProbe& p = probes[i];
    EXPECT_EQ(::PtInRegion(region.get(), p.x, p.y) != FALSE, p.inside) << "window point " << p.x << "," << p.y;
  }
}

TEST(FlashWnd, BracketsSitOutsideTheRectangle) {
  flashwnd::TFlashingWnd wnd;
  ASSERT_TRUE(wnd.Create(nullptr));
  wnd.SetUpRegion(200, 150, 100, 80);
  RECT r{};
  ::GetWindowRect(wnd.hwnd(), &r);
  EXPECT_EQ(r.left, 192);
  EXPECT_EQ(r.top, 142);
  EXPECT_EQ(r.right - r.left, 116);
  EXPECT_EQ(r.bottom - r.top, 96);
  EXPECT_EQ(wnd.AreaLeft(), 200);
  EXPECT_EQ(wnd.AreaTop(), 150);
  EXPECT_EQ(wnd.AreaRight(), 299);
  EXPECT_EQ(wnd.AreaBottom(), 229);
  // Window coordinates; the rectangle itself is (8, 8) .. (107, 87).
  const RegionProbe probes[] = {
      {0, 0, true},    {7, 7, true},     {8, 8, false},    {107, 87, false}, {108, 88, false},  // hole
      {23, 0, true},   {24, 0, false},   {88, 0, false},   {89, 0, true},    {115, 0, true},    // top arms
      {0, 23, true},   {0, 24, false},   {0, 68, false},   {0, 69, true},    {0, 95, true},     // left arms
      {109, 8, true},  {115, 30, false}, {115, 69, true},  {8, 89, true},    {50, 95, false},
      {115, 95, true}, {116, 95, false}, {50, 50, false},
  };
  ExpectRegion(wnd.hwnd(), probes, std::size(probes));
}

TEST(FlashWnd, SmallRectangleKeepsWholeFrame) {
  flashwnd::TFlashingWnd wnd;
  ASSERT_TRUE(wnd.Create(nullptr));
  wnd.SetUpRegion(10, 10, 20, 20);
  // The arms would overlap: nothing is cut but the rectangle itself.
  const RegionProbe probes[] = {{0, 15, true}, {15, 0, true}, {35, 15, true}, {15, 35, true}, {20, 20, false}};
  ExpectRegion(wnd.hwnd(), probes, std::size(probes));
}

TEST(FlashWnd, PaintFrameColoursTheBracketsOnScreen) {
  flashwnd::TFlashingWnd wnd;
  ASSERT_TRUE(wnd.Create(nullptr));
  wnd.SetUpRegion(300, 300, 120, 90);
  ::ShowWindow(wnd.hwnd(), SW_SHOWNOACTIVATE);
  for (COLORREF color : {RGB(255, 255, 180), RGB(0, 255, 80)}) {
    COLORREF got = CLR_INVALID;
    bool painted = base::PumpUntil(
        [&] {
          wnd.PaintFrame(color);
          ::GdiFlush();
          base::WindowDC screen(nullptr);
          got = ::GetPixel(screen.get(), 293, 293);
          return got == color;
        },
        5000);
    EXPECT_TRUE(painted) << "got " << std::hex << got << ", expected " << color;
    EXPECT_EQ(wnd.Color(), color);
  }
}

}  // namespace
