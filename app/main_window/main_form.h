// TFrmMain, the program's main window: its regions and controls, menus, timers, the
// notification-area icon, the settings file it reads when it is created and writes when it is
// destroyed, and its window-level handlers.
//
// The main thread creates, drives and destroys it. The recorders' threads never call it; the
// two flags below are the only state they read. Its own state is private: the recording road
// keeps each recording's record, the playback part the file chosen in the list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/split/avi_split.h"
#include "app/forms/control_ids.h"
#include "app/forms/flat_button.h"
#include "app/forms/layout.h"
#include "app/forms/picture_box.h"
#include "app/main_window/recording_road.h"
#include "app/main_window/player.h"
#include "app/main_window/recordings.h"
#include "app/settings.h"
#include "app/main_window/tray_icon.h"
#include "app/main_window/web_panel.h"
#include "base/unique.h"
#include "base/window.h"
#include "engine/camera/ScrCam.h"
#include "engine/soundless/scrcamNS.h"

namespace app {

class TFrmMain;
class TFrmMainWithSound;
class TFrmAreaSelect;
class TFrmTool;

// The main window of a normal run (set by the program block), or nullptr.
extern TFrmMain* FrmMain;
// The current or next recording runs through the screen camera (with sound). Written on the
// main thread, read by the camera's hotkey window.
extern std::atomic<bool> RecordWithSound;
// The stop hotkey was registered for the current recording.
extern std::atomic<bool> StopHotKeyRegistered;

// The application's title: the caption of its message boxes.
inline constexpr const wchar_t* kApplicationTitle = L"屏幕录像";
// The tip of the notification-area icon.
inline constexpr const wchar_t* kTrayTip = L"鼠标左键双击此处可以停止屏幕录像";
inline constexpr int kDesignWidth = 935;
inline constexpr int kDesignHeight = 651;
// The font of the window and its controls (the list and the tabs have their own).
inline constexpr const wchar_t* kFormFontFace = L"MS Sans Serif";
inline constexpr int kFormFontHeight = -11;

struct MenuTraits {
  using Handle = HMENU;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyMenu(h); }
};
using UniqueMenu = base::Unique<MenuTraits>;

struct ImageListTraits {
  using Handle = HIMAGELIST;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::ImageList_Destroy(h); }
};
using UniqueImageList = base::Unique<ImageListTraits>;

struct MainFormOptions {
  // Where "defualt.ini" lives and what the recording folder defaults to, ending with "\";
  // empty: the program file's folder.
  std::wstring programFolder;
  // Posts WM_QUIT when the window is destroyed (the program's main form ends the run).
  bool quitOnDestroy = false;
  // Makes the web pop-up panel on the web tabs; none: the tabs stay empty.
  WebPanelFactory createPopWin;
  // Starts the mirror probe (on a thread of its own; returns at once); none: no probe.
  std::function<void()> startServerProbe;
};

class TFrmMain : public base::Window {
 public:
  explicit TFrmMain(MainFormOptions options = {});
  ~TFrmMain() override;

  // Creates the window hidden and runs FormCreate. False when the window could not be made.
  bool Create();
  // The fade-in, then shown maximised (its state from the first show on) and brought to the
  // front.
  void Show();

  // --- window-level handlers ---
  void FormCreate();
  void FormDestroy();
  bool FormCloseQuery() const { return true; }
  void FormResize();
  void AddTrayIcon();
  void ApplyTextsAndGlyphs();
  void LayoutLeftBar();
  void WMTrayIcon(LPARAM mouseMessage);
  void WMHotKey(WPARAM hotkeyId);
  void BtnOtherFunClick();
  void OpenApplicationPath1Click();

  // --- settings file ---
  void LoadSettings();
  void SaveSettings();

  // --- the parts of the recording workflow the life cycle needs ---
  void ToggleSound();
  void ToggleAutoSave();
  void CbSoundClick();
  void BtnAutoSaveClick();
  void ButtonStopRECClick();
  void StopRecordingAndRestore();
  // The tool window's stop (and its closing).
  void StopFromToolWindow();
  void RestoreAfterRecording();
  void RefreshRecordingList();
  // The full-screen record button, the recording options and the hotkey settings commands.
  void BtnSartRecClick();
  void BtnRectSetClick();
  void BtnHotKeySetClick();
  // The area record button, and the area window's confirm.
  void BtnAreaScreenRECClick();
  void StartAreaRecording();
  // The area window (FrmAreaSelect) and the tool window (FrmTool), made on first use and kept
  // until the main window goes; nullptr when one cannot be made.
  TFrmAreaSelect* AreaSelectWindow();
  TFrmTool* ToolWindow();
  // The recording road (the steps of a recording, with or without sound); nullptr before the
  // settings have created the sound-less recorder.
  RecordingRoad* Road() const { return road_.get(); }
  // The camera host form (FrmMainWithSound), made on first use with the screen camera, which
  // holds the global stop, pause and confirm keys from then on. Main thread only.
  TFrmMainWithSound& WithSoundForm();
  ScrCam::TScreenCamera& ScrCamera();
  bool HasWithSoundForm() const { return withSound_ != nullptr; }

