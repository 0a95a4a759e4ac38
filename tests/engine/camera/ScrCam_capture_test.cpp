// The screen camera's frame over the pattern window: the quadrants at every mode, depth and
// filter, the current cursor at its hotspot, the overlay before and after the effects, each
// effect against the effects library called on the plain grab, grey scale against the
// luminance, quarter turns of an area that is not square, the packer's failure through the
// allocation seam, and the split of an elapsed time.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/unique.h"
#include "engine/camera/ScrCam.h"
#include "engine/effects/scEffects.h"
#include "engine/capture/screen_grab.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/doubles.h"
#include "tests/support/object_counters.h"
#include "tests/support/pattern_window.h"

namespace {

using engine::TBitmap;
using engine::TPixelFormat;
using ScrCam::FrameCapturer;
using ScrCam::TScreenCamera;

constexpr RECT kArea{100, 100, 400, 300};  // 300 x 200
constexpr int kW = 300, kH = 200;

COLORREF BitmapPixel(const TBitmap& b, int x, int y) {
  TBitmap wide;
  wide.Reset(b.Width(), b.Height(), TPixelFormat::pf32bit);
  engine::CopyPixels(b, RECT{0, 0, b.Width(), b.Height()}, wide, RECT{0, 0, b.Width(), b.Height()});
  const uint8_t* p = wide.ScanLine(y) + x * 4;
  return RGB(p[2], p[1], p[0]);
}

// The colour at (x, y) from the top of a packed frame of 8, 24 or 32 bits.
COLORREF FramePixel(const BITMAPINFOHEADER* f, int x, int y) {
  const BYTE* pixels = engine::PackedFramePixels(f);
  const size_t stride = engine::PackedRowSize(f->biWidth, f->biBitCount);
  const BYTE* row = pixels + (f->biHeight - 1 - y) * stride;
  if (f->biBitCount == 8) {
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(f) + f->biSize);
    const RGBQUAD c = table[row[x]];
    return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
  }
  const BYTE* p = row + x * (f->biBitCount / 8);
  return RGB(p[2], p[1], p[0]);
}

COLORREF Inverted(COLORREF c) { return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)); }

class ScrCamCapture : public testing::Test {
 protected:
  void SetUp() override {
    ::SetCursorPos(1910, 1070);  // away from the area
    ASSERT_TRUE(pattern_.Show(kArea));
    cam_.RecordCursor = false;
  }
  BITMAPINFOHEADER* Capture(int mode, TBitmap* bitmap, int filter = 0) {
    return cam_.CaptureFrame(capturer_, mode, bitmap, kArea.left, kArea.top, kW, kH, filter);
  }
  // The plain 32-bit grab, as a bitmap.
  TBitmap Plain() {
    TBitmap b;
    Capture(0, &b);
    return b;
  }

  // A recording's question 3 is answered Yes: the default compressor records.
  testsupport::ScriptedPrompter prompter_{{}, IDYES};
  base::ScopedPrompter scopedPrompter_{prompter_};
  scrcamNStest::ScratchFolder folder_;
  testsupport::PatternWindow pattern_;
  TScreenCamera cam_;
  FrameCapturer capturer_;
};

