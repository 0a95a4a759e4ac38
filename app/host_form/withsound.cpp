// The camera host form: its controls built in code, the settings push (RegSelectClick), the
// handlers of its controls and of the camera's ten events, and its part as the camera's host.
//
// Every handler runs behind an exception guard: an edit whose text is no 32-bit integer ends
// the handler where it stands, with what was written so far left in place.
//
// The camera calls its event handlers on its record thread (and on the thread that deletes its
// temporary files) as well as on the main thread. A handler called off the main thread never
// touches a window: the rare changes (start, stop, pause, resume, the saving progress) go to
// the main thread as closures, the high-rate ones (statistics, preview) as a snapshot that the
// form's timer reads, and what the camera says of a recording is gathered for one box that a
// second timer shows when the recording's thread has ended. The closures find the form again through its window
// handle, so a closure that arrives after the form has gone does nothing.
#include "app/host_form/withsound.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <vector>

#include "app/forms/binding.h"
#include "app/forms/dialog_ids.h"
#include "app/host_form/filtereffects.h"
#include "app/main_window/main_form.h"
#include "app/host_form/optdlg_ws.h"
#include "app/settings.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/text.h"

namespace app {

TFrmMainWithSound* FrmMainWithSound = nullptr;

namespace {

constexpr int kClientWidth = 539;
constexpr int kClientHeight = 538;
constexpr UINT_PTR kSnapshotTimer = 1;
constexpr UINT kSnapshotMs = 200;
constexpr UINT_PTR kReportTimer = 2;
constexpr UINT kReportMs = 100;

constexpr int kAreaEdits[] = {id::Edit1, id::Edit2, id::Edit3, id::Edit4};
constexpr int kAreaUpDowns[] = {id::UpDownTop, id::UpDownLeft, id::UpDownWidth, id::UpDownHeight};
constexpr int kTimerEdits[] = {id::Edit5, id::Edit6, id::Edit7};
constexpr int kDigitEdits[] = {id::Edit1, id::Edit2, id::Edit3, id::Edit4, id::Edit5, id::Edit6, id::Edit7, id::Edit9};

// ComboBox1's index is the thread priority's ordinal; another index sets nothing.
void SetPriorityOfIndex(ScrCam::TScreenCamera& camera, int index) {
  if (index >= 0 && index <= 6) camera.SetVideoPriority(static_cast<scHighTimer::TThreadPriority>(index));
}

// ComboBox3's index: 8, 16, 24 or 32 bits; another index sets nothing.
void SetColorsOfIndex(ScrCam::TScreenCamera& camera, int index) {
  const engine::TPixelFormat depths[] = {engine::TPixelFormat::pf8bit, engine::TPixelFormat::pf16bit,
                                         engine::TPixelFormat::pf24bit, engine::TPixelFormat::pf32bit};
  if (index >= 0 && index <= 3) camera.SetColors(depths[index]);
}

// RegSelect's items; the index is the camera's TScreenRegion ordinal.
constexpr int kRegSelectItems[] = {id::RegSelectItem0, id::RegSelectItem1, id::RegSelectItem2, id::RegSelectItem3,
                                   id::RegSelectItem4};

// A decimal 32-bit integer as the form's handlers read their edits: an optional sign and
// digits, nothing else; anything else throws and ends the handler.
int ToInt(const std::wstring& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  if (i == text.size()) throw std::invalid_argument("not an integer");
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') throw std::invalid_argument("not an integer");
    value = value * 10 + (text[i] - L'0');
    if (value > 2147483648LL) throw std::out_of_range("not a 32-bit integer");
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) throw std::out_of_range("not a 32-bit integer");
  return static_cast<int>(value);
}

LRESULT CALLBACK DigitEditProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_CHAR) {
    const wchar_t key = TFrmMainWithSound::FilterDigitKey(static_cast<wchar_t>(wp));
    if (key == 0) return 0;
    wp = key;
  }
  return ::DefSubclassProc(wnd, msg, wp, lp);
}

}  // namespace

template <class Fn>
void TFrmMainWithSound::OnMain(Fn fn) {
  if (base::IsMainThread()) {
    base::GuardVoid("TFrmMainWithSound handler", [&] { fn(*this); });
    return;
  }
  HWND wnd = hwnd();
  if (!wnd) return;
  base::PostToMain([wnd, fn] {
    auto* form = dynamic_cast<TFrmMainWithSound*>(base::Window::FromHandle(wnd));
    if (form) base::GuardVoid("TFrmMainWithSound handler", [&] { fn(*form); });
  });
}

TFrmMainWithSound::TFrmMainWithSound(TFrmMain* mainForm)
    : mainForm_(mainForm), scrCamera_(std::make_unique<ScrCam::TScreenCamera>(this)) {
  // The form's own settings of the camera, where they differ from the component's defaults or
  // matter to the form.
  ScrCam::TScreenCamera& camera = *scrCamera_;
  camera.SetCurrentMonitor(1);
  camera.RecordAllMonitors = false;
  camera.SetUpdateRate(100);
  camera.SetPlayBack_FPS(200);
  camera.SetRecord_MSPF(5);
  camera.KeyFramesEvery = 20;
  camera.SetCompressionQuality(10000);
  camera.SetColors(engine::TPixelFormat::pf32bit);
  camera.RegionColor1 = RGB(255, 0, 0);
  camera.RegionColor2 = RGB(0, 255, 0);
  camera.SelectedCompressor = -1;
  camera.ScreenRegion = ScrCam::TScreenRegion::FixedMoving;
  camera.SetCaptureArea({0, 0, 300, 300});
  camera.UseAudioRecord = false;
  camera.RecordCursor = true;
  camera.DrawAreaCapture = true;
  camera.LineRectClear = true;
  camera.MinimizeAppOnStart = true;
  camera.RestoreAppOnStop = true;
  camera.SetVideoPriority(scHighTimer::TThreadPriority::tpNormal);
  camera.SetFilterColor(0);
  camera.OvelayDrawing = false;
  camera.EffectToOvelayDraw = false;
  camera.GrayScale = false;
  camera.EffectScreenRotate = ScrCam::TScreenRotate::R90D;
  camera.UseRotateImage = false;
  BindCamera();
}

TFrmMainWithSound::~TFrmMainWithSound() {
  // The camera first: its destructor waits for its thread, whose events still reach this form.
  scrCamera_.reset();
  if (FrmMainWithSound == this) FrmMainWithSound = nullptr;
}

