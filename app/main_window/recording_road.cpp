// The steps of a recording, in the order the window takes them. Every check of a start
// (folder, drive, name) runs before anything changes on the screen: a start that fails shows
// its message over the window as it was, and leaves nothing registered and nothing blinking.
// The window is minimised and the tray icon blinks only once the recorder (or the camera)
// runs, and only then does the start's record become the recording that the stop reports.
// Every end of a recording, however it was stopped, comes back through RecordingEnded.
#include "app/main_window/recording_road.h"

#include <functional>

#include "app/texts/kv.h"
#include "app/dialogs/hotkeyset.h"
#include "app/record_paths.h"
#include "base/barrier.h"
#include "base/files.h"
#include "base/text.h"
#include "base/unique.h"

namespace app {

namespace {

// Another program holds the file open (a copy of this program recording into it, a player).
bool InUse(const std::wstring& path) {
  base::UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD error = ::GetLastError();
  return !file && error == ERROR_SHARING_VIOLATION;
}

}  // namespace

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
      Message(base::Format(StrDiskMissingFmt, check.drive));
      break;
    case RecordFolderCheck::Result::Invalid:
      Message(StrInvalidFolder);
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

void RecordingRoad::Message(const std::wstring& text) {
  if (windowHiddenForArea_) {
    windowHiddenForArea_ = false;
    host_.ShowWindowAgain();
  }
  host_.Message(text);
}

std::optional<RecordingRecord> RecordingRoad::NewRecord(bool withSound, const wchar_t* emptyName,
                                                        bool* nameRefused) {
  if (nameRefused) *nameRefused = false;
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
        if (emptyName) Message(emptyName);
        host_.FocusName();
        return std::nullopt;
      case RecordName::Invalid:
        Message(base::Format(kInvalidRecNameFmt, base::Trim(typed)));
        host_.FocusName();
        if (nameRefused) *nameRefused = true;
        return std::nullopt;
    }
    // Without sound the typed name keeps its blanks; with sound it loses them.
    record.fileName = TypedRecordFileName(typed, withSound);
  }
  record.target = record.folder + record.fileName;
  // The typed name of a recording that runs or saves (in this copy or another): never
  // replaced, and not asked about.
  if (!host_.AutoNumbering() && TargetHeld(record.target)) {
    Message(base::Format(kRecordingInUseFmt, record.target));
    host_.FocusName();
    if (nameRefused) *nameRefused = true;
    return std::nullopt;
  }
  // A recording of the typed name is not replaced without a word.
  if (!host_.AutoNumbering() && base::FileExists(record.target)) {
    if (!Ask(base::Format(kReplaceRecordingFmt, record.target))) {
      host_.FocusName();
      if (nameRefused) *nameRefused = true;
      return std::nullopt;
    }
    record.replaceAgreed = true;
  }
  return record;
}

bool RecordingRoad::Ask(const std::wstring& text) {
  if (windowHiddenForArea_) {
    windowHiddenForArea_ = false;
    host_.ShowWindowAgain();
  }
  return host_.Ask(text);
}

bool RecordingRoad::ClaimTarget(RecordingRecord& record) {
  record.targetMade = false;
  record.hold.reset();
  for (int tries = 0; tries < 1000; ++tries) {
    // The target is taken first, and then made or replaced: a recording that holds it (with
    // sound its file is an empty placeholder until the save) keeps it.
    base::UniqueHandle hold;
    if (!HoldTarget(record.target, hold)) {
      if (host_.AutoNumbering()) {
        // Another recording's number, its file perhaps not made yet (or already gone).
        record.fileName = NextAutoFileName(record.folder, record.fileName);
        record.target = record.folder + record.fileName;
        continue;
      }
      Message(base::Format(kRecordingInUseFmt, record.target));
      return false;
    }
    base::UniqueFile made(::CreateFileW(record.target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = ::GetLastError();
    if (made) {
      record.targetMade = true;
      record.hold = std::move(hold);
      return true;
    }
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      Message(base::Format(kCannotCreateRecordingFmt, record.target, std::to_wstring(error)));
      return false;
    }
    if (host_.AutoNumbering()) {
      // Another copy took this number since it was chosen: the next free one.
      record.fileName = NextAutoFileName(record.folder);
      record.target = record.folder + record.fileName;
      continue;
    }
    // The typed name's file: replaced only with the user's word, and never while another
    // program holds it (the player has let go of it by now).
    if (InUse(record.target)) {
      Message(base::Format(kRecordingInUseFmt, record.target));
      return false;
    }
    if (!record.replaceAgreed && !Ask(base::Format(kReplaceRecordingFmt, record.target))) return false;
    record.replaceAgreed = true;
    record.hold = std::move(hold);
    return true;
  }
  Message(base::Format(kCannotCreateRecordingFmt, record.target, std::to_wstring(ERROR_FILE_EXISTS)));
  return false;
}

void RecordingRoad::DropUnusedTarget(const RecordingRecord& record) {
  if (!record.targetMade) return;
  if (base::FileIsEmpty(record.target)) ::DeleteFileW(record.target.c_str());
}

// The with-sound start says its own word about a target it could not build.
std::optional<RecordingRecord> RecordingRoad::BuildTargetPath(bool* nameRefused) {
  return NewRecord(true, nullptr, nameRefused);
}

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
    std::optional<RecordingRecord> record = NewRecord(false, kEnterScreenRecName);
    if (!record) return;

    recordWithSound_ = false;
    StartSoundless(std::move(*record),
                   [&](const std::wstring& target) { recorder_.StartFullScreen(host_.Window(), target); });
  });
}

