// The main window's construction and life cycle: the regions docked outside in, the left bar,
// the path bar, the recordings and tab area, the menus, the timers, the notification-area
// icon, and the window-level handlers (creation, resize, tray and hotkey messages, closing and
// destruction). The settings live in main_settings.cpp, the recording road's handlers in
// main_recording.cpp.
//
// Every handler runs behind its own exception guard: a failure ends that handler silently at
// the point reached, and the user sees only the message boxes the program means to show.
#include "app/main_window/main_form.h"

#include <shellapi.h>
#include <uxtheme.h>
#include <windowsx.h>

#include "app/main_window/OmbrixUnit.h"
#include "app/area/areaselect.h"
#include "app/forms/control_ids.h"
#include "app/dialogs/hotkeyset.h"
#include "app/texts/kv.h"
#include "app/forms/messages.h"
#include "app/area/toolform.h"
#include "app/host_form/withsound.h"
#include "base/balloon.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/resources.h"
#include "base/showform.h"

namespace app {

TFrmMain* FrmMain = nullptr;
std::atomic<bool> RecordWithSound{false};
std::atomic<bool> StopHotKeyRegistered{false};

namespace {

constexpr int kLeftBarWidth = 140;
constexpr int kLeftBarButtonWidth = 130;
constexpr int kLeftBarButtonHeight = 40;
constexpr int kPathBarRightPart = 400;  // ImgTopBG takes the window's width less this
constexpr int kPathBarHeight = 70;
constexpr int kPathRowHeight = 22;      // the path and name edits
constexpr int kToolBarWidth = 360;      // the toolbar picture's own size, 360 x 70
constexpr int kNameEditWidth = 230;

struct TimerSpec {
  int id;
  UINT interval;
};
constexpr TimerSpec kTimers[] = {
    {id::TimerFirstRun, 200}, {id::TimerRun, 50}, {id::TimerRefreshWB, 1000}, {id::TimerRECing, 1000}};

UINT IntervalOf(int timerId) {
  for (const auto& t : kTimers)
    if (t.id == timerId) return t.interval;
  return 0;
}

void AppendItem(HMENU menu, int id, const wchar_t* caption) { ::AppendMenuW(menu, MF_STRING, id, caption); }
void AppendSeparator(HMENU menu) { ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); }

HICON LoadProgramIcon(int size) {
  HINSTANCE self = ::GetModuleHandleW(nullptr);
  if (HICON icon = static_cast<HICON>(::LoadImageW(self, L"MAINICON", IMAGE_ICON, size, size, LR_SHARED)))
    return icon;
  return ::LoadIconW(nullptr, IDI_APPLICATION);
}

// A display of 8 bits or less per pixel, drawn through a palette.
bool PaletteDisplay() {
  base::WindowDC screen(nullptr);
  return screen && ::GetDeviceCaps(screen.get(), BITSPIXEL) * ::GetDeviceCaps(screen.get(), PLANES) <= 8;
}

BOOL CALLBACK SetFontOf(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

}  // namespace

TFrmMain::TFrmMain(MainFormOptions options) : options_(std::move(options)) {
  programFolder_ = options_.programFolder.empty() ? app::ProgramFolder() : options_.programFolder;
  if (!programFolder_.empty() && programFolder_.back() != L'\\') programFolder_ += L'\\';
}

TFrmMain::~TFrmMain() {
  if (PnlOmbrix && &PnlOmbrix->owner() == PanelOf(id::PnlOmbrixParent)) PnlOmbrix.reset();
  Destroy();
  if (FrmMain == this) FrmMain = nullptr;
}

bool TFrmMain::Create() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  font_.reset(::CreateFontW(kFormFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            kFormFontFace));

  base::WindowClass cls;
  cls.name = L"TFrmMain";
  cls.background = FormBrush();
  cls.icon = LoadProgramIcon(32);
  cls.smallIcon = LoadProgramIcon(16);
  base::WindowSpec spec;
  spec.title = L"";
  // Hidden at its design size; Show maximises it. (A hidden window created with WS_MAXIMIZE
  // reads as maximised under Wine but keeps its design size on the screen.)
  spec.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  spec.width = kDesignWidth;
  spec.height = kDesignHeight;
  spec.x = (::GetSystemMetrics(SM_CXSCREEN) - kDesignWidth) / 2;
  spec.y = (::GetSystemMetrics(SM_CYSCREEN) - kDesignHeight) / 2;
  if (!base::Window::Create(cls, spec)) return false;

  BuildRegions();
  BuildMenus();
  ::EnumChildWindows(hwnd(), &SetFontOf, reinterpret_cast<LPARAM>(font_.get()));
  if (pageFont_) ::SendMessageW(Control(id::PageControl1), WM_SETFONT, reinterpret_cast<WPARAM>(pageFont_.get()), FALSE);
  layout_.Apply(hwnd());
  created_ = true;
  // Every message the program's loops take passes the window's application hook first, before
  // it is translated and dispatched.
  base::SetMessageHook([this](MSG& msg) {
    bool handled = false;
    ApplicationEvents1Message(msg, handled);
    return handled;
  });
  shortCutHook_ = true;
  FormCreate();
  return true;
}

