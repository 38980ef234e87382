#include <windows.h>
#include <gtest/gtest.h>
#include <fstream>
#include <string>
#include "COrvexDialix.h"
#include "CCallBack.h"
#include "COrvexDialixCallBack.h"
#include "CieOrvexDialixModule.h"
#include "NumberFinder.h"
#include "OperationWrappers.h"
#include "PageLock.h"
#include "ScriptFakes.h"
#include "ServiceFakes.h"
#include "SutrelRegistry.h"
#include "ZCLHandle.h"

namespace {

std::wstring ErrorText() {
  CComPtr<IErrorInfo> info;
  CComBSTR text;
  if (::GetErrorInfo(0, &info) == S_OK) info->GetDescription(&text);
  return text ? std::wstring(text) : std::wstring();
}

std::wstring TempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name;
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void SetSutrelValue(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
  CRegistryKey key;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSutrelKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, key.Put(), nullptr));
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), name, 0, type,
                                            static_cast<const BYTE*>(data), bytes));
}
void SetSutrelText(const wchar_t* name, const std::wstring& text) {
  SetSutrelValue(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
void DeleteSutrelValue(const wchar_t* name) {
  CRegistryKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSutrelKey, 0, KEY_SET_VALUE, key.Put()) == ERROR_SUCCESS)
    ::RegDeleteValueW(key.Get(), name);
}

// Hands the fake service to every local-server creation of the service's class.
class CFakeServiceFactory : public IClassFactory {
public:
  explicit CFakeServiceFactory(IZembra* service) : m_service(service) {}
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IClassFactory)) {
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown*, REFIID iid, void** ppv) override {
    return m_service->QueryInterface(iid, ppv);
  }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }

private:
  IZembra* m_service;
};

class PluginTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    PointServiceProgIdAt(L"{D9077386-C5C7-4BEF-923F-8B41DA44FF5E}");
    m_service.Attach(new CFakeZembra);
    m_factory.reset(new CFakeServiceFactory(m_service));
    ASSERT_EQ(S_OK, ::CoRegisterClassObject(CLSID_Zembra, m_factory.get(), CLSCTX_LOCAL_SERVER,
                                            REGCLS_MULTIPLEUSE, &m_cookie));
    ASSERT_EQ(S_OK, COrvexDialix::CreateInstance(&m_control));
  }
  void TearDown() override {
    PointServiceProgIdAt(L"{D9077386-C5C7-4BEF-923F-8B41DA44FF5E}");
    m_control.Release();
    ::CoRevokeClassObject(m_cookie);
    // The service goes, and its clients with it: a callback still waiting
    // for its client id holds the service.
    m_service->m_callback.Release();
    m_service.Release();
    ::CoUninitialize();
  }
  // The service's ProgID names the class the control creates.
  static void PointServiceProgIdAt(const std::wstring& clsid) {
    CRegistryKey progId;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CLASSES_ROOT, L"SZembra.Zembra\\CLSID", 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, progId.Put(), nullptr));
    ::RegSetValueExW(progId.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid.c_str()),
                     static_cast<DWORD>((clsid.size() + 1) * sizeof(wchar_t)));
  }
  CComPtr<IDispatch> Create(const wchar_t* name) {
    CComPtr<IDispatch> op;
    EXPECT_EQ(S_OK, m_control->CreateOperation(CComBSTR(L"client"), CComBSTR(name), &op));
    return op;
  }

  CComPtr<CFakeZembra> m_service;
  std::unique_ptr<CFakeServiceFactory> m_factory;
  DWORD m_cookie = 0;
  CComPtr<IOrvexDialix> m_control;
};

// --- The callback object: script methods by name, arguments last first.

