// The main window's road of a recording, with or without sound: the target checks, the
// full-screen starts, the stops and the end of the recording. The window, the sound-less
// recorder and the screen camera behind its host form are reached through the small interfaces
// below, so the order of the steps can be followed with doubles; TFrmMain implements the host
// and hands in the two recorders.
//
// Each recording has its own record (RecordingRecord), made when it starts and read when it
// stops: what the user clicks, plays or types in the meantime never changes what the stop
// reports.
//
// Main thread only. Each recorder's own thread reports the end of a recording by posting to
// the main thread, which then calls RecordingEnded.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "app/dialogs/hotkeyset.h"
#include "base/unique.h"

namespace app {

class RoadRecorder {
 public:
  virtual ~RoadRecorder() = default;
  // Starts recording the work area of window's monitor into path, with the corner brackets
  // shown; does nothing while a recording runs or a previous one still finishes its file.
  virtual void StartFullScreen(HWND window, const std::wstring& path) = 0;
  // Starts recording the window rectangle of area, read again at every grab, into path.
  virtual void StartArea(HWND area, const std::wstring& path) = 0;
  // Asks the running recording to end; returns at once.
  virtual void Stop() = 0;
  // A recording runs.
  virtual bool Recording() = 0;
  // The recording's thread still exists (it may be finishing its file).
  virtual bool Finishing() = 0;
  // The current or last recording reported a failure.
  virtual bool Failed() = 0;
  // The last recording's file was made (it may hold what an error stop kept).
  virtual bool Saved() = 0;
  // The last recording ended before its first frame: it left no file.
  virtual bool NothingRecorded() = 0;
  // Refreshes the compressor list and shows the options dialog over owner.
  virtual void EditOptions(HWND owner) = 0;
};

// The screen camera on its host form, as the with-sound road sees it.
class RoadCamera {
 public:
  virtual ~RoadCamera() = default;
  // Makes the host form (with the camera) when it does not exist yet.
  virtual void CreateHostForm() = 0;
  // The options dialog's defaults, written into the camera once per run.
  virtual void ApplyDefaultAVOptions() = 0;
  // The host form records the whole monitor into path: its path edit, region type 4, the
  // settings push, its record button.
  virtual void StartFullScreen(const std::wstring& path) = 0;
  // The host form records the fixed rectangle area (screen pixels) into path: region type 3.
  virtual void StartArea(const std::wstring& path, const RECT& area) = 0;
  // Asks a running recording to end when the host form exists; returns at once.
  virtual void Stop() = 0;
  virtual bool Recording() = 0;
  // The camera's record thread still exists (it may be saving the file).
  virtual bool Finishing() = 0;
  // The last recording's target file was saved.
  virtual bool Saved() = 0;
  // The last recording ended before its first frame: no target was written for it.
  virtual bool NothingRecorded() = 0;
  // Shows the audio/video options dialog over owner.
  virtual void EditOptions(HWND owner) = 0;
  // Before a recording without sound: what a lost run of the camera left in the temporary
  // folder is kept as a recording, and the user told where (the host form made if needed).
  virtual void KeepLostRecordings() = 0;
};

class RoadHost {
 public:
  virtual ~RoadHost() = default;
  virtual HWND Window() = 0;
  virtual std::wstring PathText() = 0;  // the recording folder's edit
  virtual std::wstring NameText() = 0;  // the recording name's edit
  virtual bool AutoNumbering() = 0;
  virtual bool WithSound() = 0;
  virtual void Message(const std::wstring& text) = 0;
  // A question with Yes and No over the window (through the message-box prompter); true for
  // Yes.
  virtual bool Ask(const std::wstring& text) = 0;
  virtual void FocusPath() = 0;
  virtual void FocusName() = 0;
  virtual void MinimizeApp() = 0;
  virtual void HideWindow() = 0;
  // Shown again in the state it had before the recording (maximised stays maximised), in
  // front.
  virtual void ShowWindowAgain() = 0;
  // Shown in the normal (not maximised) state, in front.
  virtual void RestoreWindow() = 0;
  // On: the tray icon blinks every second. Off: the timer stops and the normal icon is back.
  virtual void SetBlinking(bool on) = 0;
  // The list shows the recordings of folder (ending with "\"), which becomes the window's
  // recording folder.
  virtual void RefreshRecordingList(const std::wstring& folder) = 0;
  virtual void SetStatus(const std::wstring& text) = 0;
  // A recording started into folder + fileName: it is the window's current file (the one the
  // default player opens) until another is chosen.
  virtual void SetCurrentFile(const std::wstring& folder, const std::wstring& fileName) = 0;
  // The path bar, the left bar, the status line and the centre are shown again; the web
  // panel's recommendation panel is hidden.
  virtual void ShowRecordingRegions() = 0;
  // The balloon that points at the recordings list, once the window is shown.
  virtual void ShowSavedBalloon(const std::wstring& title, const std::wstring& text) = 0;
  // Every balloon of the program goes off the screen (and one waiting to be shown is dropped):
  // a recording about to start must not record the program's own hints.
  virtual void HideBalloons() = 0;
  enum class HotkeyResult { Registered, Failed, Unavailable };
  virtual HotkeyResult RegisterStopHotkey(const StopHotkey& hotkey) = 0;
  virtual void UnregisterStopHotkey() = 0;
  // Asks for RecordingEnded to be called again shortly (the file is not finished yet).
  virtual void ScheduleEndCheck() = 0;
  // The player lets go of its file: closed (ClosePlayer, then a short wait for the file to be
  // free) or released with its window (ReleasePlayer).
  virtual void ClosePlayer() = 0;
  virtual void WaitForPlayer() = 0;
  virtual void ReleasePlayer() = 0;
  // The playback tab in front, its video panel hidden.
  virtual void ShowPlaybackTab() = 0;
  virtual void SetFullScreenView(bool on) = 0;
  // The area window (made on first use), shown in front; its outer rectangle and handle.
  virtual void ShowAreaWindow() = 0;
  virtual RECT AreaRect() = 0;
  virtual HWND AreaWindow() = 0;
  // The tool window (made on first use) beside area, and hidden again.
  virtual void ShowToolWindow(const RECT& area) = 0;
  virtual void HideToolWindow() = 0;
};

// One recording, as it was started.
struct RecordingRecord {
  std::wstring folder;    // ends with "\"
  std::wstring fileName;  // the name in folder, with its ".avi"
  std::wstring target;    // folder + fileName
  bool withSound = false;
  // The user agreed to replace the file of the typed name that exists.
  bool replaceAgreed = false;
  // The target was made (empty) by this start: it is this recording's, and goes when nothing
  // was saved into it.
  bool targetMade = false;
  // This recording holds its target (HoldTarget) from its claim until its file is finished.
  base::UniqueHandle hold;
};

// Texts of the road's messages and balloons.
inline constexpr const wchar_t* kEnterScreenRecName = L"请输入要屏幕录像名称。";
// A typed name the file system would not take: the name (trimmed) in its %s.
inline constexpr const wchar_t* kInvalidRecNameFmt =
    L"录像名称“%s”不合法：名称中不能含有 \\ / : * ? \" < > | 等字符，也不能是 CON、NUL 等设备名。";
inline constexpr const wchar_t* kSavedBalloonTitleFmt = L"屏幕录像已保存为%s";
// The area recording with sound could not build its target.
inline constexpr const wchar_t* kEnterValidFilePath = L"请输入合法文件路径";
// The status line after a recording that ended before its first frame (no file was made).
inline constexpr const wchar_t* kNothingRecorded = L"没有录下任何画面，未生成录像文件";
inline constexpr const wchar_t* kBalloonHideHint = L"此提示框20秒后自动消失，也可鼠标直接点击消失";
// A typed name whose recording exists: asked (Yes replaces it, No starts nothing).
inline constexpr const wchar_t* kReplaceRecordingFmt = L"“%s”已经存在。\r\n要替换它吗？";
// A typed name whose file another program (another copy recording, a player) holds open.
inline constexpr const wchar_t* kRecordingInUseFmt =
    L"“%s”正被另一个程序使用（也许是另一个正在录像的屏幕录像），不能替换。请换一个录像名称。";
// The target could not be made: the path and the system's error number.
inline constexpr const wchar_t* kCannotCreateRecordingFmt = L"不能创建录像文件“%s”（系统错误 %s）。";

class RecordingRoad {
 public:
  RecordingRoad(RoadHost& host, RoadRecorder& recorder, RoadCamera& camera, std::atomic<bool>& recordWithSound,
                std::atomic<bool>& stopHotKeyRegistered);

