// One grab of the sound-less recorder over the shared grab path: a screen rectangle copied
// into a bitmap, the arrow cursor drawn in, and the bitmap packed at the recorder's depth.
#pragma once

#include <windows.h>

#include <functional>

#include "base/unique.h"
#include "engine/capture/packed_frame.h"
#include "engine/capture/screen_grab.h"

namespace scrcamNS {

inline constexpr COLORREF kGrabColor = RGB(255, 255, 180);  // brackets while a frame is grabbed
inline constexpr COLORREF kIdleColor = RGB(0, 255, 80);     // brackets between grabs

struct CaptureSettings {
  int bitsPerPixel = 32;
  bool drawCursor = true;
  HCURSOR arrow = nullptr;
  POINT arrowHotspot{0, 0};  // subtracted from the cursor position
};

// Called with kGrabColor before the grab and kIdleColor after it; may be empty.
using BracketPainter = std::function<void(COLORREF color)>;

// The objects every grab of one size needs, made once and reused by every grab: the shared
// grab objects and the packed frame the pixels are read into. A recording makes one and grabs with it on every pass, so
// its frame loop creates nothing. Used on one thread (the screen context is that thread's).
class ScreenGrabber {
 public:
  ScreenGrabber(int width, int height, const CaptureSettings& settings);
  ScreenGrabber(const ScreenGrabber&) = delete;
  ScreenGrabber& operator=(const ScreenGrabber&) = delete;

  // Every object could be had (and the size fits a packed frame).
  bool ok() const { return ok_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Grabs the rectangle at (left, top) into frame(); paint (may be empty) is asked for the
  // grab colour before and the idle colour after. False when GetDIBits failed: the pixels are
  // black then. Needs ok().
  bool Grab(int left, int top, const BracketPainter& paint);

  // The packed frame of the last grab; stays this object's.
  const engine::PackedFrame& frame() const { return frame_; }
  // Hands the frame to the caller; the grabber cannot grab any more.
  engine::PackedFrame TakeFrame();

 private:
  int width_, height_;
  CaptureSettings settings_;
  engine::ScreenGrab grab_;
  engine::PackedFrame frame_;
  bool ok_ = false;
};

// Grabs (left, top, width, height) of the screen into a frame of its own. The result's frame
// is empty when the bitmap or the frame cannot be had; bitsRead is false (and the pixels
// black) when GetDIBits failed.
engine::PackResult CaptureScreenFrame(int left, int top, int width, int height, const CaptureSettings& settings,
                                      const BracketPainter& paint);

using engine::CursorHotspot;

}  // namespace scrcamNS
