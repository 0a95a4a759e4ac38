// The browser's event sink and the onclick handler object (see browser_sink.h). No exception
// leaves Invoke: each event's handler runs behind the barrier.
#include "online/browser_sink.h"

#include <exdisp.h>

#include "base/barrier.h"
#include "base/text.h"
#include "online/text_case.h"

namespace online {

namespace {

// The text of an argument, passed by value or by reference, directly or in a VARIANT.
std::wstring StringArg(const VARIANT& v) {
  const VARIANT* value = &v;
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) value = v.pvarVal;
  if (value->vt == VT_BSTR && value->bstrVal) return value->bstrVal;
  if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal && *value->pbstrVal) return *value->pbstrVal;
  return {};
}

long LongArg(const VARIANT& v) {
  const VARIANT* value = &v;
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) value = v.pvarVal;
  if (value->vt == VT_I4) return value->lVal;
  if (value->vt == (VT_BYREF | VT_I4) && value->plVal) return *value->plVal;
  return 0;
}

const VARIANT* Arg(const DISPPARAMS* params, UINT count, UINT reversedIndex) {
  if (!params || params->cArgs != count || !params->rgvarg) return nullptr;
  return &params->rgvarg[reversedIndex];
}

}  // namespace

bool IsWebAddress(const std::wstring& url) {
  const std::wstring lower = LowerCase(base::Trim(url).substr(0, 8));
  return lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
}

HRESULT BrowserEventSink::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG BrowserEventSink::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT BrowserEventSink::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return count ? S_OK : E_POINTER;
}

HRESULT BrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  if (!events_) return S_OK;
  return base::Guard("BrowserEventSink.Invoke", [&]() -> HRESULT {
    if (id != kDispNewWindow3) pendingPopUp_.reset();
    switch (id) {
      case kDispBeforeNavigate2:
        if (const VARIANT* url = Arg(params, 7, 5)) events_->BeforeNavigate2(StringArg(*url));
        break;
      case kDispNavigateComplete2:
        if (const VARIANT* url = Arg(params, 2, 0)) events_->NavigateComplete2(StringArg(*url));
        break;
      case kDispDocumentComplete:
        if (const VARIANT* url = Arg(params, 2, 0)) events_->DocumentComplete(StringArg(*url));
        break;
      case kDispTitleChange:
        if (const VARIANT* text = Arg(params, 1, 0)) events_->TitleChange(StringArg(*text));
        break;
      case kDispNavigateError:
        if (const VARIANT* url = Arg(params, 5, 3)) events_->NavigateError(StringArg(*url), LongArg(params->rgvarg[1]));
        break;
      case kDispNewWindow2:
        if (params && params->cArgs == 2) NewWindow(&params->rgvarg[1], &params->rgvarg[0], L"", false);
        break;
      case kDispNewWindow3:
        if (params && params->cArgs == 5)
          NewWindow(&params->rgvarg[4], &params->rgvarg[3], StringArg(params->rgvarg[0]), true);
        pendingPopUp_.reset();
        break;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
    return S_OK;
  }, S_OK);
}

void BrowserEventSink::NewWindow(VARIANT* ppDisp, VARIANT* cancel, const std::wstring& url, bool third) {
  NewWindowRequest request;
  if (third && pendingPopUp_) {
    // The NewWindow3 of a pop-up whose NewWindow2 was answered: the same answer.
    request = *pendingPopUp_;
    request.url = url;
  } else {
    request.url = url;
    events_->NewWindow2(request);
  }
  // Left to the system's browser only when it is a web address (NewWindow2 carries none).
  if (!request.newWindow && !request.cancel && !url.empty() && !IsWebAddress(url)) request.cancel = true;
  if (!third) pendingPopUp_ = request;
  if (request.newWindow && ppDisp && ppDisp->vt == (VT_BYREF | VT_DISPATCH) && ppDisp->ppdispVal) {
    request.newWindow->AddRef();
    *ppDisp->ppdispVal = request.newWindow;
  }
  if (request.cancel && cancel && cancel->vt == (VT_BYREF | VT_BOOL) && cancel->pboolVal)
    *cancel->pboolVal = VARIANT_TRUE;
}

HRESULT TEventObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG TEventObject::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT TEventObject::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  if (id != 0) return E_NOTIMPL;
  if (Handler) base::GuardVoid("TEventObject.Invoke", [&] { Handler(); });
  return S_OK;
}

}  // namespace online
