#include <windows.h>
#include "CCallControl.h"
#include <atomic>
#include <new>
#include "CCallNotification.h"
#include "CCallerLookup.h"
#include "CContentAccess.h"
#include "CDeviceCallControl.h"
#include "CTrelkException.h"
#include "CClientManager.h"
#include "CDeviceManager.h"
#include "ZCLFrame.h"
#include "ZCLHandle.h"
#include "ZCLText.h"

// {6C3F2B0E-8A51-4F0B-9C57-2D3E41A7B9C1}
extern "C" const IID IID_ICallControlSelf = {
    0x6c3f2b0e, 0x8a51, 0x4f0b, {0x9c, 0x57, 0x2d, 0x3e, 0x41, 0xa7, 0xb9, 0xc1}};

namespace {

const DWORD kOutbox = 2;

std::wstring Text(BSTR text) { return ZCLNullToEmpty(text); }

bool IsApartmentThread() {
  APTTYPE type = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
}

}  // namespace

CCallControl::CCallControl() {}

CCallControl::~CCallControl() {}

void CCallControl::Initialize(CClientManager* clients, CDeviceManager* deviceManager) {
  m_clients = clients;
  m_deviceManager = deviceManager;
}

CCallControl* CCallControl::FromUnknown(IUnknown* unknown) {
  CComPtr<ICallControl> self;
  if (!unknown || FAILED(unknown->QueryInterface(IID_ICallControlSelf, reinterpret_cast<void**>(&self))))
    return nullptr;
  return static_cast<CCallControl*>(self.p);
}

HRESULT CCallControl::FinalConstruct() {
  HRESULT hr = ZCLComMethod("CCallControl::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
    ZCLComThrowOnFail(AtlAggregateFreeThreadedMarshaler(GetUnknown(), m_marshaler),
                      ZCL_POS + " Failed to aggregate the free-threaded marshaler.");
    try {
      m_trelk.Initialize();
    } catch (const Trelk::CTrelkException& e) {
      Trelk::LogCaught(3, e);
      return E_FAIL;
    }
    ZCLComCoCreateThrowOnFail(::CoCreateInstance(CLSID_CallUI, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                                 IID_ICallUI, reinterpret_cast<void**>(&m_callUI)),
                              CLSID_CallUI, ZCL_POS);
    CGitCookie uiCookie(m_callUI, IID_ICallUI, "CallUI");
    CComPtr<ICallHandler> handler(static_cast<ICallHandler*>(this));
    CGitCookie handlerCookie(handler, IID_ICallHandler, "CallHandler");
    m_callUICookie = std::move(uiCookie);
    m_handlerCookie = std::move(handlerCookie);
    return S_OK;
  });
  // A failed start leaves nothing behind to be released by a tear-down that
  // will not run.
  if (FAILED(hr)) {
    m_callUI.Release();
    m_trelk.Terminate();
  }
  return hr;
}

// Nothing can keep a releasing object alive: a phone still stopping here
// (only when no shutdown came first) is waited for to the end.
void CCallControl::FinalRelease() {
  TearDown(false);
  m_marshaler.Release();
}

// What a shutdown hands to the thread that stops its phones: the thread holds
// a reference on call control and one use of the library until they stopped.
struct CCallControl::CStopping {
  CCallControl* control;
  CCallPhoneTable::Devices devices;
  bool keepsAlive;
};

bool CCallControl::Serving() { return !m_phones.IsShutDown(); }

// In order: no new phone; the GIT registrations revoked, so nothing reaches
// the window from now on; every phone stopped (listener, then handle); the
// library terminated once no phone can call it; the window object let go.
void CCallControl::Shutdown() { TearDown(true); }