TEST_F(PluginTest, CallbackCallsScriptByNameWithArgumentsLastFirst) {
  CFakeScript* script = new CFakeScript({L"OperationFailed", L"Notification"});
  CComPtr<IDispatch> hold;
  hold.Attach(script);
  ASSERT_EQ(S_OK, m_control->Connect(script));
  ASSERT_TRUE(m_service->m_callback);
  CComPtr<IErrorInfo> error;
  AtlCreateErrorInfo(L"why", &error);
  EXPECT_EQ(S_OK, m_service->m_callback->OperationFailed(CComBSTR(L"c1"), CComBSTR(L"o1"), E_ABORT, error));
  ASSERT_EQ(1u, script->m_calls.size());
  const auto& args = script->m_calls[0].args;
  ASSERT_EQ(4u, args.size());
  EXPECT_EQ(VT_UNKNOWN, args[0].vt);
  EXPECT_EQ(VT_I4, args[1].vt);
  EXPECT_EQ(E_ABORT, args[1].lVal);
  EXPECT_STREQ(L"o1", args[2].bstrVal);
  EXPECT_STREQ(L"c1", args[3].bstrVal);

  // A notification of another kind calls nothing.
  EXPECT_EQ(E_FAIL, m_service->m_callback->Notification(CComBSTR(L"c1"), IID_IZembra, nullptr));
  EXPECT_EQ(1u, script->m_calls.size());
  // A missing method: the lookup's failure, except for ConnectCompleted.
  EXPECT_EQ(DISP_E_UNKNOWNNAME, m_service->m_callback->NewDevice(CComBSTR(L"c1"), nullptr));
  EXPECT_EQ(S_OK, m_service->m_callback->ConnectCompleted(CComBSTR(L"c1")));
}

// Each kind reaches script under its script name as a wrapper of its own,
// which forwards to the service's notification.
TEST_F(PluginTest, NotificationsReachScriptAsTheirOwnWrappers) {
  CFakeScript* script = new CFakeScript({L"Notification"});
  CComPtr<IDispatch> hold;
  hold.Attach(script);
  ASSERT_EQ(S_OK, m_control->Connect(script));
  auto deliver = [&](REFIID kind, ISNotification* notification, const wchar_t* name, REFIID scriptItf,
                     void** wrapper) {
    CComPtr<ISNotification> owned;
    owned.Attach(notification);
    size_t before = script->m_calls.size();
    ASSERT_EQ(S_OK, m_service->m_callback->Notification(CComBSTR(L"c1"), kind, notification));
    ASSERT_EQ(before + 1, script->m_calls.size());
    const auto& args = script->m_calls.back().args;
    ASSERT_EQ(3u, args.size());
    EXPECT_STREQ(L"c1", args[2].bstrVal);
    EXPECT_STREQ(name, args[1].bstrVal);
    ASSERT_EQ(VT_DISPATCH, args[0].vt);
    ASSERT_EQ(S_OK, args[0].pdispVal->QueryInterface(scriptItf, wrapper));
  };
  CComBSTR text;
  CComPtr<IOrvexDialixCallNotification> call;
  deliver(IID_ICallNotification, new CFakeCallNotification, L"IOrvexDialixCallNotification",
          IID_IOrvexDialixCallNotification, reinterpret_cast<void**>(&call));
  ASSERT_TRUE(call);
  ECallState state = CallStateIdle;
  EXPECT_EQ(S_OK, call->get_State(&state));
  EXPECT_EQ(CallStateIncoming, state);
  EXPECT_EQ(S_OK, call->get_Number(&text));
  EXPECT_STREQ(L"+358401", text);

  CFakeMessageNotification* message = new CFakeMessageNotification;
  CComPtr<ISms> sms = message->m_sms;
  CComPtr<IOrvexDialixMessageReceivedNotification> received;
  deliver(IID_IMessageReceivedNotification, message, L"IOrvexDialixMessageReceivedNotification",
          IID_IOrvexDialixMessageReceivedNotification, reinterpret_cast<void**>(&received));
  ASSERT_TRUE(received);
  // The service's message itself, not a wrapper.
  CComPtr<ISms> got;
  EXPECT_EQ(S_OK, received->get_Message(&got));
  EXPECT_EQ(sms.p, got.p);
  text.Empty();
  EXPECT_EQ(S_OK, received->get_SerialNumber(&text));
  EXPECT_STREQ(L"SN-1", text);

  CComPtr<IOrvexDialixEventsUpdatedNotification> events;
  deliver(IID_IEventsUpdatedNotification, new CFakeEventsNotification, L"IOrvexDialixEventsUpdatedNotification",
          IID_IOrvexDialixEventsUpdatedNotification, reinterpret_cast<void**>(&events));
  ASSERT_TRUE(events);
  CComPtr<IEvent> event;
  EXPECT_EQ(E_NOINTERFACE, events->get_Event(&event));
  EXPECT_FALSE(event);

  // A notification without the interface its kind names reaches no script.
  CComPtr<ISNotification> mismatched;
  mismatched.Attach(new CFakeCallNotification);
  size_t calls = script->m_calls.size();
  EXPECT_TRUE(FAILED(m_service->m_callback->Notification(CComBSTR(L"c1"), IID_IMessageReceivedNotification,
                                                         mismatched)));
  EXPECT_EQ(calls, script->m_calls.size());
}

