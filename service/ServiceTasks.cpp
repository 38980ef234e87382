#include <windows.h>
#include "ServiceTasks.h"
#include "CZembra.h"
#include "ZCLException.h"

namespace {

// The main object's lock covers taking the client's record only, never the
// call into the client: a client that calls CreateOperation from inside
// ConnectCompleted (the browser plug-ins do) would otherwise wait on the main
// thread for a lock that this thread holds while it waits for the client.
// The record lives while the call runs; anything thrown is logged here.
template <class Take, class Call>
void RunOnClient(CZembra* zembra, Take take, Call call) {
  try {
    CClientManager::ClientPtr client;
    {
      CComObjectLock<CZembra> lock(zembra);
      client = take(zembra->GetClientManager());
    }
    if (client) call(*client);
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
  }
}

}  // namespace

CConnectTask::CConnectTask(CZembra* zembra, const std::wstring& clientId)
    : CTask(zembra, clientId) {
  m_autoDelete = true;
}

void CConnectTask::Execute() {
  ZCLScopeTracer trace("CConnectTask::Execute");
  const wchar_t* id = m_clientId.c_str();
  RunOnClient(
      m_zembra, [id](CClientManager& clients) { return clients.GetClient(id); },
      [](CClient& client) { client.ConnectCompleted(); });
  ZCLLogMessage(4, nullptr, "CConnectTask::Execute() completed]");
}

CDisconnectTask::CDisconnectTask(CZembra* zembra, const std::wstring& clientId)
    : CTask(zembra, clientId) {
  m_autoDelete = true;
}

// The record goes when its last holder lets go, also when the call throws;
// a second task for the same client finds nothing.
void CDisconnectTask::Execute() {
  ZCLScopeTracer trace("CDisconnectTask::Execute");
  const wchar_t* id = m_clientId.c_str();
  RunOnClient(
      m_zembra, [id](CClientManager& clients) { return clients.RemoveClient(id); },
      [](CClient& client) { client.DisconnectCompleted(); });
  ZCLLogMessage(4, nullptr, "CDisconnectTask::Execute() completed]");
}

void CInitializeTrelkTask::Execute() {
  ZCLScopeTracer trace("CInitializeTrelkTask::Execute");
  m_zembra->InitializeTrelk();
}