void CCallControl::TearDown(bool mayOutlive) {
  ZCLGuarded(3, ZCL_SITE, [&] {
    ZCLScopeTracer trace("CCallControl::Shutdown");
    m_phones.BeginShutdown();  // its own use of the library, ended below
    m_handlerCookie.Revoke();
    m_callUICookie.Revoke();
    std::unique_ptr<CStopping> stopping(new CStopping{this, m_phones.TakeAll(), false});
    if (!stopping->devices.empty() && IsApartmentThread()) {
      // A notification in flight may wait for this apartment while the
      // library waits for it to end: the phones stop on another thread while
      // this one serves its apartment. That thread owns what it stops, and
      // keeps this object (the phones' sink) and the library until it ends.
      m_phones.BeginLibraryUse();
      stopping->keepsAlive = mayOutlive;
      if (mayOutlive) GetUnknown()->AddRef();
      CHandle thread(::CreateThread(nullptr, 0, &StopDevicesThread, stopping.get(), 0, nullptr));
      if (thread) {
        stopping.release();
        if (ZCLWaitServingApartment(thread.Get(), mayOutlive ? m_stopWaitMs.load() : INFINITE) == WAIT_TIMEOUT)
          ZCLLogMessage(1, nullptr,
                        "CCallControl::Shutdown: phones still stopping after %lu ms; the library stays until they stop",
                        static_cast<unsigned long>(m_stopWaitMs.load()));
      } else {
        m_phones.EndLibraryUse();
        if (mayOutlive) GetUnknown()->Release();  // the caller holds another
      }
    }
    if (stopping) CCallPhoneTable::StopAll(stopping->devices);
    m_phones.EndLibraryUse();
    m_callUI.Release();
  });
}

DWORD WINAPI CCallControl::StopDevicesThread(void* param) {
  std::unique_ptr<CStopping> stopping(static_cast<CStopping*>(param));
  CCallControl* control = stopping->control;
  bool keepsAlive = stopping->keepsAlive;
  ZCLGuarded(3, ZCL_SITE, [&] { CCallPhoneTable::StopAll(stopping->devices); });
  stopping.reset();
  control->m_phones.EndLibraryUse();
  if (keepsAlive) control->GetUnknown()->Release();  // may be the last reference
  return 0;
}

CComPtr<ICallUI> CCallControl::GetCallUI() {
  ZCLScopeTracer trace("CCallControl::GetCallUI");
  CComPtr<ICallUI> ui;
  if (FAILED(m_callUICookie.CopyTo(&ui))) ui.Release();
  return ui;
}

size_t CCallControl::DeviceCount() { return m_phones.Count(); }

CDeviceCallControl* CCallControl::NewDeviceCallControl(const wchar_t* serial) {
  return new CDeviceCallControl(m_deviceManager, static_cast<ICallHandlerNotify*>(this), serial);
}

// ---------------------------------------------------------------- ICallControl

// Whatever the start threw, the phone's answer is E_FAIL.
void CCallControl::StartDevice(const std::wstring& serial) {
  DevicePtr device;
  bool started = false;
  try {
    device.reset(NewDeviceCallControl(serial.c_str()));
    m_trelk.OpenCallControl(serial.c_str(), *device);
    device->Start(*device);
    started = true;
  } catch (...) {
    ZCLLogMessage(4, nullptr, "Failed to start CallControl with device %ls\n", serial.c_str());
    ZCLGuarded(3, ZCL_SITE, [&] { device.reset(); });
  }
  ZCLComThrowOnFalse(started, E_FAIL, ZCL_POS + " CallControl did not start.");
  if (m_phones.Insert(serial, device)) device.reset();
  if (device) {
    // Shut down meanwhile: the new phone goes again.
    ZCLGuarded(3, ZCL_SITE, [&] { device.reset(); });
    ZCLComThrowOnFalse(false, E_FAIL, ZCL_POS + " CallControl shut down while the device started.");
  }
  ZCLLogMessage(4, nullptr, "CCallControl started for device %ls\n", serial.c_str());
}

void CCallControl::RestartDevice(const std::wstring& serial, const DevicePtr& device) {
  bool restarted = false;
  try {
    device->Stop();
    device->Close();
    m_trelk.OpenCallControl(serial.c_str(), *device);
    device->ConnectionRestarted();
    device->Start(*device);
    restarted = true;
  } catch (...) {
    ZCLLogMessage(4, nullptr, "Failed to restart CallControl with device %ls\n", serial.c_str());
  }
  ZCLComThrowOnFalse(restarted, E_FAIL, ZCL_POS + " CallControl did not restart.");
  ZCLLogMessage(4, nullptr, "CCallControl restarted for device %ls\n", serial.c_str());
}