void TFrmMain::Show() {
  // Under Wine the blend shows the window at once; the maximised show and the foreground
  // request that follow it make the end state the same everywhere.
  if (!hwnd()) return;
  base::ShowFormAnimated(hwnd(), SW_SHOWMAXIMIZED);
  // The start-up balloon points at the record button of the window as it is now laid out.
  ShowPendingBalloon();
}

// --- building the regions ---

void TFrmMain::Register(int id, HWND wnd) {
  if (wnd) controls_[id] = wnd;
}

Panel& TFrmMain::AddPanel(HWND parent, int id, bool visible, const wchar_t* className) {
  auto panel = std::make_unique<Panel>();
  panel->Create(parent, id, visible, className);
  Register(id, panel->hwnd());
  Panel& ref = *panel;
  panels_[id] = std::move(panel);
  return ref;
}

PictureBox& TFrmMain::AddPicture(HWND parent, int id, const RECT& bounds, bool visible) {
  auto picture = std::make_unique<PictureBox>();
  picture->Create(parent, id, bounds, visible);
  Register(id, picture->hwnd());
  PictureBox& ref = *picture;
  pictures_[id] = std::move(picture);
  return ref;
}

FlatButton& TFrmMain::AddButton(HWND parent, int id, const RECT& bounds, const std::wstring& caption, bool visible) {
  auto button = std::make_unique<FlatButton>();
  button->Create(parent, id, bounds, caption, visible);
  Register(id, button->hwnd());
  FlatButton& ref = *button;
  buttons_[id] = std::move(button);
  return ref;
}

HWND TFrmMain::AddChild(HWND parent, int id, const wchar_t* className, DWORD style, DWORD exStyle, const RECT& bounds,
                        const wchar_t* text) {
  HWND wnd = ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_CLIPSIBLINGS | style, bounds.left, bounds.top,
                               bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  Register(id, wnd);
  return wnd;
}

void TFrmMain::BuildRegions() {
  // The frame pictures, then the left bar and the main area, outside in.
  Panel& top = AddPanel(hwnd(), id::PnlTop);
  layout_.Add(top.hwnd(), Dock::Top, 15);
  top.layout().Add(AddPicture(top.hwnd(), id::Image4, {0, 0, 10, 15}).hwnd(), Dock::Left, 10);
  top.layout().Add(AddPicture(top.hwnd(), id::ImgTopRight, {0, 0, 20, 15}).hwnd(), Dock::Right, 20);
  top.layout().Add(AddPicture(top.hwnd(), id::ImgCenter, {0, 0, 0, 15}).hwnd(), Dock::Client);

  Panel& bottom = AddPanel(hwnd(), id::PnlBottom);
  layout_.Add(bottom.hwnd(), Dock::Bottom, 11);
  bottom.layout().Add(AddPicture(bottom.hwnd(), id::ImgBottomLeft2, {0, 0, 10, 11}).hwnd(), Dock::Left, 10);
  bottom.layout().Add(AddPicture(bottom.hwnd(), id::ImgBottomLeft, {0, 0, 10, 11}).hwnd(), Dock::Left, 10);
  bottom.layout().Add(AddPicture(bottom.hwnd(), id::bot, {0, 0, 0, 11}).hwnd(), Dock::Client);

  layout_.Add(AddPicture(hwnd(), id::ImgLeft, {0, 0, 5, 0}).hwnd(), Dock::Left, 5);
  layout_.Add(AddPicture(hwnd(), id::ImgRight, {0, 0, 14, 0}).hwnd(), Dock::Right, 14);

  Panel& left = AddPanel(hwnd(), id::SbLeft, true, L"TScrollBox");
  layout_.Add(left.hwnd(), Dock::Left, kLeftBarWidth);
  BuildLeftBar();

  Panel& main = AddPanel(hwnd(), id::SbMain, true, L"TScrollBox");
  layout_.Add(main.hwnd(), Dock::Client);
  Panel& fileSelect = AddPanel(main.hwnd(), id::SbFileSelect, true, L"TScrollBox");
  main.layout().Add(fileSelect.hwnd(), Dock::Top, kPathBarHeight);
  BuildPathBar();

  Panel& hint = AddPanel(main.hwnd(), id::PnlHint);
  main.layout().Add(hint.hwnd(), Dock::Bottom, 25);
  HWND progress = AddChild(hint.hwnd(), id::ProgressBar1, PROGRESS_CLASSW, 0, 0, {10, -4, 153, 21});
  ::SendMessageW(progress, PBM_SETRANGE32, 0, 100);
  ::SendMessageW(progress, PBM_SETSTEP, 10, 0);

  Panel& center = AddPanel(main.hwnd(), id::SbCenter, true, L"TScrollBox");
  main.layout().Add(center.hwnd(), Dock::Client);
  BuildCenter();
}

