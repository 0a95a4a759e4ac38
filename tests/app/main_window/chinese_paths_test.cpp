// A recording named "录像测试" in a folder "录像文件夹", as a user makes it from the main window:
// typed name, full-screen record button, stop from the tray icon; then it is listed and
// played. The multimedia functions take no such path here, so the recorder writes through the
// file's short name, or, where none can be had (a seam plays that file system while it
// records), through a temporary file moved into place; the player opens it by its short name.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <vfw.h>

#include <memory>
#include <string>

#include "app/forms/control_ids.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/program.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/short_names.h"
#include "base/text.h"
#include "tests/app/recording_form.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"

namespace {

namespace id = app::id;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

DWORD WINAPI NoShortName(const wchar_t*, wchar_t*, DWORD) { return 0; }

BOOL IgnoreTrayCall(DWORD, NOTIFYICONDATAW*) { return TRUE; }

int FindCompressor(const scrcamNS::TScreenCamNS& cam, DWORD fourcc) {
  const auto upper = [](DWORD c) { return c & 0xDFDFDFDF; };
  for (int i = 0; i < cam.CompressorCount(); ++i)
    if (upper(cam.Compressor(i).fccHandler) == upper(fourcc)) return i;
  return -1;
}

// Frames of the file's video stream read back through AVIFile (by the name it takes), or -1.
LONG VideoLength(const std::wstring& path) {
  const auto name = base::MultimediaNameForReading(path);
  if (!name) return -1;
  ::AVIFileInit();
  LONG length = -1;
  PAVISTREAM stream = nullptr;
  if (::AVIStreamOpenFromFileW(&stream, name->c_str(), streamtypeVIDEO, 0, OF_READ, nullptr) == 0) {
    length = ::AVIStreamLength(stream);
    ::AVIStreamRelease(stream);
  }
  ::AVIFileExit();
  return length;
}

TEST(ChinesePaths, RecordListAndPlayAChineseNameInAChineseFolder) {
  struct Case {
    const char* what;
    bool shortNames;
  } cases[] = {{"through the short name", true}, {"through a temporary file", false}};
  app::SetProgramIdentity(false);
  const app::NotifyIconFunction previousTray = app::SetNotifyIconFunction(&IgnoreTrayCall);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ScriptedPrompter prompter({}, IDNO);
    base::ScopedPrompter scoped(prompter);
    apptest::ScratchFolder program, records;
    const std::wstring folder = records / L"录像文件夹\\";
    const std::wstring path = folder + L"录像测试.avi";
    {
      app::MainFormOptions options;
      options.programFolder = program.path();
      app::TFrmMain form(options);
      testapp::PrepareRecordingForm(form, folder, L"录像测试");
      if (HasFatalFailure()) return;

      // MRLE at 8 bits, every frame a key frame: the one compression the platform does.
      scrcamNS::TScreenCamNS* camera = form.ScreenCamNS();
      ASSERT_TRUE(camera);
      camera->SetBitsPerPixel(8);
      camera->RefreshCompressors();
      const int mrle = FindCompressor(*camera, mmioFOURCC('M', 'R', 'L', 'E'));
      ASSERT_GE(mrle, 0) << "no MRLE compressor listed";
      camera->SetCompressorIndex(mrle);
      camera->SetKeyFrameEvery(1);

      // Without short names only while it records: reading back and playing need them.
      const base::ShortNameFunction previous = base::SetShortNameFunction(c.shortNames ? nullptr : &NoShortName);
      form.Button(id::BtnSartRec)->Click();
      ASSERT_TRUE(camera->Recording()) << "the recording did not start";
      EXPECT_TRUE(base::PumpUntil([&] { return camera->FramesWritten() >= 3 || !camera->Recording(); }, 30000));
      ::SendMessageW(form.hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
      const bool ended = base::PumpUntil([&] { return !camera->HasRecordThread(); }, 30000);
      base::SetShortNameFunction(previous);
      ASSERT_TRUE(ended);
      const int frames = camera->FramesWritten();
      EXPECT_GE(frames, 3);
      for (const auto& asked : prompter.asked()) ADD_FAILURE() << "asked: " << Narrow(asked.text);

      // Recorded: the file is whole under its own name.
      EXPECT_TRUE(apptest::FileExists(path));
      EXPECT_GE(VideoLength(path), frames);

      // Listed.
      HWND list = form.Control(id::LbVideoList);
      const LRESULT at =
          ::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"录像测试.avi"));
      ASSERT_NE(at, LB_ERR) << "the recording is not listed";

      // Played.
      ::SendMessageW(list, LB_SETCARETINDEX, at, FALSE);
      form.Button(id::BtnReplayRec)->Click();
      app::MciPlayer& player = form.Player().player();
      EXPECT_TRUE(player.IsOpen()) << "the player refused the recording";
      EXPECT_EQ(Narrow(player.FileName()), Narrow(path));
      EXPECT_TRUE(base::PumpUntil([&] { return player.Mode() == MCI_MODE_PLAY || player.Mode() == MCI_MODE_STOP; },
                                  15000));
      form.ReleasePlayer();
    }
    base::FreeActiveBalloon();
  }
  app::SetNotifyIconFunction(previousTray);
}

}  // namespace
