#include <windows.h>
#include "CClientManager.h"
#include <cstdio>
#include "ZCLException.h"

namespace {

std::wstring Key(const wchar_t* clientId) { return clientId ? clientId : L""; }

}  // namespace

std::wstring MakeZembraId(ULONG counter) {
  GUID guid;
  ZCLComThrowOnFail(::CoCreateGuid(&guid), ZCL_POS);
  const unsigned fifth = (static_cast<unsigned>(guid.Data4[0]) << 24) |
                         (static_cast<unsigned>(guid.Data4[1]) << 16) |
                         (static_cast<unsigned>(guid.Data4[2]) << 8) | guid.Data4[3];
  wchar_t text[48];
  std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%08x-%08x%08x%08x%08x",
                static_cast<unsigned>(counter), static_cast<unsigned>(guid.Data1),
                static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3), fifth);
  return text;
}

CClientManager::CClientManager() {}

CClientManager::~CClientManager() { RemoveAllClients(); }

std::wstring CClientManager::AddClient(DWORD cookie, CZembra* zembra) {
  ZCLScopeTracer trace("CClientManager::AddClient");
  CLockGuard guard(this);
  std::wstring id = MakeZembraId(++m_counter);
  m_clients[id] = std::make_shared<CClient>(id, cookie, zembra);
  return id;
}

CClientManager::ClientPtr CClientManager::RemoveClient(const wchar_t* clientId) {
  ZCLScopeTracer trace("CClientManager::RemoveClient");
  CLockGuard guard(this);
  auto found = m_clients.find(Key(clientId));
  if (found == m_clients.end()) return nullptr;
  ClientPtr client = found->second;
  m_clients.erase(found);
  return client;
}

void CClientManager::RemoveAllClients() {
  ZCLScopeTracer trace("CClientManager::RemoveAllClients");
  std::map<std::wstring, ClientPtr> clients;
  {
    CLockGuard guard(this);
    clients.swap(m_clients);
  }
  // The records go outside the lock: their destructors call into the GIT.
  clients.clear();
}

CClientManager::ClientPtr CClientManager::GetClient(const wchar_t* clientId) {
  ZCLScopeTracer trace("CClientManager::GetClient");
  CLockGuard guard(this);
  auto found = m_clients.find(Key(clientId));
  return found == m_clients.end() ? nullptr : found->second;
}

bool CClientManager::IsValidClientId(const wchar_t* clientId) {
  ZCLScopeTracer trace("CClientManager::IsValidClientId");
  return GetClient(clientId) != nullptr;
}

template <class Call>
bool CClientManager::WithClient(const wchar_t* clientId, const char* position, Call call) {
  ClientPtr client = GetClient(clientId);
  if (!client) return false;
  try {
    return call(*client);
  } catch (...) {
    ZCLLogMessage(1, nullptr, "%s", position);
    return false;
  }
}

bool CClientManager::IsClientEnabled(const wchar_t* clientId) {
  ZCLScopeTracer trace("CClientManager::IsClientEnabled");
  return WithClient(clientId, ZCL_POS.c_str(), [](CClient& c) { return c.IsEnabled(); });
}

bool CClientManager::EnableClient(const wchar_t* clientId, bool enabled) {
  ZCLScopeTracer trace("CClientManager::EnableClient");
  return WithClient(clientId, ZCL_POS.c_str(), [enabled](CClient& c) {
    c.Enable(enabled);
    return true;
  });
}

bool CClientManager::AddNotificationSubscriber(const wchar_t* clientId, REFIID kind) {
  ZCLScopeTracer trace("CClientManager::AddNotificationSubscriber");
  return WithClient(clientId, ZCL_POS.c_str(), [&kind](CClient& c) { return c.Subscribe(kind); });
}

bool CClientManager::RemoveNotificationSubscriber(const wchar_t* clientId, REFIID kind) {
  ZCLScopeTracer trace("CClientManager::RemoveNotificationSubscriber");
  return WithClient(clientId, ZCL_POS.c_str(),
                    [&kind](CClient& c) { return c.Unsubscribe(kind); });
}

std::vector<CClientManager::ClientPtr> CClientManager::Snapshot() {
  CLockGuard guard(this);
  std::vector<ClientPtr> clients;
  clients.reserve(m_clients.size());
  for (auto& entry : m_clients) clients.push_back(entry.second);
  return clients;
}

void CClientManager::ToEnabledClients(IDevice* device, void (CClient::*forwarder)(IDevice*)) {
  for (ClientPtr& client : Snapshot()) {
    try {
      if (client->IsEnabled()) (client.get()->*forwarder)(device);
    } catch (...) {
    }
  }
}

void CClientManager::NewDevice(IDevice* device) {
  ZCLScopeTracer trace("CClientManager::NewDevice");
  ToEnabledClients(device, &CClient::NewDevice);
}

void CClientManager::DeviceStateChanged(IDevice* device) {
  ZCLScopeTracer trace("CClientManager::DeviceStateChanged");
  ToEnabledClients(device, &CClient::DeviceStateChanged);
}

void CClientManager::Notify(REFIID kind, ISNotification* notification) {
  ZCLScopeTracer trace("CClientManager::Notify");
  for (ClientPtr& client : Snapshot()) client->Notify(kind, notification);
}
