#include <windows.h>
#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include "CSZembraModule.h"
#include "CContact.h"
#include "COperationTask.h"
#include "CStandInDeviceImpl.h"
#include "CZembra.h"
#include "TestModule.h"
#include "StoreTestSupport.h"
#include "TrelkBinding.h"
#include "ZCLWait.h"
#include "ZembraTestSupport.h"
#include "../../common/tests/LogFileTest.h"
#include "../../platform/phone/tests/SimTestSupport.h"

namespace {

const wchar_t kZembraClsidKey[] = L"CLSID\\{D9077386-C5C7-4BEF-923F-8B41DA44FF5E}";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool IsZembraId(const std::wstring& id, unsigned counter) {
  char prefix[16];
  std::snprintf(prefix, sizeof(prefix), "%08x-", counter);
  std::string text = Narrow(id);
  return std::regex_match(text, std::regex("[0-9a-f]{8}-[0-9a-f]{32}")) && text.rfind(prefix, 0) == 0;
}

struct ErrorText {
  std::wstring description;
  std::wstring source;
};

ErrorText TakeErrorInfo() {
  ErrorText text;
  CComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, &info) == S_OK && info) {
    CComBSTR description, source;
    info->GetDescription(&description);
    info->GetSource(&source);
    text.description = description ? description.m_str : L"";
    text.source = source ? source.m_str : L"";
  }
  return text;
}

// The main object in this process, its clients' callbacks here too. The
// task queue can be held shut to see the state between a call and its task.
class MainObjectTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    RegisterProgId();
    ASSERT_EQ(S_OK, CZembra::_ClassFactoryCreatorClass::CreateInstance(
                        reinterpret_cast<void*>(CZembra::_CreatorClass::CreateInstance),
                        IID_IClassFactory, reinterpret_cast<void**>(&m_factory)));
    ASSERT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_IZembra,
                                              reinterpret_cast<void**>(&m_zembra)));
  }
  void TearDown() override {
    m_gate.Set();
    m_zembra.Release();
    m_factory.Release();
    if (m_wroteProgId) ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kZembraClsidKey);
    ::CoUninitialize();
  }

  // Error information names the ProgID registered for the class.
  void RegisterProgId() {
    HKEY key = nullptr;
    std::wstring path = std::wstring(kZembraClsidKey) + L"\\ProgID";
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      ::RegCloseKey(key);
      return;
    }
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
      return;
    const wchar_t progId[] = L"SZembra.Zembra.1";
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(progId), sizeof(progId));
    ::RegCloseKey(key);
    m_wroteProgId = true;
  }

  CZembra* Main() { return static_cast<CZembra*>(m_zembra.p); }
  void HoldQueue() { Main()->AddTask(new CGateTask(m_gate.Get())); }
  void OpenQueue() { m_gate.Set(); }

  // Connects a new recording callback and waits for its id.
  std::wstring Connect(CRecordingCallback** recorder, CComPtr<IZembraCallback>& callback) {
    callback.Attach(CRecordingCallback::Create(recorder).Detach());
    EXPECT_EQ(S_OK, m_zembra->Connect(callback));
    EXPECT_TRUE((*recorder)->WaitFor("ConnectCompleted", 1));
    return (*recorder)->Last("ConnectCompleted").clientId;
  }

  HRESULT CreateOperation(const std::wstring& clientId, REFIID kind, CComPtr<IOperation>& op) {
    op.Release();
    CComBSTR id(clientId.c_str());
    return m_zembra->CreateOperation(id, kind, &op);
  }

  CTestModule m_module;
  CComPtr<IClassFactory> m_factory;
  CComPtr<IZembra> m_zembra;
  CManualEvent m_gate;
  bool m_wroteProgId = false;
};

TEST_F(MainObjectTest, ClientsGetNumberedIdsThroughConnectCompletedOnTheTaskQueue) {
  CRecordingCallback* first = nullptr;
  CRecordingCallback* second = nullptr;
  CComPtr<IZembraCallback> a, b;
  std::wstring idA = Connect(&first, a);
  std::wstring idB = Connect(&second, b);
  EXPECT_TRUE(IsZembraId(idA, 1)) << Narrow(idA);
  EXPECT_TRUE(IsZembraId(idB, 2)) << Narrow(idB);
  EXPECT_NE(::GetCurrentThreadId(), first->Last("ConnectCompleted").thread);
  EXPECT_EQ(1, first->Count("ConnectCompleted"));
}

