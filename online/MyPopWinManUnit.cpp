// The web pop-up panel (see MyPopWinManUnit.h).
//
// Where a page's pop-up goes: a demonstration page's pop-up that follows a user's click while
// the page is idle is left to the system's browser (only for a web address); any other opens in
// the recommendation tab. A recommendation page's pop-up is likewise left to the system after
// a click while idle, and cancelled otherwise: a page that opens windows on its own does not
// get to run them unseen.
#include "online/MyPopWinManUnit.h"

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>


#include "app/forms/layout.h"
#include "app/forms/messages.h"
#include "app/forms/control_ids.h"
#include "app/texts/siteaddresses.h"
#include "base/barrier.h"
#include "base/resources.h"
#include "base/shell_opener.h"
#include "base/text.h"
#include "base/unique.h"
#include "online/self_update.h"
#include "online/text_case.h"
#include "online/web_browser.h"

namespace online {

bool DemoPageLoaded = false;

namespace {

UpdateCheckHook gCheckForUpdate;

constexpr int kBarHeight = 37;
constexpr int kNewWinWidth = 118, kCloseAvertWidth = 110, kBarButtonHeight = 27;

std::wstring FileNamePart(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

int ClientWidth(HWND wnd) {
  RECT r{};
  ::GetClientRect(wnd, &r);
  return r.right - r.left;
}

void MoveX(HWND wnd, int left) {
  RECT r{};
  ::GetWindowRect(wnd, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
  ::SetWindowPos(wnd, nullptr, left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The docked layout of a panel the main window made, or nullptr for any other window.
app::Panel* PanelOf(HWND wnd) { return dynamic_cast<app::Panel*>(base::Window::FromHandle(wnd)); }

}  // namespace

// The address bar: a panel that handles its own buttons' clicks.
class HotBar : public app::Panel {
 public:
  explicit HotBar(std::function<void(int)> onCommand) : onCommand_(std::move(onCommand)) {}

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED) base::GuardVoid("TMyPopWin.BarCommand", [&] { onCommand_(LOWORD(wp)); });
        return 0;
      case WM_CTLCOLORSTATIC:
        ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<LRESULT>(app::FormBrush());
    }
    return app::Panel::OnMessage(msg, wp, lp);
  }

 private:
  std::function<void(int)> onCommand_;
};

// The window a browser control lives in, docked in its panel; it keeps the control at its size.
class BrowserFrame : public base::Window {
 public:
  bool Create(HWND panel) {
    base::WindowClass cls;
    cls.name = L"TWebBrowser";
    cls.background = app::FormBrush();
    base::WindowSpec spec;
    spec.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    spec.parent = panel;
    RECT r{};
    ::GetClientRect(panel, &r);
    spec.x = 0;
    spec.y = 0;
    spec.width = r.right;
    spec.height = r.bottom;
    return base::Window::Create(cls, spec);
  }
  BrowserView* view = nullptr;

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_SIZE && view) {
      RECT r{0, 0, LOWORD(lp), HIWORD(lp)};
      view->SetBounds(r);
      return 0;
    }
    return Default(msg, wp, lp);
  }
};

// One browser's events, passed to its handlers.
class TMyPopWin::Events : public BrowserEvents {
 public:
  Events(TMyPopWin& owner, bool demo) : owner_(owner), demo_(demo) {}
  void BeforeNavigate2(const std::wstring&) override {
    demo_ ? owner_.DemoBrowserBeforeNavigate2() : owner_.HotBrowserBeforeNavigate2();
  }
  void NavigateComplete2(const std::wstring&) override {}
  void DocumentComplete(const std::wstring&) override {
    demo_ ? owner_.DemoBrowserDocumentComplete() : owner_.HotBrowserDocumentComplete();
  }
  void NewWindow2(NewWindowRequest& request) override {
    demo_ ? owner_.DemoBrowserNewWindow2(request) : owner_.HotBrowserNewWindow2(request);
  }
  void TitleChange(const std::wstring& text) override {
    demo_ ? owner_.DemoBrowserTitleChange(text) : owner_.HotBrowserTitleChange();
  }
  void NavigateError(const std::wstring&, long) override {}

 private:
  TMyPopWin& owner_;
  bool demo_;
};

void SetCheckForUpdateHook(UpdateCheckHook hook) { gCheckForUpdate = std::move(hook); }

