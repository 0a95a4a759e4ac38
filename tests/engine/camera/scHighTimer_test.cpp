// The high-resolution timer in both modes: the interval range, where ticks run, which changes
// restart it, dropped re-entrant ticks, and creating and destroying it at any moment.

#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "base/dispatch.h"
#include "engine/camera/scHighTimer.h"

namespace {

using scHighTimer::THighTimer;
using scHighTimer::TThreadPriority;

constexpr DWORD kDeadlineMs = 10000;

TIMECAPS DeviceCaps() {
  TIMECAPS caps{};
  EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  return caps;
}

// Counts ticks and remembers the thread of the last one.
struct TickLog {
  std::atomic<int> ticks{0};
  std::atomic<DWORD> lastThread{0};
  std::atomic<int> lastPriority{THREAD_PRIORITY_ERROR_RETURN};
  scHighTimer::TNotifyEvent Handler() {
    return [this](THighTimer&) {
      lastThread = GetCurrentThreadId();
      lastPriority = GetThreadPriority(GetCurrentThread());
      ++ticks;
    };
  }
  bool WaitFor(int n) {
    return base::PumpUntil([&] { return ticks.load() >= n; }, kDeadlineMs);
  }
};

TEST(HighTimer, Defaults) {
  THighTimer timer;
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_TRUE(timer.Synchronize());
  EXPECT_TRUE(timer.UseThread());
  EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::tpNormal);
  EXPECT_FALSE(timer.HasOnTimer());
  EXPECT_FALSE(timer.Running());
}

TEST(HighTimer, IntervalIsClampedToTheDeviceRange) {
  const TIMECAPS caps = DeviceCaps();
  THighTimer timer;
  EXPECT_EQ(timer.MinPeriod(), caps.wPeriodMin);
  EXPECT_EQ(timer.MaxPeriod(), caps.wPeriodMax);
  struct Case {
    DWORD set, expected;
  } cases[] = {
      {0, caps.wPeriodMin},
      {caps.wPeriodMin, caps.wPeriodMin},
      {caps.wPeriodMin + 1, caps.wPeriodMin + 1},
      {caps.wPeriodMax, caps.wPeriodMax},
      {caps.wPeriodMax + 1, caps.wPeriodMax},
      {70000, std::min<DWORD>(70000, caps.wPeriodMax)},
      {0xFFFFFFFF, caps.wPeriodMax},
  };
  for (const Case& c : cases) {
    timer.SetInterval(c.set);
    EXPECT_EQ(timer.Interval(), c.expected) << "set " << c.set;
  }
}

TEST(HighTimer, NothingRunsWithoutBothEnabledAndOnTimer) {
  TickLog log;
  THighTimer timer;
  timer.SetInterval(10);
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.Running()) << "enabled without a handler";
  timer.SetOnTimer(log.Handler());
  EXPECT_TRUE(timer.Running());
  EXPECT_TRUE(log.WaitFor(2));
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Running());
  const int after = log.ticks;
  base::PumpUntil([] { return false; }, 100);
  EXPECT_EQ(log.ticks.load(), after) << "ticked after it was disabled";
  timer.SetOnTimer(nullptr);
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.Running());
}

TEST(HighTimer, ThreadModeTicksOnTheCreatingThreadWhenSynchronized) {
  TickLog log;
  THighTimer timer;
  timer.SetInterval(15);
  timer.SetOnTimer(log.Handler());
  timer.SetEnabled(true);
  ASSERT_TRUE(log.WaitFor(3));
  EXPECT_EQ(log.lastThread.load(), GetCurrentThreadId());

  // Synchronize is read at every tick: no restart needed.
  timer.SetSynchronize(false);
  const int before = log.ticks;
  ASSERT_TRUE(base::PumpUntil([&] { return log.ticks > before + 1 && log.lastThread != GetCurrentThreadId(); },
                              kDeadlineMs));
  // Without synchronisation the ticks come even when this thread pumps nothing.
  const int blocked = log.ticks;
  const DWORD until = GetTickCount() + kDeadlineMs;
  while (log.ticks < blocked + 2 && GetTickCount() < until) Sleep(5);
  EXPECT_GE(log.ticks.load(), blocked + 2);
}

TEST(HighTimer, RestartRules) {
  TickLog log;
  THighTimer timer;
  timer.SetSynchronize(false);  // each thread shows in the ticks' thread id
  timer.SetInterval(10);
  auto handler = log.Handler();
  timer.SetOnTimer(handler);
  timer.SetEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));
  const DWORD first = log.lastThread;
  EXPECT_EQ(log.lastPriority.load(), THREAD_PRIORITY_NORMAL);

  // The same handler again restarts: a new thread ticks.
  timer.SetOnTimer(handler);
  ASSERT_TRUE(base::PumpUntil([&] { return log.lastThread != first; }, kDeadlineMs));
  const DWORD second = log.lastThread;

  // A new priority restarts in thread mode, with the new priority.
  timer.SetThreadPriority(TThreadPriority::tpHigher);
  ASSERT_TRUE(base::PumpUntil(
      [&] { return log.lastThread != second && log.lastPriority == THREAD_PRIORITY_ABOVE_NORMAL; }, kDeadlineMs));
  const DWORD third = log.lastThread;

  // Synchronize restarts nothing.
  timer.SetSynchronize(true);
  timer.SetSynchronize(false);
  const int before = log.ticks;
  ASSERT_TRUE(log.WaitFor(before + 2));
  EXPECT_EQ(log.lastThread.load(), third);

  // In multimedia mode a new priority restarts nothing; a new handler does.
  timer.SetUseThread(false);
  const UINT event = timer.TimerId();
  EXPECT_NE(event, 0u);
  timer.SetThreadPriority(TThreadPriority::tpLowest);
  EXPECT_EQ(timer.TimerId(), event);
  EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::tpLowest);
  timer.SetOnTimer(handler);
  EXPECT_NE(timer.TimerId(), event);
  EXPECT_NE(timer.TimerId(), 0u);
  timer.SetInterval(20);
  EXPECT_NE(timer.TimerId(), event);
  const int mm = log.ticks;
  ASSERT_TRUE(log.WaitFor(mm + 2));
  EXPECT_EQ(log.lastThread.load(), GetCurrentThreadId()) << "multimedia ticks run on the window's thread";
}