STDMETHODIMP CCallControl::AddDevice(BSTR bstrSerial) {
  return ZCLComMethod("CCallControl::AddDevice", ZCL_SITE, [&]() -> HRESULT {
    std::wstring serial = Text(bstrSerial);
    ZCLLogMessage(4, nullptr, "CCallControl::AddDevice(%ls) called from thread %d\n", serial.c_str(),
                  static_cast<int>(GetCurrentThreadId()));
    bool known = false;
    DevicePtr device;
    if (!m_phones.ClaimForStart(serial, &known, &device)) return E_FAIL;
    CCallPhoneTable::CClaim claim(m_phones, serial);
    if (!known) {
      StartDevice(serial);
      return S_OK;
    }
    if (!device) return E_UNEXPECTED;
    RestartDevice(serial, device);
    return S_OK;
  });
}

STDMETHODIMP CCallControl::RemoveDevice(BSTR bstrSerial) {
  return ZCLComMethod("CCallControl::RemoveDevice", ZCL_SITE, [&]() -> HRESULT {
    std::wstring serial = Text(bstrSerial);
    DevicePtr device;
    HRESULT claimed = m_phones.ClaimForStop(serial, &device);
    if (claimed != S_OK) return claimed;
    CCallPhoneTable::CClaim claim(m_phones, serial);
    if (device) {
      try {
        // The listener first: no event arrives for a handle being closed.
        device->Stop();
        device->Close();
      } catch (...) {
        ZCLLogMessage(4, nullptr, "Failed to stop CallControl with device %ls\n", serial.c_str());
        return E_FAIL;
      }
    }
    m_phones.Erase(serial);
    ZCLGuarded(3, ZCL_SITE, [&] { device.reset(); });
    return S_OK;
  });
}

STDMETHODIMP CCallControl::Call(BSTR bstrSerial, BSTR bstrNumber) {
  return ZCLComMethod("CCallControl::Call", ZCL_SITE, [&]() -> HRESULT {
    ZCLLogMessage(4, nullptr, "CCallControl::Call(%ls, %ls) called from thread %d\n", ZCLNullToEmpty(bstrSerial),
                  ZCLNullToEmpty(bstrNumber), static_cast<int>(GetCurrentThreadId()));
    CComPtr<ICallUI> ui = GetCallUI();
    if (!ui) return E_FAIL;
    return ui->Call(bstrSerial, bstrNumber, static_cast<ICallHandler*>(this));
  });
}

// ---------------------------------------------------------------- IMessageComposer

STDMETHODIMP CCallControl::ComposeMessage(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, BSTR bstrMessage) {
  return ZCLComMethod("CCallControl::ComposeMessage", ZCL_SITE, [&]() -> HRESULT {
    CComPtr<ICallUI> ui = GetCallUI();
    if (!ui) return E_FAIL;
    return ui->ComposeMessage(bstrSerial, bstrNumber, bstrName, bstrMessage, static_cast<ICallHandler*>(this));
  });
}

STDMETHODIMP CCallControl::NewMessageReceived(IMessageReceivedNotification* pNotification) {
  return ZCLComMethod("CCallControl::NewMessageReceived", ZCL_SITE, [&]() -> HRESULT {
    if (!pNotification) return E_POINTER;
    CComPtr<IUnknown> unknown;
    HRESULT hr = pNotification->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (FAILED(hr)) return hr;
    CComPtr<ICallUI> ui = GetCallUI();
    if (!ui) return E_FAIL;
    return ui->NewMessageReceived(unknown, static_cast<ICallHandler*>(this));
  });
}

// ---------------------------------------------------------------- ICallHandlerNotify

