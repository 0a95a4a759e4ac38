// The main window's side of the recording road: the window as the road's host (its edits,
// toggles, tray icon, status line and balloons), the sound-less recorder and the camera host
// form behind it, and the window's handlers that hand their work to the road. The road itself
// (recording_road.cpp) decides the order of the steps.
#include <windows.h>

#include <memory>

#include "app/area/areaselect.h"
#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/host_form/optdlg_ws.h"
#include "app/main_window/soundless_recorder.h"
#include "app/area/toolform.h"
#include "app/host_form/withsound.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/seams.h"

namespace app {

namespace {

constexpr UINT kEndCheckMs = 50;
constexpr DWORD kPlayerCloseMs = 200;

}  // namespace

class MainRoadHost : public RoadHost {
 public:
  explicit MainRoadHost(TFrmMain& form) : form_(form) {}

  HWND Window() override { return form_.hwnd(); }
  std::wstring PathText() override { return form_.ControlText(id::EdtRECPath); }
  std::wstring NameText() override { return form_.ControlText(id::EdtREC); }
  bool AutoNumbering() override { return Tag(id::BtnAutoSave) == 1; }
  bool WithSound() override { return Tag(id::CbSound) == 1; }
  void Message(const std::wstring& text) override {
    base::ShowMessage(form_.hwnd(), text, kApplicationTitle, MB_OK);
  }
  bool Ask(const std::wstring& text) override {
    return base::ShowMessage(form_.hwnd(), text, kApplicationTitle, MB_YESNO | MB_ICONWARNING) == IDYES;
  }
  void FocusPath() override { ::SetFocus(form_.Control(id::EdtRECPath)); }
  void FocusName() override { ::SetFocus(form_.Control(id::EdtREC)); }
  void MinimizeApp() override { ::ShowWindow(form_.hwnd(), SW_MINIMIZE); }
  void HideWindow() override { ::ShowWindow(form_.hwnd(), SW_HIDE); }
  void ShowWindowAgain() override {
    form_.ShowMainWindow();
    ::SetForegroundWindow(form_.hwnd());
  }
  void RestoreWindow() override {
    HWND wnd = form_.hwnd();
    ::ShowWindow(wnd, SW_RESTORE);
    // A window minimised while maximised is restored to the maximised state: once more to
    // the normal one.
    if (::IsZoomed(wnd)) ::ShowWindow(wnd, SW_RESTORE);
    form_.restoredNormalAt_ = ::GetTickCount() | 1;
    ::SetForegroundWindow(wnd);
    ::ShowWindow(wnd, SW_SHOW);
  }
  void SetBlinking(bool on) override {
    form_.EnableTimer(id::TimerRECing, on);
    // Stopped, the tray shows the program's own icon again, whatever the last blink left.
    if (!on && form_.trayData_.icon() != form_.trayIconNormal_) form_.trayData_.SetIcon(form_.trayIconNormal_);
  }
  void RefreshRecordingList(const std::wstring& folder) override {
    form_.recordFolder_ = folder;
    form_.RefreshRecordingList();
  }
  void SetStatus(const std::wstring& text) override { form_.SetStatus(text); }
  void SetCurrentFile(const std::wstring& folder, const std::wstring& fileName) override {
    form_.fileName_ = fileName;
    form_.targetPath_ = folder + fileName;
  }
  void ShowRecordingRegions() override {
    for (int region : {id::SbFileSelect, id::SbLeft, id::PnlHint, id::SbCenter, id::SbMain})
      form_.SetControlVisible(region, true);
    // The recommendation panel stays hidden until the web panel shows it again.
    form_.SetControlVisible(id::PnlHot, false);
  }
  void ShowSavedBalloon(const std::wstring& title, const std::wstring& text) override {
    // The stop that the window's destruction makes shows nothing: the window is going.
    if (form_.destroying_) return;
    // A stop from the tray runs while the window is still minimised: the balloon waits until
    // the list it points at is on the screen.
    form_.ShowBalloonWhenShown({id::LbVideoList, title, text, 2, 1});
  }
  void HideBalloons() override { form_.HideBalloons(); }
  // The stop key is registered through the screen camera, whose hotkey window hands it back
  // to this window's stop-and-restore. Failed: no window of the camera holds the combination.
  HotkeyResult RegisterStopHotkey(const StopHotkey& hotkey) override {
    return form_.ScrCamera().RegisterHotKeys(hotkey.modifiers, hotkey.key, hotkey.text) ? HotkeyResult::Registered
                                                                                         : HotkeyResult::Failed;
  }
  void UnregisterStopHotkey() override { form_.ScrCamera().UnregisterHotKeys(); }
  void ScheduleEndCheck() override {
    ::SetTimer(form_.hwnd(), static_cast<UINT_PTR>(id::TimerRecordingEnd), kEndCheckMs, nullptr);
  }
  void ClosePlayer() override { form_.ClosePlayer(); }
  // The player's file is let go a moment after the close.
  void WaitForPlayer() override { ::Sleep(kPlayerCloseMs); }
  void ReleasePlayer() override { form_.ReleasePlayer(); }
  void ShowPlaybackTab() override {
    form_.ShowPlaybackTab();
    form_.SetControlVisible(id::PnlScreen, false);
  }
  void SetFullScreenView(bool on) override { form_.SetFullScreenView(on); }
  void ShowAreaWindow() override {
    if (TFrmAreaSelect* area = form_.AreaSelectWindow()) area->ShowArea();
  }
  RECT AreaRect() override { return FrmAreaSelect ? FrmAreaSelect->Bounds() : RECT{}; }
  HWND AreaWindow() override { return FrmAreaSelect ? FrmAreaSelect->hwnd() : nullptr; }
  void ShowToolWindow(const RECT& area) override {
    if (TFrmTool* tool = form_.ToolWindow()) tool->ShowBeside(area);
  }
  void HideToolWindow() override {
    if (FrmTool) FrmTool->Hide();
  }

