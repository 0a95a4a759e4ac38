// The web pop-up panel over a browser view of the tests' own (under Wine no document ever
// completes): the pop-up rule, the click sink, completions and notices, the address bar, the
// browser event sink's decoding, KillProcessByName and the start clean-up. The panels, the tab
// control and the main window that receives the notices are real windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/forms/control_ids.h"
#include "app/forms/layout.h"
#include "app/forms/messages.h"
#include "base/shell_opener.h"
#include "base/text.h"
#include "online/browser_sink.h"
#include "online/MyPopWinManUnit.h"
#include "tests/support/scratch_folder.h"

namespace {

using online::ClickedElement;
using online::NewWindowRequest;
using online::TMyPopWin;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

class FakeView : public online::BrowserView {
 public:
  void Navigate(const std::wstring& url) override { navigations.push_back(url); }
  std::wstring LocationURL() override { return location; }
  bool HasDocument() override { return document; }
  std::wstring BodyOuterHtml() override { return L"<body></body>"; }
  bool SetDocumentClick(std::function<void()> handler) override {
    if (!document) return false;
    onclick = std::move(handler);
    return true;
  }
  std::optional<ClickedElement> EventElement() override { return element; }
  IDispatch* Application() override { return application; }
  void SetBounds(const RECT&) override {}
  void Close() override { ++closes; }

  bool document = true;
  std::function<void()> onclick;
  std::optional<ClickedElement> element;
  std::vector<std::wstring> navigations;
  std::wstring location;
  IDispatch* application = nullptr;
  int closes = 0;
};

// The main window's side: records the notices it is sent.
struct Notice {
  UINT msg;
  LPARAM lp;
};
std::vector<Notice> gNotices;
LRESULT CALLBACK NoticeProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg >= app::WM_POPWIN_SHOW && msg <= app::WM_POPWIN_LOADED) {
    gNotices.push_back({msg, lp});
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wp, lp);
}

class PopWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gNotices.clear();
    WNDCLASSW cls{};
    cls.lpfnWndProc = NoticeProc;
    cls.hInstance = ::GetModuleHandleW(nullptr);
    cls.lpszClassName = L"PopWinTestMain";
    ::RegisterClassW(&cls);
    main_ = ::CreateWindowExW(0, L"PopWinTestMain", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 900, 600,
                              nullptr, nullptr, cls.hInstance, nullptr);
    ASSERT_TRUE(main_);
    tabs_ = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 800, 500, main_,
                              nullptr, cls.hInstance, nullptr);
    demoSheet_.Create(tabs_, app::id::TbDemo);
    hotSheet_.Create(tabs_, app::id::TsHot);
    for (app::Panel* sheet : {&demoSheet_, &hotSheet_}) ::SetWindowPos(sheet->hwnd(), nullptr, 0, 30, 600, 400, 0);
    demo_.Create(demoSheet_.hwnd(), app::id::PnlDemo);
    hot_.Create(hotSheet_.hwnd(), app::id::PnlHot);
    for (app::Panel* panel : {&demo_, &hot_}) ::SetWindowPos(panel->hwnd(), nullptr, 0, 0, 600, 400, 0);
    const wchar_t* captions[] = {L"play", L"demo", L"hot"};
    HWND pages[] = {nullptr, demoSheet_.hwnd(), hotSheet_.hwnd()};
    for (int i = 0; i < 3; ++i) {
      TCITEMW item{};
      item.mask = TCIF_TEXT | TCIF_PARAM;
      item.pszText = const_cast<wchar_t*>(captions[i]);
      item.lParam = reinterpret_cast<LPARAM>(pages[i]);
      ::SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    hotApplication_ = new online::TEventObject(nullptr);
  }
  void TearDown() override {
    popWin_.reset();
    if (main_) ::DestroyWindow(main_);
    hotApplication_->Release();
  }

  void Open(const std::wstring& tempExe = L"", const std::wstring& setupFile = L"") {
    app::WebPanelArgs args;
    args.demoPanel = demo_.hwnd();
    args.hotPanel = hot_.hwnd();
    args.mainWnd = main_;
    args.firstWebTab = 1;
    args.tempExeName = tempExe;
    args.setupFileName = setupFile;
    args.updateUrlPath = L"update/kv/setupKV.exe";
    args.curVersion = 3.6f;
    popWin_ = std::make_unique<TMyPopWin>(args, [&](HWND, online::BrowserEvents&) {
      auto view = std::make_unique<FakeView>();
      (views_.empty() ? demoView_ : hotView_) = view.get();
      views_.push_back(view.get());
      return view;
    });
    ASSERT_TRUE(demoView_ && hotView_);
    hotView_->application = hotApplication_;
  }

  std::wstring TabText(int tab) {
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(tabs_, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  int CountNotices(UINT msg) const {
    int n = 0;
    for (const auto& notice : gNotices) n += notice.msg == msg;
    return n;
  }

  HWND main_ = nullptr, tabs_ = nullptr;
  app::Panel demoSheet_, hotSheet_, demo_, hot_;
  std::unique_ptr<TMyPopWin> popWin_;
  std::vector<FakeView*> views_;
  FakeView* demoView_ = nullptr;
  FakeView* hotView_ = nullptr;
  online::TEventObject* hotApplication_ = nullptr;
};

TEST_F(PopWinTest, CreationHidesTheRecommendationPanelAndAttachesTheDemonstrationSink) {
  Open();
  EXPECT_FALSE(::IsWindowVisible(hot_.hwnd()));
  EXPECT_TRUE(demoView_->onclick != nullptr);
  EXPECT_FALSE(hotView_->onclick != nullptr);
  ASSERT_TRUE(popWin_->TopBar());
  EXPECT_EQ(::GetParent(popWin_->TopBar()), hot_.hwnd());
  wchar_t label[16] = {};
  ::GetWindowTextW(popWin_->AddressLabel(), label, 16);
  EXPECT_EQ(Narrow(label), "地址");
  // In 10 points: 13 pixels at the screen's 96 dots an inch.
  LOGFONTW face{};
  ASSERT_TRUE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(popWin_->AddressLabel(), WM_GETFONT, 0, 0)),
                           sizeof face, &face));
  EXPECT_EQ(face.lfHeight, -13);
}

