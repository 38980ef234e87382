#include <windows.h>
#include "COperationTask.h"
#include "ZCLException.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

namespace {

const char kNotReady[] = "Device is not yet ready, please retry after a while";

}  // namespace

void COperationTask::SetIds(const CServiceLinks* links, const std::wstring& clientId,
                            const std::wstring& operationId) {
  m_links = links;
  m_clientId = clientId;
  m_operationId = operationId;
}

CComPtr<IErrorInfo> COperationTask::MakeErrorInfo(const wchar_t* text) {
  CComPtr<IErrorInfo> info;
  HRESULT hr = AtlCreateErrorInfo(text, &info);
  if (hr == E_OUTOFMEMORY) ZCLComThrowOnFail(hr, ZCL_POS);
  return info;
}

void COperationTask::Queued() {
  CLockGuard guard(&m_propertyLock);
  ++m_pending;
}

void COperationTask::Unqueued() {
  CLockGuard guard(&m_propertyLock);
  if (m_pending > 0) --m_pending;
}

void COperationTask::EndRun() {
  if (m_runEnded) return;
  m_runEnded = true;
  Unqueued();
}

CComPtr<IUnknown> COperationTask::GetData() {
  CLockGuard guard(&m_propertyLock);
  return m_data;
}

void COperationTask::SetData(IUnknown* data) {
  CComPtr<IUnknown> old;
  {
    CLockGuard guard(&m_propertyLock);
    old = m_data;  // released outside the lock
    m_data = data;
  }
}

void COperationTask::DoWork(CZembraDevice*) {
  ZCLComThrowOnFail(E_NOTIMPL, ZCL_POS + " Not implemented!");
}

CClientManager::ClientPtr COperationTask::FindClient() {
  return m_links->clients.GetClient(m_clientId.c_str());
}

void COperationTask::LogClientNotFound() {
  ZCLLogMessage(2, nullptr, "Client with ID \"%ls\" not found, cannot send response!",
                m_clientId.c_str());
}

void COperationTask::Fail(CClient& client, EOperationState state, HRESULT hr,
                          const std::wstring& text) {
  m_state = state;
  EndRun();
  CComPtr<IErrorInfo> info = MakeErrorInfo(text.c_str());
  client.OperationFailed(m_operationId, hr, info);
}

void COperationTask::Complete(CClient& client) {
  EndRun();
  ZCLGuarded(1, ZCL_SITE, [&] {
    CComPtr<IUnknown> self(GetOperationInterface());  // alive while the client looks at it
    client.OperationCompleted(m_operationId, GetOperationInterface());
  });
}

void COperationTask::FailOrLog(const wchar_t* text) {
  CClientManager::ClientPtr client = FindClient();
  if (client) {
    Fail(*client, OperationFailed, E_FAIL, text);
  } else {
    m_state = OperationFailed;
    LogClientNotFound();
  }
}

// Whatever way the run ends, its queueing ends with it.
void COperationTask::Execute() {
  m_runEnded = false;
  struct CEnd {
    COperationTask* task;
    ~CEnd() { task->EndRun(); }
  } end{this};
  Run();
}

// The skeleton every operation shares; what escapes it (a failing
// OperationFailed of a client that is gone) goes to the queue's handler.
void COperationTask::Run() {
  m_state = OperationStarted;
  if (!HasAssignedObject()) {
    FailOrLog(ZCLNullToEmpty(GetMissingObjectText()));
    return;
  }
  CZembraDevicePtr device;
  std::wstring serial;
  if (GetDeviceSerial(serial)) {
    device = m_links->devices.Find(serial.c_str());
    if (!device) {
      FailOrLog(L"Invalid device.");
      return;
    }
  }
  CClientManager::ClientPtr client = FindClient();
  if (!client) {
    m_state = OperationFailed;
    LogClientNotFound();
    return;
  }
  try {
    // A disconnected phone is served from its local database.
    if (device) ZCLComThrowOnFalse(device->GetState() != DeviceConnecting, E_ACCESSDENIED, kNotReady);
    DoWork(device.get());
    m_state = OperationCompleted;
  } catch (const ZCLComException& e) {
    Fail(*client, OperationFailed, e.GetHResult(), ZCLAnsiToWide(e.GetMessageText().c_str()));
  } catch (const ZCLException& e) {
    Fail(*client, OperationFailed, E_FAIL, ZCLAnsiToWide(e.GetMessageText().c_str()));
  } catch (...) {
    Fail(*client, OperationFailed, E_UNEXPECTED, GetCatchAllText());
  }
  if (m_state == OperationCompleted) Complete(*client);
}