 private:
  int Tag(int buttonId) const {
    FlatButton* button = form_.Button(buttonId);
    return button ? button->tag() : 0;
  }

  TFrmMain& form_;
};

// The screen camera on the host form as the road's recorder with sound.
class MainRoadCamera : public RoadCamera {
 public:
  explicit MainRoadCamera(TFrmMain& form) : form_(form) {}

  void CreateHostForm() override { form_.WithSoundForm(); }
  void ApplyDefaultAVOptions() override { app::ApplyDefaultAVOptions(form_.ScrCamera()); }
  void StartFullScreen(const std::wstring& path) override { form_.WithSoundForm().RecordFullScreen(path); }
  void StartArea(const std::wstring& path, const RECT& area) override {
    form_.WithSoundForm().RecordArea(
        path, ScrCam::CaptureRect{area.left, area.top, area.right - area.left, area.bottom - area.top});
  }
  void Stop() override {
    if (form_.HasWithSoundForm()) form_.ScrCamera().StopRecording();
  }
  bool Recording() override { return form_.HasWithSoundForm() && form_.ScrCamera().Recording; }
  bool Finishing() override { return form_.HasWithSoundForm() && form_.ScrCamera().HasRecordThread(); }
  // Cleared by the record thread as it starts, set once the target is saved.
  bool Saved() override { return ScrCam::MergeSucceeded.load(); }
  // The camera's count starts again with every recording (and every retry).
  bool NothingRecorded() override { return form_.HasWithSoundForm() && form_.ScrCamera().FramesWritten == 0; }
  void EditOptions(HWND owner) override { ShowAVOptions(form_.ScrCamera(), owner); }
  void KeepLostRecordings() override { form_.ScrCamera().KeepLostRecordings(); }

 private:
  TFrmMain& form_;
};

TFrmMainWithSound& TFrmMain::WithSoundForm() {
  if (!withSound_) {
    auto form = std::make_unique<TFrmMainWithSound>(this);
    form->Create(hwnd());
    // Every end of a recording with sound comes back as a sound-less one does.
    form->SetEndNotify(hwnd(), WM_RECORDING_ENDED);
    withSound_ = std::move(form);
    FrmMainWithSound = withSound_.get();
  }
  return *withSound_;
}

ScrCam::TScreenCamera& TFrmMain::ScrCamera() { return WithSoundForm().ScrCamera(); }

// The area and tool windows have no owner (a minimised owner would hide them while the main
// window is minimised for the recording); they go with the main window.
TFrmAreaSelect* TFrmMain::AreaSelectWindow() {
  if (!areaSelect_) {
    auto area = std::make_unique<TFrmAreaSelect>([this] { StartAreaRecording(); },
                                                 [this] {
                                                   if (road_) road_->AreaWindowClosed();
                                                 });
    if (!area->Create()) return nullptr;
    areaSelect_ = std::move(area);
    FrmAreaSelect = areaSelect_.get();
  }
  return areaSelect_.get();
}

TFrmTool* TFrmMain::ToolWindow() {
  if (!tool_) {
    auto tool = std::make_unique<TFrmTool>([this] { StopFromToolWindow(); });
    if (!tool->Create()) return nullptr;
    tool_ = std::move(tool);
    FrmTool = tool_.get();
  }
  return tool_.get();
}

void TFrmMain::DestroyAreaWindows() {
  areaSelect_.reset();
  tool_.reset();
}

void TFrmMain::CreateRecordingRoad() {
  if (road_ || !screenCamNS_) return;
  roadHost_ = std::make_unique<MainRoadHost>(*this);
  roadRecorder_ = std::make_unique<SoundlessRecorder>(*screenCamNS_, hwnd(), WM_RECORDING_ENDED);
  roadCamera_ = std::make_unique<MainRoadCamera>(*this);
  road_ = std::make_unique<RecordingRoad>(*roadHost_, *roadRecorder_, *roadCamera_, RecordWithSound,
                                          StopHotKeyRegistered);
}

void TFrmMain::BtnSartRecClick() {
  // Every recording start ends a running split before its next frame.
  RaiseSplitCancel();
  if (road_) road_->BtnSartRecClick();
}

void TFrmMain::BtnAreaScreenRECClick() {
  if (road_) road_->BtnAreaScreenRECClick();
}

void TFrmMain::StartAreaRecording() {
  RaiseSplitCancel();
  if (road_) road_->StartAreaRecording();
}

void TFrmMain::BtnRectSetClick() {
  if (road_) road_->BtnRectSetClick();
}

void TFrmMain::BtnHotKeySetClick() {
  if (road_) road_->BtnHotKeySetClick();
}

void TFrmMain::ButtonStopRECClick() {
  if (road_) road_->ButtonStopRECClick();
}

void TFrmMain::RestoreAfterRecording() {
  if (road_) road_->RestoreAfterRecording();
}

void TFrmMain::StopRecordingAndRestore() {
  if (road_) road_->StopRecordingAndRestore();
}

void TFrmMain::StopFromToolWindow() {
  if (road_) road_->StopFromToolWindow();
}

}  // namespace app
