// The sound-less recorder under Wine, over real windows: whole recordings at 8 bits through
// MRLE and at 32 bits through the pass-through compressor, the compressor list and fit, the
// default-compressor fallbacks and their questions, the frame-slot rule on an injected clock,
// stopping, and destroying the recorder mid-recording.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/seams.h"
#include "base/short_names.h"
#include "base/unique.h"
#include "engine/overlays/flashwnd.h"
#include "engine/soundless/scrcamNS.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/doubles.h"
#include "tests/support/object_counters.h"
#include "tests/support/passthrough_codec.h"
#include "tests/support/pattern_window.h"
#include "tests/support/scratch_folder.h"

namespace {

using scrcamNS::TScreenCamNS;
using namespace scrcamNStest;
using testsupport::kPassThroughFourCC;

constexpr DWORD kMRLE = mmioFOURCC('M', 'R', 'L', 'E');
const std::wstring kCreateFailed = L"创建视频文件时出错";
const std::wstring kAskDefault = L"用当前压缩器记录视频文件时出错，要用默认压缩器吗? ";

class ScrCamNS : public testing::Test {
 protected:
  void SetUp() override {
    ::SetCursorPos(1910, 1070);  // away from every recorded rectangle
  }

  // Shows the pattern at r and sets the recorder up for the pass-through compressor.
  void UsePassThrough(TScreenCamNS& cam) {
    cam.SetBitsPerPixel(32);
    cam.RefreshCompressors();
    int index = FindCompressor(cam, kPassThroughFourCC);
    ASSERT_GE(index, 0) << "pass-through compressor not listed";
    cam.SetCompressorIndex(index);
    cam.SetKeyFrameEvery(1);
  }

  // The recorder at 8 bits through MRLE, every frame a key frame.
  void UseMrle(TScreenCamNS& cam) {
    cam.SetBitsPerPixel(8);
    cam.RefreshCompressors();
    cam.SetCompressorIndex(FindCompressor(cam, kMRLE));
    cam.SetKeyFrameEvery(1);
  }

  bool RecordUntil(TScreenCamNS& cam, const std::wstring& path, int frames, DWORD timeoutMs = 20000) {
    cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
    bool reached = base::PumpUntil([&] { return cam.FramesWritten() >= frames || !cam.Recording(); }, timeoutMs);
    cam.StopRecording();
    return WaitIdle(cam) && reached;
  }

  testsupport::ScriptedPrompter prompter_{{}, IDNO};  // nothing may block on a real box
  base::ScopedPrompter scopedPrompter_{prompter_};
  testsupport::PatternWindow pattern_;
  ScratchFolder folder_;
};

// --- whole recordings (the shell test checks the same files with ffprobe) ---

struct FileCase {
  const wchar_t* name;
  int bits;
  DWORD codec;
};

class ScrCamNSFile : public ScrCamNS, public testing::WithParamInterface<FileCase> {};

TEST_P(ScrCamNSFile, RecordsThePatternAtTenFramesASecond) {
  const FileCase& c = GetParam();
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{120, 100, 440, 340}));  // 320 x 240
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  cam.SetBitsPerPixel(c.bits);
  cam.RefreshCompressors();
  int index = FindCompressor(cam, c.codec);
  ASSERT_GE(index, 0) << "compressor not listed at " << c.bits << " bits";
  cam.SetCompressorIndex(index);
  cam.SetKeyFrameEvery(1);
  cam.SetCaptureInterval(100);
  cam.SetFrameRate(10);
  const std::wstring path = folder_.Path(std::wstring(c.name) + L".avi");

  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
  EXPECT_TRUE(cam.Recording());
  ASSERT_TRUE(base::PumpUntil([&] { return cam.FramesWritten() >= 1 || !cam.Recording(); }, 10000));
  EXPECT_TRUE(::IsWindowVisible(cam.FlashWindow().hwnd())) << "brackets shown while recording";
  // About 3 s of recording: 30 slots.
  base::PumpUntil([&] { return cam.FramesWritten() >= 30 || !cam.Recording(); }, 20000);
  cam.StopRecording();
  ASSERT_TRUE(WaitIdle(cam));
  EXPECT_FALSE(::IsWindowVisible(cam.FlashWindow().hwnd())) << "brackets hidden after the recording";

  EXPECT_EQ(events.starts.load(), 1);
  EXPECT_EQ(events.writtenAtStart.load(), 0) << "OnStart comes before the first write";
  EXPECT_EQ(events.stops.load(), 1);
  EXPECT_EQ(events.errors.load(), 0);
  EXPECT_GE(events.progresses.load(), 4);
  EXPECT_TRUE(prompter_.asked().empty());
  EXPECT_EQ(cam.CodecFourCC(), cam.Compressor(index).fccHandler);
  EXPECT_EQ(cam.FrameWidth(), 320);
  EXPECT_EQ(cam.FrameHeight(), 240);
  ASSERT_GE(cam.FramesWritten(), 30);

  AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_EQ(avi.streams, 1);
  EXPECT_EQ(avi.width, 320);
  EXPECT_EQ(avi.height, 240);
  EXPECT_DOUBLE_EQ(avi.fps, 10.0);
  EXPECT_EQ(avi.nonEmpty(), cam.FramesWritten());
  EXPECT_EQ(avi.length, cam.FrameIndex() + 1);
  for (LONG pos : {0L, avi.length - 1}) {
    for (int q = 0; q < 4; ++q) {
      int x = (q % 2 ? 3 : 1) * 320 / 4, y = (q / 2 ? 3 : 1) * 240 / 4;
      EXPECT_EQ(DecodedPixel(path, pos, x, y), pattern_.ColorAt(x, y)) << "frame " << pos << " at " << x << "," << y;
    }
  }
  WriteTextFile(folder_.Path(std::wstring(c.name) + L".frames"), std::to_string(cam.FramesWritten()));
}

