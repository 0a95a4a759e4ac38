// Message boxes of the real main window, shown by the real prompter, as a user finds them: each
// box of a failed recording with sound opens in front of the main window (above it in the
// top-level order, once the window is back on the screen), is enabled and is answered with its
// OK button, also a second box over a window the first one disabled. A watcher thread finds
// and answers the boxes while the main thread runs their modal loops.
//
// The no-sound-server case runs in a process of its own (message_boxes.test.sh sets
// PULSE_SERVER to a socket that does not exist, so the wave-in device cannot open).
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <algorithm>
#include <vector>

#include "app/forms/control_ids.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/host_form/optdlg_ws.h"
#include "app/forms/dialog_ids.h"
#include "app/texts/kv.h"
#include "app/dialogs/rename.h"
#include "app/program.h"
#include "base/seams.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/form_doubles.h"
#include "tests/app/recording_form.h"
#include "tests/app/scratch.h"
#include "tests/support/passthrough_codec.h"
#include "tests/support/program_driver.h"

namespace {

namespace id = app::id;

struct SeenBox {
  std::wstring text;
  bool aboveMain = false;  // above the main window in the top-level order (or the window is off the screen)
  bool mainOnScreen = false;
  bool enabled = false;
  bool visible = false;
  RECT rect{};     // the box
  RECT monitor{};  // its monitor
};

// Finds every message box of this process as it opens, looks at it once the main window has
// had time to come back, and presses its OK button.
class BoxWatcher {
 public:
  explicit BoxWatcher(HWND main) : main_(main), thread_([this] { Run(); }) {}
  ~BoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  std::vector<SeenBox> Seen() {
    std::lock_guard<std::mutex> hold(lock_);
    return seen_;
  }

 private:
  static BOOL CALLBACK Collect(HWND wnd, LPARAM lp) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    wchar_t cls[16] = {};
    ::GetClassNameW(wnd, cls, 16);
    if (pid == ::GetCurrentProcessId() && std::wstring(cls) == L"#32770" && ::IsWindowVisible(wnd) &&
        ::GetDlgItem(wnd, 0xFFFF))
      reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
    return TRUE;
  }
  bool Above(HWND box) const {
    for (HWND w = ::GetWindow(box, GW_HWNDNEXT); w; w = ::GetWindow(w, GW_HWNDNEXT))
      if (w == main_) return true;
    return false;
  }
  void Run() {
    std::vector<HWND> answered;
    while (!stop_) {
      std::vector<HWND> boxes;
      ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&boxes));
      for (HWND box : boxes) {
        if (std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
        // The window comes back after a failed recording (restored by the camera); the box
        // must still be in front then.
        const DWORD start = ::GetTickCount();
        while (main_ && ::GetTickCount() - start < 3000 && (!::IsWindowVisible(main_) || ::IsIconic(main_)))
          ::Sleep(20);
        ::Sleep(500);
        SeenBox seen;
        seen.text = testsupport::RunningProgram::MessageBoxText(box);
        seen.mainOnScreen = ::IsWindowVisible(main_) && !::IsIconic(main_);
        seen.aboveMain = !seen.mainOnScreen || Above(box);
        seen.enabled = ::IsWindowEnabled(box) != FALSE;
        seen.visible = ::IsWindowVisible(box) != FALSE;
        ::GetWindowRect(box, &seen.rect);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        ::GetMonitorInfoW(::MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
        seen.monitor = monitor.rcMonitor;
        {
          std::lock_guard<std::mutex> hold(lock_);
          seen_.push_back(seen);
        }
        answered.push_back(box);
        testsupport::RunningProgram::CloseMessageBox(box);
      }
      ::Sleep(50);
    }
  }

  HWND main_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<SeenBox> seen_;
  std::thread thread_;
};

class MessageBoxes : public testing::Test {
 protected:
  void SetUp() override {
    app::MainFormOptions options;
    options.programFolder = program_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    testapp::PrepareRecordingForm(*form_, records_.path(), L"boxed");
    if (HasFatalFailure()) return;
    form_->ToggleSound();
    testapp::PrepareShortSoundRecordings(form_->ScrCamera());
  }
  void TearDown() override {
    form_.reset();
    base::FreeActiveBalloon();
  }
  bool Idle() { return !form_->ScrCamera().HasRecordThread() && !form_->Road()->Running(); }
  // Every box was in front of the main window, enabled and answered; texts lists the starts of
  // what they said, in any order (a second box may open over the first).
  void ExpectAnswerable(const std::vector<SeenBox>& seen, const std::vector<std::wstring>& texts) {
    ASSERT_EQ(texts.size(), seen.size());
    for (const std::wstring& text : texts)
      EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const SeenBox& box) { return box.text.find(text) == 0; }))
          << "no box said " << base::WideToUtf8(text);
    for (size_t i = 0; i < seen.size(); ++i) {
      SCOPED_TRACE(base::WideToUtf8(seen[i].text));
      EXPECT_TRUE(seen[i].mainOnScreen) << "the main window is back while the box shows";
      EXPECT_TRUE(seen[i].aboveMain) << "the box is behind the main window";
      EXPECT_TRUE(seen[i].enabled);
      EXPECT_TRUE(seen[i].visible);
    }
  }

  testsupport::ScopedPassThrough codec_;
  testapp::ScratchFolder program_, records_;
  std::unique_ptr<app::TFrmMain> form_;
};

