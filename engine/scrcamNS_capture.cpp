// The sound-less recorder's grab: BitBlt from the screen into a compatible bitmap, the arrow
// cursor drawn at the mouse position (minus the arrow's own hotspot, so its tip is where the
// mouse points), then GetDIBits into a packed frame. GetDIBits runs with the bitmap
// deselected from the memory device context, as GDI requires.
//
// The device contexts, the bitmap and the frame are made once per size and reused: a fresh
// bitmap and a fresh global block per frame each cost milliseconds of page faults at full
// screen, and the frame loop must create nothing.
#include "engine/scrcamNS_capture.h"

namespace scrcamNS {

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

ScreenGrabber::ScreenGrabber(int width, int height, const CaptureSettings& settings)
    : width_(width), height_(height), settings_(settings), screen_(nullptr) {
  if (!engine::PackedFrameFits(width, height, settings.bitsPerPixel) || !screen_) return;
  memory_.reset(::CreateCompatibleDC(screen_.get()));
  bitmap_.reset(::CreateCompatibleBitmap(screen_.get(), width, height));
  frame_ = engine::PackedFrame(engine::AllocPackedFrame(width, height, settings.bitsPerPixel));
  ok_ = memory_ && bitmap_ && frame_;
}

bool ScreenGrabber::Grab(int left, int top, const BracketPainter& paint) {
  if (paint) paint(kGrabColor);
  bool read = false;
  {
    base::SelectGuard select(memory_.get(), bitmap_.get());
    ::BitBlt(memory_.get(), 0, 0, width_, height_, screen_.get(), left, top, SRCCOPY);
    if (settings_.drawCursor && settings_.arrow) {
      POINT cursor{};
      if (::GetCursorPos(&cursor)) {
        ::DrawIcon(memory_.get(), cursor.x - left - settings_.arrowHotspot.x, cursor.y - top - settings_.arrowHotspot.y,
                   settings_.arrow);
      }
    }
    select.Restore();
    read = engine::PackBitmapInto(memory_.get(), bitmap_.get(), frame_.get(), engine::HeaderRewrite::ColorCountOnly);
  }
  if (paint) paint(kIdleColor);
  return read;
}

engine::PackedFrame ScreenGrabber::TakeFrame() {
  ok_ = false;
  return std::move(frame_);
}

engine::PackResult CaptureScreenFrame(int left, int top, int width, int height, const CaptureSettings& settings,
                                      const BracketPainter& paint) {
  engine::PackResult result;
  ScreenGrabber grabber(width, height, settings);
  if (!grabber.ok()) return result;
  result.bitsRead = grabber.Grab(left, top, paint);
  result.frame = grabber.TakeFrame();
  return result;
}

}  // namespace scrcamNS