INSTANTIATE_TEST_SUITE_P(Depths, ScrCamNSFile,
                         testing::Values(FileCase{L"mrle8", 8, kMRLE}, FileCase{L"pass32", 32, kPassThroughFourCC}),
                         [](const testing::TestParamInfo<FileCase>& p) { return p.param.bits == 8 ? "Mrle8" : "Pass32"; });

// --- settings and the compressor list ---

TEST_F(ScrCamNS, DefaultsAndBounds) {
  TScreenCamNS cam;
  EXPECT_EQ(cam.CodecFourCC(), scrcamNS::kDefaultCodec);
  EXPECT_EQ(cam.CaptureInterval(), 100);
  EXPECT_EQ(cam.FrameRate(), 10);
  EXPECT_EQ(cam.KeyFrameEvery(), 5);
  EXPECT_EQ(cam.Quality(), 6550);
  EXPECT_EQ(cam.CompressorIndex(), -1);
  EXPECT_EQ(cam.CompressorCount(), 0);
  EXPECT_TRUE(cam.DrawCursor());
  EXPECT_TRUE(cam.ShowFlashFrame());
  EXPECT_FALSE(cam.FollowAreaControl());
  EXPECT_FALSE(cam.Recording());
  EXPECT_FALSE(cam.HasRecordThread());
  EXPECT_EQ(cam.DisplayWidth(), ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(cam.DisplayHeight(), ::GetSystemMetrics(SM_CYSCREEN));
  EXPECT_NE(cam.ArrowCursor(), nullptr);

  cam.SetCaptureInterval(0);
  EXPECT_EQ(cam.CaptureInterval(), 1);
  cam.SetCaptureInterval(-40);
  EXPECT_EQ(cam.CaptureInterval(), 1);
  cam.SetFrameRate(0);
  EXPECT_EQ(cam.FrameRate(), 1);
  cam.SetQuality(20000);
  EXPECT_EQ(cam.Quality(), 10000);
  cam.SetQuality(-1);
  EXPECT_EQ(cam.Quality(), 0);
  cam.SetBitsPerPixel(12);
  EXPECT_NE(cam.BitsPerPixel(), 12);
}

TEST_F(ScrCamNS, CompressorListHoldsWhatAcceptsTheScreenFormatOnce) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  TScreenCamNS cam;
  cam.SetBitsPerPixel(32);
  cam.RefreshCompressors();
  int count = 0;
  for (int i = 0; i < cam.CompressorCount(); ++i) {
    count += cam.Compressor(i).fccHandler == kPassThroughFourCC;
    EXPECT_LT(wcslen(cam.Compressor(i).szDescription), std::size(cam.Compressor(i).szDescription));
  }
  EXPECT_EQ(count, 1) << "the pass-through compressor is listed exactly once";
  int index = FindCompressor(cam, kPassThroughFourCC);
  EXPECT_STREQ(cam.Compressor(index).szDescription, L"Pass-through test compressor");
  EXPECT_EQ(FindCompressor(cam, kMRLE), -1) << "MRLE takes only 8-bit frames";
  cam.RefreshCompressors();  // refreshing again lists nothing twice
  EXPECT_EQ(FindCompressor(cam, kPassThroughFourCC), index);

  cam.SetBitsPerPixel(8);
  cam.RefreshCompressors();
  EXPECT_GE(FindCompressor(cam, kMRLE), 0);
  EXPECT_EQ(FindCompressor(cam, kPassThroughFourCC), -1) << "the pass-through takes only 32 bits here";

  // Indices at or past the count do nothing; the pass-through has neither dialog.
  bool about = true, configure = true;
  cam.CompressorFeatures(static_cast<BYTE>(cam.CompressorCount()), about, configure);
  EXPECT_FALSE(about);
  EXPECT_FALSE(configure);
  cam.CompressorAbout(200, nullptr);
  cam.CompressorConfigure(200, nullptr);
  cam.SetBitsPerPixel(32);
  cam.RefreshCompressors();
  about = configure = true;
  cam.CompressorFeatures(static_cast<BYTE>(FindCompressor(cam, kPassThroughFourCC)), about, configure);
  EXPECT_FALSE(about);
  EXPECT_FALSE(configure);
}