TEST_F(PopWinTest, PopUpsGoWhereTheRuleSays) {
  struct Case {
    bool demo, clicked, navigating;
    bool leftToSystem, inHotTab, cancelled;
  };
  const Case cases[] = {
      {true, true, false, true, false, false},   {true, true, true, false, true, false},
      {true, false, false, false, true, false},  {true, false, true, false, true, false},
      {false, true, false, true, false, false},  {false, true, true, false, false, true},
      {false, false, false, false, false, true}, {false, false, true, false, false, true},
  };
  Open();
  for (const Case& c : cases) {
    const std::string name = std::string(c.demo ? "demo" : "hot") + (c.clicked ? " clicked" : " unclicked") +
                             (c.navigating ? " navigating" : " idle");
    gNotices.clear();
    popWin_->ClickedUrl = c.clicked ? L"http://link.example/" : L"";
    popWin_->DemoNavigating = popWin_->HotNavigating = false;
    if (c.navigating) c.demo ? popWin_->DemoBrowserBeforeNavigate2() : popWin_->HotBrowserBeforeNavigate2();
    NewWindowRequest request;
    c.demo ? popWin_->DemoBrowserNewWindow2(request) : popWin_->HotBrowserNewWindow2(request);
    EXPECT_EQ(request.newWindow == nullptr && !request.cancel, c.leftToSystem) << name;
    EXPECT_EQ(request.newWindow == hotApplication_, c.inHotTab) << name;
    EXPECT_EQ(request.cancel, c.cancelled) << name;
    EXPECT_EQ(CountNotices(app::WM_POPWIN_SHOW), c.inHotTab ? 1 : 0) << name;
    if (c.inHotTab) {
      EXPECT_TRUE(::GetWindowLongW(hot_.hwnd(), GWL_STYLE) & WS_VISIBLE) << name;
    }
    // Only a pop-up kept inside the program uses up the click.
    EXPECT_EQ(popWin_->ClickedUrl.empty(), !c.clicked || c.inHotTab) << name;
  }
}

