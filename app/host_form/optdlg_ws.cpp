// TfrmOption, the options dialog of the recorder with sound, and the run's defaults that go
// through it. Every control set from code goes through the binding layer, so a handler runs
// exactly when its control changes, as when the user changes it; the handlers below rely on
// that (the labels follow the bars, the two frame bars follow each other while AutoMode is
// ticked). The mixer is written only by a user's pick of an input, a user's move of the volume
// bar and the user's confirm, and only for an input that has a volume control.
#include "app/host_form/optdlg_ws.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/forms/binding.h"
#include "app/forms/dialog_ids.h"
#include "app/forms/flat_button.h"
#include "app/forms/modal_dialog.h"
#include "app/dialogs/optdlg.h"
#include "app/host_form/withsound.h"
#include "base/barrier.h"
#include "base/text.h"

namespace app {

namespace {

constexpr int kClientWidth = 436;
constexpr int kClientHeight = 238;
constexpr int kFrameBarMin = 1, kFrameBarMax = 1000;

class TfrmOption : public ModalDialog {
 public:
  bool Build(HWND owner) {
    if (!CreateDialogWindow(L"TfrmOption", L"视频/声音设置", kClientWidth, kClientHeight, owner, L"宋体", -13))
      return false;
    DropCloseBox();  // it ends with its confirm and close buttons
    SetBackground(RGB(245, 250, 254));
    const DWORD list = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    AddControl(L"BUTTON", L"视频/声音设置", BS_GROUPBOX, 6, 2, 424, 200, id::OptWsCompressor);
    AddControl(L"STATIC", L"视频压缩", SS_LEFT, 16, 26, 80, 16, id::OptWsLabel8);
    AddControl(L"COMBOBOX", L"", list, 100, 22, 230, 200, id::VideoCompressor);
    AddControl(L"BUTTON", L"About", BS_PUSHBUTTON | WS_TABSTOP, 338, 21, 82, 24, id::AboutB);
    ::ShowWindow(Item(id::AboutB), SW_HIDE);
    AddControl(L"BUTTON", L"Configure", BS_PUSHBUTTON | WS_TABSTOP, 338, 21, 82, 24, id::ConfigB);
    AddControl(L"STATIC", L"视频输出质量", SS_LEFT, 16, 60, 84, 16, id::OptWsLabel1);
    AddControl(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_AUTOTICKS | WS_TABSTOP, 100, 52, 270, 30, id::VideoQuality);
    AddControl(L"STATIC", L"", SS_LEFT, 378, 60, 40, 16, id::OptWsLabelQuality);
    AddControl(L"BUTTON", L"录制声音", BS_AUTOCHECKBOX | WS_TABSTOP, 16, 90, 120, 20, id::AudioRecord);
    AddControl(L"STATIC", L"声音格式", SS_LEFT, 16, 122, 80, 16, id::OptWsLabel9);
    AddControl(L"COMBOBOX", L"", list, 100, 118, 318, 300, id::AudioFormat);
    AddControl(L"STATIC", L"声音输出", SS_LEFT, 16, 150, 80, 16, id::OptWsLabel11);
    AddControl(L"COMBOBOX", L"", list, 100, 146, 318, 200, id::AudioInput);
    AddControl(L"STATIC", L"输出声量", SS_LEFT, 16, 178, 80, 16, id::OptWsLabel10);
    AddControl(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, 100, 172, 270, 26, id::AudioVolume);
    AddControl(L"STATIC", L"", SS_LEFT, 378, 178, 40, 16, id::LabelVolume);

    // The frame parameters: a panel the user does not see.
    const std::vector<HWND> panel = {
        AddControl(L"BUTTON", L"Video frame parameters :", BS_GROUPBOX, 6, 2, 424, 200, id::OptWsGroupBox1),
        AddControl(L"BUTTON", L"Full auto mode on (Synchronize  f/s)", BS_AUTOCHECKBOX | WS_TABSTOP, 16, 22, 300,
                   20, id::AutoMode),
        AddControl(L"STATIC", L"Delay every frames :", SS_LEFT, 16, 48, 200, 16, id::OptWsCaption),
        AddControl(L"STATIC", L"1 Millisecond", SS_LEFT, 16, 70, 84, 16, id::OptWsCaption),
        AddControl(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, 100, 64, 230, 26,
                   id::OptWsTrackBarRecord),
        AddControl(L"STATIC", L"1 Second", SS_LEFT, 336, 70, 84, 16, id::OptWsCaption),
        AddControl(L"STATIC", L"", SS_CENTER, 160, 92, 110, 16, id::LabelmspFrecordWs),
        AddControl(L"STATIC", L"Playback frame rate : (FPS)", SS_LEFT, 16, 112, 200, 16, id::OptWsCaption),
        AddControl(L"STATIC", L"1 fps", SS_LEFT, 16, 134, 84, 16, id::OptWsCaption),
        AddControl(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, 100, 128, 230, 26,
                   id::OptWsTrackBarPlayback),
        AddControl(L"STATIC", L"1000 fps", SS_LEFT, 336, 134, 84, 16, id::OptWsCaption),
        AddControl(L"STATIC", L"", SS_CENTER, 160, 156, 110, 16, id::LabelFPSPlaybackWs),
        AddControl(L"STATIC", L"Set key frames every", SS_LEFT, 16, 178, 150, 16, id::OptWsCaption),
        AddControl(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 170, 174, 60, 22, id::OptWsEditKeyFrames,
                   WS_EX_CLIENTEDGE),
        AddControl(L"STATIC", L"frames", SS_LEFT, 236, 178, 60, 16, id::OptWsCaption),
    };
    for (HWND control : panel) ::ShowWindow(control, SW_HIDE);

    AddFlatButton(confirm_, id::OptWsBtnConfirm, {272, 208, 348, 234}, L"确定", L"confirm");
    AddFlatButton(close_, id::OptWsBtnClose, {354, 208, 430, 234}, L"关闭", L"BtnClose");

    // The design state.
    SetRange(id::VideoQuality, 0, 10);
    SetRange(id::AudioVolume, 0, 100);
    SetRange(id::OptWsTrackBarRecord, kFrameBarMin, kFrameBarMax);
    SetRange(id::OptWsTrackBarPlayback, kFrameBarMin, kFrameBarMax);
    ::SendMessageW(Item(id::VideoQuality), TBM_SETPOS, TRUE, 10);
    ::SendMessageW(Item(id::OptWsTrackBarRecord), TBM_SETPOS, TRUE, 2);
    ::SendMessageW(Item(id::OptWsTrackBarPlayback), TBM_SETPOS, TRUE, 1000);
    for (int bar : {id::VideoQuality, id::AudioVolume, id::OptWsTrackBarRecord, id::OptWsTrackBarPlayback})
      WatchTrackBar(bar);
    ::SendMessageW(Item(id::AudioRecord), BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(Item(id::AutoMode), BM_SETCHECK, BST_CHECKED, 0);
    for (int control : {id::OptWsLabel9, id::AudioFormat, id::OptWsLabel11, id::AudioInput, id::OptWsLabel10,
                        id::AudioVolume, id::LabelVolume})
      Enable(control, false);
    return true;
  }

  void SetCamera(ScrCam::TScreenCamera& camera) { camera_ = &camera; }

  int Show(HWND owner) {
    owner_ = owner;
    return RunModal(owner);
  }

  // ApplyDefaultAVOptions' work on the dialog: loaded, the first compressor, sound on, applied.
  void ApplyDefaults() {
    LoadCameraOptions();
    SetComboIndex(Item(id::VideoCompressor), 0);
    UpdateCompressorButtons();
    ::SendMessageW(Item(id::AudioRecord), BM_SETCHECK, BST_CHECKED, 0);
    AudioRecordClick();
    Apply(false);
  }

 protected:
  void OnShowModal() override {
    CentreOn(CameraDialogCentre(owner_));
    FormShow();
  }

  void OnCommand(int controlId, int code, HWND control) override {
    if (!camera_) return ModalDialog::OnCommand(controlId, code, control);
    if (code == CBN_SELCHANGE && controlId == id::VideoCompressor) return VideoCompressorClick();
    if (code == CBN_SELCHANGE && controlId == id::AudioInput) return AudioInputClick();
    if (code != BN_CLICKED) return;
    switch (controlId) {
      case id::AboutB: return AboutBClick();
      case id::ConfigB: return ConfigBClick();
      case id::AudioRecord: return AudioRecordClick();
      case id::AutoMode: return AutoModeClick();
      case id::OptWsBtnConfirm: return BtnRECSoundSetClick();
      case id::OptWsBtnClose: return Button3Click();
      default: return;
    }
  }

  void OnTrackBarChange(int barId, int) override {
    if (camera_) TrackBarChange(barId);
  }

 private:
  void SetRange(int bar, int low, int high) {
    ::SendMessageW(Item(bar), TBM_SETRANGEMIN, FALSE, low);
    ::SendMessageW(Item(bar), TBM_SETRANGEMAX, TRUE, high);
  }
  void Enable(int control, bool on) { ::EnableWindow(Item(control), on ? TRUE : FALSE); }
  int Position(int bar) const { return TrackPosition(Item(bar)); }
  int Index(int combo) const { return ComboIndex(Item(combo)); }
  void SetLabel(int label, const std::wstring& text) { ::SetWindowTextW(Item(label), text.c_str()); }
  static void FillList(HWND combo, const std::vector<std::wstring>& items) {
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : items) ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }

