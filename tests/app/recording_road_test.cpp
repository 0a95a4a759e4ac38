// The order of the steps of a recording without sound, followed with a window double and a
// recorder double: checks before anything changes, the blink only for a recording that runs,
// the saved balloon only for a recording that was running at the stop.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "app/hotkeyset.h"
#include "app/kv.h"
#include "app/recording_road.h"
#include "base/text.h"
#include "dialog_driver.h"

namespace {

using Log = std::vector<std::wstring>;

struct HostDouble : app::RoadHost {
  Log log;
  std::wstring path, name;
  bool numbering = true, sound = false;
  HotkeyResult hotkey = HotkeyResult::Registered;

  HWND Window() override { return nullptr; }
  std::wstring PathText() override { return path; }
  std::wstring NameText() override { return name; }
  bool AutoNumbering() override { return numbering; }
  bool WithSound() override { return sound; }
  void Message(const std::wstring& text) override { log.push_back(L"message:" + text); }
  void FocusPath() override { log.push_back(L"focus:path"); }
  void FocusName() override { log.push_back(L"focus:name"); }
  void MinimizeApp() override { log.push_back(L"minimize"); }
  void HideWindow() override { log.push_back(L"hide"); }
  void RestoreWindow() override { log.push_back(L"restore"); }
  void SetBlinking(bool on) override { log.push_back(on ? L"blink:on" : L"blink:off"); }
  void RefreshRecordingList() override { log.push_back(L"refresh"); }
  void SetStatus(const std::wstring& text) override { log.push_back(L"status:" + text); }
  void ShowRecordingRegions() override { log.push_back(L"regions"); }
  void ShowSavedBalloon(const std::wstring& title, const std::wstring&) override { log.push_back(L"balloon:" + title); }
  HotkeyResult RegisterStopHotkey(const app::StopHotkey& key) override {
    log.push_back(L"register:" + key.text);
    return hotkey;
  }
  void UnregisterStopHotkey() override { log.push_back(L"unregister"); }
  void ScheduleEndCheck() override { log.push_back(L"schedule"); }
};

struct RecorderDouble : app::RoadRecorder {
  Log& log;
  bool recording = false, finishing = false, failed = false, refuses = false;
  explicit RecorderDouble(Log& l) : log(l) {}
  void StartFullScreen(HWND, const std::wstring& path) override {
    log.push_back(L"start:" + path);
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
  std::wstring recordFolder, fileName, targetPath, lastRecName;
  bool saveBalloonShown = false, splitCancel = false;
  std::atomic<bool> withSound{false}, hotkeyRegistered{false};
  app::RecordingRoad road{host, recorder,
                          app::RoadFields{recordFolder, fileName, targetPath, lastRecName, saveBalloonShown, splitCancel},
                          withSound, hotkeyRegistered};
};

TEST_F(Road, StartChecksThenRegistersStartsAndOnlyThenMinimisesAndBlinks) {
  withSound = true;  // left by a with-sound recording: the sound-less start clears it
  road.BtnSartRecClick();
  const std::wstring target = folder.path() + L"2.avi";
  ExpectLog({L"register:Esc", L"start:" + target, L"minimize", L"blink:on", L"hide"});
  EXPECT_EQ(target, targetPath);
  EXPECT_EQ(L"2.avi", fileName);
  EXPECT_FALSE(withSound);
  EXPECT_TRUE(hotkeyRegistered);
  EXPECT_TRUE(splitCancel);

  // Stopped from the tray: the list, the status line, the blink off and the saved balloon.
  road.ButtonStopRECClick();
  ExpectLog({L"stop", L"refresh", L"status:自动生成录像文件 : " + folder.path() + L"2.avi", L"regions", L"blink:off",
             L"balloon:屏幕录像已保存为" + target, L"unregister"});
  EXPECT_FALSE(hotkeyRegistered);

  // The thread finishes the file: the end comes back until it has gone, then the window.
  road.RecordingEnded();
  ExpectLog({L"schedule"});
  recorder.finishing = false;
  road.RecordingEnded();
  ExpectLog({L"blink:off", L"refresh", L"restore"});
  road.RecordingEnded();
  ExpectLog({});

  // A second recording: no second balloon in this run.
  road.BtnSartRecClick();
  host.log.clear();
  road.ButtonStopRECClick();
  for (const auto& line : host.log) EXPECT_EQ(std::wstring::npos, line.find(L"balloon:")) << base::WideToUtf8(line);
}

TEST_F(Road, FailedChecksLeaveTheWindowAsItWas) {
  struct Case {
    std::wstring path, name;
    bool numbering;
    Log expected;
  };
  const std::wstring missing = (::GetLogicalDrives() & (1u << (L'Q' - L'A'))) ? L"" : L"Q:\\rec\\";
  std::vector<Case> cases = {
      {folder.path(), L"", false, {L"message:请输入要屏幕录像名称。", L"focus:name"}},
      {folder.path(), L"   ", false, {L"message:请输入要屏幕录像名称。", L"focus:name"}},
      {folder.path(), L"why?", false, {L"message:请输入要屏幕录像名称。", L"focus:name"}},
      {folder.path(), L"a\\b", false, {L"message:请输入要屏幕录像名称。", L"focus:name"}},
      {folder.path() + L"bad|name", L"x", true, {L"message:请选择一个合法的文件夹名称", L"focus:path"}},
      {L"rec", L"x", true, {L"message:磁盘不存在，请重选择一个路径。", L"focus:path"}},
  };
  if (!missing.empty()) cases.push_back({missing, L"x", true, {L"message:磁盘Q:不存在，请重选择一个路径。", L"focus:path"}});
  for (const auto& c : cases) {
    host.path = c.path;
    host.name = c.name;
    host.numbering = c.numbering;
    road.BtnSartRecClick();
    ExpectLog(c.expected);
    EXPECT_FALSE(road.Running());
    EXPECT_FALSE(hotkeyRegistered);
  }
}

TEST_F(Road, ARecorderThatDoesNotStartLeavesNothingRegisteredOrBlinking) {
  recorder.refuses = true;
  road.BtnSartRecClick();
  ExpectLog({L"register:Esc", L"start:" + folder.path() + L"2.avi", L"unregister"});
  EXPECT_FALSE(hotkeyRegistered);
  EXPECT_FALSE(road.Running());
}

TEST_F(Road, TypedNamesKeepTheirBlanksWithoutSound) {
  host.numbering = false;
  host.name = L" my clip ";
  host.hotkey = app::RoadHost::HotkeyResult::Unavailable;
  road.BtnSartRecClick();
  ExpectLog({L"register:Esc", L"start:" + folder.path() + L" my clip .avi", L"minimize", L"blink:on", L"hide"});
  EXPECT_FALSE(hotkeyRegistered);
  // The with-sound target trims them.
  ASSERT_TRUE(road.BuildTargetPath());
  EXPECT_EQ(folder.path() + L"my clip.avi", targetPath);
  road.ButtonStopRECClick();
  EXPECT_EQ(L" my clip ", lastRecName);
}

TEST_F(Road, StopWhileIdleOrAfterAFailureShowsNoBalloon) {
  road.ButtonStopRECClick();
  ExpectLog({L"stop", L"refresh", L"status:自动生成录像文件 : " + folder.path() + L".avi", L"regions", L"blink:off"});
  road.BtnSartRecClick();
  recorder.failed = true;
  host.log.clear();
  road.ButtonStopRECClick();
  for (const auto& line : host.log) EXPECT_EQ(std::wstring::npos, line.find(L"balloon:")) << base::WideToUtf8(line);
  EXPECT_FALSE(saveBalloonShown);
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
  ExpectLog({L"register:Esc", L"start:" + folder.path() + L"2.avi", L"minimize", L"blink:on", L"hide"});
  EXPECT_FALSE(hotkeyRegistered);
}

TEST_F(Road, OptionsCommandOpensTheSoundlessDialogOnlyWithoutSound) {
  road.BtnRectSetClick();
  ExpectLog({L"options"});
  host.sound = true;
  road.BtnRectSetClick();
  road.BtnSartRecClick();
  ExpectLog({});
}

}  // namespace
