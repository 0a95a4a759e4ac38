// Three recordings with sound through the main window, as a user makes them: the record
// button with sound and numbering on, then a stop through the tray icon, a stop with Esc, and
// the window closed mid-recording. Run by record_sound.test.sh on a 640 x 480 x 24 display of
// its own, which plays a tone into the sound card while each recording runs (this program
// marks each start with a file "recording.N") and checks the files afterwards; skipped
// elsewhere.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "tests/app/recording_form.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"

namespace {

namespace id = app::id;

TEST(RecordWithSoundEndToEnd, ThreeRecordingsFromTheMainWindow) {
  const apptest::ScratchFolder kept(L"RECLUME_E2E_SOUND_FOLDER");
  if (!kept.kept()) GTEST_SKIP() << "run by record_sound.test.sh";
  const std::wstring folder = kept.path();
  // The program's own compressor for 32-bit frames, in this process.
  testsupport::ScopedPassThrough codec;
  ASSERT_TRUE(codec.ok());
  // A question (the default compressor) is answered No: the recording keeps its own.
  testsupport::ScriptedPrompter prompter{{}, IDNO};
  base::ScopedPrompter scoped{prompter};

  app::LoadLanguageTexts();
  apptest::ScratchFolder program;
  app::MainFormOptions options;
  options.programFolder = program.path();
  auto form = std::make_unique<app::TFrmMain>(options);
  testapp::PrepareRecordingForm(*form, folder, L"");
  if (testing::Test::HasFatalFailure()) return;
  form->ToggleSound();
  ScrCam::TScreenCamera& camera = form->ScrCamera();
  camera.SetRecord_MSPF(100);
  camera.SetPlayBack_FPS(10);

  auto start = [&](int n) {
    form->Button(id::BtnSartRec)->Click();
    ASSERT_TRUE(camera.Recording) << "recording " << n << " did not start";
    EXPECT_TRUE(form->TimerEnabled(id::TimerRECing));
    apptest::WriteBytes(folder + L"recording." + std::to_wstring(n), std::string());
  };
  auto ended = [&] { return !camera.HasRecordThread() && !form->Road()->Running(); };

  // 1.avi: about 5 s, stopped through the tray icon.
  start(1);
  if (testing::Test::HasFatalFailure()) return;
  base::PumpUntil([] { return false; }, 5000);
  ::SendMessageW(form->hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
  // The status line names the file once it is saved.
  EXPECT_EQ(form->Status().find(L"1.avi"), std::wstring::npos) << "named before it was saved";
  ASSERT_TRUE(base::PumpUntil(ended, 60000));
  EXPECT_TRUE(ScrCam::MergeSucceeded.load());
  EXPECT_EQ(L"自动生成录像文件 : " + folder + L"1.avi", form->Status());
  EXPECT_TRUE(base::PumpUntil([] { return base::ActiveBalloon() && ::IsWindowVisible(base::ActiveBalloon()->hwnd()); },
                              5000));
  if (base::ActiveBalloon()) {
    EXPECT_EQ(L"屏幕录像已保存为" + folder + L"1.avi", base::ActiveBalloon()->Title());
  }

  // 2.avi: ended by Esc; the window comes back, not blinking.
  start(2);
  if (testing::Test::HasFatalFailure()) return;
  base::PumpUntil([] { return false; }, 3000);
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(2u, ::SendInput(2, keys, sizeof(INPUT)));
  ASSERT_TRUE(base::PumpUntil(ended, 60000));
  EXPECT_TRUE(::IsWindowVisible(form->hwnd()));
  EXPECT_FALSE(::IsIconic(form->hwnd()));
  EXPECT_FALSE(form->TimerEnabled(id::TimerRECing));
  EXPECT_EQ(form->TrayIconNormal(), form->TrayData().icon());

  // 3.avi: the window closed mid-recording waits until the file is saved.
  start(3);
  if (testing::Test::HasFatalFailure()) return;
  base::PumpUntil([] { return false; }, 3000);
  ::SendMessageW(form->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(form->hwnd()));
  EXPECT_FALSE(camera.HasRecordThread()) << "the close returned before the file was saved";
  form.reset();
  base::FreeActiveBalloon();
}

}  // namespace
