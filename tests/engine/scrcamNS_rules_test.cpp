// The sound-less recorder's frame-slot rule (rounding halves to even, drops, no two samples at
// one slot) and its compressor-fit sizes.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/scrcamNS_rules.h"

namespace {

using scrcamNS::FrameSchedule;

TEST(ScrCamNSSchedule, SlotsRoundHalvesToEvenAndCountDrops) {
  // One pass per row, interval 100 ms: elapsed time -> slot, written?, dropped so far.
  struct Pass {
    uint32_t t;
    int slot;
    bool written;
    int dropped;
  } passes[] = {
      {0, 0, true, 0},     // the first frame lands at 0
      {40, 0, false, 0},   // still slot 0: never a second sample there
      {50, 0, false, 0},   // 0.5 -> 0
      {150, 2, true, 1},   // 1.5 -> 2, slot 1 dropped
      {250, 2, false, 1},  // 2.5 -> 2: same slot, nothing written
      {300, 3, true, 1},
      {600, 6, true, 3},   // 3 -> 6 drops two
      {650, 6, false, 3},  // 6.5 -> 6
      {749, 7, true, 3},
      {750, 8, true, 3},   // 7.5 -> 8
      {820, 8, false, 3},
  };
  FrameSchedule schedule(100);
  for (const Pass& p : passes) {
    SCOPED_TRACE(testing::Message() << "t=" << p.t);
    int slot = schedule.SlotAt(p.t);
    EXPECT_EQ(slot, p.slot);
    bool write = schedule.ShouldWrite(slot);
    EXPECT_EQ(write, p.written);
    if (write) schedule.Written(slot);
    EXPECT_EQ(schedule.dropped(), p.dropped);
  }
}

TEST(ScrCamNSSchedule, IntervalBelowOneIsOne) {
  FrameSchedule zero(0), negative(-5);
  EXPECT_EQ(zero.SlotAt(7), 7);
  EXPECT_EQ(negative.SlotAt(7), 7);
}

TEST(ScrCamNSFit, SidesGrowToTheAlignmentOrShrinkAtTheDisplay) {
  struct Case {
    int side, align, display, fitted;
  } cases[] = {
      {641, 1, 1920, 641}, {641, 2, 1920, 642}, {641, 4, 1920, 644}, {641, 8, 1920, 648},
      {640, 8, 1920, 640}, {641, 4, 642, 640},  {641, 2, 642, 642},  {1915, 8, 1916, 1912},
      {3, 4, 3, 3},  // shrinking would leave nothing
  };
  for (const Case& c : cases)
    EXPECT_EQ(scrcamNS::FitSide(c.side, c.align, c.display), c.fitted)
        << c.side << " at " << c.align << " within " << c.display;
}

TEST(ScrCamNSFit, TriesTheStartThenAlignments2To8) {
  struct Case {
    int widthMultiple, display;
    bool accepted;
    int width;
    std::vector<std::pair<int, int>> asked;
  } cases[] = {
      {1, 1920, true, 641, {{641, 481}}},
      {4, 1920, true, 644, {{641, 481}, {642, 482}, {644, 484}}},
      {4, 642, true, 640, {{641, 481}, {642, 482}, {640, 484}}},
      {16, 1920, false, 641, {{641, 481}, {642, 482}, {644, 484}, {648, 488}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "multiple " << c.widthMultiple << ", display " << c.display);
    std::vector<std::pair<int, int>> asked;
    auto fit = scrcamNS::FitToCompressor(641, 481, c.display, 1080, [&](int w, int h) {
      asked.emplace_back(w, h);
      return w % c.widthMultiple == 0;
    });
    EXPECT_EQ(fit.accepted, c.accepted);
    EXPECT_EQ(fit.width, c.width);
    EXPECT_EQ(asked, c.asked);
  }
}

}  // namespace
