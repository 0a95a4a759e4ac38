// Two area recordings through the main window over the test pattern, as a user makes them: the
// area record button, the area window moved to (100, 100) and sized 400 x 300, its confirm.
// 1.avi without sound, stopped with the tool window's button; 2.avi with sound, stopped with
// the tool window's close box. Before that, closing the area window records nothing. Run by
// area_record.test.sh on a display of its own, which checks the files with ffprobe afterwards;
// skipped elsewhere.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "app/area/areaselect.h"
#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/area/toolform.h"
#include "base/dispatch.h"
#include "tests/app/recording_form.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"
#include "tests/support/pattern_window.h"

namespace {

namespace id = app::id;

TEST(AreaRecordEndToEnd, WithoutAndWithSoundFromTheMainWindow) {
  const apptest::ScratchFolder kept(L"RECLUME_E2E_AREA_FOLDER");
  if (!kept.kept()) GTEST_SKIP() << "run by area_record.test.sh";
  const std::wstring folder = kept.path();
  testsupport::ScopedPassThrough codec(testsupport::PassThroughOptions{{24, 32}});
  ASSERT_TRUE(codec.ok());
  testsupport::ScriptedPrompter prompter{{}, IDNO};
  base::ScopedPrompter scoped{prompter};

  app::LoadLanguageTexts();
  apptest::ScratchFolder program;
  app::MainFormOptions options;
  options.programFolder = program.path();
  auto form = std::make_unique<app::TFrmMain>(options);
  testapp::PrepareRecordingForm(*form, folder, L"");
  if (testing::Test::HasFatalFailure()) return;
  scrcamNS::TScreenCamNS* recorder = form->ScreenCamNS();
  ASSERT_TRUE(recorder);
  ASSERT_TRUE(testapp::SelectPassThrough(*recorder)) << "the pass-through compressor is not listed";
  recorder->SetFrameRate(10);
  recorder->SetCaptureInterval(100);

  // The pattern lives on a thread of its own, as another program's window would: it repaints
  // what the hidden area window uncovers while this thread starts the recording.
  std::atomic<DWORD> patternThread{0};
  std::atomic<bool> patternShown{false};
  std::thread pattern([&] {
    testsupport::PatternWindow window;
    patternShown = window.Show({100, 100, 500, 400});
    patternThread = ::GetCurrentThreadId();
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  });
  struct Join {
    std::thread& thread;
    std::atomic<DWORD>& id;
    ~Join() {
      while (!id) ::Sleep(10);
      ::PostThreadMessageW(id, WM_QUIT, 0, 0);
      thread.join();
    }
  } join{pattern, patternThread};
  ASSERT_TRUE(base::PumpUntil([&] { return patternThread != 0; }, 10000));
  ASSERT_TRUE(patternShown);

  auto chooseArea = [&] {
    form->Button(id::BtnAreaScreenREC)->Click();
    EXPECT_FALSE(::IsWindowVisible(form->hwnd()));
    ASSERT_TRUE(app::FrmAreaSelect);
    EXPECT_TRUE(::IsWindowVisible(app::FrmAreaSelect->hwnd()));
    ::SetWindowPos(app::FrmAreaSelect->hwnd(), nullptr, 100, 100, 400, 300, SWP_NOZORDER);
  };
  auto windowBack = [&] {
    return ::IsWindowVisible(form->hwnd()) && !::IsIconic(form->hwnd()) && ::GetForegroundWindow() == form->hwnd();
  };

  // Closed instead of confirmed: the main window is back in front, nothing recorded.
  chooseArea();
  ::SendMessageW(app::FrmAreaSelect->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(base::PumpUntil(windowBack, 5000));
  EXPECT_FALSE(::IsWindowVisible(app::FrmAreaSelect->hwnd()));
  EXPECT_FALSE(apptest::FileExists(folder + L"1.avi"));

  // 1.avi: without sound, stopped with the tool window's button.
  chooseArea();
  ::SendMessageW(app::FrmAreaSelect->hwnd(), WM_COMMAND, MAKEWPARAM(id::BtnConfirm, BN_CLICKED), 0);
  ASSERT_TRUE(recorder->Recording());
  ASSERT_TRUE(app::FrmTool);
  EXPECT_TRUE(::IsWindowVisible(app::FrmTool->hwnd()));
  RECT tool{};
  ::GetWindowRect(app::FrmTool->hwnd(), &tool);
  EXPECT_EQ(510, tool.left);
  EXPECT_EQ(100, tool.top);
  EXPECT_FALSE(::IsWindowVisible(form->hwnd()));
  EXPECT_TRUE(base::PumpUntil([&] { return recorder->FramesWritten() >= 5; }, 20000));
  ::SendMessageW(app::FrmTool->hwnd(), WM_COMMAND, MAKEWPARAM(id::ToolBtnStopRec, BN_CLICKED), 0);
  EXPECT_TRUE(base::PumpUntil([&] { return !recorder->HasRecordThread() && !form->Road()->Running(); }, 20000));
  EXPECT_FALSE(::IsWindowVisible(app::FrmTool->hwnd()));
  EXPECT_TRUE(base::PumpUntil(windowBack, 5000));
  EXPECT_TRUE(apptest::FileExists(folder + L"1.avi"));

  // 2.avi: with sound, stopped with the tool window's close box.
  form->ToggleSound();
  ScrCam::TScreenCamera& camera = form->ScrCamera();
  camera.SetRecord_MSPF(100);
  camera.SetPlayBack_FPS(10);
  chooseArea();
  ::SendMessageW(app::FrmAreaSelect->hwnd(), WM_COMMAND, MAKEWPARAM(id::BtnConfirm, BN_CLICKED), 0);
  ASSERT_TRUE(camera.Recording) << "the camera did not start";
  EXPECT_TRUE(::IsWindowVisible(app::FrmTool->hwnd()));
  base::PumpUntil([] { return false; }, 3000);
  ::SendMessageW(app::FrmTool->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(base::PumpUntil([&] { return !camera.HasRecordThread() && !form->Road()->Running(); }, 60000));
  EXPECT_FALSE(::IsWindowVisible(app::FrmTool->hwnd()));
  EXPECT_TRUE(base::PumpUntil(windowBack, 5000));
  EXPECT_TRUE(apptest::FileExists(folder + L"2.avi"));
  form.reset();
}

}  // namespace
