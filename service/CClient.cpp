#include <windows.h>
#include "CClient.h"
#include <algorithm>
#include "CZembra.h"
#include "ComBSTR.h"
#include "ServiceTasks.h"
#include "ZCLException.h"

namespace {

// A GIT object of the caller's own, not the module's: records outlive the
// main object's table in tear-down and are reached from threads that never
// asked the module for it.
CComPtr<IGlobalInterfaceTable> OwnGIT() {
  CComPtr<IGlobalInterfaceTable> git;
  HRESULT hr = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git));
  ZCLComCoCreateThrowOnFail(hr, CLSID_StdGlobalInterfaceTable, ZCL_POS);
  return git;
}

CComBSTR NewBSTR(const std::wstring& text) {
  CComBSTR copy(static_cast<int>(text.size()), text.c_str());
  if (!copy) ZCLComThrowOnFail(E_OUTOFMEMORY, ZCL_POS);
  return copy;
}

}  // namespace

CClient::CClient(const std::wstring& clientId, DWORD cookie, CZembra* zembra)
    : m_clientId(clientId), m_cookie(cookie), m_zembra(zembra) {}

CClient::~CClient() {
  ZCLScopeTracer trace("CClient::~CClient");
  try {
    {
      CLockGuard guard(&m_subscriptionsLock);
      m_subscriptions.clear();
    }
    if (m_cookie) {
      CComPtr<IGlobalInterfaceTable> git = OwnGIT();
      ZCLComThrowOnFail(git->RevokeInterfaceFromGlobal(m_cookie), ZCL_POS);
      m_cookie = 0;
    }
  } catch (const ZCLComException& e) {
    ZCLLogCaught(3, e);
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
  }
}

bool CClient::Subscribe(REFIID kind) {
  CLockGuard guard(&m_subscriptionsLock);
  if (std::find(m_subscriptions.begin(), m_subscriptions.end(), kind) != m_subscriptions.end())
    return false;
  m_subscriptions.push_back(kind);
  return true;
}

bool CClient::Unsubscribe(REFIID kind) {
  CLockGuard guard(&m_subscriptionsLock);
  m_subscriptions.erase(std::remove(m_subscriptions.begin(), m_subscriptions.end(), kind),
                        m_subscriptions.end());
  return true;
}

bool CClient::IsSubscribed(REFIID kind) {
  CLockGuard guard(&m_subscriptionsLock);
  return std::find(m_subscriptions.begin(), m_subscriptions.end(), kind) != m_subscriptions.end();
}

CComPtr<IZembraCallback> CClient::GetCallback() {
  ZCLScopeTracer trace("CClient::GetCallback");
  try {
    CComPtr<IGlobalInterfaceTable> git = OwnGIT();
    CComPtr<IZembraCallback> callback;
    ZCLComThrowOnFail(git->GetInterfaceFromGlobal(m_cookie, IID_IZembraCallback,
                                                  reinterpret_cast<void**>(&callback)),
                      ZCL_POS);
    return callback;
  } catch (const ZCLComException& e) {
    ZCLLogCaught(3, e);
    throw;
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    ZCLComThrowOnFail(E_UNEXPECTED, ZCL_POS);
  }
  return nullptr;
}

// The client's process is gone: no more events, and a disconnect task
// behind whatever runs now takes the record out.
void CClient::ClientGone() {
  m_enabled = false;
  if (m_zembra) m_zembra->AddTask(new CDisconnectTask(m_zembra, m_clientId));
}

template <class Call>
void CClient::Forward(const char* position, Call call) {
  try {
    CComPtr<IZembraCallback> callback = GetCallback();
    CComBSTR id = NewBSTR(m_clientId);
    ZCLComThrowOnFail(call(callback.p, id.m_str), position);
  } catch (const ZCLComException& e) {
    if (e.IsDisconnected()) ClientGone();
    throw;
  } catch (...) {
    ZCLComThrowOnFail(E_UNEXPECTED, position);
  }
}

void CClient::ConnectCompleted() {
  ZCLScopeTracer trace("CClient::ConnectCompleted");
  Forward(ZCL_POS.c_str(), [](IZembraCallback* cb, BSTR id) { return cb->ConnectCompleted(id); });
}

void CClient::OperationCompleted(const std::wstring& operationId, IOperation* operation) {
  ZCLScopeTracer trace("CClient::OperationCompleted");
  CComBSTR opId = NewBSTR(operationId);
  Forward(ZCL_POS.c_str(), [&](IZembraCallback* cb, BSTR id) {
    return cb->OperationCompleted(id, opId, operation);
  });
}

void CClient::OperationFailed(const std::wstring& operationId, HRESULT hr, IErrorInfo* errorInfo) {
  ZCLScopeTracer trace("CClient::OperationFailed");
  CComBSTR opId = NewBSTR(operationId);
  Forward(ZCL_POS.c_str(), [&](IZembraCallback* cb, BSTR id) {
    return cb->OperationFailed(id, opId, hr, errorInfo);
  });
}

void CClient::NewDevice(IDevice* device) {
  ZCLScopeTracer trace("CClient::NewDevice");
  Forward(ZCL_POS.c_str(), [&](IZembraCallback* cb, BSTR id) { return cb->NewDevice(id, device); });
}

void CClient::DeviceStateChanged(IDevice* device) {
  ZCLScopeTracer trace("CClient::DeviceStateChanged");
  Forward(ZCL_POS.c_str(),
          [&](IZembraCallback* cb, BSTR id) { return cb->DeviceStateChanged(id, device); });
}

void CClient::DisconnectCompleted() {
  ZCLScopeTracer trace("CClient::DisconnectCompleted");
  try {
    CComPtr<IZembraCallback> callback = GetCallback();
    CComBSTR id = NewBSTR(m_clientId);
    ZCLComThrowOnFail(callback->DisconnectCompleted(id), ZCL_POS);
  } catch (const ZCLComException& e) {
    if (e.IsDisconnected()) return;
    throw;
  } catch (...) {
    ZCLComThrowOnFail(E_UNEXPECTED, ZCL_POS);
  }
}

void CClient::Notify(REFIID kind, ISNotification* notification) {
  ZCLScopeTracer trace("CClient::Notify");
  try {
    if (!IsSubscribed(kind)) return;
    CComPtr<IZembraCallback> callback = GetCallback();
    if (!callback) ZCLComThrowOnFail(E_FAIL, "GetCallback() Failed " + ZCL_POS);
    CComBSTR id = NewBSTR(m_clientId);
    ZCLComThrowOnFail(callback->Notification(id, kind, notification), ZCL_POS);
  } catch (const ZCLComException& e) {
    if (e.IsDisconnected()) ClientGone();
    ZCLLogMessage(5, nullptr, "[ZCLComException\n0x%08X\n%s\n]",
                  static_cast<unsigned>(e.GetHResult()), e.GetMessageText().c_str());
  } catch (...) {
    ZCLLogMessage(5, nullptr, "[Unexpected exception!\n0x%08X\n%s\n]",
                  static_cast<unsigned>(E_UNEXPECTED), ZCL_POS.c_str());
  }
}
