// The branded panel on a real main window, with a shell opener that records every call: its
// layout, what its buttons, menu items and banner (and the window menu's program-folder item)
// open below the base address of the moment, the help menu at the cursor, and OpenWebPage's
// address rules and fallback.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window/OmbrixUnit.h"
#include "app/dialogs/aboutus.h"
#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/forms/flat_button.h"
#include "app/forms/layout.h"
#include "app/main_window/main_form.h"
#include "app/forms/picture_box.h"
#include "app/program.h"
#include "app/texts/siteaddresses.h"
#include "app/main_window/tray_icon.h"
#include "base/dispatch.h"
#include "base/shell_opener.h"
#include "base/text.h"
#include "tests/app/form_doubles.h"
#include "tests/app/scratch.h"

namespace {

namespace id = app::id;
using Call = testapp::ShellCallLog::Call;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

// The window's rectangle in its parent's client coordinates.
RECT LocalRect(HWND wnd) {
  RECT r{};
  ::GetWindowRect(wnd, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT gMenuRect;
int gMenuItems;
void CALLBACK NoteAndEndMenu(HWND, UINT, UINT_PTR, DWORD) {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  if (!menu || !::IsWindowVisible(menu)) return;
  ::GetWindowRect(menu, &gMenuRect);
  gMenuItems = ::GetMenuItemCount(reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0)));
  ::EndMenu();
}

class OmbrixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SetProgramIdentity(false);
    previousTray_ = app::SetNotifyIconFunction(&testapp::IgnoreTrayCall);
    app::SetServerBaseUrl(app::site::kDefaultBaseUrl);
    app::MainFormOptions options;
    options.programFolder = folder_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    ASSERT_TRUE(form_->Create());
    form_->EnableTimer(id::TimerFirstRun, false);
    ASSERT_TRUE(app::PnlOmbrix);
  }
  void TearDown() override {
    if (HWND box = app::AboutBoxWindow()) ::ShowWindow(box, SW_HIDE);
    form_.reset();
    app::SetNotifyIconFunction(previousTray_);
    app::SetServerBaseUrl(app::site::kDefaultBaseUrl);
  }
  HWND Parent() const { return form_->Control(id::PnlOmbrixParent); }
  HWND Buttons() const { return ::GetDlgItem(Parent(), id::PnlButtons); }
  HWND Banner() const { return ::GetDlgItem(::GetDlgItem(Parent(), id::PnlBanner), id::ImgBanner); }
  HWND Button(int buttonId) const { return ::GetDlgItem(Buttons(), buttonId); }

  testapp::ShellCallLog shell_;
  base::ScopedShellOpener installed_{shell_};
  apptest::ScratchFolder folder_;
  std::unique_ptr<app::TFrmMain> form_;
  app::NotifyIconFunction previousTray_ = nullptr;
};

TEST_F(OmbrixTest, ButtonsAndBannerLieOnTheLeftBarPanel) {
  EXPECT_EQ(app::PnlOmbrix->PnlButtons(), Buttons());
  ASSERT_TRUE(Buttons());
  HWND bannerPanel = ::GetDlgItem(Parent(), id::PnlBanner);
  ASSERT_TRUE(bannerPanel);
  EXPECT_TRUE(::IsWindowVisible(Buttons()) || !::IsWindowVisible(form_->hwnd()));
  EXPECT_TRUE(::GetWindowLongW(Buttons(), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(::GetWindowLongW(bannerPanel, GWL_STYLE) & WS_VISIBLE);

  RECT parent{};
  ::GetClientRect(Parent(), &parent);
  const RECT buttons = LocalRect(Buttons());
  EXPECT_EQ(0, buttons.top);
  EXPECT_EQ(93, buttons.bottom - buttons.top);
  EXPECT_EQ(parent.right, buttons.right - buttons.left);
  const RECT banner = LocalRect(bannerPanel);
  EXPECT_EQ(93, banner.top) << "the banner panel fills what the buttons leave";
  EXPECT_EQ(parent.bottom, banner.bottom);

  const struct {
    int id;
    int top;
  } expected[] = {{id::BtnOrder, 0}, {id::BtnHelp, 29}, {id::BtnExit, 58}};
  for (const auto& b : expected) {
    SCOPED_TRACE("button " + std::to_string(b.id));
    HWND wnd = Button(b.id);
    ASSERT_TRUE(wnd);
    const RECT r = LocalRect(wnd);
    EXPECT_EQ(1, r.left);
    EXPECT_EQ(b.top, r.top);
    EXPECT_EQ(26, r.bottom - r.top);
    auto* button = dynamic_cast<app::FlatButton*>(base::Window::FromHandle(wnd));
    ASSERT_TRUE(button);
    EXPECT_TRUE(button->HasGlyph());
  }

  const RECT picture = LocalRect(Banner());
  EXPECT_EQ(0, picture.top);
  EXPECT_EQ(50, picture.bottom - picture.top);
  auto* image = dynamic_cast<app::PictureBox*>(base::Window::FromHandle(Banner()));
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->HasPicture()) << "the banner JPEG did not load";

  for (HWND wnd : {Buttons(), bannerPanel, Banner()})
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(app::FormBrush()), ::GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND));
  EXPECT_EQ(RGB(0xF5, 0xFA, 0xFE), app::kFormColor);
}

