// The fade-in: a hidden top-level window ends visible, in the asked show state, in front.
#include "base/showform.h"

#include <gtest/gtest.h>

#include "base/dispatch.h"
#include "base/unique.h"

namespace {

// One window for all steps: under Wine taking a shown window down costs about 2 s.
TEST(ShowFormAnimated, ShowsTheWindowInFrontInTheAskedState) {
  base::UniqueWindow wnd(CreateWindowExW(0, L"STATIC", L"fade-in", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, nullptr,
                                         nullptr, GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(wnd);
  ASSERT_FALSE(IsWindowVisible(wnd.get()));
  base::ShowFormAnimated(wnd.get());
  EXPECT_TRUE(IsWindowVisible(wnd.get()));
  EXPECT_FALSE(IsZoomed(wnd.get()));
  EXPECT_TRUE(base::PumpUntil([&] { return GetForegroundWindow() == wnd.get(); }, 5000))
      << "foreground is " << GetForegroundWindow();

  base::ShowFormAnimated(wnd.get(), SW_SHOWMAXIMIZED);
  EXPECT_TRUE(IsWindowVisible(wnd.get()));
  EXPECT_TRUE(IsZoomed(wnd.get()));
  base::ShowFormAnimated(nullptr);  // nothing to show: no crash, no effect
}

}  // namespace