  // The full-screen record button: with sound through the camera, else the sound-less
  // recorder.
  void BtnSartRecClick();
  void StartFullScreenWithSound();
  // The area record button: the main window hides and the area window is shown.
  void BtnAreaScreenRECClick();
  // The area window's confirm (it has hidden itself): records its rectangle, with sound or
  // without, and shows the tool window beside it. A start that fails brings the main window
  // back, with its message over it.
  void StartAreaRecording();
  // The area window was closed: the main window comes back.
  void AreaWindowClosed();
  // The stop button, the tray icon's left click and the window's destruction.
  void ButtonStopRECClick();
  // The regions shown again and the blink off (the saved balloon waits for the recording's end).
  void RestoreAfterRecording();
  // A stop key or a hotkey message: stop, then bring the window back in the normal state.
  void StopRecordingAndRestore();
  // The tool window's stop button (and its closing).
  void StopFromToolWindow();
  // The recording options command (the sound-less options while sound is off).
  void BtnRectSetClick();
  // The hotkey settings command.
  void BtnHotKeySetClick();
  // The recorder's thread has ended its frame loop (posted to the main thread).
  void RecordingEnded();

  // The recording folder, checked and created; empty (after its message) when unusable.
  std::wstring GetRecordPath();
  // The record of a with-sound start (the typed name loses its blanks); none (after the
  // folder's or the name's message, if any) when the target cannot be built. nameRefused, when
  // given, is set when the typed name was refused in words or its replacement declined.
  std::optional<RecordingRecord> BuildTargetPath(bool* nameRefused = nullptr);