TEST_F(MainObjectTest, RefusalsCarryTheirTextAndTheProgIdAsSource) {
  EXPECT_EQ(E_POINTER, m_zembra->Connect(nullptr));
  ErrorText error = TakeErrorInfo();
  EXPECT_EQ(L"Argument pICallback is NULL", error.description);
  EXPECT_EQ(L"SZembra.Zembra.1", error.source);

  CComBSTR bogus(L"00000009-00000000000000000000000000");
  CComPtr<IOperation> op;
  EXPECT_EQ(E_POINTER, m_zembra->CreateOperation(bogus, IID_IGetDevicesOperation, nullptr));
  EXPECT_EQ(L"Argument ppOperation is NULL.", TakeErrorInfo().description);
  EXPECT_EQ(E_INVALIDARG, m_zembra->CreateOperation(bogus, IID_IGetDevicesOperation, &op));
  EXPECT_EQ(L"Invalid client id", TakeErrorInfo().description);
  EXPECT_EQ(E_INVALIDARG, m_zembra->Disconnect(nullptr));
  EXPECT_EQ(L"Invalid client id", TakeErrorInfo().description);
  EXPECT_EQ(E_POINTER, m_zembra->BeginOperation(nullptr));
  EXPECT_EQ(L"Argument pIOperation is NULL", TakeErrorInfo().description);
  EXPECT_EQ(E_POINTER, m_zembra->CancelOperation(nullptr));
  EXPECT_EQ(E_INVALIDARG, m_zembra->SubscribeNotification(bogus, IID_ICallNotification));
  EXPECT_EQ(E_INVALIDARG, m_zembra->UnsubscribeNotification(bogus, IID_ICallNotification));
  EXPECT_EQ(L"Invalid client id", TakeErrorInfo().description);
}

TEST_F(MainObjectTest, RefusedCreationsStillUseUpOperationNumbers) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  std::wstring id = Connect(&recorder, callback);
  CComPtr<IOperation> op;
  EXPECT_EQ(E_INVALIDARG, CreateOperation(L"nobody", IID_IGetDevicesOperation, op));  // 1
  EXPECT_EQ(E_INVALIDARG, CreateOperation(id, IID_IDispatch, op));                    // 2
  EXPECT_EQ(L"Invalid operation type", TakeErrorInfo().description);
  ASSERT_EQ(S_OK, CreateOperation(id, IID_IGetContactsOperation, op));  // 3
  CComBSTR operationId, clientId;
  ASSERT_EQ(S_OK, op->get_OperationId(&operationId));
  ASSERT_EQ(S_OK, op->get_ClientId(&clientId));
  EXPECT_TRUE(IsZembraId(operationId.m_str, 3)) << Narrow(operationId.m_str);
  EXPECT_EQ(id, std::wstring(clientId.m_str));
}

