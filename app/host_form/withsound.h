// TFrmMainWithSound, the camera host form: it owns the screen camera, receives all of its
// events and keeps the settings of a recording with sound in its controls. RegSelectClick
// pushes the controls into the camera; RecBut starts the camera on the path in EdtRECPath.
//
// The main window makes it on first use (FrmMainWithSound) and never shows it; shown, it is a
// complete control panel for the camera. Closing it hides it: the form lives until the main
// window goes.
//
// Threads: the form is a main-thread window. The camera raises its events on its record
// thread too: those handlers touch no window there. Their control changes are posted to the
// main thread; the statistics and the preview go through a small snapshot under a lock that
// a timer of the form reads; the saving and deleting progress answers on the calling thread
// from CancelRequested. Nothing pumps messages off the main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/forms/modal_dialog.h"
#include "base/unique.h"
#include "engine/camera/ScrCam.h"
#include "engine/effects/effects_bitmap.h"

namespace app {

class TFrmMain;
class TFrmMainWithSound;

// The host form of this run, made by the main window on first use; nullptr before.
extern TFrmMainWithSound* FrmMainWithSound;
// The window the camera's dialogs are centred on: the main window while it is shown, else owner.
HWND CameraDialogCentre(HWND owner);

// Texts of the form that handlers write.
inline constexpr const wchar_t* kPauseCaption = L"Pause";
inline constexpr const wchar_t* kResumeCaption = L"Resume";
inline constexpr const wchar_t* kNoStatus = L"No Status";
inline constexpr const wchar_t* kRecordingCaption =
    L"Recording... (Cancel=Esc)--(Stop=Shift+Esc)--(Pause=Pause Key)";
inline constexpr const wchar_t* kPreviewOffCaption = L"Preview Off...";
inline constexpr const wchar_t* kErrorCaption = L"Error";
// The camera's notice that names where a recording's files were kept: information.
inline constexpr const wchar_t* kKeptNoticeStart = L"Recording kept in: ";
// The line of a recording whose sound stopped before its picture: the whole seconds of sound.
inline constexpr const wchar_t* kSoundStoppedFmt = L"录音在第%d秒时中断（录音设备已断开或磁盘已满），此后的录像没有声音。";
// The first line of the overlay drawn into the frames.
inline constexpr const wchar_t* kOverlayCaption = L"Reclume screen camera";

class TFrmMainWithSound : public ModalDialog, public ScrCam::CameraHost {
 public:
  // mainForm: the main window the camera reports to (nullptr: the form stands alone).
  explicit TFrmMainWithSound(TFrmMain* mainForm = nullptr);
  ~TFrmMainWithSound() override;

  // Creates the hidden window, owned by owner, its controls, the camera with the form's
  // settings and its ten events bound; then FormCreate. False when the window could not be
  // made (the camera exists all the same).
  bool Create(HWND owner);

  // The camera. Made in the constructor; the form owns it.
  ScrCam::TScreenCamera& ScrCamera() { return *scrCamera_; }

  // Where the end of every recording is reported: message (wParam, lParam 0, nothing to
  // free) is posted to window from the camera's OnStop and OnError, on any thread.
  void SetEndNotify(HWND window, UINT message);

  // The main window's way to record with the form: EdtRECPath := path, the region type (4,
  // the whole monitor; or 3, with the area's Top, Left, Width and Height written into Edit1 to
  // Edit4), RegSelectClick, then RecBut as a click would press it.
  void RecordFullScreen(const std::wstring& path);
  void RecordArea(const std::wstring& path, const ScrCam::CaptureRect& area);

  // --- fields ---
  ScrCam::TAutoStopTime AutoStopTime;  // main thread
  std::atomic<bool> CloseAllowed{true};
  std::atomic<bool> CancelRequested{false};

  // --- handlers of the form's controls (main thread) ---
  void FormCreate();
  void FormShow();
  bool FormCloseQuery() const { return CloseAllowed.load(); }
  // Closes the form as its close box does: hidden when CloseAllowed.
  void Close();
  void RegSelectClick();
  // Edit1Change .. Edit4Change: one handler, by the edit's id.
  void AreaEditChange(int editId);
  // Edit1KeyPress and Edit7KeyPress: the character the edit receives (0: dropped).
  static wchar_t FilterDigitKey(wchar_t key);
  void Edit5Change(int editId);
  void Edit9Change();
  void CheckBoxClick(int checkBoxId);
  void ComboBoxChange(int comboId);
  void RecButClick();
  void StopButClick();
  void PauseButClick();
  void ExitButClick();
  void AudVidOptButClick();
  void FilterEffectsButClick();
  void BitBtn1Click();
  void BCancelClick() { CancelRequested = true; }

