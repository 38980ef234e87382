#include <windows.h>
#include "CEventLog.h"
#include "CTrelkException.h"
#include "TrelkBinding.h"
#include "TrelkCallTrace.h"
#include "ZCLLogger.h"

namespace Trelk {

namespace {
const DWORD kLOGVEXVersion = 10;

std::shared_ptr<CFamilyHandle> NewEventLogHandle() {
  return CFamilyHandle::Create(LOGVEXBinding(), [](DWORD handle) { return LOGVEX_CloseHandle(handle); });
}
}  // namespace

CEventLogConnection::CEventLogConnection(DWORD handle) : m_handle(NewEventLogHandle()), m_owner(true) {
  ZCLScopeTracer trace("Trelk::CEventLogConnection::CEventLogConnection");
  if (handle) m_handle->Adopt(handle);
}

CEventLogConnection::CEventLogConnection(const CEventLogConnection& other) : m_handle(other.m_handle), m_owner(false) {
  ZCLScopeTracer trace("Trelk::CEventLogConnection::CEventLogConnection");
}

CEventLogConnection& CEventLogConnection::operator=(const CEventLogConnection& other) {
  if (this == &other) return *this;
  if (m_owner) Close();
  m_handle = other.m_handle;
  m_owner = false;
  return *this;
}

CEventLogConnection::~CEventLogConnection() {
  ZCLScopeTracer trace("Trelk::CEventLogConnection::~CEventLogConnection");
  if (m_owner) Close();
}

void CEventLogConnection::Close() {
  ZCLScopeTracer trace("Trelk::CEventLogConnection::Close");
  m_handle->Close();
}

CEventLog::CEventLog() : m_initialized(false) { ZCLScopeTracer trace("Trelk::CEventLog::CEventLog"); }

CEventLog::~CEventLog() {
  ZCLScopeTracer trace("Trelk::CEventLog::~CEventLog");
  Terminate();
}

void CEventLog::Initialize() {
  ZCLScopeTracer trace("Trelk::CEventLog::Initialize");
  TrelkThrowOnFail(LOGVEX_Initialize(kLOGVEXVersion, 0));
  m_initialized = true;
}

void CEventLog::Terminate() {
  ZCLScopeTracer trace("Trelk::CEventLog::Terminate");
  if (!m_initialized) return;
  LOGVEX_Terminate(0);
  m_initialized = false;
}

void CEventLog::Open(const wchar_t* serialNumber, CEventLogConnection& connection) {
  ZCLScopeTracer trace("Trelk::CEventLog::Open");
  // A copy's handle is its owner's: the copy gets one of its own.
  if (connection.m_owner)
    connection.Close();
  else
    connection.m_handle = NewEventLogHandle();
  connection.m_handle->Open(PhoneOpener(serialNumber, [](const wchar_t* serial, DWORD* media, DWORD* handle) {
    return LOGVEX_OpenHandle(serial, media, 0, handle);
  }));
  connection.m_owner = true;
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
