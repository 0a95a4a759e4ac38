// The sound-less recorder's options dialog and its track bar scales. The dialog is built once
// and kept hidden between shows; every show loads it afresh from the recorder, and the
// recorder's values change only when the user confirms with a key-frame period that is a
// whole number.
#include "app/dialogs/optdlg.h"

#include <commctrl.h>

#include <cmath>
#include <climits>
#include <memory>

#include "app/forms/binding.h"
#include "app/forms/dialog_ids.h"
#include "app/forms/flat_button.h"
#include "app/forms/frame_pictures.h"
#include "app/texts/kv.h"
#include "app/forms/modal_dialog.h"
#include "base/barrier.h"
#include "base/rounding.h"
#include "base/seams.h"
#include "base/text.h"

namespace app {

namespace {

const double kLgMaxInterval = std::log10(60000.0);
// The outer size and the place the dialog was designed with.
constexpr int kDesignLeft = 199, kDesignTop = 149, kOuterWidth = 474, kOuterHeight = 417;

int Clamp(long long value, int low, int high) {
  return static_cast<int>(value < low ? low : value > high ? high : value);
}

class TOptionDlg : public ModalDialog {
 public:
  bool Build(HWND owner) {
    if (!CreateDialogWindow(L"TOptionDlg", L"参数设置", 466, 384, owner, L"宋体", -15, GB2312_CHARSET)) return false;
    // A sizeable border with the close box as its only border icon, at the size and place
    // the dialog was designed with.
    ::SetWindowLongW(hwnd(), GWL_STYLE, ::GetWindowLongW(hwnd(), GWL_STYLE) | WS_THICKFRAME);
    ::SetWindowLongW(hwnd(), GWL_EXSTYLE, ::GetWindowLongW(hwnd(), GWL_EXSTYLE) & ~WS_EX_DLGMODALFRAME);
    ::SetWindowPos(hwnd(), nullptr, kDesignLeft, kDesignTop, kOuterWidth, kOuterHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    SetBackground(RGB(245, 250, 254));
    // The picture frame round the edges, kept on them by every resize (WM_SIZE).
    frame_.Create(hwnd(), id::OptFrameFirst);
    const DWORD bar = TBS_HORZ | TBS_NOTICKS | WS_TABSTOP;
    // Inside the frame: below its 15-pixel top band, right of its 10-pixel left side.
    AddControl(L"BUTTON", L"压缩参数", BS_GROUPBOX | WS_CLIPSIBLINGS, 14, 18, 436, 106, id::GrpCompressor);
    AddControl(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 24, 40, 290, 240, id::ComboBoxCompressor);
    AddFlatButton(buttonAbout_, id::ButtonAbout, {322, 38, 382, 64}, L"关于", L"BtnAbout");
    AddFlatButton(buttonConfig_, id::ButtonConfig, {386, 38, 446, 64}, L"配置", L"BtnConfig");
    // Inside the group box, which was made first and so lies above them: they go on top, and
    // the box (clipped by its siblings) no longer paints over them.
    for (HWND button : {buttonAbout_.hwnd(), buttonConfig_.hwnd()})
      ::SetWindowPos(button, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    AddControl(L"STATIC", L"录像质量", SS_LEFT, 24, 84, 70, 20, id::OptLabel1);
    AddControl(TRACKBAR_CLASSW, L"", bar, 96, 78, 290, 30, id::TrackBarQuality);
    AddControl(L"STATIC", L"", SS_LEFT, 394, 84, 50, 20, id::LabelQuality);

    AddControl(L"BUTTON", L"录制参数", BS_GROUPBOX, 14, 128, 436, 110, id::GroupBox1);
    AddControl(L"STATIC", L"1 毫秒 / 帧", SS_LEFT, 24, 154, 90, 20, id::LabelRecordMin);
    AddControl(TRACKBAR_CLASSW, L"", bar, 114, 148, 230, 30, id::TrackBarRecord);
    AddControl(L"STATIC", L"1 分钟/ 帧", SS_LEFT, 350, 154, 96, 20, id::LabelRecordMax);
    AddControl(L"STATIC", L"", SS_CENTER, 174, 178, 110, 20, id::LabelmspFrecord);
    AddControl(L"STATIC", L"主帧率：", SS_LEFT, 24, 206, 70, 20, id::OptLabel8);
    AddControl(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 96, 202, 70, 24, id::EditKeyFrames, WS_EX_CLIENTEDGE);
    AddControl(L"STATIC", L"帧/主帧", SS_LEFT, 174, 206, 80, 20, id::OptLabel2);

    AddControl(L"BUTTON", L"重放帧数设置", BS_GROUPBOX, 14, 242, 436, 80, id::GroupBox2);
    AddControl(L"STATIC", L"1 fps", SS_LEFT, 24, 268, 60, 20, id::LabelPlaybackMin);
    AddControl(TRACKBAR_CLASSW, L"", bar, 84, 262, 290, 30, id::TrackBarPlayback);
    AddControl(L"STATIC", L"50 fps", SS_LEFT, 382, 268, 64, 20, id::LabelPlaybackMax);
    AddControl(L"STATIC", L"", SS_CENTER, 174, 294, 110, 20, id::LabelFPSPlayback);

    // Picture buttons as the other dialogs draw them; they take no focus, so Enter and Esc reach
    // them as IDOK and IDCANCEL.
    AddFlatButton(bitBtn1_, id::BitBtn1, {284, 328, 364, 356}, L"确定", L"confirm");
    AddFlatButton(bitBtn2_, id::BitBtn2, {370, 328, 450, 356}, L"取消", L"BtnClose");

    SetRange(id::TrackBarQuality, 0, kQualityBarMax);
    SetRange(id::TrackBarRecord, 1, kFrameBarMax);
    SetRange(id::TrackBarPlayback, 1, kFrameBarMax);
    SetPosition(id::TrackBarQuality, 50);
    SetPosition(id::TrackBarRecord, 50);
    SetPosition(id::TrackBarPlayback, 50);
    return true;
  }

  int Edit(CameraOptionsTarget& target, HWND owner) {
    target_ = &target;
    Load();
    const int result = RunModal(owner);
    target_ = nullptr;
    return result;
  }

 protected:
  void OnCommand(int id, int code, HWND control) override {
    if (id == id::ComboBoxCompressor && code == CBN_SELCHANGE) {
      UpdateCompressorButtons();
    } else if (code == BN_CLICKED && (id == id::ButtonAbout || id == id::ButtonConfig)) {
      const BYTE index = static_cast<BYTE>(SelectedCompressor());
      if (target_) {
        if (id == id::ButtonAbout) target_->CompressorAbout(index, hwnd());
        else target_->CompressorConfigure(index, hwnd());
      }
    } else if (code == BN_CLICKED && id == id::BitBtn1) {
      if (Store()) EndModal(IDOK);
    } else {
      ModalDialog::OnCommand(id, code, control);
    }
  }

  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_HSCROLL) {
      RefreshOptionLabels();
      return 0;
    }
    if (msg == WM_SIZE) frame_.Place();
    return ModalDialog::OnMessage(msg, wp, lp);
  }

