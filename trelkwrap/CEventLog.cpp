#include <windows.h>
#include "CEventLog.h"
#include "CTrelkException.h"
#include "TrelkBinding.h"
#include "TrelkCallTrace.h"
#include "ZCLLogger.h"

namespace Trelk {

const CLibraryFamily kLOGVEXFamily = {
    "Trelk::CEventLog", &LOGVEXBinding,
    "LOGVEX_Initialize", [] { return LOGVEX_Initialize(10, 0); },
    "LOGVEX_Terminate", [] { return LOGVEX_Terminate(0); },
    "LOGVEX_CloseHandle", [](DWORD handle) { return LOGVEX_CloseHandle(handle); }};

void CEventLog::Open(const wchar_t* serialNumber, CEventLogConnection& connection) {
  ZCLScopeTracer trace("Trelk::CEventLog::Open");
  connection.Open(serialNumber, [](const wchar_t* serial, DWORD* media, DWORD* handle) {
    return LoggedCall("LOGVEX_OpenHandle", [&] { return LOGVEX_OpenHandle(serial, media, 0, handle); });
  });
}

CLogRead::CLogRead(CEventLogConnection& connection) {
  DWORD handle = connection.Family().Handle();
  TrelkThrowOnFail(LoggedCall("LOGVEX_ReadBegin", [&] { return LOGVEX_ReadBegin(handle, 0, &m_read); }));
}

CLogRead::~CLogRead() {
  if (m_read) LOGVEX_ReadEnd(m_read);
}

// The entry's data is handed back on every path, its result not examined.
bool CLogRead::Next(const std::function<void(const LOGVEX_LOG_ITEM&)>& use) {
  // Cleared before each read: nothing of the last entry may pass for this one.
  LOGVEX_LOG_ITEM item;
  ZeroMemory(&item, sizeof(item));
  item.dwSize = sizeof(LOGVEX_LOG_ITEM);
  DWORD result = LoggedCall("LOGVEX_ReadNext", [&] { return LOGVEX_ReadNext(m_read, 0, &item); });
  if (result == ELNYX_ALL_LISTED) return false;
  TrelkThrowOnFail(result);
  struct FreeItem {
    LOGVEX_LOG_ITEM* item;
    ~FreeItem() { LoggedCall("LOGVEX_FreeLogItem", [&] { return LOGVEX_FreeLogItem(item); }); }
  } free{&item};
  use(item);
  return true;
}

void CLogRead::End() {
  DWORD read = m_read;
  m_read = 0;
  TrelkThrowOnFail(LoggedCall("LOGVEX_ReadEnd", [&] { return LOGVEX_ReadEnd(read); }));
}

CEventLogNotificationListener::CEventLogNotificationListener(ILOGVEXNotify* sink)
    : m_connection(), m_sink(sink), m_started(false) {
  ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::CEventLogNotificationListener");
  m_connection = CEventLogConnection(0);  // a copy of no handle, not owning
}

CEventLogNotificationListener::~CEventLogNotificationListener() {
  ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::~CEventLogNotificationListener");
  Stop();
}

void CEventLogNotificationListener::Start(const CEventLogConnection& connection) {
  ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::Start");
  if (m_started) Stop();
  m_connection = connection;
  // Registered again on the connection's new handle after each reload.
  ILOGVEXNotify* self = this;
  m_connection.Family().RegisterSink(
      self, [self](DWORD handle, DWORD operation) { return LOGVEX_RegisterNotifyIF(handle, operation, self); });
  m_started = true;
}

void CEventLogNotificationListener::Stop() {
  ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::Stop");
  if (!m_started) return;
  m_connection.Family().UnregisterSink(static_cast<ILOGVEXNotify*>(this));
  m_started = false;
}

DWORD CEventLogNotificationListener::OnLOGVEXNtf(DWORD dwParam, void* pIndicationData) {
  NotificationGuarded(ZCL_SITE, [&] {
    ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::OnLOGVEXNtf");
    ZCLLogMessage(4, nullptr, "dwParam: %d, indinfo: %p", static_cast<int>(dwParam), pIndicationData);
    if (m_sink) m_sink->OnLOGVEXNtf(dwParam, pIndicationData);
  });
  return 0;
}

DWORD CEventLogNotificationListener::OnLOGVEXConnectionLostNtf() {
  NotificationGuarded(ZCL_SITE, [&] {
    ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::OnLOGVEXConnectionLostNtf");
    if (m_sink) m_sink->OnLOGVEXConnectionLostNtf();
  });
  return 0;
}

}  // namespace Trelk
