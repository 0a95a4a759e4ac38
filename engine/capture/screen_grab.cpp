// The grab both recorders share: BitBlt from the screen into a compatible bitmap with the
// caller's raster operation, the cursor drawn with DrawIcon, then GetDIBits into a packed
// frame with the bitmap deselected from the memory device context, as GDI requires.
//
// The device contexts and the bitmap are made once per size and reused: a fresh bitmap per
// frame costs milliseconds of page faults at full screen, and the frame loop must create
// nothing.
#include "engine/capture/screen_grab.h"

namespace engine {

POINT CursorHotspot(HCURSOR cursor) {
  POINT hotspot{0, 0};
  ICONINFO info{};
  if (cursor && ::GetIconInfo(cursor, &info)) {
    hotspot.x = static_cast<LONG>(info.xHotspot);
    hotspot.y = static_cast<LONG>(info.yHotspot);
    base::UniqueBitmap mask(info.hbmMask);
    base::UniqueBitmap color(info.hbmColor);
  }
  return hotspot;
}

ScreenGrab::ScreenGrab(int width, int height) : width_(width), height_(height), screen_(nullptr) {
  if (width <= 0 || height <= 0 || !screen_) return;
  memory_.reset(::CreateCompatibleDC(screen_.get()));
  bitmap_.reset(::CreateCompatibleBitmap(screen_.get(), width, height));
  if (!memory_ || !bitmap_) return;
  previous_ = ::SelectObject(memory_.get(), bitmap_.get());
  ok_ = previous_ && previous_ != HGDI_ERROR;
}

ScreenGrab::~ScreenGrab() {
  // A bitmap still selected into a device context cannot be deleted.
  if (ok_) ::SelectObject(memory_.get(), previous_);
}

void ScreenGrab::Grab(int left, int top, DWORD rop, const GrabCursor& cursor) {
  ::BitBlt(memory_.get(), 0, 0, width_, height_, screen_.get(), left, top, rop);
  DrawCursor(left, top, cursor);
}

void ScreenGrab::DrawCursor(int left, int top, const GrabCursor& cursor) {
  HCURSOR shape = nullptr;
  POINT at{}, hotspot{};
  switch (cursor.kind) {
    case GrabCursor::Kind::None:
      return;
    case GrabCursor::Kind::Fixed:
      if (!cursor.fixed || !::GetCursorPos(&at)) return;
      shape = cursor.fixed;
      hotspot = cursor.hotspot;
      break;
    case GrabCursor::Kind::Current: {
      CURSORINFO info{};
      info.cbSize = sizeof info;
      // Only a cursor that is showing, and nothing else in the flags, is drawn.
      if (!::GetCursorInfo(&info) || info.flags != CURSOR_SHOWING || !info.hCursor) return;
      if (info.hCursor != lastCursor_) {
        lastCursor_ = info.hCursor;
        lastHotspot_ = CursorHotspot(info.hCursor);
      }
      shape = info.hCursor;
      at = info.ptScreenPos;
      hotspot = lastHotspot_;
      break;
    }
  }
  ::DrawIcon(memory_.get(), at.x - left - hotspot.x, at.y - top - hotspot.y, shape);
}

bool ScreenGrab::PackInto(BITMAPINFOHEADER* frame, HeaderRewrite rewrite) {
  ::SelectObject(memory_.get(), previous_);
  const bool read = PackBitmapInto(memory_.get(), bitmap_.get(), frame, rewrite);
  ::SelectObject(memory_.get(), bitmap_.get());
  return read;
}

}  // namespace engine