bool RecordingRoad::StartSoundless(RecordingRecord record, const std::function<void(const std::wstring&)>& start) {
  // 1. A recording with sound that a lost run left is found before this one starts.
  camera_.KeepLostRecordings();
  // 2. The stop key. A conflict opens the hotkey dialog; the recording starts all the same.
  RegisterStopKey();
  // 3. The player lets go of the file it may hold, then the recorder into the target made
  // for it; only a recording that really runs minimises the window and becomes the
  // recording the stop reports.
  host_.ClosePlayer();
  host_.WaitForPlayer();
  if (!ClaimTarget(record)) {
    ReleaseStopKey();
    return false;
  }
  host_.HideBalloons();
  start(record.target);
  if (!recorder_.Recording()) {
    DropUnusedTarget(record);
    ReleaseStopKey();
    return false;
  }
  Begin(std::move(record));
  host_.HideWindow();
  return true;
}

void RecordingRoad::RegisterStopKey() {
  hotkeyOurs_ = false;
  switch (host_.RegisterStopHotkey(ComposeStopHotkey(HotkeyText1, HotkeyText2, HotkeyText3))) {
    case RoadHost::HotkeyResult::Registered:
      stopHotKeyRegistered_ = true;
      hotkeyOurs_ = true;
      break;
    case RoadHost::HotkeyResult::Failed:
      // The combination is held elsewhere; the camera's other keys may still have been taken
      // for the recording, and go back with it.
      stopHotKeyRegistered_ = false;
      hotkeyOurs_ = true;
      ShowHotkeySettings(true, host_.Window());
      break;
    case RoadHost::HotkeyResult::Unavailable:
      break;
  }
}

void RecordingRoad::ReleaseStopKey() {
  if (hotkeyOurs_) host_.UnregisterStopHotkey();
  hotkeyOurs_ = false;
  stopHotKeyRegistered_ = false;
}

void RecordingRoad::Begin(RecordingRecord record) {
  record_ = std::move(record);
  running_ = true;
  balloonAfterSave_ = false;
  statusAfterSave_ = false;
  host_.SetCurrentFile(record_->folder, record_->fileName);
  MinimizeForRecording();
}

void RecordingRoad::StartFullScreenWithSound() {
  base::GuardVoid("StartFullScreenWithSound", [&] {
    if (Busy()) return;
    host_.ReleasePlayer();
    recordWithSound_ = true;
    camera_.CreateHostForm();
    camera_.ApplyDefaultAVOptions();
    bool nameRefused = false;
    std::optional<RecordingRecord> record = BuildTargetPath(&nameRefused);
    if (!record) {
      // A typed name refused in words (or a replacement the user declined) was said already;
      // a folder or an empty name gets the start's own word.
      if (!nameRefused) host_.Message(StrInvalidFolder);
      return;
    }
    // The camera's own stop keys serve: no stop key is registered for this recording.
    if (!ClaimTarget(*record)) return;
    host_.HideBalloons();
    camera_.StartFullScreen(record->target);
    if (!camera_.Recording()) {
      DropUnusedTarget(*record);
      return;
    }
    Begin(std::move(*record));
  });
}

void RecordingRoad::BtnAreaScreenRECClick() {
  base::GuardVoid("BtnAreaScreenRECClick", [&] {
    if (Busy()) return;
    recordWithSound_ = host_.WithSound();
    host_.HideWindow();
    host_.ShowAreaWindow();
  });
}

void RecordingRoad::AreaWindowClosed() {
  base::GuardVoid("AreaWindowClosed", [&] { host_.ShowWindowAgain(); });
}

void RecordingRoad::StartAreaRecording() {
  // Whatever ends the start early, the main window is not left hidden.
  windowHiddenForArea_ = true;
  struct Back {
    RecordingRoad& road;
    ~Back() {
      if (road.windowHiddenForArea_) road.host_.ShowWindowAgain();
      road.windowHiddenForArea_ = false;
    }
  } back{*this};
  base::GuardVoid("StartAreaRecording", [&] {
    if (Busy()) return;
    const bool withSound = host_.WithSound();
    recordWithSound_ = withSound;
    // 1. The target, before anything changes on the screen; its messages show over the main
    // window, which comes back for them.
    std::optional<RecordingRecord> record = NewRecord(withSound, StrEnterRecName.c_str());
    if (!record) return;
    const RECT area = host_.AreaRect();
    if (withSound) {
      StartAreaWithSound(std::move(*record), area);
      return;
    }

    // 2. The recorder over the area window's rectangle, read at every grab.
    HWND areaWindow = host_.AreaWindow();
    if (!StartSoundless(std::move(*record),
                        [&](const std::wstring& target) { recorder_.StartArea(areaWindow, target); }))
      return;
    windowHiddenForArea_ = false;
    host_.ShowToolWindow(area);
  });
}

