#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include <vector>
#include "CLockable.h"
#include "ComPtr.h"
#include "SZembra.h"
#include "ZCLLogger.h"

class CZembra;

// One connected client: its id, the GIT cookie of its callback and its
// notification subscriptions.
//
// Reached from the main thread, the task-queue thread, the device-manager
// thread and the library's notification threads at once; records are held by
// shared ownership, so a forwarder keeps its record alive while a disconnect
// task takes it out of the manager. The subscriptions have their own lock;
// no lock is held while the client is called.
class CClient {
public:
  CClient(const std::wstring& clientId, DWORD cookie, CZembra* zembra);
  ~CClient();

  const std::wstring& GetClientId() const { return m_clientId; }
  bool IsEnabled() const { return m_enabled; }
  void Enable(bool enabled) { m_enabled = enabled; }

  // False when the kind is subscribed already.
  bool Subscribe(REFIID kind);
  // Removes every entry of the kind; always true.
  bool Unsubscribe(REFIID kind);
  bool IsSubscribed(REFIID kind);

  // The client's callback for the calling thread, from the GIT. Throws
  // ZCLComException.
  CComPtr<IZembraCallback> GetCallback();

  // Forwarders: a failure throws ZCLComException; a client whose process is
  // gone is disabled and its removal queued first.
  void ConnectCompleted();
  void OperationCompleted(const std::wstring& operationId, IOperation* operation);
  void OperationFailed(const std::wstring& operationId, HRESULT hr, IErrorInfo* errorInfo);
  void NewDevice(IDevice* device);
  void DeviceStateChanged(IDevice* device);
  // Swallows a gone client: its record is being removed already.
  void DisconnectCompleted();
  // Calls Notification only for a subscribed kind; never throws.
  void Notify(REFIID kind, ISNotification* notification);

private:
  CClient(const CClient&) = delete;
  CClient& operator=(const CClient&) = delete;
  template <class Call>
  void Forward(const char* position, Call call);
  void ClientGone();

  ZCLObjectTracer<CClient> m_tracer;
  const std::wstring m_clientId;
  DWORD m_cookie;
  std::atomic<bool> m_enabled{true};
  CLockable m_subscriptionsLock;
  std::vector<IID> m_subscriptions;
  CZembra* m_zembra;
};
