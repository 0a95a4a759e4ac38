// The sound-less recorder and its disk: a recording that would outgrow an AVI 1.0 file (the
// limit lowered through its seam) ends as a stop, is saved whole and says why; a recording onto
// a small disk that fills (scrcamNS_disk.test.sh mounts one and names it in RECLUME_SMALL_DISK;
// without it that case is skipped) ends as an error stop with the recorder's message, before
// the disk is full, and keeps a file whose header matches what it holds (the shell side decodes
// it with ffprobe and ffmpeg).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/seams.h"
#include "engine/capture/disk_budget.h"
#include "engine/soundless/scrcamNS.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"
#include "tests/support/pattern_window.h"

namespace {

using scrcamNS::TScreenCamNS;
using namespace scrcamNStest;

const std::wstring kCreateFailed = L"创建视频文件时出错";

class ScrCamNSDisk : public testing::Test {
 protected:
  void SetUp() override {
    ::SetCursorPos(1910, 1070);
    ASSERT_TRUE(pass_.ok());
    ASSERT_TRUE(pattern_.Show(RECT{100, 100, 420, 340}));  // 320 x 240: 300 KB a raw frame
  }
  // Records the pattern raw at 32 bits, 10 frames a second (3 MB/s), until it ends by itself.
  void RecordUntilItEnds(TScreenCamNS& cam, const std::wstring& path) {
    cam.SetBitsPerPixel(32);
    cam.RefreshCompressors();
    const int index = FindCompressor(cam, testsupport::kPassThroughFourCC);
    ASSERT_GE(index, 0);
    cam.SetCompressorIndex(index);
    cam.SetKeyFrameEvery(1);
    cam.SetCaptureInterval(100);
    cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
    ASSERT_TRUE(WaitIdle(cam, 60000)) << "the recording did not end by itself";
  }
  // The file reads to its last position, every written frame in it.
  static void ExpectWhole(const std::wstring& path, int framesWritten) {
    const AviFacts avi = ReadAvi(path);
    ASSERT_TRUE(avi.ok);
    EXPECT_EQ(avi.length, static_cast<LONG>(avi.sizes.size()));
    EXPECT_EQ(std::count(avi.sizes.begin(), avi.sizes.end(), -1), 0) << "positions that cannot be read";
    EXPECT_EQ(avi.nonEmpty(), framesWritten);
    EXPECT_NE(DecodedPixel(path, avi.length - 1, 10, 10), CLR_INVALID) << "the last frame does not decode";
  }

  testsupport::ScopedPassThrough pass_{{.bitDepths = {32}}};
  testsupport::PatternWindow pattern_;
  ScratchFolder folder_;
};

TEST_F(ScrCamNSDisk, TheSizeLimitStopsAndSavesTheRecordingWhole) {
  constexpr uint64_t kLimit = 20u << 20;
  engine::ScopedAviFileLimit limit(kLimit);
  testsupport::ScriptedPrompter prompter{{}, IDOK};
  base::ScopedPrompter scoped(prompter);
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  const std::wstring path = folder_.Path(L"limit.avi");
  RecordUntilItEnds(cam, path);
  EXPECT_EQ(events.errors.load(), 0) << "a stop at the limit is no error";
  EXPECT_EQ(events.stops.load(), 1);
  const auto asked = prompter.asked();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].text.find(L"2 GB"), std::wstring::npos) << "the message says why";
  EXPECT_EQ(asked[0].flags & MB_ICONINFORMATION, static_cast<UINT>(MB_ICONINFORMATION));
  ASSERT_TRUE(FileExists(path));
  EXPECT_TRUE(cam.FileSaved());
  EXPECT_LT(engine::FileSizeOf(path), kLimit);
  EXPECT_GT(cam.FramesWritten(), 5);
  ExpectWhole(path, cam.FramesWritten());
}

// A still screen for a while (frames of a few bytes, so the once-a-second look sees almost no
// rate), then every block changing in every frame (MS Video 1's worst case, hundreds of KB a
// frame at 640 x 480, dozens a second) near the lowered limit: the recording stops before the
// frame that would pass it, and the file is whole and under the limit (the shell side reads it
// with ffprobe).
TEST_F(ScrCamNSDisk, ABurstOfMotionNearTheLimitStaysUnderIt) {
  constexpr uint64_t kLimit = 3u << 20;
  engine::ScopedAviFileLimit limit(kLimit);
  testsupport::ScriptedPrompter prompter{{}, IDOK};
  base::ScopedPrompter scoped(prompter);
  testsupport::PatternWindow screen;
  ASSERT_TRUE(screen.Show(RECT{600, 300, 1240, 780}));  // 640 x 480
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  cam.SetBitsPerPixel(32);
  cam.SetKeyFrameEvery(100000);  // one key frame: the still screen is skip codes
  cam.SetCaptureInterval(20);
  const std::wstring path = folder_.Path(L"burst.avi");
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(screen.hwnd()), path);
  // Past the first look at the disk and well into the second second.
  ASSERT_TRUE(base::PumpUntil([&] { return cam.FramesWritten() >= 60 || !cam.Recording(); }, 20000));
  ASSERT_TRUE(cam.Recording()) << "ended during the still stretch";
  const int still = cam.FramesWritten();
  for (uint32_t seed = 1; cam.Recording() && seed < 2000; ++seed) {
    screen.PaintNoise(seed);
    base::PumpUntil([] { return false; }, 10);
  }
  ASSERT_TRUE(WaitIdle(cam, 20000));
  EXPECT_EQ(events.errors.load(), 0) << "a stop at the limit is no error";
  ASSERT_TRUE(FileExists(path));
  EXPECT_TRUE(cam.FileSaved());
  EXPECT_GT(cam.FramesWritten(), still) << "no frame of the burst was written";
  const uint64_t size = engine::FileSizeOf(path);
  EXPECT_LT(size, kLimit) << "the file passed the limit: " << size << " bytes";
  ExpectWhole(path, cam.FramesWritten());
  WriteTextFile(path + L".frames", std::to_string(cam.FramesWritten()));
}

TEST_F(ScrCamNSDisk, ASmallDiskThatFillsEndsAsAnErrorStopAndKeepsTheFile) {
  const char* small = std::getenv("RECLUME_SMALL_DISK");
  if (!small || !*small) GTEST_SKIP() << "RECLUME_SMALL_DISK names no folder";
  const std::string narrow(small);
  const std::wstring path = std::wstring(narrow.begin(), narrow.end()) + L"\\full.avi";
  testsupport::ScriptedPrompter prompter{{}, IDYES};  // a Yes would ask for a retry: none comes
  base::ScopedPrompter scoped(prompter);
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  RecordUntilItEnds(cam, path);
  std::vector<std::wstring> asked;
  for (const auto& q : prompter.asked()) asked.push_back(q.text);
  // The disk named under the recorder's message.
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
  EXPECT_EQ(asked, std::vector<std::wstring>{kCreateFailed + L"\r\n磁盘空间不足：" + folder});
  EXPECT_EQ(events.errors.load(), 1);
  EXPECT_EQ(events.stops.load(), 1);
  ASSERT_TRUE(FileExists(path));
  EXPECT_TRUE(cam.FileSaved());
  EXPECT_GT(cam.FramesWritten(), 0);
  ExpectWhole(path, cam.FramesWritten());
  // For the shell side: the frames the file must hold.
  WriteTextFile(path + L".frames", std::to_string(cam.FramesWritten()));
}

}  // namespace
