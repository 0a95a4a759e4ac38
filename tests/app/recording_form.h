// The main window as the recording tests set it up: created over a scratch program folder,
// shown, recording into a given folder without sound, with automatic numbering or a typed name.
#pragma once

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "app/forms/control_ids.h"
#include "app/main_window/main_form.h"
#include "app/host_form/optdlg_ws.h"
#include "tests/support/passthrough_codec.h"

namespace testapp {

// typedName empty: automatic numbering. Fails the test when the window cannot be made.
inline void PrepareRecordingForm(app::TFrmMain& form, const std::wstring& folder, const std::wstring& typedName) {
  ASSERT_TRUE(form.Create());
  form.Show();
  form.SetControlText(app::id::EdtRECPath, folder);
  const int numbering = typedName.empty() ? 1 : 0;
  if (form.Button(app::id::BtnAutoSave)->tag() != numbering) form.BtnAutoSaveClick();
  if (form.Button(app::id::CbSound)->tag() != 0) form.ToggleSound();
  if (!typedName.empty()) form.SetControlText(app::id::EdtREC, typedName);
}

// The camera as a run's first recording with sound finds it, recording a few frames a second.
// The options' defaults are written once per run, and a test process makes a main window per
// test: each camera gets them as the first of a run would.
inline void PrepareShortSoundRecordings(ScrCam::TScreenCamera& camera) {
  camera.SetRecord_MSPF(100);
  camera.SetPlayBack_FPS(10);
  app::AVOptionDefaults firstOfARun;
  firstOfARun.Apply(camera);
}

// Chooses the test's pass-through compressor (installed in this process) for the sound-less
// recorder; false when the recorder does not list it.
inline bool SelectPassThrough(scrcamNS::TScreenCamNS& recorder) {
  auto upper = [](DWORD code) {
    DWORD out = 0;
    for (int i = 0; i < 4; ++i) out |= static_cast<DWORD>(std::towupper((code >> (8 * i)) & 0xFF)) << (8 * i);
    return out;
  };
  recorder.RefreshCompressors();
  for (int i = 0; i < recorder.CompressorCount(); ++i) {
    if (upper(recorder.Compressor(i).fccHandler) == upper(testsupport::kPassThroughFourCC)) {
      recorder.SetCompressorIndex(i);
      return true;
    }
  }
  return false;
}

// Esc pressed and released through the input queue (a registered stop key arrives as WM_HOTKEY).
inline bool PressEscape() {
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return ::SendInput(2, keys, sizeof(INPUT)) == 2;
}

}  // namespace testapp
