// The seam between the web panels and the system's web-browser control: what the panels ask of
// a browser (navigate, its address, its document, the element a click came from, its
// Application object) and the events it raises. WebBrowserHost (web_browser.h) is the real
// control; tests drive the panels' logic through a view of their own, since under Wine no
// document ever completes. Main thread.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace online {

// The element a document click came from, with its parent (read through the document's
// window event).
struct ClickedElement {
  std::wstring tag;                  // as the document gives it ("A", "a", "IMG", ...)
  std::optional<std::wstring> href;  // nullopt: no "href" attribute
  std::wstring parentTag;
  std::optional<std::wstring> parentHref;
};

// A page's request for a new window (NewWindow2, or NewWindow3 with its address). The handler
// may give another browser's Application object as the new window, or cancel it; doing
// neither leaves it to the system's browser.
struct NewWindowRequest {
  std::wstring url;  // empty for NewWindow2, which carries none
  IDispatch* newWindow = nullptr;  // set by the handler; not owned (the sink adds the reference)
  bool cancel = false;
};

class BrowserEvents {
 public:
  virtual ~BrowserEvents() = default;
  virtual void BeforeNavigate2(const std::wstring& url) = 0;
  virtual void NavigateComplete2(const std::wstring& url) = 0;
  virtual void DocumentComplete(const std::wstring& url) = 0;
  virtual void NewWindow2(NewWindowRequest& request) = 0;
  virtual void TitleChange(const std::wstring& text) = 0;
  virtual void NavigateError(const std::wstring& url, long status) = 0;
};

class BrowserView {
 public:
  virtual ~BrowserView() = default;
  virtual void Navigate(const std::wstring& url) = 0;
  virtual std::wstring LocationURL() = 0;
  // The current document is an HTML document.
  virtual bool HasDocument() = 0;
  virtual std::wstring BodyOuterHtml() = 0;
  // Installs handler as the document's onclick (replacing the one before); false when there is
  // no HTML document.
  virtual bool SetDocumentClick(std::function<void()> handler) = 0;
  // The element of the document's current window event; nullopt when there is no event.
  virtual std::optional<ClickedElement> EventElement() = 0;
  // The control's Application object (not add-ref'ed; lives as long as the view).
  virtual IDispatch* Application() = 0;
  // Places the control in its parent's client area.
  virtual void SetBounds(const RECT& bounds) = 0;
  // Closes the control and releases its sites; the view does nothing afterwards.
  virtual void Close() = 0;
};

// Makes a browser on parent that reports to events (which outlives it); nullptr on failure.
using BrowserFactory = std::function<std::unique_ptr<BrowserView>(HWND parent, BrowserEvents& events)>;

// True for an address the system's browser may be handed: "http://" or "https://" in any case,
// after trimming blanks. Paths, share names and other protocols are not.
bool IsWebAddress(const std::wstring& url);

}  // namespace online
