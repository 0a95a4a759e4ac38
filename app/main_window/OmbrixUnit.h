// The branded panel on the main window's left bar (order, help and exit buttons, the help menu
// and the banner), and the two routines every form uses to send the user to a web page or to
// hand a path to the shell. Main thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/forms/flat_button.h"
#include "app/forms/layout.h"
#include "app/main_window/main_form.h"
#include "app/forms/picture_box.h"

namespace app {

// Opens address in Internet Explorer ("http://" is put in front when it names no scheme). Where
// Internet Explorer cannot be started the same address goes to the default browser. Reports
// nothing.
void OpenWebPage(const std::wstring& address);
// Hands path (a file, a folder or a web address) to the shell's default handler. Reports nothing.
void ShellOpen(const std::wstring& path);

// The browser panel of the main window's two browser hooks. The resize fits its browser 4
// pixels out over every edge of the panel, so the browser's border lies outside it, while
// fitting is on and the panel's marker child is hidden; a right-button press in a window
// inside its browser opens its popup menu at the mouse cursor. Nothing in the program assigns
// a panel, so both hooks do nothing in a run.
struct BrowserPanelFit {
  HWND panel = nullptr;
  HWND browser = nullptr;
  HWND marker = nullptr;
  bool enabled = false;
  HMENU popupMenu = nullptr;  // tracked with the panel as its owner; not owned here
};
BrowserPanelFit& BrowserPanel();
void FitBrowserPanel();
// Offered every message the program's loops take from the queue (the main window's message
// hook): handled is set when the message opened the panel's popup menu. Returns at once while
// no panel is assigned.
void HandleBrowserPanelRightClick(const MSG& msg, bool& handled);

class TPnlOmbrix {
 public:
  // Builds the panel's parts as children of owner (PnlOmbrixParent): the buttons panel on top,
  // the banner panel filling the rest. Hidden until Show.
  explicit TPnlOmbrix(Panel& owner);
  ~TPnlOmbrix();
  TPnlOmbrix(const TPnlOmbrix&) = delete;
  TPnlOmbrix& operator=(const TPnlOmbrix&) = delete;

  void Show();
  // Places the three buttons at left, stacked from top with gap between them.
  void LayoutButtons(int left, int top, int gap);

  void OrderClick();
  // Opens the help menu at the mouse cursor.
  void HelpClick();
  // Closes the main window, which then ends the program the normal way.
  void ExitClick();
  void BannerClick();
  // Acts on the tag of the help menu item with that command id; other ids do nothing.
  void HelpMenuClick(int commandId);

  HWND PnlButtons() const;
  HWND PnlBanner() const { return pnlBanner_->hwnd(); }
  HMENU PmHelp() const { return pmHelp_.get(); }
  const Panel& owner() const { return owner_; }

 private:
  class ButtonsPanel;
  class Banner;

  // The form the panel lies on.
  HWND Form() const;

  Panel& owner_;
  std::unique_ptr<ButtonsPanel> pnlButtons_;
  std::unique_ptr<Panel> pnlBanner_;
  FlatButton btnOrder_, btnHelp_, btnExit_;
  std::unique_ptr<Banner> imgBanner_;
  UniqueMenu pmHelp_;
};

// The one branded panel, made by the main window's creation and dropped with that window.
extern std::unique_ptr<TPnlOmbrix> PnlOmbrix;

}  // namespace app
