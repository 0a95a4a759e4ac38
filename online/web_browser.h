// WebBrowserHost: the system's web-browser control hosted in a child window, as a BrowserView.
// An OLE container written once for every web panel of the program (the main window's web tabs
// and the update dialog). Needs OleInitialize on the main thread; main thread only.
#pragma once

#include <windows.h>

#include <memory>

#include "online/browser_view.h"

namespace online {

// Creates the control filling parent's client area, silent (no script-error dialogs), with its
// events going to events; nullptr when the control cannot be created.
std::unique_ptr<BrowserView> CreateWebBrowser(HWND parent, BrowserEvents& events);

}  // namespace online