  // --- the recordings list and playback (main_playback.cpp) ---
  // The path bar.
  void SpeedButton4Click();
  void EdtRECPathKeyDown(WPARAM key);
  void EdtRECPathExit();
  void BtnOpenDirClick();
  // The list.
  void LbVideoListClick();
  void LbVideoListKeyDown(WPARAM key);
  void MnDeleteRECClick();
  void MnUpdateRECNameClick();
  void BtnDefaultOpenClick();
  // Playback.
  void BtnReplayRecClick();
  void BtnOpenARECClick();
  void BtnPlayClick();
  void BtnPauseClick();
  void BtnStopClick();
  // The full-screen view.
  void BtnFullScreenClick();
  void FormKeyDown(WPARAM key);
  void SbVideoScreenDblClick();
  void FormShortCut(WPARAM key);
  // The key check of the message hook: a key press for the window or any window inside it runs
  // FormShortCut and goes on (never consumed).
  bool PreTranslateShortCut(const MSG& msg);
  // The message hook: every message the program's loops take from the queue, before it is
  // translated (the browser panel's right click, then the key check).
  void ApplicationEvents1Message(MSG& msg, bool& handled);
  // Used by the other parts of the window. True when the recording plays.
  bool PlayFile(const std::wstring& path);
  void ClosePlayer();
  void ReleasePlayer();
  void ShowPlaybackTab();
  void SetFullScreenView(bool on);
  RecordingList& Recordings() { return recordings_; }
  Playback& Player() { return playback_; }

  // --- the picture panel: splitting a recording, the picture list (main_pictures.cpp) ---
  void BtnAVIToPICClick();
  // Splits fileName into pictures in its folder's "img" (save false: decoded and shown only).
  // Does nothing while a split runs.
  void AviToPictures(const std::wstring& fileName, bool save);
  void BtnLoadPicsClick();
  // Appends an entry for each file in order; a file that is no bitmap ends the adding. Returns
  // the number added.
  int AddPictureFiles(const std::vector<std::wstring>& files);
  void SpeedButton13Click();
  void SpeedButton14Click();
  void BtnPicMoveDownClick();
  void BtnPicSortClick();
  void BitmapListBoxClick();
  // The picture list's drag-list reports (begin, dragging, dropped, cancelled).
  LRESULT PictureListDrag(const DRAGLISTINFO& drag);
  // Draws the drag's insert mark for the entry target (-1: none), in place of the last one.
  void DrawPictureInsertMark(int target);
  void MnOpenPicPathClick();
  void BtnClosePICPanClick();
  void BtnCreateAVIClick();
  // A split runs (its loop lets the window's messages run meanwhile).
  bool Splitting() const { return splitting_; }
  // The stop request for a running split: every recording start raises it.
  void RaiseSplitCancel() { splitCancel_ = true; }
  bool SplitCancel() const { return splitCancel_; }
  // The folder of the recording last split, ending with "\".
  const std::wstring& PicFolder() const { return picFolder_; }
  // The entries' texts, and the path an entry stands for.
  std::vector<std::wstring> PictureEntries() const;
  std::wstring PicturePathAt(int index) const;
  // How the split writes its pictures (tests hand in a failing writer); empty: the file system.
  void SetPictureWriter(PictureWriter writer) { pictureWriter_ = std::move(writer); }

  // --- timers ---
  void TimerFirstRunTimer();
  void TimerRunTimer();
  void TimerRECingTimer();
  void TimerRefreshWBTimer();
  void EnableTimer(int timerId, bool on);

