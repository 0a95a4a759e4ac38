// The camera host form as a real window on the 1920 x 1080 test display: the change rule of
// controls set from code, the settings push for each region type, the area edits' bounds and
// the chain between the edits and RegSelectClick, the key filter, the timer bytes, the saving
// progress answered from a worker, the control states through a recording, and Exit while a
// recording is saved.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/forms/binding.h"
#include "app/forms/dialog_ids.h"
#include "app/host_form/optdlg_ws.h"
#include "app/host_form/withsound.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/text.h"
#include "base/window.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"

namespace {

namespace id = app::id;

// --- the change rule ---

// A window with one control of each kind, counting the notifications that would run handlers.
class Notified : public base::Window {
 public:
  Notified() {
    base::WindowClass cls;
    cls.name = L"BindingTestWindow";
    base::WindowSpec spec;
    spec.style = WS_OVERLAPPEDWINDOW;
    spec.width = 400;
    spec.height = 300;
    Create(cls, spec);
    auto add = [&](const wchar_t* kind, DWORD style, int y, int id) {
      return ::CreateWindowExW(0, kind, L"", WS_CHILD | WS_VISIBLE | style, 10, y, 200, 20, hwnd(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    };
    edit = add(L"EDIT", ES_AUTOHSCROLL, 10, 1);
    check = add(L"BUTTON", BS_AUTOCHECKBOX, 35, 2);
    track = add(TRACKBAR_CLASSW, 0, 60, 3);
    ::SendMessageW(track, TBM_SETRANGEMAX, TRUE, 10);
    combo = add(L"COMBOBOX", CBS_DROPDOWNLIST, 85, 4);
    for (const wchar_t* item : {L"a", L"b"}) ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    for (int i = 0; i < 3; ++i) add(L"BUTTON", BS_AUTORADIOBUTTON, 110 + i * 20, 10 + i);
  }
  HWND edit, check, track, combo;
  std::map<int, int> runs;

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_COMMAND && (HIWORD(wp) == EN_CHANGE || HIWORD(wp) == BN_CLICKED || HIWORD(wp) == CBN_SELCHANGE))
      ++runs[LOWORD(wp)];
    if (msg == WM_HSCROLL) ++runs[::GetDlgCtrlID(reinterpret_cast<HWND>(lp))];
    return Default(msg, wp, lp);
  }
};

TEST(Binding, AHandlerRunsOnceForEachRealChange) {
  Notified w;
  ASSERT_TRUE(w.hwnd());
  ::ShowWindow(w.hwnd(), SW_SHOW);
  HWND parent = w.hwnd();
  static constexpr int kRadios[] = {10, 11, 12};
  struct Case {
    const char* what;
    std::function<void()> act;
    int control;
    int runs;
  };
  const Case cases[] = {
      {"new text", [&] { app::SetEditText(w.edit, L"12"); }, 1, 1},
      {"same text", [&] { app::SetEditText(w.edit, L"12"); }, 1, 0},
      {"typed character",
       [&] {
         ::SendMessageW(w.edit, EM_SETSEL, 2, 2);
         ::SendMessageW(w.edit, WM_CHAR, L'3', 0);
       },
       1, 1},
      {"check", [&] { app::SetChecked(w.check, true); }, 2, 1},
      {"same check", [&] { app::SetChecked(w.check, true); }, 2, 0},
      {"clear", [&] { app::SetChecked(w.check, false); }, 2, 1},
      {"user click", [&] { ::SendMessageW(w.check, BM_CLICK, 0, 0); }, 2, 1},
      {"position", [&] { app::SetTrackPosition(w.track, 4); }, 3, 1},
      {"same position", [&] { app::SetTrackPosition(w.track, 4); }, 3, 0},
      {"clamped to the end", [&] { app::SetTrackPosition(w.track, 10); }, 3, 1},
      {"past the end: still the end", [&] { app::SetTrackPosition(w.track, 50); }, 3, 0},
      {"combo index from code", [&] { app::SetComboIndex(w.combo, 1); }, 4, 0},
      {"radio index", [&] { app::SetRadioIndex(parent, kRadios, 1, app::Notify::Yes); }, 11, 1},
      {"same radio index", [&] { app::SetRadioIndex(parent, kRadios, 1, app::Notify::Yes); }, 11, 0},
      {"radio index, silently", [&] { app::SetRadioIndex(parent, kRadios, 2, app::Notify::No); }, 12, 0},
  };
  for (const Case& c : cases) {
    w.runs.clear();
    c.act();
    EXPECT_EQ(c.runs, w.runs[c.control]) << c.what;
  }
  EXPECT_EQ(L"123", app::EditText(w.edit));
  EXPECT_TRUE(app::Checked(w.check)) << "the user's click ticked it";
  EXPECT_EQ(10, app::TrackPosition(w.track));
  EXPECT_EQ(1, app::ComboIndex(w.combo));
  EXPECT_EQ(2, app::RadioIndex(parent, kRadios));
}

// --- the host form ---

class HostForm : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form.Create(nullptr));
    ::ShowWindow(form.hwnd(), SW_SHOW);
  }
  void TearDown() override { camera().Recording = false; }

  ScrCam::TScreenCamera& camera() { return form.ScrCamera(); }
  HWND Item(int controlId) { return form.Item(controlId); }
  bool Enabled(int controlId) { return ::IsWindowEnabled(Item(controlId)) != FALSE; }
  std::wstring Text(int controlId) { return app::EditText(Item(controlId)); }
  // Pastes text into an edit, as the user's paste or an up-down click would write it.
  void Paste(int editId, const std::wstring& text) { ::SetWindowTextW(Item(editId), text.c_str()); }
  // Runs fn on a worker thread; the main thread waits, serving its messages, then runs what
  // the worker posted.
  void OnWorker(const std::function<void()>& fn) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      fn();
      done = true;
    });
    EXPECT_TRUE(base::PumpUntil([&] { return done.load(); }, 10000)) << "the worker waits for the main thread";
    worker.join();
    base::PumpPending();
  }
  bool Progress(int percent, const std::wstring& caption) {
    bool cont = true;
    form.ScrCameraProgress(percent, caption, cont);
    return cont;
  }

  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter scoped{prompter};
  app::TFrmMainWithSound form;
};

