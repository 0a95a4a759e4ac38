// One grab of the sound-less recorder over the pattern window: the pixels land where they
// are on screen, the cursor is drawn with its hotspot at the mouse position, and the bracket
// painter is asked for the grab colour before and the idle colour after.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "base/unique.h"
#include "engine/soundless/scrcamNS_capture.h"
#include "tests/support/pattern_window.h"

namespace {

struct CursorTraits {
  using Handle = HCURSOR;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyCursor(h); }
};

// The colour at (x, y) from the top of a 32-bit packed frame.
COLORREF FramePixel(const engine::PackedFrame& f, int x, int y) {
  const BYTE* p = f.pixels() + (f->biHeight - 1 - y) * f->biWidth * 4 + x * 4;
  return RGB(p[2], p[1], p[0]);
}

TEST(ScrCamNSCapture, DrawsTheCursorWithItsHotspotAtTheMouse) {
  testsupport::PatternWindow pattern;
  ASSERT_TRUE(pattern.Show(RECT{200, 200, 400, 360}));
  // A solid white 32 x 32 cursor whose hotspot is at (10, 12).
  std::vector<BYTE> andPlane(32 * 32 / 8, 0x00), xorPlane(32 * 32 / 8, 0xFF);
  base::Unique<CursorTraits> cursor(
      ::CreateCursor(::GetModuleHandleW(nullptr), 10, 12, 32, 32, andPlane.data(), xorPlane.data()));
  ASSERT_TRUE(cursor);
  scrcamNS::CaptureSettings settings;
  settings.bitsPerPixel = 32;
  settings.arrow = cursor.get();
  settings.arrowHotspot = scrcamNS::CursorHotspot(cursor.get());
  EXPECT_EQ(settings.arrowHotspot.x, 10);
  EXPECT_EQ(settings.arrowHotspot.y, 12);
  ASSERT_TRUE(::SetCursorPos(250, 240));  // (50, 40) inside the red quadrant

  std::vector<COLORREF> painted;
  engine::PackResult grab = scrcamNS::CaptureScreenFrame(200, 200, 200, 160, settings,
                                                         [&](COLORREF c) { painted.push_back(c); });
  ASSERT_TRUE(grab.frame);
  ASSERT_TRUE(grab.bitsRead);
  EXPECT_EQ(painted, (std::vector<COLORREF>{scrcamNS::kGrabColor, scrcamNS::kIdleColor}));
  const COLORREF white = RGB(255, 255, 255), red = RGB(255, 0, 0);
  struct Probe {
    int x, y;
    COLORREF color;
  } probes[] = {
      {40, 28, white}, {39, 28, red}, {40, 27, red},  // the cursor's top-left corner
      {71, 59, white}, {72, 59, red}, {71, 60, red},  // its bottom-right corner
      {150, 40, RGB(0, 255, 0)}, {50, 120, RGB(0, 0, 255)}, {150, 120, white},
  };
  for (const Probe& p : probes)
    EXPECT_EQ(FramePixel(grab.frame, p.x, p.y), p.color) << "at " << p.x << "," << p.y;

  settings.drawCursor = false;
  engine::PackResult plain = scrcamNS::CaptureScreenFrame(200, 200, 200, 160, settings, nullptr);
  ASSERT_TRUE(plain.frame);
  EXPECT_EQ(FramePixel(plain.frame, 50, 40), red) << "no cursor when it is not wanted";
  ::SetCursorPos(1910, 1070);
}

TEST(ScrCamNSCapture, RefusesSizesAFrameCannotHold) {
  scrcamNS::CaptureSettings settings;
  EXPECT_FALSE(scrcamNS::CaptureScreenFrame(0, 0, 0, 10, settings, nullptr).frame);
  EXPECT_FALSE(scrcamNS::CaptureScreenFrame(0, 0, 70000, 16000, settings, nullptr).frame);
}

}  // namespace