  // --- the camera's events (any thread; see the file comment) ---
  void ScrCameraError(const std::wstring& errorMessage);
  void ScrCameraUpdate();
  void ScrCameraStart();
  void ScrCameraStop();
  void ScrCameraPause();
  void ScrCameraResume();
  void ScrCameraPreview(engine::TBitmap* previewBitmap, bool preview, bool recording);
  // ScrCameraSaving and ScrCameraDeleting: one behaviour.
  void ScrCameraProgress(int percent, const std::wstring& statusCaption, bool& cont);
  void ScrCameraOverlay(HDC bitmapDC, int width, int height);

  // --- the camera's host (ScrCam::CameraHost) ---
  void MinimizeApp() override;
  void RestoreApp() override;
  bool RecordWithSound() override;
  bool StopHotKeyRegistered() override;
  void StopRecordingAndRestore() override;
  void RefreshRecordingList() override;
  HWND MessageOwner() override;

  // --- access ---
  HWND MainWindow() const;
  // The radio group's index, and setting it from code (runs nothing, as the main window sets
  // it before calling RegSelectClick itself).
  int RegSelectIndex() const;
  void SetRegSelectIndex(int index);
  // How many times RegSelectClick has pushed the settings (tests count the chain's runs).
  int RegSelectClickRuns() const { return regSelectClickRuns_; }
  // The preview picture Image1 shows (empty when none).
  const engine::TBitmap& PreviewPicture() const { return previewPicture_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnCommand(int id, int code, HWND control) override;

 private:
  struct Snapshot;
  void BuildControls();
  void BindCamera();
  void SetUpDownRange(int upDownId, int low, int high);
  int UpDownMax(int upDownId) const;
  void UpdateAutoStop();
  void ApplyIdleState(bool idle);
  void ApplyPreview(bool preview, bool recording, bool paused);
  void ApplyStatistics(const Snapshot& figures);
  void ResetProgress();
  void ShowProgress(int percent, const std::wstring& caption);
  void TimerTick();
  void StartSnapshotTimer();
  // The report of a recording: everything the camera said (ScrCameraError) and, after its
  // end, where its sound stopped, gathered and shown as one box by the report timer, which
  // ReportArrived starts after each text and the end.
  void ReportArrived();
  void ReportTick();
  void DrawPreview(const DRAWITEMSTRUCT& item);
  // Runs fn with this form on the main thread: now when called there, else posted (and
  // dropped when the form's window is gone by then).
  template <class Fn>
  void OnMain(Fn fn);

  TFrmMain* mainForm_;
  std::unique_ptr<ScrCam::TScreenCamera> scrCamera_;
  HWND endNotify_ = nullptr;
  UINT endMessage_ = 0;
  int regSelectClickRuns_ = 0;
  bool ready_ = false;  // the controls are built: their notifications run handlers
  base::UniqueWindow hint_;  // the hint of the save button

  // The figures and preview the record thread leaves for the timer.
  struct Snapshot {
    bool statsDirty = false;
    double loopRate = 0, captureRate = 0;
    int written = 0, dropped = 0;
    bool previewDirty = false;
    bool preview = false, recording = false, paused = false;
    ScrCam::CaptureRect area{};
  };
  std::mutex snapshotLock_;
  Snapshot snapshot_;
  bool snapshotTimerOn_ = false;  // under snapshotLock_
  engine::TBitmap previewPicture_;  // under snapshotLock_: written by the camera's threads

  std::mutex reportLock_;
  std::vector<std::wstring> reportTexts_;  // under reportLock_: the camera's texts not shown yet
  bool reportEnd_ = false;                 // under reportLock_: a recording ended (OnStop)
  bool reportTimerOn_ = false;             // under reportLock_

  // The overlay's logo, read once per recording (or preview) from the program's folder.
  std::mutex logoLock_;
  base::UniqueBitmap logo_;
  base::UniqueDC logoDC_;  // holds logo_ selected; goes before it
  bool logoRead_ = false;
};

}  // namespace app