void CCallControl::NotifyClients(const wchar_t* serial, const wchar_t* number, long state) {
  if (!Serving() || !m_clients) return;
  CComObject<CCallNotification>* raw = nullptr;
  ZCLComThrowOnFail(CComObject<CCallNotification>::CreateInstance(&raw), ZCL_POS + " Failed to create notification.");
  CComPtr<ICallNotification> notification(raw);
  raw->Init(serial, number, static_cast<int>(state));
  m_clients->Notify(IID_ICallNotification, notification);
}

std::wstring CCallControl::NumberOf(const wchar_t* serial, long callId) {
  bool known = false;
  DevicePtr device = m_phones.Find(ZCLNullToEmpty(serial), &known);
  return device ? device->GetCallState(callId).GetNumber() : std::wstring();
}

// The window is reached through the GIT from this (the library's) thread:
// it lives in the apartment that made it, never called on a raw pointer.
CComPtr<ICallHandlerNotify> CCallControl::Relay(const wchar_t* serial, const wchar_t* number, long state) {
  if (state != CallStateIdle) NotifyClients(serial, number, state);
  CComPtr<ICallUI> ui = GetCallUI();
  CComPtr<ICallHandlerNotify> window;
  bool reached = ui && SUCCEEDED(ui->QueryInterface(IID_ICallHandlerNotify, reinterpret_cast<void**>(&window)));
  ZCLComThrowOnFalse(reached, E_FAIL, ZCL_POS + " The call window is unreachable.");
  return window;
}

STDMETHODIMP CCallControl::OnCreated(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, long callId) {
  return ZCLComMethod("CCallControl::OnCreated", ZCL_SITE, [&]() -> HRESULT {
    return Relay(bstrSerial, ZCLNullToEmpty(bstrNumber), CallStateCalling)
        ->OnCreated(bstrSerial, bstrNumber, bstrName, callId);
  });
}

STDMETHODIMP CCallControl::OnIncoming(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName, long callId, ICallHandler*) {
  return ZCLComMethod("CCallControl::OnIncoming", ZCL_SITE, [&]() -> HRESULT {
    return Relay(bstrSerial, ZCLNullToEmpty(bstrNumber), CallStateIncoming)
        ->OnIncoming(bstrSerial, bstrNumber, bstrName, callId, static_cast<ICallHandler*>(this));
  });
}

STDMETHODIMP CCallControl::OnActivated(BSTR bstrSerial, long callId) {
  return ZCLComMethod("CCallControl::OnActivated", ZCL_SITE, [&]() -> HRESULT {
    std::wstring number = NumberOf(bstrSerial, callId);
    return Relay(bstrSerial, number.c_str(), CallStateActive)->OnActivated(bstrSerial, callId);
  });
}

STDMETHODIMP CCallControl::OnTerminated(BSTR bstrSerial, long callId, long cause) {
  return ZCLComMethod("CCallControl::OnTerminated", ZCL_SITE, [&]() -> HRESULT {
    std::wstring number = NumberOf(bstrSerial, callId);
    return Relay(bstrSerial, number.c_str(), CallStateTerminated)->OnTerminated(bstrSerial, callId, cause);
  });
}

STDMETHODIMP CCallControl::OnWaiting(BSTR bstrSerial, long callId) {
  return ZCLComMethod("CCallControl::OnWaiting", ZCL_SITE, [&]() -> HRESULT {
    return Relay(bstrSerial, nullptr, CallStateIdle)->OnWaiting(bstrSerial, callId);
  });
}

STDMETHODIMP CCallControl::OnConnectionLost(BSTR bstrSerial) {
  return ZCLComMethod("CCallControl::OnConnectionLost", ZCL_SITE, [&]() -> HRESULT {
    return Relay(bstrSerial, nullptr, CallStateIdle)->OnConnectionLost(bstrSerial);
  });
}

// ---------------------------------------------------------------- ICallHandler

template <class Act>
bool CCallControl::OnCall(BSTR serial, const char* failure, long callId, Act act) {
  bool known = false;
  DevicePtr device = m_phones.Find(Text(serial), &known);
  if (!known) return false;
  if (!device) return true;
  bool done = false;
  try {
    act(*device);
    done = true;
  } catch (const ZCLException&) {
    ZCLLogMessage(4, nullptr, failure, ZCLNullToEmpty(serial), static_cast<int>(callId));
  }
  ZCLComThrowOnFalse(done, E_FAIL, ZCL_POS + " The call action failed.");
  return true;
}