TEST_F(PluginTest, ConnectWithoutScriptObjectIsRefused) {
  EXPECT_EQ(E_POINTER, m_control->Connect(nullptr));
}

TEST_F(PluginTest, ControlWithoutServiceSaysSo) {
  // A class nobody serves, so no registered server starts; TearDown points back.
  PointServiceProgIdAt(L"{9E1D0C5B-0000-4000-8000-000000000001}");
  CComPtr<IOrvexDialix> lonely;
  ASSERT_EQ(S_OK, COrvexDialix::CreateInstance(&lonely));
  CFakeScript* script = new CFakeScript({});
  CComPtr<IDispatch> hold;
  hold.Attach(script);
  HRESULT hr = lonely->Connect(script);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(L"Orvex Dialix service is not available.", ErrorText());
  EXPECT_EQ(hr, lonely->Disconnect(CComBSTR(L"c")));
  // What needs no service still works.
  EXPECT_EQ(S_OK, lonely->Trace(CComBSTR(L"x")));
}

// --- A page that leaves: the service keeps the callback, not the script.

TEST_F(PluginTest, ReleasedControlDisconnectsItsClientsAndLetsTheScriptGo) {
  CFakeScript* script = new CFakeScript({L"ConnectCompleted", L"DisconnectCompleted"});
  CComPtr<IDispatch> hold;
  hold.Attach(script);
  ASSERT_EQ(S_OK, m_control->Connect(script));
  CComPtr<IZembraCallback> first = m_service->m_callback;
  ASSERT_EQ(S_OK, first->ConnectCompleted(CComBSTR(L"c1")));
  // A second connection replaces the first; the page ends neither.
  ASSERT_EQ(S_OK, m_control->Connect(script));
  ASSERT_EQ(S_OK, m_service->m_callback->ConnectCompleted(CComBSTR(L"c2")));
  m_control.Release();
  EXPECT_EQ((std::vector<std::wstring>{L"c1", L"c2"}), m_service->m_disconnected);
  EXPECT_EQ(1u, script->Refs());  // the test's own
  // What the service still sends calls no script.
  size_t calls = script->m_calls.size();
  EXPECT_EQ(S_OK, first->DisconnectCompleted(CComBSTR(L"c1")));
  EXPECT_EQ(calls, script->m_calls.size());
}

TEST_F(PluginTest, ControlReleasedBeforeItsClientIdCameDisconnectsWhenItComes) {
  CFakeScript* script = new CFakeScript({L"ConnectCompleted"});
  CComPtr<IDispatch> hold;
  hold.Attach(script);
  ASSERT_EQ(S_OK, m_control->Connect(script));
  m_control.Release();
  EXPECT_EQ(1u, script->Refs());
  EXPECT_TRUE(m_service->m_disconnected.empty());
  ASSERT_EQ(S_OK, m_service->m_callback->ConnectCompleted(CComBSTR(L"c3")));
  EXPECT_EQ(std::vector<std::wstring>{L"c3"}, m_service->m_disconnected);
  EXPECT_TRUE(script->m_calls.empty());
}