TEST_F(HostForm, StartsWithTheFormsSettings) {
  EXPECT_EQ(100, camera().UpdateRate()) << "Edit9 shows 250, but the camera takes it only when it changes";
  EXPECT_EQ(L"250", Text(id::Edit9));
  EXPECT_EQ(200, camera().PlayBack_FPS());
  EXPECT_EQ(5, camera().Record_MSPF());
  EXPECT_EQ(-1, camera().SelectedCompressor);
  EXPECT_FALSE(camera().UseAudioRecord);
  EXPECT_EQ(2, form.RegSelectIndex());
  EXPECT_TRUE(form.CloseAllowed);
  EXPECT_FALSE(form.CancelRequested);
  // Shown: the monitor list (once, however often it is shown) and the area.
  ::ShowWindow(form.hwnd(), SW_HIDE);
  ::ShowWindow(form.hwnd(), SW_SHOW);
  EXPECT_EQ(1, ::SendMessageW(Item(id::ComboBox4), CB_GETCOUNT, 0, 0));
  EXPECT_EQ(0, app::ComboIndex(Item(id::ComboBox4)));
  EXPECT_EQ(L"300", Text(id::Edit3));
  EXPECT_EQ(300, camera().ScreenWidth());
  RECT client{};
  ::GetClientRect(form.hwnd(), &client);
  EXPECT_EQ(539, client.right);
  EXPECT_EQ(538, client.bottom);
}

