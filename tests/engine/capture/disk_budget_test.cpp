// The disk budget: how often it asks the file system, when it answers "disk low" or "size
// limit", and the free space of a real small volume behind a folder link (disk_budget.test.sh
// mounts one and names it in RECLUME_SMALL_DISK; without it that case is skipped).
#include "engine/capture/disk_budget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "base/seams.h"
#include "tests/support/doubles.h"
#include "tests/support/scratch_folder.h"

namespace {

using engine::DiskBudget;
using engine::DiskVerdict;

constexpr uint64_t kMiB = 1u << 20;

// Free space answered per folder prefix; counts the questions.
struct FakeVolumes {
  std::map<std::wstring, uint64_t> freeByPrefix;
  int asked = 0;
  engine::FreeBytesFunction Function() {
    return [this](const std::wstring& path) -> std::optional<uint64_t> {
      ++asked;
      for (const auto& [prefix, bytes] : freeByPrefix)
        if (path.compare(0, prefix.size(), prefix) == 0) return bytes;
      return std::nullopt;
    };
  }
};

class DiskBudgetTest : public ::testing::Test {
 protected:
  testsupport::ScratchFolder scratch_;
  testsupport::ManualClock clock_;
  base::ScopedClock scopedClock_{clock_};
  FakeVolumes volumes_;
  engine::ScopedFreeBytes scopedFree_{volumes_.Function()};

