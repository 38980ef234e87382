#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include "CDialix.h"
#include "ComText.h"
#include "ComTL.h"
#include "CComposeMessageOperation.h"
#include "CCreateCallOperation.h"
#include "CDeleteContactOperation.h"
#include "CDeleteSmsOperation.h"
#include "CGetContactsOperation.h"
#include "CGetDevicesOperation.h"
#include "CGetEventsOperation.h"
#include "CGetSmsOperation.h"
#include "CSendMessageOperation.h"
#include "CUpdateContactOperation.h"
#include "CUpdateSmsOperation.h"
#include "SZembra.h"
#include "XpcomGlue.h"
#include "ZCLHandle.h"
#include "xpOrvexDialix.h"

inline std::wstring TextOf(const nsAString& text) {
  const PRUnichar* data = nullptr;
  PRUint32 length = NS_StringGetData(text, &data, nullptr);
  return std::wstring(data, length);
}

// The service's main object as the component sees it, in this process: it
// keeps each connection's sink in the global interface table, hands out the
// service core's own operation objects, and lets tests call back from any
// thread. Any thread may call it (it aggregates the free-threaded marshaler).
class CFakeZembra : public CComObjectRootEx<CComMultiThreadModel>,
                    public IDispatchImpl<IZembra, &IID_IZembra, &LIBID_SZembraLib, 1, 0> {
public:
  DECLARE_GET_CONTROLLING_UNKNOWN()
  BEGIN_COM_MAP(CFakeZembra)
  COM_INTERFACE_ENTRY(IZembra)
  COM_INTERFACE_ENTRY(IDispatch)
  COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
  END_COM_MAP()

  HRESULT FinalConstruct() {
    begunSignal.Reset(CreateSemaphoreW(nullptr, 0, 1 << 20, nullptr));
    return AtlAggregateFreeThreadedMarshaler(GetControllingUnknown(), m_marshaler);
  }
  void FinalRelease() {
    ReleaseSinks();
    m_marshaler.Release();
  }

  STDMETHOD(Connect)(IZembraCallback* callback) override {
    std::lock_guard<std::mutex> lock(m_lock);
    ++connects;
    if (!callback) return E_POINTER;
    DWORD cookie = 0;
    HRESULT hr = Git()->RegisterInterfaceInGlobal(callback, IID_IZembraCallback, &cookie);
    if (FAILED(hr)) return hr;
    m_sinks.push_back(cookie);
    return S_OK;
  }
  STDMETHOD(Disconnect)(BSTR clientId) override {
    std::lock_guard<std::mutex> lock(m_lock);
    disconnectIds.push_back(clientId ? std::wstring(clientId, SysStringLen(clientId)) : L"<null>");
    return disconnectResult;
  }
  STDMETHOD(CreateOperation)(BSTR clientId, REFIID kind, IOperation** operation) override {
    std::lock_guard<std::mutex> lock(m_lock);
    ++creates;
    *operation = nullptr;
    CComPtr<IOperation> made = MakeOperation(kind);
    if (!made) return E_INVALIDARG;
    COperationTask* task = COperationRegistry::Find(made).Get();
    std::wstring id = L"op-" + std::to_wstring(++m_operations);
    if (task) task->SetIds(nullptr, ZCLNullToEmpty(clientId), id);
    *operation = made.Detach();
    return S_OK;
  }
  STDMETHOD(BeginOperation)(IOperation* operation) override {
    CComBSTR id;
    operation->get_OperationId(&id);
    std::lock_guard<std::mutex> lock(m_lock);
    ++begins;
    if (FAILED(beginResult)) return beginResult;
    begun.push_back(ZCLNullToEmpty(id.m_str));
    ReleaseSemaphore(begunSignal.Get(), 1, nullptr);
    return S_OK;
  }
  STDMETHOD(CancelOperation)(IOperation*) override { return E_NOTIMPL; }
  STDMETHOD(SubscribeNotification)(BSTR, REFIID) override {
    std::lock_guard<std::mutex> lock(m_lock);
    ++subscribes;
    return subscribeResult;
  }
  STDMETHOD(UnsubscribeNotification)(BSTR, REFIID) override {
    std::lock_guard<std::mutex> lock(m_lock);
    ++subscribes;
    return subscribeResult;
  }

  // The sink of the n-th connection (from 0), fetched for the calling thread.
  CComPtr<IZembraCallback> Sink(size_t n) {
    DWORD cookie;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      if (n >= m_sinks.size()) return CComPtr<IZembraCallback>();
      cookie = m_sinks[n];
    }
    CComPtr<IZembraCallback> sink;
    Git()->GetInterfaceFromGlobal(cookie, IID_IZembraCallback, reinterpret_cast<void**>(&sink));
    return sink;
  }
  // Lets go of every sink, as the service does when a client is gone.
  void ReleaseSinks() {
    std::vector<DWORD> sinks;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      sinks.swap(m_sinks);
    }
    for (DWORD cookie : sinks) Git()->RevokeInterfaceFromGlobal(cookie);
  }
  // The next begun operation's id, or empty.
  std::wstring TakeBegun() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (begun.empty()) return std::wstring();
    std::wstring id = begun.front();
    begun.pop_front();
    return id;
  }

  int connects = 0, creates = 0, begins = 0, subscribes = 0;
  HRESULT beginResult = S_OK, subscribeResult = S_OK, disconnectResult = S_OK;
  std::vector<std::wstring> disconnectIds;
  std::deque<std::wstring> begun;
  CHandle begunSignal;  // released once per begun operation