TEST_F(MainObjectTest, EveryOperationKindIsCreatedFreshAndAnswersItsInterfaces) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  std::wstring id = Connect(&recorder, callback);
  const IID* kinds[] = {&IID_IGetDevicesOperation,    &IID_ISendMessageOperation,
                        &IID_ICreateCallOperation,    &IID_IGetContactsOperation,
                        &IID_IUpdateContactOperation, &IID_IDeleteContactOperation,
                        &IID_IGetSmsOperation,        &IID_IUpdateSmsOperation,
                        &IID_IDeleteSmsOperation,     &IID_IComposeMessageOperation,
                        &IID_IGetEventsOperation};
  const LONG locks = m_module.GetLockCount();
  for (const IID* kind : kinds) {
    CComPtr<IOperation> op;
    ASSERT_EQ(S_OK, CreateOperation(id, *kind, op));
    CComPtr<IUnknown> own;
    EXPECT_EQ(S_OK, op->QueryInterface(*kind, reinterpret_cast<void**>(&own)));
    CComQIPtr<IDispatch> dispatch(op.p);
    EXPECT_TRUE(dispatch);
    CComQIPtr<ISupportErrorInfo> errors(op.p);
    EXPECT_FALSE(errors);
    EOperationState state = OperationFailed;
    EXPECT_EQ(S_OK, op->get_OperationState(&state));
    EXPECT_EQ(OperationNotStarted, state);
    IUnknown* data = reinterpret_cast<IUnknown*>(1);
    HRESULT hr = op->get_OperationData(&data);
    bool textOnly = *kind == IID_ISendMessageOperation || *kind == IID_ICreateCallOperation ||
                    *kind == IID_IComposeMessageOperation;
    EXPECT_EQ(textOnly ? E_NOTIMPL : S_OK, hr);
    EXPECT_EQ(nullptr, data);
    EXPECT_EQ(locks + 1, m_module.GetLockCount());  // one module lock per operation
  }
  EXPECT_EQ(locks, m_module.GetLockCount());
}

TEST_F(MainObjectTest, OperationPropertiesStoreTextsUpToTheirFirstZero) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  std::wstring id = Connect(&recorder, callback);
  CComPtr<IOperation> op;
  ASSERT_EQ(S_OK, CreateOperation(id, IID_IGetContactsOperation, op));
  CComQIPtr<IGetContactsOperation> contacts(op.p);
  ASSERT_TRUE(contacts);
  CComBSTR serial;
  EXPECT_EQ(S_OK, contacts->get_SerialNumber(&serial));
  EXPECT_EQ(0u, serial.Length());
  CComBSTR embedded(5, L"ab\0cd");
  EXPECT_EQ(S_OK, contacts->put_SerialNumber(embedded));
  serial.Empty();
  EXPECT_EQ(S_OK, contacts->get_SerialNumber(&serial));
  EXPECT_STREQ(L"ab", serial.m_str);
  EXPECT_EQ(S_OK, contacts->put_SerialNumber(nullptr));
  EXPECT_EQ(E_POINTER, contacts->get_SerialNumber(nullptr));

  ASSERT_EQ(S_OK, CreateOperation(id, IID_IDeleteSmsOperation, op));
  CComQIPtr<IDeleteSmsOperation> remove(op.p);
  long flags = 7;
  EXPECT_EQ(S_OK, remove->get_DeleteFlags(&flags));
  EXPECT_EQ(0, flags);
  EXPECT_EQ(S_OK, remove->put_DeleteFlags(-3));
  EXPECT_EQ(S_OK, remove->get_DeleteFlags(&flags));
  EXPECT_EQ(-3, flags);
  CComPtr<ISms> sms;
  EXPECT_EQ(E_FAIL, remove->get_Sms(&sms));
  EXPECT_EQ(E_POINTER, remove->put_Sms(nullptr));
}

TEST_F(MainObjectTest, DisconnectRefusesTheClientUntilItsTaskRanThenForgetsIt) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  std::wstring id = Connect(&recorder, callback);
  CComBSTR bstrId(id.c_str());
  HoldQueue();
  ASSERT_EQ(S_OK, m_zembra->Disconnect(bstrId));
  CComPtr<IOperation> op;
  EXPECT_EQ(E_FAIL, CreateOperation(id, IID_IGetDevicesOperation, op));
  EXPECT_EQ(L"Client has requested disconnection", TakeErrorInfo().description);
  EXPECT_EQ(E_FAIL, m_zembra->Disconnect(bstrId));
  EXPECT_EQ(E_FAIL, m_zembra->SubscribeNotification(bstrId, IID_ICallNotification));
  EXPECT_EQ(S_OK, m_zembra->UnsubscribeNotification(bstrId, IID_ICallNotification));
  EXPECT_EQ(0, recorder->Count("DisconnectCompleted"));
  OpenQueue();
  ASSERT_TRUE(recorder->WaitFor("DisconnectCompleted", 1));
  EXPECT_EQ(id, recorder->Last("DisconnectCompleted").clientId);
  EXPECT_EQ(E_INVALIDARG, CreateOperation(id, IID_IGetDevicesOperation, op));
  EXPECT_EQ(L"Invalid client id", TakeErrorInfo().description);
  EXPECT_EQ(E_INVALIDARG, m_zembra->Disconnect(bstrId));
}