void TFrmMainWithSound::BindCamera() {
  ScrCam::TScreenCamera& camera = *scrCamera_;
  camera.OnError = [this](ScrCam::TScreenCamera&, const std::wstring& text) { ScrCameraError(text); };
  camera.OnUpdate = [this](ScrCam::TScreenCamera&) { ScrCameraUpdate(); };
  camera.OnStart = [this](ScrCam::TScreenCamera&) { ScrCameraStart(); };
  camera.OnStop = [this](ScrCam::TScreenCamera&) { ScrCameraStop(); };
  camera.OnPause = [this](ScrCam::TScreenCamera&) { ScrCameraPause(); };
  camera.OnResume = [this](ScrCam::TScreenCamera&) { ScrCameraResume(); };
  camera.OnPreview = [this](ScrCam::TScreenCamera&, engine::TBitmap* bitmap, bool preview, bool recording) {
    ScrCameraPreview(bitmap, preview, recording);
  };
  camera.OnSaving = [this](ScrCam::TScreenCamera&, int percent, const std::wstring& caption, bool& cont) {
    ScrCameraProgress(percent, caption, cont);
  };
  camera.OnDeleting = camera.OnSaving;
  camera.OnOverlay = [this](ScrCam::TScreenCamera&, HDC dc, int width, int height) {
    ScrCameraOverlay(dc, width, height);
  };
}

void TFrmMainWithSound::SetEndNotify(HWND window, UINT message) {
  endNotify_ = window;
  endMessage_ = message;
}

// --- building the form ---

bool TFrmMainWithSound::Create(HWND owner) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&icc);
  if (!CreateDialogWindow(L"TFrmMainWithSound", L"Reclume", kClientWidth, kClientHeight, owner)) return false;
  // A single fixed border with the system menu and the minimise box.
  ::SetWindowLongW(hwnd(), GWL_STYLE, ::GetWindowLongW(hwnd(), GWL_STYLE) | WS_MINIMIZEBOX);
  ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  BuildControls();
  FormCreate();
  return true;
}

