// A topmost popup filled black that turns white on request: a picture event whose time a
// recording can be checked against (the sound of a burst played at the same moment).
#pragma once

#include <windows.h>

#include "base/window.h"

namespace testsupport {

class FlashWindow : public base::Window {
 public:
  // Creates and shows the window at r (screen coordinates), black.
  bool Show(const RECT& r);
  // White (or black again) at once, painted before this returns.
  void SetWhite(bool white);

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool white_ = false;
};

}  // namespace testsupport
