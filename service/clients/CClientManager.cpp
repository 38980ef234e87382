#include <windows.h>
#include "CClientManager.h"
#include <cstdio>
#include <algorithm>
#include "ZCLException.h"
#include "ZCLFrame.h"
#include "ZCLText.h"
#include "ZCLThreadName.h"
#include "ZCLWait.h"

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

CClientManager::CClientManager(ClientGoneHandler onClientGone) : m_onClientGone(std::move(onClientGone)) {}

CClientManager::~CClientManager() {
  ZCLGuarded(3, ZCL_SITE, [&] {
    RemoveAllClients();
    StopDeliveries();
  });
}

std::wstring CClientManager::AddClient(CGitCookie cookie) {
  ZCLScopeTracer trace("CClientManager::AddClient");
  CLockGuard guard(this);
  std::wstring id = MakeZembraId(++m_counter);
  ClientPtr client = std::make_shared<CClient>(id, std::move(cookie), m_onClientGone);
  m_deliveries.erase(std::remove_if(m_deliveries.begin(), m_deliveries.end(),
                                    [](const std::shared_ptr<CClientDelivery>& delivery) {
                                      return delivery->IsEnded();
                                    }),
                     m_deliveries.end());
  m_deliveries.push_back(client->GetDelivery());
  m_clients[id] = client;
  if (m_stopped) client->GetDelivery()->Stop();
  return id;
}

size_t CClientManager::StopDeliveries() {
  ZCLScopeTracer trace("CClientManager::StopDeliveries");
  std::vector<std::shared_ptr<CClientDelivery>> deliveries;
  {
    CLockGuard guard(this);
    m_stopped = true;
  }
  // The sweep calls no client and looks at the flag between polls: it ends
  // within one of them.
  m_sweepWake.Set();
  if (m_sweeper.GetHandle()) m_sweeper.Wait();
  {
    CLockGuard guard(this);
    deliveries.swap(m_deliveries);
  }
  for (auto& delivery : deliveries) delivery->Stop();
  // One wait for all: the process must end however many clients hang.
  const ULONGLONG deadline = ::GetTickCount64() + kDeliveryShutdownWait;
  size_t abandoned = 0;
  for (auto& delivery : deliveries) abandoned += delivery->WaitOrAbandon(deadline) ? 0 : 1;
  return abandoned;
}

size_t CClientManager::GetPendingDeliveries() {
  std::vector<std::shared_ptr<CClientDelivery>> deliveries;
  {
    CLockGuard guard(this);
    deliveries = m_deliveries;
  }
  size_t pending = 0;
  for (auto& delivery : deliveries) pending += delivery->GetPending();
  return pending;
}

void CClientManager::ClientsLetGo() {
  ZCLScopeTracer trace("CClientManager::ClientsLetGo");
  ZCLGuarded(1, ZCL_SITE, [&] {
    CLockGuard guard(this);
    if (m_stopped) return;
    bool pending = false;
    for (auto& delivery : m_deliveries) pending = pending || delivery->GetPending() > 0;
    if (!pending) return;
    if (!m_sweeper.GetHandle() && !m_sweeper.Create(&CClientManager::SweepProc, this))
      ZCLThrowOnFalse(false, ZCL_POS + " Failed to start the wait for stuck clients.");
    m_sweepWake.Set();
  });
}

unsigned __stdcall CClientManager::SweepProc(void* parameter) {
  auto* manager = static_cast<CClientManager*>(parameter);
  const HRESULT joined = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ZCLSetThreadName(0xFFFFFFFF, "ClientSweep");
  while (manager->m_sweepWake.Wait(INFINITE) && !manager->m_stopped)
    ZCLGuarded(1, ZCL_SITE, [&] { manager->Sweep(); });
  if (SUCCEEDED(joined)) ::CoUninitialize();
  return 0;
}

// A delivery seen with nothing pending at any poll is alive; one never seen
// so and inside a call at the end is stuck. Calls posted meanwhile count too.
void CClientManager::Sweep() {
  std::vector<std::shared_ptr<CClientDelivery>> deliveries;
  {
    CLockGuard guard(this);
    for (auto& delivery : m_deliveries)
      if (!delivery->IsEnded() && !delivery->IsGivenUp()) deliveries.push_back(delivery);
  }
  std::vector<bool> drained(deliveries.size(), false);
  ZCLWaitUntil([&] {
    bool all = true;
    for (size_t i = 0; i < deliveries.size(); ++i) {
      if (!drained[i] && deliveries[i]->GetPending() == 0) drained[i] = true;
      all = all && drained[i];
    }
    return all || m_stopped;
  }, kDeliveryShutdownWait);
  for (size_t i = 0; i < deliveries.size() && !m_stopped; ++i)
    if (!drained[i] && deliveries[i]->IsInCall()) deliveries[i]->GiveUp();
}

CClientManager::ClientPtr CClientManager::RemoveClient(const wchar_t* clientId) {
  ZCLScopeTracer trace("CClientManager::RemoveClient");
  CLockGuard guard(this);
  auto found = m_clients.find(ZCLNullToEmpty(clientId));
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
  auto found = m_clients.find(ZCLNullToEmpty(clientId));
  return found == m_clients.end() ? nullptr : found->second;
}

bool CClientManager::IsValidClientId(const wchar_t* clientId) {
  ZCLScopeTracer trace("CClientManager::IsValidClientId");
  return GetClient(clientId) != nullptr;
}

template <class Call>
bool CClientManager::WithClient(const wchar_t* clientId, const char* file, int line, Call call) {
  ClientPtr client = GetClient(clientId);
  if (!client) return false;
  bool result = false;
  ZCLGuarded(1, file, line, [&] { result = call(*client); });
  return result;
}

bool CClientManager::IsClientEnabled(const wchar_t* clientId) {
  ZCLScopeTracer trace("CClientManager::IsClientEnabled");
  return WithClient(clientId, ZCL_SITE, [](CClient& c) { return c.IsEnabled(); });
}

bool CClientManager::EnableClient(const wchar_t* clientId, bool enabled) {
  ZCLScopeTracer trace("CClientManager::EnableClient");
  return WithClient(clientId, ZCL_SITE, [enabled](CClient& c) {
    c.Enable(enabled);
    return true;
  });
}

bool CClientManager::AddNotificationSubscriber(const wchar_t* clientId, REFIID kind) {
  ZCLScopeTracer trace("CClientManager::AddNotificationSubscriber");
  return WithClient(clientId, ZCL_SITE, [&kind](CClient& c) { return c.Subscribe(kind); });
}

bool CClientManager::RemoveNotificationSubscriber(const wchar_t* clientId, REFIID kind) {
  ZCLScopeTracer trace("CClientManager::RemoveNotificationSubscriber");
  return WithClient(clientId, ZCL_SITE,
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
    ZCLGuarded(5, ZCL_SITE, [&] {
      if (client->IsEnabled()) (client.get()->*forwarder)(device);
    });
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