TEST_F(MainObjectTest, ConnectThenDisconnectAtOnceCompleteInThatOrder) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback = CRecordingCallback::Create(&recorder);
  // The client knows its id only later; disconnect it from inside ConnectCompleted.
  recorder->m_inside = [this](const CallbackCall& call) {
    if (call.method != "ConnectCompleted") return;
    CComBSTR id(call.clientId.c_str());
    m_zembra->Disconnect(id);
  };
  ASSERT_EQ(S_OK, m_zembra->Connect(callback));
  ASSERT_TRUE(recorder->WaitFor("DisconnectCompleted", 1));
  std::vector<CallbackCall> calls = recorder->Calls();
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ("ConnectCompleted", calls[0].method);
  EXPECT_EQ("DisconnectCompleted", calls[1].method);
}

// The browser plug-ins create an operation from inside ConnectCompleted; in
// the service that call arrives on the main thread while the task queue's
// thread waits for the callback to return.
TEST_F(MainObjectTest, AClientMayCallTheServiceFromAnotherThreadInsideItsCallbacks) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback = CRecordingCallback::Create(&recorder);
  HRESULT created = E_PENDING;
  DWORD wait = WAIT_FAILED;
  IZembra* zembra = m_zembra;
  recorder->m_inside = [&](const CallbackCall& call) {
    if (call.method != "ConnectCompleted" && call.method != "DisconnectCompleted") return;
    std::wstring id = call.clientId;
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&, id, done] {
      ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      CComBSTR bstrId(id.c_str());
      CComPtr<IOperation> op;
      created = zembra->CreateOperation(bstrId, IID_IGetDevicesOperation, &op);
      ::SetEvent(done);
      ::CoUninitialize();
    });
    wait = ::WaitForSingleObject(done, 10000);
    if (wait == WAIT_OBJECT_0)
      other.join();
    else
      other.detach();  // a deadlock: the test fails below
    ::CloseHandle(done);
  };
  ASSERT_EQ(S_OK, m_zembra->Connect(callback));
  ASSERT_TRUE(recorder->WaitFor("ConnectCompleted", 1, 20000));
  EXPECT_EQ(WAIT_OBJECT_0, wait);
  EXPECT_EQ(S_OK, created);
  CComBSTR id(recorder->Last("ConnectCompleted").clientId.c_str());
  ASSERT_EQ(S_OK, m_zembra->Disconnect(id));
  ASSERT_TRUE(recorder->WaitFor("DisconnectCompleted", 1, 20000));
  EXPECT_EQ(WAIT_OBJECT_0, wait);
  EXPECT_EQ(E_INVALIDARG, created);  // the record was out before the client was called
}

