// A topmost popup window painted with a known pattern of pure colours at a known screen
// rectangle, for capture tests. The pattern is four quadrants: top-left red, top-right green,
// bottom-left blue, bottom-right white (pure colours survive an 8-bit palette).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/window.h"

namespace testsupport {

inline constexpr COLORREF kPatternColors[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                                               RGB(255, 255, 255)};

class PatternWindow : public base::Window {
 public:
  // Creates and shows the window at r (screen coordinates) and waits until it has painted.
  bool Show(const RECT& r);
  // Paints the whole window in one colour instead of the pattern, before this returns (a
  // picture event a recording can be checked against); CLR_INVALID brings the pattern back.
  void SetSolid(COLORREF color);
  // Paints the whole window with pixels of random colours (a full change of every block each
  // call), at once, over whatever it shows; the next paint of the window brings back the rest.
  void PaintNoise(uint32_t seed);
  // The colour the pattern has at (x, y), relative to the window's top-left corner.
  COLORREF ColorAt(int x, int y) const;
  const RECT& rect() const { return rect_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  RECT rect_{};
  bool painted_ = false;
  COLORREF solid_ = CLR_INVALID;
  std::vector<uint32_t> noise_;
};

}  // namespace testsupport
