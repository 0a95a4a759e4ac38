// The uninstall window as the user meets it: where it stands, its warning icon and buttons,
// and its link, which opens the home page through the shell opener.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/control_ids.h"
#include "base/shell_opener.h"
#include "app/siteaddresses.h"
#include "app/uninstall_form.h"
#include "base/text.h"

namespace {

class RecordingOpener : public base::ShellOpener {
 public:
  bool Open(HWND, const std::wstring& verb, const std::wstring& target, const std::wstring&, int) override {
    opened.push_back(verb + L" " + target);
    return true;
  }
  std::vector<std::wstring> opened;
};

TEST(UninstallWindow, StandsLeftOfAndAboveTheCentreWithItsControls) {
  app::TFrmUninstall form;
  ASSERT_TRUE(form.Create());
  RECT r{};
  ::GetWindowRect(form.hwnd(), &r);
  EXPECT_EQ(r.left, (::GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2 - 50);
  EXPECT_EQ(r.top, (::GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2 - 30);
  RECT client{};
  ::GetClientRect(form.hwnd(), &client);
  EXPECT_EQ(client.right, app::kUninstallClientWidth);
  EXPECT_EQ(client.bottom, app::kUninstallClientHeight);
  HWND panel = ::GetDlgItem(form.hwnd(), app::id::UninstallPanel1);
  ASSERT_NE(panel, nullptr);
  for (int id : {app::id::UninstallImage1, app::id::BtnStartUnstall, app::id::BtnClose, app::id::Label2})
    EXPECT_NE(::GetDlgItem(panel, id), nullptr) << "no control " << id;
  EXPECT_NE(::SendMessageW(::GetDlgItem(panel, app::id::UninstallImage1), STM_GETICON, 0, 0), 0) << "no icon";
  wchar_t text[64] = {};
  ::GetWindowTextW(::GetDlgItem(panel, app::id::Label2), text, 64);
  EXPECT_EQ(base::WideToUtf8(text), base::WideToUtf8(L"查看QIV最新软件"));

  RecordingOpener opener;
  base::ScopedShellOpener useOpener(opener);
  ::SendMessageW(panel, WM_COMMAND, MAKEWPARAM(app::id::Label2, STN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(panel, app::id::Label2)));
  ASSERT_EQ(opener.opened.size(), 1u);
  EXPECT_EQ(base::WideToUtf8(opener.opened[0]), base::WideToUtf8(std::wstring(L"open ") + app::site::kHomePage));
  form.Destroy();
}

}  // namespace