void TFrmMainWithSound::BuildControls() {
  const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
  const DWORD check = WS_TABSTOP | BS_AUTOCHECKBOX;
  const DWORD label = SS_LEFT | SS_NOPREFIX;
  const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
  const DWORD list = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
  auto caption = [&](const wchar_t* text, int x, int y, int w) {
    AddControl(L"STATIC", text, label, x, y + 3, w, 16, id::WsCaptionLabel);
  };
  auto combo = [&](int comboId, std::initializer_list<const wchar_t*> items, int index, int x, int y, int w) {
    HWND box = AddControl(L"COMBOBOX", L"", list, x, y, w, 200, comboId);
    for (const wchar_t* item : items) ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SetComboIndex(box, index);
  };
  // An edit with its up-down at its right edge; the up-down writes the edit's text.
  auto spin = [&](int editId, int upDownId, const wchar_t* text, int x, int y, int w, int low, int high,
                  bool enabled) {
    HWND e = AddControl(L"EDIT", text, edit, x, y, w, 21, editId, WS_EX_CLIENTEDGE);
    HWND ud = AddControl(UPDOWN_CLASSW, L"", UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_NOTHOUSANDS | UDS_ARROWKEYS, 0,
                         0, 0, 0, upDownId);
    ::SendMessageW(ud, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    ::SendMessageW(ud, UDM_SETBUDDY, reinterpret_cast<WPARAM>(e), 0);
    ::EnableWindow(e, enabled);
    ::EnableWindow(ud, enabled);
  };

  // Left column: the region type, the switches, the lists.
  AddControl(L"BUTTON", L"Select Region Type", BS_GROUPBOX, 8, 6, 284, 120, id::RegSelect);
  const wchar_t* regions[] = {L"Region stable - region from windows", L"Region stable - free hand mode",
                              L"Region moving by mouse", L"Region stable - set values by user",
                              L"Region stable - full screen"};
  for (int i = 0; i < 5; ++i)
    AddControl(L"BUTTON", regions[i], BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0), 18, 24 + i * 20,
               268, 18, kRegSelectItems[i]);
  struct Switch {
    int id;
    const wchar_t* text;
    bool checked;
  };
  const Switch switches[] = {{id::CheckBox1, L"Record cursor in area capture", true},
                             {id::CheckBox2, L"Overlay drawing (preview and record)", false},
                             {id::CheckBox3, L"Draw rectangle around area capture", true},
                             {id::CheckBox4, L"Draw cross rectangle line", true},
                             {id::CheckBox5, L"Minimize application before capture", true},
                             {id::CheckBox6, L"Restore application after capture", true},
                             {id::CheckBox7, L"Record from all monitors", false},
                             {id::CheckBox8, L"Preview (on / off)", false},
                             {id::CheckBox10, L"Add filter effects to overlay drawing", false}};
  int y = 132;
  for (const Switch& s : switches) {
    HWND box = AddControl(L"BUTTON", s.text, check | WS_GROUP, 12, y, 280, 18, s.id);
    ::SendMessageW(box, BM_SETCHECK, s.checked ? BST_CHECKED : BST_UNCHECKED, 0);
    y += 20;
  }
  y += 4;
  caption(L"Video priority :", 12, y, 110);
  combo(id::ComboBox1, {L"Idle", L"Lowest", L"Lower", L"Normal", L"Higher", L"Highest", L"TimeCritical"}, 3, 126, y,
        160);
  y += 26;
  caption(L"Filter color :", 12, y, 110);
  combo(id::ComboBox2, {L"Original colors", L"Reverse colors"}, 0, 126, y, 160);
  y += 26;
  caption(L"Colors :", 12, y, 110);
  combo(id::ComboBox3, {L"8 bit", L"16 bit", L"24 bit", L"32 bit"}, 3, 126, y, 160);
  y += 26;
  AddControl(L"STATIC", L"Monitor :", label, 12, y + 3, 110, 16, id::Label14);
  combo(id::ComboBox4, {}, -1, 126, y, 160);

  // Right column: the area, the timer, the information, the preview.
  const wchar_t* areaCaptions[] = {L"Top :", L"Left :", L"Width :", L"Height :"};
  const int areaHigh[] = {100, 100, 640, 480};
  for (int i = 0; i < 4; ++i) {
    caption(areaCaptions[i], 304, 10 + i * 26, 60);
    spin(kAreaEdits[i], kAreaUpDowns[i], L"0", 368, 10 + i * 26, 90, 0, areaHigh[i], i >= 2);
  }
  AddControl(L"BUTTON", L"", BS_GROUPBOX, 300, 114, 231, 72, id::WsGroupBox1);
  AddControl(L"BUTTON", L"Timer capture on", check, 310, 130, 200, 18, id::CheckBox9);
  const int timerUpDowns[] = {id::UpDown1, id::UpDown2, id::UpDown3};
  const int timerLabels[] = {id::Label6, id::Label7, id::Label8};
  const wchar_t* timerCaptions[] = {L"Hour", L"Min", L"Sec"};
  const int timerHigh[] = {99, 59, 59};
  for (int i = 0; i < 3; ++i) {
    const int x = 308 + i * 74;
    spin(kTimerEdits[i], timerUpDowns[i], L"0", x, 156, 44, 0, timerHigh[i], false);
    HWND l = AddControl(L"STATIC", timerCaptions[i], label, x + 46, 159, 26, 16, timerLabels[i]);
    ::EnableWindow(l, FALSE);
  }
  AddControl(L"BUTTON", L"Information", BS_GROUPBOX, 300, 190, 231, 172, id::WsGroupBox2);
  caption(L"Update rate :", 310, 208, 120);
  spin(id::Edit9, id::UpDown4, L"250", 436, 208, 84, 0, 500, true);
  ::SendMessageW(Item(id::UpDown4), UDM_SETPOS32, 0, 250);
  struct Figure {
    const wchar_t* text;
    int id;
  };
  const Figure figures[] = {{L"Video Codec :", id::VideoCodecValue},
                            {L"Elapsed Time :", id::ElapsedTimeValue},
                            {L"Real Capturing F/S :", id::RealCapturingValue},
                            {L"Current Captured F/S :", id::CurrentCapturedValue},
                            {L"Captured Frames :", id::FramesCapturedValue},
                            {L"Droped Frames :", id::DropedFramesValue}};
  y = 238;
  for (const Figure& f : figures) {
    caption(f.text, 310, y, 130);
    AddControl(L"STATIC", L"-", label, 442, y + 3, 84, 16, f.id);
    y += 20;
  }
  AddControl(L"STATIC", L"", SS_ETCHEDFRAME, 300, 368, 231, 78, id::WsPanel1);
  AddControl(L"STATIC", L"Preview part...", SS_OWNERDRAW, 302, 370, 227, 74, id::Image1);

  // The target and the commands.
  AddControl(L"EDIT", L"", edit, 8, 424, 256, 21, id::WsEdtRECPath, WS_EX_CLIENTEDGE);
  HWND saveTo = AddControl(L"BUTTON", L"...", button, 268, 423, 24, 23, id::WsBitBtn1);
  hint_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                ::GetModuleHandleW(nullptr), nullptr));
  if (hint_) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd();
    tool.uId = reinterpret_cast<UINT_PTR>(saveTo);
    tool.lpszText = const_cast<wchar_t*>(L"Save To File");
    ::SendMessageW(hint_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  struct Command {
    int id;
    const wchar_t* text;
    bool enabled;
  };
  const Command commands[] = {{id::RecBut, L"Start Record", true},  {id::PauseBut, kPauseCaption, false},
                              {id::StopBut, L"Full Stop", false},     {id::ExitBut, L"Exit", true},
                              {id::AudVidOptBut, L"A/V Options", true}, {id::FilterEffectsBut, L"Filter Effects", true},
                              {id::AboutBut, L"About", true}};
  int x = 8;
  for (const Command& c : commands) {
    HWND b = AddControl(L"BUTTON", c.text, button, x, 454, 72, 24, c.id);
    ::EnableWindow(b, c.enabled);
    x += 75;
  }
  AddControl(L"STATIC", L"----", label, 8, 484, 523, 16, id::Label9);

  AddControl(L"STATIC", L"", SS_ETCHEDFRAME, 0, 504, kClientWidth, kClientHeight - 504, id::WsPanel2);
  HWND status = AddControl(L"STATIC", kNoStatus, label, 8, 514, 150, 16, id::LStatus);
  ::EnableWindow(status, FALSE);
  HWND progress = AddControl(PROGRESS_CLASSW, L"", PBS_SMOOTH, 162, 512, 280, 18, id::Progress);
  ::SendMessageW(progress, PBM_SETRANGE32, 0, 100);
  HWND cancel = AddControl(L"BUTTON", L"Cancel", button, 450, 509, 80, 24, id::BCancel);
  ::EnableWindow(cancel, FALSE);

  SetRadioIndex(hwnd(), kRegSelectItems, 2, Notify::No);
  for (int digitEdit : kDigitEdits) ::SetWindowSubclass(Item(digitEdit), &DigitEditProc, 1, 0);
}

void TFrmMainWithSound::FormCreate() {
  ready_ = true;
  CloseAllowed = true;
  CancelRequested = false;
}

void TFrmMainWithSound::FormShow() {
  base::GuardVoid("TFrmMainWithSound.FormShow", [&] {
    HWND monitors = Item(id::ComboBox4);
    ::SendMessageW(monitors, CB_RESETCONTENT, 0, 0);
    const int count = ScrCamera().GetMonitorCount();
    for (int i = 1; i <= count; ++i)
      ::SendMessageW(monitors, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(i).c_str()));
    SetComboIndex(monitors, ScrCamera().CurrentMonitor() - 1);
    const wchar_t* texts[] = {L"0", L"0", L"300", L"300"};
    for (int i = 0; i < 4; ++i) SetEditText(Item(kAreaEdits[i]), texts[i]);
  });
}

void TFrmMainWithSound::Close() {
  if (!FormCloseQuery()) return;
  if (InModal())
    EndModal(IDCANCEL);
  else
    ::ShowWindow(hwnd(), SW_HIDE);
}

// --- the settings push ---

int TFrmMainWithSound::RegSelectIndex() const { return RadioIndex(hwnd(), kRegSelectItems); }

void TFrmMainWithSound::SetRegSelectIndex(int index) { SetRadioIndex(hwnd(), kRegSelectItems, index, Notify::No); }

