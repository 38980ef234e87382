#include <windows.h>
#include "CEventLog.h"
#include "CTrelkException.h"
#include "TrelkCallTrace.h"
#include "ZCLLogger.h"

namespace Trelk {

namespace {
const DWORD kLOGVEXVersion = 10;
}  // namespace

CEventLogConnection::CEventLogConnection(DWORD handle) : m_handle(handle), m_owner(true) {
  ZCLScopeTracer trace("Trelk::CEventLogConnection::CEventLogConnection");
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
  if (m_handle == 0) return;
  LOGVEX_CloseHandle(m_handle);
  m_handle = 0;
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
  if (connection.m_owner) connection.Close();
  DWORD handle = 0;
  DWORD media = TRELK_OPEN_MEDIA;
  TrelkThrowOnFail(LOGVEX_OpenHandle(serialNumber, &media, 0, &handle));
  connection.m_handle = handle;
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
  TrelkThrowOnFail(LOGVEX_RegisterNotifyIF(m_connection.GetHandle(), TRELK_NOTIFY_REGISTER, this));
  m_started = true;
}

void CEventLogNotificationListener::Stop() {
  ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::Stop");
  if (!m_started) return;
  LOGVEX_RegisterNotifyIF(m_connection.GetHandle(), TRELK_NOTIFY_UNREGISTER, this);
  m_started = false;
}

DWORD CEventLogNotificationListener::OnLOGVEXNtf(DWORD dwParam, void* pIndicationData) {
  ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::OnLOGVEXNtf");
  try {
    ZCLLogMessage(4, nullptr, "dwParam: %d, indinfo: %p", static_cast<int>(dwParam), pIndicationData);
    if (m_sink) m_sink->OnLOGVEXNtf(dwParam, pIndicationData);
  }
  TRELK_NOTIFY_CATCH_ALL
  return 0;
}

DWORD CEventLogNotificationListener::OnLOGVEXConnectionLostNtf() {
  ZCLScopeTracer trace("Trelk::CEventLogNotificationListener::OnLOGVEXConnectionLostNtf");
  try {
    if (m_sink) m_sink->OnLOGVEXConnectionLostNtf();
  }
  TRELK_NOTIFY_CATCH_ALL
  return 0;
}

}  // namespace Trelk
