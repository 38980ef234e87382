#pragma once
#include <windows.h>
#include "CCallInfo.h"
#include "TrelkApi.h"
#include "TrelkCallControl.h"
#include "ZCLLogger.h"

namespace Trelk {

// The sink of one phone's call events; called on the library's thread.
class ICallNotify {
public:
  virtual DWORD OnCallNotify(DWORD notificationId, DWORD cause, const CCallInfo& call) = 0;
  virtual DWORD OnCallConnectionLost() = 0;

protected:
  ~ICallNotify() {}
};

// Passes each call event of one handle on to its sink. Start and Stop on the
// owner's thread; the notification methods on the library's thread, where
// they read the sink (set at construction) and the handle.
class CCallNotificationListener : public IWEXELNotify {
public:
  explicit CCallNotificationListener(ICallNotify* sink);
  // Nothing thrown by the sink reaches the library's thread: it is logged.
  DWORD OnWEXELCallNtf(DWORD dwFirst, DWORD dwNtfMsgID, DWORD dwCause, WEXEL_CALL_INFO* pCallInfo) override;
  DWORD OnWEXELConnectionLostNtf() override;
  virtual ~CCallNotificationListener();

  // Registers on the connection's handle; a registration made before is
  // ended first, so one listener is never registered twice.
  void Start(const CCallConnection& connection);
  void Stop();
  bool IsStarted() const { return m_started; }

private:
  CCallNotificationListener(const CCallNotificationListener&) = delete;
  CCallNotificationListener& operator=(const CCallNotificationListener&) = delete;
  void Deliver(DWORD notificationId, DWORD cause, WEXEL_CALL_INFO* record);

  ZCLObjectTracer<CCallNotificationListener> m_tracer;
  CCallConnection m_connection;  // not owning
  ICallNotify* m_sink;
  bool m_started;
};

}  // namespace Trelk