void TFrmMainWithSound::UpdateAutoStop() {
  AutoStopTime.Enabled = Checked(Item(id::CheckBox9));
  // Each value is kept in one byte: 300 hours are 44.
  AutoStopTime.Hours = static_cast<uint8_t>(ToInt(ItemText(id::Edit5)));
  AutoStopTime.Minutes = static_cast<uint8_t>(ToInt(ItemText(id::Edit6)));
  AutoStopTime.Seconds = static_cast<uint8_t>(ToInt(ItemText(id::Edit7)));
  ScrCamera().AutoStop = AutoStopTime;
}

void TFrmMainWithSound::RegSelectClick() {
  ScrCam::TScreenCamera& camera = ScrCamera();
  if (camera.Recording) return;
  ++regSelectClickRuns_;
  base::GuardVoid("TFrmMainWithSound.RegSelectClick", [&] {
    {
      // The overlay reads its logo again for the next recording or preview.
      std::lock_guard<std::mutex> hold(logoLock_);
      logoRead_ = false;
    }
    SetPriorityOfIndex(camera, ComboIndex(Item(id::ComboBox1)));
    camera.SetFilterColor(ComboIndex(Item(id::ComboBox2)));
    SetColorsOfIndex(camera, ComboIndex(Item(id::ComboBox3)));
    camera.RecordCursor = Checked(Item(id::CheckBox1));
    camera.OvelayDrawing = Checked(Item(id::CheckBox2));
    camera.DrawAreaCapture = Checked(Item(id::CheckBox3));
    camera.LineRectClear = Checked(Item(id::CheckBox4));
    camera.MinimizeAppOnStart = Checked(Item(id::CheckBox5));
    camera.RestoreAppOnStop = Checked(Item(id::CheckBox6));
    camera.RecordAllMonitors = Checked(Item(id::CheckBox7));
    // Switched off while idle, the camera answers with OnPreview, which writes the edits.
    camera.SetPreview(Checked(Item(id::CheckBox8)));
    camera.EffectToOvelayDraw = Checked(Item(id::CheckBox10));
    UpdateAutoStop();

    auto enableAreas = [&](bool top, bool left, bool size, bool frames) {
      ::EnableWindow(Item(id::Edit1), top);
      ::EnableWindow(Item(id::Edit2), left);
      ::EnableWindow(Item(id::Edit3), size);
      ::EnableWindow(Item(id::Edit4), size);
      ::EnableWindow(Item(id::CheckBox3), frames);
      ::EnableWindow(Item(id::CheckBox4), frames);
    };
    auto takeArea = [&] {
      camera.SetScreenTop(ToInt(ItemText(id::Edit1)));
      camera.SetScreenLeft(ToInt(ItemText(id::Edit2)));
      camera.SetScreenWidth(ToInt(ItemText(id::Edit3)));
      camera.SetScreenHeight(ToInt(ItemText(id::Edit4)));
    };
    switch (RegSelectIndex()) {
      case 0:
      case 1:
        enableAreas(false, false, false, true);
        camera.ScreenRegion = RegSelectIndex() == 0 ? ScrCam::TScreenRegion::SelObject : ScrCam::TScreenRegion::FreeHand;
        break;
      case 2:
        takeArea();
        enableAreas(false, false, true, true);
        camera.ScreenRegion = ScrCam::TScreenRegion::FixedMoving;
        break;
      case 3:
        takeArea();
        enableAreas(true, true, true, true);
        camera.ScreenRegion = ScrCam::TScreenRegion::FixedStable;
        break;
      case 4:
        // Each value is read as its edit is written: the edits' own handlers run in between.
        SetEditText(Item(id::Edit1), std::to_wstring(camera.ScreenTop()));
        SetEditText(Item(id::Edit2), std::to_wstring(camera.ScreenLeft()));
        SetEditText(Item(id::Edit3), std::to_wstring(camera.ScreenWidth()));
        SetEditText(Item(id::Edit4), std::to_wstring(camera.ScreenHeight()));
        enableAreas(false, false, false, false);
        camera.SetFullScreenRegion();
        camera.ScreenRegion = ScrCam::TScreenRegion::FullScreen;
        break;
      default:
        break;
    }
    for (int i = 0; i < 4; ++i) ::EnableWindow(Item(kAreaUpDowns[i]), ::IsWindowEnabled(Item(kAreaEdits[i])));
  });
}

// --- the edits ---

