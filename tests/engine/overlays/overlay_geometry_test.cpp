// The overlay windows' pure parts, without a display: the frame layout and the free-hand
// selection state machine with its hint text and repaint strips.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/overlays/scFlashWnd.h"
#include "engine/overlays/scFreeHandWnd.h"
#include "engine/overlays/scSelObjWnd.h"

namespace {

using scFlashWnd::FrameLayout;
using scFlashWnd::LayoutFrame;
using scFreeHandWnd::CrossLine;
using scFreeHandWnd::FreeHandState;
using scFreeHandWnd::MouseButton;

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) +
         ", " + std::to_string(r.bottom) + ")";
}
std::string Show(const std::vector<RECT>& rs) {
  std::string s = "{";
  for (const RECT& r : rs) s += " " + Show(r);
  return s + " }";
}

struct LayoutCase {
  const char* name;
  int x, y, w, h;
  SIZE caption;
  bool corners;
  scFlashWnd::FrameStyle style;
  RECT bounds;     // left, top, right, bottom
  RECT paintRect;
  std::vector<RECT> cuts;
};

TEST(FrameLayout, Table) {
  const LayoutCase cases[] = {
      // The camera frame around (100, 100, 300, 200) with a 60 x 16 caption: window
      // (96, 80) 306 x 222, the hole from (2, 18) to (304, 220).
      {"camera frame", 100, 100, 300, 200, {60, 16}, false, scFlashWnd::kCameraFrame,
       {96, 80, 402, 302}, {0, 16, 306, 222}, {{60, 0, 306, 16}, {2, 18, 304, 220}}},
      {"corners only", 100, 100, 300, 200, {60, 16}, true, scFlashWnd::kCameraFrame,
       {96, 80, 402, 302}, {0, 16, 306, 222},
       {{60, 0, 306, 16}, {2, 18, 304, 220}, {0, 46, 306, 192}, {30, 16, 276, 222}}},
      {"picker, b = 1", 50, 60, 200, 100, {40, 14}, false, scSelObjWnd::kPickerFrame,
       {48, 44, 251, 161}, {0, 14, 203, 117}, {{40, 0, 203, 14}, {1, 15, 202, 116}}},
      {"empty caption: no caption strip", 10, 20, 100, 50, {0, 0}, false, scFlashWnd::kCameraFrame,
       {6, 16, 112, 72}, {0, 0, 106, 56}, {{2, 2, 104, 54}}},
      // 40 x 30 is narrower than two 30-pixel corners: both bands would turn round.
      {"small rectangle, corners only", 10, 10, 40, 30, {0, 0}, true, scFlashWnd::kCameraFrame,
       {6, 6, 52, 42}, {0, 0, 46, 36}, {{2, 2, 44, 34}}},
      {"caption wider than the window", 0, 20, 50, 50, {200, 16}, false, scFlashWnd::kCameraFrame,
       {-4, 0, 52, 72}, {0, 16, 56, 72}, {{2, 18, 54, 70}}},
      {"negative size counts as 0", 10, 10, -5, -5, {0, 0}, false, scFlashWnd::kCameraFrame,
       {6, 6, 12, 12}, {0, 0, 6, 6}, {{2, 2, 4, 4}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    FrameLayout got = LayoutFrame(c.x, c.y, c.w, c.h, c.caption, c.corners, c.style);
    EXPECT_TRUE(EqualRect(&got.bounds, &c.bounds)) << "bounds got " << Show(got.bounds) << ", expected " << Show(c.bounds);
    EXPECT_TRUE(EqualRect(&got.paintRect, &c.paintRect))
        << "paint rect got " << Show(got.paintRect) << ", expected " << Show(c.paintRect);
    bool same = got.cuts.size() == c.cuts.size();
    for (size_t i = 0; same && i < c.cuts.size(); ++i) same = EqualRect(&got.cuts[i], &c.cuts[i]);
    EXPECT_TRUE(same) << "cuts got " << Show(got.cuts) << ", expected " << Show(c.cuts);
  }
}

// Points of the region built from a layout: the frame lies b pixels off the rectangle on the
// left and top and touches it on the right and bottom.
TEST(FrameLayout, RegionTouchesTheRectangleOnTheRightAndBottom) {
  FrameLayout layout = LayoutFrame(100, 100, 300, 200, {60, 16}, false, scFlashWnd::kCameraFrame);
  base::UniqueRegion rgn = scFlashWnd::MakeFrameRegion(layout);
  ASSERT_TRUE(rgn);
  auto in = [&](int screenX, int screenY) {
    return PtInRegion(rgn.get(), screenX - layout.bounds.left, screenY - layout.bounds.top) != FALSE;
  };
  struct Probe {
    int x, y;
    bool inside;
  } probes[] = {
      {96, 84, true},    {97, 150, true},  {98, 150, false},  {99, 150, false},  {100, 150, false},
      {399, 150, false}, {400, 150, true}, {401, 150, true},  {402, 150, false}, {150, 96, true},
      {150, 98, false},  {150, 400, false}, {150, 300, true}, {150, 301, true},  {150, 302, false},
      {96, 80, true},    {155, 95, true},  {156, 95, false},  {300, 80, false},
  };
  for (const Probe& p : probes) {
    EXPECT_EQ(in(p.x, p.y), p.inside) << "screen point (" << p.x << ", " << p.y << ")";
  }
}

// --- free-hand state machine -------------------------------------------------------------

constexpr POINT P(int x, int y) { return POINT{x, y}; }

struct Step {
  enum Kind { Down, CtrlDown, RightDown, Move, Up } kind;
  POINT at;
};

struct Outcome {
  bool confirmed;
  bool dragging, hasSelection;
  int selLeft, selTop, selWidth, selHeight;
};

Outcome RunSteps(const std::vector<Step>& steps) {
  FreeHandState s;
  bool confirmed = false;
  for (const Step& st : steps) {
    switch (st.kind) {
      case Step::Down: confirmed |= FreeHandMouseDown(s, MouseButton::Left, false, st.at); break;
      case Step::CtrlDown: confirmed |= FreeHandMouseDown(s, MouseButton::Left, true, st.at); break;
      case Step::RightDown: confirmed |= FreeHandMouseDown(s, MouseButton::Right, false, st.at); break;
      case Step::Move: FreeHandMouseMove(s, st.at); break;
      case Step::Up: FreeHandMouseUp(s); break;
    }
  }
  return {confirmed, s.Dragging, s.HasSelection, s.SelLeft, s.SelTop, s.SelWidth, s.SelHeight};
}

TEST(FreeHandState, Table) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Outcome expected;
  } cases[] = {
      {"drag up and left", {{Step::Move, P(300, 200)}, {Step::Down, P(300, 200)}, {Step::Move, P(200, 100)},
                            {Step::Move, P(100, 50)}, {Step::Up, P(100, 50)}},
       {false, false, true, 100, 50, 200, 150}},
      {"dragging", {{Step::Down, P(10, 10)}, {Step::Move, P(60, 40)}}, {false, true, true, 10, 10, 50, 30}},
      {"click without moving", {{Step::Down, P(300, 200)}, {Step::Up, P(300, 200)}},
       {false, false, false, 300, 200, 0, 0}},
      {"ctrl-click after a click only starts a new drag",
       {{Step::Down, P(300, 200)}, {Step::Up, P(300, 200)}, {Step::CtrlDown, P(40, 50)}},
       {false, true, false, 0, 0, 0, 0}},
      {"ctrl-click on a selection confirms",
       {{Step::Down, P(300, 200)}, {Step::Move, P(100, 50)}, {Step::Up, P(100, 50)}, {Step::CtrlDown, P(5, 5)}},
       {true, false, true, 100, 50, 200, 150}},
      {"a horizontal-only drag selects nothing",
       {{Step::Down, P(100, 200)}, {Step::Move, P(400, 200)}, {Step::Up, P(400, 200)}},
       {false, false, false, 100, 200, 300, 0}},
      {"a vertical-only drag selects nothing",
       {{Step::Down, P(100, 200)}, {Step::Move, P(100, 300)}, {Step::Up, P(100, 300)}},
       {false, false, false, 100, 200, 0, 100}},
      {"a plain click in Selected starts a new drag",
       {{Step::Down, P(0, 0)}, {Step::Move, P(50, 50)}, {Step::Up, P(50, 50)}, {Step::Down, P(70, 80)}},
       {false, true, false, 0, 0, 0, 0}},
      {"moves in Selected keep the selection",
       {{Step::Down, P(0, 0)}, {Step::Move, P(50, 60)}, {Step::Up, P(50, 60)}, {Step::Move, P(900, 900)}},
       {false, false, true, 0, 0, 50, 60}},
      {"the right button does nothing",
       {{Step::Down, P(0, 0)}, {Step::Move, P(50, 60)}, {Step::Up, P(50, 60)}, {Step::RightDown, P(9, 9)},
        {Step::Up, P(9, 9)}},
       {false, false, true, 0, 0, 50, 60}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome got = RunSteps(c.steps);
    const Outcome& e = c.expected;
    EXPECT_EQ(got.confirmed, e.confirmed);
    EXPECT_EQ(got.dragging, e.dragging);
    EXPECT_EQ(got.hasSelection, e.hasSelection);
    EXPECT_EQ(got.selLeft, e.selLeft);
    EXPECT_EQ(got.selTop, e.selTop);
    EXPECT_EQ(got.selWidth, e.selWidth);
    EXPECT_EQ(got.selHeight, e.selHeight);
  }
}

TEST(FreeHandState, CrosshairsFollowTheCursor) {
  FreeHandState s;
  FreeHandMouseMove(s, P(10, 20));
  EXPECT_EQ(s.Shape1, (CrossLine{true, 10}));
  EXPECT_EQ(s.Shape2, (CrossLine{true, 20}));
  EXPECT_FALSE(s.Shape3.visible);
  EXPECT_FALSE(s.Shape4.visible);
  FreeHandMouseDown(s, MouseButton::Left, false, P(30, 40));
  FreeHandMouseMove(s, P(70, 90));
  EXPECT_EQ(s.Shape1, (CrossLine{true, 30})) << "the start crosshair stays";
  EXPECT_EQ(s.Shape2, (CrossLine{true, 40}));
  EXPECT_EQ(s.Shape3, (CrossLine{true, 70}));
  EXPECT_EQ(s.Shape4, (CrossLine{true, 90}));
}

TEST(FreeHandState, HintText) {
  const std::wstring tail =
      L"\n\r----------------------------------------\n\rFor Cancel Press (Esc Key)"
      L"\n\rFor Select Press (Ctrl+Left Click)";
  FreeHandState s;
  FreeHandMouseMove(s, P(10, 20));
  EXPECT_EQ(FreeHandHint(s, P(10, 20)), L"X: 10 Y: 20" + tail);

  FreeHandMouseDown(s, MouseButton::Left, false, P(300, 200));
  FreeHandMouseMove(s, P(100, 50));
  FreeHandMouseUp(s);
  EXPECT_EQ(FreeHandHint(s, P(100, 50)), L"X: 100 Y: 50\n\rSelected Area : 200 x 150" + tail);

  // A click that does not move claims no area.
  FreeHandMouseDown(s, MouseButton::Left, false, P(500, 400));
  FreeHandMouseUp(s);
  FreeHandMouseMove(s, P(-20, 7));
  EXPECT_EQ(FreeHandHint(s, P(-20, 7)), L"X: -20 Y: 7" + tail);
}

TEST(FreeHandState, RepaintStripsAreOnlyTheLinesThatChanged) {
  const RECT desktop{-100, 0, 900, 600};
  FreeHandState before;
  FreeHandMouseMove(before, P(10, 20));
  FreeHandState after = before;
  FreeHandMouseMove(after, P(15, 20));
  std::vector<RECT> got = scFreeHandWnd::ChangedLineStrips(before, after, desktop);
  std::vector<RECT> expected{{10, 0, 12, 600}, {15, 0, 17, 600}};
  ASSERT_EQ(got.size(), expected.size()) << Show(got);
  for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(EqualRect(&got[i], &expected[i])) << Show(got);

  // Starting a drag: the waiting crosshair jumps to the click, the second one is hidden.
  FreeHandState down = after;
  FreeHandMouseDown(down, MouseButton::Left, false, P(15, 30));
  got = scFreeHandWnd::ChangedLineStrips(after, down, desktop);
  expected = {{-100, 20, 900, 22}, {-100, 30, 900, 32}};
  ASSERT_EQ(got.size(), expected.size()) << Show(got);
  for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(EqualRect(&got[i], &expected[i])) << Show(got);

  EXPECT_TRUE(scFreeHandWnd::ChangedLineStrips(down, down, desktop).empty());
}

}  // namespace
