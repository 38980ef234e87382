#pragma once
#include <windows.h>
#include <memory>
#include <functional>
#include "CFamilyConnection.h"
#include "TrelkApi.h"

namespace Trelk {

extern const CLibraryFamily kLOGVEXFamily;

// A phone's event-log handle. Used by one thread at a time; a listener's
// copy is read on the library's notification thread.
class CEventLogConnection : public CFamilyConnection<kLOGVEXFamily> {
public:
  explicit CEventLogConnection(DWORD handle = 0, bool owner = true)
      : CFamilyConnection<kLOGVEXFamily>("Trelk::CEventLogConnection", handle, owner) {}
};

// The event-log library's lifetime and the opening of a phone's log. Used by
// one thread at a time.
class CEventLog : public CFamilyLibrary<kLOGVEXFamily> {
public:
  // Opens the phone's log into the connection, which then owns the handle
  // (a handle it owned before is closed first).
  void Open(const wchar_t* serialNumber, CEventLogConnection& connection);
};

// One reading of a phone's call log, from its first entry on; ended by End
// or the destructor. Used by one thread at a time.
class CLogRead {
public:
  explicit CLogRead(CEventLogConnection& connection);
  ~CLogRead();

  // Hands the next entry to `use`, then gives the library's data back; false
  // when every entry was read.
  bool Next(const std::function<void(const LOGVEX_LOG_ITEM&)>& use);
  void End();

private:
  CLogRead(const CLogRead&) = delete;
  CLogRead& operator=(const CLogRead&) = delete;
  DWORD m_read = 0;
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
