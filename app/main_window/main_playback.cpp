// The main window's recordings list and playback: the path bar's handlers, the list with its
// keys and menu, the playback tab with the embedded player and its buttons, the full-screen
// view and the Esc key.
//
// The list (app/main_window/recordings.h) remembers the folder it was filled from; every list
// action takes its files from there, so a folder typed into the path edit but not yet listed is
// never touched. The player (app/main_window/player.h) draws into PnlScreen, a child of the
// playback area SbVideoScreen. Every handler is guarded: a failure ends it silently where it was.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cwchar>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/main_window/open_guard.h"
#include "app/dialogs/rename.h"
#include "base/shell_opener.h"
#include "base/barrier.h"
#include "base/files.h"
#include "base/folderdialog.h"
#include "base/seams.h"
#include "base/text.h"

namespace app {

namespace {

constexpr UINT_PTR kSubclassId = 0x7E03;
constexpr int kControlBarHeight = 35;

// The regions the full-screen view hides, and shows again when it ends.
constexpr std::array kFrameRegions = {id::PnlBottom, id::SbLeft,  id::SbFileSelect, id::SbVideoLeft,
                                      id::ImgRight,  id::ImgLeft, id::SplB1,        id::SplL2,
                                      id::PnlTop};

// A listed file the player refuses (damaged, or not a recording): the path in its %s.
const wchar_t kCannotPlayFmt[] = L"无法播放%s：不是可以读取的录像文件";

std::wstring NormalizedFolder(const std::wstring& text) {
  std::wstring folder = base::Trim(text);
  base::NormalizeDirPath(folder);
  return folder;
}

}  // namespace

// --- building the playback tab ---

void TFrmMain::BuildPlaybackTab(HWND tabs) {
  // The page lies inside the tab control, which passes its children's commands on (below).
  Panel& sheet = AddPanel(tabs, id::TabSheet1);
  Panel& controlBar = AddPanel(sheet.hwnd(), id::PnlVideoControl, false);
  sheet.layout().Add(controlBar.hwnd(), Dock::Bottom, kControlBarHeight);
  Panel& area = AddPanel(sheet.hwnd(), id::SbVideoScreen, true, L"TScrollBox");
  sheet.layout().Add(area.hwnd(), Dock::Client);
  Panel& screen = AddPanel(area.hwnd(), id::PnlScreen, false, L"TScrollBox");

  struct ButtonSpec {
    int id;
    const wchar_t* caption;
    const wchar_t* hint;
  };
  const ButtonSpec buttons[] = {{id::BtnPlay, L"播放", L"播放录像"},
                                {id::BtnPause, L"暂停", L"暂停录像播放"},
                                {id::BtnStop, L"停止", L"停止录像播放"},
                                {id::FullScreenBtn, L"全屏", L"全屏显示录像"}};
  int x = 8;
  for (const auto& b : buttons) {
    AddButton(controlBar.hwnd(), b.id, {x, 5, x + 60, 30}, b.caption, true).SetHint(b.hint);
    x += 66;
  }

  playback_.Attach(screen.hwnd(), area.hwnd());
  for (HWND wnd : {tabs, area.hwnd(), screen.hwnd(), Control(id::EdtRECPath), Control(id::EdtREC),
                   Control(id::LbVideoList)})
    if (wnd) ::SetWindowSubclass(wnd, PlaybackSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  HWND list = Control(id::LbVideoList);
  recordings_.Attach(list);
  listFont_.reset(::CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial"));
  ::SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), FALSE);
}

// One subclass for the controls whose keys and mouse belong to the window's own handlers: the keys of
// the path edit and the list, the double click on the playback area, and the tab control,
// which places its page and passes the page's commands on to its parent.
LRESULT CALLBACK TFrmMain::PlaybackSubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
  auto* form = reinterpret_cast<TFrmMain*>(self);
  const int controlId = ::GetDlgCtrlID(wnd);
  switch (msg) {
    case WM_KEYDOWN:
      if (controlId == id::EdtRECPath || controlId == id::LbVideoList) {
        base::GuardVoid("TFrmMain.ControlKeyDown", [&] {
          if (controlId == id::EdtRECPath) form->EdtRECPathKeyDown(wp);
          if (controlId == id::LbVideoList) form->LbVideoListKeyDown(wp);
        });
        if (controlId == id::EdtRECPath && wp == VK_RETURN) return 0;
      }
      break;
    case WM_CHAR:
      // Enter in the path edit is a command, not a character: no beep.
      if (controlId == id::EdtRECPath && wp == L'\r') return 0;
      break;
    case WM_LBUTTONDBLCLK:
      if (controlId == id::SbVideoScreen || controlId == id::PnlScreen) {
        base::GuardVoid("TFrmMain.SbVideoScreenDblClick", [&] { form->SbVideoScreenDblClick(); });
        return 0;
      }
      break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
      if (controlId == id::PageControl1 && reinterpret_cast<HWND>(lp) != wnd)
        if (msg != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lp)->hwndFrom != wnd)
          return ::SendMessageW(::GetParent(wnd), msg, wp, lp);
      break;
    case WM_SIZE:
      if (controlId == id::PageControl1) {
        const LRESULT result = ::DefSubclassProc(wnd, msg, wp, lp);
        form->PlacePages();
        return result;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (controlId == id::PageControl1) {
        // After the control's own handling: a left click has selected the tab by then.
        const LRESULT result = ::DefSubclassProc(wnd, msg, wp, lp);
        form->PageControl1MouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return result;
      }
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(wnd, PlaybackSubclassProc, kSubclassId);
      break;
  }
  return ::DefSubclassProc(wnd, msg, wp, lp);
}