void TFrmMainWithSound::SetUpDownRange(int upDownId, int low, int high) {
  ::SendMessageW(Item(upDownId), UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

int TFrmMainWithSound::UpDownMax(int upDownId) const {
  int low = 0, high = 0;
  ::SendMessageW(Item(upDownId), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  return high;
}

wchar_t TFrmMainWithSound::FilterDigitKey(wchar_t key) {
  if (key == 8 || (key >= L'0' && key <= L'9')) return key;
  return 0;
}

void TFrmMainWithSound::AreaEditChange(int editId) {
  base::GuardVoid("TFrmMainWithSound.AreaEditChange", [&] {
    ScrCam::TScreenCamera& camera = ScrCamera();
    int left = 0, top = 0, width = 0, height = 0;
    camera.GetMonitorOrigin(left, top);
    camera.GetMonitorSize(width, height);
    // The Top and Left bounds are the monitor's far edge, so a monitor that does not start at
    // (0, 0) can be reached whole.
    SetUpDownRange(id::UpDownTop, top, top + height);
    SetUpDownRange(id::UpDownLeft, left, left + width);
    SetUpDownRange(id::UpDownWidth, left, width);
    SetUpDownRange(id::UpDownHeight, top, height);

    int index = 0;
    while (index < 4 && kAreaEdits[index] != editId) ++index;
    if (index == 4) return;
    HWND edit = Item(editId);
    if (EditText(edit).empty()) SetEditText(edit, L"0");
    const int high = UpDownMax(kAreaUpDowns[index]);
    // No lower bound: typed text has no minus sign, and code may write what it likes.
    if (ToInt(EditText(edit)) > high) SetEditText(edit, std::to_wstring(high));
    const int value = ToInt(EditText(edit));
    switch (index) {
      case 0:
        camera.SetScreenTop(value);
        break;
      case 1:
        camera.SetScreenLeft(value);
        break;
      case 2:
        camera.SetScreenWidth(value);
        break;
      case 3:
        camera.SetScreenHeight(value);
        break;
    }
    if (!Checked(Item(id::CheckBox8))) RegSelectClick();
  });
}

void TFrmMainWithSound::Edit5Change(int editId) {
  base::GuardVoid("TFrmMainWithSound.Edit5Change", [&] {
    HWND edit = Item(editId);
    if (EditText(edit).empty()) SetEditText(edit, L"0");
    UpdateAutoStop();
  });
}

void TFrmMainWithSound::Edit9Change() {
  base::GuardVoid("TFrmMainWithSound.Edit9Change", [&] {
    HWND edit = Item(id::Edit9);
    if (EditText(edit).empty()) SetEditText(edit, L"0");
    const int high = UpDownMax(id::UpDown4);
    if (ToInt(EditText(edit)) > high) SetEditText(edit, std::to_wstring(high));
    // The camera ignores a rate outside 1..500: 0 keeps the one it has.
    ScrCamera().SetUpdateRate(ToInt(EditText(edit)));
  });
}

// --- the switches and lists ---

void TFrmMainWithSound::CheckBoxClick(int checkBoxId) {
  base::GuardVoid("TFrmMainWithSound.CheckBoxClick", [&] {
    ScrCam::TScreenCamera& camera = ScrCamera();
    const bool on = Checked(Item(checkBoxId));
    switch (checkBoxId) {
      case id::CheckBox1:
        camera.RecordCursor = on;
        break;
      case id::CheckBox2:
        camera.OvelayDrawing = on;
        break;
      case id::CheckBox3:
        camera.DrawAreaCapture = on;
        break;
      case id::CheckBox4:
        camera.LineRectClear = on;
        break;
      case id::CheckBox5:
        camera.MinimizeAppOnStart = on;
        break;
      case id::CheckBox6:
        camera.RestoreAppOnStop = on;
        break;
      case id::CheckBox7:
        camera.RecordAllMonitors = on;
        ::EnableWindow(Item(id::ComboBox4), !on);
        ::EnableWindow(Item(id::Label14), !on);
        break;
      case id::CheckBox8:
        RegSelectClick();
        camera.SetPreview(on);
        break;
      case id::CheckBox9:
        UpdateAutoStop();
        for (int timerId : {id::Label6, id::Label7, id::Label8, id::Edit5, id::UpDown1, id::Edit6, id::UpDown2,
                            id::Edit7, id::UpDown3})
          ::EnableWindow(Item(timerId), on);
        break;
      case id::CheckBox10:
        camera.EffectToOvelayDraw = on;
        break;
    }
  });
}

void TFrmMainWithSound::ComboBoxChange(int comboId) {
  base::GuardVoid("TFrmMainWithSound.ComboBoxChange", [&] {
    ScrCam::TScreenCamera& camera = ScrCamera();
    const int index = ComboIndex(Item(comboId));
    switch (comboId) {
      case id::ComboBox1:
        SetPriorityOfIndex(camera, index);
        break;
      case id::ComboBox2:
        camera.SetFilterColor(index);
        break;
      case id::ComboBox3:
        SetColorsOfIndex(camera, index);
        break;
      case id::ComboBox4:
        camera.SetCurrentMonitor(index + 1);
        break;
    }
  });
}

// --- the main window's recordings ---

void TFrmMainWithSound::RecordFullScreen(const std::wstring& path) {
  SetEditText(Item(id::WsEdtRECPath), path);
  SetRegSelectIndex(4);
  RegSelectClick();
  RecButClick();
}

void TFrmMainWithSound::RecordArea(const std::wstring& path, const ScrCam::CaptureRect& area) {
  SetEditText(Item(id::WsEdtRECPath), path);
  SetRegSelectIndex(3);
  SetEditText(Item(id::Edit1), std::to_wstring(area.top));
  SetEditText(Item(id::Edit2), std::to_wstring(area.left));
  SetEditText(Item(id::Edit3), std::to_wstring(area.width));
  SetEditText(Item(id::Edit4), std::to_wstring(area.height));
  RegSelectClick();
  RecButClick();
}

// --- the commands ---

void TFrmMainWithSound::RecButClick() {
  base::GuardVoid("TFrmMainWithSound.RecButClick", [&] {
    const std::wstring path = ItemText(id::WsEdtRECPath);
    if (!path.empty()) ScrCamera().StartRecording(path);
  });
}

void TFrmMainWithSound::StopButClick() {
  base::GuardVoid("TFrmMainWithSound.StopButClick", [&] {
    if (ScrCamera().Recording) ScrCamera().StopRecording();
  });
}

void TFrmMainWithSound::PauseButClick() {
  base::GuardVoid("TFrmMainWithSound.PauseButClick", [&] {
    ScrCam::TScreenCamera& camera = ScrCamera();
    if (!camera.Recording) return;
    if (camera.Paused)
      camera.ResumeRecording();
    else
      camera.PauseRecording();
  });
}

void TFrmMainWithSound::ExitButClick() {
  base::GuardVoid("TFrmMainWithSound.ExitButClick", [&] {
    ScrCam::TScreenCamera& camera = ScrCamera();
    if (!camera.IsPreviewOff()) camera.SetPreview(false);
    // A recording is stopped and saved first: the form stays until the save has ended.
    if (camera.Recording) {
      CloseAllowed = false;
      camera.StopRecording();
    }
    Close();
  });
}

// The audio/video options and the filter effects dialogs come with their own forms.
void TFrmMainWithSound::AudVidOptButClick() { ShowAVOptions(ScrCamera(), hwnd()); }
void TFrmMainWithSound::FilterEffectsButClick() { ShowFilterEffects(ScrCamera(), hwnd()); }

void TFrmMainWithSound::BitBtn1Click() {
  base::GuardVoid("TFrmMainWithSound.BitBtn1Click", [&] {
    const std::wstring current = ItemText(id::WsEdtRECPath);
    const size_t split = current.find_last_of(L"\\:");
    const std::wstring folder = split == std::wstring::npos ? std::wstring() : current.substr(0, split + 1);
    const std::wstring name = split == std::wstring::npos ? current : current.substr(split + 1);
    std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
    name.copy(file.data(), std::min(name.size(), file.size() - 1));
    static const wchar_t kFilter[] = L"Avi Files (*.avi)\0*.avi\0All Files (*.*)\0*.*\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = L"Save To File";
    ofn.lpstrDefExt = L"avi";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (::GetSaveFileNameW(&ofn)) SetEditText(Item(id::WsEdtRECPath), file.data());
  });
}

// --- the camera's events ---

HWND TFrmMainWithSound::MainWindow() const { return mainForm_ ? mainForm_->hwnd() : nullptr; }

HWND CameraDialogCentre(HWND owner) {
  HWND main = FrmMainWithSound ? FrmMainWithSound->MainWindow() : nullptr;
  return main && ::IsWindowVisible(main) && !::IsIconic(main) ? main : owner;
}

void TFrmMainWithSound::ScrCameraError(const std::wstring& errorMessage) {
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    reportTexts_.push_back(errorMessage);
  }
  ReportArrived();
}

// Any thread, after a text or the end was queued. The timer runs on the main thread until the
// report has been shown.
void TFrmMainWithSound::ReportArrived() {
  HWND wnd = hwnd();
  bool timerStarted = false;
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    if (reportTimerOn_) {
      // Already timed: the text joins the report.
    } else if (!wnd) {
      // No window to time it (the form was never made): as before, nothing is shown.
      reportTexts_.clear();
    } else {
      reportTimerOn_ = timerStarted = true;
    }
  }
  if (timerStarted && base::IsMainThread())
    ::SetTimer(wnd, kReportTimer, kReportMs, nullptr);
  else if (timerStarted)
    base::PostToMain([wnd] { ::SetTimer(wnd, kReportTimer, kReportMs, nullptr); });
  if (endNotify_) ::PostMessageW(endNotify_, endMessage_, 0, 0);
  // Said on the main thread with no recording running (lost files kept before a start): there
  // is nothing more to wait for, and the box comes before whatever the caller does next.
  if (base::IsMainThread() && !ScrCamera().HasRecordThread()) ReportTick();
}

// Main thread. One failure of a recording is told by the camera in parts (the stop, then what
// the save made of the files, each as it happens); they wait for the record thread's end and
// go into one box. A question of the thread goes first: what it asks about is shown with it.
void TFrmMainWithSound::ReportTick() {
  ScrCam::TScreenCamera& camera = ScrCamera();
  const bool threadGone = !camera.HasRecordThread();
  if (!threadGone && !camera.Asking()) return;
  std::vector<std::wstring> texts;
  bool ended = false;
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    texts.swap(reportTexts_);
    if (threadGone) std::swap(ended, reportEnd_);
    reportTimerOn_ = reportEnd_;
  }
  if (threadGone) ::KillTimer(hwnd(), kReportTimer);
  // Where files were kept is information; a stopped sound is a warning; anything else an error.
  const bool anError = std::any_of(texts.begin(), texts.end(), [](const std::wstring& t) {
    return t.rfind(kKeptNoticeStart, 0) != 0;
  });
  const int32_t soundAt = ended ? ScrCam::SoundStoppedAtMs.exchange(-1) : -1;
  const bool soundOnly = texts.empty() && soundAt >= 0;
  if (soundOnly && ScrCam::MergeSucceeded) texts.push_back(base::Format(kSavedBalloonTitleFmt, ScrCam::TargetFile));
  if (soundAt >= 0) texts.push_back(base::Format(kSoundStoppedFmt, soundAt / 1000));
  if (texts.empty()) return;
  std::wstring told;
  for (const std::wstring& text : texts) told += (told.empty() ? L"" : L"\r\n") + text;
  const UINT icon = anError ? 0 : soundAt >= 0 ? MB_ICONWARNING : MB_ICONINFORMATION;
  // Owned by the main window while it is on the screen; the prompter passes a minimised or
  // hidden one by (the box stays on top then).
  base::ShowMessage(MainWindow(), told, kErrorCaption, MB_OK | icon);
}

