// One whole recording without sound through the main window, as a user makes it: MRLE and a
// key frame every frame chosen in the options dialog, the full-screen record button, the stop
// through the tray icon. Run by record_8bit.test.sh on an 8-bit palette display (MRLE takes
// only 8-bit frames), which checks the file with ffprobe afterwards; skipped elsewhere.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>

#include "app/forms/control_ids.h"
#include "app/forms/dialog_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/dialogs/optdlg.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/recording_form.h"
#include "tests/app/scratch.h"

namespace {

namespace id = app::id;

int ScreenDepth() {
  HDC dc = ::GetDC(nullptr);
  const int bits = ::GetDeviceCaps(dc, BITSPIXEL);
  ::ReleaseDC(nullptr, dc);
  return bits;
}

TEST(RecordEndToEnd, FullScreenWithoutSoundFromTheMainWindow) {
  const apptest::ScratchFolder kept(L"RECLUME_E2E_FOLDER");
  if (!kept.kept()) GTEST_SKIP() << "run by record_8bit.test.sh";
  ASSERT_EQ(8, ScreenDepth()) << "the display must be 8 bits deep";
  const std::wstring folder = kept.path();

  app::LoadLanguageTexts();
  apptest::ScratchFolder program;
  app::MainFormOptions options;
  options.programFolder = program.path();
  app::TFrmMain form(options);
  testapp::PrepareRecordingForm(form, folder, L"");
  if (HasFatalFailure()) return;
  scrcamNS::TScreenCamNS* camera = form.ScreenCamNS();
  ASSERT_TRUE(camera);

  // The options dialog: MRLE, a key frame every frame.
  std::wstring chosen;
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    HWND combo = ::GetDlgItem(dlg, id::ComboBoxCompressor);
    const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[256] = {};
      ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      if (std::wstring(text).find(L"RLE") != std::wstring::npos) {
        ::SendMessageW(combo, CB_SETCURSEL, i, 0);
        chosen = text;
      }
    }
    testapp::SetText(dlg, id::EditKeyFrames, L"1");
    testapp::Press(dlg, id::BitBtn1);
  });
  ::SendMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(id::MnRectSet, 0), 0);
  ASSERT_FALSE(chosen.empty()) << "no MRLE compressor listed";
  ASSERT_GE(camera->CompressorIndex(), 0);
  EXPECT_EQ(1, camera->KeyFrameEvery());

  // The size ffprobe must find: the work area of the window's monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(form.hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
  {
    std::ofstream area(base::WideToUtf8(folder + L"area.txt"));
    area << (monitor.rcWork.right - monitor.rcWork.left) << " " << (monitor.rcWork.bottom - monitor.rcWork.top);
  }

  form.Button(id::BtnSartRec)->Click();
  ASSERT_TRUE(camera->Recording());
  EXPECT_FALSE(::IsWindowVisible(form.hwnd()));
  EXPECT_TRUE(form.TimerEnabled(id::TimerRECing));
  EXPECT_TRUE(base::PumpUntil([&] { return camera->FramesWritten() >= 5; }, 20000)) << "frames: " << camera->FramesWritten();

  // Stopped by the tray icon's left click.
  ::SendMessageW(form.hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
  EXPECT_TRUE(base::PumpUntil([&] { return !camera->HasRecordThread(); }, 20000));
  EXPECT_TRUE(base::PumpUntil([&] { return ::IsWindowVisible(form.hwnd()) != FALSE; }, 5000));
  EXPECT_FALSE(form.TimerEnabled(id::TimerRECing));
  EXPECT_EQ(form.TrayIconNormal(), form.TrayData().icon());
  EXPECT_TRUE(apptest::FileExists(folder + L"1.avi"));
  // The status line and the balloon name the file once the recorder's thread has closed it: the
  // window's end check comes after the thread has gone.
  const std::wstring made = L"自动生成录像文件 : " + folder + L"1.avi";
  EXPECT_TRUE(base::PumpUntil([&] { return form.Status() == made; }, 5000));
  EXPECT_EQ(made, form.Status());
  ASSERT_TRUE(base::PumpUntil([&] { return base::ActiveBalloon() && ::IsWindowVisible(base::ActiveBalloon()->hwnd()); }, 5000));
  ASSERT_TRUE(base::ActiveBalloon());
  EXPECT_TRUE(::IsWindowVisible(base::ActiveBalloon()->hwnd()));
  EXPECT_EQ(L"屏幕录像已保存为" + folder + L"1.avi", base::ActiveBalloon()->Title());
  EXPECT_NE(LB_ERR, ::SendMessageW(form.Control(id::LbVideoList), LB_FINDSTRINGEXACT, -1,
                                   reinterpret_cast<LPARAM>(L"1.avi")));
}

}  // namespace