void TFrmMain::BuildLeftBar() {
  HWND bar = Control(id::SbLeft);
  AddChild(bar, id::LblWithSound, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, {5, 10, 85, 23});
  AddButton(bar, id::CbSound, {90, 7, 110, 27}, L"", true);
  // The command buttons start hidden; FormCreate shows the ones in use and LayoutLeftBar
  // stacks them.
  struct Spec {
    int id;
    const wchar_t* caption;
  };
  const Spec shown[] = {{id::BtnSartRec, L"全屏幕录像"},
                        {id::BtnAreaScreenREC, L"局部屏幕录像"},
                        {id::BtnReplayRec, L"播放录像"},
                        {id::BtnStopRec, L"停止录像"},
                        {id::BtnOtherFun, L"其他功能"}};
  int y = 40;
  for (const auto& s : shown) {
    AddButton(bar, s.id, {5, y, 5 + kLeftBarButtonWidth, y + kLeftBarButtonHeight}, s.caption, false);
    y += kLeftBarButtonHeight + 3;
  }
  const int neverShown[] = {id::SpeedButton7,  id::BtnHotKeySet,  id::BtnFullScreen, id::SpeedButton5,
                            id::BtnAlterName,  id::BtnRectSet,    id::BtnDefaultOpen, id::BtnAVIToPIC,
                            id::BtnPicToAVI,   id::BtnSendToUDisk, id::SpeedButton1};
  for (int buttonId : neverShown) {
    AddButton(bar, buttonId, {5, y, 5 + kLeftBarButtonWidth, y + 25}, L"", false);
    y += 28;
  }
  Button(id::BtnReplayRec)->SetHint(L"Replay Record");
  Button(id::BtnStopRec)->SetHint(L"Stop Record");
  Panel& ombrix = AddPanel(bar, id::PnlOmbrixParent, true, L"TScrollBox");
  ::SetWindowPos(ombrix.hwnd(), nullptr, 2, y, kLeftBarWidth - 4, 320, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFrmMain::BuildPathBar() {
  HWND bar = Control(id::SbFileSelect);
  // Controls before the pictures behind them: the first child created is on top.
  AddChild(bar, id::EdtRECPath, L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {10, 8, 500, 30});
  AddButton(bar, id::BtnSelectPath, {0, 6, 24, 30}, L"", true);
  AddButton(bar, id::BtnOpenDir, {0, 6, 24, 30}, L"", true);
  AddButton(bar, id::BtnAutoSave, {0, 8, 20, 28}, L"", true);
  AddChild(bar, id::EdtREC, L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {0, 7, 200, 29});
  AddPicture(bar, id::ImgRectName, {0, 7, 70, 29});
  AddPicture(bar, id::Image25, {10, 36, 210, 62});
  AddPicture(bar, id::ImgToolBar, {0, 0, kToolBarWidth, kPathBarHeight});
  AddPicture(bar, id::ImgTopBG, {0, 0, 520, 70});
}

void TFrmMain::BuildCenter() {
  Panel& center = *panels_.at(id::SbCenter);
  Panel& pic = AddPanel(center.hwnd(), id::PnlPic, false);
  center.layout().Add(pic.hwnd(), Dock::Bottom, 183);
  BuildPicturePanel(pic.hwnd());
  auto splB1 = std::make_unique<Splitter>();
  splB1->Create(center.hwnd(), id::SplB1, center.layout(), pic.hwnd(), Dock::Bottom);
  Register(id::SplB1, splB1->hwnd());
  splitters_[id::SplB1] = std::move(splB1);

  Panel& video = AddPanel(center.hwnd(), id::PnlVideo);
  center.layout().Add(video.hwnd(), Dock::Client);
  Panel& videoLeft = AddPanel(video.hwnd(), id::SbVideoLeft, true, L"TScrollBox");
  video.layout().Add(videoLeft.hwnd(), Dock::Left, 121);
  HWND list = AddChild(videoLeft.hwnd(), id::LbVideoList, L"LISTBOX",
                       WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL, WS_EX_CLIENTEDGE,
                       {0, 0, 121, 100});
  videoLeft.layout().Add(list, Dock::Client);
  auto splL2 = std::make_unique<Splitter>();
  splL2->Create(video.hwnd(), id::SplL2, video.layout(), videoLeft.hwnd(), Dock::Left);
  Register(id::SplL2, splL2->hwnd());
  splitters_[id::SplL2] = std::move(splL2);

  // Docked left until the settings are loaded, which make the playback area fill its panel.
  Panel& sbVideo = AddPanel(video.hwnd(), id::SbVideo, true, L"TScrollBox");
  video.layout().Add(sbVideo.hwnd(), Dock::Left, 200);
  HWND tabs = AddChild(sbVideo.hwnd(), id::PageControl1, WC_TABCONTROLW, WS_VISIBLE | WS_CLIPCHILDREN, 0,
                       {0, 0, 200, 100});
  sbVideo.layout().Add(tabs, Dock::Client);
  // The visual style draws the tabs from bitmaps with an alpha channel, which a palette display
  // shows as black: the second tab's caption was a black box. There the tabs are drawn the
  // classic way (an empty theme name would be refused; a blank one matches no theme).
  if (PaletteDisplay()) ::SetWindowTheme(tabs, L" ", L" ");
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(tabs, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));  // TabSheet1: playback
  ::SendMessageW(tabs, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));  // TbDemo: demonstration
  BuildPlaybackTab(tabs);
  BuildWebPages(tabs);
}