// --- the compressor fit ---

TEST_F(ScrCamNS, FitsTheRectangleToTheCompressor) {
  struct Case {
    int displayWidth, displayHeight;
    int width, height;
  } cases[] = {
      {0, 0, 644, 484},      // 641 x 481 grows to the next multiple of 4
      {642, 482, 640, 480},  // growing would pass the display: it shrinks
  };
  testsupport::ScopedPassThrough pass({.bitDepths = {32}, .widthMultiple = 4, .heightMultiple = 4});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 80, 741, 561}));  // 641 x 481
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "display " << c.displayWidth << "x" << c.displayHeight);
    TScreenCamNS cam;
    if (c.displayWidth) cam.SetDisplaySize(c.displayWidth, c.displayHeight);
    UsePassThrough(cam);
    const std::wstring path = folder_.Path(L"fit.avi");
    cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
    ASSERT_TRUE(base::PumpUntil([&] { return cam.FramesWritten() >= 2 || !cam.Recording(); }, 10000));
    // The brackets mark the fitted rectangle.
    EXPECT_EQ(cam.FlashWindow().AreaRight() - cam.FlashWindow().AreaLeft() + 1, c.width);
    EXPECT_EQ(cam.FlashWindow().AreaBottom() - cam.FlashWindow().AreaTop() + 1, c.height);
    cam.StopRecording();
    ASSERT_TRUE(WaitIdle(cam));
    EXPECT_EQ(cam.CodecFourCC(), kPassThroughFourCC);
    EXPECT_EQ(cam.FrameWidth(), c.width);
    EXPECT_EQ(cam.FrameHeight(), c.height);
    AviFacts avi = ReadAvi(path);
    ASSERT_TRUE(avi.ok);
    EXPECT_EQ(avi.width, c.width);
    EXPECT_EQ(avi.height, c.height);
    EXPECT_EQ(avi.sizes.at(0), c.width * c.height * 4);
  }
  EXPECT_TRUE(prompter_.asked().empty());
}

// Cases that end with the default compressor, made to refuse every format here (a refusing
// compressor installed in this process in place of the machine's 'MSVC'): the recording fails
// with the platform's message, and no unplayable file is left behind.
TEST_F(ScrCamNS, FallsBackToTheDefaultCompressor) {
  struct Case {
    const char* name;
    DWORD fourcc;
    bool refuseAfterListing;
    int index;  // -2: the listed index
  } cases[] = {
      {"refuses every size", kPassThroughFourCC, true, -2},
      {"index past the list", kPassThroughFourCC, false, 7},
      {"no compressor chosen", kPassThroughFourCC, false, -1},
  };
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 260, 220}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ScopedPassThrough pass({.bitDepths = {32}}, c.fourcc);
    ASSERT_TRUE(pass.ok());
    testsupport::ScopedPassThrough refusingDefault({.refuseAll = true}, scrcamNS::kDefaultCodec);
    ASSERT_TRUE(refusingDefault.ok());
    testsupport::ScriptedPrompter prompter;
    base::ScopedPrompter scoped(prompter);
    TScreenCamNS cam;
    EventLog events;
    events.Bind(cam);
    cam.SetBitsPerPixel(32);
    cam.RefreshCompressors();
    int listed = FindCompressor(cam, c.fourcc);
    ASSERT_GE(listed, 0);
    cam.SetCompressorIndex(c.index == -2 ? listed : c.index);
    if (c.refuseAfterListing) testsupport::InstallPassThrough({.refuseAll = true}, c.fourcc);
    const std::wstring path = folder_.Path(L"fallback.avi");
    cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
    ASSERT_TRUE(WaitIdle(cam));
    EXPECT_EQ(cam.CodecFourCC(), scrcamNS::kDefaultCodec);
    auto asked = prompter.asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, kCreateFailed);
    EXPECT_EQ(asked[0].caption, L"Error");
    EXPECT_EQ(events.errors.load(), 1);
    EXPECT_EQ(events.starts.load(), 0);
    EXPECT_EQ(events.stops.load(), 0);
    EXPECT_FALSE(FileExists(path)) << "a file that never got a frame is deleted";
  }
}