TEST_F(ScrCamCapture, QuadrantsAtEveryModeDepthAndFilter) {
  const POINT centres[4] = {{75, 50}, {225, 50}, {75, 150}, {225, 150}};
  for (TPixelFormat format : {TPixelFormat::pf32bit, TPixelFormat::pf24bit, TPixelFormat::pf8bit}) {
    cam_.SetColors(format);
    for (int filter : {0, 1}) {
      for (int mode : {0, 1, 2}) {
        TBitmap bitmap;
        BITMAPINFOHEADER* frame = Capture(mode, &bitmap, filter);
        const std::string where = "bits " + std::to_string(cam_.BitsPerPixel()) + " filter " +
                                  std::to_string(filter) + " mode " + std::to_string(mode);
        EXPECT_EQ(frame != nullptr, mode != 0) << where;
        EXPECT_EQ(!bitmap.Empty(), mode != 1) << where;
        if (frame) {
          EXPECT_EQ(frame->biBitCount, cam_.BitsPerPixel()) << where;
          EXPECT_EQ(frame->biWidth, kW) << where;
          EXPECT_EQ(frame->biHeight, kH) << where;
        }
        if (!bitmap.Empty()) {
          EXPECT_EQ(bitmap.PixelFormat(), format) << where;
        }
        for (int q = 0; q < 4; ++q) {
          const COLORREF want = filter ? Inverted(testsupport::kPatternColors[q]) : testsupport::kPatternColors[q];
          if (frame) {
            EXPECT_EQ(FramePixel(frame, centres[q].x, centres[q].y), want) << where << " quadrant " << q;
          }
          if (!bitmap.Empty()) {
            // An 8-bit bitmap has its own colour table, whose black is (6, 6, 6).
            const COLORREF got = BitmapPixel(bitmap, centres[q].x, centres[q].y);
            const int slack = format == TPixelFormat::pf8bit ? 8 : 0;
            EXPECT_NEAR(GetRValue(got), GetRValue(want), slack) << where << " bitmap quadrant " << q;
            EXPECT_NEAR(GetGValue(got), GetGValue(want), slack) << where << " bitmap quadrant " << q;
            EXPECT_NEAR(GetBValue(got), GetBValue(want), slack) << where << " bitmap quadrant " << q;
          }
        }
      }
    }
  }
}

int DifferingPixels(const TBitmap& a, const TBitmap& b) {
  int differ = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (std::memcmp(a.ScanLine(y) + x * 4, b.ScanLine(y) + x * 4, 3) != 0) ++differ;
  return differ;
}

// The cursor the system shows now (under Wine: the foreground thread's) is drawn at the
// mouse position minus its hotspot: the frame equals the plain grab with that cursor drawn
// there.
struct CursorTraits {
  using Handle = HCURSOR;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyCursor(h); }
};

TEST_F(ScrCamCapture, TheCurrentCursorAtItsHotspotUnlessOffOrHidden) {
  // A solid white 32 x 32 cursor whose hotspot is at (10, 12), made the current one of this
  // thread, which owns the foreground window.
  std::vector<BYTE> andPlane(32 * 32 / 8, 0x00), xorPlane(32 * 32 / 8, 0xFF);
  base::Unique<CursorTraits> white(
      ::CreateCursor(::GetModuleHandleW(nullptr), 10, 12, 32, 32, andPlane.data(), xorPlane.data()));
  ASSERT_TRUE(white);
  ::SetForegroundWindow(pattern_.hwnd());
  ASSERT_TRUE(::SetCursorPos(kArea.left + 50, kArea.top + 40));
  CURSORINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(base::PumpUntil(
      [&] {
        ::SetCursor(white.get());
        return ::GetCursorInfo(&info) && info.ptScreenPos.x == kArea.left + 50 && info.hCursor == white.get();
      },
      2000))
      << "the test cursor did not become the current one";
  ASSERT_EQ(info.flags, static_cast<DWORD>(CURSOR_SHOWING));
  const POINT hotspot = engine::CursorHotspot(info.hCursor);

  const TBitmap plain = Plain();
  TBitmap expected = Plain();
  ASSERT_TRUE(::DrawIcon(expected.DC(), 50 - hotspot.x, 40 - hotspot.y, info.hCursor));
  ::GdiFlush();
  cam_.RecordCursor = true;
  TBitmap got;
  Capture(0, &got);
  EXPECT_EQ(DifferingPixels(got, plain), 32 * 32) << "no cursor drawn";
  EXPECT_EQ(DifferingPixels(got, expected), 0) << "the cursor is not at the mouse minus its hotspot";

  cam_.RecordCursor = false;
  Capture(0, &got);
  EXPECT_EQ(DifferingPixels(got, plain), 0) << "drawn with RecordCursor off";

  cam_.RecordCursor = true;
  ::ShowCursor(FALSE);
  CURSORINFO hidden{};
  hidden.cbSize = sizeof hidden;
  ::GetCursorInfo(&hidden);
  Capture(0, &got);
  ::ShowCursor(TRUE);
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  ::SetCursorPos(1910, 1070);
  cam_.RecordCursor = false;
  if (hidden.flags != CURSOR_SHOWING) {
    EXPECT_EQ(DifferingPixels(got, plain), 0) << "a hidden cursor was drawn";
  }
}

