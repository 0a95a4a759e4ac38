// Noise split into bands on the effect workers: the bytes and the final seed equal one serial
// walk of the generator for any split, pixel size and channel choice; and the worker pool
// itself (every call made once, exceptions handed to the caller, clean stops).
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/thread.h"
#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_noise.h"
#include "engine/effects/scEffects_simd.h"
#include "engine/effects/scEffects_workers.h"
#include "engine/effects/scMemUtils.h"
#include "tests/engine/effects/effects_reference.h"

namespace {

using namespace engine;
using namespace effects_test;

TChannels ChannelsOf(unsigned bits) { return TChannels{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0}; }

// Every split of odd-sized bitmaps, at every pixel size and for every channel choice, against
// the per-pixel reference walk.
void CheckBandsAgainstReference() {
  const std::vector<std::pair<int, int>> sizes = {{1, 1}, {37, 23}, {129, 7}, {67, 41}};
  for (int bpp = 1; bpp <= 4; ++bpp) {
    for (auto [w, h] : sizes) {
      for (unsigned bits = 1; bits < 16; ++bits) {
        if ((bits & ((1u << bpp) - 1)) == 0) continue;  // no channel the pixels have
        for (int amount : {2, 37, 255}) {
          TEffects fx;
          fx.SetPixelSize(FormatOfBytes(bpp));
          const TBitmap original = RandomBitmap(w, h, FormatOfBytes(bpp), bits * 131 + w);
          TBitmap expected = Copy(original);
          const uint32_t seed = 0x9E3779B9u ^ bits;
          const uint32_t end = ref::Noise(fx, expected, ChannelsOf(bits), amount, seed);
          for (int bands : {1, 2, 3, 7, h, h + 5}) {
            TBitmap got = Copy(original);
            const NoiseRows rows{got.ScanLine(0), got.Stride(), w, h, bpp, bits};
            const std::string where = "bpp " + std::to_string(bpp) + " " + std::to_string(w) + "x" +
                                      std::to_string(h) + " channels " + std::to_string(bits) + " amount " +
                                      std::to_string(amount) + " bands " + std::to_string(bands);
            EXPECT_EQ(ApplyNoise(rows, seed, uint8_t(amount), bands), end) << where << ": final seed";
            EXPECT_TRUE(SameBitmap(got, expected)) << where;
          }
        }
      }
    }
  }
}

TEST(EffectsNoise, AnyBandSplitEqualsTheSerialWalk) { CheckBandsAgainstReference(); }

TEST(EffectsNoise, AnyBandSplitEqualsTheSerialWalkOnSse2Kernels) {
  simd::UseBaselineKernels(true);
  CheckBandsAgainstReference();
  simd::UseBaselineKernels(false);
}

TEST(EffectsNoise, FullFramesRunOnTheWorkersAndMatchTheReference) {
  // Large enough to be split: the shared pool runs it, through the public effect.
  for (unsigned bits : {15u, 7u}) {
    TEffects fx;
    const TBitmap original = RandomBitmap(641, 403, TPixelFormat::pf32bit, bits);
    ASSERT_GT(workers::BandsFor(int64_t(641) * 403 * 4), 1);
    TBitmap got = Copy(original), expected = Copy(original);
    SetRandomSeed(12345);
    EXPECT_TRUE(fx.Noise(got, ChannelsOf(bits), 40));
    const uint32_t end = ref::Noise(fx, expected, ChannelsOf(bits), 40, 12345);
    EXPECT_EQ(RandomSeed(), end) << "channels " << bits;
    EXPECT_TRUE(SameBitmap(got, expected)) << "channels " << bits;
  }
  workers::Pool* pool = workers::SharedPool();
  ASSERT_NE(pool, nullptr);
  EXPECT_LE(pool->workers(), 3);
}

TEST(EffectsWorkers, EveryCallIsMadeOnceInEveryJob) {
  for (int threads : {0, 1, 3}) {
    workers::Pool pool(threads);
    EXPECT_EQ(pool.workers(), threads);
    std::vector<std::atomic<int>> calls(97);
    for (int job = 0; job < 300; ++job) {
      const int count = 1 + job % 97;
      auto task = [&](int i) { calls[i].fetch_add(1); };
      pool.ForEach(count, task);
      for (int i = 0; i < 97; ++i) {
        const int expected = i < count ? 1 : 0;
        ASSERT_EQ(calls[i].exchange(0), expected) << threads << " workers, job " << job << ", call " << i;
      }
    }
  }
}

TEST(EffectsWorkers, TwoCallersAtOnceBothGetEveryCall) {
  // The second caller of a busy pool runs its calls on its own thread; neither loses one.
  workers::Pool pool(3);
  std::atomic<int> wrong{0};
  auto caller = [&](int salt) {
    for (int job = 0; job < 400; ++job) {
      const int count = 2 + (job * 7 + salt) % 30;
      std::vector<std::atomic<int>> calls(static_cast<size_t>(count));
      auto task = [&](int i) { calls[static_cast<size_t>(i)].fetch_add(1); };
      pool.ForEach(count, task);
      for (auto& c : calls)
        if (c.load() != 1) wrong.fetch_add(1);
    }
  };
  base::Thread other;
  ASSERT_TRUE(other.Start("second caller", [&] { caller(1); }));
  caller(2);
  EXPECT_EQ(other.Join(60000, base::Pump::SentOnly), base::WaitResult::Signalled);
  EXPECT_EQ(wrong.load(), 0) << "calls made other than once";
}

TEST(EffectsWorkers, WorkersRunAtTheCallersPriority) {
  workers::Pool pool(2);
  const DWORD caller = ::GetCurrentThreadId();
  for (int priority : {THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_BELOW_NORMAL}) {
    ASSERT_TRUE(::SetThreadPriority(::GetCurrentThread(), priority));
    // Poll until a worker has taken a call (the caller may take them all when workers are slow).
    std::atomic<int> seen{THREAD_PRIORITY_ERROR_RETURN};
    auto task = [&](int) {
      if (::GetCurrentThreadId() != caller) seen = ::GetThreadPriority(::GetCurrentThread());
      ::Sleep(1);
    };
    const DWORD deadline = ::GetTickCount() + 10000;
    while (seen.load() == THREAD_PRIORITY_ERROR_RETURN && ::GetTickCount() < deadline) pool.ForEach(8, task);
    EXPECT_EQ(seen.load(), priority) << "a worker's priority";
  }
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

TEST(EffectsWorkers, AnExceptionReachesTheCallerAfterEveryCall) {
  workers::Pool pool(3);
  std::atomic<int> made{0};
  auto task = [&](int i) {
    made.fetch_add(1);
    if (i == 5) throw std::runtime_error("band 5");
  };
  try {
    pool.ForEach(40, task);
    ADD_FAILURE() << "got no exception, expected the one of call 5";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "band 5");
  }
  EXPECT_EQ(made.load(), 40);
  // The pool goes on serving jobs.
  std::atomic<int> later{0};
  auto count = [&](int) { later.fetch_add(1); };
  pool.ForEach(10, count);
  EXPECT_EQ(later.load(), 10);
}

TEST(EffectsWorkers, StopsWithItsThreadsEnded) {
  // A pool that ran jobs, and one that never did, both end when destroyed (a hang fails the
  // test by its time limit).
  for (int jobs : {0, 50}) {
    auto pool = std::make_unique<workers::Pool>(3);
    std::atomic<int> n{0};
    auto task = [&](int) { n.fetch_add(1); };
    for (int j = 0; j < jobs; ++j) pool->ForEach(8, task);
    EXPECT_EQ(n.load(), jobs * 8);
    pool.reset();
  }
}

}  // namespace