// Only a failing first frame is the compressor's failure and asks for the default compressor;
// a write that fails later ends the recording as an error stop and keeps the frames written,
// whatever the answer would have been (a retry would record over them from the start).
TEST_F(ScrCamNS, OnlyTheFirstWriteAsksForTheDefaultCompressor) {
  struct Case {
    const char* name;
    int failAtFrame;
    int answer;
    std::vector<std::wstring> asked;
    int errors;
    int framesKept;  // 0: no file
  } cases[] = {
      {"later write, no question", 3, IDYES, {kCreateFailed}, 1, 3},
      {"first write, No", 0, IDNO, {kAskDefault}, 1, 0},
      {"first write, Yes: the repeat with the default fails too", 0, IDYES, {kAskDefault, kCreateFailed}, 2, 0},
  };
  // The default compressor refuses too, so the repeat after a Yes fails.
  testsupport::ScopedPassThrough refusingDefault({.refuseAll = true}, scrcamNS::kDefaultCodec);
  ASSERT_TRUE(refusingDefault.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 260, 220}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ScopedPassThrough pass({.bitDepths = {32}, .failAtFrame = c.failAtFrame});
    ASSERT_TRUE(pass.ok());
    testsupport::ScriptedPrompter prompter({c.answer});
    base::ScopedPrompter scoped(prompter);
    TScreenCamNS cam;
    EventLog events;
    events.Bind(cam);
    cam.SetCaptureInterval(20);
    UsePassThrough(cam);
    const std::wstring path = folder_.Path(L"writeerror.avi");
    ::DeleteFileW(path.c_str());
    cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
    ASSERT_TRUE(WaitIdle(cam)) << "the recording ends by itself";
    std::vector<std::wstring> asked;
    for (const auto& q : prompter.asked()) asked.push_back(q.text);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(events.errors.load(), c.errors);
    EXPECT_EQ(events.starts.load(), 1);
    EXPECT_EQ(events.stops.load(), 1);
    EXPECT_EQ(FileExists(path), c.framesKept > 0);
    EXPECT_EQ(cam.FileSaved(), c.framesKept > 0);
    if (c.framesKept > 0) {
      AviFacts avi = ReadAvi(path);
      ASSERT_TRUE(avi.ok);
      EXPECT_EQ(avi.nonEmpty(), c.framesKept);
      EXPECT_EQ(cam.FramesWritten(), c.framesKept);
    }
  }
}

// --- the frame slots on an injected clock ---

// A clock the test sets by hand that counts how often it was read, so the test knows when a
// whole pass of the frame loop (which reads it at its start and its end) has seen a value.
class CountingClock : public base::Clock {
 public:
  uint32_t NowMs() override {
    ++reads_;
    return now_.load();
  }
  void Set(uint32_t ms) { now_ = ms; }
  int reads() const { return reads_.load(); }

 private:
  std::atomic<uint32_t> now_{5000};
  std::atomic<int> reads_{0};
};

