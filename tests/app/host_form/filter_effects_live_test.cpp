// The filter effects dialog changes a running recording: the host form records the test
// pattern through the pass-through compressor at 32 bits; about a second in, its "Filter
// Effects" button opens the dialog, colour adjusting is ticked with red at +255 and Ok pressed.
// filter_effects_live.test.sh decodes the file with ffmpeg and checks the frames before and
// after the change.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/forms/binding.h"
#include "app/forms/dialog_ids.h"
#include "app/host_form/filtereffects.h"
#include "app/host_form/withsound.h"
#include "base/dispatch.h"
#include "engine/capture/compressors.h"
#include "tests/app/dialog_driver.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"
#include "tests/support/pattern_window.h"

namespace {

namespace id = app::id;

TEST(FilterEffectsLive, RedAtFullFromTheNextFrames) {
  wchar_t out[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"RECLUME_FX_OUT", out, MAX_PATH)) GTEST_SKIP() << "run by filter_effects_live.test.sh";
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter scoped{prompter};
  testsupport::ScopedPassThrough codec;
  ASSERT_TRUE(codec.ok());
  ::SetCursorPos(1910, 1070);
  testsupport::PatternWindow pattern;
  ASSERT_TRUE(pattern.Show(RECT{200, 160, 520, 400}));
  const ScrCam::CaptureRect area{200, 160, 320, 240};

  app::TFrmMainWithSound form;
  ASSERT_TRUE(form.Create(nullptr));
  ScrCam::TScreenCamera& camera = form.ScrCamera();
  camera.SetRecord_MSPF(50);
  camera.SetPlayBack_FPS(20);
  camera.KeyFramesEvery = 1;
  camera.SetCaptureArea(area);
  camera.GetVideoCompressors();
  for (int i = 0; i < camera.CompressorCount; ++i)
    if (engine::SameFourCC(camera.Compressors[static_cast<size_t>(i)].fccHandler, testsupport::kPassThroughFourCC))
      camera.SelectedCompressor = i;
  ASSERT_GE(camera.SelectedCompressor, 0);

  form.RecordArea(std::wstring(out) + L"\\fx.avi", area);
  ASSERT_TRUE(camera.Recording);
  ASSERT_TRUE(base::PumpUntil([&] { return camera.FramesWritten >= 20; }, 20000)) << "no frames before the change";

  bool ticked = false;
  testapp::WhenShown(app::FilterEffectsWindow, [&](HWND dlg) {
    ticked = app::SetChecked(::GetDlgItem(dlg, id::UseColorAdjustingEffect), true);
    app::SetTrackPosition(::GetDlgItem(dlg, id::RedTrackBar), 255);
    testapp::Press(dlg, id::OkBtn);
  });
  testapp::Press(form.hwnd(), id::FilterEffectsBut);
  EXPECT_TRUE(ticked);
  EXPECT_TRUE(camera.UseColorAdjusting);
  EXPECT_EQ(255, camera.EffectRedValue);
  const int changedAt = camera.FramesWritten;
  EXPECT_TRUE(base::PumpUntil([&] { return camera.FramesWritten >= changedAt + 20; }, 20000))
      << "no frames after the change";
  camera.StopRecording();
  ASSERT_TRUE(base::PumpUntil([&] { return !camera.HasRecordThread(); }, 30000));
  EXPECT_TRUE(prompter.asked().empty());
}

}  // namespace
