// TfrmFilterEffects: switches and strengths of the screen camera's colour and geometry effects.
// It works live: every change of a control is written into the camera at once and takes
// effect from the next captured frame, also while a recording runs. There is no apply and no
// cancel; Ok closes it. Made on first use (frmFilterEffects) and kept hidden between shows;
// each show loads it from the camera. Main thread only.
#pragma once

#include <windows.h>

#include "engine/camera/ScrCam.h"

namespace app {

// Shows frmFilterEffects modally over owner for camera, centred on the main window (on owner
// when there is none).
int ShowFilterEffects(ScrCam::TScreenCamera& camera, HWND owner);

// frmFilterEffects' window once it exists, and how many of its handlers have run (for tests).
HWND FilterEffectsWindow();
int FilterEffectsHandlerRuns();

}  // namespace app