TEST_F(ScrCamNS, FrameSlotsFollowTheClock) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 164, 148}));
  CountingClock clock;
  base::ScopedClock scopedClock(clock);
  TScreenCamNS cam;
  UsePassThrough(cam);
  cam.SetCaptureInterval(100);
  const std::wstring path = folder_.Path(L"slots.avi");
  struct Step {
    uint32_t elapsed;
    int index, written, dropped;
  } steps[] = {
      {0, 0, 1, 0},   {50, 0, 1, 0},  {150, 2, 2, 1}, {250, 2, 2, 1},
      {300, 3, 3, 1}, {600, 6, 4, 3}, {650, 6, 4, 3}, {750, 8, 5, 4},
  };
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "elapsed " << s.elapsed);
    clock.Set(5000 + s.elapsed);
    int seen = clock.reads();
    ASSERT_TRUE(base::PumpUntil([&] { return clock.reads() >= seen + 3 || !cam.Recording(); }, 10000));
    EXPECT_EQ(cam.FrameIndex(), s.index);
    EXPECT_EQ(cam.FramesWritten(), s.written);
    EXPECT_EQ(cam.FramesDropped(), s.dropped);
  }
  EXPECT_EQ(cam.StartTime(), 5000u);
  EXPECT_DOUBLE_EQ(cam.LastFrameSpan(), 150.0);  // 600 -> 750
  cam.StopRecording();
  ASSERT_TRUE(WaitIdle(cam));
  AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  ASSERT_EQ(avi.length, 9);
  std::vector<bool> filled;
  for (LONG size : avi.sizes) filled.push_back(size > 0);
  EXPECT_EQ(filled, (std::vector<bool>{true, false, true, true, false, false, true, false, true}));
}

// Passes that take far longer than the interval, on the real clock: the slots they missed are
// empty positions of the file, so it plays as long as the recording ran (25 fps, 40 ms a
// frame, passes of about 190 ms: a frame at about every fifth position, never a squeeze), and
// each frame sits at the slot of the time it was grabbed.
class SlowPasses : public TScreenCamNS::PassProbe {
 public:
  void GrabEnded() override { ::Sleep(190); }
  void Grabbed(uint32_t elapsed, int slot, bool written) override {
    if (!written) return;
    std::lock_guard<std::mutex> hold(lock_);
    slots_.push_back(slot);
    times_.push_back(elapsed);
  }
  std::vector<int> slots() const {
    std::lock_guard<std::mutex> hold(lock_);
    return slots_;
  }
  std::vector<uint32_t> times() const {
    std::lock_guard<std::mutex> hold(lock_);
    return times_;
  }

 private:
  mutable std::mutex lock_;
  std::vector<int> slots_;
  std::vector<uint32_t> times_;
};

TEST_F(ScrCamNS, SlowPassesLeaveTheSlotsTheyMissedEmpty) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 164, 148}));
  TScreenCamNS cam;
  UsePassThrough(cam);
  cam.SetCaptureInterval(40);
  cam.SetFrameRate(25);
  SlowPasses probe;
  cam.SetPassProbe(&probe);
  const std::wstring path = folder_.Path(L"slow.avi");
  ASSERT_TRUE(RecordUntil(cam, path, 10));
  const std::vector<int> slots = probe.slots();
  const std::vector<uint32_t> times = probe.times();
  ASSERT_GE(slots.size(), 10u);
  AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_DOUBLE_EQ(avi.fps, 25.0);
  ASSERT_EQ(avi.length, slots.back() + 1);
  std::vector<int> filled;
  for (LONG pos = 0; pos < avi.length; ++pos)
    if (avi.sizes[static_cast<size_t>(pos)] > 0) filled.push_back(static_cast<int>(pos));
  EXPECT_EQ(filled, slots) << "the frames are at the positions of their slots";
  for (size_t i = 0; i < slots.size(); ++i) {
    // A frame plays at its position's time: within half an interval of when it was grabbed.
    EXPECT_NEAR(slots[i] * 40.0, static_cast<double>(times[i]), 20.0) << "frame " << i;
    if (i > 0) {
      EXPECT_GE(slots[i] - slots[i - 1], 4) << "frame " << i << " follows the one before too closely";
    }
  }
}

// --- nothing is made per frame ---

// Takes the object counts at two passes well after the first, on the recording thread.
class CountingProbe : public TScreenCamNS::PassProbe {
 public:
  static constexpr int kFrom = 3, kTo = 13;
  void Grabbed(uint32_t, int, bool) override {
    const int n = ++passes_;
    if (n == kFrom) from_ = testsupport::ObjectCounters::Now();
    if (n == kTo) {
      to_ = testsupport::ObjectCounters::Now();
      done_ = true;
    }
  }
  bool done() const { return done_.load(); }
  testsupport::ObjectCounts made() const { return to_ - from_; }

 private:
  std::atomic<int> passes_{0};
  std::atomic<bool> done_{false};
  testsupport::ObjectCounts from_, to_;
};

