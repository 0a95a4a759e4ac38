// The steps of a recording, in the order the window takes them. Every check of a start
// (folder, drive, name) runs before anything changes on the screen: a start that fails shows
// its message over the window as it was, and leaves nothing registered and nothing blinking.
// The window is minimised and the tray icon blinks only once the recorder (or the camera)
// runs, and only then does the start's record become the recording that the stop reports.
// Every end of a recording, however it was stopped, comes back through RecordingEnded.
#include "app/recording_road.h"

#include "app/kv.h"
#include "app/hotkeyset.h"
#include "app/record_paths.h"
#include "base/barrier.h"
#include "base/files.h"
#include "base/text.h"

namespace app {

RecordingRoad::RecordingRoad(RoadHost& host, RoadRecorder& recorder, RoadCamera& camera,
                             std::atomic<bool>& recordWithSound, std::atomic<bool>& stopHotKeyRegistered)
    : host_(host),
      recorder_(recorder),
      camera_(camera),
      recordWithSound_(recordWithSound),
      stopHotKeyRegistered_(stopHotKeyRegistered) {}

std::wstring RecordingRoad::GetRecordPath() {
  const RecordFolderCheck check = PrepareRecordFolder(host_.PathText());
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

std::wstring RecordingRoad::PathEditFolder() {
  std::wstring folder = base::Trim(host_.PathText());
  base::NormalizeDirPath(folder);
  return folder;
}

std::optional<RecordingRecord> RecordingRoad::NewRecord(bool withSound) {
  RecordingRecord record;
  record.withSound = withSound;
  record.folder = GetRecordPath();
  if (record.folder.empty()) return std::nullopt;
  if (host_.AutoNumbering()) {
    record.fileName = NextAutoFileName(record.folder);
  } else {
    const std::wstring typed = host_.NameText();
    switch (CheckRecordName(typed)) {
      case RecordName::Usable:
        break;
      case RecordName::Empty:
        // The with-sound start says its own word about a target it could not build.
        if (!withSound) host_.Message(kEnterScreenRecName);
        host_.FocusName();
        return std::nullopt;
      case RecordName::Invalid:
        host_.Message(base::Format(kInvalidRecNameFmt, base::Trim(typed)));
        host_.FocusName();
        return std::nullopt;
    }
    // Without sound the typed name keeps its blanks; with sound it loses them.
    record.fileName = TypedRecordFileName(typed, withSound);
  }
  record.target = record.folder + record.fileName;
  return record;
}

std::optional<RecordingRecord> RecordingRoad::BuildTargetPath() { return NewRecord(true); }

void RecordingRoad::MinimizeForRecording() {
  host_.MinimizeApp();
  host_.SetBlinking(true);
}

// A recording runs or one still finishes its file: no second start.
bool RecordingRoad::Busy() {
  return recorder_.Recording() || recorder_.Finishing() || camera_.Recording() || camera_.Finishing();
}

void RecordingRoad::BtnSartRecClick() {
  base::GuardVoid("BtnSartRecClick", [&] {
    if (host_.WithSound()) {
      StartFullScreenWithSound();
      return;
    }
    if (Busy()) return;

    // 1. The target, before anything changes on the screen.
    std::optional<RecordingRecord> record = NewRecord(false);
    if (!record) return;

    // 2. The stop key. A conflict opens the hotkey dialog; the recording starts all the same.
    recordWithSound_ = false;
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

    // 3. The player lets go of the file it may hold, then the recorder; only a recording that
    // really runs minimises the window and becomes the recording the stop reports.
    host_.ClosePlayer();
    host_.WaitForPlayer();
    recorder_.StartFullScreen(host_.Window(), record->target);
    if (!recorder_.Recording()) {
      if (hotkeyOurs_) host_.UnregisterStopHotkey();
      hotkeyOurs_ = false;
      stopHotKeyRegistered_ = false;
      return;
    }
    record_ = std::move(record);
    running_ = true;
    host_.SetCurrentFile(record_->folder, record_->fileName);
    MinimizeForRecording();
    host_.HideWindow();
  });
}

void RecordingRoad::StartFullScreenWithSound() {
  base::GuardVoid("StartFullScreenWithSound", [&] {
    if (Busy()) return;
    host_.ReleasePlayer();
    recordWithSound_ = true;
    camera_.CreateHostForm();
    camera_.ApplyDefaultAVOptions();
    std::optional<RecordingRecord> record = BuildTargetPath();
    if (!record) {
      host_.Message(StrInvalidFolder);
      return;
    }
    // The camera's own stop keys serve: no stop key is registered for this recording.
    camera_.StartFullScreen(record->target);
    if (!camera_.Recording()) return;
    record_ = std::move(record);
    running_ = true;
    balloonAfterSave_ = false;
    host_.SetCurrentFile(record_->folder, record_->fileName);
    MinimizeForRecording();
  });
}

void RecordingRoad::ButtonStopRECClick() {
  base::GuardVoid("ButtonStopRECClick", [&] {
    host_.ShowPlaybackTab();
    // A recording that already reported a failure has nothing to be saved as. A recording with
    // sound is saved by the camera's thread after the stop: its balloon waits for that.
    bool wasRecording = false;
    if (recordWithSound_) {
      if (running_ && record_ && record_->withSound && camera_.Recording()) balloonAfterSave_ = true;
      camera_.Stop();
    } else {
      wasRecording = recorder_.Recording() && !recorder_.Failed();
      recorder_.Stop();
    }
    const std::wstring folder = PathEditFolder();
    host_.RefreshRecordingList(folder);
    // The status line names the recording that was made. Before any recording of this run it
    // names what the path bar would make: the folder and the typed name (no number yet).
    std::wstring made;
    if (record_)
      made = record_->target;
    else
      made = folder + (host_.AutoNumbering() ? std::wstring() : host_.NameText()) + L".avi";
    if (host_.AutoNumbering())
      host_.SetStatus(base::Format(L"%s : %s", StrAutoRecFile, made));
    else
      host_.SetStatus(base::Format(L"%s:%s", StrRecFile, made));
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
  if (recordingWasRunning) ShowSavedBalloonOnce();
}

void RecordingRoad::ShowSavedBalloonOnce() {
  if (!record_ || saveBalloonShown_) return;
  saveBalloonShown_ = true;
  host_.ShowSavedBalloon(base::Format(kSavedBalloonTitleFmt, record_->target), kBalloonHideHint);
}

void RecordingRoad::StopRecordingAndRestore() {
  base::GuardVoid("StopRecordingAndRestore", [&] {
    // The stop key goes first (the camera gives it back only while it is registered).
    host_.UnregisterStopHotkey();
    hotkeyOurs_ = false;
    ButtonStopRECClick();
    host_.RestoreWindow();
    host_.SetFullScreenView(false);
  });
}

void RecordingRoad::StopFromToolWindow() {
  // The tool window stands beside an area recording; the area recording with sound comes
  // with the area window.
  if (host_.WithSound()) return;
  // Cleared however the stop ends: a stop key pressed meanwhile is not a second stop.
  stopInProgress_ = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{stopInProgress_};
  StopRecordingAndRestore();
}

void RecordingRoad::RecordingEnded() {
  base::GuardVoid("RecordingEnded", [&] {
    if (!running_ || !record_) return;
    const bool withSound = record_->withSound;
    // The thread still closes (or, with sound, saves) the file: come back when it has gone.
    if (withSound ? camera_.Finishing() : recorder_.Finishing()) {
      host_.ScheduleEndCheck();
      return;
    }
    running_ = false;
    if (hotkeyOurs_) host_.UnregisterStopHotkey();
    hotkeyOurs_ = false;
    stopHotKeyRegistered_ = false;
    host_.SetBlinking(false);
    host_.RefreshRecordingList(PathEditFolder());
    host_.ShowWindowAgain();
    // The balloon of a stop through the window names a file that exists: only a saved one.
    if (withSound && balloonAfterSave_ && camera_.Saved()) ShowSavedBalloonOnce();
    balloonAfterSave_ = false;
  });
}

void RecordingRoad::BtnRectSetClick() {
  base::GuardVoid("BtnRectSetClick", [&] {
    // The with-sound options are the audio/video options dialog's, over the host form's camera.
    if (host_.WithSound()) {
      camera_.CreateHostForm();
      camera_.EditOptions(host_.Window());
      return;
    }
    recorder_.EditOptions(host_.Window());
  });
}

void RecordingRoad::BtnHotKeySetClick() {
  base::GuardVoid("BtnHotKeySetClick", [&] { ShowHotkeySettings(false, host_.Window()); });
}

}  // namespace app
