#pragma once
#include <windows.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "CClient.h"
#include "CLockable.h"
#include "ZCLLogger.h"

// The connected clients, keyed by client id.
//
// Every operation may be called from any thread: the manager's lock guards
// the counter and the map only. Fan-outs take a snapshot of the records under
// the lock and call the clients outside it, so a client that calls the
// service back from inside a callback never meets a held lock.
class CClientManager : public CLockable {
public:
  typedef std::shared_ptr<CClient> ClientPtr;

  CClientManager();
  ~CClientManager();

  // Makes a new client id ("%08x-%08x%08x%08x%08x", counter first) and an
  // enabled record for the cookie. Throws ZCLComException.
  std::wstring AddClient(DWORD cookie, CZembra* zembra);
  // Takes the record out; it goes when its last holder lets go. Null when unknown.
  ClientPtr RemoveClient(const wchar_t* clientId);
  void RemoveAllClients();
  ClientPtr GetClient(const wchar_t* clientId);

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
  std::vector<ClientPtr> Snapshot();
  // A failing client does not stop the others.
  void ToEnabledClients(IDevice* device, void (CClient::*forwarder)(IDevice*));
  template <class Call>
  bool WithClient(const wchar_t* clientId, const char* position, Call call);

  ZCLObjectTracer<CClientManager> m_tracer;
  ULONG m_counter = 0;
  std::map<std::wstring, ClientPtr> m_clients;
};

// The text form of client and operation ids: the counter, then a new GUID's
// first three fields and eight more digits. Throws ZCLComException.
std::wstring MakeZembraId(ULONG counter);