TEST_F(MainObjectTest, SubscriptionsChooseWhichNotificationsAClientGets) {
  CRecordingCallback *calls = nullptr, *events = nullptr, *none = nullptr;
  CComPtr<IZembraCallback> a, b, c;
  CComBSTR idCalls(Connect(&calls, a).c_str());
  CComBSTR idEvents(Connect(&events, b).c_str());
  Connect(&none, c);
  EXPECT_EQ(S_OK, m_zembra->SubscribeNotification(idCalls, IID_ICallNotification));
  EXPECT_EQ(E_FAIL, m_zembra->SubscribeNotification(idCalls, IID_ICallNotification));
  EXPECT_EQ(L"Subscription failed!", TakeErrorInfo().description);
  EXPECT_EQ(S_OK, m_zembra->UnsubscribeNotification(idCalls, IID_IMessageReceivedNotification));
  EXPECT_EQ(S_OK, m_zembra->SubscribeNotification(idEvents, IID_IEventsUpdatedNotification));

  CClientManager& clients = Main()->GetClientManager();
  clients.Notify(IID_ICallNotification, nullptr);
  clients.Notify(IID_IEventsUpdatedNotification, nullptr);
  clients.Notify(IID_IMessageReceivedNotification, nullptr);
  // Each client's calls come in order: a device event behind the
  // notifications shows that they have all arrived.
  clients.DeviceStateChanged(nullptr);
  ASSERT_TRUE(calls->WaitFor("DeviceStateChanged", 1) && events->WaitFor("DeviceStateChanged", 1) &&
              none->WaitFor("DeviceStateChanged", 1));
  ASSERT_EQ(1, calls->Count("Notification"));
  EXPECT_EQ(IID_ICallNotification, calls->Last("Notification").kind);
  ASSERT_EQ(1, events->Count("Notification"));
  EXPECT_EQ(IID_IEventsUpdatedNotification, events->Last("Notification").kind);
  EXPECT_EQ(0, none->Count("Notification"));

  // A disabled client still hears its kinds, but no device events.
  HoldQueue();
  ASSERT_EQ(S_OK, m_zembra->Disconnect(idCalls));
  clients.Notify(IID_ICallNotification, nullptr);
  clients.NewDevice(nullptr);
  clients.DeviceStateChanged(nullptr);
  EXPECT_TRUE(calls->WaitFor("Notification", 2));
  EXPECT_TRUE(events->WaitFor("NewDevice", 1));
  EXPECT_TRUE(none->WaitFor("DeviceStateChanged", 2));
  OpenQueue();
  ASSERT_TRUE(calls->WaitFor("DisconnectCompleted", 1));  // its last call
  EXPECT_EQ(0, calls->Count("NewDevice"));
  EXPECT_EQ(1, calls->Count("DeviceStateChanged"));

  EXPECT_EQ(S_OK, m_zembra->UnsubscribeNotification(idEvents, IID_IEventsUpdatedNotification));
  clients.Notify(IID_IEventsUpdatedNotification, nullptr);
  clients.NewDevice(nullptr);
  ASSERT_TRUE(events->WaitFor("NewDevice", 2));
  EXPECT_EQ(1, events->Count("Notification"));
}

TEST_F(MainObjectTest, AClientWhoseProcessIsGoneIsDisabledAtItsNextEventAndRemoved) {
  CRecordingCallback *gone = nullptr, *other = nullptr;
  CComPtr<IZembraCallback> a, b;
  std::wstring idGone = Connect(&gone, a);
  Connect(&other, b);
  CComBSTR bstrGone(idGone.c_str());
  ASSERT_EQ(S_OK, m_zembra->SubscribeNotification(bstrGone, IID_ICallNotification));
  gone->m_result = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
  HoldQueue();
  CClientManager& clients = Main()->GetClientManager();
  clients.NewDevice(nullptr);
  EXPECT_TRUE(other->WaitFor("NewDevice", 1));
  EXPECT_TRUE(WaitFor([&] { return !clients.IsClientEnabled(bstrGone); }));
  EXPECT_EQ(E_FAIL, m_zembra->Disconnect(bstrGone));
  clients.DeviceStateChanged(nullptr);
  EXPECT_EQ(1, gone->Count("NewDevice"));
  EXPECT_EQ(0, gone->Count("DeviceStateChanged"));
  clients.Notify(IID_ICallNotification, nullptr);  // queues a second removal: harmless
  OpenQueue();
  ASSERT_TRUE(WaitFor([&] { return !clients.IsValidClientId(bstrGone); }));
  ASSERT_TRUE(gone->WaitFor("DisconnectCompleted", 1));
  EXPECT_EQ(E_INVALIDARG, m_zembra->Disconnect(bstrGone));
  clients.NewDevice(nullptr);
  EXPECT_TRUE(other->WaitFor("NewDevice", 2));
  EXPECT_EQ(1, gone->Count("NewDevice"));
}