TEST_F(PopWinTest, TheClickSinkRecordsWhetherALinkWasClicked) {
  const std::wstring home = L"http://www.qivsoft.example/";
  struct Case {
    const char* name;
    std::optional<ClickedElement> element;
    std::wstring expected;
  };
  const Case cases[] = {
      {"<a href>", ClickedElement{L"a", L"http://one.example/", L"DIV", std::nullopt}, L"http://one.example/"},
      {"<A href>", ClickedElement{L"A", L"two.html", L"BODY", std::nullopt}, L"two.html"},
      {"<a> without href", ClickedElement{L"A", std::nullopt, L"DIV", std::nullopt}, L""},
      {"<img> in an anchor", ClickedElement{L"IMG", std::nullopt, L"A", L"http://img.example/"}, home},
      {"span in an anchor", ClickedElement{L"SPAN", std::nullopt, L"A", L"http://three.example/"}, L"http://three.example/"},
      {"span in an anchor without href", ClickedElement{L"SPAN", std::nullopt, L"a", std::nullopt}, L""},
      {"span in a div", ClickedElement{L"SPAN", std::nullopt, L"DIV", std::nullopt}, home},
      {"no event", std::nullopt, home},
  };
  Open();
  for (const Case& c : cases) {
    popWin_->ClickedUrl = L"before";
    demoView_->element = c.element;
    ASSERT_TRUE(demoView_->onclick);
    demoView_->onclick();
    EXPECT_EQ(Narrow(popWin_->ClickedUrl), Narrow(c.expected)) << c.name;
  }
  // The sink reads the document it is attached to: after a switch to the recommendation tab a
  // click there is read from the recommendation browser.
  hotView_->element = ClickedElement{L"a", L"http://hot.example/", L"", std::nullopt};
  popWin_->TabChanged(2);
  ASSERT_TRUE(hotView_->onclick);
  hotView_->onclick();
  EXPECT_EQ(Narrow(popWin_->ClickedUrl), "http://hot.example/");
  // The player tab changes nothing.
  hotView_->onclick = nullptr;
  popWin_->TabChanged(0);
  EXPECT_FALSE(hotView_->onclick);
}

TEST_F(PopWinTest, EveryCompletionNotifiesButTheVersionCheckRunsOnce) {
  int checks = 0;
  online::SetCheckForUpdateHook([&](TMyPopWin& panel, online::BrowserView& view) {
    EXPECT_EQ(&panel, popWin_.get());
    EXPECT_EQ(&view, static_cast<online::BrowserView*>(demoView_));
    ++checks;
  });
  Open();
  popWin_->DemoBrowserBeforeNavigate2();
  EXPECT_TRUE(popWin_->DemoNavigating);
  demoView_->onclick = nullptr;
  popWin_->DemoBrowserDocumentComplete();
  popWin_->DemoBrowserDocumentComplete();
  online::SetCheckForUpdateHook(nullptr);
  EXPECT_EQ(checks, 1);
  EXPECT_TRUE(popWin_->UpdateChecked);
  EXPECT_EQ(CountNotices(app::WM_POPWIN_LOADED), 2);
  EXPECT_TRUE(popWin_->DemoPageLoaded());
  EXPECT_FALSE(popWin_->DemoNavigating);
  EXPECT_TRUE(demoView_->onclick) << "the completed document gets the click sink";
}