STDMETHODIMP CCallControl::Activate(BSTR bstrSerial, long callId) {
  return ZCLComMethod("CCallControl::Activate", ZCL_SITE, [&]() -> HRESULT {
    bool known = OnCall(bstrSerial, "Failed to activate call with device %ls and callId %d\n", callId,
                        [&](CDeviceCallControl& device) { device.Activate(static_cast<BYTE>(callId)); });
    return known ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CCallControl::Reject(BSTR bstrSerial, long callId) {
  return ZCLComMethod("CCallControl::Reject", ZCL_SITE, [&]() -> HRESULT {
    bool known = OnCall(bstrSerial, "Failed to reject call with device %ls and callId %d\n", callId,
                        [&](CDeviceCallControl& device) { device.Reject(static_cast<BYTE>(callId)); });
    return known ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CCallControl::Call(BSTR bstrSerial, BSTR bstrNumber, long* pCallId) {
  return ZCLComMethod("CCallControl::Call", ZCL_SITE, [&]() -> HRESULT {
    if (pCallId) *pCallId = -1;
    bool known = false;
    DevicePtr device = m_phones.Find(Text(bstrSerial), &known);
    if (!known) return S_FALSE;
    ZCLLogMessage(4, nullptr, "CCallControl::Call(%ls, %ls, XXX) called from thread %d\n",
                  ZCLNullToEmpty(bstrSerial), ZCLNullToEmpty(bstrNumber), static_cast<int>(GetCurrentThreadId()));
    if (!device) return S_OK;
    try {
      BYTE callId = device->Trelk::CCallConnection::Call(ZCLNullToEmpty(bstrNumber));
      if (pCallId) *pCallId = callId;
    } catch (const ZCLException&) {
      ZCLLogMessage(4, nullptr, "Failed to Call with device %ls and number %ls\n", ZCLNullToEmpty(bstrSerial),
                    ZCLNullToEmpty(bstrNumber));
      return E_FAIL;
    }
    return S_OK;
  });
}

STDMETHODIMP CCallControl::SendSMS(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrText) {
  return ZCLComMethod("CCallControl::SendSMS", ZCL_SITE, [&]() -> HRESULT {
    if (!Serving() || !m_deviceManager) return E_INVALIDARG;
    std::wstring serial = Text(bstrSerial);
    CZembraDevicePtr device = m_deviceManager->GetDeviceList().Find(serial.c_str());
    if (!device || device->GetState() != DeviceConnected) return E_INVALIDARG;
    try {
      Trelk::SMSMessage message;
      message.SetText(ZCLNullToEmpty(bstrText));
      message.SetNumber(WithoutBlanks(Text(bstrNumber)).c_str());
      Trelk::CContentAccess access;
      access.Initialize();
      Trelk::CSMSConnection connection;
      access.OpenSMS(serial.c_str(), connection);
      Trelk::COperation operation;
      connection.BeginOperation(operation);
      connection.WriteItem(operation, kOutbox, message);
      operation.Commit();
      operation.End();
      return S_OK;
    } catch (const Trelk::CTrelkException& e) {
      Trelk::LogCaught(4, e);
      return E_FAIL;
    } catch (const ZCLException& e) {
      ZCLLogCaught(4, e);
      return E_UNEXPECTED;
    }
  });
}

STDMETHODIMP CCallControl::FindContactByNumber(BSTR bstrSerial, BSTR bstrNumber, IContact** ppContact) {
  return ZCLComMethod("CCallControl::FindContactByNumber", ZCL_SITE, [&]() -> HRESULT {
    if (ppContact) *ppContact = nullptr;
    if (!Serving() || !m_deviceManager) return E_FAIL;
    return LookUpCaller(m_deviceManager->GetDeviceList(), Text(bstrSerial), Text(bstrNumber), ppContact);
  });
}