TEST_F(MainObjectTest, AnOperationThePhoneCannotDoFailsWithTheDevicesReason) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  std::wstring id = Connect(&recorder, callback);
  storetest::TempFolder folder(L"not-built");
  CZembraDevicePtr phone = std::make_shared<CZembraDevice>();
  phone->SetSerialNumber(L"NOT-BUILT");
  phone->SetDataFolder(folder.Path().c_str());
  phone->SetDeviceImpl(new CStandInDeviceImpl());
  phone->SetState(DeviceConnected);
  Main()->GetDeviceManager().GetDeviceList().Add(phone, false);
  CComPtr<IOperation> op;
  ASSERT_EQ(S_OK, CreateOperation(id, IID_IUpdateContactOperation, op));
  CComQIPtr<IUpdateContactOperation> update(op.p);
  CComPtr<CComObject<CContact>> contact = NewComObject<CContact>();
  contact->Init(nullptr, L"NOT-BUILT");
  ASSERT_EQ(S_OK, update->put_Contact(contact));
  CComBSTR operationId;
  op->get_OperationId(&operationId);
  ASSERT_EQ(S_OK, m_zembra->BeginOperation(op));
  ASSERT_TRUE(recorder->WaitFor("OperationFailed", 1));
  CallbackCall failed = recorder->Last("OperationFailed");
  EXPECT_EQ(E_FAIL, failed.hr);
  EXPECT_EQ(std::wstring(operationId.m_str), failed.operationId);
  EXPECT_NE(std::wstring::npos, failed.description.find(L"Not implemented!"));
  EXPECT_EQ(L"", failed.source);
  EXPECT_EQ(0, recorder->Count("OperationCompleted"));
  EOperationState state = OperationNotStarted;
  EXPECT_TRUE(WaitFor([&] { return op->get_OperationState(&state) == S_OK && state == OperationFailed; }));

  // Begun twice, it runs twice; an update without its contact names what is missing.
  ASSERT_EQ(S_OK, m_zembra->BeginOperation(op));
  ASSERT_TRUE(recorder->WaitFor("OperationFailed", 2));
  ASSERT_EQ(S_OK, CreateOperation(id, IID_IUpdateContactOperation, op));
  ASSERT_EQ(S_OK, m_zembra->BeginOperation(op));
  ASSERT_TRUE(recorder->WaitFor("OperationFailed", 3));
  EXPECT_EQ(E_FAIL, recorder->Last("OperationFailed").hr);
  EXPECT_EQ(L"No Contact!", recorder->Last("OperationFailed").description);
  EXPECT_EQ(S_OK, m_zembra->CancelOperation(op));
  phone->StoreForTests().Close();  // the folder goes before the device list does
}

ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// The id through which operations once handed out their task side, a pointer
// that is no interface: a proxy asking for it broke the service.
const IID kOldTaskQueryId = {
    0x0a3f7c52, 0x61d4, 0x4e1b, {0x9b, 0x6e, 0x5c, 0x2d, 0x8f, 0x4a, 0x7e, 0x19}};

TEST_F(MainObjectTest, OperationsAreKnownByIdentityOnlyWhileTheyLive) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  std::wstring id = Connect(&recorder, callback);
  CComPtr<IOperation> op;
  ASSERT_EQ(S_OK, CreateOperation(id, IID_IGetContactsOperation, op));
  void* odd = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, op->QueryInterface(kOldTaskQueryId, &odd));
  EXPECT_EQ(nullptr, odd);

  const ULONG held = References(op);
  {
    CComQIPtr<IGetContactsOperation> own(op.p);
    COperationRegistry::CLiveRef found = COperationRegistry::Find(own);
    ASSERT_TRUE(found);
    EXPECT_EQ(held + 2, References(op));  // the query's and the registry's
    CComBSTR operationId;
    op->get_OperationId(&operationId);
    EXPECT_EQ(std::wstring(operationId.m_str), found->GetOperationId());
  }
  EXPECT_EQ(held, References(op));
  const size_t live = COperationRegistry::Count();
  op.Release();
  EXPECT_EQ(live - 1, COperationRegistry::Count());
}