 private:
  void SetRange(int id, int low, int high) { ::SendMessageW(Item(id), TBM_SETRANGE, TRUE, MAKELPARAM(low, high)); }
  void SetPosition(int id, int position) { ::SendMessageW(Item(id), TBM_SETPOS, TRUE, position); }
  int Position(int id) const { return static_cast<int>(::SendMessageW(Item(id), TBM_GETPOS, 0, 0)); }
  int SelectedCompressor() const {
    return static_cast<int>(::SendMessageW(Item(id::ComboBoxCompressor), CB_GETCURSEL, 0, 0));
  }

  void Load() {
    HWND combo = Item(id::ComboBoxCompressor);
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const int count = target_->CompressorCount();
    for (int i = 0; i < count; ++i) {
      const std::wstring description = target_->CompressorDescription(i);
      ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(description.c_str()));
    }
    // The compressor in use stays chosen; the first one when none is.
    const int current = target_->CompressorIndex();
    ::SendMessageW(combo, CB_SETCURSEL, count == 0 ? -1 : (current >= 0 && current < count ? current : 0), 0);

    SetPosition(id::TrackBarRecord, IntervalToPosition(target_->CaptureInterval()));
    SetPosition(id::TrackBarPlayback, RateToPosition(target_->FrameRate()));
    ::SetWindowTextW(Item(id::EditKeyFrames), base::Format(L"%d", target_->KeyFrameEvery()).c_str());
    SetPosition(id::TrackBarQuality, QualityToPosition(target_->Quality()));
    // Setting a position sends no notification: the labels are written here for every show.
    RefreshOptionLabels();
    UpdateCompressorButtons();
  }