void RecordingRoad::StartAreaWithSound(RecordingRecord record, const RECT& area) {
  host_.ReleasePlayer();
  camera_.CreateHostForm();
  camera_.ApplyDefaultAVOptions();
  // The stop key goes to the camera's hotkey window, which stops the camera itself.
  RegisterStopKey();
  if (!ClaimTarget(record)) {
    ReleaseStopKey();
    return;
  }
  host_.HideBalloons();
  camera_.StartArea(record.target, area);
  if (!camera_.Recording()) {
    DropUnusedTarget(record);
    ReleaseStopKey();
    Message(kEnterValidFilePath);
    return;
  }
  Begin(std::move(record));
  host_.HideWindow();
  windowHiddenForArea_ = false;
  host_.ShowToolWindow(area);
}

void RecordingRoad::ButtonStopRECClick() {
  base::GuardVoid("ButtonStopRECClick", [&] {
    host_.ShowPlaybackTab();
    // The stop goes to the recorder that runs, whatever the sound toggle shows now. A
    // recording that already reported a failure has nothing to be saved as; one that runs is
    // finished by its recorder's thread after the stop (with sound: merged and saved), and its
    // status line and balloon wait for that, naming the file only when it was made.
    bool saving = false;
    if (StopGoesToCamera()) {
      saving = running_ && record_ && record_->withSound && (camera_.Recording() || camera_.Finishing());
      if (running_ && record_ && record_->withSound && camera_.Recording()) balloonAfterSave_ = true;
      camera_.Stop();
    } else {
      saving = running_ && record_ && !record_->withSound && (recorder_.Recording() || recorder_.Finishing());
      if (running_ && record_ && !record_->withSound && recorder_.Recording() && !recorder_.Failed())
        balloonAfterSave_ = true;
      recorder_.Stop();
    }
    const std::wstring folder = PathEditFolder();
    host_.RefreshRecordingList(folder);
    if (saving)
      statusAfterSave_ = true;
    else
      WriteMadeStatus(folder);
    RestoreAfterRecording();
    // A stop key registered for this recording is given back with it.
    ReleaseStopKey();
    host_.HideToolWindow();
  });
}

// The status line names the recording that was made. Before any recording of this run it
// names what the path bar would make: the folder and the typed name (no number yet).
void RecordingRoad::WriteMadeStatus(const std::wstring& folder) {
  std::wstring made;
  if (record_)
    made = record_->target;
  else
    made = folder + (host_.AutoNumbering() ? std::wstring() : host_.NameText()) + L".avi";
  if (host_.AutoNumbering())
    host_.SetStatus(base::Format(L"%s : %s", StrAutoRecFile, made));
  else
    host_.SetStatus(base::Format(L"%s:%s", StrRecFile, made));
}

void RecordingRoad::RestoreAfterRecording() {
  host_.ShowRecordingRegions();
  host_.SetBlinking(false);
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
  // Cleared however the stop ends: a stop key pressed meanwhile is not a second stop.
  stopInProgress_ = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{stopInProgress_};
  // The recorder is the one the start chose, whatever the sound toggle shows now.
  if (!StopGoesToCamera()) {
    StopRecordingAndRestore();
    return;
  }
  // With sound the camera saves the file on its thread; its end (RecordingEnded) gives the
  // stop key back and refreshes the list.
  base::GuardVoid("StopFromToolWindow", [&] {
    if (running_ && record_ && record_->withSound && camera_.Recording()) balloonAfterSave_ = true;
    camera_.Stop();
    host_.HideToolWindow();
    host_.RestoreWindow();
    host_.SetFullScreenView(false);
  });
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
    ReleaseStopKey();
    host_.HideToolWindow();
    host_.SetBlinking(false);
    const std::wstring folder = PathEditFolder();
    host_.RefreshRecordingList(folder);
    host_.ShowWindowAgain();
    // The status line and the balloon of a stop through the window name a file that exists:
    // only a finished one (with sound: saved; without: closed by its recorder, and the balloon
    // only when no failure was reported).
    const bool saved = withSound ? camera_.Saved() : recorder_.Saved();
    const bool nothing = withSound ? camera_.NothingRecorded() : recorder_.NothingRecorded();
    if (!saved) DropUnusedTarget(*record_);
    // The file is finished (or gone): the target is free for any recording.
    record_->hold.reset();
    if (statusAfterSave_ && saved) WriteMadeStatus(folder);
    // A stop before the first frame: no file, and the status line says so.
    if (statusAfterSave_ && !saved && nothing) host_.SetStatus(kNothingRecorded);
    if (balloonAfterSave_ && saved && (withSound || !recorder_.Failed())) ShowSavedBalloonOnce();
    balloonAfterSave_ = false;
    statusAfterSave_ = false;
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