void TFrmMainWithSound::ScrCameraUpdate() {
  ScrCam::TScreenCamera& camera = ScrCamera();
  Snapshot figures;
  figures.loopRate = camera.LoopFrameRate;
  figures.captureRate = camera.CaptureFrameRate;
  figures.written = camera.FramesWritten;
  figures.dropped = camera.FramesDropped;
  if (base::IsMainThread()) {
    base::GuardVoid("TFrmMainWithSound.ScrCameraUpdate", [&] { ApplyStatistics(figures); });
    return;
  }
  // The record thread's figures wait for the form's timer; the texts are read there.
  std::lock_guard<std::mutex> hold(snapshotLock_);
  snapshot_.loopRate = figures.loopRate;
  snapshot_.captureRate = figures.captureRate;
  snapshot_.written = figures.written;
  snapshot_.dropped = figures.dropped;
  snapshot_.statsDirty = true;
  StartSnapshotTimer();
}

// Under snapshotLock_: the timer that reads the snapshot runs (started on the main thread)
// until it finds nothing new and no record thread.
void TFrmMainWithSound::StartSnapshotTimer() {
  if (snapshotTimerOn_) return;
  snapshotTimerOn_ = true;
  HWND wnd = hwnd();
  base::PostToMain([wnd] { ::SetTimer(wnd, kSnapshotTimer, kSnapshotMs, nullptr); });
}

// Main thread: the compressor's name is the main thread's, the elapsed time any thread's.
void TFrmMainWithSound::ApplyStatistics(const Snapshot& figures) {
  auto set = [&](int labelId, const std::wstring& text) { ::SetWindowTextW(Item(labelId), text.c_str()); };
  set(id::VideoCodecValue, ScrCamera().CompressorName);
  set(id::ElapsedTimeValue, ScrCamera().ElapsedTimeText());
  set(id::RealCapturingValue, base::Format(L"%.2f", figures.loopRate));
  set(id::CurrentCapturedValue, base::Format(L"%.2f", figures.captureRate));
  set(id::FramesCapturedValue, base::Format(L"%d", figures.written));
  set(id::DropedFramesValue, base::Format(L"%d", figures.dropped));
}

void TFrmMainWithSound::ApplyIdleState(bool idle) {
  for (int control : {id::ComboBox3, id::WsEdtRECPath, id::WsBitBtn1, id::RecBut, id::AudVidOptBut, id::RegSelect,
                      id::RegSelectItem0, id::RegSelectItem1, id::RegSelectItem2, id::RegSelectItem3,
                      id::RegSelectItem4})
    ::EnableWindow(Item(control), idle);
  ::EnableWindow(Item(id::StopBut), !idle);
  ::EnableWindow(Item(id::PauseBut), !idle);
  ::SetWindowTextW(Item(id::PauseBut), kPauseCaption);
  if (idle) {
    // The edits take their states from the region type again, and the settings go out again.
    RegSelectClick();
    return;
  }
  for (int i = 0; i < 4; ++i) {
    ::EnableWindow(Item(kAreaEdits[i]), FALSE);
    ::EnableWindow(Item(kAreaUpDowns[i]), FALSE);
  }
}

