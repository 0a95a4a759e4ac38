// An area source that always answers the same rectangle: a recording of a fixed part of the
// screen without an area window.
#pragma once

#include <windows.h>

#include "engine/soundless/scrcamNS.h"

namespace testsupport {

class FixedArea : public scrcamNS::AreaSource {
 public:
  explicit FixedArea(RECT r) : r_(r) {}
  bool CurrentArea(RECT& area) override {
    area = r_;
    return true;
  }

 private:
  RECT r_;
};

}  // namespace testsupport
