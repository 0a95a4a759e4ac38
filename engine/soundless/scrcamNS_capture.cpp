// The sound-less recorder's grab: the shared grab with a plain copy and the arrow cursor (minus
// the arrow's own hotspot, so its tip is where the mouse points), packed into a frame made
// once per size and reused, so the frame loop creates nothing.
#include "engine/soundless/scrcamNS_capture.h"

namespace scrcamNS {

ScreenGrabber::ScreenGrabber(int width, int height, const CaptureSettings& settings)
    : width_(width), height_(height), settings_(settings), grab_(width, height) {
  if (!engine::PackedFrameFits(width, height, settings.bitsPerPixel) || !grab_.ok()) return;
  frame_ = engine::PackedFrame(engine::AllocPackedFrame(width, height, settings.bitsPerPixel));
  ok_ = static_cast<bool>(frame_);
}

bool ScreenGrabber::Grab(int left, int top, const BracketPainter& paint) {
  if (paint) paint(kGrabColor);
  engine::GrabCursor cursor;
  if (settings_.drawCursor && settings_.arrow) {
    cursor.kind = engine::GrabCursor::Kind::Fixed;
    cursor.fixed = settings_.arrow;
    cursor.hotspot = settings_.arrowHotspot;
  }
  grab_.Grab(left, top, SRCCOPY, cursor);
  const bool read = grab_.PackInto(frame_.get(), engine::HeaderRewrite::ColorCountOnly);
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
