// The web-browser control's container. The control needs a client site that is also an
// in-place site (and a frame to go with it) before it shows anything or navigates; its events
// come through the DWebBrowserEvents2 connection point to a BrowserEventSink. Closing releases
// everything in the order the control expects: events unadvised, in-place deactivated, the
// object closed, the client site taken back.
#include "online/web_browser.h"

#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>
#include <oleidl.h>

#include <atomic>

#include "base/barrier.h"
#include "online/browser_sink.h"

namespace online {

namespace {

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }
  void Reset() {
    if (p) p->Release();
    p = nullptr;
  }
  T** Out() {
    Reset();
    return &p;
  }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

template <typename T, typename From>
bool As(From* from, ComPtr<T>& to, REFIID iid) {
  return from && SUCCEEDED(from->QueryInterface(iid, reinterpret_cast<void**>(to.Out()))) && to;
}

struct Bstr {
  BSTR b = nullptr;
  Bstr() = default;
  explicit Bstr(const std::wstring& s) : b(::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(b); }
  std::wstring str() const { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }
};

// The client site, in-place site and frame in one object, owned by the host (and referenced by
// the control while it holds it).
class Site : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit Site(HWND window) : window_(window) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *object = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
      *object = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow)
      *object = static_cast<IOleInPlaceFrame*>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* wnd) override {
    if (!wnd) return E_POINTER;
    *wnd = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = this;
      AddRef();
    }
    if (doc) *doc = nullptr;
    if (pos) ::GetClientRect(window_, pos);
    if (clip) ::GetClientRect(window_, clip);
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = ::GetAncestor(window_, GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow / IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  virtual ~Site() = default;
  std::atomic<ULONG> refs_{1};
  HWND window_;
};

class WebBrowserHost : public BrowserView {
 public:
  ~WebBrowserHost() override { Close(); }

  bool Create(HWND parent, BrowserEvents& events) {
    parent_ = parent;
    site_ = new Site(parent);
    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(object_.Out()))))
      return false;
    if (FAILED(object_->SetClientSite(site_))) return false;
    RECT area{};
    ::GetClientRect(parent, &area);
    if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, parent, &area))) return false;
    As(object_.p, inPlace_, IID_IOleInPlaceObject);
    if (!As(object_.p, browser_, IID_IWebBrowser2)) return false;
    browser_->put_Silent(VARIANT_TRUE);
    sink_ = new BrowserEventSink(events);
    ComPtr<IConnectionPointContainer> points;
    if (As(browser_.p, points, IID_IConnectionPointContainer) &&
        SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, eventPoint_.Out())))
      eventPoint_->Advise(sink_, &cookie_);
    browser_->get_Application(application_.Out());
    return true;
  }

  void Navigate(const std::wstring& url) override {
    if (!browser_) return;
    Bstr address(url);
    VARIANT empty;
    ::VariantInit(&empty);
    browser_->Navigate(address.b, &empty, &empty, &empty, &empty);
  }

  std::wstring LocationURL() override {
    Bstr url;
    if (browser_) browser_->get_LocationURL(&url.b);
    return url.str();
  }

  bool HasDocument() override {
    ComPtr<IHTMLDocument2> document;
    return Document(document);
  }

  std::wstring BodyOuterHtml() override {
    ComPtr<IHTMLDocument2> document;
    ComPtr<IHTMLElement> body;
    Bstr html;
    if (Document(document) && SUCCEEDED(document->get_body(body.Out())) && body) body->get_outerHTML(&html.b);
    return html.str();
  }

  bool SetDocumentClick(std::function<void()> handler) override {
    ComPtr<IHTMLDocument2> document;
    if (!Document(document)) return false;
    auto* object = new TEventObject(std::move(handler));
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_DISPATCH;
    value.pdispVal = object;  // the document takes its own reference
    const HRESULT hr = document->put_onclick(value);
    object->Release();
    return SUCCEEDED(hr);
  }

  std::optional<ClickedElement> EventElement() override {
    ComPtr<IHTMLDocument2> document;
    ComPtr<IHTMLWindow2> window;
    ComPtr<IHTMLEventObj> event;
    ComPtr<IHTMLElement> source;
    if (!Document(document) || FAILED(document->get_parentWindow(window.Out())) || !window ||
        FAILED(window->get_event(event.Out())) || !event || FAILED(event->get_srcElement(source.Out())) || !source)
      return std::nullopt;
    ClickedElement clicked;
    Describe(source.p, clicked.tag, clicked.href);
    ComPtr<IHTMLElement> parentElement;
    if (SUCCEEDED(source->get_parentElement(parentElement.Out())) && parentElement)
      Describe(parentElement.p, clicked.parentTag, clicked.parentHref);
    return clicked;
  }

  IDispatch* Application() override { return application_.p; }

  void SetBounds(const RECT& bounds) override {
    if (inPlace_) inPlace_->SetObjectRects(&bounds, &bounds);
  }

  void Close() override {
    if (eventPoint_) eventPoint_->Unadvise(cookie_);
    eventPoint_.Reset();
    if (sink_) {
      sink_->Detach();
      sink_->Release();
      sink_ = nullptr;
    }
    application_.Reset();
    browser_.Reset();
    if (inPlace_) inPlace_->InPlaceDeactivate();
    inPlace_.Reset();
    if (object_) {
      object_->Close(OLECLOSE_NOSAVE);
      object_->SetClientSite(nullptr);
    }
    object_.Reset();
    if (site_) {
      static_cast<IOleClientSite*>(site_)->Release();
      site_ = nullptr;
    }
  }

 private:
  bool Document(ComPtr<IHTMLDocument2>& document) {
    ComPtr<IDispatch> dispatch;
    return browser_ && SUCCEEDED(browser_->get_Document(dispatch.Out())) && dispatch &&
           As(dispatch.p, document, IID_IHTMLDocument2);
  }

  static void Describe(IHTMLElement* element, std::wstring& tag, std::optional<std::wstring>& href) {
    Bstr name;
    if (SUCCEEDED(element->get_tagName(&name.b))) tag = name.str();
    Bstr attribute(L"href");
    VARIANT value;
    ::VariantInit(&value);
    // Flag 2: the attribute as written in the page, not resolved against the address.
    if (SUCCEEDED(element->getAttribute(attribute.b, 2, &value)) && value.vt == VT_BSTR)
      href = value.bstrVal ? std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal)) : std::wstring();
    ::VariantClear(&value);
  }

  HWND parent_ = nullptr;
  Site* site_ = nullptr;
  BrowserEventSink* sink_ = nullptr;
  DWORD cookie_ = 0;
  ComPtr<IOleObject> object_;
  ComPtr<IOleInPlaceObject> inPlace_;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<IConnectionPoint> eventPoint_;
  ComPtr<IDispatch> application_;
};

}  // namespace

std::unique_ptr<BrowserView> CreateWebBrowser(HWND parent, BrowserEvents& events) {
  return base::Guard("CreateWebBrowser", [&]() -> std::unique_ptr<BrowserView> {
    auto host = std::make_unique<WebBrowserHost>();
    if (!host->Create(parent, events)) return nullptr;
    return host;
  }, std::unique_ptr<BrowserView>());
}

}  // namespace online
