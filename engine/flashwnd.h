// The sound-less recorder's corner-bracket window: a topmost popup whose window region is
// four L-shaped brackets just outside the recorded rectangle, painted in one colour (light
// yellow while a frame is grabbed, green between grabs). Main thread only.
#pragma once

#include <windows.h>

#include "base/window.h"

namespace flashwnd {

class TFlashingWnd : public base::Window {
 public:
  TFlashingWnd() = default;
  ~TFlashingWnd() override;

  // Creates the (hidden) window; owner may be nullptr. False when the window cannot be made.
  bool Create(HWND owner);

  // Places the window around the rectangle (left, top, width, height) and gives it the
  // bracket region.
  void SetUpRegion(int left, int top, int width, int height);
  // Fills the brackets with color (only once a rectangle larger than one pixel is set).
  void PaintFrame(COLORREF color);

  // The marked rectangle, right and bottom inclusive.
  int AreaLeft() const { return areaLeft_; }
  int AreaTop() const { return areaTop_; }
  int AreaRight() const { return areaRight_; }
  int AreaBottom() const { return areaBottom_; }
  COLORREF Color() const { return color_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Fill(HDC dc);

  int areaLeft_ = 0, areaTop_ = 0, areaRight_ = 0, areaBottom_ = 0;
  COLORREF color_ = RGB(0, 255, 80);
};

}  // namespace flashwnd
