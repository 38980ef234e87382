#include <windows.h>
#include <new>
#include "CDialix.h"
#include "CDialixWrapper.h"
#include "CDialixOperation.h"
#include "CZembraClient.h"
#include "ZCLLogger.h"

nsIClassInfo* g_dialixClassInfo = nullptr;

namespace {

const IID* NotificationKind(const nsIID& kind) {
  if (kind.Equals(NS_GET_IID(IOrvexDialixMessageReceivedNotification))) return &IID_IMessageReceivedNotification;
  if (kind.Equals(NS_GET_IID(IOrvexDialixCallNotification))) return &IID_ICallNotification;
  if (kind.Equals(NS_GET_IID(IOrvexDialixEventsUpdatedNotification))) return &IID_IEventsUpdatedNotification;
  return nullptr;
}

}  // namespace

nsresult NS_STDCALL CDialix::Construct(nsISupports* outer, const nsIID& iid, void** result) {
  if (!result) return NS_ERROR_NULL_POINTER;
  *result = nullptr;
  if (outer) return NS_ERROR_NO_AGGREGATION;
  return DialixCreate<CDialix>([](CDialix* made) { return made->Initialize(); }, iid, result);
}

nsresult CDialix::Initialize() {
  return ZCLComMethod("CDialix::Initialize", ZCL_SITE, [&]() -> HRESULT {
    HRESULT hr = ::CoCreateInstance(CLSID_Zembra, nullptr, CLSCTX_LOCAL_SERVER, IID_IZembra,
                                    reinterpret_cast<void**>(&m_service));
    if (FAILED(hr)) return CLASS_E_CLASSNOTAVAILABLE;
    try {
      m_cookie = CGitCookie(m_service, IID_IZembra, "the service");
    } catch (const ZCLComException&) {
      return CLASS_E_CLASSNOTAVAILABLE;
    }
    return S_OK;
  });
}

// A failed revocation was never reported here; the owner's destructor would log it.
CDialix::~CDialix() { m_cookie.Revoke(); }

NS_IMETHODIMP CDialix::QueryInterface(const nsIID& iid, void** result) {
  if (!result) return NS_ERROR_NULL_POINTER;
  *result = nullptr;
  if (iid.Equals(NS_GET_IID(nsIClassInfo))) {
    if (!g_dialixClassInfo) return NS_ERROR_NO_INTERFACE;
    g_dialixClassInfo->AddRef();
    *result = g_dialixClassInfo;
    return NS_OK;
  }
  if (!iid.Equals(NS_GET_IID(nsISupports)) && !iid.Equals(NS_GET_IID(IOrvexDialix))) return NS_ERROR_NO_INTERFACE;
  *result = static_cast<IOrvexDialix*>(this);
  AddRef();
  return NS_OK;
}

template <class Call>
HRESULT CDialix::WithService(Call call) {
  CComPtr<IZembra> service;
  HRESULT hr = m_cookie.CopyTo(&service);
  if (FAILED(hr)) return hr;
  if (!service) return E_UNEXPECTED;
  return call(service.p);
}

NS_IMETHODIMP CDialix::Connect(IOrvexDialixCallback* callback) {
  return ZCLComMethod("CDialix::Connect", ZCL_SITE, [&]() -> HRESULT {
    CDialixCallback* holder = new CDialixCallback();
    m_holder = holder;  // the previous one lives on with its sink
    CComPtr<IZembraCallback> sink;
    HRESULT hr = holder->SetScriptCallback(callback, sink);
    if (FAILED(hr)) return hr;
    return WithService([&](IZembra* service) { return service->Connect(sink); });
  });
}

NS_IMETHODIMP CDialix::Disconnect(const nsAString& clientId) {
  return ZCLComMethod("CDialix::Disconnect", ZCL_SITE, [&]() -> HRESULT {
    CComBSTR id = DialixToBstr(clientId);
    if (!id) return E_OUTOFMEMORY;
    return WithService([&](IZembra* service) { return service->Disconnect(id); });
  });
}

NS_IMETHODIMP CDialix::CreateOperation(const nsAString& clientId, const nsIID& kind,
                                       IOrvexDialixOperation** operation) {
  return ZCLComMethod("CDialix::CreateOperation", ZCL_SITE, [&]() -> HRESULT {
    if (!operation) return NS_ERROR_INVALID_ARG;
    *operation = nullptr;
    const IID* serviceKind = DialixServiceOperationKind(kind);
    if (!serviceKind) return E_NOTIMPL;
    CComBSTR id = DialixToBstr(clientId);
    if (!id) return E_OUTOFMEMORY;
    CComPtr<IOperation> made;
    HRESULT hr = WithService([&](IZembra* service) { return service->CreateOperation(id, *serviceKind, &made); });
    if (FAILED(hr)) return hr;
    return DialixWrapOperation(kind, made, operation);
  });
}

NS_IMETHODIMP CDialix::BeginOperation(IOrvexDialixOperation* operation) {
  return ZCLComMethod("CDialix::BeginOperation", ZCL_SITE, [&]() -> HRESULT {
    CDialixOperation* ours = DialixOwnObject<CDialixOperation>(operation);
    if (!ours || !ours->Wrapped()) return E_POINTER;
    CZembraClient* sink = m_holder ? m_holder->GetSink() : nullptr;
    if (!sink) return NS_ERROR_NOT_INITIALIZED;
    CComPtr<IOperation> wrapped(ours->Wrapped());
    sink->AddPending(operation);  // before the call: the completion may come first
    HRESULT hr = WithService([&](IZembra* service) { return service->BeginOperation(wrapped); });
    // The sink may have gone during the call (its window runs while COM waits).
    sink = m_holder ? m_holder->GetSink() : nullptr;
    if (FAILED(hr) && sink) sink->RemovePending(operation);
    return hr;
  });
}

nsresult CDialix::Subscription(const char* name, const nsAString& clientId, const nsIID& kind, bool subscribe) {
  return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
    const IID* serviceKind = NotificationKind(kind);
    if (!serviceKind) return E_NOTIMPL;
    CComBSTR id = DialixToBstr(clientId);
    if (!id) return E_OUTOFMEMORY;
    HRESULT hr = WithService([&](IZembra* service) {
      return subscribe ? service->SubscribeNotification(id, *serviceKind)
                       : service->UnsubscribeNotification(id, *serviceKind);
    });
    return FAILED(hr) ? hr : S_OK;
  });
}

NS_IMETHODIMP CDialix::SubscribeNotification(const nsAString& clientId, const nsIID& kind) {
  return Subscription("CDialix::SubscribeNotification", clientId, kind, true);
}

NS_IMETHODIMP CDialix::UnsubscribeNotification(const nsAString& clientId, const nsIID& kind) {
  return Subscription("CDialix::UnsubscribeNotification", clientId, kind, false);
}
