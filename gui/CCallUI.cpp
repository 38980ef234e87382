#include <windows.h>
#include <memory>
#include "CCallUI.h"
#include "ComBSTR.h"
#include "DialogThreads.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

namespace {

std::wstring FromBSTR(BSTR text) { return std::wstring(ZCLNullToEmpty(text)); }

// What the service reports about one call; a null text is empty.
CallEvent MakeCallEvent(LONG code, BSTR serial, BSTR number, BSTR name, LONG callId) {
  CallEvent event;
  event.serial = FromBSTR(serial);
  event.number = FromBSTR(number);
  event.name = FromBSTR(name);
  event.callId = callId;
  event.event = code;
  return event;
}

// A failed query, a null object included, gives a null handler.
CComPtr<ICallHandler> QueryHandler(IUnknown* unknown) {
  CComPtr<ICallHandler> handler;
  if (unknown) unknown->QueryInterface(__uuidof(ICallHandler), reinterpret_cast<void**>(&handler));
  return handler;
}

}  // namespace

CCallUI::CCallUI() {}

HRESULT CCallUI::FinalConstruct() {
  if (!m_windowQueue.StartThread()) return AtlHresultFromLastError();
  return S_OK;
}

void CCallUI::FinalRelease() {
  // Window threads that still run keep their own reference to this object,
  // so they are gone by now.
  m_windowQueue.StopThread();
}

HWND CCallUI::FindCallWindow(const std::wstring& serial, LONG callId) {
  CLockGuard guard(&m_registryLock);
  for (const CallWindowEntry& entry : m_callWindows)
    if (entry.callId == callId && entry.serial == serial) return entry.window;
  return nullptr;
}

HWND CCallUI::FindUnplacedOutgoingWindow(const std::wstring& serial) {
  CLockGuard guard(&m_registryLock);
  for (const CallWindowEntry& entry : m_callWindows)
    if (entry.callId == -1 && entry.state == StateOutgoing && entry.serial == serial)
      return entry.window;
  return nullptr;
}

void CCallUI::SendCallEvent(HWND window, const CallEvent& event) {
  if (window) ::SendMessageW(window, WM_CALLEVENT, 0, reinterpret_cast<LPARAM>(&event));
}

HRESULT CCallUI::ShowCallWindow(const CallEvent& event, LONG newCallId, ICallHandler* handler) {
  HWND window = FindCallWindow(event.serial, -1);
  if (!window) {
    auto ready = std::make_shared<CEventHandle>();
    std::unique_ptr<CallDialogParams> params(new CallDialogParams);
    params->serial = event.serial;
    params->number = event.number;
    params->name = event.name;
    params->state = StateIdle;
    params->callId = newCallId;
    params->owner = this;
    params->handler.Put(handler);
    params->ui = static_cast<ICallUI*>(this);
    params->ready = ready;
    params->templateId = m_callTemplate;
    {
      CLockGuard guard(&m_registryLock);
      params->placementIndex = static_cast<int>(m_callWindows.size() + m_messageWindows.size());
    }
    std::unique_ptr<CCallDialogTask> task(new CCallDialogTask(params.get()));
    params.release();
    m_windowQueue.AddTask(task.release());
    if (!ready->Wait(ReadyTimeout)) {
      ZCLLogMessage(1, nullptr, "CCallUI: no call window for %s after %lu ms; the event is dropped",
                    ZCLWideToUtf8(event.serial).c_str(), static_cast<unsigned long>(ReadyTimeout));
      return S_OK;
    }
    window = FindCallWindow(event.serial, newCallId);
  }
  SendCallEvent(window, event);
  return S_OK;
}

STDMETHODIMP CCallUI::Call(BSTR bstrSerial, BSTR bstrNumber, IUnknown* pUnk) {
  return ZCLComMethod("CCallUI::Call", ZCL_SITE, [&]() -> HRESULT {
    CallEvent event = MakeCallEvent(CallOutgoing, bstrSerial, bstrNumber, nullptr, -1);
    CComPtr<ICallHandler> handler = QueryHandler(pUnk);
    return ShowCallWindow(event, -1, handler);
  });
}

