#include <windows.h>
#include "COperationTask.h"
#include "CZembra.h"
#include "ZCLException.h"

// {0A3F7C52-61D4-4E1B-9B6E-5C2D8F4A7E19}: known only inside the service.
const IID IID_IZembraOperationTask = {
    0x0a3f7c52, 0x61d4, 0x4e1b, {0x9b, 0x6e, 0x5c, 0x2d, 0x8f, 0x4a, 0x7e, 0x19}};

namespace {

std::wstring FromAnsi(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0)
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                          length);
  return wide;
}

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

COperationTask* COperationTask::FromOperation(IUnknown* operation) {
  if (!operation) return nullptr;
  void* task = nullptr;
  if (operation->QueryInterface(IID_IZembraOperationTask, &task) != S_OK) return nullptr;
  return static_cast<COperationTask*>(task);
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
    Fail(*client, e.GetHResult(), FromAnsi(e.GetMessageText()));
  } catch (const ZCLException& e) {
    Fail(*client, E_FAIL, FromAnsi(e.GetMessageText()));
  } catch (...) {
    Fail(*client, E_UNEXPECTED, GetCatchAllText());
  }
}