TEST_F(ScrCamCapture, OverlayBeforeTheEffectsIsInvertedWithTheScreen) {
  cam_.OvelayDrawing = true;
  cam_.OnOverlay = [](TScreenCamera&, HDC dc, int width, int height) {
    EXPECT_EQ(width, kW);
    EXPECT_EQ(height, kH);
    RECT r{10, 10, 30, 30};
    ::FillRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  };
  for (bool before : {true, false}) {
    cam_.EffectToOvelayDraw = before;
    BITMAPINFOHEADER* frame = Capture(1, nullptr, 1);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(FramePixel(frame, 20, 20), before ? RGB(0, 0, 0) : RGB(255, 255, 255)) << "before " << before;
    EXPECT_EQ(FramePixel(frame, 50, 50), RGB(0, 255, 255)) << "the inverted red around it";
  }
  cam_.OvelayDrawing = false;
  EXPECT_EQ(FramePixel(Capture(1, nullptr, 1), 20, 20), RGB(0, 255, 255)) << "drawn with OvelayDrawing off";
}

// Each effect switched on alone gives what the effects library gives on the plain grab.
TEST_F(ScrCamCapture, EachEffectEqualsTheLibraryOnThePlainGrab) {
  cam_.EffectSaturation = 100;
  cam_.EffectRedValue = 40, cam_.EffectGreenValue = -30, cam_.EffectBlueValue = 10;
  cam_.EffectBrightness = -60;
  cam_.EffectContrast = 50;
  using ScrCam::TScreenRotate;
  struct Case {
    const char* name;
    std::atomic<bool> TScreenCamera::*on;
    TScreenRotate rotate;
    std::function<void(engine::TEffects&, TBitmap& plain, TBitmap& out)> expected;
  };
  const Case cases[] = {
      {"saturation", &TScreenCamera::UseSaturation, TScreenRotate::R90D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) {
         fx.Saturation(p, engine::AllChannels, 155);
         o.Assign(p);
       }},
      {"colour", &TScreenCamera::UseColorAdjusting, TScreenRotate::R90D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) {
         fx.AddColor(p, engine::AllChannels, engine::NoChannels, engine::MakeChannelValues(40, -30, 10, 0));
         o.Assign(p);
       }},
      {"brightness", &TScreenCamera::UseBrightness, TScreenRotate::R90D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) {
         fx.AddColor(p, engine::AllChannels, engine::NoChannels, engine::MakeChannelValues(-60, -60, -60, 0));
         o.Assign(p);
       }},
      {"contrast", &TScreenCamera::UseContrast, TScreenRotate::R90D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) {
         fx.Contrast(p, engine::AllChannels, engine::MakeChannelValues(50, 50, 50, 0));
         o.Assign(p);
       }},
      {"R90D", &TScreenCamera::UseRotateImage, TScreenRotate::R90D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) { fx.Rotate(p, o, std::numbers::pi / 2); }},
      {"R180D", &TScreenCamera::UseRotateImage, TScreenRotate::R180D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) { fx.Rotate180(p, o); }},
      {"R270D", &TScreenCamera::UseRotateImage, TScreenRotate::R270D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) { fx.Rotate(p, o, 3 * std::numbers::pi / 2); }},
      {"Mirror0D", &TScreenCamera::UseRotateImage, TScreenRotate::Mirror0D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) { fx.MirrorHorizontal(p, o); }},
      {"Mirror180D", &TScreenCamera::UseRotateImage, TScreenRotate::Mirror180D,
       [](engine::TEffects& fx, TBitmap& p, TBitmap& o) { fx.FlipVertical(p, o); }},
  };
  TBitmap plain = Plain();
  for (const Case& c : cases) {
    cam_.*c.on = true;
    cam_.EffectScreenRotate = c.rotate;
    TBitmap got;
    Capture(0, &got);
    cam_.*c.on = false;
    ASSERT_EQ(got.Width(), kW) << c.name;
    ASSERT_EQ(got.Height(), kH) << c.name;

    engine::TEffects fx;
    fx.SetPixelSize(TPixelFormat::pf32bit);
    TBitmap source, out;
    source.Assign(plain);
    out.Assign(plain);
    c.expected(fx, source, out);
    int wrong = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        // What the effect leaves outside the frame's area is black (a quarter turn).
        COLORREF want = RGB(0, 0, 0);
        if (x < out.Width() && y < out.Height()) {
          const uint8_t* p = out.ScanLine(y) + x * 4;
          want = RGB(p[2], p[1], p[0]);
        }
        const uint8_t* g = got.ScanLine(y) + x * 4;
        if (RGB(g[2], g[1], g[0]) != want && wrong++ == 0) firstX = x, firstY = y;
      }
    }
    EXPECT_EQ(wrong, 0) << c.name << ": first difference at " << firstX << "," << firstY;
  }
}

