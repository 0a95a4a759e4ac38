// The steps of a recording without sound, in the order the window takes them. Every check of
// a start (folder, drive, name) runs before anything changes on the screen: a start that
// fails shows its message over the window as it was, and leaves nothing registered and nothing
// blinking. The window is minimised and the tray icon blinks only once the recorder runs.
#include "app/recording_road.h"

#include "app/kv.h"
#include "app/hotkeyset.h"
#include "app/record_paths.h"
#include "base/barrier.h"
#include "base/files.h"
#include "base/text.h"

namespace app {

RecordingRoad::RecordingRoad(RoadHost& host, RoadRecorder& recorder, RoadFields fields,
                             std::atomic<bool>& recordWithSound, std::atomic<bool>& stopHotKeyRegistered)
    : host_(host),
      recorder_(recorder),
      fields_(fields),
      recordWithSound_(recordWithSound),
      stopHotKeyRegistered_(stopHotKeyRegistered) {}

std::wstring RecordingRoad::GetRecordPath() {
  const RecordFolderCheck check = PrepareRecordFolder(host_.PathText());
  fields_.recordFolder = check.folder;
  switch (check.result) {
    case RecordFolderCheck::Result::Ok:
      return check.folder;
    case RecordFolderCheck::Result::DriveMissing:
      host_.Message(base::Format(StrDiskMissingFmt, check.drive));
      break;
    case RecordFolderCheck::Result::Invalid:
      host_.Message(StrInvalidFolder);
      break;
  }
  host_.FocusPath();
  return std::wstring();
}

std::wstring RecordingRoad::NextAutoFileName() {
  const std::wstring folder = GetRecordPath();
  if (folder.empty()) return std::wstring();
  fields_.fileName = app::NextAutoFileName(folder);
  return folder + fields_.fileName;
}

bool RecordingRoad::BuildTargetPath() {
  fields_.recordFolder = GetRecordPath();
  if (fields_.recordFolder.empty()) return false;
  if (host_.AutoNumbering()) {
    fields_.fileName = app::NextAutoFileName(fields_.recordFolder);
    fields_.targetPath = fields_.recordFolder + fields_.fileName;
    return true;
  }
  // With sound the typed name loses its blanks.
  const std::wstring name = TypedRecordFileName(host_.NameText(), true);
  if (name.empty()) {
    host_.FocusName();
    return false;
  }
  fields_.fileName = name;
  fields_.targetPath = fields_.recordFolder + name;
  return true;
}

void RecordingRoad::MinimizeForRecording() {
  host_.MinimizeApp();
  host_.SetBlinking(true);
}

void RecordingRoad::BtnSartRecClick() {
  base::GuardVoid("BtnSartRecClick", [&] {
    // The with-sound road goes through the screen camera's host form, not built here.
    if (host_.WithSound()) return;
    if (recorder_.Recording() || recorder_.Finishing()) return;

    // 1. The target, before anything changes on the screen.
    const std::wstring folder = GetRecordPath();
    if (folder.empty()) return;
    std::wstring fileName;
    if (host_.AutoNumbering()) {
      fileName = app::NextAutoFileName(folder);
    } else {
      // Without sound the typed name keeps its blanks.
      fileName = TypedRecordFileName(host_.NameText(), false);
      if (fileName.empty()) {
        host_.Message(kEnterScreenRecName);
        host_.FocusName();
        return;
      }
    }
    fields_.recordFolder = folder;
    fields_.fileName = fileName;
    fields_.targetPath = folder + fileName;

    // 2. The stop key. A conflict opens the hotkey dialog; the recording starts all the same.
    recordWithSound_ = false;
    fields_.splitCancel = true;
    hotkeyOurs_ = false;
    switch (host_.RegisterStopHotkey(ComposeStopHotkey(HotkeyText1, HotkeyText2, HotkeyText3))) {
      case RoadHost::HotkeyResult::Registered:
        stopHotKeyRegistered_ = true;
        hotkeyOurs_ = true;
        break;
      case RoadHost::HotkeyResult::Failed:
        stopHotKeyRegistered_ = false;
        ShowHotkeySettings(true, host_.Window());
        break;
      case RoadHost::HotkeyResult::Unavailable:
        break;
    }

    // 3. The recorder; only a recording that really runs minimises the window.
    recorder_.StartFullScreen(host_.Window(), fields_.targetPath);
    if (!recorder_.Recording()) {
      if (hotkeyOurs_) host_.UnregisterStopHotkey();
      hotkeyOurs_ = false;
      stopHotKeyRegistered_ = false;
      return;
    }
    running_ = true;
    MinimizeForRecording();
    host_.HideWindow();
  });
}

void RecordingRoad::ButtonStopRECClick() {
  base::GuardVoid("ButtonStopRECClick", [&] {
    // A recording that already reported a failure has nothing to be saved as.
    bool wasRecording = false;
    if (!recordWithSound_) {
      wasRecording = recorder_.Recording() && !recorder_.Failed();
      recorder_.Stop();
    }
    if (host_.AutoNumbering()) {
      fields_.lastRecName = fields_.fileName;
      const size_t extension = fields_.lastRecName.find(L".avi");
      if (extension != std::wstring::npos) fields_.lastRecName.erase(extension, 4);
    } else {
      fields_.lastRecName = host_.NameText();
    }
    fields_.recordFolder = base::Trim(host_.PathText());
    base::NormalizeDirPath(fields_.recordFolder);
    host_.RefreshRecordingList();
    if (host_.AutoNumbering())
      host_.SetStatus(base::Format(L"%s : %s%s.avi", StrAutoRecFile, fields_.recordFolder, fields_.lastRecName));
    else
      host_.SetStatus(base::Format(L"%s:%s%s.avi", StrRecFile, fields_.recordFolder, fields_.lastRecName));
    RestoreAfterRecording(wasRecording);
    // A stop key registered for this recording is given back with it.
    if (hotkeyOurs_) host_.UnregisterStopHotkey();
    hotkeyOurs_ = false;
    stopHotKeyRegistered_ = false;
  });
}

void RecordingRoad::RestoreAfterRecording(bool recordingWasRunning) {
  host_.ShowRecordingRegions();
  host_.SetBlinking(false);
  if (recordingWasRunning && !fields_.saveBalloonShown) {
    fields_.saveBalloonShown = true;
    host_.ShowSavedBalloon(base::Format(kSavedBalloonTitleFmt, fields_.targetPath), kBalloonHideHint);
  }
}

void RecordingRoad::StopRecordingAndRestore() {
  base::GuardVoid("StopRecordingAndRestore", [&] {
    ButtonStopRECClick();
    host_.RestoreWindow();
  });
}

void RecordingRoad::RecordingEnded() {
  base::GuardVoid("RecordingEnded", [&] {
    if (!running_) return;
    // The thread still closes the file: come back when it has gone.
    if (recorder_.Finishing()) {
      host_.ScheduleEndCheck();
      return;
    }
    running_ = false;
    if (hotkeyOurs_) host_.UnregisterStopHotkey();
    hotkeyOurs_ = false;
    stopHotKeyRegistered_ = false;
    host_.SetBlinking(false);
    host_.RefreshRecordingList();
    host_.RestoreWindow();
  });
}

void RecordingRoad::BtnRectSetClick() {
  base::GuardVoid("BtnRectSetClick", [&] {
    // The with-sound options belong to the screen camera's dialog, not built here.
    if (host_.WithSound()) return;
    recorder_.EditOptions(host_.Window());
  });
}

void RecordingRoad::BtnHotKeySetClick() {
  base::GuardVoid("BtnHotKeySetClick", [&] { ShowHotkeySettings(false, host_.Window()); });
}

}  // namespace app