  std::wstring Grow(const std::wstring& name, uint64_t bytes) {
    const std::wstring path = scratch_ / name;
    std::string content = testsupport::ReadBytes(path);
    content.append(static_cast<size_t>(bytes), 'x');
    EXPECT_TRUE(testsupport::WriteBytes(path, content));
    return path;
  }
};

TEST_F(DiskBudgetTest, PollAsksAtMostOncePerInterval) {
  volumes_.freeByPrefix[scratch_.path()] = 100 * kMiB;
  DiskBudget budget(5.0, 1000);
  budget.WatchFile(scratch_ / L"a.avi", 0, true);
  for (int i = 0; i < 50; ++i) {
    EXPECT_TRUE(budget.Poll());
    clock_.Advance(10);  // 500 ms of frames
  }
  EXPECT_EQ(volumes_.asked, 1) << "asked " << volumes_.asked << " times in 500 ms, expected once";
  clock_.Advance(600);
  budget.Poll();
  EXPECT_EQ(volumes_.asked, 2);
}

TEST_F(DiskBudgetTest, VerdictsOfTheVolumesAndTheLimit) {
  struct Case {
    const char* what;
    uint64_t partFree, targetFree;  // free space of the temporary and the target volume
    uint64_t limit;                 // AVI file limit in force
    uint64_t written;               // bytes written into the parts per second
    DiskVerdict expected;
    bool targetLow;                 // the target folder is the one reported
  };
  const Case cases[] = {
      {"room everywhere", 500 * kMiB, 500 * kMiB, engine::kAviFileLimit, 2 * kMiB, DiskVerdict::Ok, false},
      {"temporary volume low for 5 s", 8 * kMiB, 500 * kMiB, engine::kAviFileLimit, 2 * kMiB, DiskVerdict::DiskLow, false},
      {"target cannot take what was written", 500 * kMiB, 12 * kMiB, engine::kAviFileLimit, 2 * kMiB, DiskVerdict::DiskLow, true},
      {"parts near the lowered limit", 500 * kMiB, 500 * kMiB, 12 * kMiB, 2 * kMiB, DiskVerdict::SizeLimit, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring temp = scratch_ / L"temp\\";
    const std::wstring target = scratch_ / L"target\\";
    ::CreateDirectoryW(temp.c_str(), nullptr);
    volumes_.freeByPrefix = {{temp, c.partFree}, {target, c.targetFree}};
    engine::ScopedAviFileLimit limit(c.limit);
    const std::wstring video = temp + L"v.avi";
    ::DeleteFileW(video.c_str());
    DiskBudget budget(5.0, 1000);
    budget.WatchFile(video, 0, true);
    budget.WatchTarget(target);
    budget.CheckNow();
    // Three seconds at the rate: the budget sees the growth, no rate was told.
    for (int s = 0; s < 3; ++s) {
      Grow(L"temp\\v.avi", c.written);
      clock_.Advance(1000);
      budget.Poll();
    }
    const engine::DiskCheck got = budget.Poll();
    EXPECT_EQ(static_cast<int>(got.verdict), static_cast<int>(c.expected));
    EXPECT_EQ(budget.PartsBytes(), 3 * c.written);
    if (c.expected == DiskVerdict::DiskLow) {
      EXPECT_EQ(got.path, c.targetLow ? target : video);
    }
  }
}

TEST_F(DiskBudgetTest, ChunksCountTowardsTheLimit) {
  engine::ScopedAviFileLimit limit(4 * kMiB);
  DiskBudget budget(5.0, 1000);
  budget.WatchFile(Grow(L"p.avi", kMiB), 0, true);
  EXPECT_EQ(budget.CheckNow().verdict, DiskVerdict::Ok);
  budget.SetChunks(100000);  // 2.4 MB of chunk headers and index entries
  EXPECT_EQ(budget.CheckNow().verdict, DiskVerdict::SizeLimit);
}

// Between two looks at the file system each pass counts the frame it handed to the writer:
// after a still stretch (no rate seen) a burst of large frames ends the recording at the first
// pass after which one more worst-case frame would pass the limit or the free space last seen,
// without asking the file system again.
TEST_F(DiskBudgetTest, BetweenChecksEachPassCountsWhatItHanded) {
  constexpr uint64_t kKiB = 1024, kFrame = 600 * kKiB, kMargin = 512 * kKiB;
  struct Case {
    const char* what;
    uint64_t limit, free;
    DiskVerdict expected;
  } cases[] = {
      {"the size limit", 4 * kMiB, 500 * kMiB, DiskVerdict::SizeLimit},
      {"the free space", engine::kAviFileLimit, 4 * kMiB, DiskVerdict::DiskLow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine::ScopedAviFileLimit limit(c.limit);
    volumes_.freeByPrefix = {{scratch_.path(), c.free}};
    volumes_.asked = 0;
    DiskBudget budget(5.0, 1000);
    budget.WatchWriter(scratch_ / L"burst.avi");
    budget.SetFrameMargin(kMargin);
    ASSERT_TRUE(budget.Poll());
    const uint64_t room = std::min(c.limit, c.free);
    uint64_t handed = 0;
    for (int pass = 1; pass <= 10; ++pass) {
      clock_.Advance(20);
      budget.Handed(kFrame);
      budget.SetChunks(static_cast<uint64_t>(pass));
      handed += kFrame;
      const uint64_t chunks = (c.expected == DiskVerdict::SizeLimit ? pass * engine::kAviBytesPerChunk : 0);
      const bool oneMoreFits = handed + chunks + kMargin + engine::kAviBytesPerChunk + engine::kAviCloseReserve <= room;
      const engine::DiskCheck got = budget.Poll();
      EXPECT_EQ(static_cast<int>(got.verdict), static_cast<int>(oneMoreFits ? DiskVerdict::Ok : c.expected))
          << "pass " << pass << " with " << handed << " bytes handed";
      if (!oneMoreFits) break;
    }
    EXPECT_EQ(volumes_.asked, 1) << "the passes asked the file system";
  }
}

TEST(DiskBudgetVolume, SmallDiskBehindAFolderLink) {
  const char* small = std::getenv("RECLUME_SMALL_DISK");
  if (!small || !*small) GTEST_SKIP() << "RECLUME_SMALL_DISK names no folder";
  const std::string narrow(small);
  const std::wstring folder(narrow.begin(), narrow.end());
  const std::optional<uint64_t> linked = engine::FreeBytesOfVolume(folder);
  const std::optional<uint64_t> notYet = engine::FreeBytesOfVolume(folder + L"\\none\\yet.avi");
  const std::optional<uint64_t> drive = engine::FreeBytesOfVolume(L"C:\\");
  ASSERT_TRUE(linked && notYet && drive);
  EXPECT_LE(*linked, 30 * kMiB) << "got the free space of another volume";
  EXPECT_GT(*linked, 20 * kMiB);
  EXPECT_EQ(*notYet, *linked);
  EXPECT_NE(*drive, *linked);
}

}  // namespace
