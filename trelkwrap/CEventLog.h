#pragma once
#include <windows.h>
#include <memory>
#include "CFamilyHandle.h"
#include "TrelkApi.h"

namespace Trelk {

// A phone's event-log handle. An owning connection closes its handle when
// destroyed; a copy shares the handle without owning it, and sees it opened
// again after a reload of the library. Used by one thread at a time.
class CEventLogConnection {
public:
  explicit CEventLogConnection(DWORD handle = 0);
  CEventLogConnection(const CEventLogConnection& other);  // not owning
  CEventLogConnection& operator=(const CEventLogConnection& other);  // not owning
  ~CEventLogConnection();

  void Close();
  DWORD GetHandle() const { return m_handle->Peek(); }
  bool IsOwner() const { return m_owner; }
  CFamilyHandle& Family() const { return *m_handle; }

private:
  friend class CEventLog;
  std::shared_ptr<CFamilyHandle> m_handle;
  bool m_owner;
};

// The event-log library's lifetime and the opening of a phone's log. Used by
// one thread at a time.
class CEventLog {
public:
  CEventLog();
  ~CEventLog();

  void Initialize();
  void Terminate();
  // Opens the phone's log into the connection, which then owns the handle
  // (a handle it owned before is closed first).
  void Open(const wchar_t* serialNumber, CEventLogConnection& connection);
  bool IsInitialized() const { return m_initialized; }

private:
  CEventLog(const CEventLog&) = delete;
  CEventLog& operator=(const CEventLog&) = delete;
  bool m_initialized;
};

// Passes each call-log notification on to its sink (none when null).
// Start and Stop on the owner's thread; the notification methods on the
// library's thread, where they read only the sink, set at construction.
class CEventLogNotificationListener : public ILOGVEXNotify {
public:
  explicit CEventLogNotificationListener(ILOGVEXNotify* sink);
  // Nothing thrown by the sink reaches the library's thread: it is logged.
  DWORD OnLOGVEXNtf(DWORD dwParam, void* pIndicationData) override;
  DWORD OnLOGVEXConnectionLostNtf() override;
  virtual ~CEventLogNotificationListener();

  void Start(const CEventLogConnection& connection);
  void Stop();
  bool IsStarted() const { return m_started; }

private:
  CEventLogNotificationListener(const CEventLogNotificationListener&) = delete;
  CEventLogNotificationListener& operator=(const CEventLogNotificationListener&) = delete;

  CEventLogConnection m_connection;
  ILOGVEXNotify* m_sink;
  bool m_started;
};

}  // namespace Trelk