bool TFrmMain::OnRecordingsCommand(int commandId, int code) {
  if (commandId == id::LbVideoList) {
    if (code == LBN_SELCHANGE) LbVideoListClick();
    if (code == LBN_DBLCLK) BtnReplayRecClick();
    return true;
  }
  if (commandId == id::EdtRECPath) {
    if (code == EN_KILLFOCUS) EdtRECPathExit();
    return true;
  }
  if (code != BN_CLICKED) return false;
  switch (commandId) {
    case id::BtnSelectPath:
      SpeedButton4Click();
      return true;
    case id::BtnOpenDir:
    case id::MnOpenCurDir:
      BtnOpenDirClick();
      return true;
    case id::MnRefresh:
      RefreshRecordingList();
      return true;
    case id::MnOpenREC:  // listed in the menu, but it has nothing to do
      return true;
    case id::MnDeleteREC:
    case id::MnDeleteREC2:
    case id::SpeedButton5:
      MnDeleteRECClick();
      return true;
    case id::MnUpdateRECName:
    case id::MnUpdateRECName2:
    case id::BtnAlterName:
      MnUpdateRECNameClick();
      return true;
    case id::MnDefaultOpenREC:
    case id::MnDefaultOpen:
    case id::BtnDefaultOpen:
      BtnDefaultOpenClick();
      return true;
    case id::BtnReplayRec:
      BtnReplayRecClick();
      return true;
    case id::MnOpenAREC:
    case id::SpeedButton7:
      BtnOpenARECClick();
      return true;
    case id::BtnPlay:
      BtnPlayClick();
      return true;
    case id::BtnPause:
      BtnPauseClick();
      return true;
    case id::BtnStop:
      BtnStopClick();
      return true;
    case id::FullScreenBtn:
    case id::MnFullScreen:
    case id::BtnFullScreen:
      BtnFullScreenClick();
      return true;
  }
  return false;
}

// --- the path bar ---

void TFrmMain::SpeedButton4Click() {
  base::GuardVoid("TFrmMain.SpeedButton4Click", [&] {
    std::wstring folder = base::SelectFolder(ControlText(id::EdtRECPath), hwnd());
    if (folder.empty()) return;
    base::NormalizeDirPath(folder);
    recordFolder_ = folder;
    SetControlText(id::EdtRECPath, folder);
    openDialogFolder_ = folder;
    RefreshRecordingList();
  });
}

void TFrmMain::EdtRECPathKeyDown(WPARAM key) {
  if (key != VK_RETURN) return;
  base::GuardVoid("TFrmMain.EdtRECPathKeyDown", [&] {
    recordFolder_ = NormalizedFolder(ControlText(id::EdtRECPath));
    // The refresh makes the folder when it does not exist yet: a new sub-folder's name and Enter.
    RefreshRecordingList();
    SetStatus(base::Format(L"%s:%s", StrCurrentPath, recordFolder_));
  });
}

void TFrmMain::EdtRECPathExit() {
  base::GuardVoid("TFrmMain.EdtRECPathExit", [&] {
    // The folder of the next recording; the list, and the file its actions use, stay as they are
    // until the list is refreshed.
    recordFolder_ = NormalizedFolder(ControlText(id::EdtRECPath));
    SetStatus(base::Format(L"%s:%s", StrCurrentPath, recordFolder_));
  });
}

void TFrmMain::BtnOpenDirClick() {
  base::GuardVoid("TFrmMain.BtnOpenDirClick", [&] {
    const std::wstring folder = CheckedRecordFolder();
    if (!folder.empty()) base::ShellOpen(hwnd(), L"explore", folder);
  });
}

