// The order of the steps of a recording, followed with a window double and doubles of the two
// recorders: checks before anything changes, the blink only for a recording that runs, the
// saved balloon only for a recording that was running at the stop (with sound: only once it
// was saved), a stop that reports the recording as it was started whatever the window shows
// meanwhile, and every end of a recording bringing the window back.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/forms/dialog_ids.h"
#include "app/dialogs/hotkeyset.h"
#include "app/texts/kv.h"
#include "app/main_window/recording_road.h"
#include "app/record_paths.h"
#include "base/text.h"
#include "base/unique.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/other_copy.h"
#include "tests/app/scratch.h"

namespace {

using Log = std::vector<std::wstring>;

struct HostDouble : app::RoadHost {
  Log log;
  std::wstring path, name;
  bool numbering = true, sound = false;
  HotkeyResult hotkey = HotkeyResult::Registered;
  std::function<void()> onRestore;

  HWND Window() override { return nullptr; }
  std::wstring PathText() override { return path; }
  std::wstring NameText() override { return name; }
  bool AutoNumbering() override { return numbering; }
  bool WithSound() override { return sound; }
  void Message(const std::wstring& text) override { log.push_back(L"message:" + text); }
  std::vector<bool> answers;  // the answers to Ask, in order (then No)
  bool Ask(const std::wstring& text) override {
    log.push_back(L"ask:" + text);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.erase(answers.begin());
    return yes;
  }
  void FocusPath() override { log.push_back(L"focus:path"); }
  void FocusName() override { log.push_back(L"focus:name"); }
  void MinimizeApp() override { log.push_back(L"minimize"); }
  void HideWindow() override { log.push_back(L"hide"); }
  void ShowWindowAgain() override { log.push_back(L"show"); }
  void RestoreWindow() override {
    log.push_back(L"restore");
    if (onRestore) onRestore();
  }
  void SetBlinking(bool on) override { log.push_back(on ? L"blink:on" : L"blink:off"); }
  void RefreshRecordingList(const std::wstring& folder) override { log.push_back(L"refresh:" + folder); }
  void SetStatus(const std::wstring& text) override { log.push_back(L"status:" + text); }
  void SetCurrentFile(const std::wstring& folder, const std::wstring& fileName) override {
    log.push_back(L"current:" + folder + fileName);
  }
  void ShowRecordingRegions() override { log.push_back(L"regions"); }
  void ShowSavedBalloon(const std::wstring& title, const std::wstring&) override { log.push_back(L"balloon:" + title); }
  void HideBalloons() override { log.push_back(L"balloons:hide"); }
  std::function<void()> onRegister;  // what happens while the start registers its stop key
  HotkeyResult RegisterStopHotkey(const app::StopHotkey& key) override {
    log.push_back(L"register:" + key.text);
    if (onRegister) onRegister();
    return hotkey;
  }
  void UnregisterStopHotkey() override { log.push_back(L"unregister"); }
  void ScheduleEndCheck() override { log.push_back(L"schedule"); }
  void ClosePlayer() override { log.push_back(L"close-player"); }
  void WaitForPlayer() override { log.push_back(L"wait"); }
  void ReleasePlayer() override { log.push_back(L"release-player"); }
  void ShowPlaybackTab() override { log.push_back(L"playback-tab"); }
  void SetFullScreenView(bool on) override { log.push_back(on ? L"full-screen:on" : L"full-screen:off"); }
  RECT area{100, 100, 500, 400};
  bool toolShown = false;
  void ShowAreaWindow() override { log.push_back(L"area:show"); }
  RECT AreaRect() override { return area; }
  HWND AreaWindow() override { return nullptr; }
  void ShowToolWindow(const RECT& r) override {
    toolShown = true;
    log.push_back(L"tool:show@" + std::to_wstring(r.left) + L"," + std::to_wstring(r.top));
  }
  // Logged only while the tool window is shown: the stops of full-screen recordings hide none.
  void HideToolWindow() override {
    if (toolShown) log.push_back(L"tool:hide");
    toolShown = false;
  }
};

struct CameraDouble : app::RoadCamera {
  Log& log;
  bool recording = false, finishing = false, saved = false, refuses = false, nothing = false;
  explicit CameraDouble(Log& l) : log(l) {}
  void CreateHostForm() override { log.push_back(L"host-form"); }
  void ApplyDefaultAVOptions() override { log.push_back(L"defaults"); }
  void EditOptions(HWND) override { log.push_back(L"av-options"); }
  void StartFullScreen(const std::wstring& path) override {
    log.push_back(L"camera-start:" + path);
    if (refuses) return;
    recording = finishing = true;
    saved = false;
  }
  void StartArea(const std::wstring& path, const RECT& r) override {
    log.push_back(L"camera-area:" + path + L"@" + std::to_wstring(r.right - r.left) + L"x" +
                  std::to_wstring(r.bottom - r.top));
    if (refuses) return;
    recording = finishing = true;
    saved = false;
  }
  void Stop() override {
    log.push_back(L"camera-stop");
    recording = false;
  }
  bool Recording() override { return recording; }
  bool Finishing() override { return finishing; }
  bool Saved() override { return saved; }
  bool NothingRecorded() override { return nothing; }
  void KeepLostRecordings() override {}
};

struct RecorderDouble : app::RoadRecorder {
  Log& log;
  bool recording = false, finishing = false, failed = false, refuses = false, saved = true, nothing = false;
  explicit RecorderDouble(Log& l) : log(l) {}
  void StartFullScreen(HWND, const std::wstring& path) override {
    log.push_back(L"start:" + path);
    if (refuses) return;
    recording = finishing = true;
    failed = false;
  }
  void StartArea(HWND, const std::wstring& path) override {
    log.push_back(L"area-start:" + path);
    if (refuses) return;
    recording = finishing = true;
    failed = false;
  }
  void Stop() override {
    log.push_back(L"stop");
    recording = false;
  }
  bool Recording() override { return recording; }
  bool Finishing() override { return finishing; }
  bool Failed() override { return failed; }
  bool Saved() override { return saved; }
  bool NothingRecorded() override { return nothing; }
  void EditOptions(HWND) override { log.push_back(L"options"); }
};

std::string Dump(const Log& log) {
  std::string out;
  for (const auto& line : log) out += "  " + base::WideToUtf8(line) + "\n";
  return out;
}

class Road : public testing::Test {
 protected:
  void SetUp() override {
    app::LoadLanguageTexts();
    app::HotkeyText1.clear();
    app::HotkeyText2.clear();
    app::HotkeyText3 = L"Esc";
    host.path = folder.path();
    folder.Touch(L"1.avi");
  }
  void ExpectLog(const Log& expected) {
    EXPECT_EQ(expected, host.log) << "got:\n" << Dump(host.log) << "expected:\n" << Dump(expected);
    host.log.clear();
  }

