#include <windows.h>
#include "CClientDelivery.h"
#include "ComBSTR.h"
#include "ZCLException.h"
#include "ZCLFrame.h"
#include "ZCLThreadName.h"

namespace {

// A GIT object of the caller's own, not the module's: deliveries outlive the
// main object's table in tear-down and run on threads that never asked the
// module for it.
CComBSTR NewBSTR(const std::wstring& text) {
  CComBSTR copy(static_cast<UINT>(text.size()), text.c_str());
  if (!copy) ZCLComThrowOnFail(E_OUTOFMEMORY, ZCL_POS);
  return copy;
}

}  // namespace

CClientDelivery::CClientDelivery(const std::wstring& clientId, CGitCookie cookie, ClientGoneHandler onGone)
    : m_clientId(clientId), m_onGone(std::move(onGone)), m_cookie(std::move(cookie)) {}

// Runs on whichever thread lets go last: the delivery thread once it has
// ended, or the owner. An abandoned delivery is never destroyed.
CClientDelivery::~CClientDelivery() {
  ZCLGuarded(3, ZCL_SITE, [&] { RevokeCookie(); });
}

void CClientDelivery::Start() {
  // The thread holds its own reference; it lets go when it ends.
  auto* self = new std::shared_ptr<CClientDelivery>(shared_from_this());
  if (!m_thread.Create(&CClientDelivery::ThreadProc, self)) {
    delete self;
    ZCLThrowOnFalse(false, ZCL_POS + " Failed to start the delivery thread.");
  }
}

unsigned __stdcall CClientDelivery::ThreadProc(void* parameter) {
  std::unique_ptr<std::shared_ptr<CClientDelivery>> self(
      static_cast<std::shared_ptr<CClientDelivery>*>(parameter));
  ZCLGuarded(1, ZCL_SITE, [&] { (*self)->Run(); });
  return 0;
}

void CClientDelivery::Run() {
  const HRESULT joined = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ZCLSetThreadName(0xFFFFFFFF, "ClientDelivery");
  Item item{kPlain, nullptr, nullptr};
  while (TakeNext(item)) {
    Deliver(item);
    // The call's arguments (operations, devices) go now, not with the next call.
    item.call = nullptr;
  }
  bool abandoned;
  std::deque<Item> dropped;  // let go outside the lock
  {
    CLockGuard guard(&m_lock);
    abandoned = m_abandoned;
    dropped.swap(m_items);
  }
  dropped.clear();
  // Abandoned, the process may already be leaving COM: touch nothing.
  if (!abandoned) ZCLGuarded(3, ZCL_SITE, [&] { RevokeCookie(); });
  if (SUCCEEDED(joined) && !abandoned) ::CoUninitialize();
}

bool CClientDelivery::TakeNext(Item& item) {
  for (;;) {
    {
      CLockGuard guard(&m_lock);
      m_inFlight = nullptr;
      if (m_abandoned) return false;
      if (m_open && !m_items.empty()) {
        item = std::move(m_items.front());
        m_items.pop_front();
        m_inFlight = item.method;
        return true;
      }
      if (m_closed) return false;
    }
    m_wake.Wait(INFINITE);  // set by every post and by the end
  }
}

void CClientDelivery::Deliver(Item& item) {
  const int level = item.kind == kNotification ? 5 : 3;
  ZCLGuarded(level, ZCL_SITE, [&] {
    try {
      CComPtr<IZembraCallback> callback = GetCallback();
      CComBSTR id = NewBSTR(m_clientId);
      ZCLComThrowOnFail(item.call(callback, id), ZCL_POS + " " + item.method);
    } catch (const ZCLComException& e) {
      if (e.IsDisconnected() && item.kind != kLast) ClientGone();
      if (item.kind == kNotification) {
        ZCLLogMessage(5, nullptr, "[ZCLComException\n0x%08X\n%s\n]",
                      static_cast<unsigned>(e.GetHResult()), e.GetMessageText().c_str());
        return;
      }
      // The record is being removed already.
      if (e.IsDisconnected() && item.kind == kLast) return;
      throw;
    }
  });
}

