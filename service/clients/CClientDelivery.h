#pragma once
#include <windows.h>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include "CLockable.h"
#include "CSyncEvent.h"
#include "CThreadHandle.h"
#include "ComPtr.h"
#include "GitCookie.h"
#include "SZembra.h"
#include "ZCLLogger.h"

// Asks for the record of a client whose process is gone to be taken out; the
// request is queued, never carried out inside the call.
typedef std::function<void(const std::wstring& clientId)> ClientGoneHandler;

// Calls a client may leave waiting before it counts as stuck: it is then
// disabled and its removal queued, and later calls are dropped.
const size_t kMaxPendingDeliveries = 512;

// How long the end of the service waits for calls still on their way to
// clients before it abandons them and lets the process end.
const DWORD kDeliveryShutdownWait = 1000;

// The calls the service makes on one client, made in the order they were
// posted, on a thread of the client's own: a client that stops answering
// holds up nobody else.
//
// Post, Close, Stop, the enabled flag and the waits may be used from any
// thread; only the delivery thread calls the client, and never under a lock.
// The thread keeps the object alive while it runs, so the client's record
// may go while calls are still on their way.
class CClientDelivery : public std::enable_shared_from_this<CClientDelivery> {
public:
  // One call on the client's callback, given the callback and the client id.
  typedef std::function<HRESULT(IZembraCallback*, BSTR)> Call;
  enum Kind {
    // ConnectCompleted: goes before whatever was posted earlier; nothing is
    // delivered before it.
    kFirst,
    // A client found gone is disabled and its removal queued; other failures
    // are logged at level 3.
    kPlain,
    // As kPlain, but failures are logged at level 5 only.
    kNotification,
    // DisconnectCompleted: nothing is taken after it; a gone client is not
    // queued for removal again.
    kLast,
  };

  // Owns the callback's registration: it is revoked once the calls queued
  // before the end have been made, since those still need it. A client found
  // gone is handed to onGone once.
  CClientDelivery(const std::wstring& clientId, CGitCookie cookie, ClientGoneHandler onGone);
  ~CClientDelivery();

  // Starts the delivery thread. Throws ZCLException.
  void Start();

  // Queues a call; false when it was dropped (after the last call, after a
  // stop, or beyond the cap). Throws only when memory runs out.
  bool Post(Kind kind, const char* method, Call call);
  // Takes no more calls; the thread ends once it has made those queued.
  void Close();
  // The end of the service: as Close, and a client found gone from now on
  // is no longer queued for removal (the task queue is going away).
  void Stop();
  // Waits at most until the deadline (GetTickCount64) for the thread to end
  // (a client given up on is not waited for again). False when it has not:
  // it is then abandoned, makes no further call, and is left to end with the
  // process.
  bool WaitOrAbandon(ULONGLONG deadline);
  // A client that did not return from a call while the service was waiting
  // for it: takes no more calls, lets go of those queued (and so of the
  // objects they hold) and is disabled and its removal queued. The call
  // being made is left to return, if ever; the thread then ends. Once only.
  void GiveUp();
  bool IsGivenUp();
  bool IsInCall();
  bool IsEnded() const;
  // Calls queued or being made.
  size_t GetPending();

  bool IsEnabled() const { return m_enabled; }
  void Enable(bool enabled) { m_enabled = enabled; }
  const std::wstring& GetClientId() const { return m_clientId; }

  // The client's callback for the calling thread, unmarshalled from the GIT.
  // Throws ZCLComException.
  CComPtr<IZembraCallback> GetCallback();

private:
  struct Item {
    Kind kind;
    const char* method;
    Call call;
  };
  CClientDelivery(const CClientDelivery&) = delete;
  CClientDelivery& operator=(const CClientDelivery&) = delete;

  static unsigned __stdcall ThreadProc(void* parameter);
  void Run();
  bool TakeNext(Item& item);
  void Deliver(Item& item);
  void ClientGone();
  void RevokeCookie();

  ZCLObjectTracer<CClientDelivery> m_tracer;
  const std::wstring m_clientId;
  const ClientGoneHandler m_onGone;
  CGitCookie m_cookie;
  std::atomic<bool> m_enabled{true};
  CEventHandle m_wake;
  CThreadHandle m_thread;  // started and closed by the owner, never by the thread

  CLockable m_lock;  // guards what follows
  std::deque<Item> m_items;
  const char* m_inFlight = nullptr;  // the method being called, for the log
  bool m_open = false;        // ConnectCompleted (or the last call) was posted
  bool m_closed = false;      // no more calls are taken
  bool m_stopped = false;     // the service is ending
  bool m_abandoned = false;   // the end gave up waiting
  bool m_overflowed = false;  // the cap was reached once
  bool m_removalQueued = false;
  bool m_givenUp = false;
};