TEST_F(PluginTest, ClientThePageDisconnectedIsNotDisconnectedAgain) {
  CFakeScript* script = new CFakeScript({});
  CComPtr<IDispatch> hold;
  hold.Attach(script);
  ASSERT_EQ(S_OK, m_control->Connect(script));
  ASSERT_EQ(S_OK, m_service->m_callback->ConnectCompleted(CComBSTR(L"c4")));
  ASSERT_EQ(S_OK, m_control->Disconnect(CComBSTR(L"c4")));
  m_control.Release();
  EXPECT_EQ(std::vector<std::wstring>{L"c4"}, m_service->m_disconnected);
}

// --- Operations by the name of their script interface.

TEST_F(PluginTest, CreateOperationMatchesTheNameExactly) {
  CComPtr<IDispatch> op;
  EXPECT_EQ(E_INVALIDARG, m_control->CreateOperation(CComBSTR(L"client"),
                                                     CComBSTR(L"iorvexdialixgetdevicesoperation"), &op));
  EXPECT_EQ(L"Unknown operation: iorvexdialixgetdevicesoperation", ErrorText());
  EXPECT_FALSE(op);
  op = Create(L"IOrvexDialixGetDevicesOperation");
  ASSERT_TRUE(op);
  EXPECT_TRUE(::IsEqualIID(IID_IGetDevicesOperation, m_service->m_createdKind));
  CComPtr<IOrvexDialixGetDevicesOperation> typed;
  EXPECT_EQ(S_OK, op->QueryInterface(IID_IOrvexDialixGetDevicesOperation, reinterpret_cast<void**>(&typed)));
  // A specific wrapper is not the generic one.
  CComPtr<IOrvexDialixOperation> generic;
  EXPECT_EQ(E_NOINTERFACE, op->QueryInterface(IID_IOrvexDialixOperation, reinterpret_cast<void**>(&generic)));
}

TEST_F(PluginTest, OperationWithoutItsOwnInterfaceIsNotWrapped) {
  m_service->m_answerKind = false;
  CComPtr<IDispatch> op;
  EXPECT_EQ(E_POINTER, m_control->CreateOperation(CComBSTR(L"client"),
                                                  CComBSTR(L"IOrvexDialixGetContactsOperation"), &op));
  EXPECT_EQ(L"Failed to get interface", ErrorText());
  EXPECT_FALSE(op);
}

TEST_F(PluginTest, SpecificWrapperCanBeBegunAndCancelled) {
  CComPtr<IDispatch> op = Create(L"IOrvexDialixGetContactsOperation");
  ASSERT_TRUE(op);
  EXPECT_EQ(S_OK, m_control->BeginOperation(op));
  EXPECT_TRUE(m_service->m_begun);
  EXPECT_EQ(S_OK, m_control->CancelOperation(op));
  EXPECT_TRUE(m_service->m_cancelled.IsEqualObject(m_service->m_begun));

  CFakeScript* notWrapper = new CFakeScript({});
  CComPtr<IDispatch> hold;
  hold.Attach(notWrapper);
  EXPECT_EQ(E_INVALIDARG, m_control->BeginOperation(notWrapper));
  EXPECT_EQ(L"Unable to obtain given interface", ErrorText());
  EXPECT_EQ(E_INVALIDARG, m_control->CancelOperation(notWrapper));
}