// The client's process is gone, or it stopped taking calls: no more device
// events, and a disconnect task takes the record out. The lock keeps Stop
// from passing while a task is being queued.
void CClientDelivery::ClientGone() {
  m_enabled = false;
  CLockGuard guard(&m_lock);
  if (m_stopped || m_removalQueued || !m_onGone) return;
  m_removalQueued = true;
  m_onGone(m_clientId);
}

bool CClientDelivery::Post(Kind kind, const char* method, Call call) {
  bool overflow = false;
  size_t pending = 0;
  {
    CLockGuard guard(&m_lock);
    if (m_closed) return false;
    pending = m_items.size();
    if (kind != kFirst && kind != kLast && pending >= kMaxPendingDeliveries) {
      if (m_overflowed) return false;
      m_overflowed = overflow = true;
    } else {
      Item item{kind, method, std::move(call)};
      if (kind == kFirst)
        m_items.push_front(std::move(item));
      else
        m_items.push_back(std::move(item));
      if (kind == kFirst || kind == kLast) m_open = true;
      if (kind == kLast) m_closed = true;
    }
  }
  if (overflow) {
    ZCLLogMessage(1, nullptr, "Client %ls takes no calls, %u are waiting: disabled, %s dropped",
                  m_clientId.c_str(), static_cast<unsigned>(pending), method);
    ClientGone();
    return false;
  }
  m_wake.Set();
  return true;
}

void CClientDelivery::Close() {
  {
    CLockGuard guard(&m_lock);
    m_closed = true;
  }
  m_wake.Set();
}

void CClientDelivery::Stop() {
  {
    CLockGuard guard(&m_lock);
    m_closed = true;
    m_stopped = true;
  }
  m_wake.Set();
}

bool CClientDelivery::WaitOrAbandon(ULONGLONG deadline) {
  if (!m_thread.GetHandle()) return true;
  const ULONGLONG now = IsGivenUp() ? deadline : ::GetTickCount64();
  if (m_thread.WaitFor(now >= deadline ? 0 : static_cast<DWORD>(deadline - now))) return true;
  const char* inFlight;
  {
    CLockGuard guard(&m_lock);
    m_abandoned = true;
    inFlight = m_inFlight;
  }
  m_wake.Set();
  ZCLLogMessage(1, nullptr, "Client %ls has not returned from %s: its calls are abandoned",
                m_clientId.c_str(), inFlight ? inFlight : "a call");
  return false;
}

void CClientDelivery::GiveUp() {
  std::deque<Item> dropped;  // let go outside the lock: they release objects
  const char* inFlight;
  {
    CLockGuard guard(&m_lock);
    if (m_givenUp) return;
    m_givenUp = true;
    m_closed = true;
    dropped.swap(m_items);
    inFlight = m_inFlight;
  }
  m_wake.Set();
  ZCLLogMessage(1, nullptr, "Client %ls has not returned from %s: disabled, %u waiting calls dropped",
                m_clientId.c_str(), inFlight ? inFlight : "a call", static_cast<unsigned>(dropped.size()));
  dropped.clear();
  ClientGone();
}

bool CClientDelivery::IsGivenUp() {
  CLockGuard guard(&m_lock);
  return m_givenUp;
}

bool CClientDelivery::IsInCall() {
  CLockGuard guard(&m_lock);
  return m_inFlight != nullptr;
}

size_t CClientDelivery::GetPending() {
  CLockGuard guard(&m_lock);
  return m_items.size() + (m_inFlight ? 1 : 0);
}

bool CClientDelivery::IsEnded() const { return !m_thread.GetHandle() || !m_thread.IsRunning(); }

CComPtr<IZembraCallback> CClientDelivery::GetCallback() {
  ZCLScopeTracer trace("CClient::GetCallback");
  try {
    CComPtr<IZembraCallback> callback;
    ZCLComThrowOnFail(m_cookie.CopyTo(&callback), ZCL_POS);
    return callback;
  } catch (const ZCLComException& e) {
    ZCLLogCaught(3, e);
    throw;
  }
}

void CClientDelivery::RevokeCookie() {
  ZCLComThrowOnFail(m_cookie.Revoke(), ZCL_POS);
}
