#pragma once
#include <windows.h>
#include <list>
#include <string>
#include "CGlobalQueue.h"
#include "CLockable.h"
#include "CallEvents.h"
#include "ComObject.h"
#include "ComFactory.h"
#include "SZembra.h"
#include "SZembraGUI.h"
#include "ZCLLogger.h"
#include "resource.h"

// The object the service's call control creates to show calls and text
// messages. COM calls arrive on the service's threads; the window threads call
// the registry operations (Add/Update/Remove) from their own threads. The
// registries are guarded by m_registryLock, which is never held across a
// SendMessage: handlers call back into the registry.
class CCallUI : public CComObjectRootEx<CComMultiThreadModel>,
                public CComCoClass<CCallUI, &CLSID_CallUI>,
                public ICallUI,
                public ICallHandlerNotify {
public:
  DECLARE_REGISTRY_RESOURCEID(IDR_CALLUI)

  BEGIN_COM_MAP(CCallUI)
  COM_INTERFACE_ENTRY(ICallUI)
  COM_INTERFACE_ENTRY(ICallHandlerNotify)
  END_COM_MAP()

  CCallUI();
  HRESULT FinalConstruct();
  void FinalRelease();

  // ICallUI
  STDMETHOD(Call)(BSTR bstrSerial, BSTR bstrNumber, IUnknown* pUnk) override;
  STDMETHOD(ComposeMessage)(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, BSTR bstrMessage,
                            IUnknown* pUnk) override;
  STDMETHOD(NewMessageReceived)(IUnknown* pIMsgNotification, IUnknown* pUnk) override;

  // ICallHandlerNotify
  STDMETHOD(OnActivated)(BSTR bstrSerial, LONG callId) override;
  STDMETHOD(OnTerminated)(BSTR bstrSerial, LONG callId, LONG cause) override;
  STDMETHOD(OnCreated)(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, LONG callId) override;
  STDMETHOD(OnIncoming)(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, LONG callId,
                        ICallHandler* pHandler) override;
  STDMETHOD(OnWaiting)(BSTR bstrSerial, LONG callId) override;
  STDMETHOD(OnConnectionLost)(BSTR bstrSerial) override;

  // Called by the windows on their own threads.
  void AddCallWindow(const std::wstring& serial, LONG callId, HWND window, LONG state);
  void UpdateCallWindow(const std::wstring& serial, LONG callId, HWND window, LONG state);
  void RemoveCallWindow(HWND window);
  void AddMessageWindow(HWND window);
  void RemoveMessageWindow(HWND window);

  // How long Call and OnIncoming wait for a new window before giving up.
  static const DWORD ReadyTimeout = 30000;
  // Tests make window creation fail through a dialog that does not exist.
  void SetDialogTemplates(UINT callTemplate, UINT smsTemplate) {
    m_callTemplate = callTemplate;
    m_smsTemplate = smsTemplate;
  }

private:
  // Sends the event to the phone's idle window, or opens a new window with
  // newCallId and sends it there once it exists.
  HRESULT ShowCallWindow(const CallEvent& event, LONG newCallId, ICallHandler* handler);
  void QueueSmsWindow(const std::wstring& serial, const std::wstring& number,
                      const std::wstring& name, const std::wstring& message,
                      ICallHandler* handler, LONG incoming);
  // The first window of (serial, call id), copied out under the lock.
  HWND FindCallWindow(const std::wstring& serial, LONG callId);
  // The phone's prepared outgoing window that has no call id yet.
  HWND FindUnplacedOutgoingWindow(const std::wstring& serial);
  void SendCallEvent(HWND window, const CallEvent& event);
  // An event for the window of (serial, call id); dropped when there is none.
  void SendToCallWindow(BSTR serial, LONG callId, LONG code, LONG reason);

  ZCLObjectTracer<CCallUI> m_tracer;
  CLockable m_registryLock;  // guards the two registries below
  std::list<CallWindowEntry> m_callWindows;
  std::list<HWND> m_messageWindows;
  CGlobalQueue m_windowQueue;
  UINT m_callTemplate = 0;
  UINT m_smsTemplate = 0;
};
