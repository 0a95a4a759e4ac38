// The sound-less recorder's frame-slot rule (rounding halves to even, drops, no two samples at
// one slot), its deadline loop on a clock of the test's own, and its compressor-fit sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "engine/capture/scrcamNS_rules.h"

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

// The frame loop on a clock of the test's own: a grab takes a share of the interval (its
// length varies between 80 % and 100 % of the share), and every wait oversleeps by up to 2 ms,
// as waits on this platform do. Nothing here waits for real.
class VirtualLoop : public scrcamNS::FrameLoopSteps {
 public:
  VirtualLoop(int interval, double grabShare, uint32_t runMs, bool grabsFail = false)
      : interval_(interval), grabShare_(grabShare), runMs_(runMs), grabsFail_(grabsFail) {}
  // Every slowEvery-th grab takes slowShare of the interval instead.
  void SlowGrabs(int every, double share) {
    slowEvery_ = every;
    slowShare_ = share;
  }

  uint32_t Elapsed() override { return now_; }
  bool Running() override { return now_ < runMs_ && !stopped_; }
  bool Grab() override {
    ++grabs;
    grabStart_ = now_;
    std::uniform_real_distribution<double> share(0.8 * grabShare_, grabShare_);
    const double taken = slowEvery_ && grabs % slowEvery_ == 0 ? slowShare_ : share(gen_);
    now_ += static_cast<uint32_t>(taken * interval_);
    return !grabsFail_;
  }
  bool Write(int slot, uint32_t t) override {
    EXPECT_EQ(t, grabStart_) << "the time is read right before the grab";
    worstError = std::max(worstError, std::abs(static_cast<double>(slot) * interval_ - t));
    ++writes;
    return true;
  }
  void Passed(uint32_t, int, bool) override {}
  bool Wait(uint32_t ms) override {
    longestWait = std::max(longestWait, ms);
    ++waits;
    if (stopAtWait && waits == stopAtWait) {
      stopped_ = true;  // the stop comes during this wait
      return false;
    }
    now_ += ms + std::uniform_int_distribution<uint32_t>(0, 2)(gen_);
    return true;
  }

  int grabs = 0, writes = 0, waits = 0, stopAtWait = 0;
  uint32_t longestWait = 0;
  double worstError = 0;

 private:
  int interval_;
  double grabShare_;
  uint32_t runMs_;
  bool grabsFail_;
  bool stopped_ = false;
  int slowEvery_ = 0;
  double slowShare_ = 0;
  uint32_t now_ = 0, grabStart_ = 0;
  std::mt19937 gen_{7};
};

TEST(ScrCamNSLoop, GrabsUpTo85PercentOfTheIntervalDropNothing) {
  for (int interval : {10, 33, 40, 100, 1000}) {
    for (double share : {0.10, 0.50, 0.85}) {
      SCOPED_TRACE(testing::Message() << "interval " << interval << " ms, grab " << share * 100 << " %");
      const uint32_t runMs = 600u * static_cast<uint32_t>(interval);
      VirtualLoop loop(interval, share, runMs);
      FrameSchedule schedule(interval);
      ASSERT_TRUE(scrcamNS::RunFrameLoop(loop, schedule, interval));
      EXPECT_EQ(schedule.dropped(), 0);
      EXPECT_EQ(loop.writes, schedule.last() + 1) << "every slot written once";
      EXPECT_GE(schedule.last(), 598);
      EXPECT_EQ(loop.grabs, loop.writes) << "no pass without a frame";
      EXPECT_LE(loop.worstError, interval / 2.0) << "a frame is written at most half a slot from its time";
      EXPECT_LE(loop.longestWait, static_cast<uint32_t>(std::max(1, interval / 10))) << "waits come in chunks";
    }
  }
}

TEST(ScrCamNSLoop, APassRunningUpTo165PercentOfTheIntervalNowAndThenDropsNothing) {
  // A full-screen grab at 30 frames a second usually takes half the interval, and now and then
  // over one and a half.
  for (int interval : {33, 40, 100}) {
    SCOPED_TRACE(testing::Message() << "interval " << interval << " ms");
    VirtualLoop loop(interval, 0.55, 600u * static_cast<uint32_t>(interval));
    loop.SlowGrabs(7, 1.65);
    FrameSchedule schedule(interval);
    ASSERT_TRUE(scrcamNS::RunFrameLoop(loop, schedule, interval));
    EXPECT_EQ(schedule.dropped(), 0);
    EXPECT_GE(schedule.last(), 598);
    EXPECT_LE(loop.worstError, interval / 2.0) << "a frame is written at most half a slot from its time";
  }
}

TEST(ScrCamNSLoop, AStopDuringAWaitEndsTheLoopAtOnce) {
  VirtualLoop loop(100, 0.1, 1000000);
  loop.stopAtWait = 25;
  FrameSchedule schedule(100);
  ASSERT_TRUE(scrcamNS::RunFrameLoop(loop, schedule, 100));
  EXPECT_EQ(loop.waits, 25) << "nothing waits after the stop";
  const int grabs = loop.grabs;
  EXPECT_LE(grabs, 4) << "no grab after the stop";
}

TEST(ScrCamNSLoop, PassesWithoutAFrameStillKeepToTheirSlots) {
  VirtualLoop loop(50, 0.1, 5000, /*grabsFail=*/true);
  FrameSchedule schedule(50);
  ASSERT_TRUE(scrcamNS::RunFrameLoop(loop, schedule, 50));
  EXPECT_EQ(loop.writes, 0);
  EXPECT_LE(loop.grabs, 5000 / 50 + 1) << "one pass per slot, not a spin";
  EXPECT_GE(loop.grabs, 5000 / 50 - 1);
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
