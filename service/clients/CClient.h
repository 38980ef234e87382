#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "CClientDelivery.h"
#include "CLockable.h"
#include "ComPtr.h"
#include "SZembra.h"
#include "ZCLLogger.h"


// One connected client: its id, its notification subscriptions and the
// delivery that makes the service's calls on its callback.
//
// Reached from the main thread, the task-queue thread, the device-manager
// thread and the library's notification threads at once; records are held by
// shared ownership, so a forwarder keeps its record alive while a disconnect
// task takes it out of the manager. The subscriptions have their own lock.
// The forwarders only queue the call: the client is called on its delivery
// thread, never on the caller's, and never under a lock.
class CClient {
public:
  // Starts the client's delivery thread, which owns the cookie from then on.
  // Throws ZCLException.
  CClient(const std::wstring& clientId, CGitCookie cookie, ClientGoneHandler onGone);
  // The delivery makes the calls already queued, then revokes the cookie.
  ~CClient();

  const std::wstring& GetClientId() const { return m_clientId; }
  bool IsEnabled() const;
  void Enable(bool enabled);

  // False when the kind is subscribed already.
  bool Subscribe(REFIID kind);
  // Removes every entry of the kind; always true.
  bool Unsubscribe(REFIID kind);
  bool IsSubscribed(REFIID kind);

  // The client's callback for the calling thread, from the GIT. Throws
  // ZCLComException.
  CComPtr<IZembraCallback> GetCallback();

  // Forwarders: each queues its call and returns. On the delivery thread a
  // client whose process is gone is disabled and its removal queued; other
  // failures are logged there. ConnectCompleted is made before anything
  // queued earlier; nothing is taken after DisconnectCompleted, where a gone
  // client is only logged. Notify queues only a subscribed kind. They throw
  // only when memory runs out.
  void ConnectCompleted();
  void OperationCompleted(const std::wstring& operationId, IOperation* operation);
  void OperationFailed(const std::wstring& operationId, HRESULT hr, IErrorInfo* errorInfo);
  void NewDevice(IDevice* device);
  void DeviceStateChanged(IDevice* device);
  void DisconnectCompleted();
  void Notify(REFIID kind, ISNotification* notification);

  const std::shared_ptr<CClientDelivery>& GetDelivery() const { return m_delivery; }

private:
  CClient(const CClient&) = delete;
  CClient& operator=(const CClient&) = delete;

  ZCLObjectTracer<CClient> m_tracer;
  const std::wstring m_clientId;
  std::shared_ptr<CClientDelivery> m_delivery;
  CLockable m_subscriptionsLock;
  std::vector<IID> m_subscriptions;
};
