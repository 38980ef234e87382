#include <windows.h>
#include "CDeviceCallControl.h"
#include <memory>
#include "CDeviceManager.h"
#include "ComTL.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

namespace {

CComBSTR Bstr(const std::wstring& text) {
  CComBSTR bstr(text.c_str());
  if (!bstr) throw std::bad_alloc();
  return bstr;
}

}  // namespace

CDeviceCallControl::CDeviceCallControl(CDeviceManager* deviceManager, ICallHandlerNotify* sink, const wchar_t* serial)
    : Trelk::CCallConnection(0, true),
      Trelk::CCallNotificationListener(this),
      m_serial(ZCLNullToEmpty(serial)),
      m_sink(sink),
      m_deviceManager(deviceManager) {
  ZCLScopeTracer trace("CDeviceCallControl::CDeviceCallControl");
  for (long id = 1; id <= 8; ++id) m_calls[id] = CCallState(CallStateIdle, 0);
}

// The listener stops before the connection closes its handle: bases go in
// the reverse order of their construction.
CDeviceCallControl::~CDeviceCallControl() {
  ZCLGuarded(3, ZCL_SITE, [&] {
    {
      CLockGuard guard(&m_lock);
      m_calls.clear();
    }
    Stop();
  });
}

CCallState CDeviceCallControl::GetCallState(long callId) {
  ZCLScopeTracer trace("CDeviceCallControl::GetCallState");
  CLockGuard guard(&m_lock);
  return m_calls[callId];
}

bool CDeviceCallControl::Apply(DWORD kind, DWORD cause, const Trelk::CCallInfo& call, CCallState* after) {
  long id = call.CallId();
  long target;
  BYTE numberType = 0;
  bool reset = false;
  switch (kind) {
    case WEXEL_NTF_TERMINATED: target = CallStateTerminated; break;
    case WEXEL_NTF_WAITING: target = CallStateWaiting; break;
    case WEXEL_NTF_REJECTED: target = CallStateRejected; break;
    case WEXEL_NTF_INCOMING:
      target = CallStateIncoming;
      reset = true;
      numberType = WEXEL_ADDRESS_CALLER;
      break;
    case WEXEL_NTF_STATUS:
      if (call.Status() == WEXEL_STATUS_ENDED) return Apply(WEXEL_NTF_TERMINATED, cause, call, after);
      if (call.Status() == WEXEL_STATUS_ACTIVE) {
        target = CallStateActive;
        break;
      }
      if (call.Status() != WEXEL_STATUS_DIALLING) return false;
      target = CallStateCalling;
      reset = true;
      numberType = WEXEL_ADDRESS_DIALLED;
      break;
    default:
      return false;
  }
  CLockGuard guard(&m_lock);
  // An id the table never held (the library's own numbering) starts idle.
  CCallState& record = m_calls[id];
  if (record.GetState() == target) return false;
  if (reset) {
    record = CCallState(target, 0);
    record.SetCallId(id);
    for (size_t i = 0; i < call.GetAddressCount(); ++i) {
      Trelk::CAddressInfo address = call.GetAddressAt(i);
      if (address.GetAddressType() == numberType) record.SetNumber(address.GetAddress());
      else if (address.GetAddressType() == WEXEL_ADDRESS_NAME) record.SetName(address.GetAddress());
    }
  } else {
    record.SetState(target);
    record.SetCallId(id);
    if (target != CallStateActive) record.SetCause(cause);
  }
  *after = record;
  return true;
}

void CDeviceCallControl::Tell(long callId, const CCallState& after) {
  CComBSTR serial = Bstr(m_serial);
  switch (after.GetState()) {
    case CallStateTerminated:
    case CallStateRejected:
      m_sink->OnTerminated(serial, callId, static_cast<long>(after.GetCause()));
      break;
    case CallStateWaiting:
      m_sink->OnWaiting(serial, callId);
      break;
    case CallStateActive:
      m_sink->OnActivated(serial, callId);
      break;
    case CallStateCalling:
      m_sink->OnCreated(serial, Bstr(after.GetNumber()), Bstr(after.GetName()), callId);
      break;
    case CallStateIncoming:
      m_sink->OnIncoming(serial, Bstr(after.GetNumber()), Bstr(after.GetName()), callId, nullptr);
      break;
  }
}

DWORD CDeviceCallControl::OnCallNotify(DWORD kind, DWORD cause, const Trelk::CCallInfo& call) {
  ZCLScopeTracer trace("CDeviceCallControl::OnCallNotify");
  CCallState after;
  if (Apply(kind, cause, call, &after) && m_sink) Tell(call.CallId(), after);
  return 0;
}

DWORD CDeviceCallControl::OnCallConnectionLost() {
  ZCLScopeTracer trace("CDeviceCallControl::OnCallConnectionLost");
  ZCLGuarded(2, ZCL_SITE, [&] {
    // Told once per handle, however often the library repeats it.
    if (m_lost.exchange(true)) return;
    if (m_sink) m_sink->OnConnectionLost(Bstr(m_serial));
    QueueDeviceOffline();
  });
  return 0;
}

void CDeviceCallControl::QueueDeviceOffline() {
  if (m_deviceManager) m_deviceManager->QueueDeviceOffline(m_serial.c_str());
}
