#pragma once
#include <windows.h>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "CClient.h"
#include "CLockable.h"
#include "CSyncEvent.h"
#include "CThreadHandle.h"
#include "ZCLLogger.h"

// The connected clients, keyed by client id, and the deliveries of every
// client not yet ended.
//
// Every operation may be called from any thread: the manager's lock guards
// the counter, the map and the deliveries only. Fan-outs take a snapshot of
// the records under the lock and queue their calls outside it; the clients
// are called on their own delivery threads.
class CClientManager : public CLockable {
public:
  typedef std::shared_ptr<CClient> ClientPtr;

  // A client whose process is gone is handed to onClientGone.
  explicit CClientManager(ClientGoneHandler onClientGone = ClientGoneHandler());
  ~CClientManager();

  // Makes a new client id ("%08x-%08x%08x%08x%08x", counter first) and an
  // enabled record that owns the callback's registration. Throws ZCLComException.
  std::wstring AddClient(CGitCookie cookie);
  // Takes the record out; it goes when its last holder lets go. Null when unknown.
  ClientPtr RemoveClient(const wchar_t* clientId);
  void RemoveAllClients();
  ClientPtr GetClient(const wchar_t* clientId);
  // The end of the service: every delivery makes what it has queued within
  // one bounded wait (kDeliveryShutdownWait); those of clients that do not
  // return are abandoned. Returns how many were. Called from the main
  // object's tear-down while its task queue still exists; the destructor
  // calls it again.
  size_t StopDeliveries();
  // Calls queued for, or being made on, all clients together.
  size_t GetPendingDeliveries();
  // No client holds the main object any more: the calls on their way get one
  // bounded wait (kDeliveryShutdownWait) on a thread of the manager's own,
  // and a client still inside a call then is given up on, so that the
  // objects queued for it no longer keep the process alive. Returns at once.
  void ClientsLetGo();

  bool IsValidClientId(const wchar_t* clientId);
  bool IsClientEnabled(const wchar_t* clientId);
  bool EnableClient(const wchar_t* clientId, bool enabled);
  bool AddNotificationSubscriber(const wchar_t* clientId, REFIID kind);
  bool RemoveNotificationSubscriber(const wchar_t* clientId, REFIID kind);

  // To every enabled client; a failing client does not stop the others.
  void NewDevice(IDevice* device);
  void DeviceStateChanged(IDevice* device);
  // To every client subscribed to the kind, enabled or not.
  void Notify(REFIID kind, ISNotification* notification);

private:
  static unsigned __stdcall SweepProc(void* parameter);
  void Sweep();
  std::vector<ClientPtr> Snapshot();
  // A failing client does not stop the others.
  void ToEnabledClients(IDevice* device, void (CClient::*forwarder)(IDevice*));
  template <class Call>
  bool WithClient(const wchar_t* clientId, const char* file, int line, Call call);

  ZCLObjectTracer<CClientManager> m_tracer;
  const ClientGoneHandler m_onClientGone;
  ULONG m_counter = 0;
  std::map<std::wstring, ClientPtr> m_clients;
  // Kept past their records, so the end can wait for calls still on their way.
  std::vector<std::shared_ptr<CClientDelivery>> m_deliveries;
  std::atomic<bool> m_stopped{false};
  // Sweeps one request after the other; started by the first ClientsLetGo
  // that finds calls pending, under the lock, and joined by StopDeliveries.
  CThreadHandle m_sweeper;
  CEventHandle m_sweepWake;
};

// The text form of client and operation ids: the counter, then a new GUID's
// first three fields and eight more digits. Throws ZCLComException.
std::wstring MakeZembraId(ULONG counter);