std::wstring TFrmMain::CheckedRecordFolder() {
  // The recording road checks the drive and makes the folder, with its own messages.
  return road_ ? road_->GetRecordPath() : std::wstring();
}

// --- the list ---

void TFrmMain::LbVideoListClick() {
  base::GuardVoid("TFrmMain.LbVideoListClick", [&] {
    ShowPlaybackTab();
    if (const auto current = recordings_.Current()) {
      fileName_ = *current;
      targetPath_ = recordings_.PathOf(fileName_);
      SetStatus(base::Format(StrCurrentFileFmt, targetPath_));
    } else {
      base::ShowMessage(hwnd(), StrSelectRecording, kApplicationTitle, MB_OK);
      ::SetFocus(Control(id::LbVideoList));
    }
  });
}

void TFrmMain::LbVideoListKeyDown(WPARAM key) {
  if (key == VK_DELETE) MnDeleteRECClick();
  if (key == VK_F5) RefreshRecordingList();
}

void TFrmMain::MnDeleteRECClick() {
  base::GuardVoid("TFrmMain.MnDeleteRECClick", [&] {
    DeleteSelectedRecordings(recordings_, [&] { ClosePlayer(); });
    ::InvalidateRect(Control(id::SbVideoScreen), nullptr, TRUE);
    SetControlVisible(id::PnlVideoControl, false);
  });
}

void TFrmMain::MnUpdateRECNameClick() {
  base::GuardVoid("TFrmMain.MnUpdateRECNameClick", [&] {
    // The player lets go of the file first; the dialog's rule renames it once, to the completed
    // name, so the recording keeps its extension.
    RenameCurrentRecording(
        recordings_, [&] { ClosePlayer(); },
        [&](const std::wstring& folder, const std::wstring& name, const std::wstring& extension) {
          return RenameRecording(folder, name, extension, hwnd());
        });
  });
}

void TFrmMain::BtnDefaultOpenClick() {
  base::GuardVoid("TFrmMain.BtnDefaultOpenClick", [&] {
    SetControlVisible(id::PnlScreen, true);
    switch (OpenInDefaultPlayer(hwnd(), fileName_, targetPath_)) {
      case DefaultOpenResult::NoFile:
        base::ShowMessage(hwnd(), StrSelectVideoInList, kApplicationTitle, MB_OK);
        break;
      case DefaultOpenResult::Missing:
        base::ShowMessage(hwnd(), base::Format(L"%s ：%s", StrVideoFileMissing, targetPath_), kApplicationTitle,
                          MB_OK);
        break;
      case DefaultOpenResult::Opened:
      case DefaultOpenResult::Refused:
        break;
    }
  });
}

// --- playback ---

void TFrmMain::BtnReplayRecClick() {
  base::GuardVoid("TFrmMain.BtnReplayRecClick", [&] {
    ShowPlaybackTab();
    SetControlVisible(id::PnlScreen, true);
    if (recordings_.Count() == 0) {
      SetStatus(StrNoRecordingFiles);
      base::ShowMessage(hwnd(), StrNoRecordingFiles, kApplicationTitle, MB_OK);
      return;
    }
    const auto current = recordings_.Current();
    if (!current) {
      SetStatus(StrSelectRecordingDot);
      base::ShowMessage(hwnd(), StrSelectRecordingDot, kApplicationTitle, MB_OK);
      ::SetFocus(Control(id::LbVideoList));
      return;
    }
    fileName_ = *current;
    targetPath_ = recordings_.PathOf(fileName_);
    if (!PlayFile(targetPath_)) {
      // The entry is gone or the player cannot read it: said so, and nothing to drive.
      const std::wstring told = ::GetFileAttributesW(targetPath_.c_str()) == INVALID_FILE_ATTRIBUTES
                                    ? base::Format(L"%s ：%s", StrVideoFileMissing, targetPath_)
                                    : base::Format(kCannotPlayFmt, targetPath_);
      SetStatus(told);
      SetControlVisible(id::PnlVideoControl, false);
      base::ShowMessage(hwnd(), told, kApplicationTitle, MB_OK | MB_ICONWARNING);
      return;
    }
    SetStatus(base::Format(StrStartPlayingFmt, targetPath_));
    SetControlVisible(id::PnlVideoControl, true);
  });
}

void TFrmMain::BtnOpenARECClick() {
  base::GuardVoid("TFrmMain.BtnOpenARECClick", [&] {
    const std::wstring folder = CheckedRecordFolder();
    if (folder.empty()) return;
    SetControlVisible(id::PnlScreen, true);
    const std::wstring file = ChooseRecordingFile(openDialogFolder_.empty() ? folder : openDialogFolder_);
    if (!file.empty()) PlayFile(file);
  });
}