void TFrmMainWithSound::ScrCameraStart() {
  OnMain([](TFrmMainWithSound& form) { form.ApplyIdleState(false); });
}

void TFrmMainWithSound::ScrCameraStop() {
  OnMain([](TFrmMainWithSound& form) { form.ApplyIdleState(true); });
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    reportEnd_ = true;
  }
  ReportArrived();
}

void TFrmMainWithSound::ScrCameraPause() {
  OnMain([](TFrmMainWithSound& form) { ::SetWindowTextW(form.Item(id::PauseBut), kResumeCaption); });
}

void TFrmMainWithSound::ScrCameraResume() {
  OnMain([](TFrmMainWithSound& form) { ::SetWindowTextW(form.Item(id::PauseBut), kPauseCaption); });
}

void TFrmMainWithSound::ScrCameraPreview(engine::TBitmap* previewBitmap, bool preview, bool recording) {
  {
    // The picture is copied into the one the form keeps (made again only when the size
    // changes), on the calling thread: the camera's bitmap is valid only during the call.
    std::lock_guard<std::mutex> hold(snapshotLock_);
    if (!previewBitmap || previewBitmap->Empty()) {
      if (!previewPicture_.Empty()) previewPicture_ = engine::TBitmap();
    } else {
      const int w = previewBitmap->Width(), h = previewBitmap->Height();
      if (previewPicture_.Width() != w || previewPicture_.Height() != h ||
          previewPicture_.PixelFormat() != previewBitmap->PixelFormat())
        previewPicture_.Reset(w, h, previewBitmap->PixelFormat());
      const RECT all{0, 0, w, h};
      engine::CopyPixels(*previewBitmap, all, previewPicture_, all);
    }
    if (!base::IsMainThread()) {
      snapshot_.preview = preview;
      snapshot_.recording = recording;
      snapshot_.previewDirty = true;
      StartSnapshotTimer();
      return;
    }
  }
  base::GuardVoid("TFrmMainWithSound.ScrCameraPreview",
                  [&] { ApplyPreview(preview, recording, ScrCamera().Paused); });
}

void TFrmMainWithSound::ApplyPreview(bool preview, bool recording, bool paused) {
  ScrCam::TScreenCamera& camera = ScrCamera();
  const wchar_t* status = recording ? (paused ? ScrCam::kPausedCaption : kRecordingCaption)
                                    : (preview ? ScrCam::kPreviewCaption : kPreviewOffCaption);
  ::SetWindowTextW(Item(id::Label9), status);
  ::InvalidateRect(Item(id::Image1), nullptr, FALSE);
  // Each value is read as its edit is written: in the moving region the edits follow the
  // rectangle the camera moves with the mouse.
  SetEditText(Item(id::Edit1), std::to_wstring(camera.ScreenTop()));
  SetEditText(Item(id::Edit2), std::to_wstring(camera.ScreenLeft()));
  SetEditText(Item(id::Edit3), std::to_wstring(camera.ScreenWidth()));
  SetEditText(Item(id::Edit4), std::to_wstring(camera.ScreenHeight()));
  SetChecked(Item(id::CheckBox8), preview);
}

void TFrmMainWithSound::TimerTick() {
  ScrCam::TScreenCamera& camera = ScrCamera();
  Snapshot taken;
  bool stop = false;
  {
    std::lock_guard<std::mutex> hold(snapshotLock_);
    taken = snapshot_;
    snapshot_.statsDirty = snapshot_.previewDirty = false;
    if (!taken.statsDirty && !taken.previewDirty && !camera.HasRecordThread()) {
      snapshotTimerOn_ = false;
      stop = true;
    }
  }
  if (stop) ::KillTimer(hwnd(), kSnapshotTimer);
  if (taken.statsDirty) ApplyStatistics(taken);
  if (taken.previewDirty) ApplyPreview(taken.preview, taken.recording, camera.Paused);
}

void TFrmMainWithSound::DrawPreview(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  std::lock_guard<std::mutex> hold(snapshotLock_);
  if (previewPicture_.Empty()) {
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    RECT text = r;
    ::SetBkMode(dc, TRANSPARENT);
    ::SelectObject(dc, DialogFont());
    ::DrawTextW(dc, L"Preview part...", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return;
  }
  ::SetStretchBltMode(dc, HALFTONE);
  ::StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, previewPicture_.DC(), 0, 0,
               previewPicture_.Width(), previewPicture_.Height(), SRCCOPY);
}

void TFrmMainWithSound::ResetProgress() {
  ::EnableWindow(Item(id::LStatus), FALSE);
  ::EnableWindow(Item(id::BCancel), FALSE);
  ::SetWindowTextW(Item(id::LStatus), kNoStatus);
  ::SendMessageW(Item(id::Progress), PBM_SETPOS, 0, 0);
}