// A put takes only a wrapper of its own kind and never hands the service
// anything else.
TEST_F(PluginTest, ContactPutTakesOnlyContactWrappers) {
  CComPtr<IDispatch> op = Create(L"IOrvexDialixUpdateContactOperation");
  CComPtr<IOrvexDialixUpdateContactOperation> update;
  ASSERT_EQ(S_OK, op->QueryInterface(IID_IOrvexDialixUpdateContactOperation, reinterpret_cast<void**>(&update)));
  CFakeScript* foreign = new CFakeScript({});
  CComPtr<IDispatch> hold;
  hold.Attach(foreign);
  EXPECT_EQ(E_INVALIDARG, update->put_Contact(reinterpret_cast<IOrvexDialixContact*>(foreign)));
  EXPECT_EQ(L"Failed to set contact for update", ErrorText());
  EXPECT_EQ(E_POINTER, update->put_Contact(nullptr));
  EXPECT_EQ(L"Failed to set contact for update", ErrorText());
}

TEST_F(PluginTest, SubscriptionsGoByScriptName) {
  EXPECT_EQ(S_OK, m_control->SubscribeNotification(CComBSTR(L"c"), CComBSTR(L"IOrvexDialixCallNotification")));
  EXPECT_TRUE(::IsEqualIID(IID_ICallNotification, m_service->m_subscribed));
  EXPECT_EQ(E_INVALIDARG, m_control->SubscribeNotification(CComBSTR(L"c"), CComBSTR(L"Calls")));
  EXPECT_EQ(L"Failed to subscribe to: Calls", ErrorText());
}

// --- Files and the installation's registry values.

TEST_F(PluginTest, ReadFileReadsTextUpToAZeroByte) {
  std::wstring folder = TempFolder(L"iectl-read");
  std::wstring empty = folder + L"\\empty.txt", zero = folder + L"\\zero.txt";
  std::ofstream(empty.c_str(), std::ios::binary).flush();
  std::ofstream(zero.c_str(), std::ios::binary).write("ab\0cd", 5);
  CComBSTR text;
  EXPECT_EQ(E_FAIL, m_control->ReadFile(CComBSTR(empty.c_str()), &text));
  EXPECT_EQ(S_OK, m_control->ReadFile(CComBSTR(zero.c_str()), &text));
  EXPECT_STREQ(L"ab", text);
  text.Empty();
  std::wstring missing = folder + L"\\missing.txt";
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_control->ReadFile(CComBSTR(missing.c_str()), &text));
  EXPECT_EQ(L"ReadFile failed:" + missing, ErrorText());
}

TEST_F(PluginTest, RegistryFailuresAreFailuresExceptAFirstRun) {
  SetSutrelText(kSerialNumberValue, L"");
  DeleteSutrelValue(kSerialNumberValue);
  CComBSTR value;
  EXPECT_EQ(S_FALSE, m_control->RegGetCharPref(nullptr, nullptr, &value));
  EXPECT_STREQ(L"", value);
  value.Empty();
  EXPECT_EQ(S_OK, m_control->RegSetCharPref(CComBSTR(L"any"), CComBSTR(L"key"), CComBSTR(L"SN-7")));
  EXPECT_EQ(S_OK, m_control->RegGetCharPref(nullptr, nullptr, &value));
  EXPECT_STREQ(L"SN-7", value);
  value.Empty();
  SetSutrelText(kSerialNumberValue, std::wstring(260, L'9'));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MORE_DATA), m_control->RegGetCharPref(nullptr, nullptr, &value));
  EXPECT_EQ(L"Failed to read registry key.", ErrorText());
  DWORD number = 7;
  SetSutrelValue(kSerialNumberValue, REG_DWORD, &number, sizeof(number));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), m_control->RegGetCharPref(nullptr, nullptr, &value));
  DeleteSutrelValue(kApplicationPathValue);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_control->GetTrayExeDir(&value));
  DeleteSutrelValue(kSerialNumberValue);
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSutrelKey);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_control->RegGetCharPref(nullptr, nullptr, &value));
  // The plug-in never makes the key: writing without it fails.
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
            m_control->RegSetCharPref(nullptr, nullptr, CComBSTR(L"SN-8")));
  EXPECT_EQ(L"Failed to set registry key.", ErrorText());
}

// --- The page lock.

