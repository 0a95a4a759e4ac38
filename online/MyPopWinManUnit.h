// TMyPopWin, the web pop-up panel: the browsers of the main window's demonstration and
// recommendation tabs, the recommendation tab's address bar, the click sink, the rule that
// decides where a page's pop-up goes, and the notices to the main window (WM_POPWIN_SHOW,
// WM_POPWIN_CLOSED, WM_POPWIN_LOADED, sent: the window handles them before the call returns).
// It also carries the file names the self-update needs.
//
// Main thread only: construction, browser events, the click sink, the notices.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/forms/flat_button.h"
#include "app/main_window/web_panel.h"
#include "base/unique.h"
#include "online/browser_view.h"

namespace online {

// Set at every completed document of a demonstration browser; never cleared. Main thread.
extern bool DemoPageLoaded;

class TMyPopWin;

// The version check run on the first completed demonstration document (the program gives
// CheckForUpdate of self_update.h). Without one the first completion only marks the check as
// done.
using UpdateCheckHook = std::function<void(TMyPopWin& popWin, BrowserView& demoBrowser)>;
void SetCheckForUpdateHook(UpdateCheckHook hook);

// Stops every process whose executable name (as the process snapshot gives it, or its
// file-name part) is name, in any case; a full path therefore stops nothing. True when the last
// termination tried succeeded; false when none was tried.
bool KillProcessByName(const std::wstring& name);

// The program's "bmp" resource name as the button's glyph; a missing one leaves it empty.
void LoadGlyphFromRes(app::FlatButton& button, const wchar_t* name);

class HotBar;
class BrowserFrame;

class TMyPopWin : public app::WebPanel {
 public:
  // Removes leftovers of an earlier update (the temporary program and setup files: their
  // processes stopped, the files deleted, failures ignored), hides the recommendation panel,
  // builds its address bar and the two browsers with makeBrowser, and attaches the
  // demonstration page's click sink.
  TMyPopWin(const app::WebPanelArgs& args, BrowserFactory makeBrowser);
  ~TMyPopWin() override;
  TMyPopWin(const TMyPopWin&) = delete;
  TMyPopWin& operator=(const TMyPopWin&) = delete;

  // app::WebPanel
  void NavigateDemo(const std::wstring& url) override;
  void ShowHotPanel() override;
  void TabChanged(int tabIndex) override;
  void CloseHotTab() override;
  bool DemoPageLoaded() const override { return online::DemoPageLoaded; }
  void CloseBrowsers() override;
  void UpdateExitCleanUp() override;

  void LayoutHotBar();
  void BtnNewWinClick();
  void AttachDemoClickSink();
  void AttachHotClickSink();
  void DocumentClick();

  // The browsers' events.
  void DemoBrowserBeforeNavigate2();
  void DemoBrowserDocumentComplete();
  void DemoBrowserNewWindow2(NewWindowRequest& request);
  void DemoBrowserTitleChange(const std::wstring& text);
  void HotBrowserBeforeNavigate2();
  void HotBrowserDocumentComplete();
  void HotBrowserNewWindow2(NewWindowRequest& request);
  void HotBrowserTitleChange();

  // State, for the main window and the self-update.
  bool UpdateChecked = false;
  float CurVersion = 0.0f;
  std::wstring ClickedUrl;
  HWND MainWnd = nullptr;
  bool DemoNavigating = false;
  bool HotNavigating = false;
  int FirstWebTab = 1;
  std::wstring SetupFileName;
  std::wstring UpdateUrlPath;
  std::wstring ExeFileName;
  std::wstring TempExeName;
  HWND DemoPanel = nullptr;
  HWND HotPanel = nullptr;

  // The bar's controls and the browsers (nullptr when they could not be made).
  HWND TopBar() const;
  HWND UrlEdit() const { return urlEdit_; }
  HWND AddressLabel() const { return addressLabel_; }
  app::FlatButton& BtnNewWin() { return btnNewWin_; }
  app::FlatButton& BtnCloseAvert() { return btnCloseAvert_; }
  BrowserView* DemoBrowser() const { return demoBrowser_.get(); }
  BrowserView* HotBrowser() const { return hotBrowser_.get(); }

 private:
  class Events;
  void AttachClickSink(BrowserView* browser);
  void OnBarCommand(int id);

  std::unique_ptr<HotBar> topBar_;
  HWND addressLabel_ = nullptr;
  base::UniqueFont addressFont_;  // the panel's face at 10 points
  HWND urlEdit_ = nullptr;
  app::FlatButton btnNewWin_;
  app::FlatButton btnCloseAvert_;
  // The browser whose document the click sink reads (CurDocument); nullptr when none.
  BrowserView* curDocument_ = nullptr;
  std::unique_ptr<Events> demoEvents_, hotEvents_;
  std::unique_ptr<BrowserFrame> demoFrame_, hotFrame_;
  std::unique_ptr<BrowserView> demoBrowser_, hotBrowser_;
};

// The factory the program gives the main window: a TMyPopWin over the system's browser control.
std::unique_ptr<app::WebPanel> CreatePopWin(const app::WebPanelArgs& args);

}  // namespace online
