// The sound-less recorder's two small rules, kept apart from the platform so they can be
// checked on their own: which frame slot a pass lands in (and which slots were dropped), and
// which frame sizes the compressor fit tries.
#pragma once

#include <cstdint>
#include <functional>

namespace scrcamNS {

// Frame slots of one recording. A pass at elapsed time t lands in slot round(t / interval),
// halves to the even neighbour; it is written only when the slot has advanced past the last
// written one (so no two samples share a position), and the slots it skipped count as dropped.
// The last slot starts at -1, so the first pass, at t near 0, writes slot 0.
class FrameSchedule {
 public:
  explicit FrameSchedule(int intervalMs) : interval_(intervalMs < 1 ? 1 : intervalMs) {}

  int SlotAt(uint32_t elapsedMs) const;
  bool ShouldWrite(int slot) const { return slot > last_; }
  // A frame was written at slot: counts the skipped slots and moves on.
  void Written(int slot);

  int last() const { return last_; }
  int dropped() const { return dropped_; }

 private:
  int interval_;
  int last_ = -1;
  int dropped_ = 0;
};

// What one recording's frame loop does, supplied by the recorder (and by tests, on a clock of
// their own). Called on the recording thread.
class FrameLoopSteps {
 public:
  virtual ~FrameLoopSteps() = default;
  // Milliseconds since the loop began.
  virtual uint32_t Elapsed() = 0;
  // The recording still runs.
  virtual bool Running() = 0;
  // Grabs a frame; false when none could be had (nothing is written for this pass).
  virtual bool Grab() = 0;
  // Writes the grabbed frame at slot; false when the write failed, which ends the loop.
  virtual bool Write(int slot, uint32_t elapsed) = 0;
  // After every pass: the time read before its grab, its slot and whether it was written.
  virtual void Passed(uint32_t elapsed, int slot, bool written) = 0;
  // Waits up to ms for the stop; false when the stop came.
  virtual bool Wait(uint32_t ms) = 0;
};

// The deadline loop. A pass reads the time right before its grab and lands in
// schedule.SlotAt(time); then the loop waits, in chunks of interval div 10 (at least 1 ms)
// so a stop is seen within one chunk, until the next slot's time less a third of an interval:
// (last slot + 1) x interval - interval div 3, the last slot being the later of the last one
// written and this pass's. Waiting for the slot's own time, not for a whole interval after the
// pass began, keeps small overshoots from adding up until a slot is skipped; beginning a third
// early still lands in that slot (it takes every time within half an interval of its own) and
// leaves room for a pass that runs long: one of up to 1.8 intervals less the wait's overshoot
// (the platform's grab of a full screen now and then, on a busy machine) skips no slot.
bool RunFrameLoop(FrameLoopSteps& steps, FrameSchedule& schedule, int intervalMs);

// The size tried at one alignment: a side that is not a multiple of align grows to the next
// multiple, or shrinks to the one below when growing would exceed the display's side.
int FitSide(int side, int align, int displaySide);

struct FitResult {
  bool accepted = false;  // some alignment up to 8 was accepted
  int width = 0, height = 0;
};

// Asks accepts() at the starting size, then at alignments 2, 4 and 8, and returns the first
// size accepted (or not accepted, with the starting size).
FitResult FitToCompressor(int width, int height, int displayWidth, int displayHeight,
                          const std::function<bool(int width, int height)>& accepts);

}  // namespace scrcamNS
