// The fade-in: a hidden top-level window ends visible, in the asked show state, in front.
#include "base/showform.h"

#include <gtest/gtest.h>

#include "base/dispatch.h"
#include "base/unique.h"

namespace {

base::UniqueWindow MakeHiddenWindow() {
  return base::UniqueWindow(CreateWindowExW(0, L"STATIC", L"fade-in", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
}

TEST(ShowFormAnimated, ShowsTheWindowInFront) {
  base::UniqueWindow wnd = MakeHiddenWindow();
  ASSERT_TRUE(wnd);
  ASSERT_FALSE(IsWindowVisible(wnd.get()));
  base::ShowFormAnimated(wnd.get());
  EXPECT_TRUE(IsWindowVisible(wnd.get()));
  EXPECT_TRUE(base::PumpUntil([&] { return GetForegroundWindow() == wnd.get(); }, 5000))
      << "foreground is " << GetForegroundWindow();
}

TEST(ShowFormAnimated, UsesTheGivenShowState) {
  base::UniqueWindow wnd = MakeHiddenWindow();
  ASSERT_TRUE(wnd);
  base::ShowFormAnimated(wnd.get(), SW_SHOWMAXIMIZED);
  EXPECT_TRUE(IsWindowVisible(wnd.get()));
  EXPECT_TRUE(IsZoomed(wnd.get()));
  base::ShowFormAnimated(nullptr);  // nothing to show: no crash, no effect
}

}  // namespace