TEST_F(HostForm, RegSelectClickPushesEachRegionType) {
  form.SetRegSelectIndex(3);
  form.RegSelectClick();
  for (const auto& [editId, text] : std::vector<std::pair<int, std::wstring>>{
           {id::Edit1, L"10"}, {id::Edit2, L"20"}, {id::Edit3, L"100"}, {id::Edit4, L"80"}})
    Paste(editId, text);
  struct Case {
    int index;
    ScrCam::TScreenRegion region;
    bool top, left, size, frames;
    ScrCam::CaptureRect area;
  };
  using R = ScrCam::TScreenRegion;
  const Case cases[] = {
      {0, R::SelObject, false, false, false, true, {20, 10, 100, 80}},
      {1, R::FreeHand, false, false, false, true, {20, 10, 100, 80}},
      {2, R::FixedMoving, false, false, true, true, {20, 10, 100, 80}},
      {3, R::FixedStable, true, true, true, true, {20, 10, 100, 80}},
      // The whole monitor, whatever the (disabled) edits show.
      {4, R::FullScreen, false, false, false, false, {0, 0, 1920, 1080}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("index " + std::to_string(c.index));
    form.SetRegSelectIndex(c.index);
    form.RegSelectClick();
    EXPECT_EQ(c.region, camera().ScreenRegion);
    const std::pair<int, bool> states[] = {{id::Edit1, c.top},     {id::UpDownTop, c.top},   {id::Edit2, c.left},
                                           {id::UpDownLeft, c.left}, {id::Edit3, c.size},      {id::UpDownWidth, c.size},
                                           {id::Edit4, c.size},    {id::UpDownHeight, c.size}, {id::CheckBox3, c.frames},
                                           {id::CheckBox4, c.frames}};
    for (const auto& [control, enabled] : states) EXPECT_EQ(enabled, Enabled(control)) << "control " << control;
    const ScrCam::CaptureRect got = camera().CaptureArea();
    EXPECT_EQ(c.area.left, got.left);
    EXPECT_EQ(c.area.top, got.top);
    EXPECT_EQ(c.area.width, got.width);
    EXPECT_EQ(c.area.height, got.height);
  }
  EXPECT_EQ(L"10", Text(id::Edit1)) << "the full screen leaves the edits as they were";

  // While the camera records nothing is pushed.
  camera().Recording = true;
  const int runs = form.RegSelectClickRuns();
  form.SetRegSelectIndex(0);
  form.RegSelectClick();
  EXPECT_EQ(runs, form.RegSelectClickRuns());
  EXPECT_EQ(R::FullScreen, camera().ScreenRegion);
}

TEST_F(HostForm, AreaEditsAreBoundedByTheMonitorAndTheChainEnds) {
  form.SetRegSelectIndex(3);
  form.RegSelectClick();
  struct Case {
    int edit;
    std::wstring typed, shown;
    int ScrCam::CaptureRect::*field;
    int value;
  };
  const Case cases[] = {
      {id::Edit2, L"2000", L"1920", &ScrCam::CaptureRect::left, 1920},
      {id::Edit1, L"1500", L"1080", &ScrCam::CaptureRect::top, 1080},
      {id::Edit1, L"", L"0", &ScrCam::CaptureRect::top, 0},
      {id::Edit2, L"-5", L"-5", &ScrCam::CaptureRect::left, -5},
      {id::Edit3, L"700", L"700", &ScrCam::CaptureRect::width, 700},
      {id::Edit4, L"5000", L"1080", &ScrCam::CaptureRect::height, 1080},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(L"typed \"" + c.typed + L"\""));
    const int before = form.RegSelectClickRuns();
    Paste(c.edit, c.typed);
    EXPECT_EQ(c.shown, Text(c.edit));
    EXPECT_EQ(c.value, camera().CaptureArea().*c.field);
    const int runs = form.RegSelectClickRuns() - before;
    EXPECT_GE(runs, 1);
    EXPECT_LE(runs, 3) << "the chain between the edits and RegSelectClick must end";
  }
  int low = 0, high = 0;
  ::SendMessageW(Item(id::UpDownLeft), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  EXPECT_EQ(0, low);
  EXPECT_EQ(1920, high);
}

// On a monitor below the first one, Top reaches the monitor's bottom edge, not its height.
TEST_F(HostForm, TheTopAndLeftBoundsAreTheMonitorsFarEdge) {
  struct Below : ScrCam::MonitorLister {
    std::vector<RECT> Monitors() override { return {RECT{0, 1080, 1280, 2104}}; }
  } below;
  ScrCam::ScopedMonitorLister listed(below);
  form.SetRegSelectIndex(3);
  form.RegSelectClick();
  Paste(id::Edit1, L"2000");
  EXPECT_EQ(L"2000", Text(id::Edit1));
  EXPECT_EQ(2000, camera().ScreenTop());
  Paste(id::Edit1, L"2200");
  EXPECT_EQ(L"2104", Text(id::Edit1));
  Paste(id::Edit2, L"1500");
  EXPECT_EQ(L"1280", Text(id::Edit2));
}

TEST_F(HostForm, DigitEditsTakeOnlyDigitsAndBackspace) {
  for (wchar_t key = 1; key < 128; ++key) {
    const bool passes = key == 8 || (key >= L'0' && key <= L'9');
    EXPECT_EQ(passes ? key : 0, app::TFrmMainWithSound::FilterDigitKey(key)) << "key " << static_cast<int>(key);
  }
  for (int editId : {id::Edit3, id::Edit9}) {
    Paste(editId, L"12");
    ::SendMessageW(Item(editId), EM_SETSEL, 2, 2);
    for (wchar_t key : {L'-', L'a', L'3', L'\b', L'4', L'.'}) ::SendMessageW(Item(editId), WM_CHAR, key, 0);
    EXPECT_EQ(L"124", Text(editId)) << "edit " << editId;
  }
}

TEST_F(HostForm, TimerValuesKeepTheirLowByte) {
  ::SendMessageW(Item(id::CheckBox9), BM_CLICK, 0, 0);
  EXPECT_TRUE(Enabled(id::Edit5));
  EXPECT_TRUE(Enabled(id::UpDown3));
  Paste(id::Edit5, L"300");
  Paste(id::Edit6, L"");
  Paste(id::Edit7, L"7");
  EXPECT_TRUE(camera().AutoStop.load().Enabled);
  EXPECT_EQ(44, camera().AutoStop.load().Hours);
  EXPECT_EQ(L"0", Text(id::Edit6));
  EXPECT_EQ(0, camera().AutoStop.load().Minutes);
  EXPECT_EQ(7, camera().AutoStop.load().Seconds);
  ::SendMessageW(Item(id::CheckBox9), BM_CLICK, 0, 0);
  EXPECT_FALSE(camera().AutoStop.load().Enabled);
  EXPECT_FALSE(Enabled(id::Edit7));
  // The update rate: above the up-down's maximum it is the maximum; 0 leaves the rate.
  Paste(id::Edit9, L"900");
  EXPECT_EQ(L"500", Text(id::Edit9));
  EXPECT_EQ(500, camera().UpdateRate());
  Paste(id::Edit9, L"");
  EXPECT_EQ(L"0", Text(id::Edit9));
  EXPECT_EQ(500, camera().UpdateRate());
}

// Saving progress from the record thread while the main thread waits for it: answered there,
// with no deadlock; the first caption of a save stays; a cancel makes the next answer False.
TEST_F(HostForm, SavingProgressIsAnsweredOnTheCallingThread) {
  std::vector<bool> answers;
  OnWorker([&] {
    answers.push_back(Progress(10, L"Saving the video"));
    answers.push_back(Progress(50, L"Saving the sound"));
  });
  EXPECT_EQ((std::vector<bool>{true, true}), answers);
  EXPECT_FALSE(form.CloseAllowed);
  EXPECT_EQ(L"Saving the video", app::EditText(Item(id::LStatus)));
  EXPECT_TRUE(Enabled(id::BCancel));
  EXPECT_TRUE(Enabled(id::LStatus));
  EXPECT_EQ(50, ::SendMessageW(Item(id::Progress), PBM_GETPOS, 0, 0));

  ::SendMessageW(Item(id::BCancel), BM_CLICK, 0, 0);
  EXPECT_TRUE(form.CancelRequested);
  answers.clear();
  OnWorker([&] {
    answers.push_back(Progress(60, L"Saving the sound"));
    answers.push_back(Progress(10, L"Deleting"));
  });
  EXPECT_EQ((std::vector<bool>{false, true}), answers) << "only the next answer is False";
  EXPECT_FALSE(form.CancelRequested);

  answers.clear();
  OnWorker([&] { answers.push_back(Progress(100, L"Deleting")); });
  EXPECT_EQ((std::vector<bool>{true}), answers);
  EXPECT_TRUE(form.CloseAllowed);
  EXPECT_EQ(app::kNoStatus, app::EditText(Item(id::LStatus)));
  EXPECT_FALSE(Enabled(id::BCancel));
  EXPECT_EQ(0, ::SendMessageW(Item(id::Progress), PBM_GETPOS, 0, 0));
}

// The control states from the camera's start to its stop, raised on the record thread.
TEST_F(HostForm, ControlStatesFollowTheRecording) {
  const int idleOn[] = {id::ComboBox3, id::WsEdtRECPath, id::WsBitBtn1, id::RecBut, id::AudVidOptBut,
                        id::RegSelectItem0, id::RegSelectItem4, id::Edit3, id::UpDownWidth};
  const int idleOff[] = {id::StopBut, id::PauseBut, id::Edit1, id::UpDownTop};
  struct Step {
    const char* event;
    std::function<void()> raise;
    bool recording;
    std::wstring pauseCaption;
  };
  const Step steps[] = {
      {"start", [&] { form.ScrCameraStart(); }, true, L"Pause"},
      {"pause", [&] { form.ScrCameraPause(); }, true, L"Resume"},
      {"resume", [&] { form.ScrCameraResume(); }, true, L"Pause"},
      {"pause again", [&] { form.ScrCameraPause(); }, true, L"Resume"},
      {"stop", [&] { form.ScrCameraStop(); }, false, L"Pause"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.event);
    OnWorker(s.raise);
    for (int control : idleOn) EXPECT_EQ(!s.recording, Enabled(control)) << "control " << control;
    for (int control : idleOff) {
      const bool recordingControl = control == id::StopBut || control == id::PauseBut;
      EXPECT_EQ(s.recording && recordingControl, Enabled(control)) << "control " << control;
    }
    EXPECT_EQ(s.pauseCaption, app::EditText(Item(id::PauseBut)));
  }
}

// Exit while recording stops the recording and keeps the form until the save has ended; then
// Exit hides it (the form itself stays).
TEST_F(HostForm, ExitWhileRecordingWaitsForTheSave) {
  camera().Recording = true;
  ::SendMessageW(Item(id::ExitBut), BM_CLICK, 0, 0);
  EXPECT_FALSE(camera().Recording);
  EXPECT_FALSE(form.CloseAllowed);
  EXPECT_TRUE(::IsWindowVisible(form.hwnd()));
  ::SendMessageW(form.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(::IsWindowVisible(form.hwnd())) << "the close box waits for the save too";
  OnWorker([&] { Progress(100, L"Saved"); });
  EXPECT_TRUE(form.CloseAllowed);
  ::SendMessageW(Item(id::ExitBut), BM_CLICK, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(form.hwnd()));
  EXPECT_TRUE(form.hwnd()) << "closed, the form is hidden, not destroyed";
}

// The figures and the preview picture the record thread reports reach the form through its
// timer; the overlay draws its two lines in the middle of the frame.
TEST_F(HostForm, FiguresPreviewAndOverlayFromTheRecordThread) {
  engine::TBitmap picture(16, 8, engine::TPixelFormat::pf32bit);
  OnWorker([&] {
    form.ScrCameraStart();
    camera().FramesWritten = 12;
    camera().FramesDropped = 3;
    camera().LoopFrameRate = 9.5;
    form.ScrCameraUpdate();
    form.ScrCameraPreview(&picture, false, true);
  });
  EXPECT_TRUE(base::PumpUntil([&] { return app::EditText(Item(id::FramesCapturedValue)) == L"12"; }, 5000));
  EXPECT_EQ(L"3", app::EditText(Item(id::DropedFramesValue)));
  EXPECT_EQ(L"9.50", app::EditText(Item(id::RealCapturingValue)));
  EXPECT_EQ(app::kRecordingCaption, app::EditText(Item(id::Label9)));
  EXPECT_EQ(16, form.PreviewPicture().Width());
  EXPECT_EQ(8, form.PreviewPicture().Height());
  OnWorker([&] { form.ScrCameraPreview(nullptr, false, false); });
  EXPECT_TRUE(base::PumpUntil([&] { return app::EditText(Item(id::Label9)) == app::kPreviewOffCaption; }, 5000));
  EXPECT_TRUE(form.PreviewPicture().Empty());

  engine::TBitmap frame(320, 200, engine::TPixelFormat::pf32bit);
  OnWorker([&] { form.ScrCameraOverlay(frame.DC(), 320, 200); });
  ::GdiFlush();
  int lime = 0, red = 0;
  for (int y = 90; y < 140; ++y)
    for (int x = 0; x < 320; ++x) {
      const COLORREF c = ::GetPixel(frame.DC(), x, y);
      lime += c == RGB(0, 255, 0);
      red += c == RGB(255, 0, 0);
    }
  EXPECT_GT(lime, 20) << "the caption in lime";
  EXPECT_GT(red, 5) << "the version in red";
}

// The main window's two routes: the whole monitor (region type 4) and an area (type 3, the
// area written into the edits first); both start the camera on the path.
TEST_F(HostForm, TheMainWindowsRoutesStartTheCamera) {
  apptest::ScratchFolder folder;
  struct Case {
    std::wstring path;
    std::function<void(const std::wstring&)> record;
    int index;
    ScrCam::TScreenRegion region;
    ScrCam::CaptureRect area;
  };
  const Case cases[] = {
      {folder.path() + L"area.avi", [&](const std::wstring& p) { form.RecordArea(p, {50, 100, 320, 240}); }, 3,
       ScrCam::TScreenRegion::FixedStable, {50, 100, 320, 240}},
      {folder.path() + L"full.avi", [&](const std::wstring& p) { form.RecordFullScreen(p); }, 4,
       ScrCam::TScreenRegion::FullScreen, {0, 0, 1920, 1080}},
  };
  camera().MinimizeAppOnStart = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.path));
    const std::wstring& path = c.path;
    c.record(path);
    EXPECT_TRUE(camera().Recording);
    EXPECT_EQ(path, ScrCam::TargetFile);
    EXPECT_EQ(c.index, form.RegSelectIndex());
    EXPECT_EQ(c.region, camera().ScreenRegion);
    const ScrCam::CaptureRect got = camera().CaptureArea();
    EXPECT_EQ(c.area.left, got.left);
    EXPECT_EQ(c.area.top, got.top);
    EXPECT_EQ(c.area.width, got.width);
    EXPECT_EQ(c.area.height, got.height);
    camera().StopRecording();
    EXPECT_TRUE(base::PumpUntil([&] { return !camera().HasRecordThread(); }, 30000));
  }
}

