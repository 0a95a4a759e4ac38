// The frame-slot and compressor-fit rules of the sound-less recorder.
#include "engine/scrcamNS_rules.h"

#include <limits>

#include "base/rounding.h"

namespace scrcamNS {

int FrameSchedule::SlotAt(uint32_t elapsedMs) const {
  int64_t slot = base::RoundHalfEvenDiv(static_cast<int64_t>(elapsedMs), interval_);
  return slot > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(slot);
}

void FrameSchedule::Written(int slot) {
  if (slot - last_ > 1) dropped_ += slot - last_ - 1;
  last_ = slot;
}

int FitSide(int side, int align, int displaySide) {
  if (align <= 1) return side;
  int r = side % align;
  if (r == 0) return side;
  int grown = side + align - r;
  if (grown <= displaySide) return grown;
  // Shrinking a side smaller than the alignment would leave nothing to record.
  return side - r > 0 ? side - r : side;
}

FitResult FitToCompressor(int width, int height, int displayWidth, int displayHeight,
                          const std::function<bool(int, int)>& accepts) {
  for (int align = 1; align <= 8; align *= 2) {
    int w = FitSide(width, align, displayWidth);
    int h = FitSide(height, align, displayHeight);
    if (accepts(w, h)) return {true, w, h};
  }
  return {false, width, height};
}

}  // namespace scrcamNS
