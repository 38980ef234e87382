#include <windows.h>
#include "COperationTask.h"
#include "CZembra.h"
#include "ZCLException.h"
#include "ZCLText.h"

namespace {

void LogClientNotFound(const std::wstring& clientId) {
  ZCLLogMessage(2, nullptr, "Client with ID \"%ls\" not found, cannot send response!",
                clientId.c_str());
}

}  // namespace

void COperationTask::SetIds(CZembra* zembra, const std::wstring& clientId,
                            const std::wstring& operationId) {
  m_zembra = zembra;
  m_clientId = clientId;
  m_operationId = operationId;
}

CComPtr<IErrorInfo> COperationTask::MakeErrorInfo(const wchar_t* text) {
  CComPtr<IErrorInfo> info;
  HRESULT hr = AtlCreateErrorInfo(text, &info);
  if (hr == E_OUTOFMEMORY) ZCLComThrowOnFail(hr, ZCL_POS);
  return info;
}

void COperationTask::DoWork() {
  ZCLComThrowOnFail(E_NOTIMPL, ZCL_POS + " Not implemented!");
}

void COperationTask::Fail(CClient& client, HRESULT hr, const std::wstring& text) {
  m_state = OperationFailed;
  CComPtr<IErrorInfo> info = MakeErrorInfo(text.c_str());
  client.OperationFailed(m_operationId, hr, info);
}

// The skeleton every operation shares; what escapes it (a failing
// OperationFailed of a client that is gone) goes to the queue's handler.
void COperationTask::Execute() {
  m_state = OperationStarted;
  CClientManager::ClientPtr client = m_zembra->GetClientManager().GetClient(m_clientId.c_str());
  if (!HasAssignedObject()) {
    m_state = OperationFailed;
    if (client)
      Fail(*client, E_FAIL, GetMissingObjectText());
    else
      LogClientNotFound(m_clientId);
    return;
  }
  if (!client) {
    m_state = OperationFailed;
    LogClientNotFound(m_clientId);
    return;
  }
  try {
    DoWork();
    m_state = OperationCompleted;
    client->OperationCompleted(m_operationId, GetOperationInterface());
  } catch (const ZCLComException& e) {
    Fail(*client, e.GetHResult(), ZCLAnsiToWide(e.GetMessageText().c_str()));
  } catch (const ZCLException& e) {
    Fail(*client, E_FAIL, ZCLAnsiToWide(e.GetMessageText().c_str()));
  } catch (...) {
    Fail(*client, E_UNEXPECTED, GetCatchAllText());
  }
}
