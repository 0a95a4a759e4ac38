// The main window's settings and the state they drive: reading "defualt.ini" into the path
// bar, the sound and numbering toggles and the recordings list while the window is created,
// writing them back while it is destroyed; the two toggles themselves; the recordings list
// refresh; the wait for a recording at exit; and the captions and glyphs. The recording road's
// handlers (start, stops, options and hotkey commands) live in main_recording.cpp.
#include <windows.h>
#include <shlobj.h>

#include <stdexcept>
#include <vector>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/forms/frame_pictures.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/host_form/withsound.h"
#include "base/balloon.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/files.h"
#include "base/resources.h"
#include "base/text.h"

namespace app {

namespace {

// Creates folder with every missing parent. An empty name is an error (it names no folder);
// any other failure (a missing drive, a refused folder) leaves things as they are.
void ForceDirectories(const std::wstring& folder) {
  if (base::TrimView(folder).empty()) throw std::invalid_argument("empty folder name");
  if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  base::CreateFolderTree(folder);
}

}  // namespace

void TFrmMain::SetGlyph(int buttonId, const wchar_t* resourceName) {
  FlatButton* button = Button(buttonId);
  if (!button) return;
  // A missing picture leaves the button as it was.
  if (base::LoadGraphicFromRes(button->glyph(), resourceName, L"bmp")) button->GlyphChanged();
}

void TFrmMain::ApplyTextsAndGlyphs() {
  base::GuardVoid("TFrmMain.ApplyTextsAndGlyphs", [&] {
    ::SetWindowTextW(hwnd(), base::Format(CaptionFormat, ProductName, static_cast<double>(SoftVersion)).c_str());

    SetControlText(id::LblWithSound, StrWithSound);
    SetHint(id::BtnSartRec, StrStartRecHint);
    SetHint(id::EdtRECPath, StrPathEditHint);
    SetHint(id::LbVideoList, StrListHint);
    SetHint(id::EdtREC, L"手动录像的保存名称");

    const std::pair<int, const std::wstring*> menuTexts[] = {
        {id::MnRefresh, &StrMnRefresh},     {id::MnOpenREC, &StrMnOpen},
        {id::MnDeleteREC, &StrMnDelete},    {id::MnUpdateRECName, &StrMnRename},
        {id::MnDefaultOpenREC, &StrMnDefaultOpen}, {id::MnOpenCurDir, &StrMnOpenFolder}};
    for (const auto& [item, text] : menuTexts)
      ::ModifyMenuW(PmRecList(), item, MF_BYCOMMAND | MF_STRING, item, text->c_str());

    HWND tabs = Control(id::PageControl1);
    const std::wstring* tabTexts[] = {&StrTabRecording, &StrTabDemo};  // TabSheet1, TbDemo
    for (int tab = 0; tab < 2; ++tab) {
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<wchar_t*>(tabTexts[tab]->c_str());
      ::SendMessageW(tabs, TCM_SETITEMW, tab, reinterpret_cast<LPARAM>(&item));
    }

    const std::pair<int, const wchar_t*> glyphs[] = {
        {id::BtnSartRec, L"fs"},          {id::BtnAreaScreenREC, L"areascreencut"}, {id::BtnOtherFun, L"BtnOtherFun"},
        {id::BtnOpenDir, L"opendir"},     {id::BtnSelectPath, L"selectpath"},       {id::BtnReplayRec, L"BtnReplayRec"},
        {id::BtnStopRec, L"BtnStopRec"}};
    for (const auto& [button, name] : glyphs) SetGlyph(button, name);
    ApplyPicturePanelTexts();

    for (const auto& [picture, name] : {std::pair{id::ImgToolBar, L"toolbar"}, std::pair{id::ImgRectName, L"namesave"}}) {
      auto it = pictures_.find(picture);
      if (it != pictures_.end() && base::LoadJpegFromRes(it->second->picture(), name, L"jpg"))
        it->second->PictureChanged();
    }
    // The frame round the window.
    const std::pair<int, FramePiece> frame[] = {
        {id::Image4, kFrameTopLeft},         {id::ImgCenter, kFrameTop},          {id::ImgTopRight, kFrameTopRight},
        {id::ImgBottomLeft2, kFrameBottomLeft2}, {id::ImgBottomLeft, kFrameBottomLeft}, {id::bot, kFrameBottom},
        {id::ImgLeft, kFrameLeft},           {id::ImgRight, kFrameRight}};
    for (const auto& [picture, piece] : frame) {
      auto it = pictures_.find(picture);
      if (it != pictures_.end()) LoadFramePicture(*it->second, piece);
    }
  });
}

void TFrmMain::LoadSettings() {
  // The playback area fills its panel from now on.
  if (Panel* video = PanelOf(id::PnlVideo)) {
    video->layout().SetDock(Control(id::SbVideo), Dock::Client);
    video->Relayout();
  }

  screenCamNS_ = std::make_unique<scrcamNS::TScreenCamNS>(hwnd());
  screenCamNS_->OnProgress = [](scrcamNS::TScreenCamNS&) {};  // nothing to show per frame

  settings_ = std::make_unique<IniFile>(programFolder_ + kSettingsFileName);
  const RecorderSettings s = ReadRecorderSettings(*settings_, programFolder_);

  recordFolder_ = base::Trim(s.picPath);
  base::NormalizeDirPath(recordFolder_);
  SetControlText(id::EdtRECPath, recordFolder_);
  try {
    if (!base::FolderExists(recordFolder_)) ForceDirectories(recordFolder_);
  } catch (const std::exception&) {
    SetStatus(StrInvalidFolder);
  }

  SetControlText(id::EdtREC, s.picName);

  RecordWithSound = s.sound;
  Button(id::CbSound)->SetTag(s.sound ? 0 : 1);
  ToggleSound();

  RefreshRecordingList();

  Button(id::BtnAutoSave)->SetTag(s.autoSaveToPath ? 0 : 1);
  ::CheckMenuItem(PopupMenu1(), id::PmPicAutoSave, MF_BYCOMMAND | (s.autoSaveToPath ? MF_CHECKED : MF_UNCHECKED));
  ToggleAutoSave();

  storedRandomNum_ = s.curRandomNum;
  AutoRunFlag = s.autoRun;
  ::CheckMenuItem(PopupMenu1(), id::PmAutoRun, MF_BYCOMMAND | (AutoRunFlag ? MF_CHECKED : MF_UNCHECKED));
}

void TFrmMain::SaveSettings() {
  if (!settings_) return;
  RecorderSettings s;
  s.picPath = ControlText(id::EdtRECPath);
  s.picName = ControlText(id::EdtREC);
  s.autoSaveToPath = Button(id::BtnAutoSave)->tag() == 1;
  s.sound = Button(id::CbSound)->tag() == 1;
  s.autoRun = AutoRunFlag;
  try {
    WriteRecorderSettings(*settings_, s);
  } catch (const IniWriteError&) {
    // The keys not written yet keep their old values; the user is not told.
  }
}

void TFrmMain::ToggleSound() {
  FlatButton* sound = Button(id::CbSound);
  if (sound->tag() == 0) {
    sound->SetTag(1);
    RecordWithSound = true;
    SetGlyph(id::CbSound, L"checked");
  } else {
    sound->SetTag(0);
    RecordWithSound = false;
    SetGlyph(id::CbSound, L"notchecked");
  }
}

void TFrmMain::ToggleAutoSave() {
  FlatButton* autoSave = Button(id::BtnAutoSave);
  const bool numbering = autoSave->tag() == 0;
  autoSave->SetTag(numbering ? 1 : 0);
  SetGlyph(id::BtnAutoSave, numbering ? L"checked" : L"notchecked");
  SetControlVisible(id::ImgRectName, !numbering);
  SetControlVisible(id::EdtREC, !numbering);
}

void TFrmMain::CbSoundClick() {
  base::GuardVoid("TFrmMain.CbSoundClick", [&] {
    if (!soundHintShown_) {
      soundHintShown_ = true;
      base::ShowBalloonAtCursor(L"是否录制声音", L"录制声音将需要较大的资源，不带声音的录像体积更小，请根据需要选择");
    }
    ToggleSound();
  });
}

void TFrmMain::BtnAutoSaveClick() { ToggleAutoSave(); }

void TFrmMain::RefreshRecordingList() {
  base::GuardVoid("TFrmMain.RefreshRecordingList", [&] { recordings_.Refresh(recordFolder_); });
}

void TFrmMain::StopRecordingForExit() {
  // Closing the window stops a recording as the user's stop does, so it is saved; both
  // recorders are asked (only one runs).
  if (screenCamNS_) screenCamNS_->StopRecording();
  ScrCam::TScreenCamera* camera = withSound_ ? &withSound_->ScrCamera() : nullptr;
  if (camera && camera->Recording) camera->StopRecording();
  // The file is complete only when the recording thread has finished (with sound: saved) it;
  // the settings are written and the window freed after that. Messages keep flowing meanwhile,
  // so the thread's hand-overs to this thread still run, but input is thrown away: the program
  // is closing, and no list command (delete, rename) may start now.
  auto finishing = [&] {
    return (screenCamNS_ && screenCamNS_->HasRecordThread()) || (camera && camera->HasRecordThread());
  };
  while (finishing()) base::PumpUntil([&] { return !finishing(); }, 1000, base::Pump::NoInput);
}

}  // namespace app