// An error the camera reports from its thread is shown on the main thread, in the "Error" box;
// what it says of the files it kept is information.
TEST_F(HostForm, CameraErrorsAreShownOnTheMainThread) {
  struct Case {
    const wchar_t* text;
    UINT icon;
  };
  const Case cases[] = {
      {L"Can't create the record thread.", 0},
      {L"Recording kept in: C:\\temp\\Reclume recording 20261211-104000.avi", MB_ICONINFORMATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.text));
    const size_t before = prompter.asked().size();
    OnWorker([&] { form.ScrCameraError(c.text); });
    ASSERT_TRUE(base::PumpUntil([&] { return prompter.asked().size() > before; }, 5000));
    const auto asked = prompter.asked();
    ASSERT_EQ(before + 1, asked.size());
    EXPECT_EQ(c.text, asked.back().text);
    EXPECT_EQ(L"Error", asked.back().caption);
    EXPECT_EQ(c.icon, asked.back().flags & MB_ICONMASK);
  }
}

// A saved recording whose sound stopped early: at its end one box says it was saved and where
// the sound stopped; with an error of the same recording, the line joins that error's box.
TEST_F(HostForm, TheEndOfARecordingSaysWhereItsSoundStopped) {
  const std::wstring savedTarget = ScrCam::TargetFile;
  const bool savedMerge = ScrCam::MergeSucceeded;
  ScrCam::TargetFile = L"C:\\records\\5.avi";
  const std::wstring soundLine = L"录音在第5秒时中断（录音设备已断开或磁盘已满），此后的录像没有声音。";
  struct Case {
    bool saved;
    const wchar_t* error;  // nullptr: none
    std::wstring expected;
    UINT icon;
  };
  const Case cases[] = {
      {true, nullptr, L"屏幕录像已保存为C:\\records\\5.avi\r\n" + soundLine, MB_ICONWARNING},
      {false, L"Recording kept in: C:\\temp\\k.avi", L"Recording kept in: C:\\temp\\k.avi\r\n" + soundLine, MB_ICONWARNING},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.expected));
    ScrCam::MergeSucceeded = c.saved;
    ScrCam::SoundStoppedAtMs = 5400;
    const size_t before = prompter.asked().size();
    OnWorker([&] {
      if (c.error) form.ScrCameraError(c.error);
      form.ScrCameraStop();
    });
    ASSERT_TRUE(base::PumpUntil([&] { return prompter.asked().size() > before; }, 5000));
    const auto asked = prompter.asked();
    ASSERT_EQ(before + 1, asked.size());
    EXPECT_EQ(base::WideToUtf8(c.expected), base::WideToUtf8(asked.back().text));
    EXPECT_EQ(c.icon, asked.back().flags & MB_ICONMASK);
    EXPECT_EQ(-1, ScrCam::SoundStoppedAtMs.load()) << "told once";
  }
  // A recording whose sound lasted: its end shows nothing.
  const size_t before = prompter.asked().size();
  OnWorker([&] { form.ScrCameraStop(); });
  base::PumpUntil([&] { return prompter.asked().size() > before; }, 1000);
  EXPECT_EQ(before, prompter.asked().size());
  ScrCam::TargetFile = savedTarget;
  ScrCam::MergeSucceeded = savedMerge;
}

}  // namespace