  // --- the web tabs (main_web.cpp) ---
  // Makes the web pop-up panel once.
  void CreatePopWin();
  WebPanel* MyPopWin() const { return myPopWin_.get(); }
  // The tab control's pages: TabSheet1, TbDemo and TsHot (its tab shown only while the
  // recommendation panel is). The tab index of a page, -1 while its tab is hidden.
  int TabIndexOf(int pageId) const;
  void SetTabVisible(int pageId, bool visible);
  // Selects the page's tab and shows the page alone.
  void SelectPage(int pageId);
  void PageControl1DrawTab(const DRAWITEMSTRUCT& item);
  void PageControl1Change();
  void PageControl1MouseDown(int x, int y);
  void WMPopWinShow();
  void WMPopWinClosed(LPARAM reason);
  void WMPopWinLoaded() {}
  bool TimerEnabled(int timerId) const;

  // --- access for the other parts of the window and for tests ---
  // Any control, panel or picture of the window by its id (control_ids.h), or nullptr.
  HWND Control(int id) const;
  // A flat button by its id; nullptr when there is none.
  FlatButton* Button(int id) const;
  std::wstring ControlText(int id) const;
  void SetControlText(int id, const std::wstring& text);
  // The hint (tooltip text) of a control.
  std::wstring Hint(int id) const;
  void SetHint(int id, const std::wstring& hint);
  void SetControlVisible(int id, bool visible);
  bool ControlVisible(int id) const;  // its own WS_VISIBLE bit
  // The status line's text.
  void SetStatus(const std::wstring& text) { SetControlText(id::PnlHint, text); }
  std::wstring Status() const { return ControlText(id::PnlHint); }

  HMENU MnOtherFunButton() const { return mnOtherFunButton_.get(); }
  HMENU PmApp() const { return pmApp_.get(); }
  HMENU PmRecList() const { return pmRecList_.get(); }
  HMENU PopupMenu1() const { return popupMenu1_.get(); }
  const TrayIcon& TrayData() const { return trayData_; }
  HICON TrayIconNormal() const { return trayIconNormal_; }
  HICON TrayIconBlink() const { return trayIconBlink_.get(); }
  IniFile* Settings() const { return settings_.get(); }
  const std::wstring& ProgramFolder() const { return programFolder_; }
  DockLayout& RootLayout() { return layout_; }
  // The sound-less recorder, created while the settings are loaded; nullptr before.
  scrcamNS::TScreenCamNS* ScreenCamNS() const { return screenCamNS_.get(); }
  Panel* PanelOf(int id) const;

  // The window's state, read-only from outside.
  int RunTicks() const { return runTicks_; }
  int StoredRandomNum() const { return storedRandomNum_; }
  // The recording folder the list shows, ending with "\".
  const std::wstring& RecordFolder() const { return recordFolder_; }
  // The current file: the one last chosen in the list, replayed or recorded, and its path.
  const std::wstring& FileName() const { return fileName_; }
  const std::wstring& TargetPath() const { return targetPath_; }
  // The display size of the file last opened in the player.
  int VideoWidth() const { return videoWidth_; }
  int VideoHeight() const { return videoHeight_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void BuildRegions();
  void BuildLeftBar();
  void BuildPathBar();
  void BuildCenter();
  void BuildMenus();
  Panel& AddPanel(HWND parent, int id, bool visible = true, const wchar_t* className = L"TPanel");
  PictureBox& AddPicture(HWND parent, int id, const RECT& bounds, bool visible = true);
  FlatButton& AddButton(HWND parent, int id, const RECT& bounds, const std::wstring& caption, bool visible);
  HWND AddChild(HWND parent, int id, const wchar_t* className, DWORD style, DWORD exStyle, const RECT& bounds,
                const wchar_t* text = L"");
  void Register(int id, HWND wnd);
  void OnCommand(int id, int code);
  void OnTimer(UINT_PTR timerId);
  void ShowContextMenu(HWND source, POINT screen);
  // Shown again as it was before it was minimised or hidden (maximised stays maximised).
  void ShowMainWindow();
  // A balloon shown once the window is on the screen and laid out: at once when it is, else
  // when it is next shown. A later one replaces one still waiting.
  struct PendingBalloon {
    int control;
    std::wstring title;
    std::wstring text;
    BYTE hAnchor, vAnchor;
  };
  void ShowBalloonWhenShown(PendingBalloon balloon);
  void ShowPendingBalloon();
  // The balloon on the screen is hidden and one waiting for the window is dropped.
  void HideBalloons();
  void StopRecordingForExit();
  void SetGlyph(int buttonId, const wchar_t* resourceName);
  void CreateRecordingRoad();
  void DestroyAreaWindows();
  friend class MainRoadHost;
  void BuildPlaybackTab(HWND tabs);
  void BuildWebPages(HWND tabs);
  // Places every page in the tab control's display area; shows only the selected one.
  void PlacePages();
  void ShowSelectedPage();
  bool OnRecordingsCommand(int id, int code);
  // The system open dialog for an AVI file, starting in startFolder; empty when cancelled.
  std::wstring ChooseRecordingFile(const std::wstring& startFolder);
  // The recording folder, checked and made (with the road's messages); empty when unusable.
  std::wstring CheckedRecordFolder();
  void BuildPicturePanel(HWND panel);
  void ApplyPicturePanelTexts();
  bool OnPicturesCommand(int id, int code);
  void ShowPicturePanel();
  void SetPreview(base::UniqueBitmap picture);
  // A split's frame, drawn from the split's own picture until the split hands it over.
  void ShowSplitFrame(HBITMAP frame);
  void PlacePreview(PictureBox& image);
  friend class PictureSplitView;
  static LRESULT CALLBACK PlaybackSubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR subclassId,
                                               DWORD_PTR self);