TEST_F(ScrCamNS, PassesAfterTheFirstCreateNothing) {
  struct Case {
    const char* name;
    bool brackets, follow;
    RECT area;
  } cases[] = {
      {"brackets shown", true, false, RECT{100, 100, 420, 340}},
      {"brackets following a fixed window", true, true, RECT{100, 100, 420, 340}},
      {"no brackets", false, false, RECT{100, 100, 420, 340}},
  };
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(pattern_.Show(c.area));
    TScreenCamNS cam;
    UsePassThrough(cam);
    cam.SetCaptureInterval(20);
    cam.SetShowFlashFrame(c.brackets);
    cam.SetFollowAreaControl(c.follow);
    CountingProbe probe;
    cam.SetPassProbe(&probe);
    const std::wstring path = folder_.Path(L"objects.avi");
    testsupport::ObjectCounters counters;
    ASSERT_TRUE(counters.ok());
    cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
    // The main thread runs the brackets' paints meanwhile: they count too.
    ASSERT_TRUE(base::PumpUntil([&] { return probe.done() || !cam.Recording(); }, 10000));
    cam.StopRecording();
    ASSERT_TRUE(WaitIdle(cam));
    EXPECT_EQ(::IsWindowVisible(cam.FlashWindow().hwnd()), FALSE);
    const testsupport::ObjectCounts made = probe.made();
    EXPECT_EQ(made.total(), 0) << "over " << CountingProbe::kTo - CountingProbe::kFrom << " passes: " << made.dcs
                               << " DCs, " << made.gdiObjects << " GDI objects, " << made.globals
                               << " global blocks, " << made.events << " events, " << made.heap << " heap blocks";
    EXPECT_GE(ReadAvi(path).nonEmpty(), CountingProbe::kTo - 1);
  }
}

// --- starting, stopping, following and destroying ---

TEST_F(ScrCamNS, StopDuringALongSleepEndsWithinOneChunk) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 180, 160}));
  TScreenCamNS cam;
  UsePassThrough(cam);
  cam.SetCaptureInterval(20000);  // sleeps in chunks of 2 s
  const std::wstring path = folder_.Path(L"longsleep.avi");
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
  ASSERT_TRUE(base::PumpUntil([&] { return cam.FramesWritten() >= 1 || !cam.Recording(); }, 10000));
  DWORD stopAt = ::GetTickCount();
  cam.StopRecording();
  EXPECT_FALSE(cam.Recording());
  ASSERT_TRUE(WaitIdle(cam));
  DWORD latency = ::GetTickCount() - stopAt;
  EXPECT_LT(latency, 2000u) << "stop took " << latency << " ms";
  AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_EQ(avi.nonEmpty(), 1);
}

TEST_F(ScrCamNS, StopNeverWaitsForABusyMainThread) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 180, 160}));
  TScreenCamNS cam;
  UsePassThrough(cam);
  cam.SetCaptureInterval(10);
  const std::wstring path = folder_.Path(L"busymain.avi");
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
  ASSERT_TRUE(base::PumpUntil([&] { return cam.FramesWritten() >= 2 || !cam.Recording(); }, 10000));
  // From here the main thread runs no messages, so the thread's next bracket paint waits for
  // it; the pause makes sure the thread is in that wait when the stop comes.
  ::Sleep(100);
  cam.StopRecording();
  // The file is complete (AVIFile has let it go) without the main thread's help.
  DWORD start = ::GetTickCount();
  bool released = false;
  while (!released && ::GetTickCount() - start < 4000) {
    base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    released = static_cast<bool>(file);
    if (!released) ::Sleep(10);
  }
  EXPECT_TRUE(released) << "the recording thread waited for the main thread";
  ASSERT_TRUE(WaitIdle(cam));
  EXPECT_GE(ReadAvi(path).nonEmpty(), 2);
}

TEST_F(ScrCamNS, StartWhileAThreadStillRunsDoesNothing) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 180, 160}));
  TScreenCamNS cam;
  UsePassThrough(cam);
  // OnStop holds the thread until the test lets it go: it is still finishing its file.
  base::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<int> stops{0};
  cam.OnStop = [&](TScreenCamNS&) {
    ++stops;
    ::WaitForSingleObject(release.get(), 10000);
  };
  const std::wstring first = folder_.Path(L"first.avi"), second = folder_.Path(L"second.avi"),
                     third = folder_.Path(L"third.avi");
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), first);
  ASSERT_TRUE(base::PumpUntil([&] { return cam.FramesWritten() >= 1 || !cam.Recording(); }, 10000));
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), second);  // while recording
  cam.StopRecording();
  ASSERT_TRUE(base::PumpUntil([&] { return stops.load() == 1; }, 10000));
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), third);  // while finishing
  EXPECT_FALSE(cam.Recording());
  EXPECT_TRUE(cam.HasRecordThread());
  ::SetEvent(release.get());
  ASSERT_TRUE(WaitIdle(cam));
  EXPECT_TRUE(FileExists(first));
  EXPECT_FALSE(FileExists(second));
  EXPECT_FALSE(FileExists(third));
  EXPECT_EQ(stops.load(), 1);
  // Idle again: a new recording starts.
  cam.OnStop = nullptr;
  EXPECT_TRUE(RecordUntil(cam, third, 1));
  EXPECT_TRUE(FileExists(third));
}

