// The main window's start-up sequence and web tabs with a web panel of the test's own: the
// progress ticks, the demonstration page requested once a mirror answered, the recommendation
// tab's item coming and going with the panel's notices, and clicks on its close mark.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "app/program.h"
#include "app/texts/siteaddresses.h"
#include "app/main_window/tray_icon.h"
#include "base/text.h"
#include "tests/app/scratch.h"

namespace {

namespace id = app::id;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

BOOL IgnoreTrayCall(DWORD, NOTIFYICONDATAW*) { return TRUE; }

struct FakePanel : app::WebPanel {
  void NavigateDemo(const std::wstring& url) override { navigations.push_back(url); }
  void ShowHotPanel() override { ++shows; }
  void TabChanged(int tabIndex) override { tabChanges.push_back(tabIndex); }
  void CloseHotTab() override { ++closes; }
  bool DemoPageLoaded() const override { return loaded; }
  void CloseBrowsers() override {
    if (closeCount) ++*closeCount;
  }
  void UpdateExitCleanUp() override {
    if (exitSteps) exitSteps->push_back(closeCount && *closeCount ? "clean-up after close" : "clean-up");
    if (settingsFile && exitSteps)
      exitSteps->push_back(::GetFileAttributesW(settingsFile->c_str()) != INVALID_FILE_ATTRIBUTES ? "settings saved"
                                                                                                  : "no settings");
  }
  int* closeCount = nullptr;  // outlives the panel
  std::vector<std::string>* exitSteps = nullptr;
  const std::wstring* settingsFile = nullptr;
  std::vector<std::wstring> navigations;
  std::vector<int> tabChanges;
  int shows = 0, closes = 0;
  bool loaded = false;
};

class MainWebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SetProgramIdentity(false);
    previousTray_ = app::SetNotifyIconFunction(&IgnoreTrayCall);
    app::ServerReady = false;
    app::SetServerBaseUrl(app::site::kDefaultBaseUrl);
    app::MainFormOptions options;
    options.programFolder = folder_.path();
    options.createPopWin = [this](const app::WebPanelArgs& args) {
      ++panelsMade_;
      args_ = args;
      auto panel = std::make_unique<FakePanel>();
      panel_ = panel.get();
      return panel;
    };
    options.startServerProbe = [this] { ++probesStarted_; };
    form_ = std::make_unique<app::TFrmMain>(options);
    ASSERT_TRUE(form_->Create());
    // The sequence is driven by hand, tick by tick.
    form_->EnableTimer(id::TimerFirstRun, false);
  }
  void TearDown() override {
    form_.reset();
    app::SetNotifyIconFunction(previousTray_);
    app::ServerReady = false;
    app::SetServerBaseUrl(app::site::kDefaultBaseUrl);
  }
  HWND Tabs() const { return form_->Control(id::PageControl1); }
  int TabCount() const { return static_cast<int>(::SendMessageW(Tabs(), TCM_GETITEMCOUNT, 0, 0)); }
  int Selected() const { return static_cast<int>(::SendMessageW(Tabs(), TCM_GETCURSEL, 0, 0)); }
  std::wstring TabCaption(int tab) const {
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(Tabs(), TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  // Pressing a mouse button on the tab control at (x, y) of its client area. (The right
  // button's release would open the window's context menu, which waits for the user.)
  void Press(UINT down, UINT up, int x, int y) {
    ::SendMessageW(Tabs(), down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, MAKELPARAM(x, y));
    if (up == WM_LBUTTONUP) ::SendMessageW(Tabs(), up, 0, MAKELPARAM(x, y));
  }

  apptest::ScratchFolder folder_;
  std::unique_ptr<app::TFrmMain> form_;
  FakePanel* panel_ = nullptr;
  app::WebPanelArgs args_;
  int panelsMade_ = 0, probesStarted_ = 0;
  app::NotifyIconFunction previousTray_ = nullptr;
};

TEST_F(MainWebTest, TheDemonstrationTabIsActiveAndTheRecommendationTabHiddenAtCreation) {
  EXPECT_EQ(TabCount(), 2);
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(form_->TabIndexOf(id::TsHot), -1);
  EXPECT_TRUE(form_->ControlVisible(id::TbDemo));
  EXPECT_FALSE(form_->ControlVisible(id::TabSheet1));
  EXPECT_EQ(panelsMade_, 0);
}

TEST_F(MainWebTest, TheFirstTickStartsTheProbeAndMakesOnePanel) {
  form_->TimerFirstRunTimer();
  EXPECT_EQ(probesStarted_, 1);
  ASSERT_EQ(panelsMade_, 1);
  EXPECT_EQ(args_.demoPanel, form_->Control(id::PnlDemo));
  EXPECT_EQ(args_.hotPanel, form_->Control(id::PnlHot));
  EXPECT_EQ(args_.mainWnd, form_->hwnd());
  EXPECT_EQ(args_.firstWebTab, 1);
  EXPECT_EQ(args_.tempExeName, folder_.path() + L"qivupdatetmp.exe");
  EXPECT_EQ(args_.setupFileName, folder_.path() + L"setupKV.exe");
  EXPECT_EQ(Narrow(args_.updateUrlPath), "update/kv/setupKV.exe");
  EXPECT_FLOAT_EQ(args_.curVersion, 3.6f);
  EXPECT_TRUE(form_->TimerEnabled(id::TimerRun));
  EXPECT_TRUE(form_->TimerEnabled(id::TimerRefreshWB));
  // Selecting the demonstration tab again makes no second panel.
  NMHDR change{Tabs(), static_cast<UINT_PTR>(id::PageControl1), static_cast<UINT>(TCN_SELCHANGE)};
  ::SendMessageW(form_->hwnd(), WM_NOTIFY, id::PageControl1, reinterpret_cast<LPARAM>(&change));
  EXPECT_EQ(panelsMade_, 1);
  EXPECT_EQ(panel_->tabChanges, std::vector<int>{1});
}

TEST_F(MainWebTest, SelectingTheDemonstrationTabEarlyMakesThePanelOnce) {
  ::SendMessageW(Tabs(), TCM_SETCURSEL, 0, 0);
  NMHDR change{Tabs(), static_cast<UINT_PTR>(id::PageControl1), static_cast<UINT>(TCN_SELCHANGE)};
  ::SendMessageW(form_->hwnd(), WM_NOTIFY, id::PageControl1, reinterpret_cast<LPARAM>(&change));
  EXPECT_EQ(panelsMade_, 0) << "the playback tab makes nothing";
  EXPECT_TRUE(form_->ControlVisible(id::TabSheet1));
  ::SendMessageW(Tabs(), TCM_SETCURSEL, 1, 0);
  ::SendMessageW(form_->hwnd(), WM_NOTIFY, id::PageControl1, reinterpret_cast<LPARAM>(&change));
  EXPECT_EQ(panelsMade_, 1);
  form_->TimerFirstRunTimer();
  EXPECT_EQ(panelsMade_, 1);
}

TEST_F(MainWebTest, TheProgressHintShowsOnlyWhileThePageHasNotLoaded) {
  const std::wstring hint = L"正在获取QIV软件云服务器的最新版本...";
  struct Case {
    int loadedAtTick;  // 0: never
    int lastTick;      // the tick that ends the animation
    int firstHintTick;  // 0: never shown
  };
  for (const Case c : {Case{10, 10, 0}, Case{15, 15, 0}, Case{20, 20, 16}, Case{0, 31, 16}}) {
    TearDown();
    SetUp();
    form_->TimerFirstRunTimer();
    int firstHint = 0, lastTick = 0;
    for (int tick = 1; tick <= 40 && form_->TimerEnabled(id::TimerRun); ++tick) {
      if (tick == c.loadedAtTick) panel_->loaded = true;
      form_->TimerRunTimer();
      if (!firstHint && form_->Status() == hint) firstHint = tick;
      lastTick = tick;
    }
    EXPECT_EQ(lastTick, c.lastTick) << "loaded at " << c.loadedAtTick;
    EXPECT_EQ(firstHint, c.firstHintTick) << "loaded at " << c.loadedAtTick;
    EXPECT_EQ(form_->Status(), L"") << "loaded at " << c.loadedAtTick;
    EXPECT_FALSE(form_->ControlVisible(id::ProgressBar1)) << "loaded at " << c.loadedAtTick;
  }
}

TEST_F(MainWebTest, TheDemonstrationPageIsRequestedOnceAMirrorAnswered) {
  form_->TimerFirstRunTimer();
  form_->SelectPage(id::TabSheet1);
  form_->TimerRefreshWBTimer();
  form_->TimerRefreshWBTimer();
  EXPECT_TRUE(panel_->navigations.empty());
  EXPECT_TRUE(form_->TimerEnabled(id::TimerRefreshWB)) << "polls on while no mirror answered";
  app::SetServerBaseUrl(L"http://cloud4.qivsoft.example/ombrix/");
  app::ServerReady = true;
  form_->TimerRefreshWBTimer();
  form_->TimerRefreshWBTimer();
  ASSERT_EQ(panel_->navigations.size(), 1u);
  EXPECT_EQ(panel_->navigations[0], L"http://cloud4.qivsoft.example/ombrix/" + app::DemoPath);
  EXPECT_FALSE(app::ServerReady.load());
  EXPECT_FALSE(form_->TimerEnabled(id::TimerRefreshWB));
  EXPECT_EQ(Selected(), 1);
  EXPECT_TRUE(form_->ControlVisible(id::TbDemo));
  EXPECT_FALSE(form_->ControlVisible(id::TabSheet1));
}

TEST_F(MainWebTest, TheRecommendationTabComesAndGoesWithTheNotices) {
  form_->TimerFirstRunTimer();
  ::SendMessageW(form_->hwnd(), app::WM_POPWIN_SHOW, 0, 0);
  ::SendMessageW(form_->hwnd(), app::WM_POPWIN_SHOW, 0, 0);
  ASSERT_EQ(TabCount(), 3);
  EXPECT_EQ(Narrow(TabCaption(2)), " QIV软件向你推荐  ");
  EXPECT_EQ(form_->TabIndexOf(id::TsHot), 2);
  // Another close only shows the demonstration page.
  form_->SelectPage(id::TabSheet1);
  ::SendMessageW(form_->hwnd(), app::WM_POPWIN_CLOSED, 0, 0);
  EXPECT_EQ(TabCount(), 3);
  EXPECT_EQ(Selected(), 1);
  // Closed while shown: the tab goes and the demonstration page takes its place.
  form_->SelectPage(id::TsHot);
  EXPECT_TRUE(form_->ControlVisible(id::TsHot));
  ::SendMessageW(form_->hwnd(), app::WM_POPWIN_CLOSED, 0, 2);
  EXPECT_EQ(TabCount(), 2);
  EXPECT_EQ(form_->TabIndexOf(id::TsHot), -1);
  EXPECT_EQ(Selected(), 1);
  EXPECT_TRUE(form_->ControlVisible(id::TbDemo));
  EXPECT_FALSE(form_->ControlVisible(id::TsHot));
  EXPECT_TRUE(form_->ControlVisible(id::SbCenter));
  EXPECT_TRUE(form_->ControlVisible(id::SbMain));
}

TEST_F(MainWebTest, TheCloseMarkClosesTheRecommendationTabAndTheRestOfItShowsIt) {
  form_->TimerFirstRunTimer();
  ::SendMessageW(form_->hwnd(), app::WM_POPWIN_SHOW, 0, 0);
  RECT r{};
  ASSERT_TRUE(::SendMessageW(Tabs(), TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r)));
  const int middle = (r.top + r.bottom) / 2;
  struct Case {
    const char* name;
    UINT down, up;
    int x;
    int shows, closes, selected;
  };
  const Case cases[] = {
      {"right click on the tab", WM_RBUTTONDOWN, WM_RBUTTONUP, static_cast<int>(r.left) + 5, 1, 0, 1},
      {"left click on the tab", WM_LBUTTONDOWN, WM_LBUTTONUP, static_cast<int>(r.left) + 5, 1, 0, 2},
      {"left click on the close mark", WM_LBUTTONDOWN, WM_LBUTTONUP, static_cast<int>(r.right) - 5, 0, 1, 2},
      {"left click on the demonstration tab", WM_LBUTTONDOWN, WM_LBUTTONUP, 20, 0, 0, 0},
  };
  for (const Case& c : cases) {
    panel_->shows = panel_->closes = 0;
    if (std::string(c.name) == "left click on the demonstration tab") {
      RECT first{};
      ::SendMessageW(Tabs(), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
      Press(c.down, c.up, (first.left + first.right) / 2, middle);
    } else {
      Press(c.down, c.up, c.x, middle);
    }
    // A selection change by the click also shows the panel (the tab's change handler).
    EXPECT_GE(panel_->shows, c.shows) << c.name;
    if (c.shows == 0) {
      EXPECT_EQ(panel_->shows, 0) << c.name;
    }
    EXPECT_EQ(panel_->closes, c.closes) << c.name;
    EXPECT_EQ(Selected(), c.selected) << c.name;
  }
}

TEST_F(MainWebTest, TheBrowsersAreClosedWhenTheWindowIsDestroyed) {
  form_->TimerFirstRunTimer();
  ASSERT_TRUE(panel_);
  int closes = 0;
  panel_->closeCount = &closes;
  ::DestroyWindow(form_->hwnd());
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(form_->MyPopWin(), nullptr);
}

TEST_F(MainWebTest, TheUpdateCleanUpRunsOnceAfterTheSettingsAndBeforeTheBrowsersClose) {
  form_->TimerFirstRunTimer();
  ASSERT_TRUE(panel_);
  int closes = 0;
  std::vector<std::string> steps;
  const std::wstring settings = folder_.path() + L"defualt.ini";
  ::DeleteFileW(settings.c_str());
  panel_->closeCount = &closes;
  panel_->exitSteps = &steps;
  panel_->settingsFile = &settings;
  ::DestroyWindow(form_->hwnd());
  EXPECT_EQ(steps, (std::vector<std::string>{"clean-up", "settings saved"}));
}

}  // namespace