  int runTicks_ = 0;
  bool soundHintShown_ = false;
  int videoWidth_ = 0;
  int videoHeight_ = 0;
  int storedRandomNum_ = 0;
  std::wstring recordFolder_;  // ends with "\"
  std::wstring fileName_;
  std::wstring targetPath_;
  std::optional<PendingBalloon> pendingBalloon_;
  // When the stop restored the window to the normal state (0: never), and how long a maximise
  // command without a cursor position after it is taken for the platform's late echo of the
  // maximised pass.
  DWORD restoredNormalAt_ = 0;
  static constexpr LONG kLateMaximizeMs = 500;

  MainFormOptions options_;
  std::wstring programFolder_;
  bool created_ = false;
  bool closing_ = false;
  bool destroying_ = false;
  bool formDestroyed_ = false;

  base::UniqueFont font_;
  DockLayout layout_;
  std::map<int, HWND> controls_;
  std::map<int, std::unique_ptr<Panel>> panels_;
  std::map<int, std::unique_ptr<PictureBox>> pictures_;
  std::map<int, std::unique_ptr<FlatButton>> buttons_;
  std::map<int, std::unique_ptr<Splitter>> splitters_;
  std::map<int, std::wstring> hints_;
  base::UniqueWindow hintWindow_;  // the tooltip for controls other than flat buttons

  UniqueMenu mnOtherFunButton_, pmApp_, pmRecList_, pmPicList_, pmHelp_, popupMenu1_;
  UniqueImageList imageList1_;
  std::map<int, bool> timers_;

  TrayIcon trayData_;
  HICON trayIconNormal_ = nullptr;  // shared icon from the resources; not destroyed
  base::UniqueIcon trayIconBlink_;
  std::unique_ptr<IniFile> settings_;
  // The road and its two sides: the window as the host, the sound-less recorder behind it.
  std::unique_ptr<RoadHost> roadHost_;
  std::unique_ptr<RoadRecorder> roadRecorder_;
  std::unique_ptr<RecordingRoad> road_;
  RecordingList recordings_;
  Playback playback_;
  base::UniqueFont listFont_;
  std::wstring openDialogFolder_;  // where "open a recording" starts, once a folder was chosen
  // The picture panel: the split's state, and the path behind each list entry (the entry's
  // item data is its key here), so the list holds no bitmaps.
  bool splitting_ = false;
  bool splitCancel_ = false;
  bool closeAfterSplit_ = false;
  std::wstring picFolder_;
  PictureWriter pictureWriter_;
  std::map<LPARAM, std::wstring> picturePaths_;
  LPARAM nextPictureKey_ = 1;
  bool picturesSorted_ = false;
  // The camera host form with the screen camera, and the camera as the road's recorder.
  std::unique_ptr<TFrmMainWithSound> withSound_;
  std::unique_ptr<RoadCamera> roadCamera_;
  // The area and tool windows (main_recording.cpp).
  std::unique_ptr<TFrmAreaSelect> areaSelect_;
  std::unique_ptr<TFrmTool> tool_;
  // Declared last, so it is destroyed first: its destructor waits for a recording to end.
  std::unique_ptr<scrcamNS::TScreenCamNS> screenCamNS_;
  // The web pop-up panel; closed and freed while the window is destroyed.
  std::unique_ptr<WebPanel> myPopWin_;
  int dragFrom_ = -1;  // the picture entry being dragged
  int dragMark_ = -1;  // where its insert mark is drawn, -1: nowhere
  bool shortCutHook_ = false;  // this window's message hook is installed
  base::UniqueFont pageFont_;  // the tab control's
  base::UniqueFont tabFont_;   // the captions drawn on its tabs
};

}  // namespace app