  void FormShow() { LoadCameraOptions(); }

  void LoadCameraOptions() {
    ScrCam::TScreenCamera& camera = *camera_;
    const std::vector<std::wstring> compressors = camera.GetVideoCompressors();
    FillList(Item(id::VideoCompressor), compressors);
    FillList(Item(id::AudioFormat), camera.GetAudioFormats());
    ScrCam::TAudioInputInfo inputs = camera.GetAudioInputs();
    FillList(Item(id::AudioInput), inputs.Inputs);
    SetComboIndex(Item(id::VideoCompressor), camera.SelectedCompressor);
    SetComboIndex(Item(id::AudioFormat), camera.SelectedAudioFormat);
    SetComboIndex(Item(id::AudioInput), inputs.SelectedInput);
    // The sound switch follows the camera on every show, with the controls it governs.
    ::SendMessageW(Item(id::AudioRecord), BM_SETCHECK, camera.UseAudioRecord ? BST_CHECKED : BST_UNCHECKED, 0);
    AudioRecordClick();
    if (!camera.UseAudioRecord) ShowInputVolume(false);
    SetTrackPosition(Item(id::OptWsTrackBarRecord), camera.Record_MSPF());
    SetTrackPosition(Item(id::OptWsTrackBarPlayback), camera.PlayBack_FPS());
    SetEditText(Item(id::OptWsEditKeyFrames), base::Format(L"%d", camera.KeyFramesEvery));
    SetTrackPosition(Item(id::VideoQuality), camera.CompressionQuality() / 1000);
    UpdateCompressorButtons();
    // Positions that did not change ran no handler: the labels are right for every show.
    RefreshOptionLabels();
  }