bool KillProcessByName(const std::wstring& name) {
  return base::Guard("KillProcessByName", [&]() -> bool {
    // A snapshot fails with INVALID_HANDLE_VALUE, as a file does.
    base::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    const std::wstring wanted = UpperCase(name);
    bool result = false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
      const std::wstring exe = UpperCase(entry.szExeFile);
      if (FileNamePart(exe) != wanted && exe != wanted) continue;
      base::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
      result = process && ::TerminateProcess(process.get(), 0);
    }
    return result;
  }, false);
}

void LoadGlyphFromRes(app::FlatButton& button, const wchar_t* name) {
  if (base::LoadGraphicFromRes(button.glyph(), name, L"bmp")) button.GlyphChanged();
}

TMyPopWin::TMyPopWin(const app::WebPanelArgs& args, BrowserFactory makeBrowser) {
  MainWnd = args.mainWnd;
  DemoPanel = args.demoPanel;
  HotPanel = args.hotPanel;
  FirstWebTab = args.firstWebTab;
  UpdateUrlPath = args.updateUrlPath;
  SetupFileName = args.setupFileName;
  ExeFileName = args.exeName;
  TempExeName = args.tempExeName;
  // Leftovers of an earlier update. One still in use (the user's other copy, a setup still
  // running) stays where it is.
  for (const std::wstring& leftover : {TempExeName, SetupFileName}) {
    if (leftover.empty() || ::GetFileAttributesW(leftover.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    KillProcessByName(leftover);
    ::DeleteFileW(leftover.c_str());
  }
  if (!SetupFileName.empty()) ::DeleteFileW((SetupFileName + L".part").c_str());
  CurVersion = args.curVersion;
  if (HotPanel) ::ShowWindow(HotPanel, SW_HIDE);

  // The address bar on top of the recommendation panel.
  topBar_ = std::make_unique<HotBar>([this](int id) { OnBarCommand(id); });
  if (HotPanel && topBar_->Create(HotPanel, app::id::TopBar, true)) {
    if (app::Panel* hot = PanelOf(HotPanel)) hot->layout().Add(topBar_->hwnd(), app::Dock::Top, kBarHeight);
    ::SetWindowPos(topBar_->hwnd(), nullptr, 0, 0, ClientWidth(HotPanel), kBarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    HWND bar = topBar_->hwnd();
    const HINSTANCE self = ::GetModuleHandleW(nullptr);
    const auto font = static_cast<WPARAM>(::SendMessageW(HotPanel, WM_GETFONT, 0, 0));
    addressLabel_ = ::CreateWindowExW(0, L"STATIC", L"地址", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 3, 10, 90, 20, bar,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(app::id::AddressLabel)), self, nullptr);
    urlEdit_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                 40, 7, 200, 22, bar, reinterpret_cast<HMENU>(static_cast<INT_PTR>(app::id::UrlEdit)),
                                 self, nullptr);
    if (urlEdit_ && font) ::SendMessageW(urlEdit_, WM_SETFONT, font, FALSE);
    // The caption in the panel's face at 10 points.
    LOGFONTW face{};
    if (!font || !::GetObjectW(reinterpret_cast<HFONT>(font), sizeof face, &face))
      ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
    {
      base::WindowDC screen(nullptr);
      face.lfHeight = -::MulDiv(10, screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96, 72);
    }
    face.lfWidth = 0;
    addressFont_.reset(::CreateFontIndirectW(&face));
    if (addressLabel_ && addressFont_)
      ::SendMessageW(addressLabel_, WM_SETFONT, reinterpret_cast<WPARAM>(addressFont_.get()), FALSE);
    const int barWidth = ClientWidth(bar);
    const int newWinLeft = barWidth - 300;
    btnNewWin_.Create(bar, app::id::BtnNewWin, {newWinLeft, 3, newWinLeft + kNewWinWidth, 3 + kBarButtonHeight});
    LoadGlyphFromRes(btnNewWin_, L"btnNewWin");
    const int closeLeft = newWinLeft + kNewWinWidth + 10;
    btnCloseAvert_.Create(bar, app::id::BtnCloseAvert, {closeLeft, 3, closeLeft + kCloseAvertWidth, 3 + kBarButtonHeight});
    LoadGlyphFromRes(btnCloseAvert_, L"btnCloseAvert");
  }

  // The browsers, each in a frame that fills its panel (below the bar for the recommendation).
  demoEvents_ = std::make_unique<Events>(*this, true);
  hotEvents_ = std::make_unique<Events>(*this, false);
  auto place = [&](HWND panel, std::unique_ptr<BrowserFrame>& frame, std::unique_ptr<BrowserView>& view,
                   BrowserEvents& events) {
    if (!panel) return;
    frame = std::make_unique<BrowserFrame>();
    if (!frame->Create(panel)) return;
    if (app::Panel* owner = PanelOf(panel)) {
      owner->layout().Add(frame->hwnd(), app::Dock::Client);
      owner->Relayout();
    }
    if (makeBrowser) view = makeBrowser(frame->hwnd(), events);
    frame->view = view.get();
  };
  place(DemoPanel, demoFrame_, demoBrowser_, *demoEvents_);
  place(HotPanel, hotFrame_, hotBrowser_, *hotEvents_);
  // No hidden browser: the recommendation page's unwanted pop-ups are cancelled instead.

  AttachDemoClickSink();
  if (DemoPanel) ::ShowWindow(DemoPanel, SW_SHOWNA);
}

TMyPopWin::~TMyPopWin() { CloseBrowsers(); }

void TMyPopWin::CloseBrowsers() {
  curDocument_ = nullptr;
  for (BrowserFrame* frame : {demoFrame_.get(), hotFrame_.get()})
    if (frame) frame->view = nullptr;
  if (demoBrowser_) demoBrowser_->Close();
  if (hotBrowser_) hotBrowser_->Close();
  demoBrowser_.reset();
  hotBrowser_.reset();
}

void TMyPopWin::UpdateExitCleanUp() {
  online::UpdateExitCleanUp({ExeFileName, TempExeName, SetupFileName, L""}, CurrentSelfUpdater());
}

HWND TMyPopWin::TopBar() const { return topBar_ ? topBar_->hwnd() : nullptr; }

void TMyPopWin::OnBarCommand(int id) {
  if (id == app::id::BtnNewWin) BtnNewWinClick();
  if (id == app::id::BtnCloseAvert) CloseHotTab();
}

void TMyPopWin::AttachClickSink(BrowserView* browser) {
  curDocument_ = nullptr;
  base::GuardVoid("TMyPopWin.AttachClickSink", [&] {
    if (browser && browser->HasDocument() && browser->SetDocumentClick([this] { DocumentClick(); }))
      curDocument_ = browser;
  });
}

void TMyPopWin::AttachDemoClickSink() { AttachClickSink(demoBrowser_.get()); }
void TMyPopWin::AttachHotClickSink() { AttachClickSink(hotBrowser_.get()); }

void TMyPopWin::DocumentClick() {
  ClickedUrl = app::site::kHomePage;
  base::GuardVoid("TMyPopWin.DocumentClick", [&] {
    if (!curDocument_) return;
    const std::optional<ClickedElement> element = curDocument_->EventElement();
    if (!element) return;
    const std::wstring tag = LowerCase(element->tag);
    if (tag == L"a")
      ClickedUrl = element->href.value_or(L"");
    else if (tag != L"img" && LowerCase(element->parentTag) == L"a")
      ClickedUrl = element->parentHref.value_or(L"");
  });
}

void TMyPopWin::DemoBrowserBeforeNavigate2() { DemoNavigating = true; }
void TMyPopWin::HotBrowserBeforeNavigate2() { HotNavigating = true; }

void TMyPopWin::DemoBrowserDocumentComplete() {
  base::GuardVoid("TMyPopWin.DemoBrowserDocumentComplete", [&] {
    AttachDemoClickSink();
    DemoNavigating = false;
    if (!UpdateChecked) {
      UpdateChecked = true;
      if (gCheckForUpdate && demoBrowser_) gCheckForUpdate(*this, *demoBrowser_);
    }
    if (MainWnd) ::SendMessageW(MainWnd, app::WM_POPWIN_LOADED, 0, 0);
    online::DemoPageLoaded = true;
  });
}

void TMyPopWin::HotBrowserDocumentComplete() {
  AttachHotClickSink();
  HotNavigating = false;
}

void TMyPopWin::DemoBrowserNewWindow2(NewWindowRequest& request) {
  if (!ClickedUrl.empty() && !DemoNavigating) return;  // the user's own click: the system's browser
  request.newWindow = hotBrowser_ ? hotBrowser_->Application() : nullptr;
  if (!request.newWindow) request.cancel = true;
  ShowHotPanel();
  ClickedUrl.clear();
}

void TMyPopWin::HotBrowserNewWindow2(NewWindowRequest& request) {
  if (!ClickedUrl.empty() && !HotNavigating) return;
  request.cancel = true;
}

void TMyPopWin::DemoBrowserTitleChange(const std::wstring& text) {
  base::GuardVoid("TMyPopWin.DemoBrowserTitleChange", [&] {
    if (!DemoPanel) return;
    ::SetWindowTextW(DemoPanel, text.c_str());
    ::InvalidateRect(DemoPanel, nullptr, TRUE);
    // The tab whose page holds the panel (the main window keeps each page in its tab's lParam).
    HWND sheet = ::GetParent(DemoPanel);
    HWND tabs = sheet ? ::GetParent(sheet) : nullptr;
    if (!tabs) return;
    const std::wstring caption = L"  " + text + L" ";
    const int count = static_cast<int>(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      TCITEMW item{};
      item.mask = TCIF_PARAM;
      if (!::SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item))) continue;
      if (reinterpret_cast<HWND>(item.lParam) != sheet) continue;
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<wchar_t*>(caption.c_str());
      ::SendMessageW(tabs, TCM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
  });
}

void TMyPopWin::HotBrowserTitleChange() {
  if (urlEdit_ && hotBrowser_) ::SetWindowTextW(urlEdit_, hotBrowser_->LocationURL().c_str());
}

void TMyPopWin::ShowHotPanel() {
  if (HotPanel) ::ShowWindow(HotPanel, SW_SHOWNA);
  if (MainWnd) ::SendMessageW(MainWnd, app::WM_POPWIN_SHOW, 0, 0);
  LayoutHotBar();
}

void TMyPopWin::LayoutHotBar() {
  if (!HotPanel || !urlEdit_) return;
  const int width = ClientWidth(HotPanel);
  RECT r{};
  ::GetWindowRect(btnCloseAvert_.hwnd(), &r);
  const int closeLeft = width - (r.right - r.left) - 20;
  MoveX(btnCloseAvert_.hwnd(), closeLeft);
  ::GetWindowRect(btnNewWin_.hwnd(), &r);
  MoveX(btnNewWin_.hwnd(), closeLeft - (r.right - r.left) - 5);
  ::GetWindowRect(urlEdit_, &r);
  ::SetWindowPos(urlEdit_, nullptr, 0, 0, width - 305, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMyPopWin::TabChanged(int tabIndex) {
  const int k = tabIndex - FirstWebTab;
  if (k == 0) AttachDemoClickSink();
  if (k == 1) AttachHotClickSink();
}

void TMyPopWin::CloseHotTab() {
  base::GuardVoid("TMyPopWin.CloseHotTab", [&] {
    if (hotBrowser_) hotBrowser_->Navigate(L"about:blank");
    if (HotPanel)
      if (HWND sheet = ::GetParent(HotPanel)) ::ShowWindow(sheet, SW_HIDE);
    AttachDemoClickSink();
    if (MainWnd) ::SendMessageW(MainWnd, app::WM_POPWIN_CLOSED, 0, 2);
  });
}

void TMyPopWin::NavigateDemo(const std::wstring& url) {
  if (demoBrowser_) demoBrowser_->Navigate(url);
}

void TMyPopWin::BtnNewWinClick() {
  if (!urlEdit_) return;
  const int length = ::GetWindowTextLengthW(urlEdit_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(urlEdit_, text.data(), length + 1)));
  // Only a web address goes to the system's browser: the edit can be typed into, and a path
  // or another protocol handed to the shell would run whatever it names.
  if (!IsWebAddress(text)) return;
  base::ShellOpen(::GetAncestor(MainWnd ? MainWnd : urlEdit_, GA_ROOT), L"Open", base::Trim(text), SW_SHOW);
}

std::unique_ptr<app::WebPanel> CreatePopWin(const app::WebPanelArgs& args) {
  return std::make_unique<TMyPopWin>(args, &CreateWebBrowser);
}

}  // namespace online
