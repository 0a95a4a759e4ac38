// The audio/video options of the recorder with sound: what the options dialog writes into the
// screen camera of the host form. ApplyDefaultAVOptions runs before every recording with sound
// and writes the dialog's defaults into the camera the first time in a run, until they have
// been applied once (a confirmed dialog counts as applied too).
#pragma once

#include "engine/ScrCam.h"

namespace app {

// Whether the defaults were applied in a run. Main thread only.
class AVOptionDefaults {
 public:
  // Writes the defaults into camera unless they were applied before; true when it wrote them.
  // The camera gets: the first compressor a fresh listing offers (-1 when none is listed),
  // its quality rounded down to thousands (below 1000 it stays as it is), sound on, and the
  // first sound format the dialog would show (index 2) when none was chosen yet; the key-frame
  // period, the capture interval and the playback rate stay as they are.
  bool Apply(ScrCam::TScreenCamera& camera);
  void MarkApplied() { applied_ = true; }
  bool Applied() const { return applied_; }

 private:
  bool applied_ = false;
};

// The defaults of this run.
AVOptionDefaults& RunAVOptionDefaults();

inline void ApplyDefaultAVOptions(ScrCam::TScreenCamera& camera) { RunAVOptionDefaults().Apply(camera); }

}  // namespace app