  // A recording started by this road has not been seen to end yet.
  bool Running() const { return running_; }
  // A stop goes to the screen camera: the running recording's own record says which recorder
  // runs (the sound toggle changes only the next recording); with none running, the toggle's.
  bool StopGoesToCamera() const { return running_ && record_ ? record_->withSound : recordWithSound_.load(); }
  // The record of the current or last recording of this run.
  const std::optional<RecordingRecord>& LastRecording() const { return record_; }
  // The saved-recording balloon was shown in this run.
  bool SaveBalloonShown() const { return saveBalloonShown_; }
  // A stop from the tool window is running.
  bool StopInProgress() const { return stopInProgress_; }

 private:
  // The record of a new recording from the path bar; none after its message.
  // emptyName: the message for an empty typed name (nullptr: none); nameRefused as for
  // BuildTargetPath.
  std::optional<RecordingRecord> NewRecord(bool withSound, const wchar_t* emptyName, bool* nameRefused = nullptr);
  // Registers the stop key for a recording about to start; a conflict opens the hotkey dialog.
  void RegisterStopKey();
  // Right before the recorder starts (after any dialog of the start): the target is made
  // empty and so taken from every other copy of the program; a number another copy took
  // meanwhile gives way to the next free one, a typed name that now exists is asked about,
  // and one that another recording holds or another program has open is refused. The record
  // holds its target from here on. False (after its message) when no recording may start.
  bool ClaimTarget(RecordingRecord& record);
  // The empty target a start made goes when the recording saved nothing into it.
  static void DropUnusedTarget(const RecordingRecord& record);
  // Yes or No, over the window (brought back when an area start hid it).
  bool Ask(const std::wstring& text);
  // Gives back a stop key registered for the current recording.
  void ReleaseStopKey();
  // The recording of record runs: it becomes the recording the stop reports, the window is
  // minimised and the tray icon blinks.
  void Begin(RecordingRecord record);
  // The sound-less start of record: the stop key, the player let go, start(target); then, when
  // the recorder runs, Begin and the main window hidden. False (the key given back) when not.
  bool StartSoundless(RecordingRecord record, const std::function<void(const std::wstring&)>& start);
  void StartAreaWithSound(RecordingRecord record, const RECT& area);
  void Message(const std::wstring& text);
  void MinimizeForRecording();
  std::wstring PathEditFolder();
  bool Busy();
  void ShowSavedBalloonOnce();
  void WriteMadeStatus(const std::wstring& folder);

  RoadHost& host_;
  RoadRecorder& recorder_;
  RoadCamera& camera_;
  std::atomic<bool>& recordWithSound_;
  std::atomic<bool>& stopHotKeyRegistered_;
  std::optional<RecordingRecord> record_;
  bool running_ = false;
  // The stop key was asked of the host for the current recording (registered or not): it is
  // given back with the recording, so nothing the host registered for it stays behind.
  bool hotkeyOurs_ = false;
  bool saveBalloonShown_ = false;
  bool stopInProgress_ = false;
  // A recording was stopped through the window: its balloon waits until the file is finished
  // (with sound: saved).
  bool balloonAfterSave_ = false;
  // The same stop's status line waits for the save as well.
  bool statusAfterSave_ = false;
  // An area start is checking its target while the main window is hidden: a message brings
  // the window back first, so it shows over it.
  bool windowHiddenForArea_ = false;
};

}  // namespace app