TEST_F(ScrCamCapture, GreyScaleFollowsTheLuminance) {
  cam_.GrayScale = true;
  TBitmap got;
  Capture(0, &got);
  const POINT centres[4] = {{75, 50}, {225, 50}, {75, 150}, {225, 150}};
  for (int q = 0; q < 4; ++q) {
    const COLORREF c = testsupport::kPatternColors[q];
    const double luma = 0.299 * GetRValue(c) + 0.587 * GetGValue(c) + 0.114 * GetBValue(c);
    const COLORREF g = BitmapPixel(got, centres[q].x, centres[q].y);
    EXPECT_EQ(GetRValue(g), GetGValue(g)) << "quadrant " << q;
    EXPECT_EQ(GetGValue(g), GetBValue(g)) << "quadrant " << q;
    EXPECT_NEAR(GetRValue(g), luma, 3.0) << "quadrant " << q;
  }
}

HGLOBAL NoMemory(int, int, int) { return nullptr; }
// A real block that was discarded (reallocated to no bytes): GlobalLock refuses it.
HGLOBAL DiscardedBlock(int width, int height, int bits) {
  HGLOBAL block = engine::AllocPackedBlock(width, height, bits);
  return block ? ::GlobalReAlloc(block, 0, GMEM_MOVEABLE) : nullptr;
}

TEST(PackedBlock, ADiscardedBlockDoesNotLock) {
  HGLOBAL block = DiscardedBlock(8, 8, 32);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(::GlobalLock(block), nullptr);
  EXPECT_EQ(::GlobalFree(block), nullptr);
}

// A frame that cannot be had, by the step that failed: the failure's text, and a recording
// stopped as an error; the next capture with memory works again.
TEST_F(ScrCamCapture, ThePackerFailureStopsOnlyARecording) {
  const struct {
    const char* name;
    ScrCam::FrameCapturer::Allocator allocate;
    const wchar_t* text;
  } cases[] = {
      {"no memory", NoMemory, L"Unable to allocate memory for image"},
      {"a block that will not lock", DiscardedBlock, L"Unable to lock image handle at memory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::wstring> errors;
    std::atomic<int> stops{0};
    cam_.OnError = [&](TScreenCamera&, const std::wstring& text) { errors.push_back(text); };
    cam_.OnStop = [&](TScreenCamera&) { ++stops; };
    // A capturer of its own: one that holds a frame of the size would not allocate again.
    FrameCapturer capturer;
    capturer.SetAllocator(c.allocate);
    auto capture = [&] { return cam_.CaptureFrame(capturer, 1, nullptr, kArea.left, kArea.top, kW, kH, 0); };

    EXPECT_EQ(capture(), nullptr);
    EXPECT_TRUE(ScrCam::CaptureFailed.load());
    EXPECT_EQ(errors, std::vector<std::wstring>{c.text});
    EXPECT_EQ(stops.load(), 0) << "no recording to stop";

    ScrCam::StopStatus = ScrCam::kStopUser;
    cam_.ScreenRegion = ScrCam::TScreenRegion::FixedStable;
    cam_.MinimizeAppOnStart = false;
    ASSERT_TRUE(cam_.StartRecording(folder_.Path(L"a.avi")));
    // A capture of another capturer (the compressor listing's) is only reported.
    EXPECT_EQ(capture(), nullptr);
    EXPECT_TRUE(cam_.Recording);
    EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1], c.text);
    // The recording's own capturer stops it.
    capturer.MarkRecording();
    EXPECT_EQ(capture(), nullptr);
    EXPECT_FALSE(cam_.Recording);
    EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopError);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[2], c.text);
    // The timer is switched off on the main thread; the record thread raises its own OnStop.
    ASSERT_TRUE(base::PumpUntil([&] { return !cam_.HasRecordThread() && !cam_.FrameTimer()->Enabled(); }, 5000));
    EXPECT_EQ(stops.load(), 2);

    capturer.SetAllocator(engine::AllocPackedBlock);
    EXPECT_NE(capture(), nullptr);
    EXPECT_FALSE(ScrCam::CaptureFailed.load());
  }
}

