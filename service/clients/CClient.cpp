#include <windows.h>
#include "CClient.h"
#include <algorithm>
#include "ComBSTR.h"
#include "ZCLFrame.h"

CClient::CClient(const std::wstring& clientId, CGitCookie cookie, ClientGoneHandler onGone)
    : m_clientId(clientId),
      m_delivery(std::make_shared<CClientDelivery>(clientId, std::move(cookie), std::move(onGone))) {
  ZCLScopeTracer trace("CClient::CClient");
  m_delivery->Start();
}

CClient::~CClient() {
  ZCLScopeTracer trace("CClient::~CClient");
  ZCLGuarded(3, ZCL_SITE, [&] {
    {
      CLockGuard guard(&m_subscriptionsLock);
      m_subscriptions.clear();
    }
    m_delivery->Close();
  });
}

bool CClient::IsEnabled() const {
  ZCLScopeTracer trace("CClient::IsEnabled");
  return m_delivery->IsEnabled();
}

void CClient::Enable(bool enabled) {
  ZCLScopeTracer trace("CClient::Enable");
  m_delivery->Enable(enabled);
}

bool CClient::Subscribe(REFIID kind) {
  ZCLScopeTracer trace("CClient::Subscribe");
  CLockGuard guard(&m_subscriptionsLock);
  if (std::find(m_subscriptions.begin(), m_subscriptions.end(), kind) != m_subscriptions.end())
    return false;
  m_subscriptions.push_back(kind);
  return true;
}

bool CClient::Unsubscribe(REFIID kind) {
  ZCLScopeTracer trace("CClient::Unsubscribe");
  CLockGuard guard(&m_subscriptionsLock);
  m_subscriptions.erase(std::remove(m_subscriptions.begin(), m_subscriptions.end(), kind),
                        m_subscriptions.end());
  return true;
}

bool CClient::IsSubscribed(REFIID kind) {
  CLockGuard guard(&m_subscriptionsLock);
  return std::find(m_subscriptions.begin(), m_subscriptions.end(), kind) != m_subscriptions.end();
}

CComPtr<IZembraCallback> CClient::GetCallback() { return m_delivery->GetCallback(); }

// The arguments travel with the call: the queued call holds its own
// references and copies until it has been made.
void CClient::ConnectCompleted() {
  ZCLScopeTracer trace("CClient::ConnectCompleted");
  m_delivery->Post(CClientDelivery::kFirst, "ConnectCompleted",
                   [](IZembraCallback* cb, BSTR id) { return cb->ConnectCompleted(id); });
}

void CClient::OperationCompleted(const std::wstring& operationId, IOperation* operation) {
  ZCLScopeTracer trace("CClient::OperationCompleted");
  CComPtr<IOperation> op(operation);
  m_delivery->Post(CClientDelivery::kPlain, "OperationCompleted",
                   [operationId, op](IZembraCallback* cb, BSTR id) {
                     CComBSTR opId(static_cast<UINT>(operationId.size()), operationId.c_str());
                     return opId ? cb->OperationCompleted(id, opId, op) : E_OUTOFMEMORY;
                   });
}

void CClient::OperationFailed(const std::wstring& operationId, HRESULT hr, IErrorInfo* errorInfo) {
  ZCLScopeTracer trace("CClient::OperationFailed");
  CComPtr<IErrorInfo> info(errorInfo);
  m_delivery->Post(CClientDelivery::kPlain, "OperationFailed",
                   [operationId, hr, info](IZembraCallback* cb, BSTR id) {
                     CComBSTR opId(static_cast<UINT>(operationId.size()), operationId.c_str());
                     return opId ? cb->OperationFailed(id, opId, hr, info) : E_OUTOFMEMORY;
                   });
}

void CClient::NewDevice(IDevice* device) {
  ZCLScopeTracer trace("CClient::NewDevice");
  CComPtr<IDevice> held(device);
  m_delivery->Post(CClientDelivery::kPlain, "NewDevice",
                   [held](IZembraCallback* cb, BSTR id) { return cb->NewDevice(id, held); });
}

void CClient::DeviceStateChanged(IDevice* device) {
  ZCLScopeTracer trace("CClient::DeviceStateChanged");
  CComPtr<IDevice> held(device);
  m_delivery->Post(CClientDelivery::kPlain, "DeviceStateChanged",
                   [held](IZembraCallback* cb, BSTR id) { return cb->DeviceStateChanged(id, held); });
}

void CClient::DisconnectCompleted() {
  ZCLScopeTracer trace("CClient::DisconnectCompleted");
  m_delivery->Post(CClientDelivery::kLast, "DisconnectCompleted",
                   [](IZembraCallback* cb, BSTR id) { return cb->DisconnectCompleted(id); });
}

// Never fails its sender: a notification that cannot be queued is logged.
void CClient::Notify(REFIID kind, ISNotification* notification) {
  ZCLScopeTracer trace("CClient::Notify");
  ZCLGuarded(5, ZCL_SITE, [&] {
    if (!IsSubscribed(kind)) return;
    const IID iid = kind;
    CComPtr<ISNotification> held(notification);
    m_delivery->Post(CClientDelivery::kNotification, "Notification",
                     [iid, held](IZembraCallback* cb, BSTR id) {
                       return cb->Notification(id, iid, held);
                     });
  });
}
