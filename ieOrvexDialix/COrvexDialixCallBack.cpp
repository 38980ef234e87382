#include <windows.h>
#include <algorithm>
#include <vector>
#include "COrvexDialixCallBack.h"
#include "ComBSTR.h"
#include "ComVariant.h"
#include "OperationWrappers.h"
#include "ZCLFrame.h"

namespace {

// A string variant that owns a fresh copy of text.
CComVariant TextArg(BSTR text) {
  CComVariant v;
  v.vt = VT_BSTR;
  v.bstrVal = ::SysAllocStringLen(text, ::SysStringLen(text));
  if (text && !v.bstrVal) throw std::bad_alloc();
  return v;
}

}  // namespace

COrvexDialixCallBack::COrvexDialixCallBack(IDispatch* script) : CComHeapObject(1), m_script(script) {}

COrvexDialixCallBack::~COrvexDialixCallBack() {}

void COrvexDialixCallBack::Leave(IZembra* service) {
  m_script.Release();
  if (m_ended || !service) return;
  if (!m_connected) {
    m_leftWith = service;
    return;
  }
  m_ended = true;
  CComBSTR id(m_clientId.c_str());
  service->Disconnect(id);  // a client the service already dropped is no loss
}

void COrvexDialixCallBack::DisconnectSent(BSTR clientId) {
  if (m_connected && BstrText(clientId) == m_clientId) m_ended = true;
}

HRESULT COrvexDialixCallBack::CallScript(LPCOLESTR method, VARIANT* args, UINT count) {
  if (!m_script) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR name = const_cast<LPOLESTR>(method);
  HRESULT hr = m_script->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  // The dispatch convention wants the last argument first.
  std::vector<VARIANT> reversed(args, args + count);
  std::reverse(reversed.begin(), reversed.end());
  DISPPARAMS params = {reversed.data(), nullptr, count, 0};
  CComVariant result;
  return m_script->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                          nullptr, nullptr);
}

STDMETHODIMP COrvexDialixCallBack::ConnectCompleted(BSTR clientId) {
  return ZCLComMethod("COrvexDialixCallBack::ConnectCompleted", ZCL_SITE, [&]() -> HRESULT {
    m_clientId = BstrText(clientId);
    m_connected = true;
    if (m_leftWith) {
      CComPtr<IZembra> service = std::move(m_leftWith);
      Leave(service);
      return S_OK;
    }
    CComVariant args[] = {TextArg(clientId)};
    CallScript(L"ConnectCompleted", args, 1);
    return S_OK;
  });
}

STDMETHODIMP COrvexDialixCallBack::DisconnectCompleted(BSTR clientId) {
  return ZCLComMethod("COrvexDialixCallBack::DisconnectCompleted", ZCL_SITE, [&]() -> HRESULT {
    m_ended = true;
    CComVariant args[] = {TextArg(clientId)};
    CallScript(L"DisconnectCompleted", args, 1);
    return S_OK;
  });
}

STDMETHODIMP COrvexDialixCallBack::OperationCompleted(BSTR clientId, BSTR operationId,
                                                      IOperation* operation) {
  return ZCLComMethod("COrvexDialixCallBack::OperationCompleted", ZCL_SITE, [&]() -> HRESULT {
    CComPtr<IOrvexDialixOperation> wrapper = COrvexDialixOperation::MakeWrapper(operation);
    CComVariant args[] = {TextArg(clientId), TextArg(operationId),
                          CComVariant(static_cast<IDispatch*>(wrapper.p))};
    return CallScript(L"OperationCompleted", args, 3);
  });
}

STDMETHODIMP COrvexDialixCallBack::OperationFailed(BSTR clientId, BSTR operationId, HRESULT hr,
                                                   IErrorInfo* errorInfo) {
  return ZCLComMethod("COrvexDialixCallBack::OperationFailed", ZCL_SITE, [&]() -> HRESULT {
    CComVariant code(static_cast<LONG>(hr));
    CComVariant args[] = {TextArg(clientId), TextArg(operationId), code,
                          CComVariant(static_cast<IUnknown*>(errorInfo))};
    return CallScript(L"OperationFailed", args, 4);
  });
}

STDMETHODIMP COrvexDialixCallBack::OperationProgress(BSTR, BSTR, IProgressInfo*) { return S_OK; }

STDMETHODIMP COrvexDialixCallBack::OperationData(BSTR, BSTR, IOperation*) { return S_OK; }

STDMETHODIMP COrvexDialixCallBack::NewDevice(BSTR clientId, IDevice* device) {
  return ZCLComMethod("COrvexDialixCallBack::NewDevice", ZCL_SITE, [&]() -> HRESULT {
    CComVariant args[] = {TextArg(clientId), CComVariant(static_cast<IDispatch*>(device))};
    return CallScript(L"NewDevice", args, 2);
  });
}

STDMETHODIMP COrvexDialixCallBack::DeviceStateChanged(BSTR clientId, IDevice* device) {
  return ZCLComMethod("COrvexDialixCallBack::DeviceStateChanged", ZCL_SITE, [&]() -> HRESULT {
    CComVariant args[] = {TextArg(clientId), CComVariant(static_cast<IDispatch*>(device))};
    return CallScript(L"DeviceStateChanged", args, 2);
  });
}

namespace {

// The notification's own interface, wrapped for script.
template <class W>
CComPtr<IDispatch> WrapNotification(ISNotification* notification) {
  CComPtr<typename W::_ServiceItf> own;
  ZCLComQIThrowOnFail(notification ? notification->QueryInterface(
                                         __uuidof(typename W::_ServiceItf),
                                         reinterpret_cast<void**>(&own))
                                   : E_POINTER,
                      __uuidof(typename W::_ServiceItf), "Notification without its interface");
  CComPtr<typename W::_ScriptItf> wrapper = W::MakeWrapper(own);
  return CComPtr<IDispatch>(static_cast<IDispatch*>(wrapper.p));
}

}  // namespace

STDMETHODIMP COrvexDialixCallBack::Notification(BSTR clientId, REFIID riid,
                                                ISNotification* notification) {
  return ZCLComMethod("COrvexDialixCallBack::Notification", ZCL_SITE, [&]() -> HRESULT {
    CComPtr<IDispatch> wrapper;
    LPCOLESTR name;
    if (::InlineIsEqualGUID(riid, IID_IMessageReceivedNotification)) {
      wrapper = WrapNotification<COrvexDialixMessageReceivedNotification>(notification);
      name = L"IOrvexDialixMessageReceivedNotification";
    } else if (::InlineIsEqualGUID(riid, IID_ICallNotification)) {
      wrapper = WrapNotification<COrvexDialixCallNotification>(notification);
      name = L"IOrvexDialixCallNotification";
    } else if (::InlineIsEqualGUID(riid, IID_IEventsUpdatedNotification)) {
      wrapper = WrapNotification<COrvexDialixEventsUpdatedNotification>(notification);
      name = L"IOrvexDialixEventsUpdatedNotification";
    } else {
      return E_FAIL;
    }
    CComBSTR nameText(name);
    CComVariant args[] = {TextArg(clientId), TextArg(nameText),
                          CComVariant(wrapper.p)};
    return CallScript(L"Notification", args, 3);
  });
}