  void UpdateCompressorButtons() {
    const int index = Index(id::VideoCompressor);
    bool hasAbout = false, hasConfigure = false;
    camera_->QueryCompressorDialogs(static_cast<BYTE>(index), hasAbout, hasConfigure);
    Enable(id::AboutB, hasAbout);
    Enable(id::ConfigB, hasConfigure);
    for (int control : {id::VideoQuality, id::OptWsLabel1, id::OptWsLabelQuality}) Enable(control, index >= 0);
  }

  void RefreshOptionLabels() {
    SetLabel(id::LabelmspFrecordWs, base::Format(L"%d 毫秒", Position(id::OptWsTrackBarRecord)));
    SetLabel(id::LabelFPSPlaybackWs, base::Format(L"%d fps", Position(id::OptWsTrackBarPlayback)));
    SetLabel(id::OptWsLabelQuality, base::Format(L"%d", Position(id::VideoQuality)));
    SetLabel(id::LabelVolume, base::Format(L"%d", Position(id::AudioVolume)));
  }

  // The volume bar shows the selected input's volume, disabled at 0 for an input without a
  // volume control (or none selected). The bar is set quietly: showing writes nothing.
  void ShowInputVolume(bool enableWithVolume) {
    const ScrCam::TAudioInputInfo inputs = camera_->GetAudioInputs();
    volumeWritable_ = inputs.HasVolume && inputs.SelectedInput >= 0;
    ++quiet_;
    if (inputs.HasVolume) {
      if (enableWithVolume) {
        Enable(id::AudioVolume, true);
        Enable(id::LabelVolume, true);
      }
      SetTrackPosition(Item(id::AudioVolume), inputs.Volume < 0 ? 0 : inputs.Volume);
    } else {
      SetTrackPosition(Item(id::AudioVolume), 0);
      Enable(id::AudioVolume, false);
      Enable(id::LabelVolume, false);
    }
    --quiet_;
  }

  void WriteVolume() {
    const int input = Index(id::AudioInput);
    if (volumeWritable_ && input >= 0) camera_->SetAudioInputVolume(input, Position(id::AudioVolume));
  }

  void TrackBarChange(int barId) {
    if (barId == id::OptWsTrackBarRecord && Checked(Item(id::AutoMode)))
      SetTrackPosition(Item(id::OptWsTrackBarPlayback), 1000 / Position(id::OptWsTrackBarRecord));
    else if (barId == id::OptWsTrackBarPlayback && Checked(Item(id::AutoMode)))
      SetTrackPosition(Item(id::OptWsTrackBarRecord), 1000 / Position(id::OptWsTrackBarPlayback));
    RefreshOptionLabels();
    // AudioVolumeChange: a move of the user's reaches the mixer at once.
    if (barId == id::AudioVolume && quiet_ == 0) WriteVolume();
  }

