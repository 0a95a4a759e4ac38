// The capture tests' pattern window really reaches the screen: a BitBlt of the screen at its
// rectangle shows the four pure colours where the pattern says.
#include <gtest/gtest.h>

#include <windows.h>

#include "base/unique.h"
#include "tests/support/pattern_window.h"

namespace {

TEST(PatternWindow, IsOnTheScreenWhereItSays) {
  testsupport::PatternWindow pattern;
  RECT r{100, 120, 300, 260};
  ASSERT_TRUE(pattern.Show(r));
  base::WindowDC screen;
  struct Probe {
    int x, y;
  } probes[] = {{10, 10}, {190, 10}, {10, 130}, {190, 130}, {99, 69}, {100, 70}};
  for (const Probe& p : probes) {
    COLORREF got = ::GetPixel(screen.get(), r.left + p.x, r.top + p.y);
    EXPECT_EQ(got, pattern.ColorAt(p.x, p.y)) << "at " << p.x << "," << p.y;
  }
}

}  // namespace
