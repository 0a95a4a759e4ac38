// The sound-less recorder with its default settings (no compressor chosen, so the machine's
// default 'MSVC'; a key frame every 5; quality 6550) at 8, 16, 24 and 32 bits: the recording
// succeeds without a question and every frame decodes to the pattern's colours. The shell test
// scrcamNS_msvc.test.sh checks the same files with ffprobe and ffmpeg's own decoder.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <string>

#include "base/dispatch.h"
#include "base/seams.h"
#include "engine/soundless/scrcamNS.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/doubles.h"
#include "tests/support/pattern_window.h"

namespace {

using scrcamNS::TScreenCamNS;
using namespace scrcamNStest;

class ScrCamNSDefaultCodec : public testing::TestWithParam<int> {
 protected:
  void SetUp() override { ::SetCursorPos(1910, 1070); }
  testsupport::ScriptedPrompter prompter_{{}, IDNO};
  base::ScopedPrompter scopedPrompter_{prompter_};
  testsupport::PatternWindow pattern_;
  ScratchFolder folder_;
};

TEST_P(ScrCamNSDefaultCodec, RecordsThePatternWithTheDefaults) {
  const int bits = GetParam();
  ASSERT_TRUE(pattern_.Show(RECT{200, 160, 520, 400}));  // 320 x 240
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  cam.SetBitsPerPixel(bits);
  ASSERT_EQ(cam.CompressorIndex(), -1);
  ASSERT_EQ(cam.KeyFrameEvery(), 5);
  // The options dialog's list offers the default compressor at this depth too, once.
  cam.RefreshCompressors();
  const int listed = FindCompressor(cam, scrcamNS::kDefaultCodec);
  ASSERT_GE(listed, 0);
  EXPECT_STREQ(cam.Compressor(listed).szDescription, L"Reclume MS Video 1 compressor");
  int count = 0;
  for (int i = 0; i < cam.CompressorCount(); ++i) count += FindCompressor(cam, cam.Compressor(i).fccHandler) == listed;
  EXPECT_EQ(count, 1);
  const std::wstring path = folder_.Path(L"msvc" + std::to_wstring(bits) + L".avi");
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
  // About 2 s at the default 10 frames a second: key frames and delta frames.
  base::PumpUntil([&] { return cam.FramesWritten() >= 20 || !cam.Recording(); }, 20000);
  cam.StopRecording();
  ASSERT_TRUE(WaitIdle(cam));

  EXPECT_TRUE(prompter_.asked().empty()) << "asked: " << (prompter_.asked().empty() ? "" : "a question");
  EXPECT_EQ(events.errors.load(), 0);
  EXPECT_EQ(events.starts.load(), 1);
  EXPECT_EQ(cam.CodecFourCC(), scrcamNS::kDefaultCodec);
  ASSERT_GE(cam.FramesWritten(), 20);

  AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_EQ(avi.width, 320);
  EXPECT_EQ(avi.height, 240);
  EXPECT_DOUBLE_EQ(avi.fps, 10.0);
  EXPECT_EQ(avi.nonEmpty(), cam.FramesWritten()) << "an unchanged frame is a frame of skip codes, not an empty one";
  for (LONG pos : {0L, 1L, avi.length - 1}) {
    for (int q = 0; q < 4; ++q) {
      int x = (q % 2 ? 3 : 1) * 320 / 4, y = (q / 2 ? 3 : 1) * 240 / 4;
      EXPECT_EQ(DecodedPixel(path, pos, x, y), pattern_.ColorAt(x, y)) << "frame " << pos << " at " << x << "," << y;
    }
  }
  WriteTextFile(folder_.Path(L"msvc" + std::to_wstring(bits) + L".frames"), std::to_string(cam.FramesWritten()));
}

// An area whose sides are not multiples of 4 (401 x 303): the default compressor takes only
// whole 4 x 4 blocks, so the rectangle is fitted to 404 x 304 without a question, and every
// pixel of the area is coded where it is (the shell test decodes it with ffmpeg).
TEST_F(ScrCamNSDefaultCodec, FitsAnOddAreaToWholeBlocks) {
  // A white backdrop under the fitted rectangle's extra column and row: every block then holds
  // at most two colours and comes back exact, the area's edges included.
  testsupport::PatternWindow backdrop;
  ASSERT_TRUE(backdrop.Show(RECT{190, 150, 620, 480}));
  backdrop.SetSolid(RGB(255, 255, 255));
  ASSERT_TRUE(pattern_.Show(RECT{200, 160, 601, 463}));  // 401 x 303
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  cam.SetBitsPerPixel(32);
  const std::wstring path = folder_.Path(L"odd.avi");
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
  base::PumpUntil([&] { return cam.FramesWritten() >= 5 || !cam.Recording(); }, 20000);
  cam.StopRecording();
  ASSERT_TRUE(WaitIdle(cam));
  EXPECT_TRUE(prompter_.asked().empty());
  EXPECT_EQ(events.errors.load(), 0);
  EXPECT_EQ(cam.CodecFourCC(), scrcamNS::kDefaultCodec);
  EXPECT_EQ(cam.FrameWidth(), 404);
  EXPECT_EQ(cam.FrameHeight(), 304);
  AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_EQ(avi.width, 404);
  EXPECT_EQ(avi.height, 304);
  // The area's corners, its last column and row included, show the pattern.
  for (POINT p : {POINT{0, 0}, POINT{400, 0}, POINT{0, 302}, POINT{400, 302}, POINT{199, 150}, POINT{200, 151}})
    EXPECT_EQ(DecodedPixel(path, avi.length - 1, p.x, p.y), pattern_.ColorAt(p.x, p.y)) << p.x << "," << p.y;
  WriteTextFile(folder_.Path(L"odd.frames"), std::to_string(cam.FramesWritten()));
}

INSTANTIATE_TEST_SUITE_P(Depths, ScrCamNSDefaultCodec, testing::Values(8, 16, 24, 32),
                         [](const testing::TestParamInfo<int>& p) { return "Bits" + std::to_string(p.param); });

}  // namespace
