// The filter effects dialog. Its controls are described by two tables, the switches and the
// bars, each naming the camera setting it writes; the handlers and the loading walk them.
// Controls set from code go through the binding layer, so a handler runs exactly when its
// control changes, as when the user changes it: loading writes the camera's own values back,
// and "Default Values" on a dialog at its defaults runs nothing.
#include "app/host_form/filtereffects.h"

#include <commctrl.h>

#include <atomic>
#include <iterator>
#include <memory>

#include "app/forms/binding.h"
#include "app/forms/dialog_ids.h"
#include "app/forms/modal_dialog.h"
#include "app/host_form/withsound.h"
#include "base/barrier.h"
#include "base/text.h"

namespace app {

namespace {

using Camera = ScrCam::TScreenCamera;

struct Switch {
  int id;
  std::atomic<bool> Camera::*setting;
};

constexpr Switch kSwitches[] = {
    {id::UseBrightnessEffect, &Camera::UseBrightness}, {id::UseContrastEffect, &Camera::UseContrast},
    {id::UseColorAdjustingEffect, &Camera::UseColorAdjusting}, {id::UseSaturationEffect, &Camera::UseSaturation},
    {id::UseNoiseEffect, &Camera::UseNoise}, {id::UseScreenRotation, &Camera::UseRotateImage},
    {id::CheckGrayScale, &Camera::GrayScale},
};

struct Bar {
  int id;
  int label;
  int low;
  std::atomic<int> Camera::*setting;
};

constexpr Bar kBars[] = {
    {id::BrightnessTrackBar, id::BrightnessLabel, -255, &Camera::EffectBrightness},
    {id::ContrastTrackBar, id::ContrastLabel, -255, &Camera::EffectContrast},
    {id::RedTrackBar, id::RedLabel, -255, &Camera::EffectRedValue},
    {id::GreenTrackBar, id::GreenLabel, -255, &Camera::EffectGreenValue},
    {id::BlueTrackBar, id::BlueLabel, -255, &Camera::EffectBlueValue},
    {id::SaturationTrackBar, id::SaturationLabel, 0, &Camera::EffectSaturation},
    {id::NoiseTrackBar, id::NoiseLabel, 0, &Camera::EffectNoise},
};

constexpr int kRotations[] = {id::ScreenRotationItem0, id::ScreenRotationItem1, id::ScreenRotationItem2,
                              id::ScreenRotationItem3, id::ScreenRotationItem4};

class TfrmFilterEffects : public ModalDialog {
 public:
  bool Build(HWND owner) {
    if (!CreateDialogWindow(L"TfrmFilterEffects", L"Filter Effects", 472, 454, owner)) return false;
    DropCloseBox();  // the dialog closes with Ok
    ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);

    // An effect's group box has its switch as its title; the switch is made first so it stays
    // above the box.
    auto group = [&](int box, int check, const wchar_t* title, int x, int y, int w, int h) {
      AddControl(L"BUTTON", title, BS_AUTOCHECKBOX | WS_TABSTOP, x + 8, y, w - 24, 18, check);
      AddControl(L"BUTTON", L"", BS_GROUPBOX | WS_CLIPSIBLINGS, x, y + 2, w, h, box);
    };
    auto bar = [&](const Bar& b, int x, int y, int w) {
      AddControl(TRACKBAR_CLASSW, L"", TBS_HORZ | WS_TABSTOP, x, y, w, 30, b.id);
      AddControl(L"STATIC", L"0", SS_LEFT, x + w + 6, y + 6, 40, 16, b.label);
    };
    group(id::BrightnessBox, id::UseBrightnessEffect, L"Use brightness effect", 8, 8, 224, 70);
    bar(kBars[0], 16, 36, 164);
    group(id::ContrastBox, id::UseContrastEffect, L"Use contrast effect", 240, 8, 224, 70);
    bar(kBars[1], 248, 36, 164);
    group(id::ColorAdjustingBox, id::UseColorAdjustingEffect, L"Use color adjusting effect", 8, 86, 456, 124);
    const wchar_t* colours[] = {L"Red", L"Green", L"Blue"};
    for (int i = 0; i < 3; ++i) {
      AddControl(L"STATIC", colours[i], SS_LEFT, 20, 118 + i * 30, 50, 16, id::FilterCaption);
      bar(kBars[2 + i], 72, 112 + i * 30, 330);
    }
    group(id::SaturationBox, id::UseSaturationEffect, L"Use saturation effect", 8, 218, 224, 70);
    bar(kBars[5], 16, 246, 164);
    group(id::SolarizeBox, id::UseNoiseEffect, L"Use noise effect", 240, 218, 224, 70);
    bar(kBars[6], 248, 246, 164);
    AddControl(L"BUTTON", L"Grayscale drawing", BS_AUTOCHECKBOX | WS_TABSTOP, 16, 300, 200, 20, id::CheckGrayScale);
    AddControl(L"BUTTON", L"Use screen rotation", BS_AUTOCHECKBOX | WS_TABSTOP, 16, 326, 200, 20,
               id::UseScreenRotation);
    AddControl(L"BUTTON", L"", BS_GROUPBOX, 8, 350, 300, 96, id::ScreenRotation);
    const wchar_t* rotations[] = {L"90 Degree", L"180 Degree", L"270 Degree", L"Mirror 0 Degree", L"Mirror 180 Degree"};
    for (int i = 0; i < 5; ++i)
      AddControl(L"BUTTON", rotations[i], BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0),
                 20 + (i % 2) * 144, 366 + (i / 2) * 26, 140, 20, kRotations[i]);
    AddControl(L"BUTTON", L"Default Values", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 330, 370, 130, 28,
               id::DefaultValueBtn);
    AddControl(L"BUTTON", L"Ok", BS_DEFPUSHBUTTON | WS_TABSTOP, 330, 410, 130, 28, id::OkBtn);