TEST(PageLock, OnlyLocalFilesInsideTheFolderPass) {
  const std::wstring folder = L"C:\\Program Files\\Orvex Dialix";
  EXPECT_TRUE(IsUrlInsideFolder(L"file:///C:/Program%20Files/Orvex%20Dialix/html/a.html", folder));
  EXPECT_TRUE(IsUrlInsideFolder(L"file:///c:/program%20files/orvex%20dialix/a.html?x=/../..#..", folder));
  EXPECT_FALSE(IsUrlInsideFolder(L"file:///C:/Program%20Files/Orvex%20Dialix2/a.html", folder));
  EXPECT_FALSE(IsUrlInsideFolder(L"file:///C:/Program%20Files/Orvex%20Dialix/../evil.html", folder));
  EXPECT_FALSE(IsUrlInsideFolder(L"file:///C:/Program%20Files/Orvex%20Dialix%5c..%5cevil.html", folder));
  EXPECT_FALSE(IsUrlInsideFolder(L"file://server/share/Orvex%20Dialix/a.html", folder));
  EXPECT_FALSE(IsUrlInsideFolder(L"http://example.com/C:/Program%20Files/Orvex%20Dialix/a.html", folder));
  EXPECT_FALSE(IsUrlInsideFolder(L"file:///C:/Program%20Files/Orvex%20Dialix", folder));
}

TEST_F(PluginTest, ContainedControlServesOnlyPagesOfTheInstallation) {
  SetSutrelText(kApplicationPathValue, L"C:\\Program Files\\Orvex Dialix");
  CComPtr<IOleObject> object;
  ASSERT_EQ(S_OK, m_control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)));
  CComBSTR text;
  {
    CComPtr<IOleClientSite> outside;
    outside.Attach(new CFakeContainer(L"http://example.com/page.html"));
    object->SetClientSite(outside);
    EXPECT_EQ(E_ACCESSDENIED, m_control->GetTrayExeDir(&text));
    EXPECT_EQ(L"Access denied", ErrorText());
    EXPECT_EQ(S_OK, m_control->Trace(CComBSTR(L"still fine")));
  }
  {
    CComPtr<IOleClientSite> inside;
    inside.Attach(new CFakeContainer(L"file:///C:/Program%20Files/Orvex%20Dialix/html/ui.html?action=x"));
    object->SetClientSite(inside);
    EXPECT_EQ(S_OK, m_control->GetTrayExeDir(&text));
    EXPECT_STREQ(L"C:\\Program Files\\Orvex Dialix", text);
  }
  // Without a site, a host that asked for safety is not trusted.
  object->SetClientSite(nullptr);
  CComPtr<IObjectSafety> safety;
  ASSERT_EQ(S_OK, m_control->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)));
  EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3));
  text.Empty();
  EXPECT_EQ(E_ACCESSDENIED, m_control->GetTrayExeDir(&text));
}

// --- Starting the wizard.

TEST_F(PluginTest, LaunchStartsTheWizardNotAProgramNamedByThePathsFirstWord) {
  std::wstring base = TempFolder(L"iectl-launch");
  std::wstring folder = base + L"\\Orvex Dialix";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring recorder = self;
  recorder = recorder.substr(0, recorder.rfind(L'\\')) + L"\\launch_recorder.exe";
  ASSERT_TRUE(::CopyFileW(recorder.c_str(), (folder + L"\\Pairwell.exe").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(recorder.c_str(), (base + L"\\Orvex.exe").c_str(), FALSE));
  ::DeleteFileW((folder + L"\\Pairwell.exe.launch").c_str());
  ::DeleteFileW((base + L"\\Orvex.exe.launch").c_str());
  SetSutrelText(kApplicationPathValue, folder);
  ASSERT_EQ(S_OK, m_control->LaunchPWZ());
  bool started = false;
  for (int i = 0; i < 200 && !started; ++i) {
    started = ::GetFileAttributesW((folder + L"\\Pairwell.exe.launch").c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!started) ::Sleep(50);  // polls, bounded by the count
  }
  EXPECT_TRUE(started);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((base + L"\\Orvex.exe.launch").c_str()));

  SetSutrelText(kApplicationPathValue, base + L"\\nowhere");
  EXPECT_EQ(DISP_E_EXCEPTION, m_control->LaunchPWZ());
  EXPECT_EQ(0u, ErrorText().find(L"Failed to run Pairwell.exe :"));
}

