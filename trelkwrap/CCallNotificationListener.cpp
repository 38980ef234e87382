#include <windows.h>
#include "CCallNotificationListener.h"
#include "CTrelkException.h"
#include "TrelkCallTrace.h"

namespace Trelk {

namespace {
const DWORD kCallStatusChanged = 5;
const BYTE kStatusUnknown = 0xFF;
}  // namespace

CCallNotificationListener::CCallNotificationListener(ICallNotify* sink)
    : m_connection(0, false), m_sink(sink), m_started(false) {
  ZCLScopeTracer trace("Trelk::CCallNotificationListener::CCallNotificationListener");
}

CCallNotificationListener::~CCallNotificationListener() {
  ZCLGuarded(3, ZCL_SITE, [&] {
    ZCLScopeTracer trace("Trelk::CCallNotificationListener::~CCallNotificationListener");
    try {
      Stop();
    } catch (const CTrelkException& e) {
      LogCaught(3, e);
    }
  });
}

void CCallNotificationListener::Start(const CCallConnection& connection) {
  ZCLScopeTracer trace("Trelk::CCallNotificationListener::Start");
  if (m_started) Stop();
  m_connection = connection;
  // Registered again on the connection's new handle after each reload.
  IWEXELNotify* self = this;
  m_connection.Family().RegisterSink(
      self, [self](DWORD handle, DWORD operation) { return WEXEL_RegisterNotifyIF(handle, operation, self); });
  m_started = true;
}

void CCallNotificationListener::Stop() {
  ZCLScopeTracer trace("Trelk::CCallNotificationListener::Stop");
  if (!m_started) return;
  m_started = false;
  m_connection.Family().UnregisterSink(static_cast<IWEXELNotify*>(this));
}

DWORD CCallNotificationListener::OnWEXELCallNtf(DWORD, DWORD dwNtfMsgID, DWORD dwCause, WEXEL_CALL_INFO* pCallInfo) {
  NotificationGuarded(ZCL_SITE, [&] {
    ZCLScopeTracer trace("Trelk::CCallNotificationListener::OnWEXELCallNtf");
    ZCLLogMessage(4, nullptr, "dwNtfMsgID: %d, dwCause: 0x%08X, id: %d", static_cast<int>(dwNtfMsgID),
                  static_cast<unsigned>(dwCause), pCallInfo ? pCallInfo->bCallId : 0);
    if (pCallInfo) Deliver(dwNtfMsgID, dwCause, pCallInfo);
  });
  return dwNtfMsgID;
}

void CCallNotificationListener::Deliver(DWORD notificationId, DWORD cause, WEXEL_CALL_INFO* record) {
  switch (notificationId) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
      if (m_sink) m_sink->OnCallNotify(notificationId, cause, CCallInfo(record));
      return;
    case kCallStatusChanged:
      break;
    default:
      return;
  }
  // The library's record is its own: a status learnt by asking goes into a copy.
  WEXEL_CALL_INFO patched = *record;
  if (patched.bStatus == kStatusUnknown) {
    WEXEL_CALL_INFO asked = {};
    asked.dwSize = sizeof(asked);
    asked.bCallId = patched.bCallId;
    DWORD unused = 0;
    if (WEXEL_GetCallStatus(m_connection.GetHandle(), 0, &asked, &unused) == 0) patched.bStatus = asked.bStatus;
    WEXEL_FreeCallInfoStruct(&asked);
  }
  if (m_sink) m_sink->OnCallNotify(kCallStatusChanged, cause, CCallInfo(&patched));
}

DWORD CCallNotificationListener::OnWEXELConnectionLostNtf() {
  NotificationGuarded(ZCL_SITE, [&] {
    ZCLScopeTracer trace("Trelk::CCallNotificationListener::OnWEXELConnectionLostNtf");
    if (m_sink) m_sink->OnCallConnectionLost();
  });
  return 0;
}

}  // namespace Trelk
