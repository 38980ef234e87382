#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "CLockable.h"
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLText.h"
#include "ZCLWait.h"

// One call the service made on a client's callback.
struct CallbackCall {
  std::string method;
  std::wstring clientId;
  std::wstring operationId;
  HRESULT hr = S_OK;
  std::wstring description;
  std::wstring source;
  IID kind = GUID_NULL;
  DWORD thread = 0;
  ULONGLONG milliseconds = 0;  // since the callback was made
  std::wstring serial;         // NewDevice and DeviceStateChanged: the phone
  int state = 0;               // and its state
  std::wstring number;         // call notifications: serial, number and state as above
};

// A client's callback that records every call with its thread and time,
// answers with a chosen result and may act inside a call. Used inside the
// service's own tests and by the test client. It aggregates the
// free-threaded marshaler, so the service's worker threads reach it directly
// when it lives in their process.
class CRecordingCallback : public CComObjectRootEx<CComMultiThreadModel>, public IZembraCallback {
public:
  BEGIN_COM_MAP(CRecordingCallback)
  COM_INTERFACE_ENTRY(IZembraCallback)
  COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
  END_COM_MAP()

  HRESULT FinalConstruct() { return AtlAggregateFreeThreadedMarshaler(GetUnknown(), m_marshaler); }
  void FinalRelease() { m_marshaler.Release(); }

  static CComPtr<IZembraCallback> Create(CRecordingCallback** self) {
    CComObject<CRecordingCallback>* p = nullptr;
    CComObject<CRecordingCallback>::CreateInstance(&p);
    *self = p;
    return CComPtr<IZembraCallback>(p);
  }

  STDMETHOD(ConnectCompleted)(BSTR id) override { return Add(Make("ConnectCompleted", id)); }
  STDMETHOD(DisconnectCompleted)(BSTR id) override { return Add(Make("DisconnectCompleted", id)); }
  STDMETHOD(OperationCompleted)(BSTR id, BSTR op, IOperation*) override {
    return Add(Make("OperationCompleted", id, op));
  }
  STDMETHOD(OperationFailed)(BSTR id, BSTR op, HRESULT hr, IErrorInfo* info) override {
    CallbackCall call = Make("OperationFailed", id, op);
    call.hr = hr;
    if (info) {
      CComBSTR text, source;
      info->GetDescription(&text);
      info->GetSource(&source);
      call.description = ZCLNullToEmpty(text.m_str);
      call.source = ZCLNullToEmpty(source.m_str);
    }
    return Add(call);
  }
  STDMETHOD(OperationProgress)(BSTR id, BSTR op, IProgressInfo*) override {
    return Add(Make("OperationProgress", id, op));
  }
  STDMETHOD(OperationData)(BSTR id, BSTR op, IOperation*) override {
    return Add(Make("OperationData", id, op));
  }
  STDMETHOD(NewDevice)(BSTR id, IDevice* device) override {
    return Add(WithDevice(Make("NewDevice", id), device));
  }
  STDMETHOD(DeviceStateChanged)(BSTR id, IDevice* device) override {
    return Add(WithDevice(Make("DeviceStateChanged", id), device));
  }
  STDMETHOD(Notification)(BSTR id, REFIID kind, ISNotification* notification) override {
    CallbackCall call = Make("Notification", id);
    call.kind = kind;
    CComQIPtr<ICallNotification> callNotification(notification);
    if (callNotification) {
      CComBSTR serial, number;
      long state = 0;
      callNotification->get_SerialNumber(&serial);
      callNotification->get_Number(&number);
      callNotification->get_State(&state);
      call.serial = ZCLNullToEmpty(serial.m_str);
      call.number = ZCLNullToEmpty(number.m_str);
      call.state = static_cast<int>(state);
    }
    return Add(call);
  }

  std::vector<CallbackCall> Calls() {
    CLockGuard guard(&m_lock);
    return m_calls;
  }
  int Count(const std::string& method) {
    int count = 0;
    for (const CallbackCall& call : Calls()) count += call.method == method;
    return count;
  }
  bool WaitFor(const std::string& method, int count, DWORD milliseconds = 10000) {
    return ZCLWaitUntil([&] { return Count(method) >= count; }, milliseconds);
  }
  CallbackCall Last(const std::string& method) {
    CallbackCall last;
    for (const CallbackCall& call : Calls())
      if (call.method == method) last = call;
    return last;
  }

  // Inside ConnectCompleted, creates an operation with the new id, as the
  // browser plug-ins do, and keeps the result.
  void CreateInsideConnect(IZembra* zembra) {
    m_createsInside = true;
    m_inside = [this, zembra](const CallbackCall& call) {
      if (call.method != "ConnectCompleted") return;
      CComBSTR id(call.clientId.c_str());
      CComPtr<IOperation> op;
      m_insideResult = zembra->CreateOperation(id, IID_IGetDevicesOperation, &op);
    };
  }
  bool CreatesInsideConnect() const { return m_createsInside; }
  HRESULT InsideResult() const { return m_insideResult; }

  HRESULT m_result = S_OK;                            // what every call answers
  std::function<void(const CallbackCall&)> m_inside;  // runs inside each call

private:
  CallbackCall Make(const char* method, BSTR id, BSTR op = nullptr) {
    CallbackCall call;
    call.method = method;
    call.clientId = ZCLNullToEmpty(id);
    call.operationId = ZCLNullToEmpty(op);
    call.thread = ::GetCurrentThreadId();
    call.milliseconds = ::GetTickCount64() - m_start;
    return call;
  }
  static CallbackCall WithDevice(CallbackCall call, IDevice* device) {
    if (!device) return call;
    CComBSTR serial;
    EDeviceState state = DeviceDisconnected;
    device->get_SerialNumber(&serial);
    device->get_State(&state);
    call.serial = serial ? serial.m_str : L"";
    call.state = state;
    return call;
  }
  HRESULT Add(const CallbackCall& call) {
    if (m_inside) m_inside(call);
    CLockGuard guard(&m_lock);
    m_calls.push_back(call);
    return m_result;
  }

  CComPtr<IUnknown> m_marshaler;
  CLockable m_lock;
  std::vector<CallbackCall> m_calls;
  const ULONGLONG m_start = ::GetTickCount64();
  bool m_createsInside = false;
  volatile HRESULT m_insideResult = E_PENDING;
};