TEST(HighTimer, MultimediaModeDropsReentrantTicks) {
  THighTimer timer;
  timer.SetUseThread(false);
  timer.SetInterval(5);
  int depth = 0, nested = 0, ticks = 0;
  timer.SetOnTimer([&](THighTimer&) {
    ++ticks;
    if (++depth > 1) ++nested;
    // The first tick pumps messages as a modal dialog would.
    if (ticks == 1) base::PumpUntil([] { return false; }, 200);
    --depth;
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(base::PumpUntil([&] { return ticks >= 4; }, kDeadlineMs));
  EXPECT_EQ(nested, 0) << "a tick ran inside another";
}

TEST(HighTimer, MultimediaTicksDoNotPileUpBehindASlowThread) {
  THighTimer timer;
  timer.SetUseThread(false);
  timer.SetInterval(5);
  std::vector<DWORD> times;
  DWORD slowEnd = 0;
  timer.SetOnTimer([&](THighTimer&) {
    times.push_back(timeGetTime());
    // The first tick blocks the thread without pumping: 60 periods go by.
    if (times.size() == 1) {
      Sleep(300);
      slowEnd = timeGetTime();
    }
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(base::PumpUntil([&] { return times.size() >= 6; }, kDeadlineMs));
  timer.SetEnabled(false);
  // After the slow tick at most one tick was waiting; the rest come at the interval again.
  int burst = 0;
  for (size_t i = 1; i < times.size(); ++i) burst += times[i] <= slowEnd + 3;
  EXPECT_LE(burst, 2) << "ticks queued up behind the slow one";
}

TEST(HighTimer, RaisingTickSilencesTheThreadUntilRestart) {
  THighTimer timer;
  timer.SetInterval(10);
  int ticks = 0;
  timer.SetOnTimer([&](THighTimer&) {
    ++ticks;
    if (ticks == 1) throw std::runtime_error("tick failed");
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(base::PumpUntil([&] { return ticks >= 1; }, kDeadlineMs));
  base::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(ticks, 1) << "the thread should have ended";
  timer.SetInterval(11);
  EXPECT_TRUE(base::PumpUntil([&] { return ticks >= 3; }, kDeadlineMs));
}

TEST(HighTimer, DisablingIsImmediateWhateverTheInterval) {
  TickLog log;
  for (bool useThread : {true, false}) {
    SCOPED_TRACE(useThread ? "thread" : "multimedia");
    auto timer = std::make_unique<THighTimer>();
    timer->SetUseThread(useThread);
    timer->SetInterval(60000);
    timer->SetOnTimer(log.Handler());
    timer->SetEnabled(true);
    const DWORD start = GetTickCount();
    timer->SetInterval(59000);
    timer->SetEnabled(false);
    timer.reset();
    EXPECT_LT(GetTickCount() - start, 2000u);
  }
  EXPECT_EQ(log.ticks.load(), 0);
}

// Each cycle's handler writes into its own record, which lives until the end; a tick that
// arrives after its timer was destroyed is counted as late.
struct CycleRecord {
  std::atomic<bool> destroyed{false};
  std::atomic<int> ticks{0};
};

TEST(HighTimer, CreateAndDestroyManyTimesWithNoLateTick) {
  struct Mode {
    const char* name;
    bool useThread, synchronize;
  } modes[] = {{"thread, synchronised", true, true},
               {"thread, unsynchronised", true, false},
               {"multimedia", false, true}};
  for (const Mode& mode : modes) {
    SCOPED_TRACE(mode.name);
    std::vector<std::unique_ptr<CycleRecord>> records;
    std::atomic<int> late{0};
    int ticked = 0;
    for (int i = 0; i < 500; ++i) {
      records.push_back(std::make_unique<CycleRecord>());
      CycleRecord* rec = records.back().get();
      auto timer = std::make_unique<THighTimer>();
      timer->SetUseThread(mode.useThread);
      timer->SetSynchronize(mode.synchronize);
      timer->SetInterval(1);
      timer->SetOnTimer([rec, &late](THighTimer&) {
        if (rec->destroyed) ++late;
        ++rec->ticks;
      });
      timer->SetEnabled(true);
      // Every few cycles let it tick before it goes; otherwise destroy it at once.
      if (i % 25 == 0) {
        EXPECT_TRUE(base::PumpUntil([&] { return rec->ticks > 0; }, kDeadlineMs)) << "cycle " << i;
      } else if (i % 2 == 0) {
        base::PumpPending();
      }
      timer.reset();
      rec->destroyed = true;  // from here on any tick of this cycle is late
      ticked += rec->ticks > 0;
    }
    base::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(late.load(), 0);
    EXPECT_GE(ticked, 20);
  }
}

}  // namespace
