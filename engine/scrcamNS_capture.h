// One grab of the sound-less recorder: a screen rectangle copied into a bitmap, the arrow
// cursor drawn in, and the bitmap packed at the recorder's depth.
#pragma once

#include <windows.h>

#include <functional>

#include "engine/packed_frame.h"

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

// Grabs (left, top, width, height) of the screen. The result's frame is empty when the bitmap
// or the frame cannot be had; bitsRead is false (and the pixels black) when GetDIBits failed.
engine::PackResult CaptureScreenFrame(int left, int top, int width, int height, const CaptureSettings& settings,
                                      const BracketPainter& paint);

// The hotspot of a cursor (0, 0 when it cannot be read).
POINT CursorHotspot(HCURSOR cursor);

}  // namespace scrcamNS