// --- Wrappers.

TEST_F(PluginTest, WrapperHoldsOneReferenceWhateverIsSetTwice) {
  CFakeContact* contact = new CFakeContact(L"7");
  CComObject<COrvexDialixContact>* wrapper = nullptr;
  ASSERT_EQ(S_OK, CComObject<COrvexDialixContact>::CreateInstance(&wrapper));
  CComPtr<IUnknown> hold(wrapper->GetUnknown());
  EXPECT_EQ(S_OK, wrapper->SetComInstance(contact));
  EXPECT_EQ(S_OK, wrapper->SetComInstance(contact));
  EXPECT_EQ(2u, contact->Refs());
  EXPECT_THROW(wrapper->SetComInstance(nullptr), ZCLComException);
  contact->Release();
  CComPtr<IContact> back;
  EXPECT_EQ(S_OK, wrapper->_GetComInstance(&back));
  EXPECT_EQ(static_cast<IContact*>(contact), back.p);
}

TEST_F(PluginTest, EmptyWrapperAnswersUnexpected) {
  CComPtr<IOrvexDialixContact> empty;
  ASSERT_EQ(S_OK, COrvexDialixContact::CreateInstance(&empty));
  CComBSTR id;
  EXPECT_EQ(E_UNEXPECTED, empty->get_DbId(&id));
  EXPECT_FALSE(ErrorText().empty());
}

TEST_F(PluginTest, DataIsWrappedOnlyByItsOwnKind) {
  CComPtr<IDispatch> out(reinterpret_cast<IDispatch*>(0));
  IDispatch* untouched = reinterpret_cast<IDispatch*>(0x1234);
  IDispatch* result = untouched;
  EXPECT_EQ(E_FAIL, TryWrapData<COrvexDialixContactList>(new CFakeSmsList, &result));
  EXPECT_EQ(untouched, result);
  EXPECT_EQ(E_FAIL, TryWrapData<COrvexDialixContactList>(nullptr, &result));
  EXPECT_EQ(untouched, result);

  // The generic wrapper finds the kind; a specific one takes only its own.
  CFakeOperation* op = new CFakeOperation(IID_IGetDevicesOperation);
  op->m_data.Attach(new CFakeContactList);
  CComPtr<IOperation> holdOp;
  holdOp.Attach(op);
  CComPtr<IOrvexDialixOperation> generic = COrvexDialixOperation::MakeWrapper(op);
  CComPtr<IDispatch> data;
  ASSERT_EQ(S_OK, generic->get_OperationData(&data));
  CComPtr<IOrvexDialixContactList> list;
  EXPECT_EQ(S_OK, data->QueryInterface(IID_IOrvexDialixContactList, reinterpret_cast<void**>(&list)));
  CComPtr<IGetDevicesOperation> devicesOp;
  op->QueryInterface(IID_IGetDevicesOperation, reinterpret_cast<void**>(&devicesOp));
  CComPtr<IOrvexDialixGetDevicesOperation> devices = COrvexDialixGetDevicesOperation::MakeWrapper(devicesOp);
  data.Release();
  EXPECT_EQ(E_FAIL, devices->get_OperationData(&data));
  EXPECT_FALSE(data);
}