void TFrmMain::BuildMenus() {
  mnOtherFunButton_.reset(::CreatePopupMenu());
  HMENU m = mnOtherFunButton_.get();
  AppendItem(m, id::MnOpenAREC, L"打开一个录像");
  AppendItem(m, id::MnDefaultOpen, L"默认播放器中打开");
  AppendSeparator(m);
  AppendItem(m, id::MnAVIToPIC, L"分解成图片");
  AppendItem(m, id::MnCreateAVI, L"图片合成视频");
  AppendSeparator(m);
  AppendItem(m, id::MnDeleteREC2, L"删除屏幕录像");
  AppendItem(m, id::MnUpdateRECName2, L"修改当前录像名称");
  AppendItem(m, id::MnFullScreen, L"全屏显示");
  AppendSeparator(m);
  AppendItem(m, id::MnRectSet, L"录像参数设置");
  AppendItem(m, id::MnHotKeySet, L"热键设置");

  pmApp_.reset(::CreatePopupMenu());
  AppendItem(pmApp_.get(), id::OpenApplicationPath1, L"打开所在的文件夹");

  // The recordings list's menu; its captions come from the text tables.
  pmRecList_.reset(::CreatePopupMenu());
  for (int item : {id::MnRefresh, id::MnOpenREC, id::MnDeleteREC, id::MnUpdateRECName, id::MnDefaultOpenREC,
                   id::MnOpenCurDir})
    AppendItem(pmRecList_.get(), item, L"");
  pmPicList_.reset(::CreatePopupMenu());
  AppendItem(pmPicList_.get(), id::MnOpenPicPath, L"打开所在文件夹");
  pmHelp_.reset(::CreatePopupMenu());
  popupMenu1_.reset(::CreatePopupMenu());
  AppendItem(popupMenu1_.get(), id::PmAutoRun, L"开机时自动启动");
  AppendItem(popupMenu1_.get(), id::PmPicAutoSave, L"图片自动保存到文件夹");
}

// --- access ---

HWND TFrmMain::Control(int controlId) const {
  auto it = controls_.find(controlId);
  return it == controls_.end() ? nullptr : it->second;
}

FlatButton* TFrmMain::Button(int buttonId) const {
  auto it = buttons_.find(buttonId);
  return it == buttons_.end() ? nullptr : it->second.get();
}

Panel* TFrmMain::PanelOf(int panelId) const {
  auto it = panels_.find(panelId);
  return it == panels_.end() ? nullptr : it->second.get();
}

std::wstring TFrmMain::ControlText(int controlId) const {
  HWND wnd = Control(controlId);
  if (!wnd) return {};
  const int length = ::GetWindowTextLengthW(wnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(wnd, text.data(), length + 1)));
  return text;
}

void TFrmMain::SetControlText(int controlId, const std::wstring& text) {
  if (HWND wnd = Control(controlId)) ::SetWindowTextW(wnd, text.c_str());
}

std::wstring TFrmMain::Hint(int controlId) const {
  if (FlatButton* button = Button(controlId)) return button->hint();
  auto it = hints_.find(controlId);
  return it == hints_.end() ? std::wstring() : it->second;
}