  testapp::ScratchFolder folder;
  HostDouble host;
  RecorderDouble recorder{host.log};
  CameraDouble camera{host.log};
  std::atomic<bool> withSound{false}, hotkeyRegistered{false};
  app::RecordingRoad road{host, recorder, camera, withSound, hotkeyRegistered};
};

TEST_F(Road, StartChecksThenRegistersStartsAndOnlyThenMinimisesAndBlinks) {
  withSound = true;  // left by a with-sound recording: the sound-less start clears it
  road.BtnSartRecClick();
  const std::wstring target = folder.path() + L"2.avi";
  ExpectLog({L"register:Esc", L"close-player", L"wait", L"balloons:hide", L"start:" + target, L"current:" + target, L"minimize", L"blink:on", L"hide"});
  ASSERT_TRUE(road.LastRecording());
  EXPECT_EQ(folder.path(), road.LastRecording()->folder);
  EXPECT_EQ(L"2.avi", road.LastRecording()->fileName);
  EXPECT_EQ(target, road.LastRecording()->target);
  EXPECT_FALSE(road.LastRecording()->withSound);
  EXPECT_FALSE(withSound);
  EXPECT_TRUE(hotkeyRegistered);

  // Stopped from the tray: the list, the status line and the blink off.
  road.ButtonStopRECClick();
  ExpectLog({L"playback-tab", L"stop", L"refresh:" + folder.path(), L"regions", L"blink:off", L"unregister"});
  EXPECT_FALSE(hotkeyRegistered);
  EXPECT_FALSE(road.SaveBalloonShown()) << "the file is not finished yet";

  // The thread finishes the file: the end comes back until it has gone, then the window comes
  // back as it was (not forced to the normal state) and the status line and the balloon name
  // the finished file.
  road.RecordingEnded();
  ExpectLog({L"schedule"});
  recorder.finishing = false;
  road.RecordingEnded();
  ExpectLog({L"blink:off", L"refresh:" + folder.path(), L"show", L"status:自动生成录像文件 : " + target,
             L"balloon:屏幕录像已保存为" + target});
  EXPECT_TRUE(road.SaveBalloonShown());
  road.RecordingEnded();
  ExpectLog({});

  // A second recording: no second balloon in this run.
  road.BtnSartRecClick();
  host.log.clear();
  road.ButtonStopRECClick();
  for (const auto& line : host.log) EXPECT_EQ(std::wstring::npos, line.find(L"balloon:")) << base::WideToUtf8(line);
}

// The window changes under a running recording (another folder typed, numbering switched off,
// a name typed): the stop still reports the file the recording writes.
TEST_F(Road, TheStopReportsTheRecordingAsItWasStarted) {
  road.BtnSartRecClick();
  const std::wstring target = folder.path() + L"2.avi";
  host.path = folder.path() + L"elsewhere\\";
  host.numbering = false;
  host.name = L"typed later";
  host.log.clear();
  road.ButtonStopRECClick();
  ExpectLog({L"playback-tab", L"stop", L"refresh:" + folder.path() + L"elsewhere\\", L"regions", L"blink:off", L"unregister"});
  recorder.finishing = false;
  road.RecordingEnded();
  ExpectLog({L"blink:off", L"refresh:" + folder.path() + L"elsewhere\\", L"show", L"status:生成录像文件:" + target,
             L"balloon:屏幕录像已保存为" + target});
  ASSERT_TRUE(road.LastRecording());
  EXPECT_EQ(target, road.LastRecording()->target);
}

TEST_F(Road, FailedChecksLeaveTheWindowAsItWas) {
  struct Case {
    std::wstring path, name;
    bool numbering;
    Log expected;
  };
  const std::wstring missing = (::GetLogicalDrives() & (1u << (L'Q' - L'A'))) ? L"" : L"Q:\\rec\\";
  auto invalid = [](const std::wstring& name) {
    return Log{base::Format(L"message:" + std::wstring(app::kInvalidRecNameFmt), name), L"focus:name"};
  };
  std::vector<Case> cases = {
      {folder.path(), L"", false, {L"message:请输入要屏幕录像名称。", L"focus:name"}},
      {folder.path(), L"   ", false, {L"message:请输入要屏幕录像名称。", L"focus:name"}},
      {folder.path() + L"bad|name", L"x", true, {L"message:请选择一个合法的文件夹名称", L"focus:path"}},
      {L"rec", L"x", true, {L"message:磁盘不存在，请重选择一个路径。", L"focus:path"}},
  };
  for (const wchar_t* bad : {L"bad:name*?", L"why?", L"a\\b", L"a/b", L"x|y", L"\"q\"", L"<a>", L"tab\there",
                             L"CON", L"nul", L" com1 ", L"LPT9"})
    cases.push_back({folder.path(), bad, false, invalid(base::Trim(bad))});
  if (!missing.empty()) cases.push_back({missing, L"x", true, {L"message:磁盘Q:不存在，请重选择一个路径。", L"focus:path"}});
  for (const auto& c : cases) {
    host.path = c.path;
    host.name = c.name;
    host.numbering = c.numbering;
    road.BtnSartRecClick();
    ExpectLog(c.expected);
    EXPECT_FALSE(road.Running());
    EXPECT_FALSE(road.LastRecording());
    EXPECT_FALSE(hotkeyRegistered);
  }
}

TEST_F(Road, ARecorderThatDoesNotStartLeavesNothingRegisteredOrBlinking) {
  recorder.refuses = true;
  road.BtnSartRecClick();
  ExpectLog({L"register:Esc", L"close-player", L"wait", L"balloons:hide", L"start:" + folder.path() + L"2.avi", L"unregister"});
  EXPECT_FALSE(hotkeyRegistered);
  EXPECT_FALSE(road.Running());
  EXPECT_FALSE(road.LastRecording()) << "a recording that never ran is none the stop may report";
}

TEST_F(Road, TypedNamesKeepTheirBlanksWithoutSound) {
  host.numbering = false;
  host.name = L" my clip ";
  host.hotkey = app::RoadHost::HotkeyResult::Unavailable;
  road.BtnSartRecClick();
  const std::wstring target = folder.path() + L" my clip .avi";
  ExpectLog({L"register:Esc", L"close-player", L"wait", L"balloons:hide", L"start:" + target, L"current:" + target, L"minimize", L"blink:on", L"hide"});
  EXPECT_FALSE(hotkeyRegistered);
  road.ButtonStopRECClick();
  recorder.finishing = false;
  road.RecordingEnded();
  EXPECT_NE(host.log.end(), std::find(host.log.begin(), host.log.end(), L"status:生成录像文件:" + target)) << Dump(host.log);
  host.log.clear();

  // The with-sound target trims them; an empty name only moves the focus (the with-sound start
  // says its own word), a bad one is named.
  const auto record = road.BuildTargetPath();
  ASSERT_TRUE(record);
  EXPECT_EQ(folder.path() + L"my clip.avi", record->target);
  EXPECT_EQ(L"my clip.avi", record->fileName);
  EXPECT_TRUE(record->withSound);
  EXPECT_EQ(target, road.LastRecording()->target) << "a target built is no recording yet";
  host.name = L"  ";
  EXPECT_FALSE(road.BuildTargetPath());
  ExpectLog({L"focus:name"});
  host.name = L"bad:name*?";
  EXPECT_FALSE(road.BuildTargetPath());
  ExpectLog({base::Format(L"message:" + std::wstring(app::kInvalidRecNameFmt), L"bad:name*?"), L"focus:name"});
}

TEST_F(Road, StopWhileIdleOrAfterAFailureShowsNoBalloon) {
  road.ButtonStopRECClick();
  ExpectLog({L"playback-tab", L"stop", L"refresh:" + folder.path(), L"status:自动生成录像文件 : " + folder.path() + L".avi", L"regions",
             L"blink:off"});
  road.BtnSartRecClick();
  recorder.failed = true;
  host.log.clear();
  road.ButtonStopRECClick();
  for (const auto& line : host.log) EXPECT_EQ(std::wstring::npos, line.find(L"balloon:")) << base::WideToUtf8(line);
  EXPECT_FALSE(road.SaveBalloonShown());
}

// The tool window's stop: stop and bring the window back in the normal state; a stop key that
// arrives meanwhile finds the stop in progress, and the flag is down again afterwards.
TEST_F(Road, TheToolWindowStopRestoresTheWindowAndMarksItselfInProgress) {
  road.BtnSartRecClick();
  host.log.clear();
  bool inProgressAtRestore = false;
  host.onRestore = [&] { inProgressAtRestore = road.StopInProgress(); };
  EXPECT_FALSE(road.StopInProgress());
  road.StopFromToolWindow();
  EXPECT_TRUE(inProgressAtRestore);
  EXPECT_FALSE(road.StopInProgress());
  const std::wstring target = folder.path() + L"2.avi";
  ExpectLog({L"unregister", L"playback-tab", L"stop", L"refresh:" + folder.path(), L"regions", L"blink:off", L"restore",
             L"full-screen:off"});
  EXPECT_FALSE(hotkeyRegistered);

  // The sound toggle switched on meanwhile: the stop still goes to the recorder the start
  // chose.
  host.sound = true;
  road.StopFromToolWindow();
  ExpectLog({L"unregister", L"playback-tab", L"stop", L"refresh:" + folder.path(), L"regions", L"blink:off", L"restore",
             L"full-screen:off"});
}

TEST_F(Road, AStopKeyConflictOpensTheHotkeyDialogAndTheRecordingStillStarts) {
  host.hotkey = app::RoadHost::HotkeyResult::Failed;
  bool hintShown = false;
  testapp::WhenShown(app::HotkeyDialogWindow, [&](HWND dlg) {
    hintShown = ::IsWindowVisible(::GetDlgItem(dlg, app::id::LnlHint1));
    testapp::Press(dlg, app::id::HotkeyBtnClose);
  });
  road.BtnSartRecClick();
  EXPECT_TRUE(hintShown);
  const std::wstring target = folder.path() + L"2.avi";
  ExpectLog({L"register:Esc", L"close-player", L"wait", L"balloons:hide", L"start:" + target, L"current:" + target, L"minimize", L"blink:on", L"hide"});
  EXPECT_FALSE(hotkeyRegistered);
}

TEST_F(Road, OptionsCommandOpensTheDialogOfTheSoundOption) {
  road.BtnRectSetClick();
  ExpectLog({L"options"});
  host.sound = true;
  road.BtnRectSetClick();
  ExpectLog({L"host-form", L"av-options"});
}

// With sound: the player lets go, the host form and the defaults come first, the target is
// built, the camera starts on it, and only a camera that runs minimises the window and blinks.
// A stop through the window writes its status line and its balloon only once the camera
// reports the file saved; a save that failed names no file in either.
TEST_F(Road, WithSoundTheBalloonWaitsForTheSave) {
  host.sound = true;
  for (bool saved : {false, true}) {
    SCOPED_TRACE(saved ? "saved" : "not saved");
    road.BtnSartRecClick();
    const std::wstring target = folder.path() + L"2.avi";
    ExpectLog({L"release-player", L"host-form", L"defaults", L"balloons:hide", L"camera-start:" + target, L"current:" + target,
               L"minimize", L"blink:on"});
    EXPECT_TRUE(withSound);
    EXPECT_FALSE(hotkeyRegistered) << "the camera's own stop keys serve";
    ASSERT_TRUE(road.LastRecording());
    EXPECT_TRUE(road.LastRecording()->withSound);

    road.ButtonStopRECClick();
    ExpectLog({L"playback-tab", L"camera-stop", L"refresh:" + folder.path(), L"regions", L"blink:off"});
    road.RecordingEnded();
    ExpectLog({L"schedule"});
    camera.finishing = false;
    camera.saved = saved;
    road.RecordingEnded();
    Log expected{L"blink:off", L"refresh:" + folder.path(), L"show"};
    if (saved) expected.push_back(L"status:自动生成录像文件 : " + target);
    if (saved) expected.push_back(L"balloon:屏幕录像已保存为" + target);
    ExpectLog(expected);
    EXPECT_EQ(saved, road.SaveBalloonShown());
    EXPECT_FALSE(road.Running());
  }
}

// Without sound the status line and the balloon of a stop through the window also wait for the
// file: the status line names it only when it was made (an error stop may have kept what was
// written), the balloon only when no failure was reported either.
TEST_F(Road, WithoutSoundTheBalloonWaitsForTheFinishedFile) {
  struct Case {
    bool fails, saved;
  };
  for (const Case c : {Case{true, false}, Case{true, true}, Case{false, true}}) {
    const bool fails = c.fails;
    SCOPED_TRACE(std::string(fails ? "fails while finishing" : "finished") + (c.saved ? ", file made" : ", no file"));
    // The next free number: a file made by an earlier case stays (the double writes none, so
    // one it reports as saved is still the empty file the start made).
    const std::wstring target = folder.path() + app::NextAutoFileName(folder.path());
    road.BtnSartRecClick();
    road.ButtonStopRECClick();
    host.log.clear();
    recorder.failed = fails;
    recorder.saved = c.saved;
    recorder.finishing = false;
    road.RecordingEnded();
    Log expected{L"blink:off", L"refresh:" + folder.path(), L"show"};
    if (c.saved) expected.push_back(L"status:自动生成录像文件 : " + target);
    if (!fails) expected.push_back(L"balloon:屏幕录像已保存为" + target);
    ExpectLog(expected);
    EXPECT_EQ(!fails, road.SaveBalloonShown());
  }
}

// A recording stopped through the window before its first frame left no file: the status line
// says that nothing was recorded (with sound and without), and no balloon names a file.
TEST_F(Road, AStopBeforeTheFirstFrameSaysNothingWasRecorded) {
  for (bool sound : {false, true}) {
    SCOPED_TRACE(sound ? "with sound" : "without sound");
    host.sound = sound;
    road.BtnSartRecClick();
    road.ButtonStopRECClick();
    host.log.clear();
    if (sound) {
      camera.finishing = false;
      camera.saved = false;
      camera.nothing = true;
    } else {
      recorder.finishing = false;
      recorder.saved = false;
      recorder.nothing = true;
    }
    road.RecordingEnded();
    ExpectLog({L"blink:off", L"refresh:" + folder.path(), L"show", std::wstring(L"status:") + app::kNothingRecorded});
    EXPECT_FALSE(road.SaveBalloonShown());
  }
}

// The sound toggle clicked during a recording (it rewrites the shared sound flag at once)
// changes only the next recording: the stop button, the tray icon, a stop key and the tool
// window stop the recorder that runs, and the camera's hotkey window is told the same.
TEST_F(Road, TheToggleClickedDuringARecordingChangesOnlyTheNext) {
  struct Case {
    const char* name;
    std::function<void()> stop;
  };
  const Case stops[] = {
      {"stop button / tray", [&] { road.ButtonStopRECClick(); }},
      {"stop key", [&] { road.StopRecordingAndRestore(); }},
      {"tool window", [&] { road.StopFromToolWindow(); }},
  };
  for (bool sound : {true, false}) {
    for (const Case& c : stops) {
      SCOPED_TRACE(std::string(c.name) + (sound ? ", with sound" : ", without sound"));
      host.sound = sound;
      road.BtnSartRecClick();
      ASSERT_TRUE(road.Running());
      withSound = !sound;  // the toggle
      EXPECT_EQ(sound, road.StopGoesToCamera());
      host.log.clear();
      c.stop();
      const std::wstring stopped = sound ? L"camera-stop" : L"stop";
      const std::wstring other = sound ? L"stop" : L"camera-stop";
      EXPECT_NE(host.log.end(), std::find(host.log.begin(), host.log.end(), stopped)) << Dump(host.log);
      EXPECT_EQ(host.log.end(), std::find(host.log.begin(), host.log.end(), other)) << Dump(host.log);
      EXPECT_FALSE(sound ? camera.recording : recorder.recording);
      recorder.finishing = camera.finishing = false;
      road.RecordingEnded();
      EXPECT_FALSE(road.Running());
      EXPECT_EQ(!sound, road.StopGoesToCamera()) << "with none running, the toggle's choice";
    }
  }
}

// The camera stopped itself (a stop key, the auto-stop time, an error): its end still brings
// the window back with the normal icon, and shows no balloon (no stop through the window).
TEST_F(Road, WithSoundAnEndTheCameraReportsRestoresTheWindow) {
  host.sound = true;
  road.BtnSartRecClick();
  host.log.clear();
  camera.recording = false;
  camera.saved = true;
  road.RecordingEnded();
  ExpectLog({L"schedule"});
  camera.finishing = false;
  road.RecordingEnded();
  ExpectLog({L"blink:off", L"refresh:" + folder.path(), L"show"});
  EXPECT_FALSE(road.SaveBalloonShown());
}

// A target that cannot be built shows the start's message over the window as it was: nothing
// minimised, nothing blinking, the camera not started.
TEST_F(Road, WithSoundARefusedTargetChangesNothingButTheMessage) {
  host.sound = true;
  struct Case {
    std::wstring path, name;
    bool numbering;
    Log messages;
  };
  const Case cases[] = {
      {folder.path(), L"", false, {L"focus:name"}},
      {folder.path() + L"bad|name", L"x", true, {L"message:请选择一个合法的文件夹名称", L"focus:path"}},
      {L"rec", L"x", true, {L"message:磁盘不存在，请重选择一个路径。", L"focus:path"}},
  };
  for (const Case& c : cases) {
    host.path = c.path;
    host.name = c.name;
    host.numbering = c.numbering;
    road.BtnSartRecClick();
    Log expected{L"release-player", L"host-form", L"defaults"};
    expected.insert(expected.end(), c.messages.begin(), c.messages.end());
    expected.push_back(L"message:请选择一个合法的文件夹名称");
    ExpectLog(expected);
    EXPECT_FALSE(road.Running());
    EXPECT_FALSE(road.LastRecording());
  }

  // A camera that does not start: no minimise, no blink, no recording to report.
  host.path = folder.path();
  host.numbering = true;
  camera.refuses = true;
  road.BtnSartRecClick();
  ExpectLog({L"release-player", L"host-form", L"defaults", L"balloons:hide", L"camera-start:" + folder.path() + L"2.avi"});
  EXPECT_FALSE(road.Running());
}

// While the camera records or saves, no start of either kind begins.
TEST_F(Road, NoStartWhileTheCameraRecordsOrSaves) {
  host.sound = true;
  road.BtnSartRecClick();
  for (bool recording : {true, false}) {
    camera.recording = recording;
    host.log.clear();
    for (bool sound : {true, false}) {
      host.sound = sound;
      road.BtnSartRecClick();
      ExpectLog({});
    }
  }
}

// The area road. The record button hides the window and shows the area window; the confirm
// checks the target, registers the stop key and starts the recorder (or the camera) over the
// area; only a recording that runs hides the window, blinks and shows the tool window beside
// the area (the double's area is (100, 100)-(500, 400)).
TEST_F(Road, AreaWithoutSoundRecordsTheAreaWindowAndTheToolWindowStops) {
  road.BtnAreaScreenRECClick();
  ExpectLog({L"hide", L"area:show"});
  road.StartAreaRecording();
  const std::wstring target = folder.path() + L"2.avi";
  ExpectLog({L"register:Esc", L"close-player", L"wait", L"balloons:hide", L"area-start:" + target, L"current:" + target, L"minimize",
             L"blink:on", L"hide", L"tool:show@100,100"});
  EXPECT_TRUE(hotkeyRegistered);
  EXPECT_FALSE(withSound);

  road.StopFromToolWindow();
  ExpectLog({L"unregister", L"playback-tab", L"stop", L"refresh:" + folder.path(), L"regions", L"blink:off", L"tool:hide",
             L"restore", L"full-screen:off"});
  EXPECT_FALSE(hotkeyRegistered);
  recorder.finishing = false;
  road.RecordingEnded();
  ExpectLog({L"blink:off", L"refresh:" + folder.path(), L"show", L"status:自动生成录像文件 : " + target,
             L"balloon:屏幕录像已保存为" + target});

  // Closing the area window instead only brings the main window back.
  road.BtnAreaScreenRECClick();
  road.AreaWindowClosed();
  ExpectLog({L"hide", L"area:show", L"show"});
}

// With sound the host form records the area's rectangle; its stop key is registered too. The
// tool window's stop stops the camera and restores the window; the camera's end gives the key
// back and shows the balloon once the file was saved.
TEST_F(Road, AreaWithSoundRecordsTheRectangleThroughTheCamera) {
  host.sound = true;
  road.BtnAreaScreenRECClick();
  EXPECT_TRUE(withSound);
  road.StartAreaRecording();
  const std::wstring target = folder.path() + L"2.avi";
  ExpectLog({L"hide", L"area:show", L"release-player", L"host-form", L"defaults", L"register:Esc", L"balloons:hide",
             L"camera-area:" + target + L"@400x300", L"current:" + target, L"minimize", L"blink:on", L"hide",
             L"tool:show@100,100"});
  EXPECT_TRUE(hotkeyRegistered);
  host.sound = false;  // the toggle switched off meanwhile: the camera is still the one stopped
  road.StopFromToolWindow();
  ExpectLog({L"camera-stop", L"tool:hide", L"restore", L"full-screen:off"});
  EXPECT_FALSE(road.StopInProgress());
  road.RecordingEnded();
  ExpectLog({L"schedule"});
  camera.finishing = false;
  camera.saved = true;
  road.RecordingEnded();
  ExpectLog({L"unregister", L"blink:off", L"refresh:" + folder.path(), L"show", L"balloon:屏幕录像已保存为" + target});
  EXPECT_FALSE(hotkeyRegistered);
}

// Every stop hides the tool window: the tray (the stop button's work), a stop key, and the end
// of a recording with sound that the camera stopped itself.
TEST_F(Road, EveryStopHidesTheToolWindow) {
  struct Case {
    const char* name;
    bool sound;
    std::function<void()> stop;
  };
  const Case cases[] = {
      {"tray", false, [&] { road.ButtonStopRECClick(); }},
      {"stop key", false, [&] { road.StopRecordingAndRestore(); }},
      {"camera's own end", true,
       [&] {
         camera.recording = camera.finishing = false;
         road.RecordingEnded();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.sound = c.sound;
    road.StartAreaRecording();
    ASSERT_TRUE(host.toolShown);
    c.stop();
    EXPECT_FALSE(host.toolShown);
    recorder.recording = recorder.finishing = camera.recording = camera.finishing = false;
    road.RecordingEnded();
    host.log.clear();
  }
}

// A start that fails brings the main window back before its message, so the message shows over
// it; nothing is registered, blinking or shown beside the area.
TEST_F(Road, AFailedAreaStartBringsTheWindowBack) {
  struct Case {
    const char* name;
    bool sound;
    std::wstring path, name_;
    bool numbering, recorderRefuses;
    Log expected;
  };
  const std::wstring target = folder.path() + L"2.avi";
  std::vector<Case> cases;
  for (bool sound : {false, true})
    cases.push_back({"empty name", sound, folder.path(), L"  ", false, false,
                     {L"show", L"message:请输入一个录像名称", L"focus:name"}});
  if (!(::GetLogicalDrives() & (1u << (L'Q' - L'A'))))
    cases.push_back({"missing drive", false, L"Q:\\rec\\", L"", true, false,
                     {L"show", L"message:磁盘Q:不存在，请重选择一个路径。", L"focus:path"}});
  cases.push_back({"recorder refuses", false, folder.path(), L"", true, true,
                   {L"register:Esc", L"close-player", L"wait", L"balloons:hide", L"area-start:" + target, L"unregister", L"show"}});
  cases.push_back({"camera refuses", true, folder.path(), L"", true, true,
                   {L"release-player", L"host-form", L"defaults", L"register:Esc", L"balloons:hide",
                    L"camera-area:" + target + L"@400x300", L"unregister", L"show", L"message:请输入合法文件路径"}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.sound = c.sound;
    host.path = c.path;
    host.name = c.name_;
    host.numbering = c.numbering;
    recorder.refuses = camera.refuses = c.recorderRefuses;
    road.StartAreaRecording();
    ExpectLog(c.expected);
    EXPECT_FALSE(road.Running());
    EXPECT_FALSE(road.LastRecording());
    EXPECT_FALSE(hotkeyRegistered);
    EXPECT_FALSE(host.toolShown);
  }
}

}  // namespace

namespace {

bool Logged(const Log& log, const std::wstring& line) { return std::find(log.begin(), log.end(), line) != log.end(); }

// The messages shown, in order.
Log Messages(const Log& log) {
  Log shown;
  for (const auto& line : log)
    if (line.rfind(L"message:", 0) == 0) shown.push_back(line);
  return shown;
}

DWORD SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : ~0u;
}

// The target is made right before the recorder starts: another copy of the program that took
// the chosen number while the start waited (here: while it registered its stop key, where a
// conflict opens a dialog) keeps its file, and this recording takes the next free number; so
// does a number another copy holds before its file is made. A start that never ran removes the
// file it made.
TEST_F(Road, ANumberTakenWhileTheStartWaitedGivesWayToTheNext) {
  struct Case {
    const char* name;
    bool sound, area;
    const wchar_t* started;  // the log line's start
    bool held;               // the other copy holds the number, and has made no file yet
  } cases[] = {{"without sound", false, false, L"start:", false},
               {"area with sound", true, true, L"camera-area:", false},
               {"without sound, held", false, false, L"start:", true},
               {"area with sound, held", true, true, L"camera-area:", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.sound = c.sound;
    const std::wstring taken = folder.path() + app::NextAutoFileName(folder.path());
    std::unique_ptr<apptest::OtherCopy> other;
    host.onRegister = [&] {
      if (c.held)
        other = std::make_unique<apptest::OtherCopy>(taken);
      else
        apptest::WriteBytes(taken, "the other copy's recording");
    };
    if (c.area)
      road.StartAreaRecording();
    else
      road.BtnSartRecClick();
    host.onRegister = nullptr;
    ASSERT_TRUE(!c.held || (other && other->held()));
    ASSERT_TRUE(road.LastRecording());
    const std::wstring target = road.LastRecording()->target;
    EXPECT_NE(target, taken);
    if (c.held) {
      EXPECT_FALSE(apptest::FileExists(taken)) << "the other copy's number is its own to make";
      EXPECT_TRUE(other->LetGo());
    } else {
      EXPECT_EQ(apptest::ReadBytes(taken), "the other copy's recording");
    }
    EXPECT_EQ(SizeOf(target), 0u) << "the target is made when the recording starts";
    bool named = false;
    for (const auto& line : host.log) named = named || (line.rfind(c.started + target, 0) == 0);
    EXPECT_TRUE(named) << Dump(host.log);
    // Stopped before anything was saved: the empty file goes with the recording.
    road.ButtonStopRECClick();
    recorder.finishing = camera.finishing = false;
    recorder.saved = camera.saved = false;
    road.RecordingEnded();
    EXPECT_FALSE(apptest::FileExists(target));
    host.log.clear();
  }
  // A recorder that does not start leaves no file behind.
  host.sound = false;
  recorder.refuses = true;
  const std::wstring next = folder.path() + app::NextAutoFileName(folder.path());
  road.BtnSartRecClick();
  EXPECT_TRUE(Logged(host.log, L"start:" + next)) << Dump(host.log);
  EXPECT_FALSE(apptest::FileExists(next));
}

// A typed name whose recording exists is asked about, with or without sound: No starts
// nothing and leaves the file as it was, Yes records over it.
TEST_F(Road, ATypedNameThatExistsIsReplacedOnlyWithTheUsersWord) {
  host.numbering = false;
  host.name = L"REC";
  const std::wstring target = folder.path() + L"REC.avi";
  const std::wstring question = base::Format(app::kReplaceRecordingFmt, target);
  struct Case {
    const char* name;
    bool sound, yes;
  } cases[] = {{"without sound, No", false, false}, {"without sound, Yes", false, true},
               {"with sound, No", true, false},     {"with sound, Yes", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(apptest::WriteBytes(target, "the first recording"));
    host.sound = c.sound;
    host.answers = {c.yes};
    road.BtnSartRecClick();
    EXPECT_TRUE(Logged(host.log, L"ask:" + question)) << Dump(host.log);
    const std::wstring started = (c.sound ? L"camera-start:" : L"start:") + target;
    EXPECT_EQ(Logged(host.log, started), c.yes) << Dump(host.log);
    EXPECT_EQ(road.Running(), c.yes);
    EXPECT_EQ(Messages(host.log), Log{}) << "the question is the only word, also after a No";
    // The file is the recorder's to replace, and only after a Yes.
    EXPECT_EQ(apptest::ReadBytes(target), "the first recording");
    if (c.yes) {
      road.ButtonStopRECClick();
      recorder.finishing = camera.finishing = false;
      road.RecordingEnded();
      EXPECT_TRUE(apptest::FileExists(target)) << "a file the start did not make is not removed";
    }
    host.log.clear();
  }
  // One that another program holds open (another copy recording into it) is not replaced:
  // the start says why and starts nothing.
  {
    base::UniqueFile held(::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    host.sound = false;
    host.answers = {true};
    road.BtnSartRecClick();
    EXPECT_TRUE(Logged(host.log, L"message:" + base::Format(app::kRecordingInUseFmt, target))) << Dump(host.log);
    for (const auto& line : host.log) EXPECT_NE(line.rfind(L"start:", 0), 0u) << base::WideToUtf8(line);
    EXPECT_FALSE(road.Running());
    host.log.clear();
  }
  // A name that does not exist yet asks nothing.
  host.name = L"fresh";
  host.sound = false;
  road.BtnSartRecClick();
  for (const auto& line : host.log) EXPECT_NE(line.rfind(L"ask:", 0), 0u) << base::WideToUtf8(line);
  EXPECT_TRUE(Logged(host.log, L"start:" + folder.path() + L"fresh.avi")) << Dump(host.log);
}

// A typed name that another copy records into or saves is refused with its reason, with or
// without sound: no question, nothing started, the other copy's file as it was, also when the
// other copy took it while the start waited. Once the other copy lets go, the name is asked
// about as any existing recording.
TEST_F(Road, ATypedNameAnotherCopyHoldsIsRefusedWithoutAQuestion) {
  host.numbering = false;
  host.name = L"REC";
  const std::wstring target = folder.path() + L"REC.avi";
  const std::wstring inUse = L"message:" + base::Format(app::kRecordingInUseFmt, target);
  struct Case {
    const char* name;
    bool sound, area;
    bool whileWaiting;  // the other copy takes the target while the start registers its stop key
  } cases[] = {{"full screen without sound", false, false, false},
               {"full screen with sound", true, false, false},
               {"area with sound", true, true, false},
               {"area without sound", false, true, false},
               {"without sound, taken while the start waited", false, false, true},
               {"area with sound, taken while the start waited", true, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(apptest::WriteBytes(target, "the other copy's recording"));
    std::unique_ptr<apptest::OtherCopy> other;
    if (!c.whileWaiting) other = std::make_unique<apptest::OtherCopy>(target);
    if (c.whileWaiting) host.onRegister = [&] { other = std::make_unique<apptest::OtherCopy>(target); };
    host.sound = c.sound;
    host.answers = {true, true};
    if (c.area)
      road.StartAreaRecording();
    else
      road.BtnSartRecClick();
    host.onRegister = nullptr;
    ASSERT_TRUE(other && other->held());
    EXPECT_EQ(Messages(host.log), Log{inUse}) << Dump(host.log);
    for (const auto& line : host.log) {
      if (!c.whileWaiting) {
        EXPECT_NE(line.rfind(L"ask:", 0), 0u) << base::WideToUtf8(line);
      }
      for (const wchar_t* started : {L"start:", L"area-start:", L"camera-start:", L"camera-area:", L"minimize"})
        EXPECT_NE(line.rfind(started, 0), 0u) << base::WideToUtf8(line);
    }
    EXPECT_FALSE(road.Running());
    EXPECT_EQ(apptest::ReadBytes(target), "the other copy's recording");
    host.log.clear();

    // Let go: the name is this copy's to replace, after the user's word.
    ASSERT_TRUE(other->LetGo());
    host.answers = {true};
    if (c.area)
      road.StartAreaRecording();
    else
      road.BtnSartRecClick();
    EXPECT_TRUE(Logged(host.log, L"ask:" + base::Format(app::kReplaceRecordingFmt, target))) << Dump(host.log);
    EXPECT_FALSE(Logged(host.log, inUse)) << Dump(host.log);
    EXPECT_TRUE(road.Running());
    road.ButtonStopRECClick();
    recorder.recording = camera.recording = false;
    recorder.finishing = camera.finishing = false;
    road.RecordingEnded();
    host.log.clear();
  }
}

// A recording holds its target from its start until its file is finished (with sound: until
// the save is done), and then lets go of it; one that never started holds nothing.
TEST_F(Road, ARecordingHoldsItsTargetUntilItsFileIsFinished) {
  for (bool sound : {false, true}) {
    SCOPED_TRACE(sound ? "with sound" : "without sound");
    host.sound = sound;
    road.BtnSartRecClick();
    ASSERT_TRUE(road.Running());
    const std::wstring target = road.LastRecording()->target;
    EXPECT_TRUE(app::TargetHeld(target));
    road.ButtonStopRECClick();
    EXPECT_TRUE(app::TargetHeld(target)) << "the file is still being finished";
    road.RecordingEnded();
    EXPECT_TRUE(app::TargetHeld(target)) << "the file is still being finished";
    recorder.finishing = camera.finishing = false;
    camera.saved = true;
    road.RecordingEnded();
    EXPECT_FALSE(app::TargetHeld(target));
  }
  recorder.refuses = true;
  host.sound = false;
  const std::wstring next = folder.path() + app::NextAutoFileName(folder.path());
  road.BtnSartRecClick();
  EXPECT_FALSE(road.Running());
  EXPECT_FALSE(app::TargetHeld(next));
}

}  // namespace