TEST_F(PluginTest, ContactListWrapsItemsAndTakesOnlyContactWrappers) {
  CFakeContactList* fake = new CFakeContactList;
  fake->Add(L"first");
  CComPtr<IContactList> holdList;
  holdList.Attach(fake);
  CComPtr<IOrvexDialixContactList> list = COrvexDialixContactList::MakeWrapper(fake);
  CComPtr<IOrvexDialixContact> item;
  EXPECT_EQ(E_INVALIDARG, list->get_Item(0, &item));
  EXPECT_EQ(L"COrvexDialixContactList::get_Item", ErrorText());
  EXPECT_EQ(E_FAIL, list->get_Item(2, &item));
  ASSERT_EQ(S_OK, list->get_Item(1, &item));
  CComBSTR id;
  item->get_DbId(&id);
  EXPECT_STREQ(L"first", id);

  CComPtr<IOrvexDialixContact> made;
  ASSERT_EQ(S_OK, list->CreateContact(&made));
  LONG index = 0, count = 0;
  EXPECT_EQ(S_OK, list->AddContact(made, &index));
  list->get_Count(&count);
  EXPECT_EQ(2, index);
  EXPECT_EQ(count, index);

  // Something that is no contact wrapper is refused before the service sees it.
  CFakeScript* foreign = new CFakeScript({});
  CComPtr<IDispatch> holdForeign;
  holdForeign.Attach(foreign);
  EXPECT_EQ(E_INVALIDARG, list->AddContact(reinterpret_cast<IOrvexDialixContact*>(foreign), &index));
  EXPECT_EQ(L"COrvexDialixContactList::AddContact", ErrorText());
  EXPECT_EQ(E_POINTER, list->AddContact(nullptr, &index));

  // The script-side QueryInterface ignores the name.
  CComPtr<IDispatch> self;
  EXPECT_EQ(S_OK, list->QueryInterface(CComBSTR(L"IOrvexDialixSmsList"), &self));
  EXPECT_TRUE(AtlIsSameObject(self, list));
}

TEST_F(PluginTest, LibraryStaysLoadedWhileAWrapperLives) {
  m_control.Release();
  CFakeContact* contact = new CFakeContact(L"1");
  CComPtr<IOrvexDialixContact> wrapper = COrvexDialixContact::MakeWrapper(contact);
  contact->Release();
  EXPECT_EQ(S_FALSE, _AtlModule.DllCanUnloadNow());
  wrapper.Release();
  EXPECT_EQ(S_OK, _AtlModule.DllCanUnloadNow());
}

// The service keeps the control's and the helper object's callbacks, and the
// document the click handler, after their owners have gone: each keeps the
// library loaded until its last release.
TEST_F(PluginTest, LibraryStaysLoadedWhileACallbackOrClickHandlerLives) {
  m_control.Release();
  ASSERT_EQ(S_OK, _AtlModule.DllCanUnloadNow());
  CFakeScript* script = new CFakeScript({});
  CComPtr<IDispatch> hold;
  hold.Attach(script);
  CComPtr<IZembraCallback> pageCallback, helperCallback;
  pageCallback.Attach(new COrvexDialixCallBack(script));
  helperCallback.Attach(new CCallBack());
  CComPtr<IDispatch> clicks(new CEventHandler([](void*) {}, nullptr));
  EXPECT_EQ(3, _AtlModule.GetLockCount());
  pageCallback.Release();
  EXPECT_EQ(2, _AtlModule.GetLockCount());
  helperCallback.Release();
  EXPECT_EQ(S_FALSE, _AtlModule.DllCanUnloadNow());
  clicks.Release();
  EXPECT_EQ(S_OK, _AtlModule.DllCanUnloadNow());
}

// An aggregated wrapper counts in its outer object.
class CCountingOuter : public IUnknown {
public:
  STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override { return --refs; }
  ULONG refs = 1;
};

TEST_F(PluginTest, WrapperCanBeAggregated) {
  CComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, _AtlModule.DllGetClassObject(CLSID_OrvexDialixContact, IID_IClassFactory,
                                               reinterpret_cast<void**>(&factory)));
  CCountingOuter outer;
  CComPtr<IUnknown> inner;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IDispatch, reinterpret_cast<void**>(&inner)));
  ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(S_OK, inner->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
  EXPECT_EQ(2u, outer.refs);
  dispatch->Release();
  EXPECT_EQ(1u, outer.refs);
}

}  // namespace