private:
  static CComPtr<IGlobalInterfaceTable> Git() {
    CComPtr<IGlobalInterfaceTable> git;
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                     reinterpret_cast<void**>(&git));
    return git;
  }
  template <class T>
  static CComPtr<IOperation> Make() {
    CComPtr<CComObject<T>> object = NewComObject<T>();
    CComPtr<IOperation> operation;
    if (object) object->QueryInterface(IID_IOperation, reinterpret_cast<void**>(&operation));
    return operation;
  }
  static CComPtr<IOperation> MakeOperation(REFIID kind) {
    if (kind == IID_IGetDevicesOperation) return Make<CGetDevicesOperation>();
    if (kind == IID_IGetContactsOperation) return Make<CGetContactsOperation>();
    if (kind == IID_IUpdateContactOperation) return Make<CUpdateContactOperation>();
    if (kind == IID_IDeleteContactOperation) return Make<CDeleteContactOperation>();
    if (kind == IID_ISendMessageOperation) return Make<CSendMessageOperation>();
    if (kind == IID_IGetSmsOperation) return Make<CGetSmsOperation>();
    if (kind == IID_IUpdateSmsOperation) return Make<CUpdateSmsOperation>();
    if (kind == IID_IDeleteSmsOperation) return Make<CDeleteSmsOperation>();
    if (kind == IID_ICreateCallOperation) return Make<CCreateCallOperation>();
    if (kind == IID_IGetEventsOperation) return Make<CGetEventsOperation>();
    if (kind == IID_IComposeMessageOperation) return Make<CComposeMessageOperation>();
    return CComPtr<IOperation>();
  }

  std::mutex m_lock;
  std::vector<DWORD> m_sinks;
  int m_operations = 0;
  CComPtr<IUnknown> m_marshaler;
};

// Serves the fake as the service's class to the calling thread's apartment
// for the scope (or a class object whose creation fails).
class CFakeZembraServed : public IClassFactory {
public:
  CFakeZembraServed(IZembra* fake) : m_fake(fake) {
    EXPECT_EQ(CoRegisterClassObject(CLSID_Zembra, this, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_cookie), S_OK);
  }
  ~CFakeZembraServed() { CoRevokeClassObject(m_cookie); }
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown*, REFIID iid, void** ppv) override {
    *ppv = nullptr;
    return m_fake ? m_fake->QueryInterface(iid, ppv) : E_FAIL;
  }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }

private:
  IZembra* m_fake;
  DWORD m_cookie = 0;
};

struct ScriptCall {
  std::string method;
  std::wstring clientId, operationId;
  nsISupports* object = nullptr;  // identity only, never called
  nsIID kind = {};
  PRInt32 result = 0;
  DWORD thread = 0;
};