std::wstring TFrmMain::ChooseRecordingFile(const std::wstring& startFolder) {
  wchar_t file[MAX_PATH] = {};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd();
  ofn.lpstrFilter = L"AVI File (*.avi)\0*.avi\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = startFolder.c_str();
  ofn.lpfnHook = &LongPathOpenHook;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLEHOOK |
              OFN_ENABLESIZING;
  return ::GetOpenFileNameW(&ofn) ? std::wstring(file) : std::wstring();
}

void TFrmMain::BtnPlayClick() {
  base::GuardVoid("TFrmMain.BtnPlayClick", [&] {
    if (playback_.player().Mode()) {
      playback_.player().Play();
      return;
    }
    const auto current = recordings_.Current();
    if (!current) return;
    fileName_ = *current;
    targetPath_ = recordings_.PathOf(fileName_);
    PlayFile(targetPath_);
  });
}

void TFrmMain::BtnPauseClick() { playback_.player().Pause(); }
void TFrmMain::BtnStopClick() { playback_.player().Stop(); }

bool TFrmMain::PlayFile(const std::wstring& path) {
  bool playing = false;
  base::GuardVoid("TFrmMain.PlayFile", [&] {
    playing = playback_.PlayFile(path);
    if (!playing && !playback_.player().IsOpen()) return;
    videoWidth_ = playback_.VideoSize().cx;
    videoHeight_ = playback_.VideoSize().cy;
  });
  return playing;
}

void TFrmMain::ClosePlayer() { playback_.ClosePlayer(); }
void TFrmMain::ReleasePlayer() { playback_.ReleasePlayer(); }

void TFrmMain::ShowPlaybackTab() {
  HWND tabs = Control(id::PageControl1);
  if (!tabs) return;
  SelectPage(id::TabSheet1);
}

// --- the full-screen view ---

void TFrmMain::SetFullScreenView(bool on) {
  base::GuardVoid("TFrmMain.SetFullScreenView", [&] {
    SetControlVisible(id::PnlScreen, on);
    SetStatus(base::Format(StrCurrentFileFmt, targetPath_));
    for (int region : kFrameRegions) SetControlVisible(region, !on);
    // The picture panel comes back with the frame when it was open (its close button's tag).
    const FlatButton* picClose = Button(id::BtnClosePICPan);
    if (on)
      SetControlVisible(id::PnlPic, false);
    else if (picClose && picClose->tag() == 2)
      SetControlVisible(id::PnlPic, true);
    ::ShowWindow(hwnd(), on ? SW_MAXIMIZE : SW_RESTORE);
    // After the window has its new size: the video is stretched over the playback area, or back
    // at its own size.
    playback_.SetStretched(on);
  });
}

void TFrmMain::BtnFullScreenClick() {
  FlatButton* toggle = Button(id::FullScreenBtn);
  if (!toggle) return;
  const bool on = toggle->tag() == 0;
  toggle->SetTag(on ? 1 : 0);
  SetFullScreenView(on);
}

void TFrmMain::FormKeyDown(WPARAM key) {
  if (key == VK_ESCAPE) SbVideoScreenDblClick();
}

void TFrmMain::SbVideoScreenDblClick() {
  if (FlatButton* toggle = Button(id::FullScreenBtn)) toggle->SetTag(0);
  SetFullScreenView(false);
}

bool TFrmMain::PreTranslateShortCut(const MSG& msg) {
  if (destroying_ || !hwnd() || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)) return false;
  if (!msg.hwnd || (msg.hwnd != hwnd() && !::IsChild(hwnd(), msg.hwnd))) return false;
  // A modal dialog over the window has disabled it: its keys are the dialog's.
  if (!::IsWindowEnabled(hwnd())) return false;
  FormShortCut(msg.wParam);
  return false;  // the key goes on to its control
}

void TFrmMain::FormShortCut(WPARAM key) {
  if (key != VK_ESCAPE) return;
  base::GuardVoid("TFrmMain.FormShortCut", [&] {
    for (int region : {id::PnlTop, id::PnlBottom, id::SbLeft, id::SbFileSelect}) SetControlVisible(region, true);
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd(), GWL_STYLE);
    if (!(style & WS_THICKFRAME)) {
      ::SetWindowLongPtrW(hwnd(), GWL_STYLE, style | WS_THICKFRAME);
      ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    for (int region : {id::SbVideoLeft, id::ImgRight, id::ImgLeft, id::SplB1, id::SplL2})
      SetControlVisible(region, true);
    ::ShowWindow(hwnd(), SW_RESTORE);
    ::SetWindowTextW(hwnd(), base::Format(L"%s%1.1f", ProductName, static_cast<double>(SoftVersion)).c_str());
  });
}

}  // namespace app