TEST_F(ScrCamNS, BracketsAndFramesFollowTheAreaWindow) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 260, 220}));
  TScreenCamNS cam;
  UsePassThrough(cam);
  cam.SetFollowAreaControl(true);
  cam.SetCaptureInterval(50);
  const std::wstring path = folder_.Path(L"follow.avi");
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
  ASSERT_TRUE(base::PumpUntil([&] { return cam.FramesWritten() >= 1 || !cam.Recording(); }, 10000));
  EXPECT_EQ(cam.FlashWindow().AreaLeft(), 100);
  // Moved and resized: the recording follows the position and keeps its size.
  ::SetWindowPos(pattern_.hwnd(), nullptr, 500, 400, 200, 200, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(base::PumpUntil(
      [&] { return cam.FlashWindow().AreaLeft() == 500 && cam.FlashWindow().AreaTop() == 400; }, 10000));
  EXPECT_EQ(cam.FlashWindow().AreaRight(), 500 + 160 - 1);
  // Minimised, it reads as nowhere: the last position is kept.
  ::ShowWindow(pattern_.hwnd(), SW_MINIMIZE);
  int written = cam.FramesWritten();
  ASSERT_TRUE(base::PumpUntil([&] { return cam.FramesWritten() >= written + 3 || !cam.Recording(); }, 10000));
  EXPECT_EQ(cam.FlashWindow().AreaLeft(), 500);
  cam.StopRecording();
  ASSERT_TRUE(WaitIdle(cam));
  AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_EQ(avi.width, 160);
  EXPECT_EQ(avi.height, 120);
}

TEST_F(ScrCamNS, DestroyingMidRecordingLeavesACompleteFile) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 260, 220}));
  EventLog events;
  const std::wstring path = folder_.Path(L"destroyed.avi");
  int written = 0;
  {
    auto cam = std::make_unique<TScreenCamNS>();
    events.Bind(*cam);
    UsePassThrough(*cam);
    cam->SetCaptureInterval(50);
    cam->StartRecording(scrcamNS::MakeAreaSourceFor(pattern_.hwnd()), path);
    ASSERT_TRUE(base::PumpUntil([&] { return cam->FramesWritten() >= 3 || !cam->Recording(); }, 10000));
    cam.reset();  // returns once the file is complete
    EXPECT_EQ(events.stops.load(), 1);
    written = testsupport::PassThroughFramesCompressed();
  }
  // Nothing posted by the ended thread may touch the destroyed recorder.
  base::PumpUntil([] { return false; }, 200);
  AviFacts avi = ReadAvi(path);
  ASSERT_TRUE(avi.ok);
  EXPECT_GE(avi.nonEmpty(), 3);
  EXPECT_EQ(avi.nonEmpty(), written);
  EXPECT_EQ(events.errors.load(), 0);
}

TEST_F(ScrCamNS, AnAreaThatCannotBeReadFailsWithoutAFile) {
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  const std::wstring path = folder_.Path(L"noarea.avi");
  HWND gone = nullptr;
  {
    testsupport::PatternWindow temporary;
    ASSERT_TRUE(temporary.Show(RECT{10, 10, 50, 50}));
    gone = temporary.hwnd();
  }
  cam.StartRecording(scrcamNS::MakeWindowRectSource(gone), path);
  ASSERT_TRUE(WaitIdle(cam));
  EXPECT_EQ(events.errors.load(), 1);
  EXPECT_EQ(events.starts.load(), 0);
  EXPECT_FALSE(FileExists(path));
}

// The pattern's rectangle, given only once the test lets the recording go on: a stop made
// before that comes before the first frame.
class GatedArea : public scrcamNS::AreaSource {
 public:
  explicit GatedArea(const RECT& r) : rect_(r) {}
  bool CurrentArea(RECT& area) override {
    ::WaitForSingleObject(open_.get(), 10000);
    area = rect_;
    return true;
  }
  void Open() { ::SetEvent(open_.get()); }