namespace {

// The options dialog's defaults on the form's fresh camera: the first compressor listed for
// the camera's rectangle (a 2 x 2 one, which only the test's pass-through compressor takes),
// or -1 when none is; the rest as the form left it, with sound on in format 2. Applied once.
TEST_F(HostForm, DefaultAVOptionsGiveTheEffectiveSettingsOnce) {
  for (bool installed : {true, false}) {
    SCOPED_TRACE(installed ? "pass-through installed" : "no compressor takes the frame");
    std::optional<testsupport::ScopedPassThrough> codec;
    if (installed) codec.emplace();
    camera().SetCaptureArea({0, 0, 2, 2});
    camera().SetCompressionQuality(10000);
    camera().SelectedCompressor = -1;
    camera().UseAudioRecord = false;
    camera().SelectedAudioFormat = -1;
    app::AVOptionDefaults defaults;
    EXPECT_TRUE(defaults.Apply(camera()));
    EXPECT_EQ(installed ? 0 : -1, camera().SelectedCompressor);
    if (installed) {
      ASSERT_EQ(1, camera().CompressorCount);
      EXPECT_EQ(testsupport::kPassThroughFourCC, camera().Compressors[0].fccHandler);
    }
    EXPECT_EQ(10000, camera().CompressionQuality());
    EXPECT_EQ(20, camera().KeyFramesEvery);
    EXPECT_EQ(5, camera().Record_MSPF());
    EXPECT_EQ(200, camera().PlayBack_FPS());
    EXPECT_TRUE(camera().UseAudioRecord);
    EXPECT_EQ(2, camera().SelectedAudioFormat);

    // A second call changes nothing.
    camera().SelectedCompressor = 3;
    camera().UseAudioRecord = false;
    camera().SetCompressionQuality(7400);
    EXPECT_FALSE(defaults.Apply(camera()));
    EXPECT_EQ(3, camera().SelectedCompressor);
    EXPECT_FALSE(camera().UseAudioRecord);
    EXPECT_EQ(7400, camera().CompressionQuality());
  }
  // The quality in steps of 1000: 7400 gives 7000; below 1000 it stays.
  for (const auto& [before, after] : std::vector<std::pair<int, int>>{{7400, 7000}, {500, 500}, {10000, 10000}}) {
    app::AVOptionDefaults defaults;
    camera().SetCompressionQuality(before);
    defaults.Apply(camera());
    EXPECT_EQ(after, camera().CompressionQuality()) << "from " << before;
  }
}

}  // namespace
