// The audio/video options of the recorder with sound: the dialog TfrmOption over the screen
// camera of the host form (the compressor and its quality, sound on or off, the sound format,
// the recording input and its volume, and on a hidden panel the frame parameters), and the
// defaults it writes into the camera once per run.
//
// The dialog is made on first use (frmOption) and kept hidden between shows. Each show loads
// it from the camera; only its confirm button writes the camera. Picking an input selects it
// on the sound card's mixer at once, and moving the volume bar sets that input's volume at
// once; nothing else in the dialog writes to the mixer. Main thread only.
#pragma once

#include <windows.h>

#include "engine/camera/ScrCam.h"

namespace app {

// Whether the defaults were applied in a run: before the first recording with sound or at the
// first show of the dialog, whichever comes first. A confirmed dialog counts as applied too.
class AVOptionDefaults {
 public:
  // Unless they were applied before: the dialog (made when missing) loads the camera, selects
  // the first compressor listed, ticks "录制声音" and applies, as its confirm button does but
  // without touching the mixer. True when it wrote them. The camera then holds the first
  // compressor listed (-1 when none is), its quality in steps of 1000 (below 1000 it stays),
  // sound on, sound format 2 when none was chosen, and its own frame parameters.
  bool Apply(ScrCam::TScreenCamera& camera);
  void MarkApplied() { applied_ = true; }
  bool Applied() const { return applied_; }

 private:
  bool applied_ = false;
};

// The defaults of this run.
AVOptionDefaults& RunAVOptionDefaults();

inline void ApplyDefaultAVOptions(ScrCam::TScreenCamera& camera) { RunAVOptionDefaults().Apply(camera); }

// Shows frmOption modally over owner for camera, centred on the main window (on owner when
// there is none); the run's defaults are applied first when they were not yet. IDOK when the
// user confirmed.
int ShowAVOptions(ScrCam::TScreenCamera& camera, HWND owner);

// frmOption's window once it exists (for tests).
HWND AVOptionsWindow();

}  // namespace app