  // False (and the dialog stays open) when the key-frame period is not a whole number >= 0.
  bool Store() {
    int keyFrames = 0;
    if (!ReadKeyFramePeriod(hwnd(), Item(id::EditKeyFrames), keyFrames)) return false;
    if (!target_) return true;
    target_->SetCompressorIndex(SelectedCompressor());
    target_->SetQuality(PositionToQuality(Position(id::TrackBarQuality)));
    target_->SetKeyFrameEvery(keyFrames);
    target_->SetCaptureInterval(PositionToInterval(Position(id::TrackBarRecord)));
    target_->SetFrameRate(PositionToRate(Position(id::TrackBarPlayback)));
    return true;
  }

  void UpdateCompressorButtons() {
    bool hasAbout = false, hasConfigure = false;
    if (target_) target_->CompressorFeatures(static_cast<BYTE>(SelectedCompressor()), hasAbout, hasConfigure);
    ::EnableWindow(Item(id::ButtonAbout), hasAbout);
    ::EnableWindow(Item(id::ButtonConfig), hasConfigure);
  }

  void RefreshOptionLabels() {
    ::SetWindowTextW(Item(id::LabelmspFrecord),
                     base::Format(L"%d ms", PositionToInterval(Position(id::TrackBarRecord))).c_str());
    ::SetWindowTextW(Item(id::LabelFPSPlayback),
                     base::Format(L"%d fps", PositionToRate(Position(id::TrackBarPlayback))).c_str());
    ::SetWindowTextW(Item(id::LabelQuality), base::Format(L"%d", Position(id::TrackBarQuality)).c_str());
  }

  CameraOptionsTarget* target_ = nullptr;
  PictureFrame frame_;
  FlatButton buttonAbout_, buttonConfig_, bitBtn1_, bitBtn2_;
};

std::unique_ptr<TOptionDlg> gOptionDlg;

}  // namespace

bool ParseWholeNumber(const std::wstring& text, int& value) {
  const std::wstring t = base::Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) negative = t[i++] == L'-';
  if (i == t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < L'0' || t[i] > L'9') return false;
    v = v * 10 + (t[i] - L'0');
    if (v > INT_MAX) return false;
  }
  value = static_cast<int>(negative ? -v : v);
  return true;
}

bool ReadKeyFramePeriod(HWND dialog, HWND edit, int& frames) {
  int value = 0;
  if (!ParseWholeNumber(EditText(edit), value) || value < 0) {
    base::ShowMessage(dialog, StrEnterInteger.empty() ? std::wstring(L"请输入一个整数") : StrEnterInteger, L"屏幕录像",
                      MB_OK);
    ::SetFocus(edit);
    return false;
  }
  frames = value;
  return true;
}

int IntervalToPosition(int intervalMs) {
  if (intervalMs < 1) intervalMs = 1;
  return Clamp(base::RoundHalfEven(std::log10(static_cast<double>(intervalMs)) * (kFrameBarMax - 1) / kLgMaxInterval + 1),
               1, kFrameBarMax);
}

int PositionToInterval(int position) {
  position = Clamp(position, 1, kFrameBarMax);
  return static_cast<int>(
      base::RoundHalfEven(std::pow(10.0, kLgMaxInterval * (position - 1) / (kFrameBarMax - 1))));
}

int RateToPosition(int fps) {
  return Clamp(base::RoundHalfEvenDiv((static_cast<long long>(fps) - 1) * (kFrameBarMax - 1), 49), 1, kFrameBarMax);
}

int PositionToRate(int position) {
  position = Clamp(position, 1, kFrameBarMax);
  return static_cast<int>(base::RoundHalfEvenDiv(static_cast<long long>(position - 1) * 49 + (kFrameBarMax - 1),
                                                 kFrameBarMax - 1));
}

int QualityToPosition(int quality) {
  return Clamp(base::RoundHalfEvenDiv(static_cast<long long>(quality) * kQualityBarMax, 10000), 0, kQualityBarMax);
}

int PositionToQuality(int position) {
  position = Clamp(position, 0, kQualityBarMax);
  return static_cast<int>(base::RoundHalfEvenDiv(static_cast<long long>(position) * 10000, kQualityBarMax));
}

int EditCameraOptions(CameraOptionsTarget& target, HWND owner) {
  return base::Guard(
      "EditCameraOptions",
      [&] {
        // Made again when its window went with its owner.
        TOptionDlg* dialog = DialogOnFirstUse(gOptionDlg, owner);
        return dialog ? dialog->Edit(target, owner) : IDCANCEL;
      },
      IDCANCEL);
}

HWND OptionDialogWindow() { return gOptionDlg ? gOptionDlg->hwnd() : nullptr; }

}  // namespace app