  void AutoModeClick() {
    if (Checked(Item(id::AutoMode)))
      SetTrackPosition(Item(id::OptWsTrackBarRecord), 1000 / Position(id::OptWsTrackBarPlayback));
  }

  void VideoCompressorClick() { UpdateCompressorButtons(); }
  void AboutBClick() { camera_->CompressorAbout(static_cast<BYTE>(Index(id::VideoCompressor)), hwnd()); }
  void ConfigBClick() { camera_->CompressorConfigure(static_cast<BYTE>(Index(id::VideoCompressor)), hwnd()); }

  void AudioInputClick() {
    camera_->SelectAudioInput(Index(id::AudioInput));
    ShowInputVolume(true);
  }

  void AudioRecordClick() {
    base::GuardVoid("TfrmOption.AudioRecordClick", [&] {
      const bool on = Checked(Item(id::AudioRecord));
      for (int control : {id::OptWsLabel9, id::AudioFormat, id::OptWsLabel11, id::AudioInput, id::OptWsLabel10})
        Enable(control, on);
      if (on) {
        ShowInputVolume(true);
      } else {
        Enable(id::AudioVolume, false);
        Enable(id::LabelVolume, false);
      }
    });
  }

  void BtnRECSoundSetClick() {
    if (Apply(true)) RunAVOptionDefaults().MarkApplied();
  }

  void Button3Click() { EndModal(IDCANCEL); }

  // Writes the dialog into the camera and closes it; false (the dialog stays open, nothing
  // written) for a key-frame period that is not a whole number. The user's confirm sets the
  // volume once more; the defaults leave the mixer alone.
  bool Apply(bool byUser) {
    int keyFrames = 0;
    if (!ReadKeyFramePeriod(hwnd(), Item(id::OptWsEditKeyFrames), keyFrames)) return false;
    return base::GuardVoid("TfrmOption.BtnRECSoundSetClick", [&] {
      ScrCam::TScreenCamera& camera = *camera_;
      RefreshOptionLabels();
      if (byUser) WriteVolume();
      camera.SelectedCompressor = Index(id::VideoCompressor);
      // Position 0 gives 0, which the camera's setter refuses: the quality stays.
      camera.SetCompressionQuality(Position(id::VideoQuality) * 1000);
      camera.KeyFramesEvery = keyFrames;
      camera.SetRecord_MSPF(Position(id::OptWsTrackBarRecord));
      camera.SetPlayBack_FPS(Position(id::OptWsTrackBarPlayback));
      camera.UseAudioRecord = Checked(Item(id::AudioRecord));
      camera.SelectedAudioFormat = Index(id::AudioFormat);
      EndModal(IDOK);
    });
  }

  ScrCam::TScreenCamera* camera_ = nullptr;
  HWND owner_ = nullptr;
  FlatButton confirm_, close_;
  int quiet_ = 0;            // > 0 while the volume bar is set from the mixer
  bool volumeWritable_ = false;
};

std::unique_ptr<TfrmOption> frmOption;

// frmOption, made (owned by owner) when missing or gone with its owner's window.
TfrmOption* OptionForm(HWND owner) { return DialogOnFirstUse(frmOption, owner); }

HWND HostWindow() { return FrmMainWithSound ? FrmMainWithSound->hwnd() : nullptr; }

}  // namespace

bool AVOptionDefaults::Apply(ScrCam::TScreenCamera& camera) {
  if (applied_) return false;
  return base::GuardVoid("ApplyDefaultAVOptions", [&] {
    TfrmOption* form = OptionForm(HostWindow());
    if (!form) return;
    form->SetCamera(camera);
    form->ApplyDefaults();
    applied_ = true;
  }) && applied_;
}

AVOptionDefaults& RunAVOptionDefaults() {
  static AVOptionDefaults defaults;
  return defaults;
}

int ShowAVOptions(ScrCam::TScreenCamera& camera, HWND owner) {
  return base::Guard(
      "ShowAVOptions",
      [&] {
        RunAVOptionDefaults().Apply(camera);
        TfrmOption* form = OptionForm(owner);
        if (!form) return IDCANCEL;
        form->SetCamera(camera);
        return form->Show(owner);
      },
      IDCANCEL);
}

HWND AVOptionsWindow() { return frmOption ? frmOption->hwnd() : nullptr; }

}  // namespace app
