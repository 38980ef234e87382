#pragma once
#include <windows.h>
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "CCallPhoneTable.h"
#include "ComTL.h"
#include "GitCookie.h"
#include "SZembra.h"
#include "SZembraGUI.h"
#include "TrelkCallControl.h"
#include "ZCLLogger.h"

class CClientManager;
class CDeviceCallControl;
class CDeviceManager;

// Never marshalled: call control answers it with itself, so that its owner
// can reach the members no interface carries.
// {6C3F2B0E-8A51-4F0B-9C57-2D3E41A7B9C1}
extern "C" const IID IID_ICallControlSelf;

// Call control: the service's one call-control object, made by the main
// object and reached by the other threads through the GIT only.
//
// Called from the device manager's thread (AddDevice, RemoveDevice), the task
// queue (Call, IMessageComposer), the library's notification threads
// (ICallHandlerNotify, from the state machines), the call windows' threads
// (ICallHandler) and the main thread (Shutdown). The phone table keeps the
// phones and the shut-down state under its own lock. Add and remove of one
// phone come in order from that phone's own queue; a start or stop in
// progress claims its serial, and another call for the serial meanwhile is
// refused, not made to wait.
//
// Aggregates the free-threaded marshaler: it is a multithreaded object whose
// callers are worker and library threads; the GIT then hands every apartment
// of the process the object itself instead of a proxy into the main thread.
class CCallControl : public CComObjectRootEx<CComMultiThreadModel>,
                     public CComCoClass<CCallControl>,
                     public ICallControl,
                     public IMessageComposer,
                     public ICallHandlerNotify,
                     public ICallHandler {
public:
  BEGIN_COM_MAP(CCallControl)
  COM_INTERFACE_ENTRY(ICallControl)
  COM_INTERFACE_ENTRY(IMessageComposer)
  COM_INTERFACE_ENTRY(ICallHandlerNotify)
  COM_INTERFACE_ENTRY(ICallHandler)
  COM_INTERFACE_ENTRY_IID(IID_ICallControlSelf, ICallControl)
  COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
  END_COM_MAP()

  CCallControl();
  virtual ~CCallControl();
  // The main object's client and device managers; both outlive call control.
  virtual void Initialize(CClientManager* clients, CDeviceManager* deviceManager);

  HRESULT FinalConstruct();
  void FinalRelease();

  // Call control behind an interface pointer of its own; null for another object.
  static CCallControl* FromUnknown(IUnknown* unknown);
  // Ends call control before its owner goes: the GIT registrations revoked
  // (they would keep it alive), every phone stopped, the library terminated
  // and the window object released. AddDevice is refused afterwards. Safe to
  // call twice; from an apartment thread it keeps serving that apartment's
  // calls while the phones stop, for a bounded time: phones still stopping
  // then keep this object and the library until they have stopped.
  void Shutdown();
  // How long Shutdown waits for its phones on an apartment thread; zero
  // restores the service's own 30 s.
  void SetStopWait(DWORD milliseconds) { m_stopWaitMs = milliseconds ? milliseconds : kStopWaitMs; }

  // The window object for the calling thread, from the GIT; null when
  // unreachable.
  CComPtr<ICallUI> GetCallUI();
  // Test seam: the number of phones in the device table.
  size_t DeviceCount();

  // ICallControl
  STDMETHOD(AddDevice)(BSTR bstrSerial) override;
  STDMETHOD(RemoveDevice)(BSTR bstrSerial) override;
  STDMETHOD(Call)(BSTR bstrSerial, BSTR bstrNumber) override;
  // IMessageComposer
  STDMETHOD(ComposeMessage)(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, BSTR bstrMessage) override;
  STDMETHOD(NewMessageReceived)(IMessageReceivedNotification* pNotification) override;
  // ICallHandlerNotify (the state machines)
  STDMETHOD(OnActivated)(BSTR bstrSerial, long callId) override;
  STDMETHOD(OnTerminated)(BSTR bstrSerial, long callId, long cause) override;
  STDMETHOD(OnCreated)(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, long callId) override;
  STDMETHOD(OnIncoming)(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, long callId,
                        ICallHandler* pHandler) override;
  STDMETHOD(OnWaiting)(BSTR bstrSerial, long callId) override;
  STDMETHOD(OnConnectionLost)(BSTR bstrSerial) override;
  // ICallHandler (the call windows)
  STDMETHOD(Activate)(BSTR bstrSerial, long callId) override;
  STDMETHOD(Reject)(BSTR bstrSerial, long callId) override;
  STDMETHOD(Call)(BSTR bstrSerial, BSTR bstrNumber, long* pCallId) override;
  STDMETHOD(SendSMS)(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrText) override;
  STDMETHOD(FindContactByNumber)(BSTR bstrSerial, BSTR bstrNumber, IContact** ppContact) override;

protected:
  // The state machine for a phone; tests replace it.
  virtual CDeviceCallControl* NewDeviceCallControl(const wchar_t* serial);

private:
  typedef CCallPhoneTable::DevicePtr DevicePtr;
  // Shutdown's body; mayOutlive: phones still stopping after the bound may
  // keep this object alive.
  void TearDown(bool mayOutlive);
  struct CStopping;
  static DWORD WINAPI StopDevicesThread(void* param);
  // Until shut down: nothing reaches the managers afterwards.
  bool Serving();
  // Each throws E_FAIL once the failure is logged.
  void StartDevice(const std::wstring& serial);
  void RestartDevice(const std::wstring& serial, const DevicePtr& device);
  // The client notification, then the window's notify interface; throws
  // E_FAIL when the window is unreachable.
  CComPtr<ICallHandlerNotify> Relay(const wchar_t* serial, const wchar_t* number, long state);
  void NotifyClients(const wchar_t* serial, const wchar_t* number, long state);
  std::wstring NumberOf(const wchar_t* serial, long callId);
  // Runs a call action on the phone's state machine: false for an unknown
  // serial, true for an entry without one; a failed action is logged and
  // throws E_FAIL.
  template <class Act>
  bool OnCall(BSTR serial, const char* failure, long callId, Act act);

  static const DWORD kStopWaitMs = 30000;
  std::atomic<DWORD> m_stopWaitMs{kStopWaitMs};
  ZCLObjectTracer<CCallControl> m_tracer;
  CClientManager* m_clients = nullptr;
  CDeviceManager* m_deviceManager = nullptr;
  CComPtr<ICallUI> m_callUI;  // made on the creating thread; released by Shutdown
  Trelk::CCallControl m_trelk;
  // The library and the phones' sink stay while a phone may still call
  // them: a start, restart or stop in progress, or phones still stopping
  // after a shutdown gave up waiting, each hold one use of the table's.
  CCallPhoneTable m_phones{m_trelk};
  // Set at the final construction, revoked by the shutdown; read by any thread.
  CGitCookie m_handlerCookie;
  CGitCookie m_callUICookie;
  CComPtr<IUnknown> m_marshaler;
};
