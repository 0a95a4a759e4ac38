// The main window in this process, over a scratch program folder: its docked regions, the left
// bar's stacking, the path bar's resize, the menus, the tray and hotkey messages, the timers,
// and the settings it reads while created and writes while destroyed.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <vfw.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window/OmbrixUnit.h"
#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/forms/picture_box.h"
#include "app/program.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/resources.h"
#include "base/text.h"
#include "tests/app/glyphs.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/pattern_window.h"

namespace {

namespace id = app::id;
using apptest::ScratchFolder;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

// The UTF-16 settings file the program writes, with the given lines after the section.
void WriteUnicodeSettings(const std::wstring& path, const std::wstring& lines) {
  std::wstring text = L"\xFEFF[default]\r\n" + lines;
  apptest::WriteBytes(path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

// The shell's side of the tray icon, recorded: what was asked, in order.
struct TrayCall {
  DWORD message;
  HICON icon;
  HWND owner;
};
std::vector<TrayCall> gTrayCalls;
BOOL RecordTrayCall(DWORD message, NOTIFYICONDATAW* data) {
  gTrayCalls.push_back({message, data->hIcon, data->hWnd});
  return TRUE;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SetProgramIdentity(false);
    gTrayCalls.clear();
    previousTray_ = app::SetNotifyIconFunction(&RecordTrayCall);
  }
  // Creates the window (hidden, maximised) over the scratch folder.
  void Open() {
    app::MainFormOptions options;
    options.programFolder = folder_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    ASSERT_TRUE(form_->Create());
  }
  void TearDown() override {
    form_.reset();
    app::SetNotifyIconFunction(previousTray_);
  }

  // A control's rectangle in the client coordinates of the main window.
  RECT RectOf(int controlId) const {
    RECT r{};
    ::GetWindowRect(form_->Control(controlId), &r);
    ::MapWindowPoints(HWND_DESKTOP, form_->hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  // A control's rectangle in its parent's client coordinates.
  RECT LocalRectOf(int controlId) const {
    HWND wnd = form_->Control(controlId);
    RECT r{};
    ::GetWindowRect(wnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  std::wstring SettingsText() const { return apptest::ReadText(folder_ / L"defualt.ini"); }

  ScratchFolder folder_;
  std::unique_ptr<app::TFrmMain> form_;
  app::NotifyIconFunction previousTray_ = nullptr;
};

std::wstring TabCaption(HWND tabs, int tab) {
  wchar_t text[64] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 64;
  ::SendMessageW(tabs, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item));
  return text;
}

// The text of control's tool in the tooltip window that owner holds; empty when none has it.
struct TooltipSearch {
  HWND owner, control;
  std::wstring text;
};
BOOL CALLBACK FindTooltipText(HWND wnd, LPARAM param) {
  auto& s = *reinterpret_cast<TooltipSearch*>(param);
  wchar_t cls[64] = {};
  ::GetClassNameW(wnd, cls, 64);
  if (std::wstring(cls) != TOOLTIPS_CLASSW || ::GetWindow(wnd, GW_OWNER) != s.owner) return TRUE;
  wchar_t text[256] = {};
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = ::GetParent(s.control);
  info.uId = reinterpret_cast<UINT_PTR>(s.control);
  info.lpszText = text;
  ::SendMessageW(wnd, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&info));
  if (text[0]) s.text = text;
  return s.text.empty();
}
std::wstring TooltipText(HWND owner, HWND control) {
  TooltipSearch search{owner, control, {}};
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindTooltipText, reinterpret_cast<LPARAM>(&search));
  return search.text;
}

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

TEST_F(MainFormTest, CreatedHiddenWithItsTimersOff) {
  Open();
  EXPECT_FALSE(::IsWindowVisible(form_->hwnd()));
  wchar_t cls[32] = {};
  ::GetClassNameW(form_->hwnd(), cls, 32);
  EXPECT_EQ(std::wstring(cls), L"TFrmMain");
  EXPECT_TRUE(form_->TimerEnabled(id::TimerFirstRun)) << "the start-up timer is enabled at the end of creation";
  for (int t : {id::TimerRun, id::TimerRefreshWB, id::TimerRECing})
    EXPECT_FALSE(form_->TimerEnabled(t)) << "timer " << t;
  EXPECT_TRUE(form_->TrayData().added());
  EXPECT_EQ(form_->TrayData().data().uCallbackMessage, app::WM_TRAYICON);
  EXPECT_EQ(form_->TrayData().data().uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(Narrow(form_->TrayData().data().szTip), Narrow(app::kTrayTip));
  EXPECT_NE(form_->TrayIconBlink(), nullptr);
  EXPECT_NE(form_->TrayIconBlink(), form_->TrayIconNormal());
  ASSERT_EQ(gTrayCalls.size(), 1u);
  EXPECT_EQ(gTrayCalls[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(gTrayCalls[0].icon, form_->TrayIconNormal());
  EXPECT_EQ(gTrayCalls[0].owner, form_->hwnd());
}

TEST_F(MainFormTest, BlinkTimerAlternatesTheIconAndExitRemovesIt) {
  Open();
  form_->TimerRECingTimer();
  form_->TimerRECingTimer();
  form_->Destroy();
  ASSERT_EQ(gTrayCalls.size(), 4u);
  EXPECT_EQ(gTrayCalls[1].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(gTrayCalls[1].icon, form_->TrayIconBlink());
  EXPECT_EQ(gTrayCalls[2].icon, form_->TrayIconNormal());
  EXPECT_EQ(gTrayCalls[3].message, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(MainFormTest, CaptionsHintsAndPicturesComeFromTheTablesAndResources) {
  Open();
  wchar_t caption[256] = {};
  ::GetWindowTextW(form_->hwnd(), caption, 256);
  EXPECT_EQ(Narrow(caption), Narrow(base::Format(app::CaptionFormat, L"QIVReclume", 3.6)));
  EXPECT_EQ(Narrow(caption).rfind("QIVReclume v3.6 - ", 0), 0u) << Narrow(caption);
  EXPECT_EQ(Narrow(form_->ControlText(id::LblWithSound)), Narrow(L"录像时带声音"));
  EXPECT_EQ(Narrow(form_->Hint(id::BtnSartRec)), Narrow(app::StrStartRecHint));
  EXPECT_EQ(Narrow(form_->Hint(id::EdtRECPath)), Narrow(app::StrPathEditHint));
  EXPECT_EQ(Narrow(form_->Hint(id::LbVideoList)), Narrow(app::StrListHint));
  EXPECT_EQ(Narrow(form_->Hint(id::EdtREC)), Narrow(L"手动录像的保存名称"));
  // The name edit's hint is a tool of the window's tooltip, as the path edit's is.
  for (int edit : {id::EdtRECPath, id::EdtREC})
    EXPECT_EQ(Narrow(TooltipText(form_->hwnd(), form_->Control(edit))), Narrow(form_->Hint(edit))) << edit;
  EXPECT_EQ(form_->Hint(id::BtnReplayRec), L"Replay Record");
  EXPECT_EQ(form_->Hint(id::BtnStopRec), L"Stop Record");

  struct MenuText {
    int item;
    const std::wstring& text;
  } menu[] = {{id::MnRefresh, app::StrMnRefresh},     {id::MnOpenREC, app::StrMnOpen},
              {id::MnDeleteREC, app::StrMnDelete},    {id::MnUpdateRECName, app::StrMnRename},
              {id::MnDefaultOpenREC, app::StrMnDefaultOpen}, {id::MnOpenCurDir, app::StrMnOpenFolder}};
  for (const auto& m : menu) {
    wchar_t text[64] = {};
    ::GetMenuStringW(form_->PmRecList(), m.item, text, 64, MF_BYCOMMAND);
    EXPECT_FALSE(m.text.empty());
    EXPECT_EQ(Narrow(text), Narrow(m.text)) << "menu item " << m.item;
  }
  HWND tabs = form_->Control(id::PageControl1);
  ASSERT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
  for (int tab = 0; tab < 2; ++tab)
    EXPECT_EQ(Narrow(TabCaption(tabs, tab)), Narrow(tab == 0 ? app::StrTabRecording : app::StrTabDemo));
  for (int b : {id::BtnSartRec, id::BtnAreaScreenREC, id::BtnOtherFun, id::BtnOpenDir, id::BtnSelectPath,
                id::BtnReplayRec, id::BtnStopRec, id::CbSound, id::BtnAutoSave})
    EXPECT_TRUE(form_->Button(b)->HasGlyph()) << "button " << b << " has no glyph";
}

TEST_F(MainFormTest, RegionsAreDockedOutsideIn) {
  Open();
  RECT client{};
  ::GetClientRect(form_->hwnd(), &client);
  const int w = client.right, h = client.bottom;
  ASSERT_GT(w, 600);
  ASSERT_GT(h, 400);
  const int mainLeft = 5 + 140, mainRight = w - 14, mainTop = 15, mainBottom = h - 11;
  struct Case {
    int controlId;
    const char* name;
    RECT expected;
  } cases[] = {
      {id::PnlTop, "PnlTop", {0, 0, w, 15}},
      {id::PnlBottom, "PnlBottom", {0, h - 11, w, h}},
      {id::ImgLeft, "ImgLeft", {0, 15, 5, h - 11}},
      {id::ImgRight, "ImgRight", {w - 14, 15, w, h - 11}},
      {id::SbLeft, "SbLeft", {5, 15, mainLeft, h - 11}},
      {id::SbMain, "SbMain", {mainLeft, mainTop, mainRight, mainBottom}},
      {id::SbFileSelect, "SbFileSelect", {mainLeft, mainTop, mainRight, mainTop + 70}},
      {id::PnlHint, "PnlHint", {mainLeft, mainBottom - 25, mainRight, mainBottom}},
      {id::SbCenter, "SbCenter", {mainLeft, mainTop + 70, mainRight, mainBottom - 25}},
      // The picture panel is hidden: its splitter sits at the bottom, the video panel above it.
      {id::SplB1, "SplB1", {mainLeft, mainBottom - 28, mainRight, mainBottom - 25}},
      {id::PnlVideo, "PnlVideo", {mainLeft, mainTop + 70, mainRight, mainBottom - 28}},
      {id::SbVideoLeft, "SbVideoLeft", {mainLeft, mainTop + 70, mainLeft + 121, mainBottom - 28}},
      {id::SplL2, "SplL2", {mainLeft + 121, mainTop + 70, mainLeft + 124, mainBottom - 28}},
      {id::SbVideo, "SbVideo", {mainLeft + 124, mainTop + 70, mainRight, mainBottom - 28}},
  };
  for (const auto& c : cases) {
    RECT got = RectOf(c.controlId);
    EXPECT_TRUE(::EqualRect(&got, &c.expected)) << c.name << ": got " << Show(got) << ", expected " << Show(c.expected);
  }
  EXPECT_FALSE(form_->ControlVisible(id::PnlPic));
  // Showing the picture panel takes 183 pixels from the video panel.
  form_->SetControlVisible(id::PnlPic, true);
  RECT pic = RectOf(id::PnlPic);
  RECT video = RectOf(id::PnlVideo);
  EXPECT_EQ(pic.bottom - pic.top, 183) << Show(pic);
  EXPECT_EQ(video.bottom, mainBottom - 25 - 183 - 3) << Show(video);
}

// The frame round the window shows its pictures (the corners whole, the edges stretched over
// their whole length), the window's panels paint double-buffered, and a resize fits the
// browser panel over its border.
TEST_F(MainFormTest, FramePicturesDoubleBufferingAndTheResizeFit) {
  Open();
  form_->Show();
  if (base::TBalloon* balloon = base::ActiveBalloon()) balloon->Hide();
  ::ShowWindow(form_->hwnd(), SW_RESTORE);
  ::SetWindowPos(form_->hwnd(), HWND_TOP, 0, 0, app::kDesignWidth, app::kDesignHeight, 0);
  const struct {
    int id;
    bool stretched;
  } frame[] = {{id::Image4, false},      {id::ImgCenter, true},      {id::ImgTopRight, false}, {id::ImgBottomLeft2, false},
               {id::ImgBottomLeft, false}, {id::bot, true},           {id::ImgLeft, true},      {id::ImgRight, true}};
  for (const auto& f : frame) {
    auto* picture = dynamic_cast<app::PictureBox*>(base::Window::FromHandle(form_->Control(f.id)));
    ASSERT_NE(picture, nullptr) << f.id;
    EXPECT_TRUE(picture->HasPicture()) << "frame picture " << f.id;
    EXPECT_EQ(picture->Stretch(), f.stretched) << "frame picture " << f.id;
  }
  // On the screen the top edge shows the frame's picture all along, not the form's background
  // (as the status line shows it, whatever the display's depth makes of the colours).
  RECT top{}, hint{};
  ::GetWindowRect(form_->Control(id::ImgCenter), &top);
  ::GetWindowRect(form_->Control(id::PnlHint), &hint);
  int framed = 0, columns = 0;
  ASSERT_TRUE(base::PumpUntil(
      [&] {
        base::WindowDC screen(nullptr);
        const COLORREF background = ::GetPixel(screen.get(), hint.right - 3, hint.top + 3);
        framed = 0;
        columns = 0;
        for (int x = top.left; x < top.right; x += 16, ++columns)
          if (::GetPixel(screen.get(), x, top.top + 7) != background) ++framed;
        return columns > 0 && framed == columns;
      },
      3000))
      << framed << " of " << columns << " columns of the top edge show the frame";
  RECT window{};
  ::GetWindowRect(form_->hwnd(), &window);
  testapp::SaveScreenshot(L"main-window", window);

  for (int region : {id::SbFileSelect, id::SbMain, id::SbLeft, id::SbCenter, id::SbVideoLeft, id::SbVideo, id::PnlVideo,
                     id::PnlPic, id::PnlTop, id::PnlBottom, id::PnlOmbrixParent, id::TbDemo, id::ScrollBox2,
                     id::SbVideoScreen, id::PnlVideoControl, id::Panel1}) {
    auto* panel = dynamic_cast<app::Panel*>(base::Window::FromHandle(form_->Control(region)));
    ASSERT_NE(panel, nullptr) << region;
    EXPECT_TRUE(panel->DoubleBuffered()) << "region " << region;
  }
  EXPECT_FALSE(dynamic_cast<app::Panel*>(base::Window::FromHandle(form_->Control(id::PnlHint)))->DoubleBuffered());

  // A browser panel to fit (the program assigns none): its browser goes 4 pixels out over each
  // edge at the next resize, unless the marker is shown or fitting is off.
  HWND panel = form_->Control(id::PnlDemo);
  HWND browser = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, panel, nullptr, nullptr, nullptr);
  HWND marker = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, panel, nullptr, nullptr, nullptr);
  app::BrowserPanel() = {panel, browser, marker, true};
  struct Fit {
    const char* name;
    bool enabled, markerShown, fitted;
  } fits[] = {{"fitting on", true, false, true}, {"marker shown", true, true, false}, {"fitting off", false, false, false}};
  int width = app::kDesignWidth;
  for (const Fit& f : fits) {
    ::SetWindowPos(browser, nullptr, 0, 0, 10, 10, SWP_NOZORDER);
    app::BrowserPanel().enabled = f.enabled;
    ::ShowWindow(marker, f.markerShown ? SW_SHOW : SW_HIDE);
    ::SetWindowPos(form_->hwnd(), nullptr, 0, 0, width -= 10, app::kDesignHeight, SWP_NOZORDER | SWP_NOMOVE);
    RECT r{}, inside{};
    ::GetClientRect(panel, &inside);
    ::GetWindowRect(browser, &r);
    ::MapWindowPoints(HWND_DESKTOP, panel, reinterpret_cast<POINT*>(&r), 2);
    const RECT want = f.fitted ? RECT{-4, -4, inside.right + 4, inside.bottom + 4} : RECT{0, 0, 10, 10};
    EXPECT_TRUE(::EqualRect(&r, &want)) << f.name << ": got " << Show(r) << ", expected " << Show(want);
  }
  app::BrowserPanel() = {};
  ::DestroyWindow(browser);
  ::DestroyWindow(marker);
}

// The browser panel's right click, through the window's message hook: a right-button press in
// a window inside the panel's browser opens the panel's popup menu and is not dispatched; a
// press outside the browser, or with no panel assigned (as in a run), goes on as usual.
int gBrowserMenuItems = -1;
void CALLBACK NoteBrowserMenu(HWND, UINT, UINT_PTR, DWORD) {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  if (!menu || !::IsWindowVisible(menu)) return;
  gBrowserMenuItems = ::GetMenuItemCount(reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0)));
  ::EndMenu();
}
LRESULT CALLBACK CountRightPresses(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR count) {
  if (msg == WM_RBUTTONDOWN) ++*reinterpret_cast<int*>(count);
  return ::DefSubclassProc(wnd, msg, wp, lp);
}

TEST_F(MainFormTest, ARightPressInsideTheBrowserPanelOpensItsPopupMenu) {
  Open();
  form_->Show();
  HWND panel = form_->Control(id::PnlDemo);
  HWND browser = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100, panel, nullptr, nullptr, nullptr);
  HWND inside = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, browser, nullptr, nullptr, nullptr);
  HWND outside = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, panel, nullptr, nullptr, nullptr);
  app::UniqueMenu menu(::CreatePopupMenu());
  ::AppendMenuW(menu.get(), MF_STRING, 1, L"one");
  ::AppendMenuW(menu.get(), MF_STRING, 2, L"two");
  int presses[2] = {};
  ::SetWindowSubclass(inside, &CountRightPresses, 1, reinterpret_cast<DWORD_PTR>(&presses[0]));
  ::SetWindowSubclass(outside, &CountRightPresses, 1, reinterpret_cast<DWORD_PTR>(&presses[1]));
  struct Case {
    const char* name;
    bool assigned;
    HWND target;
    bool menuShown;
  } cases[] = {{"inside the browser", true, inside, true},
               {"the browser itself", true, browser, true},
               {"outside the browser", true, outside, false},
               {"no panel assigned", false, inside, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    app::BrowserPanel() = {};
    if (c.assigned) app::BrowserPanel() = {panel, browser, nullptr, false, menu.get()};
    gBrowserMenuItems = -1;
    const int before[2] = {presses[0], presses[1]};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &NoteBrowserMenu);
    ::PostMessageW(c.target, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    // Posted last, so the press has been taken from the queue once it has run.
    bool passed = false;
    base::PostToMain([&] { passed = true; });
    EXPECT_TRUE(base::PumpUntil([&] { return passed; }, 5000));
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(gBrowserMenuItems, c.menuShown ? 2 : -1);
    const int dispatched = (presses[0] - before[0]) + (presses[1] - before[1]);
    if (c.target != browser) {
      EXPECT_EQ(dispatched, c.menuShown ? 0 : 1) << "the press reached its window";
    }
  }
  app::BrowserPanel() = {};
  ::DestroyWindow(browser);
  ::DestroyWindow(outside);
}

// Back from a recording, minimised from the maximised state, the window is restored to the
// normal state; the platform's late maximise command (no cursor position, right after the
// restore) is dropped, while the user's own maximise right after the stop (a double-click
// on the caption) maximises the window.
TEST_F(MainFormTest, OnlyThePlatformsLateMaximiseAfterAStopIsDropped) {
  Open();
  form_->Show();
  HWND wnd = form_->hwnd();
  auto stopFromMaximisedMinimise = [&] {
    ::ShowWindow(wnd, SW_MAXIMIZE);
    ::ShowWindow(wnd, SW_MINIMIZE);
    form_->StopRecordingAndRestore();
    base::PumpPending();
    ASSERT_FALSE(::IsZoomed(wnd));
    ASSERT_FALSE(::IsIconic(wnd));
  };
  auto captionDoubleClick = [&] {
    RECT r{};
    ::GetWindowRect(wnd, &r);
    const POINT caption{r.left + 200, r.top + ::GetSystemMetrics(SM_CYFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2};
    ::SendMessageW(wnd, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(caption.x, caption.y));
  };
  struct Step {
    const char* name;
    std::function<void()> act;
    bool zoomed;
  };
  const Step late{"the platform's late maximise", [&] { ::SendMessageW(wnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0); }, false};
  const Step user{"a caption double-click", captionDoubleClick, true};
  const std::vector<Step> rounds[] = {{late, user}, {user}};
  for (const auto& round : rounds) {
    stopFromMaximisedMinimise();
    for (const Step& step : round) {
      SCOPED_TRACE(step.name);
      step.act();
      EXPECT_EQ(::IsZoomed(wnd) != FALSE, step.zoomed);
    }
    ::ShowWindow(wnd, SW_RESTORE);
  }
}

TEST_F(MainFormTest, SplitterResizesItsNeighbourWithinLimits) {
  Open();
  auto width = [&] {
    RECT r = RectOf(id::SbVideoLeft);
    return r.right - r.left;
  };
  auto* splitter = dynamic_cast<app::Splitter*>(base::Window::FromHandle(form_->Control(id::SplL2)));
  ASSERT_NE(splitter, nullptr);
  EXPECT_EQ(splitter->MoveBy(50), 171);
  EXPECT_EQ(width(), 171);
  EXPECT_EQ(splitter->MoveBy(-1000), app::Splitter::kMinSize);
  EXPECT_EQ(width(), app::Splitter::kMinSize);
  RECT video = RectOf(id::PnlVideo);
  const int most = (video.right - video.left) - 3 - app::Splitter::kMinSize;
  EXPECT_EQ(splitter->MoveBy(100000), most) << "the playback area keeps its minimum";
}

TEST_F(MainFormTest, LeftBarStacksTheVisibleControls) {
  Open();
  struct Case {
    const char* name;
    std::vector<int> hidden;
    int label, sound;
    std::vector<int> buttonTops;  // BtnSartRec .. BtnOtherFun; -1: hidden (keeps its place)
    int ombrixTop;
  } cases[] = {
      {"all shown", {}, 10, 7, {33, 76, 119, 162, 205}, 248},
      {"label hidden", {id::LblWithSound}, -1, -1, {10, 53, 96, 139, 182}, 225},
      {"label and replay hidden", {id::LblWithSound, id::BtnReplayRec}, -1, -1, {10, 53, -1, 96, 139}, 182},
      {"start hidden", {id::BtnSartRec}, 10, 7, {-1, 33, 76, 119, 162}, 205},
  };
  const int buttons[] = {id::BtnSartRec, id::BtnAreaScreenREC, id::BtnReplayRec, id::BtnStopRec, id::BtnOtherFun};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (int b : buttons) form_->SetControlVisible(b, true);
    form_->SetControlVisible(id::LblWithSound, true);
    for (int h : c.hidden) form_->SetControlVisible(h, false);
    form_->LayoutLeftBar();
    if (c.label >= 0) {
      EXPECT_EQ(LocalRectOf(id::LblWithSound).top, c.label);
      EXPECT_EQ(LocalRectOf(id::CbSound).top, c.sound);
    }
    for (size_t i = 0; i < 5; ++i) {
      if (c.buttonTops[i] < 0) continue;
      RECT r = LocalRectOf(buttons[i]);
      EXPECT_EQ(r.top, c.buttonTops[i]) << "button " << i;
      EXPECT_EQ(r.left, 5) << "button " << i;
    }
    RECT ombrix = LocalRectOf(id::PnlOmbrixParent);
    EXPECT_EQ(ombrix.top, c.ombrixTop);
    EXPECT_EQ(ombrix.left, 2);
  }
  // The buttons that are never shown stay hidden.
  for (int b : {id::SpeedButton7, id::BtnHotKeySet, id::BtnFullScreen, id::BtnRectSet, id::BtnSendToUDisk})
    EXPECT_FALSE(form_->ControlVisible(b)) << "button " << b;
}

TEST_F(MainFormTest, ResizeFollowsTheWindowWidth) {
  Open();
  for (int width : {935, 1200, 700}) {
    ::ShowWindow(form_->hwnd(), SW_RESTORE);
    ::SetWindowPos(form_->hwnd(), nullptr, 0, 0, width, 651, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    RECT window{};
    ::GetWindowRect(form_->hwnd(), &window);
    const int w = window.right - window.left;
    RECT bg = LocalRectOf(id::ImgTopBG), path = LocalRectOf(id::EdtRECPath);
    EXPECT_EQ(bg.right - bg.left, w - 400) << "window width " << w;
    EXPECT_EQ(path.right - path.left, w - 420) << "window width " << w;
  }
}

// The path bar at the window sizes it meets (maximised on this screen, on 1920 x 1080 and on
// 1024 x 768, the design size, narrower): every control lies whole inside the bar, none
// covers another, the toolbar picture has its own size and the name edit its full width.
TEST_F(MainFormTest, PathBarHoldsEveryControlWholeAtEverySize) {
  WriteUnicodeSettings(folder_ / L"defualt.ini", L"autoSaveToPath=0\r\nPicName=会议记录\r\n");
  Open();
  form_->Show();
  base::UniqueBitmap toolbar;
  ASSERT_TRUE(base::LoadJpegFromRes(toolbar, L"toolbar", L"jpg"));
  BITMAP picture{};
  ::GetObjectW(toolbar.get(), sizeof picture, &picture);
  struct Size {
    const char* name;
    int width, height;  // 0: maximised on this screen
  } sizes[] = {{"maximised here", 0, 0},      {"maximised on 1920x1080", 1928, 1088},
               {"maximised on 1024x768", 1032, 776}, {"design size", app::kDesignWidth, app::kDesignHeight},
               {"narrow", 800, 600}};
  const int controls[] = {id::EdtRECPath, id::BtnSelectPath, id::BtnOpenDir, id::BtnAutoSave, id::ImgRectName,
                          id::EdtREC};
  for (const Size& size : sizes) {
    if (size.width == 0) {
      ::ShowWindow(form_->hwnd(), SW_MAXIMIZE);
    } else {
      ::ShowWindow(form_->hwnd(), SW_RESTORE);
      ::SetWindowPos(form_->hwnd(), nullptr, 0, 0, size.width, size.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT bar{};
    ::GetClientRect(form_->Control(id::SbFileSelect), &bar);
    auto whole = [&](int controlId) {
      RECT r = LocalRectOf(controlId), inside{};
      return ::IntersectRect(&inside, &r, &bar) && ::EqualRect(&inside, &r);
    };
    for (int c : controls) {
      EXPECT_TRUE(form_->ControlVisible(c)) << size.name << ": control " << c;
      EXPECT_TRUE(whole(c)) << size.name << ": control " << c << " at " << Show(LocalRectOf(c))
                            << " is cut by the bar " << Show(bar);
      for (int other : controls) {
        RECT a = LocalRectOf(c), b = LocalRectOf(other), both{};
        if (c < other) {
          EXPECT_FALSE(::IntersectRect(&both, &a, &b))
              << size.name << ": " << c << " " << Show(a) << " overlaps " << other << " " << Show(b);
        }
      }
    }
    const RECT tool = LocalRectOf(id::ImgToolBar), name = LocalRectOf(id::EdtREC);
    EXPECT_TRUE(whole(id::ImgToolBar)) << size.name << ": toolbar at " << Show(tool) << ", bar " << Show(bar);
    EXPECT_EQ(tool.right - tool.left, picture.bmWidth) << size.name;
    EXPECT_EQ(tool.bottom - tool.top, picture.bmHeight) << size.name;
    EXPECT_EQ(name.right - name.left, 230) << size.name << ": the name edit";
  }
}

// Both tab captions show as text on the screen, at every colour depth (at 8 bits the visual
// style drew the second one as a black box): cut out of the screen, their characters have as
// many shapes as distinct characters.
TEST_F(MainFormTest, TabCaptionsShowAsTextOnTheScreen) {
  Open();
  form_->Show();
  if (base::TBalloon* balloon = base::ActiveBalloon()) balloon->Hide();
  // Drawn where the window believes it is: restored (a maximised window without a window
  // manager keeps its normal size on the screen).
  ::ShowWindow(form_->hwnd(), SW_RESTORE);
  ::SetWindowPos(form_->hwnd(), HWND_TOP, 0, 0, app::kDesignWidth, app::kDesignHeight, 0);
  HWND tabs = form_->Control(id::PageControl1);
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(tabs, WM_GETFONT, 0, 0));
  LOGFONTW face{};
  ASSERT_TRUE(::GetObjectW(font, sizeof face, &face));
  EXPECT_STREQ(L"新宋体", face.lfFaceName) << "the tab control's font";
  EXPECT_EQ(-15, face.lfHeight);
  std::string boxed;
  const bool shown = base::PumpUntil(
      [&] {
        boxed.clear();
        for (int tab = 0; tab < 2; ++tab) {
          RECT r{};
          ::SendMessageW(tabs, TCM_GETITEMRECT, tab, reinterpret_cast<LPARAM>(&r));
          ::MapWindowPoints(tabs, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
          const std::wstring text = TabCaption(tabs, tab);
          const testapp::InkPicture drawn = testapp::RenderText(font, text);
          // The caption is centred in its tab.
          const int left = r.left + (r.right - r.left - (drawn.width - 4)) / 2;
          const RECT cut{left, r.top + 2, left + drawn.width - 4, r.bottom - 1};
          const testapp::ShapeCount got = testapp::CountCjkShapes(testapp::CaptureScreen(cut), font, text);
          if (got.characters == 0 || got.shapes != got.characters)
            boxed += "tab " + std::to_string(tab) + " \"" + Narrow(text) + "\": " + std::to_string(got.shapes) +
                     " shapes for " + std::to_string(got.characters) + " characters; ";
        }
        return boxed.empty();
      },
      3000);
  EXPECT_TRUE(shown) << boxed;
}

// The window's controls are drawn in "MS Sans Serif" of height -11, and its Chinese captions
// show as text on the screen in it (the prefix's font replacement serves that face).
TEST_F(MainFormTest, TheWindowsFontIsMsSansSerifAndShowsChinese) {
  Open();
  form_->Show();
  if (base::TBalloon* balloon = base::ActiveBalloon()) balloon->Hide();
  ::ShowWindow(form_->hwnd(), SW_RESTORE);
  ::SetWindowPos(form_->hwnd(), HWND_TOP, 0, 0, app::kDesignWidth, app::kDesignHeight, 0);
  for (int control : {id::LblWithSound, id::EdtRECPath, id::EdtREC, id::PnlHint, id::ProgressBar1}) {
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(form_->Control(control), WM_GETFONT, 0, 0));
    LOGFONTW face{};
    ASSERT_TRUE(::GetObjectW(font, sizeof face, &face)) << control;
    EXPECT_STREQ(L"MS Sans Serif", face.lfFaceName) << control;
    EXPECT_EQ(-11, face.lfHeight) << control;
  }
  HWND label = form_->Control(id::LblWithSound);
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
  const std::wstring text = form_->ControlText(id::LblWithSound);
  testapp::ShapeCount got;
  const bool shown = base::PumpUntil(
      [&] {
        RECT r{};
        ::GetWindowRect(label, &r);
        const testapp::InkPicture drawn = testapp::RenderText(font, text);
        const RECT cut{r.left, r.top, r.left + drawn.width, r.top + drawn.height};
        got = testapp::CountCjkShapes(testapp::CaptureScreen(cut), font, text);
        return got.characters > 0 && got.shapes == got.characters;
      },
      3000);
  EXPECT_TRUE(shown) << got.shapes << " shapes for " << got.characters << " characters of " << Narrow(text);
  RECT window{};
  ::GetWindowRect(form_->hwnd(), &window);
  testapp::SaveScreenshot(L"main-window-font", window);
}

TEST_F(MainFormTest, OtherFunctionsMenuInOrder) {
  Open();
  struct Item {
    int commandId;  // 0: separator
    const wchar_t* caption;
  } expected[] = {
      {id::MnOpenAREC, L"打开一个录像"}, {id::MnDefaultOpen, L"默认播放器中打开"}, {0, L""},
      {id::MnAVIToPIC, L"分解成图片"},   {id::MnCreateAVI, L"图片合成视频"},     {0, L""},
      {id::MnDeleteREC2, L"删除屏幕录像"}, {id::MnUpdateRECName2, L"修改当前录像名称"},
      {id::MnFullScreen, L"全屏显示"},   {0, L""},
      {id::MnRectSet, L"录像参数设置"},  {id::MnHotKeySet, L"热键设置"},
  };
  HMENU menu = form_->MnOtherFunButton();
  ASSERT_EQ(::GetMenuItemCount(menu), static_cast<int>(std::size(expected)));
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 64;
    ASSERT_TRUE(::GetMenuItemInfoW(menu, i, TRUE, &info));
    if (expected[i].commandId == 0) {
      EXPECT_TRUE(info.fType & MFT_SEPARATOR) << "item " << i;
    } else {
      EXPECT_EQ(static_cast<int>(info.wID), expected[i].commandId) << "item " << i;
      EXPECT_EQ(Narrow(text), Narrow(expected[i].caption)) << "item " << i;
    }
  }
  wchar_t text[64] = {};
  ::GetMenuStringW(form_->PmApp(), id::OpenApplicationPath1, text, 64, MF_BYCOMMAND);
  EXPECT_EQ(Narrow(text), Narrow(L"打开所在的文件夹"));
}

TEST_F(MainFormTest, TrayLeftClickWhileIdleRefreshesAndShows) {
  Open();
  HWND list = form_->Control(id::LbVideoList);
  EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
  // Recordings that appeared after the window was created show up only after a refresh.
  ASSERT_TRUE(apptest::WriteBytes(folder_ / L"2.avi", "x"));
  ASSERT_TRUE(apptest::WriteBytes(folder_ / L"1.avi", "x"));
  ASSERT_TRUE(apptest::WriteBytes(folder_ / L"notes.txt", "x"));
  ASSERT_FALSE(::IsWindowVisible(form_->hwnd()));
  ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
  EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
  ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  // The stop work writes the status line (no recording has run: the generated name is empty).
  EXPECT_EQ(Narrow(form_->Status()), Narrow(L"自动生成录像文件 : " + folder_.path() + L".avi"));
}

TEST_F(MainFormTest, TrayRightClickShowsAndOtherMessagesDoNothing) {
  Open();
  ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_MOUSEMOVE);
  ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDBLCLK);
  EXPECT_FALSE(::IsWindowVisible(form_->hwnd()));
  ASSERT_TRUE(apptest::WriteBytes(folder_ / L"1.avi", "x"));
  ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_RBUTTONDOWN);
  EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
  EXPECT_EQ(::SendMessageW(form_->Control(id::LbVideoList), LB_GETCOUNT, 0, 0), 0)
      << "a right click runs no stop work";
}

// Sends an unknown hotkey to the window the first time it is shown: a hotkey that arrives in
// the middle of a stop.
LRESULT CALLBACK HotkeyOnShow(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR sent) {
  if (msg == WM_SHOWWINDOW && wp && !*reinterpret_cast<bool*>(sent)) {
    *reinterpret_cast<bool*>(sent) = true;
    ::SendMessageW(wnd, WM_HOTKEY, 7, 0);
  }
  return ::DefSubclassProc(wnd, msg, wp, lp);
}

TEST_F(MainFormTest, UnknownHotkeySaysSoUnlessAToolWindowStopIsInProgress) {
  Open();
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter scoped(prompter);
  ::SendMessageW(form_->hwnd(), WM_HOTKEY, 7, 0);
  ASSERT_EQ(prompter.asked().size(), 1u);
  EXPECT_EQ(Narrow(prompter.asked()[0].text), "Unknown HotKey!");
  EXPECT_EQ(Narrow(prompter.asked()[0].caption), Narrow(app::kApplicationTitle));

  bool sent = false;
  ASSERT_TRUE(::SetWindowSubclass(form_->hwnd(), HotkeyOnShow, 1, reinterpret_cast<DWORD_PTR>(&sent)));
  form_->StopFromToolWindow();  // brings the hidden window back
  ::RemoveWindowSubclass(form_->hwnd(), HotkeyOnShow, 1);
  EXPECT_TRUE(sent) << "the stop did not show the window";
  EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
  EXPECT_EQ(prompter.asked().size(), 1u) << "a hotkey during the tool window's stop was handled";
  EXPECT_FALSE(form_->Road()->StopInProgress());
  ::SendMessageW(form_->hwnd(), WM_HOTKEY, 7, 0);
  EXPECT_EQ(prompter.asked().size(), 2u) << "hotkeys are handled again after the stop";
}

TEST_F(MainFormTest, ToggleButtonsRespondToClicks) {
  Open();
  app::FlatButton* autoSave = form_->Button(id::BtnAutoSave);
  ASSERT_EQ(autoSave->tag(), 1);
  EXPECT_FALSE(form_->ControlVisible(id::EdtREC));
  ::SendMessageW(autoSave->hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(autoSave->tag(), 0);
  EXPECT_TRUE(form_->ControlVisible(id::EdtREC));
  EXPECT_TRUE(form_->ControlVisible(id::ImgRectName));
  ::EnableWindow(autoSave->hwnd(), FALSE);
  ::SendMessageW(autoSave->hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(autoSave->tag(), 0) << "a disabled button ignores clicks";

  app::FlatButton* sound = form_->Button(id::CbSound);
  ASSERT_EQ(sound->tag(), 0);
  ::SendMessageW(sound->hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(sound->tag(), 1);
  EXPECT_TRUE(app::RecordWithSound.load());
  ::SendMessageW(sound->hwnd(), BM_CLICK, 0, 0);
  EXPECT_FALSE(app::RecordWithSound.load());
}

TEST_F(MainFormTest, StartUpProgressRunsOutAfterThirtyOneTicks) {
  Open();
  ASSERT_TRUE(base::PumpUntil([&] { return !form_->TimerEnabled(id::TimerFirstRun); }, 10000));
  EXPECT_TRUE(form_->ControlVisible(id::ProgressBar1));
  EXPECT_TRUE(form_->TimerEnabled(id::TimerRun));
  ASSERT_TRUE(base::PumpUntil([&] { return !form_->TimerEnabled(id::TimerRun); }, 20000));
  EXPECT_EQ(form_->RunTicks(), 31);
  EXPECT_FALSE(form_->ControlVisible(id::ProgressBar1));
  EXPECT_EQ(form_->Status(), L"");
}

// --- settings through the window ---

TEST_F(MainFormTest, FirstStartShowsTheDefaultsAndWritesThemOnDestroy) {
  Open();
  EXPECT_EQ(Narrow(form_->ControlText(id::EdtRECPath)), Narrow(folder_.path()));
  EXPECT_EQ(Narrow(form_->RecordFolder()), Narrow(folder_.path()));
  EXPECT_EQ(form_->ControlText(id::EdtREC), L"REC");
  EXPECT_EQ(form_->Button(id::CbSound)->tag(), 0);
  EXPECT_FALSE(app::RecordWithSound.load());
  EXPECT_EQ(form_->Button(id::BtnAutoSave)->tag(), 1) << "automatic numbering on";
  EXPECT_FALSE(form_->ControlVisible(id::EdtREC));
  EXPECT_FALSE(app::AutoRunFlag);
  EXPECT_EQ(form_->StoredRandomNum(), 80);
  EXPECT_TRUE(::GetMenuState(form_->PopupMenu1(), id::PmPicAutoSave, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(::GetMenuState(form_->PopupMenu1(), id::PmAutoRun, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(apptest::FileExists(folder_ / L"defualt.ini"));
  form_->Destroy();
  EXPECT_EQ(Narrow(SettingsText()), Narrow(L"[default]\r\nPicPath=" + folder_.path() +
                                           L"\r\nPicName=REC\r\nautoSaveToPath=1\r\nsound=0\r\nAutoRun=0\r\n"));
}

TEST_F(MainFormTest, StoredValuesDriveTheToggles) {
  WriteUnicodeSettings(folder_ / L"defualt.ini",
                       L"PicName=meeting\r\nsound=2\r\nautoSaveToPath=0\r\nCurRadomNum1=0x10\r\nAutoRun=1\r\n");
  Open();
  EXPECT_EQ(form_->ControlText(id::EdtREC), L"meeting");
  EXPECT_EQ(form_->Button(id::CbSound)->tag(), 1);
  EXPECT_TRUE(app::RecordWithSound.load());
  EXPECT_EQ(form_->Button(id::BtnAutoSave)->tag(), 0);
  EXPECT_TRUE(form_->ControlVisible(id::EdtREC));
  EXPECT_EQ(form_->StoredRandomNum(), 16);
  EXPECT_TRUE(app::AutoRunFlag);
  EXPECT_TRUE(::GetMenuState(form_->PopupMenu1(), id::PmAutoRun, MF_BYCOMMAND) & MF_CHECKED);
  form_->Destroy();
  std::string text = Narrow(SettingsText());
  EXPECT_NE(text.find("sound=1\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("autoSaveToPath=0\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("CurRadomNum1=0x10\r\n"), std::string::npos) << "kept as it was: " << text;
  app::AutoRunFlag = false;
  app::RecordWithSound = false;
}

TEST_F(MainFormTest, FolderWithoutBackslashGainsIt) {
  std::wstring bare = folder_ / L"recordings";
  WriteUnicodeSettings(folder_ / L"defualt.ini", L"PicPath=" + bare + L"\r\n");
  Open();
  EXPECT_EQ(Narrow(form_->ControlText(id::EdtRECPath)), Narrow(bare + L"\\"));
  EXPECT_TRUE(apptest::FileExists(bare)) << "a missing folder is created";
  form_->Destroy();
  EXPECT_NE(SettingsText().find(L"PicPath=" + bare + L"\\\r\n"), std::wstring::npos) << Narrow(SettingsText());
}

TEST_F(MainFormTest, ChineseFolderSurvivesARun) {
  std::wstring chinese = folder_ / L"我的录像\\屏幕\\";
  WriteUnicodeSettings(folder_ / L"defualt.ini", L"PicPath=" + chinese + L"\r\n");
  Open();
  EXPECT_EQ(Narrow(form_->ControlText(id::EdtRECPath)), Narrow(chinese));
  EXPECT_TRUE(apptest::FileExists(chinese));
  ASSERT_TRUE(apptest::WriteBytes(chinese + L"5.avi", "x"));
  form_->RefreshRecordingList();
  EXPECT_EQ(::SendMessageW(form_->Control(id::LbVideoList), LB_GETCOUNT, 0, 0), 1);
  form_->Destroy();
  form_.reset();
  Open();
  EXPECT_EQ(Narrow(form_->ControlText(id::EdtRECPath)), Narrow(chinese));
}

TEST_F(MainFormTest, EmptyFolderIsReportedAndTheRestLoads) {
  WriteUnicodeSettings(folder_ / L"defualt.ini", L"PicPath=\r\nPicName=kept\r\n");
  Open();
  EXPECT_EQ(form_->ControlText(id::EdtRECPath), L"");
  EXPECT_EQ(Narrow(form_->Status()), Narrow(L"请选择一个合法的文件夹名称"));
  EXPECT_EQ(form_->ControlText(id::EdtREC), L"kept");
}

// --- closing during a recording ---

// Positions of the file's video stream, or -1 when AVIFile cannot read it.
LONG VideoLength(const std::wstring& path) {
  ::AVIFileInit();
  LONG length = -1;
  PAVIFILE file = nullptr;
  if (::AVIFileOpenW(&file, path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) == 0) {
    PAVISTREAM stream = nullptr;
    if (::AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0) {
      length = ::AVIStreamLength(stream);
      ::AVIStreamRelease(stream);
    }
    ::AVIFileRelease(file);
  }
  ::AVIFileExit();
  return length;
}

// Puts the recorder on MRLE at 8 bits and starts it over the pattern; false when it is not
// recording 3 frames in.
bool StartPatternRecording(scrcamNS::TScreenCamNS& cam, HWND pattern, const std::wstring& path) {
  if (!apptest::UseMrleAt8Bits(cam)) return false;
  cam.StartRecording(scrcamNS::MakeAreaSourceFor(pattern), path);
  return base::PumpUntil([&] { return cam.FramesWritten() >= 3 || !cam.Recording(); }, 30000) && cam.Recording();
}

// The window over a pattern to record; no compressor question may block on a real box.
class MainFormRecording : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    Open();
    ASSERT_TRUE(pattern_.Show(RECT{100, 100, 420, 340}));
    ASSERT_NE(form_->ScreenCamNS(), nullptr) << "the settings load creates the recorder";
  }
  testsupport::ScriptedPrompter prompter_{{}, IDNO};
  base::ScopedPrompter scoped_{prompter_};
  testsupport::PatternWindow pattern_;
};

TEST_F(MainFormRecording, TrayRightClickStopsNothingLeftClickStops) {
  scrcamNS::TScreenCamNS* cam = form_->ScreenCamNS();
  ASSERT_TRUE(StartPatternRecording(*cam, pattern_.hwnd(), folder_ / L"tray.avi"));
  ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_RBUTTONDOWN);
  EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
  EXPECT_TRUE(cam->Recording()) << "a right click stopped the recording";
  ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
  EXPECT_FALSE(cam->Recording()) << "a left click asks the recording to end";
  EXPECT_TRUE(base::PumpUntil([&] { return !cam->HasRecordThread(); }, 30000));
}

// Closing the window mid-recording stops the recorder and waits for it before the settings
// are written: the file is whole. With RECLUME_APP_OUT set the file stays there (with its frame
// count beside it) for the shell test's ffprobe check.
TEST_F(MainFormRecording, ClosingDuringARecordingLeavesACompleteFile) {
  scrcamNS::TScreenCamNS* cam = form_->ScreenCamNS();
  const ScratchFolder output(L"RECLUME_APP_OUT");
  const std::wstring path = output / L"exit_recording.avi";
  ASSERT_TRUE(StartPatternRecording(*cam, pattern_.hwnd(), path)) << "no MRLE recording running";

  ::SendMessageW(form_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(form_->hwnd(), nullptr) << "the window is destroyed";
  EXPECT_FALSE(cam->HasRecordThread()) << "the close returned before the recording thread ended";
  EXPECT_TRUE(apptest::FileExists(folder_ / L"defualt.ini"));
  const int frames = cam->FramesWritten();
  EXPECT_GE(VideoLength(path), frames) << "the file is not complete";
  if (output.kept()) std::ofstream(Narrow(output / L"exit_recording.frames")) << frames;
}

// While the close waits for the recording thread, the user's input is thrown away: a Delete
// key that reaches the recordings list then must not delete the selected recording.
TEST_F(MainFormRecording, ClosingRefusesListCommandsWhileItWaits) {
  ASSERT_TRUE(apptest::WriteBytes(folder_ / L"keep.avi", "RIFF"));
  HWND list = form_->Control(id::LbVideoList);
  ::SendMessageW(list, WM_KEYDOWN, VK_F5, 0);
  const LRESULT at = ::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(L"keep.avi"));
  ASSERT_NE(at, LB_ERR) << "the file is not listed";
  ::SendMessageW(list, LB_SETSEL, TRUE, at);
  ::SendMessageW(list, LB_SETCARETINDEX, at, FALSE);

  scrcamNS::TScreenCamNS* cam = form_->ScreenCamNS();
  ASSERT_TRUE(StartPatternRecording(*cam, pattern_.hwnd(), folder_ / L"closing.avi")) << "no MRLE recording running";
  // Queued before the close, so the close's wait is the first to see them.
  ::PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
  ::PostMessageW(list, WM_KEYUP, VK_DELETE, 0);
  ::SendMessageW(form_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(form_->hwnd(), nullptr) << "the window is destroyed";
  EXPECT_TRUE(apptest::FileExists(folder_ / L"keep.avi")) << "a list command ran while the program was closing";
  EXPECT_TRUE(apptest::FileExists(folder_ / L"closing.avi"));
}

}  // namespace