 private:
  RECT rect_;
  base::UniqueHandle open_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// A recording stopped before its first frame leaves no file: neither a new one nor an older
// file of the name made into an empty recording.
TEST_F(ScrCamNS, AStopBeforeTheFirstFrameLeavesNoFile) {
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 260, 220}));
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  UseMrle(cam);
  const std::wstring path = folder_.Path(L"nothing.avi");
  auto area = std::make_shared<GatedArea>(pattern_.rect());
  cam.StartRecording(area, path);
  ASSERT_TRUE(cam.Recording());
  cam.StopRecording();
  area->Open();
  ASSERT_TRUE(WaitIdle(cam));
  EXPECT_EQ(cam.FramesWritten(), 0);
  EXPECT_EQ(events.errors.load(), 0);
  EXPECT_FALSE(cam.FileSaved());
  EXPECT_FALSE(FileExists(path)) << "a file without a frame was left";
  EXPECT_TRUE(prompter_.asked().empty());
}

DWORD WINAPI NoShortName(const wchar_t*, wchar_t*, DWORD) { return 0; }

// A target whose name the platform's AVI writer cannot take is recorded through a temporary
// file; when that cannot be copied into place (the target held by another program), the
// recording is kept under a recording name and the one message says where.
TEST_F(ScrCamNS, ADetourThatCannotBeCopiedIsKeptAndSaid) {
  ASSERT_TRUE(pattern_.Show(RECT{100, 100, 260, 220}));
  TScreenCamNS cam;
  EventLog events;
  events.Bind(cam);
  UseMrle(cam);
  const std::wstring folder = folder_.Path(L"录像\\");
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring path = folder + L"录像.avi";
  ASSERT_TRUE(testsupport::WriteBytes(path, "the user's older file"));
  base::UniqueFile held(
      ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  const base::ShortNameFunction previous = base::SetShortNameFunction(&NoShortName);
  const bool recorded = RecordUntil(cam, path, 3);
  base::SetShortNameFunction(previous);
  held.reset();
  ASSERT_TRUE(recorded);
  EXPECT_EQ(testsupport::ReadBytes(path), "the user's older file");
  const auto asked = prompter_.asked();
  ASSERT_EQ(asked.size(), 1u);
  const std::wstring& said = asked[0].text;
  const std::wstring marker = L"已保存在：";
  const size_t at = said.find(marker);
  ASSERT_NE(at, std::wstring::npos) << "the message does not say where the recording is";
  EXPECT_NE(said.find(path), std::wstring::npos) << "the message names the target it could not write";
  const std::wstring kept = said.substr(at + marker.size());
  const size_t slash = kept.find_last_of(L'\\');
  ASSERT_NE(slash, std::wstring::npos);
  EXPECT_EQ(kept.compare(slash + 1, 18, L"Reclume recording "), 0) << "not kept under a recording name";
  const AviFacts avi = ReadAvi(kept);
  EXPECT_TRUE(avi.ok);
  EXPECT_EQ(avi.nonEmpty(), cam.FramesWritten()) << "the kept recording holds every frame";
  EXPECT_FALSE(FileExists(kept.substr(0, slash + 1) + L"qivnstmp.avi")) << "the detour file is left to be overwritten";
  ::DeleteFileW(kept.c_str());
}

TEST_F(ScrCamNS, MaximisedWindowRecordsItsWorkArea) {
  base::UniqueWindow wnd(::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                           nullptr, nullptr, nullptr));
  ASSERT_TRUE(wnd);
  ::ShowWindow(wnd.get(), SW_SHOWMAXIMIZED);
  ASSERT_TRUE(::IsZoomed(wnd.get()));
  MONITORINFO info{};
  info.cbSize = sizeof info;
  ::GetMonitorInfoW(::MonitorFromWindow(wnd.get(), MONITOR_DEFAULTTONEAREST), &info);
  auto source = scrcamNS::MakeAreaSourceFor(wnd.get());
  ::ShowWindow(wnd.get(), SW_MINIMIZE);  // fixed for the recording, whatever the window does
  RECT area{};
  ASSERT_TRUE(source->CurrentArea(area));
  EXPECT_TRUE(::EqualRect(&area, &info.rcWork));
  EXPECT_FALSE(scrcamNS::MakeWindowRectSource(wnd.get())->CurrentArea(area)) << "a minimised window gives no area";
}

}  // namespace