void TFrmMain::SetHint(int controlId, const std::wstring& hint) {
  if (FlatButton* button = Button(controlId)) {
    button->SetHint(hint);
    return;
  }
  HWND wnd = Control(controlId);
  if (!wnd) return;
  const bool known = hints_.count(controlId) != 0;
  hints_[controlId] = hint;
  if (!hintWindow_) {
    hintWindow_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr));
    if (!hintWindow_) return;
  }
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = ::GetParent(wnd);
  info.uId = reinterpret_cast<UINT_PTR>(wnd);
  info.lpszText = const_cast<wchar_t*>(hints_[controlId].c_str());
  ::SendMessageW(hintWindow_.get(), known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void TFrmMain::SetControlVisible(int controlId, bool visible) {
  HWND wnd = Control(controlId);
  if (!wnd || ControlVisible(controlId) == visible) return;
  ::ShowWindow(wnd, visible ? SW_SHOWNA : SW_HIDE);
  // A docked region gives its room to its neighbours (or takes it back).
  if (HWND parent = ::GetParent(wnd)) {
    if (parent == hwnd())
      layout_.Apply(hwnd());
    else if (Panel* panel = dynamic_cast<Panel*>(base::Window::FromHandle(parent)))
      panel->Relayout();
  }
}

bool TFrmMain::ControlVisible(int controlId) const {
  HWND wnd = Control(controlId);
  return wnd && (::GetWindowLongW(wnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

// --- creation ---

namespace {
// The regions whose painting is double-buffered (the window's own panels; the tab control
// is a system control and paints itself).
constexpr int kDoubleBuffered[] = {id::ScrollBox2, id::SbVideoScreen, id::SbFileSelect, id::SbMain, id::SbLeft,
                                   id::SbCenter,   id::SbVideoLeft,   id::SbVideo,      id::Panel1, id::PnlVideo,
                                   id::PnlPic,     id::PnlVideoControl, id::PnlTop,     id::PnlBottom,
                                   id::PnlOmbrixParent, id::TbDemo};
}  // namespace

void TFrmMain::FormCreate() {
  base::GuardVoid("TFrmMain.FormCreate", [&] {
    for (int region : kDoubleBuffered)
      if (Panel* panel = PanelOf(region)) panel->SetDoubleBuffered(true);
    AddTrayIcon();
    LoadLanguageTexts();
    ApplyTextsAndGlyphs();
    for (int shown : {id::BtnSartRec, id::BtnAreaScreenREC, id::BtnReplayRec, id::BtnStopRec, id::BtnOtherFun})
      SetControlVisible(shown, true);
    LayoutLeftBar();
    LoadSettings();
    CreateRecordingRoad();
    // The stop key is Esc without modifiers until the hotkey dialog changes it; it is not
    // kept in the settings.
    HotkeyText1.clear();
    HotkeyText2.clear();
    HotkeyText3 = L"Esc";
    base::CreateBalloon();
    // The window is still hidden at its design size: the balloon is placed once it is shown.
    ShowBalloonWhenShown({id::BtnSartRec, L"单击此按钮，可全屏屏幕录像", kBalloonHideHint, 2, 0});
    PnlOmbrix = std::make_unique<TPnlOmbrix>(*PanelOf(id::PnlOmbrixParent));
    PnlOmbrix->Show();
    EnableTimer(id::TimerFirstRun, true);
  });
}

void TFrmMain::AddTrayIcon() {
  trayIconNormal_ = LoadProgramIcon(16);
  imageList1_.reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 2));
  HICON blink = static_cast<HICON>(
      ::LoadImageW(::GetModuleHandleW(nullptr), L"TRAYBLINK", IMAGE_ICON, 16, 16, LR_SHARED));
  if (!blink) blink = ::LoadIconW(nullptr, IDI_WARNING);
  if (imageList1_) {
    ::ImageList_AddIcon(imageList1_.get(), blink);
    trayIconBlink_.reset(::ImageList_GetIcon(imageList1_.get(), 0, ILD_NORMAL));
    // Image 1: the recommendation tab's close mark, its bottom-left colour transparent.
    base::UniqueBitmap closeMark;
    if (base::LoadGraphicFromRes(closeMark, L"BClose", L"bmp")) {
      HDC screen = ::GetDC(nullptr);
      HDC dc = ::CreateCompatibleDC(screen);
      const HGDIOBJ old = ::SelectObject(dc, closeMark.get());
      BITMAP info{};
      ::GetObjectW(closeMark.get(), sizeof info, &info);
      const COLORREF transparent = ::GetPixel(dc, 0, info.bmHeight - 1);
      ::SelectObject(dc, old);
      ::DeleteDC(dc);
      ::ReleaseDC(nullptr, screen);
      ::ImageList_AddMasked(imageList1_.get(), closeMark.get(), transparent);
    }
  }
  trayData_.Add(hwnd(), WM_TRAYICON, trayIconNormal_, kTrayTip);
}

void TFrmMain::LayoutLeftBar() {
  base::GuardVoid("TFrmMain.LayoutLeftBar", [&] {
    int y = 10;
    const int left = 5, gap = 3;
    auto move = [](HWND wnd, int x, int top) {
      ::SetWindowPos(wnd, nullptr, x, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    auto bounds = [&](HWND wnd) {
      RECT r{};
      ::GetWindowRect(wnd, &r);
      ::MapWindowPoints(HWND_DESKTOP, Control(id::SbLeft), reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    if (ControlVisible(id::LblWithSound)) {
      HWND label = Control(id::LblWithSound);
      HWND sound = Control(id::CbSound);
      move(label, bounds(label).left, y);
      move(sound, bounds(sound).left, y - 3);
      RECT r = bounds(label);
      y = r.top + (r.bottom - r.top) + 10;
    }
    for (int buttonId : {id::BtnSartRec, id::BtnAreaScreenREC, id::BtnReplayRec, id::BtnStopRec, id::BtnOtherFun}) {
      if (!ControlVisible(buttonId)) continue;
      HWND wnd = Control(buttonId);
      move(wnd, left, y);
      RECT r = bounds(wnd);
      y = r.top + (r.bottom - r.top) + gap;
    }
    if (ControlVisible(id::PnlOmbrixParent)) move(Control(id::PnlOmbrixParent), 2, y);
  });
}

// --- messages ---

LRESULT TFrmMain::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      layout_.Apply(hwnd());
      if (created_) FormResize();
      if (wp != SIZE_MINIMIZED && pendingBalloon_) ::PostMessageW(hwnd(), WM_SHOW_PENDING_BALLOON, 0, 0);
      return 0;
    case WM_SHOWWINDOW:
      if (wp && pendingBalloon_) ::PostMessageW(hwnd(), WM_SHOW_PENDING_BALLOON, 0, 0);
      return Default(msg, wp, lp);
    case WM_SYSCOMMAND:
      // Restored from a maximised minimise, the window passes through the maximised state;
      // under Wine the display's late report of that size comes back as a maximise command
      // with no cursor position (the platform's own commands carry none). Those are dropped; a
      // maximise of the user's (the caption's double-click, the maximise button, the system
      // menu) carries the cursor's position and goes through.
      if ((wp & 0xFFF0) == SC_MAXIMIZE && lp == 0 && restoredNormalAt_ != 0 &&
          static_cast<LONG>(::GetTickCount() - restoredNormalAt_) < kLateMaximizeMs)
        return 0;
      return Default(msg, wp, lp);
    case WM_COMMAND:
      if (!destroying_) OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_TIMER:
      if (!destroying_) OnTimer(wp);
      return 0;
    case WM_HOTKEY:
      if (!destroying_) WMHotKey(wp);
      return 0;
    case WM_CONTEXTMENU:
      if (!destroying_)
        base::GuardVoid("TFrmMain.ContextMenu", [&] {
          ShowContextMenu(reinterpret_cast<HWND>(wp), POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        });
      return 0;
    case WM_KEYDOWN:
      // Keys reach the window itself only while none of its controls has the focus (the
      // shortcut check has seen them in the message loop).
      if (!destroying_) base::GuardVoid("TFrmMain.KeyDown", [&] { FormKeyDown(wp); });
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (!destroying_ && header->code == TCN_SELCHANGE && header->hwndFrom == Control(id::PageControl1))
        PageControl1Change();
      return 0;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (item->CtlType != ODT_TAB || item->hwndItem != Control(id::PageControl1)) return FALSE;
      base::GuardVoid("TFrmMain.PageControl1DrawTab", [&] { PageControl1DrawTab(*item); });
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      ::SetBkColor(dc, kFormColor);
      return reinterpret_cast<LRESULT>(FormBrush());
    }
    case WM_CLOSE:
      // A second close while the first one waits for the recording is the same close.
      if (closing_ || !FormCloseQuery()) return 0;
      // A split running in this call's loop ends first; the window closes once it has returned.
      if (splitting_) {
        closeAfterSplit_ = true;
        splitCancel_ = true;
        return 0;
      }
      closing_ = true;
      StopRecordingForExit();
      ::DestroyWindow(hwnd());
      return 0;
    case WM_DESTROY:
      FormDestroy();
      if (options_.quitOnDestroy) ::PostQuitMessage(0);
      return 0;
  }
  if (msg == WM_TRAYICON) {
    if (!destroying_) WMTrayIcon(lp);
    return 0;
  }
  if (msg == DragListMessage() && msg != 0)
    return destroying_ ? 0 : PictureListDrag(*reinterpret_cast<const DRAGLISTINFO*>(lp));
  // The web pop-up panel's notices, sent while it runs one of its handlers.
  if (msg == WM_POPWIN_SHOW || msg == WM_POPWIN_CLOSED || msg == WM_POPWIN_LOADED) {
    if (!destroying_)
      base::GuardVoid("TFrmMain.WMPopWin", [&] {
        if (msg == WM_POPWIN_SHOW) WMPopWinShow();
        if (msg == WM_POPWIN_CLOSED) WMPopWinClosed(lp);
        if (msg == WM_POPWIN_LOADED) WMPopWinLoaded();
      });
    return 0;
  }
  if (msg == WM_SHOW_PENDING_BALLOON) {
    if (!destroying_) base::GuardVoid("TFrmMain.ShowPendingBalloon", [&] { ShowPendingBalloon(); });
    return 0;
  }
  if (msg == WM_SHOW_RUNNING_COPY) {
    if (!destroying_ && !closing_)
      base::GuardVoid("TFrmMain.ShowRunningCopy", [&] {
        ShowMainWindow();
        ::SetForegroundWindow(hwnd());
      });
    return 0;
  }
  if (msg == WM_RECORDING_ENDED) {
    if (road_ && !destroying_) road_->RecordingEnded();
    return 0;
  }
  return Default(msg, wp, lp);
}

void TFrmMain::OnCommand(int commandId, int code) {
  base::GuardVoid("TFrmMain.OnCommand", [&] {
    if (OnRecordingsCommand(commandId, code)) return;
    if (OnPicturesCommand(commandId, code)) return;
    if (code != BN_CLICKED && code != 0) return;  // edits' and lists' notifications are not commands
    switch (commandId) {
      case id::CbSound:
        CbSoundClick();
        break;
      case id::BtnAutoSave:
        BtnAutoSaveClick();
        break;
      case id::BtnStopRec:
        ButtonStopRECClick();
        break;
      case id::BtnSartRec:
        BtnSartRecClick();
        break;
      case id::BtnAreaScreenREC:
        BtnAreaScreenRECClick();
        break;
      case id::MnRectSet:
      case id::BtnRectSet:
        BtnRectSetClick();
        break;
      case id::MnHotKeySet:
      case id::BtnHotKeySet:
        BtnHotKeySetClick();
        break;
      case id::BtnOtherFun:
        BtnOtherFunClick();
        break;
      case id::OpenApplicationPath1:
        OpenApplicationPath1Click();
        break;
    }
  });
}

void TFrmMain::OnTimer(UINT_PTR timerId) {
  base::GuardVoid("TFrmMain.OnTimer", [&] {
    switch (timerId) {
      case id::TimerFirstRun:
        TimerFirstRunTimer();
        break;
      case id::TimerRun:
        TimerRunTimer();
        break;
      case id::TimerRECing:
        TimerRECingTimer();
        break;
      case id::TimerRefreshWB:
        TimerRefreshWBTimer();
        break;
      case id::TimerRecordingEnd:
        ::KillTimer(hwnd(), timerId);
        if (road_) road_->RecordingEnded();
        break;
    }
  });
}

void TFrmMain::EnableTimer(int timerId, bool on) {
  if (!hwnd()) return;
  if (on)
    ::SetTimer(hwnd(), static_cast<UINT_PTR>(timerId), IntervalOf(timerId), nullptr);
  else
    ::KillTimer(hwnd(), static_cast<UINT_PTR>(timerId));
  timers_[timerId] = on;
}

bool TFrmMain::TimerEnabled(int timerId) const {
  auto it = timers_.find(timerId);
  return it != timers_.end() && it->second;
}

void TFrmMain::TimerFirstRunTimer() {
  EnableTimer(id::TimerFirstRun, false);
  HWND progress = Control(id::ProgressBar1);
  ::SendMessageW(progress, PBM_SETPOS, 0, 0);
  SetControlVisible(id::ProgressBar1, true);
  EnableTimer(id::TimerRun, true);
  // A failure here ends the steps silently; selecting the demonstration tab makes the panel
  // later.
  base::GuardVoid("TFrmMain.TimerFirstRunTimer", [&] {
    if (options_.startServerProbe) options_.startServerProbe();
    CreatePopWin();
    EnableTimer(id::TimerRefreshWB, true);
  });
}

void TFrmMain::TimerRunTimer() {
  HWND progress = Control(id::ProgressBar1);
  // Past the end the bar starts again from the beginning.
  if (::SendMessageW(progress, PBM_GETPOS, 0, 0) >= 100) ::SendMessageW(progress, PBM_SETPOS, 0, 0);
  ::SendMessageW(progress, PBM_STEPIT, 0, 0);
  ++runTicks_;
  if ((myPopWin_ && myPopWin_->DemoPageLoaded()) || runTicks_ > 30) {
    EnableTimer(id::TimerRun, false);
    SetControlVisible(id::ProgressBar1, false);
    SetStatus(L"");
  } else if (runTicks_ > 15) {
    SetStatus(L"正在获取QIV软件云服务器的最新版本...");
  }
}

void TFrmMain::TimerRECingTimer() {
  trayData_.SetIcon(trayData_.icon() == trayIconNormal_ ? trayIconBlink_.get() : trayIconNormal_);
}

void TFrmMain::ShowMainWindow() {
  // A window minimised from the maximised state is restored maximised.
  ::ShowWindow(hwnd(), ::IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
}

void TFrmMain::ShowBalloonWhenShown(PendingBalloon balloon) {
  pendingBalloon_ = std::move(balloon);
  ShowPendingBalloon();
}

void TFrmMain::ShowPendingBalloon() {
  // A minimised or hidden window has no place on the screen to point at (a minimised one
  // stands at -32000): the balloon waits for the window's next show or restore.
  if (!pendingBalloon_ || !::IsWindowVisible(hwnd()) || ::IsIconic(hwnd())) return;
  const PendingBalloon balloon = std::move(*pendingBalloon_);
  pendingBalloon_.reset();
  base::ShowBalloonForControl(Control(balloon.control), balloon.title, balloon.text, balloon.hAnchor,
                              balloon.vAnchor, 20);
}

void TFrmMain::HideBalloons() {
  pendingBalloon_.reset();
  if (base::TBalloon* balloon = base::ActiveBalloon()) balloon->Hide();
}

void TFrmMain::WMTrayIcon(LPARAM mouseMessage) {
  // The icon's clicks are the window's input: while a message box or a modal dialog holds the
  // window disabled (hidden or minimised during a recording, too), they do nothing.
  if (!::IsWindowEnabled(hwnd())) return;
  base::GuardVoid("TFrmMain.WMTrayIcon", [&] {
    switch (static_cast<UINT>(mouseMessage)) {
      case WM_LBUTTONDOWN:
        ButtonStopRECClick();
        ShowMainWindow();
        ::SetForegroundWindow(hwnd());
        break;
      case WM_RBUTTONDOWN:
        ShowMainWindow();
        break;
    }
  });
}

void TFrmMain::WMHotKey(WPARAM hotkeyId) {
  base::GuardVoid("TFrmMain.WMHotKey", [&] {
    if (road_ && road_->StopInProgress()) return;
    if (hotkeyId == 1)
      StopRecordingAndRestore();
    else
      base::ShowMessage(hwnd(), L"Unknown HotKey!", kApplicationTitle, MB_OK);
  });
}

void TFrmMain::FormResize() {
  base::GuardVoid("TFrmMain.FormResize", [&] {
    if (HWND screen = Control(id::PnlScreen)) ::RedrawWindow(screen, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    FitBrowserPanel();
    RECT window{};
    ::GetWindowRect(hwnd(), &window);
    const int bgWidth = (window.right - window.left) - kPathBarRightPart;
    RECT bar{};
    ::GetClientRect(Control(id::SbFileSelect), &bar);
    auto place = [](HWND wnd, int x, int y, int w, int h) {
      ::SetWindowPos(wnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    HWND bg = Control(id::ImgTopBG);
    place(bg, 0, 0, bgWidth, kPathBarHeight);
    const int pathWidth = bgWidth - 20;
    place(Control(id::EdtRECPath), 10, 8, pathWidth, kPathRowHeight);
    // The folder buttons follow the path edit. The toolbar picture, whole, is the background
    // of the bar's right end, and the name row stands on its lower half, right-aligned: the
    // bar is narrower than the window by the left bar and the frame, so a right part laid out
    // from the path edit's end would run past the bar's edge.
    place(Control(id::BtnSelectPath), 10 + pathWidth + 4, 7, 24, 24);
    place(Control(id::BtnOpenDir), 10 + pathWidth + 32, 7, 24, 24);
    place(Control(id::ImgToolBar), bar.right - kToolBarWidth, 0, kToolBarWidth, kPathBarHeight);
    const int nameRight = bar.right - 8, nameTop = 40;
    place(Control(id::EdtREC), nameRight - kNameEditWidth, nameTop, kNameEditWidth, kPathRowHeight);
    place(Control(id::ImgRectName), nameRight - kNameEditWidth - 74, nameTop, 70, kPathRowHeight);
    place(Control(id::BtnAutoSave), nameRight - kNameEditWidth - 98, nameTop + 1, 20, 20);
  });
}

void TFrmMain::ApplicationEvents1Message(MSG& msg, bool& handled) {
  HandleBrowserPanelRightClick(msg, handled);
  // Every key press the window or one of its controls gets passes the window's shortcut check
  // before the control sees it.
  if (!handled) PreTranslateShortCut(msg);
}

void TFrmMain::BtnOtherFunClick() {
  POINT pt{};
  ::GetCursorPos(&pt);
  ::TrackPopupMenu(mnOtherFunButton_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, pt.x, pt.y, 0, hwnd(),
                   nullptr);
}

void TFrmMain::ShowContextMenu(HWND source, POINT screen) {
  HMENU menu = source == Control(id::LbVideoList)     ? pmRecList_.get()
               : source == Control(id::BitmapListBox) ? pmPicList_.get()
                                                      : pmApp_.get();
  if (screen.x == -1 && screen.y == -1) ::GetCursorPos(&screen);  // from the keyboard
  ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd(), nullptr);
}

void TFrmMain::OpenApplicationPath1Click() {
  ShellOpen(programFolder_);
}

// --- closing ---

void TFrmMain::FormDestroy() {
  if (formDestroyed_) return;
  formDestroyed_ = true;
  destroying_ = true;
  if (shortCutHook_) base::SetMessageHook(nullptr);
  shortCutHook_ = false;
  for (const auto& t : kTimers) EnableTimer(t.id, false);
  // Each group has its own guard: a failure in one does not keep the next from running.
  base::GuardVoid("TFrmMain.FormDestroy stop", [&] {
    ButtonStopRECClick();
    StopRecordingForExit();
    DestroyAreaWindows();
  });
  base::GuardVoid("TFrmMain.FormDestroy settings", [&] {
    trayData_.Remove();
    SaveSettings();
    settings_.reset();
  });
  base::GuardVoid("TFrmMain.FormDestroy update clean-up", [&] {
    if (myPopWin_) myPopWin_->UpdateExitCleanUp();
  });
  // The browsers are closed while OLE still runs (the program block ends it after the window).
  base::GuardVoid("TFrmMain.FormDestroy web panel", [&] {
    if (myPopWin_) myPopWin_->CloseBrowsers();
    myPopWin_.reset();
  });
}

}  // namespace app