STDMETHODIMP CCallUI::OnIncoming(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, LONG callId,
                                 ICallHandler* pHandler) {
  return ZCLComMethod("CCallUI::OnIncoming", ZCL_SITE, [&]() -> HRESULT {
    CallEvent event = MakeCallEvent(CallIncoming, bstrSerial, bstrNumber, bstrName, callId);
    return ShowCallWindow(event, callId, pHandler);
  });
}

void CCallUI::QueueSmsWindow(const std::wstring& serial, const std::wstring& number,
                             const std::wstring& name, const std::wstring& message,
                             ICallHandler* handler, LONG incoming) {
  std::unique_ptr<SmsDialogParams> params(new SmsDialogParams);
  params->serial = serial;
  params->number = number;
  params->name = name;
  params->message = message;
  params->handler.Put(handler);
  params->owner = this;
  params->ui = static_cast<ICallUI*>(this);
  params->incoming = incoming;
  params->templateId = m_smsTemplate;
  {
    CLockGuard guard(&m_registryLock);
    params->placementIndex = 2 * static_cast<int>(m_messageWindows.size());
  }
  std::unique_ptr<CSmsDialogTask> task(new CSmsDialogTask(params.get()));
  params.release();
  m_windowQueue.AddTask(task.release());
}

STDMETHODIMP CCallUI::ComposeMessage(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName,
                                     BSTR bstrMessage, IUnknown* pUnk) {
  return ZCLComMethod("CCallUI::ComposeMessage", ZCL_SITE, [&]() -> HRESULT {
    CComPtr<ICallHandler> handler = QueryHandler(pUnk);
    QueueSmsWindow(FromBSTR(bstrSerial), FromBSTR(bstrNumber), FromBSTR(bstrName),
                   FromBSTR(bstrMessage), handler, 0);
    return E_NOTIMPL;
  });
}

STDMETHODIMP CCallUI::NewMessageReceived(IUnknown* pIMsgNotification, IUnknown* pUnk) {
  return ZCLComMethod("CCallUI::NewMessageReceived", ZCL_SITE, [&]() -> HRESULT {
    CComPtr<IMessageReceivedNotification> notification;
    if (!pIMsgNotification ||
        FAILED(pIMsgNotification->QueryInterface(__uuidof(IMessageReceivedNotification),
                                                 reinterpret_cast<void**>(&notification))) ||
        !notification)
      return E_NOTIMPL;
    CComBSTR serial;
    notification->get_SerialNumber(&serial);
    CComPtr<ISms> sms;
    if (FAILED(notification->get_Message(&sms)) || !sms) return E_FAIL;
    LONG folder = 0;
    if (FAILED(sms->get_Folder(&folder)) || folder != 1) return E_NOTIMPL;
    std::wstring sender;
    CComPtr<IAddressList> addresses;
    if (SUCCEEDED(sms->get_Addresses(&addresses)) && addresses) {
      LONG count = 0;
      addresses->get_Count(&count);
      for (LONG i = 1; i <= count; ++i) {
        CComPtr<IAddress> address;
        if (FAILED(addresses->get_Item(i, &address)) || !address) continue;
        LONG type = 0;
        if (FAILED(address->get_Type(&type)) || type != 2) continue;
        CComBSTR text;
        if (SUCCEEDED(address->get_Address(&text))) sender = FromBSTR(text);
      }
    }
    CComBSTR message;
    sms->get_Message(&message);
    CComPtr<ICallHandler> handler = QueryHandler(pUnk);
    QueueSmsWindow(FromBSTR(serial), sender, std::wstring(), FromBSTR(message), handler, 1);
    return E_NOTIMPL;
  });
}