TEST_F(PopWinTest, ClosingTheRecommendationTabBlanksItAndTellsTheWindow) {
  Open();
  popWin_->ShowHotPanel();
  EXPECT_EQ(CountNotices(app::WM_POPWIN_SHOW), 1);
  gNotices.clear();
  ::SendMessageW(popWin_->BtnCloseAvert().hwnd(), BM_CLICK, 0, 0);
  ASSERT_EQ(hotView_->navigations.size(), 1u);
  EXPECT_EQ(Narrow(hotView_->navigations[0]), "about:blank");
  ASSERT_EQ(gNotices.size(), 1u);
  EXPECT_EQ(gNotices[0].msg, app::WM_POPWIN_CLOSED);
  EXPECT_EQ(gNotices[0].lp, 2);
  EXPECT_FALSE(::GetWindowLongW(hotSheet_.hwnd(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(PopWinTest, TheAddressBarFollowsThePanelsWidth) {
  Open();
  ::SetWindowPos(hot_.hwnd(), nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER);
  popWin_->LayoutHotBar();
  auto local = [](HWND wnd) {
    RECT r{};
    ::GetWindowRect(wnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  EXPECT_EQ(local(popWin_->BtnCloseAvert().hwnd()).left, 470);
  EXPECT_EQ(local(popWin_->BtnNewWin().hwnd()).left, 347);
  const RECT edit = local(popWin_->UrlEdit());
  EXPECT_EQ(edit.right - edit.left, 295);
}

TEST_F(PopWinTest, TitlesNameTheDemonstrationTabAndTheRecommendationAddress) {
  Open();
  popWin_->DemoBrowserTitleChange(L"T");
  EXPECT_EQ(Narrow(TabText(1)), "  T ");
  EXPECT_EQ(Narrow(TabText(0)), "play");
  wchar_t caption[16] = {};
  ::GetWindowTextW(demo_.hwnd(), caption, 16);
  EXPECT_EQ(Narrow(caption), "T");
  hotView_->location = L"http://hot.example/page";
  popWin_->HotBrowserTitleChange();
  wchar_t address[64] = {};
  ::GetWindowTextW(popWin_->UrlEdit(), address, 64);
  EXPECT_EQ(Narrow(address), "http://hot.example/page");
}

class RecordingOpener : public base::ShellOpener {
 public:
  bool Open(HWND, const std::wstring& verb, const std::wstring& target, const std::wstring& parameters,
            int show) override {
    calls.push_back(verb + L"|" + target + L"|" + parameters + L"|" + std::to_wstring(show));
    return true;
  }
  std::vector<std::wstring> calls;
};

TEST_F(PopWinTest, OpenInBrowserHandsOnlyWebAddressesToTheSystem) {
  struct Case {
    const wchar_t* text;
    const char* opened;  // nullptr: nothing
  };
  const Case cases[] = {
      {L"http://a.example/", "Open|http://a.example/||5"},
      {L"  HTTPS://b.example/x  ", "Open|HTTPS://b.example/x||5"},
      {L"Http://c.example", "Open|Http://c.example||5"},
      {L"c:\\windows\\notepad.exe", nullptr},
      {L"\\\\server\\share\\run.exe", nullptr},
      {L"file:///c:/windows/notepad.exe", nullptr},
      {L"ftp://d.example/", nullptr},
      {L"javascript:alert(1)", nullptr},
      {L"", nullptr},
  };
  Open();
  for (const Case& c : cases) {
    RecordingOpener opener;
    base::ScopedShellOpener installed(opener);
    ::SetWindowTextW(popWin_->UrlEdit(), c.text);
    ::SendMessageW(popWin_->BtnNewWin().hwnd(), BM_CLICK, 0, 0);
    if (c.opened) {
      ASSERT_EQ(opener.calls.size(), 1u) << Narrow(c.text);
      EXPECT_EQ(Narrow(opener.calls[0]), c.opened);
    } else {
      EXPECT_TRUE(opener.calls.empty()) << Narrow(c.text);
    }
  }
}

TEST_F(PopWinTest, CloseBrowsersClosesBothViews) {
  Open();
  popWin_->CloseBrowsers();
  ASSERT_EQ(views_.size(), 2u);
  EXPECT_EQ(popWin_->DemoBrowser(), nullptr);
  EXPECT_EQ(popWin_->HotBrowser(), nullptr);
}

// --- the event sink ---

struct SinkEvents : online::BrowserEvents {
  void BeforeNavigate2(const std::wstring& url) override { log.push_back(L"before " + url); }
  void NavigateComplete2(const std::wstring& url) override { log.push_back(L"navigated " + url); }
  void DocumentComplete(const std::wstring& url) override { log.push_back(L"complete " + url); }
  void NewWindow2(NewWindowRequest& request) override {
    log.push_back(L"newwindow " + request.url);
    request.newWindow = give;
    request.cancel = cancel;
  }
  void TitleChange(const std::wstring& text) override { log.push_back(L"title " + text); }
  void NavigateError(const std::wstring& url, long status) override {
    log.push_back(L"error " + url + L" " + std::to_wstring(status));
  }
  std::vector<std::wstring> log;
  IDispatch* give = nullptr;
  bool cancel = false;
};

// One event's arguments, given first to last; Invoke gets them reversed.
struct Args {
  std::vector<VARIANT> values;
  DISPPARAMS Params() {
    std::vector<VARIANT> reversed(values.rbegin(), values.rend());
    storage = reversed;
    return DISPPARAMS{storage.data(), nullptr, static_cast<UINT>(storage.size()), 0};
  }
  std::vector<VARIANT> storage;
};

VARIANT Bstr(BSTR b) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = b;
  return v;
}
VARIANT ByRefVariant(VARIANT* inner) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = inner;
  return v;
}

struct PopUpOutcome {
  IDispatch* window = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
};

HRESULT RaiseNewWindow(IDispatch* sink, bool third, const wchar_t* url, PopUpOutcome& out) {
  BSTR address = ::SysAllocString(url ? url : L"");
  BSTR context = ::SysAllocString(L"http://page.example/");
  VARIANT ppDisp, cancel, flags, ctx, addr;
  ::VariantInit(&ppDisp);
  ppDisp.vt = VT_BYREF | VT_DISPATCH;
  ppDisp.ppdispVal = &out.window;
  ::VariantInit(&cancel);
  cancel.vt = VT_BYREF | VT_BOOL;
  cancel.pboolVal = &out.cancel;
  ::VariantInit(&flags);
  flags.vt = VT_I4;
  flags.lVal = 0;
  ctx = Bstr(context);
  addr = Bstr(address);
  Args args;
  args.values = third ? std::vector<VARIANT>{ppDisp, cancel, flags, ctx, addr} : std::vector<VARIANT>{ppDisp, cancel};
  DISPPARAMS params = args.Params();
  const HRESULT hr = sink->Invoke(third ? online::kDispNewWindow3 : online::kDispNewWindow2, IID_NULL, 0,
                                  DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  ::SysFreeString(address);
  ::SysFreeString(context);
  return hr;
}

TEST(BrowserEventSink, DecodesTheReversedArgumentsOfEachEvent) {
  SinkEvents events;
  auto* sink = new online::BrowserEventSink(events);
  BSTR url = ::SysAllocString(L"http://x.example/");
  BSTR title = ::SysAllocString(L"Title");
  VARIANT inner = Bstr(url), status;
  ::VariantInit(&status);
  status.vt = VT_I4;
  status.lVal = 404;
  VARIANT empty;
  ::VariantInit(&empty);
  struct Case {
    DISPID id;
    std::vector<VARIANT> args;
    const char* expected;
  };
  const Case cases[] = {
      {online::kDispBeforeNavigate2, {empty, ByRefVariant(&inner), empty, empty, empty, empty, empty},
       "before http://x.example/"},
      {online::kDispNavigateComplete2, {empty, ByRefVariant(&inner)}, "navigated http://x.example/"},
      {online::kDispDocumentComplete, {empty, ByRefVariant(&inner)}, "complete http://x.example/"},
      {online::kDispTitleChange, {Bstr(title)}, "title Title"},
      {online::kDispNavigateError, {empty, ByRefVariant(&inner), empty, ByRefVariant(&status), empty},
       "error http://x.example/ 404"},
  };
  for (const Case& c : cases) {
    events.log.clear();
    Args args{c.args, {}};
    DISPPARAMS params = args.Params();
    EXPECT_EQ(sink->Invoke(c.id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    ASSERT_EQ(events.log.size(), 1u) << c.expected;
    EXPECT_EQ(Narrow(events.log[0]), c.expected);
  }
  ::SysFreeString(url);
  ::SysFreeString(title);
  sink->Release();
}

TEST(BrowserEventSink, RunsThePopUpRuleOncePerPopUpAndPassesOnlyWebAddressesToTheSystem) {
  auto* window = new online::TEventObject(nullptr);
  struct Case {
    const char* name;
    bool second, third;  // NewWindow2 raised, NewWindow3 raised
    const wchar_t* url;
    bool give, cancel;  // the panel's answer
    bool expectWindow, expectCancel;
  };
  const Case cases[] = {
      {"2 kept inside", true, false, nullptr, true, false, true, false},
      {"2 cancelled", true, false, nullptr, false, true, false, true},
      {"2 left alone", true, false, nullptr, false, false, false, false},
      {"2 then 3, left alone, web", true, true, L"http://ok.example/", false, false, false, false},
      {"2 then 3, left alone, a file", true, true, L"file:///c:/windows/notepad.exe", false, false, false, true},
      {"3 alone, left alone, script", false, true, L"javascript:run()", false, false, false, true},
      {"3 alone, left alone, https", false, true, L"HTTPS://ok.example/", false, false, false, false},
      {"3 alone, kept inside", false, true, L"http://ok.example/", true, false, true, false},
  };
  for (const Case& c : cases) {
    SinkEvents events;
    events.give = c.give ? window : nullptr;
    events.cancel = c.cancel;
    auto* sink = new online::BrowserEventSink(events);
    PopUpOutcome last;
    if (c.second) {
      PopUpOutcome out;
      EXPECT_EQ(RaiseNewWindow(sink, false, nullptr, out), S_OK);
      last = out;
    }
    if (c.third) {
      PopUpOutcome out;
      EXPECT_EQ(RaiseNewWindow(sink, true, c.url, out), S_OK);
      last = out;
    }
    EXPECT_EQ(events.log.size(), 1u) << c.name << ": the rule runs once";
    EXPECT_EQ(last.window == window, c.expectWindow) << c.name;
    EXPECT_EQ(last.cancel == VARIANT_TRUE, c.expectCancel) << c.name;
    if (last.window) last.window->Release();
    sink->Release();
  }
  window->Release();
}

TEST(EventObject, CallsItsHandlerForDispatchZeroOnly) {
  int calls = 0;
  auto* object = new online::TEventObject([&] { ++calls; });
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(object->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), E_NOTIMPL);
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(L"x");
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), E_NOTIMPL);
  EXPECT_EQ(calls, 1);
  object->Release();
}

// --- processes and leftovers ---

std::wstring SystemProgram(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  ::GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder) + L"\\" + name;
}

TEST(KillProcessByName, StopsEveryProcessOfThatNameButNoneForAFullPath) {
  testsupport::ScratchFolder folder;
  std::vector<PROCESS_INFORMATION> victims;
  for (const wchar_t* sub : {L"one", L"two"}) {
    const std::wstring dir = folder.path() + sub;
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    const std::wstring exe = dir + L"\\victim.exe";
    ASSERT_TRUE(::CopyFileW(SystemProgram(L"notepad.exe").c_str(), exe.c_str(), FALSE));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + exe + L"\"";
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    victims.push_back(pi);
  }
  for (const auto& v : victims) ::WaitForInputIdle(v.hProcess, 10000);
  EXPECT_FALSE(online::KillProcessByName(folder.path() + L"one\\victim.exe"));
  for (const auto& v : victims) EXPECT_EQ(::WaitForSingleObject(v.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(online::KillProcessByName(L"VICTIM.exe"));
  for (const auto& v : victims) {
    EXPECT_EQ(::WaitForSingleObject(v.hProcess, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    ::CloseHandle(v.hProcess);
    ::CloseHandle(v.hThread);
  }
  EXPECT_FALSE(online::KillProcessByName(L"no-such-program.exe"));
}

TEST_F(PopWinTest, StartCleanUpDeletesLeftoversAndKeepsOneInUseQuietly) {
  testsupport::ScratchFolder folder;
  const std::wstring temp = folder.path() + L"qivupdatetmp.exe", setup = folder.path() + L"setupKV.exe";
  for (const auto& path : {temp, setup}) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    ::CloseHandle(f);
  }
  HANDLE locked = ::CreateFileW(temp.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  Open(temp, setup);
  EXPECT_NE(::GetFileAttributesW(temp.c_str()), INVALID_FILE_ATTRIBUTES) << "the file in use stays";
  EXPECT_EQ(::GetFileAttributesW(setup.c_str()), INVALID_FILE_ATTRIBUTES) << "the leftover is deleted";
  EXPECT_TRUE(demoView_->onclick) << "the panel is built all the same";
  ::CloseHandle(locked);
}

}  // namespace
