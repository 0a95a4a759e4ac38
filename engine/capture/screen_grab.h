// The one grab path of both recorders: a screen rectangle copied into a bitmap with a raster
// operation, the mouse cursor drawn in, and the bitmap packed into a packed frame.
//
// A ScreenGrab holds the objects every grab of one size needs, made once and reused by every
// grab: the screen's device context, a memory device context with a compatible bitmap
// selected into it. A recording makes one and grabs with it on every pass, so its frame loop
// creates nothing. Used on one thread (the screen context is that thread's).
#pragma once

#include <windows.h>

#include "base/unique.h"
#include "engine/capture/packed_frame.h"

namespace engine {

// Which cursor a grab draws.
struct GrabCursor {
  enum class Kind {
    None,     // no cursor
    Fixed,    // always `fixed`, with its hotspot `hotspot` (the sound-less recorder's arrow)
    Current,  // the cursor the system shows now, when it is showing
  };
  Kind kind = Kind::None;
  HCURSOR fixed = nullptr;
  POINT hotspot{0, 0};
};

// The hotspot of a cursor (0, 0 when it cannot be read).
POINT CursorHotspot(HCURSOR cursor);

class ScreenGrab {
 public:
  ScreenGrab(int width, int height);
  ~ScreenGrab();
  ScreenGrab(const ScreenGrab&) = delete;
  ScreenGrab& operator=(const ScreenGrab&) = delete;

  // Every object could be had.
  bool ok() const { return ok_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Copies the rectangle at (left, top) of the screen into the bitmap with rop (SRCCOPY, or
  // NOTSRCCOPY for inverted colours) and draws the cursor at the mouse position minus its
  // hotspot, so its tip is where the mouse points.
  void Grab(int left, int top, DWORD rop, const GrabCursor& cursor);

  // The memory device context with the bitmap selected: for drawing on the grab.
  HDC dc() const { return memory_.get(); }

  // Reads the bitmap into frame, whose header gives size and depth (the bitmap is
  // deselected meanwhile, as GetDIBits requires). False when GetDIBits failed: the pixels are
  // black then.
  bool PackInto(BITMAPINFOHEADER* frame, HeaderRewrite rewrite);

 private:
  void DrawCursor(int left, int top, const GrabCursor& cursor);

  int width_, height_;
  base::WindowDC screen_;
  base::UniqueDC memory_;
  base::UniqueBitmap bitmap_;
  HGDIOBJ previous_ = nullptr;  // what the memory context held before the bitmap
  // The hotspot of the last current cursor, read again only when the cursor changes
  // (GetIconInfo makes two bitmaps per call).
  HCURSOR lastCursor_ = nullptr;
  POINT lastHotspot_{0, 0};
  bool ok_ = false;
};

}  // namespace engine