void TFrmMainWithSound::ShowProgress(int percent, const std::wstring& caption) {
  // The caption shown is the first one of a save.
  if (!::IsWindowEnabled(Item(id::BCancel))) {
    ::EnableWindow(Item(id::BCancel), TRUE);
    ::EnableWindow(Item(id::LStatus), TRUE);
    ::SetWindowTextW(Item(id::LStatus), caption.c_str());
  }
  ::SendMessageW(Item(id::Progress), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void TFrmMainWithSound::ScrCameraProgress(int percent, const std::wstring& statusCaption, bool& cont) {
  // Answered here, on the calling thread: a worker never waits for the main thread.
  CloseAllowed = false;
  if (CancelRequested.exchange(false)) {
    OnMain([](TFrmMainWithSound& form) { form.ResetProgress(); });
    CloseAllowed = true;
    cont = false;
    return;
  }
  OnMain([percent, statusCaption](TFrmMainWithSound& form) { form.ShowProgress(percent, statusCaption); });
  if (percent == 100) {
    CancelRequested = false;
    OnMain([](TFrmMainWithSound& form) { form.ResetProgress(); });
    CloseAllowed = true;
  }
  cont = true;
}

void TFrmMainWithSound::ScrCameraOverlay(HDC bitmapDC, int width, int height) {
  const std::wstring lines[] = {kOverlayCaption, L"v" + ScrCamera().Vantro_Version()};
  ::SetBkMode(bitmapDC, TRANSPARENT);
  const COLORREF colours[] = {RGB(0, 255, 0), RGB(255, 0, 0)};
  for (int i = 0; i < 2; ++i) {
    SIZE size{0, 0};
    ::GetTextExtentPoint32W(bitmapDC, lines[i].c_str(), static_cast<int>(lines[i].size()), &size);
    const int x = width / 2 - size.cx / 2, y = height / 2 + i * 20;
    ::SetTextColor(bitmapDC, RGB(0, 0, 0));
    ::TextOutW(bitmapDC, x + 2, y + 2, lines[i].c_str(), static_cast<int>(lines[i].size()));
    ::SetTextColor(bitmapDC, colours[i]);
    ::TextOutW(bitmapDC, x, y, lines[i].c_str(), static_cast<int>(lines[i].size()));
  }
  // The logo, its bottom-left colour transparent, centred above the text. It is read once per
  // recording (or preview), not for every frame.
  std::lock_guard<std::mutex> hold(logoLock_);
  if (!logoRead_) {
    logoRead_ = true;
    logoDC_.reset();
    logo_.reset(static_cast<HBITMAP>(::LoadImageW(nullptr, (ProgramFolder() + L"Logo.bmp").c_str(), IMAGE_BITMAP, 0, 0,
                                                  LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (logo_) {
      logoDC_.reset(::CreateCompatibleDC(nullptr));
      if (logoDC_) ::SelectObject(logoDC_.get(), logo_.get());
    }
  }
  if (!logo_ || !logoDC_) return;
  BITMAP info{};
  ::GetObjectW(logo_.get(), sizeof info, &info);
  const COLORREF transparent = ::GetPixel(logoDC_.get(), 0, info.bmHeight - 1);
  ::TransparentBlt(bitmapDC, width / 2 - info.bmWidth / 2, height / 2 - info.bmHeight, info.bmWidth, info.bmHeight,
                   logoDC_.get(), 0, 0, info.bmWidth, info.bmHeight, transparent);
}

// --- the camera's host ---

void TFrmMainWithSound::MinimizeApp() {
  OnMain([](TFrmMainWithSound& form) {
    if (HWND main = form.MainWindow()) ::ShowWindow(main, SW_MINIMIZE);
  });
}

void TFrmMainWithSound::RestoreApp() {
  OnMain([](TFrmMainWithSound& form) {
    if (HWND main = form.MainWindow()) ::ShowWindow(main, SW_RESTORE);
  });
}

// The stop keys go to the recorder that runs: the main window's running recording says which
// (the sound toggle may have changed since it started); with none, the toggle's choice.
bool TFrmMainWithSound::RecordWithSound() {
  if (mainForm_ && mainForm_->Road()) return mainForm_->Road()->StopGoesToCamera();
  return app::RecordWithSound.load();
}

bool TFrmMainWithSound::StopHotKeyRegistered() { return app::StopHotKeyRegistered.load(); }

void TFrmMainWithSound::StopRecordingAndRestore() {
  if (!mainForm_) return;
  // A stop already on its way (from the tool window) is not stopped twice.
  if (mainForm_->Road() && mainForm_->Road()->StopInProgress()) return;
  mainForm_->StopRecordingAndRestore();
}

void TFrmMainWithSound::RefreshRecordingList() {
  OnMain([](TFrmMainWithSound& form) {
    if (form.mainForm_ && form.mainForm_->hwnd()) form.mainForm_->RefreshRecordingList();
  });
}

HWND TFrmMainWithSound::MessageOwner() {
  HWND main = MainWindow();
  return main ? main : hwnd();
}

// --- messages ---

void TFrmMainWithSound::OnCommand(int controlId, int code, HWND) {
  // The controls' own notifications while they are built run nothing.
  if (!hwnd() || !ready_) return;
  switch (code) {
    case EN_CHANGE:
      if (controlId == id::Edit1 || controlId == id::Edit2 || controlId == id::Edit3 || controlId == id::Edit4)
        AreaEditChange(controlId);
      else if (controlId == id::Edit5 || controlId == id::Edit6 || controlId == id::Edit7)
        Edit5Change(controlId);
      else if (controlId == id::Edit9)
        Edit9Change();
      return;
    case CBN_SELCHANGE:
      ComboBoxChange(controlId);
      return;
    case BN_CLICKED:
      break;
    default:
      return;
  }
  switch (controlId) {
    case id::RegSelectItem0:
    case id::RegSelectItem1:
    case id::RegSelectItem2:
    case id::RegSelectItem3:
    case id::RegSelectItem4:
      RegSelectClick();
      break;
    case id::CheckBox1:
    case id::CheckBox2:
    case id::CheckBox3:
    case id::CheckBox4:
    case id::CheckBox5:
    case id::CheckBox6:
    case id::CheckBox7:
    case id::CheckBox8:
    case id::CheckBox9:
    case id::CheckBox10:
      CheckBoxClick(controlId);
      break;
    case id::RecBut:
      RecButClick();
      break;
    case id::PauseBut:
      PauseButClick();
      break;
    case id::StopBut:
      StopButClick();
      break;
    case id::ExitBut:
      ExitButClick();
      break;
    case id::AudVidOptBut:
      AudVidOptButClick();
      break;
    case id::FilterEffectsBut:
      FilterEffectsButClick();
      break;
    case id::WsBitBtn1:
      BitBtn1Click();
      break;
    case id::BCancel:
      BCancelClick();
      break;
  }
}

LRESULT TFrmMainWithSound::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SHOWWINDOW:
      if (wp) FormShow();
      return Default(msg, wp, lp);
    case WM_CLOSE:
      // Hidden, not destroyed: the main window keeps the form for the rest of the run.
      Close();
      return 0;
    case WM_TIMER:
      if (wp == kSnapshotTimer) base::GuardVoid("TFrmMainWithSound.TimerTick", [&] { TimerTick(); });
      if (wp == kReportTimer) base::GuardVoid("TFrmMainWithSound.ReportTick", [&] { ReportTick(); });
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (item->CtlID != static_cast<UINT>(id::Image1)) return FALSE;
      base::GuardVoid("TFrmMainWithSound.DrawPreview", [&] { DrawPreview(*item); });
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lp) == Item(id::Label9)) {
        HDC dc = reinterpret_cast<HDC>(wp);
        ::SetTextColor(dc, RGB(255, 0, 0));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      return ModalDialog::OnMessage(msg, wp, lp);
    default:
      return ModalDialog::OnMessage(msg, wp, lp);
  }
}

}  // namespace app