TEST_F(OmbrixTest, EachActionOpensItsPageBelowTheBaseOfTheMoment) {
  const std::wstring home = app::HomePageURL;
  struct Case {
    const char* name;
    std::function<void()> act;
    // The call expected with the base address of the moment.
    std::function<Call(const std::wstring& serverBase)> expected;
  };
  const std::vector<Case> cases = {
      {"order button", [&] { ::SendMessageW(Button(id::BtnOrder), BM_CLICK, 0, 0); },
       [](const std::wstring& url) { return Call{L"open", L"IExplore", L"\"" + url + L"order/\""}; }},
      {"help item 1", [&] { ::SendMessageW(Buttons(), WM_COMMAND, id::MnHelpDemo, 0); },
       [](const std::wstring& url) { return Call{L"open", url + L"demo/kv/#detail", L""}; }},
      {"help item 2", [&] { ::SendMessageW(Buttons(), WM_COMMAND, id::MnHelpHomePage, 0); },
       [&](const std::wstring&) { return Call{L"open", home, L""}; }},
      {"banner", [&] {
         ::SendMessageW(Banner(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
         ::SendMessageW(Banner(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
       },
       [&](const std::wstring&) { return Call{L"open", home, L""}; }},
      {"the window menu's program folder", [&] { ::SendMessageW(form_->hwnd(), WM_COMMAND, id::OpenApplicationPath1, 0); },
       [&](const std::wstring&) { return Call{L"open", folder_.path(), L""}; }},
  };
  for (const wchar_t* serverBase : {app::site::kDefaultBaseUrl, L"http://m7.example/ombrix/"}) {
    app::SetServerBaseUrl(serverBase);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " with base " + Narrow(serverBase));
      shell_.calls.clear();
      c.act();
      ASSERT_EQ(1u, shell_.calls.size());
      EXPECT_EQ(c.expected(serverBase), shell_.calls[0]);
    }
  }

  // Item 4 shows the about box and opens nothing; a release outside the banner opens nothing.
  shell_.calls.clear();
  ::SendMessageW(Buttons(), WM_COMMAND, id::MnHelpAbout, 0);
  ASSERT_TRUE(app::AboutBoxWindow());
  EXPECT_TRUE(base::PumpUntil([] { return ::IsWindowVisible(app::AboutBoxWindow()) != FALSE; }, 3000));
  ::SendMessageW(Banner(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(Banner(), WM_LBUTTONUP, 0, MAKELPARAM(5, 500));
  EXPECT_TRUE(shell_.calls.empty());
}

TEST_F(OmbrixTest, TheHelpButtonOpensTheMenuAtTheCursor) {
  form_->Show();
  ASSERT_TRUE(base::PumpUntil([&] { return ::IsWindowVisible(form_->hwnd()) != FALSE; }, 5000));
  RECT help{};
  ::GetWindowRect(Button(id::BtnHelp), &help);
  const POINT cursor{help.left + 20, help.top + 10};
  ::SetCursorPos(cursor.x, cursor.y);
  // While the menu runs its own loop, a timer notes where it opened and ends it.
  gMenuRect = {};
  gMenuItems = -1;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, &NoteAndEndMenu);
  ::SendMessageW(Button(id::BtnHelp), BM_CLICK, 0, 0);
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(4, gMenuItems);
  EXPECT_EQ(cursor.x, gMenuRect.left);
  EXPECT_EQ(cursor.y, gMenuRect.top);
  EXPECT_TRUE(shell_.calls.empty());

  HMENU menu = app::PnlOmbrix->PmHelp();
  wchar_t caption[64] = {};
  const struct {
    int position;
    const wchar_t* caption;
  } items[] = {{0, L"实例说明(&D)"}, {1, L"官方主页(&H)"}, {3, L"关于(&A)..."}};
  for (const auto& item : items) {
    ::GetMenuStringW(menu, item.position, caption, 64, MF_BYPOSITION);
    EXPECT_EQ(Narrow(item.caption), Narrow(caption));
  }
  EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), ::GetMenuState(menu, 2, MF_BYPOSITION) & MF_SEPARATOR);
}

TEST(OpenWebPage, PutsTheSchemeInFrontOnlyWhenThereIsNone) {
  testapp::ShellCallLog shell;
  base::ScopedShellOpener installed(shell);
  const struct {
    const wchar_t* address;
    const wchar_t* opened;
  } cases[] = {
      {L"www.x.example", L"http://www.x.example"},
      {L"https://x", L"https://x"},
      {L"ftp://x", L"ftp://x"},
      {L"x.example/a b", L"http://x.example/a b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.address));
    shell.calls.clear();
    app::OpenWebPage(c.address);
    ASSERT_EQ(1u, shell.calls.size());
    EXPECT_EQ((Call{L"open", L"IExplore", L"\"" + std::wstring(c.opened) + L"\""}), shell.calls[0]);
  }
}

TEST(OpenWebPage, WithoutInternetExplorerTheDefaultBrowserOpensTheAddress) {
  testapp::ShellCallLog shell;
  shell.refused = L"IExplore";
  base::ScopedShellOpener installed(shell);
  app::OpenWebPage(L"www.x.example/order/");
  const std::vector<Call> expected = {{L"open", L"IExplore", L"\"http://www.x.example/order/\""},
                                      {L"open", L"http://www.x.example/order/", L""}};
  EXPECT_EQ(expected, shell.calls);

  // A refused shell opening reports nothing and is not retried.
  shell.calls.clear();
  shell.refused = L"C:\\missing\\";
  app::ShellOpen(L"C:\\missing\\");
  EXPECT_EQ((std::vector<Call>{{L"open", L"C:\\missing\\", L""}}), shell.calls);
}

}  // namespace
