// The frame-slot and compressor-fit rules of the sound-less recorder.
#include "engine/capture/scrcamNS_rules.h"

#include <algorithm>
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

bool RunFrameLoop(FrameLoopSteps& steps, FrameSchedule& schedule, int intervalMs) {
  const int64_t interval = intervalMs < 1 ? 1 : intervalMs;
  const int64_t chunk = interval / 10 < 1 ? 1 : interval / 10;
  const int64_t lead = interval / 3;
  while (steps.Running()) {
    const uint32_t t = steps.Elapsed();
    const bool grabbed = steps.Grab();
    const int slot = schedule.SlotAt(t);
    bool written = false;
    if (grabbed && schedule.ShouldWrite(slot)) {
      if (!steps.Write(slot, t)) return false;
      schedule.Written(slot);
      written = true;
    }
    steps.Passed(t, slot, written);
    // A pass whose frame could not be had still uses up its slot: the loop does not spin.
    const int64_t due = (static_cast<int64_t>(std::max(schedule.last(), slot)) + 1) * interval - lead;
    while (steps.Running()) {
      const int64_t now = steps.Elapsed();
      if (now >= due) break;
      if (!steps.Wait(static_cast<uint32_t>(std::min(chunk, due - now)))) break;
    }
  }
  return true;
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