// Queueing fails as a queue out of memory would: nothing is left behind, no
// reference is dropped twice, and the next call works.
TEST_F(MainObjectTest, AQueueingThatFailsLeavesNeitherARecordNorAReference) {
  CRecordingCallback* lost = nullptr;
  CComPtr<IZembraCallback> lostCallback = CRecordingCallback::Create(&lost);
  const ULONG callbackHeld = References(lostCallback);
  Main()->FailNextQueueing(1);
  EXPECT_EQ(E_OUTOFMEMORY, m_zembra->Connect(lostCallback));
  // Out of the GIT again once the client's delivery thread has let go.
  EXPECT_TRUE(ZCLWaitUntil([&] { return References(lostCallback) == callbackHeld; }, 10000))
      << References(lostCallback);
  Main()->GetClientManager().NewDevice(nullptr);
  EXPECT_EQ(0, lost->Count("NewDevice"));  // no record of it

  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  std::wstring id = Connect(&recorder, callback);
  EXPECT_TRUE(IsZembraId(id, 2)) << Narrow(id);
  CComPtr<IOperation> op;
  ASSERT_EQ(S_OK, CreateOperation(id, IID_IGetEventsOperation, op));
  const ULONG held = References(op);
  const LONG locks = m_module.GetLockCount();
  Main()->FailNextQueueing(1);
  EXPECT_EQ(E_OUTOFMEMORY, m_zembra->BeginOperation(op));
  EXPECT_EQ(held, References(op));
  ASSERT_EQ(S_OK, m_zembra->BeginOperation(op));
  ASSERT_TRUE(recorder->WaitFor("OperationFailed", 1));
  EXPECT_TRUE(ZCLWaitUntil([&] { return References(op) == held; }, 10000));
  op.Release();
  EXPECT_EQ(locks - 1, m_module.GetLockCount());  // the operation is gone

  Main()->FailNextQueueing(1);
  CComBSTR bstrId(id.c_str());
  EXPECT_EQ(E_OUTOFMEMORY, m_zembra->Disconnect(bstrId));
  EXPECT_TRUE(Main()->GetClientManager().IsClientEnabled(bstrId));
  ASSERT_EQ(S_OK, m_zembra->Disconnect(bstrId));  // not left half disconnected
  EXPECT_TRUE(recorder->WaitFor("DisconnectCompleted", 1));
}

// The client's own object: no cast is tried on it, and it is refused.
class CForeignOperation : public CComObjectRootEx<CComMultiThreadModel>,
                          public IDispatchImpl<IOperation, &IID_IOperation, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CForeignOperation)
  COM_INTERFACE_ENTRY(IOperation)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()
  STDMETHOD(get_ClientId)(BSTR* p) override {
    *p = ::SysAllocString(m_clientId.c_str());
    return S_OK;
  }
  STDMETHOD(get_OperationId)(BSTR* p) override {
    *p = ::SysAllocString(L"00000001-00000000000000000000000000");
    return S_OK;
  }
  STDMETHOD(get_OperationState)(EOperationState* p) override {
    *p = OperationNotStarted;
    return S_OK;
  }
  STDMETHOD(get_OperationData)(IUnknown** p) override {
    *p = nullptr;
    return S_OK;
  }
  std::wstring m_clientId;
};

TEST_F(MainObjectTest, AClientsOwnOperationIsRefusedWithoutACrash) {
  CRecordingCallback* recorder = nullptr;
  CComPtr<IZembraCallback> callback;
  std::wstring id = Connect(&recorder, callback);
  CComObject<CForeignOperation>* raw = nullptr;
  ASSERT_EQ(S_OK, CComObject<CForeignOperation>::CreateInstance(&raw));
  CComPtr<IOperation> foreign(raw);
  raw->m_clientId = id;
  EXPECT_EQ(E_UNEXPECTED, m_zembra->BeginOperation(foreign));
  EXPECT_EQ(L"Task Query failed", TakeErrorInfo().description);
  EXPECT_EQ(E_INVALIDARG, m_zembra->CancelOperation(foreign));
  EXPECT_EQ(L"Invalid client id", TakeErrorInfo().description);
  raw->m_clientId = L"nobody";
  EXPECT_EQ(E_INVALIDARG, m_zembra->BeginOperation(foreign));
}

TEST_F(MainObjectTest, CallControlIsReachableFromAWorkerThreadThroughTheGIT) {
  bool reached = false, composer = false;
  std::thread worker([&] {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    reached = Main()->GetCallControl() != nullptr;
    composer = Main()->GetMessageComposer() != nullptr;
    ::CoUninitialize();
  });
  worker.join();
  EXPECT_TRUE(reached);
  EXPECT_TRUE(composer);
}

