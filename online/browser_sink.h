// The COM objects the web panels hand to the browser control: the sink of its
// DWebBrowserEvents2 (decoding each event's arguments and passing them to a BrowserEvents),
// and TEventObject, the IDispatch a document calls as its onclick handler. Both are
// reference-counted; main thread.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <functional>
#include <optional>

#include "online/browser_view.h"

namespace online {

// The event numbers the sink decodes (DISPIDs of DWebBrowserEvents2).
inline constexpr DISPID kDispBeforeNavigate2 = 250;
inline constexpr DISPID kDispNewWindow2 = 251;
inline constexpr DISPID kDispNavigateComplete2 = 252;
inline constexpr DISPID kDispDocumentComplete = 259;
inline constexpr DISPID kDispTitleChange = 113;
inline constexpr DISPID kDispNavigateError = 271;
// Current systems raise NewWindow3 (with the address) after, or instead of, NewWindow2.
inline constexpr DISPID kDispNewWindow3 = 273;

class BrowserEventSink : public IDispatch {
 public:
  // events must outlive every call into the sink; Detach() stops the calls.
  explicit BrowserEventSink(BrowserEvents& events) : events_(&events) {}
  void Detach() { events_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  // The arguments of an event arrive in reverse order (the last one in rgvarg[0]).
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override;

 private:
  virtual ~BrowserEventSink() = default;
  void NewWindow(VARIANT* ppDisp, VARIANT* cancel, const std::wstring& url, bool third);

  std::atomic<ULONG> refs_{1};
  BrowserEvents* events_;
  // The answer given to a NewWindow2, repeated for the NewWindow3 of the same pop-up, so the
  // panel's rule runs once per pop-up.
  std::optional<NewWindowRequest> pendingPopUp_;
};

// The onclick handler object: Invoke with DISPID 0 calls Handler.
class TEventObject : public IDispatch {
 public:
  explicit TEventObject(std::function<void()> handler) : Handler(std::move(handler)) {}
  std::function<void()> Handler;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

 private:
  virtual ~TEventObject() = default;
  std::atomic<ULONG> refs_{1};
};

}  // namespace online