// A recording calls CaptureFrame once per frame with the same capturer: once the first frames
// have set its bitmaps up, the effects and turns make nothing more.
TEST_F(ScrCamCapture, EffectsAndTurnsMakeNothingAfterTheFirstFrames) {
  using ScrCam::TScreenRotate;
  cam_.UseNoise = true;
  cam_.EffectNoise = 30;
  cam_.UseSaturation = true;
  cam_.EffectSaturation = 100;
  cam_.UseRotateImage = true;
  for (TScreenRotate rotate : {TScreenRotate::R90D, TScreenRotate::R270D, TScreenRotate::Mirror0D}) {
    cam_.EffectScreenRotate = rotate;
    FrameCapturer capturer;
    auto capture = [&] { return cam_.CaptureFrame(capturer, 1, nullptr, kArea.left, kArea.top, kW, kH, 0); };
    for (int i = 0; i < 3; ++i) ASSERT_NE(capture(), nullptr);
    testsupport::ObjectCounters counters;
    ASSERT_TRUE(counters.ok());
    for (int i = 0; i < 10; ++i) ASSERT_NE(capture(), nullptr);
    const testsupport::ObjectCounts made = testsupport::ObjectCounters::Now();
    EXPECT_EQ(made.total(), 0) << "rotation " << static_cast<int>(rotate) << ": " << made.dcs << " DCs, "
                               << made.gdiObjects << " GDI objects, " << made.globals << " global blocks, "
                               << made.heap << " heap blocks";
  }
}

TEST(ScrCamElapsed, SplitsAsTheDisplayShowsIt) {
  struct Case {
    double ms;
    int h, m, s, millis;
    const wchar_t* text;
  } cases[] = {
      {3723456, 1, 2, 3, 456, L"1 : 2 : 3 : 456"}, {65230, 0, 1, 5, 23, L"0 : 1 : 5 : 23"},
      {1000, 0, 0, 1, 0, L"0 : 0 : 1 : 0"},        {250, 0, 0, 0, 25, L"0 : 0 : 0 : 25"},
      {500, 0, 0, 0, 5, L"0 : 0 : 0 : 5"},         {50, 0, 0, 0, 5, L"0 : 0 : 0 : 5"},
      {5, 0, 0, 0, 5, L"0 : 0 : 0 : 5"},           {125, 0, 0, 0, 125, L"0 : 0 : 0 : 125"},
      {0, 0, 0, 0, 0, L"0 : 0 : 0 : 0"},
  };
  for (const Case& c : cases) {
    const ScrCam::TElapsedTime t = ScrCam::SplitElapsedTime(c.ms);
    EXPECT_EQ(t.Hours, c.h) << c.ms;
    EXPECT_EQ(t.Minutes, c.m) << c.ms;
    EXPECT_EQ(t.Seconds, c.s) << c.ms;
    EXPECT_EQ(t.Millis, c.millis) << c.ms;
    EXPECT_EQ(ScrCam::ElapsedTimeText(t), c.text) << c.ms;
  }
}

}  // namespace