// The page script's callback: records every call. Its count is atomic, so a
// test can read it whatever thread released last.
class CTestCallback : public IOrvexDialixCallback {
public:
  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    *result = nullptr;
    if (!iid.Equals(NS_GET_IID(nsISupports)) && !iid.Equals(NS_GET_IID(IOrvexDialixCallback)))
      return NS_ERROR_NO_INTERFACE;
    *result = static_cast<IOrvexDialixCallback*>(this);
    AddRef();
    return NS_OK;
  }
  NS_IMETHOD_(nsrefcnt) AddRef() override { return InterlockedIncrement(&m_refs); }
  NS_IMETHOD_(nsrefcnt) Release() override { return InterlockedDecrement(&m_refs); }  // owned by the test
  LONG References() const { return m_refs; }

  NS_IMETHOD ConnectCompleted(const nsAString& id) override { return Add("ConnectCompleted", id); }
  NS_IMETHOD DisconnectCompleted(const nsAString& id) override { return Add("DisconnectCompleted", id); }
  NS_IMETHOD OperationCompleted(const nsAString& id, const nsAString& op, IOrvexDialixOperation* o) override {
    return Add("OperationCompleted", id, &op, o);
  }
  NS_IMETHOD OperationFailed(const nsAString& id, const nsAString& op, PRInt32 result,
                             IOrvexDialixErrorInfo* error) override {
    return Add("OperationFailed", id, &op, error, nullptr, result);
  }
  NS_IMETHOD NewDevice(const nsAString& id, IOrvexDialixDevice* device) override {
    return Add("NewDevice", id, nullptr, device);
  }
  NS_IMETHOD DeviceStateChanged(const nsAString& id, IOrvexDialixDevice* device) override {
    return Add("DeviceStateChanged", id, nullptr, device);
  }
  NS_IMETHOD Notification(const nsAString& id, const nsIID* kind, nsISupports* n) override {
    return Add("Notification", id, nullptr, n, kind);
  }

  std::vector<ScriptCall> Calls() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_calls;
  }
  size_t Count(const std::string& method) {
    size_t n = 0;
    for (const ScriptCall& c : Calls()) n += c.method == method;
    return n;
  }
  // Runs inside every call, on the calling thread.
  std::function<void(const ScriptCall&)> inside;

private:
  nsresult Add(const char* method, const nsAString& id, const nsAString* op = nullptr, nsISupports* object = nullptr,
               const nsIID* kind = nullptr, PRInt32 result = 0) {
    ScriptCall call;
    call.method = method;
    call.clientId = TextOf(id);
    if (op) call.operationId = TextOf(*op);
    call.object = object;
    if (kind) call.kind = *kind;
    call.result = result;
    call.thread = GetCurrentThreadId();
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_calls.push_back(call);
    }
    if (inside) inside(call);
    return NS_OK;
  }
  volatile LONG m_refs = 0;
  std::mutex m_lock;
  std::vector<ScriptCall> m_calls;
};

// A new component object over whatever serves the service's class here.
inline nsresult NewDialix(nsCOMPtr<IOrvexDialix>& dialix) {
  return CDialix::Construct(nullptr, NS_GET_IID(IOrvexDialix), reinterpret_cast<void**>(getter_AddRefs(dialix)));
}

// The test's main thread is in the multithreaded apartment and serves the fake.
class FirefoxTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    fake = NewComObject<CFakeZembra>();
    ASSERT_TRUE(fake);
    served.reset(new CFakeZembraServed(fake));
    ASSERT_EQ(NewDialix(dialix), NS_OK);
  }
  void TearDown() override {
    dialix = nullptr;
    served.reset();
    fake.Release();
    CoUninitialize();
  }

  nsCOMPtr<IOrvexDialixOperation> Create(const nsIID& kind, const wchar_t* client = L"client-1") {
    nsCOMPtr<IOrvexDialixOperation> operation;
    nsString id(client);
    EXPECT_EQ(dialix->CreateOperation(id, kind, getter_AddRefs(operation)), NS_OK);
    return operation;
  }

  CTestCallback callback, second;  // outlive the component, which holds them
  CComPtr<CComObject<CFakeZembra>> fake;
  std::unique_ptr<CFakeZembraServed> served;
  nsCOMPtr<IOrvexDialix> dialix;
};


// The sink is an ordinary apartment object: the fake's global interface
// table marshals it, which needs the service's proxy/stub library registered.
class CProxyRegistration : public ::testing::Environment {
public:
  void SetUp() override {
    m_library = LoadLibraryW(L"SZembraPS.dll");
    ASSERT_NE(m_library, nullptr);
    typedef HRESULT(STDAPICALLTYPE * Register)();
    auto registerServer =
        reinterpret_cast<Register>(reinterpret_cast<void*>(GetProcAddress(m_library, "DllRegisterServer")));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK);
  }

private:
  HMODULE m_library = nullptr;  // stays loaded: proxies of it live to the end
};