void CCallUI::SendToCallWindow(BSTR serial, LONG callId, LONG code, LONG reason) {
  CallEvent event = MakeCallEvent(code, serial, nullptr, nullptr, callId);
  event.reason = reason;
  SendCallEvent(FindCallWindow(event.serial, callId), event);
}

STDMETHODIMP CCallUI::OnActivated(BSTR bstrSerial, LONG callId) {
  return ZCLComMethod("CCallUI::OnActivated", ZCL_SITE, [&]() -> HRESULT {
    SendToCallWindow(bstrSerial, callId, CallActivated, 0);
    return S_OK;
  });
}

STDMETHODIMP CCallUI::OnTerminated(BSTR bstrSerial, LONG callId, LONG cause) {
  return ZCLComMethod("CCallUI::OnTerminated", ZCL_SITE, [&]() -> HRESULT {
    SendToCallWindow(bstrSerial, callId, CallTerminated, cause);
    return S_OK;
  });
}

STDMETHODIMP CCallUI::OnCreated(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, LONG callId) {
  return ZCLComMethod("CCallUI::OnCreated", ZCL_SITE, [&]() -> HRESULT {
    CallEvent event = MakeCallEvent(CallCreated, bstrSerial, bstrNumber, bstrName, callId);
    HWND window = FindCallWindow(event.serial, callId);
    // The phone may report dialling before the window has stored the id that
    // its Call returned: the window is then still the unplaced outgoing one,
    // and the event hands it the id.
    if (!window) window = FindUnplacedOutgoingWindow(event.serial);
    SendCallEvent(window, event);
    return S_OK;
  });
}

STDMETHODIMP CCallUI::OnWaiting(BSTR bstrSerial, LONG callId) {
  return ZCLComMethod("CCallUI::OnWaiting", ZCL_SITE, [&]() -> HRESULT {
    SendToCallWindow(bstrSerial, callId, CallWaiting, 0);
    return S_OK;
  });
}

STDMETHODIMP CCallUI::OnConnectionLost(BSTR bstrSerial) {
  return ZCLComMethod("CCallUI::OnConnectionLost", ZCL_SITE, [&]() -> HRESULT {
    // Only the phone that was lost: another phone's call goes on.
    std::wstring serial = FromBSTR(bstrSerial);
    std::list<HWND> closing;
    {
      CLockGuard guard(&m_registryLock);
      for (auto it = m_callWindows.begin(); it != m_callWindows.end();) {
        if (it->serial == serial) {
          closing.push_back(it->window);
          it = m_callWindows.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (HWND window : closing) ::SendMessageW(window, WM_CLOSECALLWINDOW, 0, 0);
    return S_OK;
  });
}

void CCallUI::AddCallWindow(const std::wstring& serial, LONG callId, HWND window, LONG state) {
  CallWindowEntry entry;
  entry.serial = serial;
  entry.callId = callId;
  entry.window = window;
  entry.state = state;
  CLockGuard guard(&m_registryLock);
  m_callWindows.push_front(entry);
}

void CCallUI::UpdateCallWindow(const std::wstring& serial, LONG callId, HWND window, LONG state) {
  CLockGuard guard(&m_registryLock);
  for (CallWindowEntry& entry : m_callWindows) {
    if (entry.serial == serial && entry.window == window) {
      entry.callId = callId;
      entry.state = state;
      return;
    }
  }
}

void CCallUI::RemoveCallWindow(HWND window) {
  CLockGuard guard(&m_registryLock);
  for (auto it = m_callWindows.begin(); it != m_callWindows.end(); ++it) {
    if (it->window == window) {
      m_callWindows.erase(it);
      return;
    }
  }
}

void CCallUI::AddMessageWindow(HWND window) {
  CLockGuard guard(&m_registryLock);
  m_messageWindows.push_front(window);
}

void CCallUI::RemoveMessageWindow(HWND window) {
  CLockGuard guard(&m_registryLock);
  m_messageWindows.remove(window);
}
