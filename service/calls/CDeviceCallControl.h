#pragma once
#include <windows.h>
#include <atomic>
#include <map>
#include <string>
#include "CCallNotificationListener.h"
#include "CCallState.h"
#include "CLockable.h"
#include "SZembra.h"
#include "TrelkCallControl.h"
#include "ZCLLogger.h"

class CDeviceManager;

// The call state machine of one phone: the phone's call-control handle, the
// listener on it and one record per call id. Created, restarted and deleted
// by call control (add and remove of a phone, serialised per serial); the
// events arrive on the library's notification thread; call control reads a
// record (GetCallState) on that thread too. m_lock guards the call table only
// and is never held across a call to the sink.
class CDeviceCallControl : public Trelk::ICallNotify,
                           public Trelk::CCallConnection,
                           public Trelk::CCallNotificationListener {
public:
  CDeviceCallControl(CDeviceManager* deviceManager, ICallHandlerNotify* sink, const wchar_t* serial);
  ~CDeviceCallControl() override;

  DWORD OnCallNotify(DWORD kind, DWORD cause, const Trelk::CCallInfo& call) override;
  DWORD OnCallConnectionLost() override;

  // A copy of the record of the call id; an id not yet known is added idle.
  CCallState GetCallState(long callId);
  const std::wstring& GetSerial() const { return m_serial; }
  // The listener runs on a new handle: a later loss of it is told again.
  void ConnectionRestarted() { m_lost = false; }

protected:
  // Queues the phone's device-offline task on the device manager's thread.
  virtual void QueueDeviceOffline();

private:
  // The record after the event, and whether the event changed it.
  bool Apply(DWORD kind, DWORD cause, const Trelk::CCallInfo& call, CCallState* after);
  void Tell(long callId, const CCallState& after);

  ZCLObjectTracer<CDeviceCallControl> m_tracer;
  CLockable m_lock;
  std::map<long, CCallState> m_calls;  // guarded by m_lock
  std::wstring m_serial;
  ICallHandlerNotify* m_sink;  // call control's, not reference-counted
  CDeviceManager* m_deviceManager;
  std::atomic<bool> m_lost{false};
};
