#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "CLockable.h"
#include "CTaskBase.h"
#include "ComTL.h"
#include "SZembra.h"
#include "TestModule.h"

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
};

// A client's callback inside the test process: records every call with its
// thread, answers with a chosen result, and may act inside a call. It
// aggregates the free-threaded marshaler, so the service's worker threads
// reach it directly through the GIT.
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

  STDMETHOD(ConnectCompleted)(BSTR id) override { return Record("ConnectCompleted", id); }
  STDMETHOD(DisconnectCompleted)(BSTR id) override { return Record("DisconnectCompleted", id); }
  STDMETHOD(OperationCompleted)(BSTR id, BSTR op, IOperation*) override {
    return Record("OperationCompleted", id, op);
  }
  STDMETHOD(OperationFailed)(BSTR id, BSTR op, HRESULT hr, IErrorInfo* info) override {
    CallbackCall call = Make("OperationFailed", id, op);
    call.hr = hr;
    if (info) {
      CComBSTR text, source;
      info->GetDescription(&text);
      info->GetSource(&source);
      call.description = text ? text.m_str : L"";
      call.source = source ? source.m_str : L"";
    }
    return Add(call);
  }
  STDMETHOD(OperationProgress)(BSTR id, BSTR op, IProgressInfo*) override {
    return Record("OperationProgress", id, op);
  }
  STDMETHOD(OperationData)(BSTR id, BSTR op, IOperation*) override {
    return Record("OperationData", id, op);
  }
  STDMETHOD(NewDevice)(BSTR id, IDevice*) override { return Record("NewDevice", id); }
  STDMETHOD(DeviceStateChanged)(BSTR id, IDevice*) override {
    return Record("DeviceStateChanged", id);
  }
  STDMETHOD(Notification)(BSTR id, REFIID kind, ISNotification*) override {
    CallbackCall call = Make("Notification", id);
    call.kind = kind;
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
  // Polls for the count, bounded.
  bool WaitForCount(const std::string& method, int count, DWORD milliseconds = 10000) {
    return WaitFor([&] { return Count(method) >= count; }, milliseconds);
  }
  CallbackCall Last(const std::string& method) {
    CallbackCall last;
    for (const CallbackCall& call : Calls())
      if (call.method == method) last = call;
    return last;
  }

  HRESULT m_result = S_OK;                            // what every call answers
  std::function<void(const CallbackCall&)> m_inside;  // runs inside each call

private:
  CallbackCall Make(const char* method, BSTR id, BSTR op = nullptr) {
    CallbackCall call;
    call.method = method;
    call.clientId = id ? id : L"";
    call.operationId = op ? op : L"";
    call.thread = ::GetCurrentThreadId();
    return call;
  }
  HRESULT Record(const char* method, BSTR id, BSTR op = nullptr) { return Add(Make(method, id, op)); }
  HRESULT Add(const CallbackCall& call) {
    if (m_inside) m_inside(call);
    CLockGuard guard(&m_lock);
    m_calls.push_back(call);
    return m_result;
  }

  CComPtr<IUnknown> m_marshaler;
  CLockable m_lock;
  std::vector<CallbackCall> m_calls;
};

// Holds the task queue until opened, so a test sees the state between a
// call and the task it queued.
class CGateTask : public CTaskBase {
public:
  explicit CGateTask(HANDLE open) : m_open(open) {}
  void Execute() override { ::WaitForSingleObject(m_open, 10000); }
  bool IsAutoDelete() override { return true; }

private:
  HANDLE m_open;
};

class CManualEvent {
public:
  CManualEvent() : m_handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~CManualEvent() { ::CloseHandle(m_handle); }
  HANDLE Get() const { return m_handle; }
  void Set() { ::SetEvent(m_handle); }

private:
  HANDLE m_handle;
};
