// The sound-less recorder's corner-bracket window: a topmost popup whose window region is
// four L-shaped brackets just outside the recorded rectangle, painted in one colour (light
// yellow while a frame is grabbed, green between grabs).
//
// Threads: the window lives on the main thread. A recording thread asks for paints and
// placements with PostPaint and PostPlacement, which never wait and never allocate: the
// latest request is kept in the window and one message at most is queued for each kind, so a
// busy main thread is not flooded and simply applies the newest request when it gets to it.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>

#include "base/window.h"

namespace flashwnd {

class TFlashingWnd : public base::Window {
 public:
  TFlashingWnd() = default;
  ~TFlashingWnd() override;

  // Creates the (hidden) window; owner may be nullptr. False when the window cannot be made.
  bool Create(HWND owner);

  // Places the window around the rectangle (left, top, width, height) and gives it the
  // bracket region. Main thread.
  void SetUpRegion(int left, int top, int width, int height);
  // Fills the brackets with color (only once a rectangle larger than one pixel is set). Main
  // thread.
  void PaintFrame(COLORREF color);

  // Any thread: PaintFrame(color), respectively SetUpRegion followed by a paint in the current
  // colour, run later on the main thread. Requests that arrive before the main thread got to
  // the previous one replace it.
  void PostPaint(COLORREF color);
  void PostPlacement(int left, int top, int width, int height);

  // The marked rectangle, right and bottom inclusive.
  int AreaLeft() const { return areaLeft_; }
  int AreaTop() const { return areaTop_; }
  int AreaRight() const { return areaRight_; }
  int AreaBottom() const { return areaBottom_; }
  COLORREF Color() const { return color_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnDestroyed() override;

 private:
  void Fill(HDC dc);

  int areaLeft_ = 0, areaTop_ = 0, areaRight_ = 0, areaBottom_ = 0;
  COLORREF color_ = RGB(0, 255, 80);
  // The window's own device context (its class has CS_OWNDC): taken once, kept for the
  // window's life, so a paint gets no context and selects only stock objects.
  HDC dc_ = nullptr;

  // Requests from other threads (see PostPaint).
  std::atomic<COLORREF> postedColor_{RGB(0, 255, 80)};
  std::atomic<bool> paintQueued_{false};
  std::mutex placementLock_;
  RECT postedPlacement_{};  // left, top, width, height; guarded by placementLock_
  std::atomic<bool> placementQueued_{false};
};

}  // namespace flashwnd