// The target is held open by another program while the recording runs (a file that is held
// when the recording starts is refused then): the merge cannot replace it, and one box tells
// both the failure and where the recording was kept.
TEST_F(MessageBoxes, ALockedTargetWithSound) {
  const std::wstring target = records_.path() + L"boxed.avi";
  BoxWatcher watcher(form_->hwnd());
  form_->Button(id::BtnSartRec)->Click();
  ASSERT_TRUE(form_->ScrCamera().Recording);
  ASSERT_TRUE(base::PumpUntil([&] { return form_->ScrCamera().FramesWritten >= 2; }, 20000));
  // The start made the target (empty); another program takes it now.
  base::UniqueHandle lock(::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, lock.get());
  ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
  ASSERT_TRUE(base::PumpUntil([&] { return Idle() && watcher.Seen().size() >= 1; }, 60000));
  // A second box would come within the report timer's next ticks.
  base::PumpUntil([&] { return watcher.Seen().size() >= 2; }, 2000);
  ExpectAnswerable(watcher.Seen(), {L"Can not delete existing video file.\r\nRecording kept in: "});
}

// A box whose owner is off the screen (minimised, as the main window is during a recording
// with sound, or hidden, as during one without): the box opens without an owner, but the
// window is disabled while it waits, so a click on the tray icon neither stops nor brings the
// window back; once the box is answered the window is enabled again.
TEST(MessageBoxesOwner, AnOwnerOffTheScreenIsDisabledWhileTheBoxWaits) {
  app::SetProgramIdentity(false);
  const app::NotifyIconFunction previousTray = app::SetNotifyIconFunction(&testapp::IgnoreTrayCall);
  testapp::ScratchFolder program;
  app::MainFormOptions options;
  options.programFolder = program.path();
  auto form = std::make_unique<app::TFrmMain>(options);
  ASSERT_TRUE(form->Create());
  HWND main = form->hwnd();
  for (int state : {SW_MINIMIZE, SW_HIDE}) {
    SCOPED_TRACE(state == SW_MINIMIZE ? "minimised" : "hidden");
    ::ShowWindow(main, SW_SHOWNORMAL);
    ::ShowWindow(main, state);
    base::PumpPending();
    std::atomic<bool> seen{false}, disabledMeanwhile{false}, cameBack{false};
    std::thread watcher([&] {
      const DWORD start = ::GetTickCount();
      while (::GetTickCount() - start < 10000) {
        HWND box = nullptr;
        for (HWND w = ::FindWindowW(L"#32770", nullptr); w; w = ::FindWindowExW(nullptr, w, L"#32770", nullptr))
          if (::IsWindowVisible(w) && testsupport::RunningProgram::MessageBoxText(w) == L"waiting") box = w;
        if (!box) {
          ::Sleep(20);
          continue;
        }
        seen = true;
        disabledMeanwhile = !::IsWindowEnabled(main);
        // The user clicks the tray icon while the box waits.
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(main, app::WM_TRAYICON, 0, WM_LBUTTONDOWN, SMTO_NORMAL, 5000, &result);
        ::Sleep(300);
        cameBack = ::IsWindowVisible(main) && !::IsIconic(main);
        testsupport::RunningProgram::CloseMessageBox(box);
        return;
      }
    });
    base::ShowMessage(main, L"waiting", app::kApplicationTitle, MB_OK);
    watcher.join();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(disabledMeanwhile) << "the window stayed enabled under the box";
    EXPECT_FALSE(cameBack) << "the tray click brought the window back under the box";
    EXPECT_TRUE(::IsWindowEnabled(main)) << "enabled again once the box is answered";
  }
  form.reset();
  app::SetNotifyIconFunction(previousTray);
}

// A rename to a 300-character name: the message that names the path is wider than the screen
// as one line; the box wraps it and stands wholly on the screen.
TEST(MessageBoxesRename, AMessageWiderThanTheScreenStaysOnIt) {
  app::LoadLanguageTexts();
  testapp::ScratchFolder folder;
  folder.Touch(L"take.avi");
  const std::wstring longName(300, L'n');
  testapp::WhenShown(app::RenameDialogWindow, [&](HWND dlg) {
    testapp::SetText(dlg, app::id::EdtName, longName);
    testapp::Press(dlg, app::id::RenameBtnConfirm);
  });
  std::vector<SeenBox> seen;
  {
    BoxWatcher watcher(nullptr);
    EXPECT_FALSE(app::RenameRecording(folder.path(), L"take.avi", L".avi"));
    seen = watcher.Seen();
  }
  ASSERT_EQ(1u, seen.size());
  EXPECT_NE(std::wstring::npos, seen[0].text.find(L"nnnnnnnnnn"));
  const RECT& r = seen[0].rect;
  const RECT& m = seen[0].monitor;
  EXPECT_TRUE(r.left >= m.left && r.top >= m.top && r.right <= m.right && r.bottom <= m.bottom)
      << "box (" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ") on a monitor (" << m.left << ","
      << m.top << "," << m.right << "," << m.bottom << ")";
  EXPECT_TRUE(seen[0].enabled);
  EXPECT_TRUE(folder.Has(L"take.avi"));
}

// No sound server: the wave-in device fails at once, the camera reports it and restores the
// window, and the box is in front of the restored window.
TEST_F(MessageBoxes, NoSoundServer) {
  if (!::GetEnvironmentVariableW(L"RECLUME_E2E_NO_SOUND_SERVER", nullptr, 0))
    GTEST_SKIP() << "run by message_boxes.test.sh";
  BoxWatcher watcher(form_->hwnd());
  form_->Button(id::BtnSartRec)->Click();
  ASSERT_TRUE(base::PumpUntil([&] { return Idle() && !watcher.Seen().empty(); }, 60000));
  ExpectAnswerable(watcher.Seen(), {L"Error on start audio recording."});
}

}  // namespace
