#include <windows.h>
#include "ServiceTasks.h"
#include "CClientManager.h"
#include "ZCLException.h"
#include "ZCLFrame.h"

namespace {

// The forwarder only queues the call for the client's own delivery thread.
// The record lives while the forwarder runs; anything thrown is logged here.
template <class Take, class Call>
void RunOnClient(CClientManager& clients, Take take, Call call) {
  ZCLGuarded(3, ZCL_SITE, [&] {
    CClientManager::ClientPtr client = take(clients);
    if (client) call(*client);
  });
}

}  // namespace

CConnectTask::CConnectTask(CClientManager& clients, const std::wstring& clientId)
    : CTask(clientId), m_clients(clients) {
  m_autoDelete = true;
}

void CConnectTask::Execute() {
  ZCLScopeTracer trace("CConnectTask::Execute");
  const wchar_t* id = m_clientId.c_str();
  RunOnClient(
      m_clients, [id](CClientManager& clients) { return clients.GetClient(id); },
      [](CClient& client) { client.ConnectCompleted(); });
  ZCLLogMessage(4, nullptr, "CConnectTask::Execute() completed]");
}

CDisconnectTask::CDisconnectTask(CClientManager& clients, const std::wstring& clientId)
    : CTask(clientId), m_clients(clients) {
  m_autoDelete = true;
}

// The record goes when its last holder lets go, also when the call throws;
// a second task for the same client finds nothing.
void CDisconnectTask::Execute() {
  ZCLScopeTracer trace("CDisconnectTask::Execute");
  const wchar_t* id = m_clientId.c_str();
  RunOnClient(
      m_clients, [id](CClientManager& clients) { return clients.RemoveClient(id); },
      [](CClient& client) { client.DisconnectCompleted(); });
  ZCLLogMessage(4, nullptr, "CDisconnectTask::Execute() completed]");
}
