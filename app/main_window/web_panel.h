// The main window's view of the web pop-up panel (online/MyPopWinManUnit.h makes the real one):
// what the start-up sequence and the web tabs ask of it. The window gets a factory through its
// options, so tests give it a stand-in, or none. Main thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace app {

class WebPanel {
 public:
  virtual ~WebPanel() = default;
  // Loads url in the demonstration browser.
  virtual void NavigateDemo(const std::wstring& url) = 0;
  // Shows the recommendation panel (and tells the window with WM_POPWIN_SHOW).
  virtual void ShowHotPanel() = 0;
  // After every tab change: the selected tab's index.
  virtual void TabChanged(int tabIndex) = 0;
  // Closes the recommendation tab (WM_POPWIN_CLOSED with lParam 2).
  virtual void CloseHotTab() = 0;
  // A document of the demonstration browser has completed (at least once).
  virtual bool DemoPageLoaded() const = 0;
  // Closes the browsers; called while the window is destroyed, before OLE ends.
  virtual void CloseBrowsers() = 0;
  // The self-update's exit clean-up, run while the window is destroyed, after the settings.
  virtual void UpdateExitCleanUp() {}
};

// What the window hands the panel when it makes it.
struct WebPanelArgs {
  HWND demoPanel = nullptr;  // PnlDemo
  int firstWebTab = 1;
  std::wstring tempExeName;    // program folder + "qivupdatetmp.exe"
  std::wstring exeName;        // the program's full path
  std::wstring setupFileName;  // program folder + "setupKV.exe"
  std::wstring updateUrlPath;  // "update/kv/setupKV.exe"
  float curVersion = 0.0f;
  HWND mainWnd = nullptr;
  HWND hotPanel = nullptr;  // PnlHot
};

using WebPanelFactory = std::function<std::unique_ptr<WebPanel>(const WebPanelArgs&)>;

}  // namespace app