    for (const Bar& b : kBars) {
      // TBM_SETRANGE packs two 16-bit words: a negative minimum needs its own message.
      ::SendMessageW(Item(b.id), TBM_SETRANGEMIN, FALSE, b.low);
      ::SendMessageW(Item(b.id), TBM_SETRANGEMAX, TRUE, 255);
      // Wine places the thumb anew only when the position changes: through the minimum to 0.
      ::SendMessageW(Item(b.id), TBM_SETPOS, TRUE, b.low);
      ::SendMessageW(Item(b.id), TBM_SETPOS, TRUE, 0);
      WatchTrackBar(b.id);
    }
    return true;
  }

  void SetCamera(Camera& camera) { camera_ = &camera; }
  int Show(HWND owner) {
    owner_ = owner;
    return RunModal(owner);
  }
  int HandlerRuns() const { return handlerRuns_; }

 protected:
  void OnShowModal() override {
    CentreOn(CameraDialogCentre(owner_));
    FormShow();
  }

  void OnCommand(int controlId, int code, HWND control) override {
    if (code != BN_CLICKED || !camera_) return ModalDialog::OnCommand(controlId, code, control);
    for (const Switch& s : kSwitches)
      if (s.id == controlId) return SwitchClick(s);
    for (int rotation : kRotations)
      if (rotation == controlId) return ScreenRotationClick();
    if (controlId == id::DefaultValueBtn) return DefaultValueBtnClick();
    if (controlId == id::OkBtn) return EndModal(IDOK);
  }

  void OnTrackBarChange(int barId, int position) override {
    for (const Bar& b : kBars)
      if (b.id == barId && camera_) TrackBarChange(b, position);
  }

 private:
  void SetLabel(int label, int value) { ::SetWindowTextW(Item(label), base::Format(L"%d", value).c_str()); }

  // Use…Click and CheckGrayScaleClick.
  void SwitchClick(const Switch& s) {
    ++handlerRuns_;
    camera_->*s.setting = Checked(Item(s.id));
  }

  // …TrackBarChange: the setting, then its label (what the camera holds).
  void TrackBarChange(const Bar& b, int position) {
    ++handlerRuns_;
    camera_->*b.setting = position;
    SetLabel(b.label, camera_->*b.setting);
  }

  void ScreenRotationClick() {
    ++handlerRuns_;
    const int index = RadioIndex(hwnd(), kRotations);
    if (index >= 0 && index < static_cast<int>(std::size(kRotations)))
      camera_->EffectScreenRotate = static_cast<ScrCam::TScreenRotate>(index);
  }

  void FormShow() {
    Camera& camera = *camera_;
    for (const Switch& s : kSwitches) SetChecked(Item(s.id), camera.*s.setting);
    for (const Bar& b : kBars) {
      SetTrackPosition(Item(b.id), camera.*b.setting);
      SetLabel(b.label, camera.*b.setting);
    }
    SetRadioIndex(hwnd(), kRotations, static_cast<int>(camera.EffectScreenRotate.load()), Notify::Yes);
  }

  void DefaultValueBtnClick() {
    for (const Bar& b : kBars) SetTrackPosition(Item(b.id), 0);
    SetRadioIndex(hwnd(), kRotations, 0, Notify::Yes);
    for (const Switch& s : kSwitches) SetChecked(Item(s.id), false);
  }

  Camera* camera_ = nullptr;
  HWND owner_ = nullptr;
  int handlerRuns_ = 0;
};

std::unique_ptr<TfrmFilterEffects> frmFilterEffects;

}  // namespace

int ShowFilterEffects(ScrCam::TScreenCamera& camera, HWND owner) {
  return base::Guard(
      "ShowFilterEffects",
      [&] {
        TfrmFilterEffects* form = DialogOnFirstUse(frmFilterEffects, owner);
        if (!form) return IDCANCEL;
        form->SetCamera(camera);
        return form->Show(owner);
      },
      IDCANCEL);
}

HWND FilterEffectsWindow() { return frmFilterEffects ? frmFilterEffects->hwnd() : nullptr; }

int FilterEffectsHandlerRuns() { return frmFilterEffects ? frmFilterEffects->HandlerRuns() : 0; }

}  // namespace app
