// The about box: its texts, a press anywhere (labels included) opening the home page in
// Internet Explorer, and the close button hiding it.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/dialogs/aboutus.h"
#include "app/texts/allparam.h"
#include "app/forms/dialog_ids.h"
#include "app/texts/kv.h"
#include "base/dispatch.h"
#include "base/shell_opener.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/form_doubles.h"

namespace {

TEST(AboutBox, ShowsTheVersionAndOpensTheHomePage) {
  app::LoadLanguageTexts();
  app::SoftVersion = 3.6f;
  testapp::ShellCallLog shell;
  base::ScopedShellOpener installed(shell);
  const auto& opened = shell.calls;

  app::ShowAboutBox(nullptr);
  HWND box = app::AboutBoxWindow();
  ASSERT_TRUE(box);
  EXPECT_TRUE(base::PumpUntil([&] { return ::IsWindowVisible(box) != FALSE; }, 3000));
  EXPECT_EQ(app::StrAbout + L" " + app::ProductName, testapp::TextOf(box));
  EXPECT_EQ(L"3.6", testapp::ItemTextOf(box, app::id::LblVersion));
  EXPECT_EQ(L"     " + app::ProductName, testapp::ItemTextOf(box, app::id::VersionLabel1));
  EXPECT_EQ(app::StrHomePageLine, testapp::ItemTextOf(box, app::id::VersionLabel4));

  // A real left press on a label, and a right press on the window itself.
  RECT label{};
  ::GetWindowRect(::GetDlgItem(box, app::id::VersionLabel3), &label);
  ::SetCursorPos(label.left + 5, (label.top + label.bottom) / 2);
  INPUT press[2]{};
  press[0].type = press[1].type = INPUT_MOUSE;
  press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, press, sizeof(INPUT));
  EXPECT_TRUE(base::PumpUntil([&] { return opened.size() == 1; }, 5000));
  ::SendMessageW(box, WM_RBUTTONDOWN, 0, MAKELPARAM(5, 5));
  ASSERT_EQ(2u, opened.size());
  const testapp::ShellCallLog::Call homePage{L"open", L"IExplore", L"\"" + app::HomePageURL + L"\""};
  EXPECT_EQ(homePage, opened[0]);
  EXPECT_EQ(homePage, opened[1]);

  testapp::Press(box, app::id::VersionBtnClose);
  EXPECT_FALSE(::IsWindowVisible(box));
  EXPECT_EQ(2u, opened.size()) << "the close button opens nothing";
  // Shown again: the same window.
  app::ShowAboutBox(nullptr);
  EXPECT_EQ(box, app::AboutBoxWindow());
  testapp::Press(box, app::id::VersionBtnClose);
}

}  // namespace