TEST(ClientIds, CounterThenGuidFieldsInLowerCaseHex) {
  EXPECT_TRUE(IsZembraId(MakeZembraId(1), 1));
  EXPECT_TRUE(IsZembraId(MakeZembraId(0xabcdef12), 0xabcdef12));
  EXPECT_NE(MakeZembraId(5), MakeZembraId(5));
}

}  // namespace

namespace {

// The main object over a world of the simulated phone of the test's own,
// reading what it writes to the log file.
class MainObjectStartTest : public LogFileTest {
protected:
  void SetUp() override {
    LogFileTest::SetUp();
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    m_world.reset(new PhoneSim::CPhoneWorld(m_scratch.Folder()));
  }
  void TearDown() override {
    m_zembra.Release();
    m_factory.Release();  // stops both threads
    ::CoUninitialize();
    LogFileTest::TearDown();
  }
  CZembra* Start() {
    EXPECT_EQ(S_OK, CZembra::_ClassFactoryCreatorClass::CreateInstance(
                        reinterpret_cast<void*>(CZembra::_CreatorClass::CreateInstance),
                        IID_IClassFactory, reinterpret_cast<void**>(&m_factory)));
    EXPECT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_IZembra,
                                              reinterpret_cast<void**>(&m_zembra)));
    return static_cast<CZembra*>(m_zembra.p);
  }
  void Stop() {
    m_zembra.Release();
    m_factory.Release();
  }

  PhoneSim::Testing::CScratchWorld m_scratch;
  std::unique_ptr<PhoneSim::CPhoneWorld> m_world;
  CTestModule m_module;
  CComPtr<IClassFactory> m_factory;
  CComPtr<IZembra> m_zembra;
};

TEST_F(MainObjectStartTest, TheConnectivityStartOpensDeviceManagementAndTheDeviceManagerThread) {
  PhoneSim::CPhone phone;
  phone.serial = L"SERIAL-1";
  ASSERT_TRUE(m_world->PlugPhone(phone));
  CZembra* zembra = Start();
  ASSERT_TRUE(ZCLWaitUntil([&] { return zembra->IsTrelkInitialized(); }, 20000));
  EXPECT_EQ(1u, Trelk::RUVONBinding().GetReferenceCount());
  EXPECT_NE(nullptr, zembra->GetDeviceManager().GetDeviceManagement());
  DWORD dm = 0, count = 0;
  ASSERT_EQ(0u, LNYXOpenDM(&dm));
  EXPECT_EQ(0u, LNYXGetDeviceCount(dm, &count));
  EXPECT_EQ(1u, count);
  LNYXCloseDM(dm);
  Stop();
  EXPECT_EQ(0u, Trelk::RUVONBinding().GetReferenceCount());
}

TEST_F(MainObjectStartTest, AConnectivityStartThatFailsIsLoggedAtLevelOneWithTheLibrarysText) {
  m_world->InjectFault("RUVON_Initialize", 0x80100000, 1);
  ZCLLogger::Instance().SetLevel(1);
  CZembra* zembra = Start();
  const std::string line = AsFileText("[TrelkException\n0x80100000\nELNYX_INIT_FAILED: DLL initialization failed]");
  EXPECT_TRUE(ZCLWaitUntil([&] { return NewText().find(line) != std::string::npos; }, 20000))
      << NewText();
  EXPECT_FALSE(zembra->IsTrelkInitialized());
  EXPECT_EQ(0u, Trelk::RUVONBinding().GetReferenceCount());
}

TEST_F(MainObjectStartTest, TheManagersAreHandedOutUnderTheirTraces) {
  CZembra* zembra = Start();
  zembra->GetClientManager();
  zembra->GetDeviceManager();
  std::string text = NewText();
  EXPECT_NE(std::string::npos, text.find(">> CZembra::GetClientManager"));
  EXPECT_NE(std::string::npos, text.find(">> CZembra::GetDeviceManager"));
}

}  // namespace
