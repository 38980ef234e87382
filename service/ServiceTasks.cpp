#include <windows.h>
#include "ServiceTasks.h"
#include "CZembra.h"
#include "ZCLException.h"

CConnectTask::CConnectTask(CZembra* zembra, const std::wstring& clientId)
    : CTask(zembra, clientId) {
  m_autoDelete = true;
}

// The main object's lock covers the look-up only, never the call into the
// client: a client that calls CreateOperation from inside ConnectCompleted
// (the browser plug-ins do) would otherwise wait on the main thread for a
// lock that this thread holds while it waits for the client.
void CConnectTask::Execute() {
  ZCLScopeTracer trace("CConnectTask::Execute");
  try {
    CClientManager::ClientPtr client;
    {
      CComObjectLock<CZembra> lock(m_zembra);
      client = m_zembra->GetClientManager().GetClient(m_clientId.c_str());
    }
    if (client) client->ConnectCompleted();
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
  }
  ZCLLogMessage(4, nullptr, "CConnectTask::Execute() completed]");
}

CDisconnectTask::CDisconnectTask(CZembra* zembra, const std::wstring& clientId)
    : CTask(zembra, clientId) {
  m_autoDelete = true;
}

// As in CConnectTask, the lock is released before the client is called. The
// record goes when the last holder lets go, also when the call throws.
void CDisconnectTask::Execute() {
  ZCLScopeTracer trace("CDisconnectTask::Execute");
  try {
    CClientManager::ClientPtr client;
    {
      CComObjectLock<CZembra> lock(m_zembra);
      client = m_zembra->GetClientManager().RemoveClient(m_clientId.c_str());
    }
    if (client) client->DisconnectCompleted();
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
  }
  ZCLLogMessage(4, nullptr, "CDisconnectTask::Execute() completed]");
}

void CInitializeTrelkTask::Execute() {
  ZCLScopeTracer trace("CInitializeTrelkTask::Execute");
  m_zembra->InitializeTrelk();
}
