#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <thread>
#include <string>
#include <vector>
#include "CCallControl.h"
#include "CCallPhoneTable.h"
#include "CCallingDeviceImpl.h"
#include "CDeviceCallControl.h"
#include "CDeviceManager.h"
#include "CSyncEvent.h"
#include "CZembraGenericDeviceImpl.h"
#include "Selectors.h"
#include "CComposeMessageOperation.h"
#include "CCreateCallOperation.h"
#include "CSendMessageOperation.h"
#include "PhoneCalls.h"
#include "ServiceFixture.h"
#include "ZCLText.h"
#include "ZCLWait.h"

namespace {

using PhoneSim::Testing::RunPhonectl;

// ---------------------------------------------------------------- the state machine

// What a state machine told its sink, one text per call.
class CRecordingNotify : public ICallHandlerNotify {
public:
  STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
  STDMETHOD_(ULONG, AddRef)() override { return 1; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(OnActivated)(BSTR serial, long id) override { return Add(L"Activated " + S(serial) + L" " + N(id)); }
  STDMETHOD(OnTerminated)(BSTR serial, long id, long cause) override {
    return Add(L"Terminated " + S(serial) + L" " + N(id) + L" " + N(cause));
  }
  STDMETHOD(OnCreated)(BSTR serial, BSTR number, BSTR name, long id) override {
    return Add(L"Created " + S(serial) + L" " + N(id) + L" [" + S(number) + L"] [" + S(name) + L"]");
  }
  STDMETHOD(OnIncoming)(BSTR serial, BSTR number, BSTR name, long id, ICallHandler*) override {
    return Add(L"Incoming " + S(serial) + L" " + N(id) + L" [" + S(number) + L"] [" + S(name) + L"]");
  }
  STDMETHOD(OnWaiting)(BSTR serial, long id) override { return Add(L"Waiting " + S(serial) + L" " + N(id)); }
  STDMETHOD(OnConnectionLost)(BSTR serial) override { return Add(L"Lost " + S(serial)); }
  std::vector<std::wstring> calls;

private:
  static std::wstring S(BSTR text) { return ZCLNullToEmpty(text); }
  static std::wstring N(long n) { return std::to_wstring(n); }
  HRESULT Add(const std::wstring& text) {
    calls.push_back(text);
    return S_OK;
  }
};

class CCountingStateMachine : public CDeviceCallControl {
public:
  using CDeviceCallControl::CDeviceCallControl;
  int offlineTasks = 0;

protected:
  void QueueDeviceOffline() override { ++offlineTasks; }
};

struct Event {
  DWORD kind;
  BYTE status;
  DWORD cause;
  BYTE id;
  std::vector<std::pair<BYTE, const wchar_t*>> addresses;
};

Trelk::CCallInfo InfoOf(const Event& e) {
  std::vector<WEXEL_ADDRESS> addresses;
  for (const auto& a : e.addresses) {
    WEXEL_ADDRESS record = {};
    record.dwSize = sizeof(record);
    record.bAddressType = a.first;
    record.pstrAddress = const_cast<WCHAR*>(a.second);
    addresses.push_back(record);
  }
  WEXEL_CALL_INFO record = {};
  record.dwSize = sizeof(record);
  record.bCallId = e.id;
  record.bStatus = e.status;
  record.bNumOfAddresses = static_cast<BYTE>(addresses.size());
  record.pAddresses = addresses.empty() ? nullptr : addresses.data();
  return Trelk::CCallInfo(&record);
}

struct Row {
  const char* name;
  std::vector<Event> events;
  std::vector<std::wstring> told;
};

TEST(CallStateMachineTest, EachRealChangeIsToldOnce) {
  const Row rows[] = {
      {"two kind-1 events give one OnTerminated", {{1, 0, 16, 2, {}}, {1, 0, 17, 2, {}}}, {L"Terminated SN 2 16"}},
      {"dialling, active, ended",
       {{5, 1, 0, 1, {{1, L"0401"}, {4, L"Jane"}, {7, L"skipped"}}}, {5, 8, 0, 1, {}}, {5, 0, 31, 1, {}}},
       {L"Created SN 1 [0401] [Jane]", L"Activated SN 1", L"Terminated SN 1 31"}},
      {"a reused id starts from a reset record",
       {{5, 1, 0, 3, {{1, L"0401"}, {4, L"Jane"}}}, {1, 0, 16, 3, {}}, {5, 1, 0, 3, {{1, L"0402"}}}},
       {L"Created SN 3 [0401] [Jane]", L"Terminated SN 3 16", L"Created SN 3 [0402] []"}},
      {"kind 5 status 0 acts as kind 1, cause kept", {{5, 0, 1029, 4, {}}, {1, 0, 1, 4, {}}}, {L"Terminated SN 4 1029"}},
      {"kind 4, kind 5 status 2 and kind 9 change nothing", {{4, 0, 0, 1, {}}, {5, 2, 0, 1, {}}, {9, 0, 0, 1, {}}}, {}},
      {"incoming: type 5 is the number, a later address of a type overwrites",
       {{6, 0, 0, 5, {{1, L"not this"}, {5, L"+3581"}, {4, L"A"}, {4, L"B"}}}, {6, 0, 0, 5, {}}},
       {L"Incoming SN 5 [+3581] [B]"}},
      {"incoming without addresses has empty texts", {{6, 0, 0, 6, {}}}, {L"Incoming SN 6 [] []"}},
      {"waiting, then rejected", {{2, 0, 0, 7, {}}, {3, 0, 21, 7, {}}}, {L"Waiting SN 7", L"Terminated SN 7 21"}},
      {"ids outside the table (0, 9) start idle", {{1, 0, 5, 0, {}}, {5, 8, 0, 9, {}}},
       {L"Terminated SN 0 5", L"Activated SN 9"}},
  };
  for (const Row& row : rows) {
    CRecordingNotify sink;
    CCountingStateMachine machine(nullptr, &sink, L"SN");
    for (const Event& e : row.events) EXPECT_EQ(machine.OnCallNotify(e.kind, e.cause, InfoOf(e)), 0u) << row.name;
    EXPECT_EQ(sink.calls, row.told) << row.name;
  }
}

TEST(CallStateMachineTest, RecordsKeepTheirTextsAndCauseAndUnknownIdsAreAddedIdle) {
  CRecordingNotify sink;
  CCountingStateMachine machine(nullptr, &sink, nullptr);
  machine.OnCallNotify(6, 0, InfoOf({6, 0, 0, 2, {{5, L"+3582"}, {4, L"Joe"}}}));
  machine.OnCallNotify(5, 0, InfoOf({5, 8, 0, 2, {}}));
  CCallState active = machine.GetCallState(2);
  EXPECT_EQ(active.GetState(), CallStateActive);
  EXPECT_EQ(active.GetNumber(), L"+3582");
  EXPECT_EQ(active.GetName(), L"Joe");
  machine.OnCallNotify(3, 99, InfoOf({3, 0, 99, 2, {}}));
  EXPECT_EQ(machine.GetCallState(2).GetState(), CallStateRejected);
  EXPECT_EQ(machine.GetCallState(2).GetCause(), 99u);
  CCallState unknown = machine.GetCallState(9);
  EXPECT_EQ(unknown.GetState(), CallStateIdle);
  EXPECT_TRUE(unknown.GetNumber().empty());
  EXPECT_EQ(sink.calls.front(), L"Incoming  2 [+3582] [Joe]");  // a null serial is empty
}

TEST(CallStateMachineTest, ALostConnectionIsToldOnceWithOneOfflineTaskUntilRestarted) {
  CRecordingNotify sink;
  CCountingStateMachine machine(nullptr, &sink, L"SN");
  machine.OnCallConnectionLost();
  machine.OnCallConnectionLost();
  EXPECT_EQ(sink.calls, std::vector<std::wstring>{L"Lost SN"});
  EXPECT_EQ(machine.offlineTasks, 1);
  machine.ConnectionRestarted();
  machine.OnCallConnectionLost();
  EXPECT_EQ(machine.offlineTasks, 2);
}

// ---------------------------------------------------------------- call control in the service

// The call window object in this process: records what it is told, dials at
// once, and answers or rejects a ringing call when asked to.
class CFakeCallUI : public CComObjectRootEx<CComMultiThreadModel>, public ICallUI, public ICallHandlerNotify {
public:
  BEGIN_COM_MAP(CFakeCallUI)
  COM_INTERFACE_ENTRY(ICallUI)
  COM_INTERFACE_ENTRY(ICallHandlerNotify)
  COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
  END_COM_MAP()
  HRESULT FinalConstruct() { return AtlAggregateFreeThreadedMarshaler(GetUnknown(), m_marshaler); }
  void FinalRelease() { m_marshaler.Release(); }

  STDMETHOD(Call)(BSTR serial, BSTR number, IUnknown* unknown) override {
    Add(L"Call " + S(serial) + L" " + S(number));
    CComQIPtr<ICallHandler> handler(unknown);
    long id = -2;
    HRESULT hr = handler ? handler->Call(serial, number, &id) : E_NOINTERFACE;
    Add(L"Dialled " + std::to_wstring(id) + L" " + std::to_wstring(hr));
    return S_OK;
  }
  STDMETHOD(ComposeMessage)(BSTR serial, BSTR number, BSTR name, BSTR message, IUnknown*) override {
    Add(L"Compose " + S(serial) + L" [" + S(number) + L"] [" + S(name) + L"] [" + S(message) + L"]");
    return E_NOTIMPL;
  }
  STDMETHOD(NewMessageReceived)(IUnknown*, IUnknown*) override { return E_NOTIMPL; }
  STDMETHOD(OnActivated)(BSTR serial, long id) override { return Add(L"OnActivated " + S(serial) + L" " + N(id)); }
  STDMETHOD(OnTerminated)(BSTR serial, long id, long) override {
    return Add(L"OnTerminated " + S(serial) + L" " + N(id));
  }
  STDMETHOD(OnCreated)(BSTR serial, BSTR number, BSTR, long id) override {
    return Add(L"OnCreated " + S(serial) + L" " + S(number) + L" " + N(id));
  }
  STDMETHOD(OnIncoming)(BSTR serial, BSTR number, BSTR, long id, ICallHandler* handler) override {
    Add(L"OnIncoming " + S(serial) + L" " + S(number) + L" " + N(id));
    if (s_holdIncoming) ::WaitForSingleObject(s_holdIncoming, 20000);
    CComPtr<IContact> contact;
    HRESULT found = handler->FindContactByNumber(serial, number, &contact);
    CComBSTR name, photo;
    if (contact) {
      contact->get_FormattedName(&name);
      contact->get_PhotoPath(&photo);
    }
    Add(L"Contact " + std::to_wstring(found) + L" [" + S(name) + L"] [" + S(photo) + L"]");
    if (s_action == 1) Add(L"Answered " + std::to_wstring(handler->Activate(serial, id)));
    if (s_action == 2) Add(L"Rejected " + std::to_wstring(handler->Reject(serial, id)));
    return S_OK;
  }
  STDMETHOD(OnWaiting)(BSTR serial, long id) override { return Add(L"OnWaiting " + S(serial) + L" " + N(id)); }
  STDMETHOD(OnConnectionLost)(BSTR serial) override { return Add(L"OnConnectionLost " + S(serial)); }

  static std::vector<std::wstring> Calls() {
    CLockGuard guard(&s_lock);
    return s_calls;
  }
  static bool WaitFor(const std::wstring& prefix, int count = 1) {
    return ZCLWaitUntil([&] { return Count(prefix) >= count; }, 20000);
  }
  static int Count(const std::wstring& prefix) {
    int n = 0;
    for (const std::wstring& c : Calls()) n += c.compare(0, prefix.size(), prefix) == 0;
    return n;
  }
  static void Reset() {
    CLockGuard guard(&s_lock);
    s_calls.clear();
    s_action = 0;
    s_refuseNotify = false;
    s_holdIncoming = nullptr;
  }
  static int s_action;  // 1 answer, 2 reject a ringing call
  static bool s_refuseNotify;
  static HANDLE s_holdIncoming;  // while set, a ring waits for it before its look-up

private:
  static std::wstring S(BSTR text) { return ZCLNullToEmpty(text); }
  static std::wstring N(long n) { return std::to_wstring(n); }
  HRESULT Add(const std::wstring& text) {
    CLockGuard guard(&s_lock);
    s_calls.push_back(text);
    return S_OK;
  }
  static CLockable s_lock;
  static std::vector<std::wstring> s_calls;
  CComPtr<IUnknown> m_marshaler;
};
int CFakeCallUI::s_action = 0;
bool CFakeCallUI::s_refuseNotify = false;
HANDLE CFakeCallUI::s_holdIncoming = nullptr;
CLockable CFakeCallUI::s_lock;
std::vector<std::wstring> CFakeCallUI::s_calls;

// A window object that takes no notifications.
class CDeafCallUI : public CComObjectRootEx<CComMultiThreadModel>, public ICallUI {
public:
  BEGIN_COM_MAP(CDeafCallUI)
  COM_INTERFACE_ENTRY(ICallUI)
  COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
  END_COM_MAP()
  HRESULT FinalConstruct() { return AtlAggregateFreeThreadedMarshaler(GetUnknown(), m_marshaler); }
  void FinalRelease() { m_marshaler.Release(); }
  STDMETHOD(Call)(BSTR, BSTR, IUnknown*) override { return S_OK; }
  STDMETHOD(ComposeMessage)(BSTR, BSTR, BSTR, BSTR, IUnknown*) override { return E_NOTIMPL; }
  STDMETHOD(NewMessageReceived)(IUnknown*, IUnknown*) override { return E_NOTIMPL; }

private:
  CComPtr<IUnknown> m_marshaler;
};

template <class T>
HRESULT CreateWindowObject(REFIID iid, void** ppv) {
  CComObject<T>* ui = nullptr;
  HRESULT hr = CComObject<T>::CreateInstance(&ui);
  if (FAILED(hr)) return hr;
  CComPtr<IUnknown> hold(ui->GetUnknown());
  return hold->QueryInterface(iid, ppv);
}

class CFakeCallUIFactory : public IClassFactory {
public:
  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    *ppv = (iid == IID_IUnknown || iid == IID_IClassFactory) ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown*, REFIID iid, void** ppv) override {
    return CFakeCallUI::s_refuseNotify ? CreateWindowObject<CDeafCallUI>(iid, ppv)
                                       : CreateWindowObject<CFakeCallUI>(iid, ppv);
  }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }
};
CFakeCallUIFactory g_callUIFactory;

const char kNoCallControl[] = "NOCC";
const char kThrowsOnSend[] = "THROWS";
const char kOwnImplementation[] = "REAL";

std::string Joined(const std::vector<std::wstring>& lines) {
  std::wstring all;
  for (const std::wstring& line : lines) all += line + L"\n";
  return ZCLWideToUtf8(all);
}

// Phones come up through the calling implementation; a serial starting with
// "NOCC" has no call control, one starting with "THROWS" fails every sending
// with something that is no ZCLException.
class CThrowingSendImpl : public CCallingDeviceImpl {
public:
  using CCallingDeviceImpl::CCallingDeviceImpl;
  void SendMessage(const wchar_t*, const wchar_t*) override { throw 42; }
};

class CallControlTest : public ServiceFixture {
protected:
  void SetUp() override {
    ServiceFixture::SetUp();
    CFakeCallUI::Reset();
    m_callUIRecorder.Revoke();  // these tests' own window object serves CallUI
    ASSERT_EQ(S_OK, ::CoRegisterClassObject(CLSID_CallUI, &g_callUIFactory, CLSCTX_INPROC_SERVER,
                                            REGCLS_MULTIPLEUSE, &m_factoryCookie));
    m_settings.deviceImpls = [](CZembraDevice& device, const CServiceLinks& links) -> CZembraDeviceImpl* {
      std::string serial = ZCLWideToUtf8(device.GetSerialNumber());
      if (serial.compare(0, 4, kNoCallControl) == 0) return new CCallingDeviceImpl(device, links, false);
      if (serial.compare(0, 6, kThrowsOnSend) == 0) return new CThrowingSendImpl(device, links);
      if (serial.compare(0, 4, kOwnImplementation) == 0) return CreateDeviceImpl(device, links);
      return new CCallingDeviceImpl(device, links);
    };
  }
  void TearDown() override {
    m_world->ClearFaults();
    ServiceFixture::TearDown();
    ::CoRevokeClassObject(m_factoryCookie);
  }

  void StartSubscribed() {
    StartAndConnect();
    CComBSTR id(m_clientId.c_str());
    ASSERT_EQ(S_OK, m_zembra->SubscribeNotification(id, IID_ICallNotification));
  }
  CCallControl* Control() {
    CComPtr<ICallControl> callControl = Main()->GetCallControl();
    return CCallControl::FromUnknown(callControl);
  }
  CComQIPtr<ICallHandler> Handler() { return CComQIPtr<ICallHandler>(Main()->GetCallControl().p); }
  bool PlugAndWait(const wchar_t* serial) {
    PhoneSim::CPhone phone;
    phone.serial = serial;
    phone.model = L"Model";
    m_world->PlugPhone(phone);
    return ZCLWaitUntil([&] {
      CZembraDevicePtr device = Devices().Find(serial);
      return device && device->GetState() == DeviceConnected;
    }, 20000);
  }
  bool UnplugAndWait(const wchar_t* serial) {
    m_world->UnplugPhone(serial);
    return ZCLWaitUntil([&] {
      CZembraDevicePtr device = Devices().Find(serial);
      return device && device->GetState() == DeviceDisconnected;
    }, 20000);
  }
  static int Count(const std::string& text, const char* what) {
    int n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at) ++n;
    return n;
  }
  PhoneSim::CPhoneCalls PhoneCalls(const wchar_t* serial) { return PhoneSim::ReadPhoneCalls(*m_world, serial); }
  bool HandlesAllClosed(const wchar_t* serial) {
    return ZCLWaitUntil([&] {
      PhoneSim::CPhoneCalls calls = PhoneCalls(serial);
      return calls.handlesOpened > 0 && calls.handlesOpened == calls.handlesClosed;
    }, 20000);
  }
  // The call notifications the client received: state and number.
  std::vector<std::pair<int, std::wstring>> CallNotifications() {
    std::vector<std::pair<int, std::wstring>> seen;
    for (const CallbackCall& call : m_recorder->Calls())
      if (call.method == "Notification" && call.kind == IID_ICallNotification) seen.emplace_back(call.state, call.number);
    return seen;
  }
  bool WaitNotifications(size_t count) {
    return ZCLWaitUntil([&] { return CallNotifications().size() >= count; }, 20000);
  }
  std::wstring Phonectl(const std::wstring& args) {
    std::string out;
    RunPhonectl(args, &out);
    return ZCLUtf8ToWide(out.c_str());
  }

  // A phone for its own implementation holding Jane Doe's contact, plugged
  // in before the service starts so that its first sync reads her.
  void PlugWithJane(const wchar_t* serial) {
    PhoneSim::CPhone phone;
    phone.serial = serial;
    phone.model = L"Model";
    ASSERT_TRUE(m_world->PlugPhone(phone));
    PhoneSim::CContact jane;
    jane.vcard = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nFN:Jane Doe\r\nTEL;CELL:+358401234567\r\nEND:VCARD\r\n";
    ASSERT_FALSE(m_world->WriteContact(serial, jane).empty());
  }
  CZembraDevicePtr WaitUpWithJane(const wchar_t* serial) {
    CZembraDevicePtr device;
    EXPECT_TRUE(ZCLWaitUntil([&] {
      device = Devices().Find(serial);
      if (!device || device->GetState() != DeviceConnected) return false;
      CContactSelector all;
      device->StoreForTests().SelectContacts(&all);
      return !all.Records().empty();
    }, 30000));
    return device;
  }
  // Waits until the log holds the text once more than it did at `before`.
  bool WaitLogged(const char* text, int before) {
    return ZCLWaitUntil([&] { return Count(NewText(), text) > before; }, 20000);
  }

  DWORD m_factoryCookie = 0;
};

// The phone table alone: a claim keeps a serial's start, restart and stop
// apart; a shutdown takes every unclaimed phone and refuses new ones, leaves
// a claimed phone to its claim, and the library is terminated only once the
// last use, the claim's, has ended.
TEST_F(CallControlTest, ThePhoneTableKeepsClaimedPhonesAndTheLibraryUntilTheirClaimsEnd) {
  Trelk::CCallControl library;
  ASSERT_NO_THROW(library.Initialize());
  CCallPhoneTable table(library);
  CCallPhoneTable::DevicePtr device;
  bool known = true;
  EXPECT_EQ(S_FALSE, table.ClaimForStop(L"SN-1", &device));
  ASSERT_TRUE(table.ClaimForStart(L"SN-1", &known, &device));
  EXPECT_FALSE(known);
  {
    CCallPhoneTable::CClaim starting(table, L"SN-1");
    EXPECT_FALSE(table.ClaimForStart(L"SN-1", &known, &device));
    EXPECT_TRUE(table.Insert(L"SN-1", nullptr));
    EXPECT_EQ(E_FAIL, table.ClaimForStop(L"SN-1", &device));
  }
  ASSERT_TRUE(table.ClaimForStart(L"SN-1", &known, &device));
  EXPECT_TRUE(known);
  { CCallPhoneTable::CClaim restarting(table, L"SN-1"); }

  EXPECT_TRUE(table.Insert(L"SN-2", nullptr));
  ASSERT_EQ(S_OK, table.ClaimForStop(L"SN-2", &device));
  {
    CCallPhoneTable::CClaim stopping(table, L"SN-2");
    table.BeginShutdown();
    CCallPhoneTable::Devices taken = table.TakeAll();
    EXPECT_EQ(1u, table.Count());  // the claimed phone stays
    EXPECT_FALSE(table.ClaimForStart(L"SN-3", &known, &device));
    EXPECT_FALSE(table.Insert(L"SN-3", nullptr));
    table.EndLibraryUse();  // the shutdown's own
    EXPECT_TRUE(library.IsInitialized());
  }
  EXPECT_EQ(0u, table.Count());
  EXPECT_FALSE(library.IsInitialized());
}

TEST_F(CallControlTest, ACallPlacedByAClientDialsThroughTheWindowAndReportsCallingActiveTerminated) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-1"));
  CComPtr<ICreateCallOperation> op = Create<ICreateCallOperation>(IID_ICreateCallOperation);
  op->put_SerialNumber(CComBSTR(L"SN-1"));
  op->put_Number(CComBSTR(L"040 123 4567"));
  Run(op);
  EXPECT_EQ(m_recorder->Count("OperationCompleted"), 1);
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"OnCreated SN-1 0401234567 1"));
  // The phone may tell of the new call before its dial returns: only the
  // dial's own order is fixed.
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"Dialled 1 0"));
  EXPECT_EQ(CFakeCallUI::Calls()[0], L"Call SN-1 040 123 4567");
  Phonectl(L"answer SN-1");
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"OnActivated SN-1 1"));
  Phonectl(L"hangup SN-1 1");
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"OnTerminated SN-1 1"));
  ASSERT_TRUE(WaitNotifications(3));
  std::vector<std::pair<int, std::wstring>> expected = {
      {CallStateCalling, L"0401234567"}, {CallStateActive, L"0401234567"}, {CallStateTerminated, L"0401234567"}};
  EXPECT_EQ(CallNotifications(), expected);
  EXPECT_NE(NewText().find("CCallControl::Call(SN-1, 040 123 4567) called from thread"), std::string::npos);
}

TEST_F(CallControlTest, AnIncomingCallFindsTheCallersContactAndIsAnsweredOrRejectedOnThePhone) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-2"));
  CZembraDevicePtr device = Devices().Find(L"SN-2");
  const char vcard[] = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nFN:Jane Doe\r\nTEL;CELL:+358401234567\r\nEND:VCARD\r\n";
  const BYTE uid[] = {0xab, 0x01};
  CZembraContact contact(0, Trelk::CUid(uid, sizeof(uid)), reinterpret_cast<const BYTE*>(vcard), sizeof(vcard) - 1);
  ASSERT_GE(device->StoreForTests().InsertLocalContact(contact), 0);
  std::wstring photo = device->GetDataFolder() + L"\\ab01";
  CHandle file(::CreateFileW(photo.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  file.Reset();

  CFakeCallUI::s_action = 1;
  Phonectl(L"ring SN-2 \"0401 234567\"");
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"OnActivated SN-2 1"));
  std::vector<std::wstring> calls = CFakeCallUI::Calls();
  EXPECT_EQ(calls[0], L"OnIncoming SN-2 0401 234567 1");
  EXPECT_EQ(calls[1].compare(0, 11, L"Contact 0 ["), 0) << ZCLWideToUtf8(calls[1]);
  EXPECT_NE(calls[1].find(L"Jane Doe] [" + photo + L"]"), std::wstring::npos);
  EXPECT_EQ(calls[2], L"Answered 0");
  EXPECT_EQ(PhoneCalls(L"SN-2").calls[0].state, static_cast<DWORD>(PhoneSim::kCallActive));

  CFakeCallUI::s_action = 2;
  Phonectl(L"ring SN-2 0409");
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"OnTerminated SN-2 2"));
  EXPECT_EQ(CFakeCallUI::Count(L"OnWaiting SN-2 1"), 1);  // the first call was put on hold
  EXPECT_EQ(CFakeCallUI::Count(L"Contact 1 [] []"), 1);   // a number too short to look up
  ASSERT_TRUE(WaitNotifications(4));
  std::vector<std::pair<int, std::wstring>> expected = {{CallStateIncoming, L"0401 234567"},
                                                        {CallStateActive, L"0401 234567"},
                                                        {CallStateIncoming, L"0409"},
                                                        {CallStateTerminated, L"0409"}};
  EXPECT_EQ(CallNotifications(), expected);
}

TEST_F(CallControlTest, AContactWithoutAPhoneIdNeverGetsAPicturePath) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-11"));
  CZembraDevicePtr device = Devices().Find(L"SN-11");
  const char vcard[] = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Roe;Rick\r\nTEL:+358409876543\r\nEND:VCARD\r\n";
  CZembraContact contact(0, Trelk::CUid(), reinterpret_cast<const BYTE*>(vcard), sizeof(vcard) - 1);
  ASSERT_GE(device->StoreForTests().InsertLocalContact(contact), 0);
  CComPtr<IContact> found;
  ASSERT_EQ(S_OK, Handler()->FindContactByNumber(CComBSTR(L"SN-11"), CComBSTR(L"0409 876543"), &found));
  CComBSTR photo;
  found->get_PhotoPath(&photo);
  EXPECT_EQ(std::wstring(ZCLNullToEmpty(photo.m_str)), L"");  // the data folder itself exists
}

TEST_F(CallControlTest, UnknownPhonesAndBadArgumentsTouchNothingAndOutValuesAreAlwaysWritten) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-3"));
  CComQIPtr<ICallHandler> handler = Handler();
  CComPtr<ICallControl> callControl = Main()->GetCallControl();
  CComBSTR unknown(L"NOPE"), serial(L"SN-3"), number(L"0401234567");
  EXPECT_EQ(S_FALSE, callControl->RemoveDevice(unknown));
  EXPECT_EQ(S_FALSE, handler->Activate(unknown, 1));
  EXPECT_EQ(S_FALSE, handler->Reject(unknown, 1));
  long id = 55;
  EXPECT_EQ(S_FALSE, handler->Call(unknown, number, &id));
  EXPECT_EQ(id, -1);

  CComPtr<IContact> contact;
  contact.p = reinterpret_cast<IContact*>(0x1);  // must be overwritten, not released
  EXPECT_EQ(E_INVALIDARG, handler->FindContactByNumber(serial, CComBSTR(L""), &contact.p));
  EXPECT_EQ(contact.p, nullptr);
  EXPECT_EQ(E_INVALIDARG, handler->FindContactByNumber(serial, number, nullptr));
  EXPECT_EQ(E_INVALIDARG, handler->FindContactByNumber(unknown, number, &contact));
  EXPECT_EQ(S_FALSE, handler->FindContactByNumber(serial, CComBSTR(L"12 345"), &contact));
  EXPECT_EQ(S_FALSE, handler->FindContactByNumber(serial, number, &contact));

  // Sending to a phone that is gone never reaches the library.
  ASSERT_TRUE(UnplugAndWait(L"SN-3"));
  m_world->InjectFault("DorraxOpenTessim", ELNYX_CONNECTION_BUSY, 1);
  EXPECT_EQ(E_INVALIDARG, handler->SendSMS(serial, number, CComBSTR(L"hi")));
  EXPECT_EQ(E_INVALIDARG, handler->SendSMS(unknown, number, CComBSTR(L"hi")));
  DWORD code = 0;
  EXPECT_TRUE(m_world->TakeFault("DorraxOpenTessim", &code));
}

TEST_F(CallControlTest, ASecondAddRestartsInPlaceAndRemoveStopsBeforeClosing) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-4"));
  CComPtr<ICallControl> callControl = Main()->GetCallControl();
  CComBSTR serial(L"SN-4");
  EXPECT_EQ(S_OK, callControl->AddDevice(serial));
  EXPECT_EQ(Control()->DeviceCount(), 1u);
  EXPECT_NE(NewText().find("CCallControl restarted for device SN-4"), std::string::npos);
  EXPECT_EQ(PhoneCalls(L"SN-4").handlesOpened, 2u);
  EXPECT_EQ(PhoneCalls(L"SN-4").handlesClosed, 1u);
  // The restarted listener hears the phone.
  Phonectl(L"ring SN-4 0401234567");
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"OnIncoming SN-4"));
  EXPECT_EQ(CFakeCallUI::Count(L"OnIncoming SN-4"), 1);
  EXPECT_EQ(S_OK, callControl->RemoveDevice(serial));
  EXPECT_EQ(S_FALSE, callControl->RemoveDevice(serial));
  EXPECT_TRUE(HandlesAllClosed(L"SN-4"));
}

TEST_F(CallControlTest, AWindowWithoutNotificationsStillLetsClientsHearAndFailsTheCall) {
  CFakeCallUI::s_refuseNotify = true;
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-5"));
  CComQIPtr<ICallHandlerNotify> notify(Main()->GetCallControl().p);
  EXPECT_EQ(E_FAIL, notify->OnIncoming(CComBSTR(L"SN-5"), CComBSTR(L"0401"), CComBSTR(L""), 3, nullptr));
  EXPECT_EQ(E_FAIL, notify->OnWaiting(CComBSTR(L"SN-5"), 3));
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(CallNotifications().size(), 1u);  // waiting tells no client
  EXPECT_EQ(CallNotifications()[0].first, CallStateIncoming);
}

TEST_F(CallControlTest, ALostConnectionClosesTheWindowsTakesThePhoneOfflineAndClosesItsHandle) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-6"));
  Phonectl(L"drop-calls SN-6");
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"OnConnectionLost SN-6"));
  ASSERT_TRUE(ZCLWaitUntil([&] { return Devices().Find(L"SN-6")->GetState() == DeviceDisconnected; }, 20000));
  EXPECT_TRUE(HandlesAllClosed(L"SN-6"));
  EXPECT_EQ(Control()->DeviceCount(), 0u);
  EXPECT_EQ(CFakeCallUI::Count(L"OnConnectionLost"), 1);
}

TEST_F(CallControlTest, PluggingAndUnpluggingWhileCallsRingKeepsOneStateMachineAndClosesEveryHandle) {
  StartSubscribed();
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(PlugAndWait(L"SN-7")) << i;
    Phonectl(L"ring SN-7 040" + std::to_wstring(1000 + i));
    EXPECT_LE(Control()->DeviceCount(), 1u);
    ASSERT_TRUE(UnplugAndWait(L"SN-7")) << i;
    // The lost call connection takes the phone offline first; it is plugged
    // in again only once device management has seen it go too, or the two
    // changes would meet as none.
    ASSERT_TRUE(ZCLWaitUntil([&] { return Count(NewText(), "OnDeviceRemoved: Serial:SN-7,") > i; }, 20000)) << i;
  }
  EXPECT_TRUE(HandlesAllClosed(L"SN-7"));
  EXPECT_EQ(PhoneCalls(L"SN-7").handlesOpened, 20u);
  EXPECT_EQ(Control()->DeviceCount(), 0u);
  EXPECT_EQ(Count(NewText(), "[Constructed class CDeviceCallControl]"), 20);
  EXPECT_EQ(Count(NewText(), "[Destructed class CDeviceCallControl]"), 20);
}

TEST_F(CallControlTest, ShutdownRevokesStopsEveryPhoneAndLetsCallControlGo) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-8"));
  CCallControl* control = Control();
  control->Shutdown();
  EXPECT_TRUE(HandlesAllClosed(L"SN-8"));
  EXPECT_EQ(control->DeviceCount(), 0u);
  EXPECT_EQ(E_FAIL, Main()->GetCallControl()->AddDevice(CComBSTR(L"SN-8")));
  EXPECT_EQ(control->GetCallUI(), nullptr);
  EXPECT_EQ(E_FAIL, Main()->GetCallControl()->Call(CComBSTR(L"SN-8"), CComBSTR(L"0401")));
  control->Shutdown();  // twice is harmless
  Stop();
  EXPECT_NE(NewText().find("[Destructed class CCallControl]"), std::string::npos);
}

TEST_F(CallControlTest, TheMainObjectsReleaseShutsCallControlDown) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-9"));
  Stop();
  EXPECT_TRUE(HandlesAllClosed(L"SN-9"));
  EXPECT_NE(NewText().find("[Destructed class CCallControl]"), std::string::npos);
}

// The caller's look-up reads the database and the data folder: a sync of the
// same phone in progress does not hold the call window back.
TEST_F(CallControlTest, ARingDuringALongContactSyncShowsItsCallerBeforeTheSyncEnds) {
  PlugWithJane(L"REAL-1");
  StartSubscribed();
  CZembraDevicePtr device = WaitUpWithJane(L"REAL-1");
  ASSERT_TRUE(device);
  int listed = Count(NewText(), "Trelk: Calling TessimGetIDList...");
  m_world->InjectDelay("TessimGetIDList", 10000, 1);
  CSyncEvent synced;
  synced.Create(true);
  std::thread sync([&] {
    try {
      device->SyncContactsFromPhone();
    } catch (...) {
    }
    synced.Set();
  });
  ASSERT_TRUE(WaitLogged("Trelk: Calling TessimGetIDList...", listed));

  Phonectl(L"ring REAL-1 \"0401 234567\"");
  bool shown = CFakeCallUI::WaitFor(L"Contact 0 [ Jane Doe]");
  bool syncEnded = synced.Wait(0);
  m_world->ClearFaults();
  sync.join();
  EXPECT_TRUE(shown) << Joined(CFakeCallUI::Calls());
  EXPECT_FALSE(syncEnded) << "the window waited for the sync";
  EXPECT_EQ(CFakeCallUI::Calls()[0], L"OnIncoming REAL-1 0401 234567 1");
}

// Taking the phone down stops its call listener, which waits for the ring in
// flight; that ring's look-up must not wait for the phone's tear-down.
TEST_F(CallControlTest, AnUnplugWhileAKnownCallersRingIsLookedUpCompletes) {
  PlugWithJane(L"REAL-2");
  StartSubscribed();
  CZembraDevicePtr device = WaitUpWithJane(L"REAL-2");
  ASSERT_TRUE(device);
  CHandle hold(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  CFakeCallUI::s_holdIncoming = hold.Get();
  Phonectl(L"ring REAL-2 \"0401 234567\"");
  ASSERT_TRUE(CFakeCallUI::WaitFor(L"OnIncoming REAL-2"));
  int removes = Count(NewText(), "CCallControl::RemoveDevice");
  m_world->UnplugPhone(L"REAL-2");
  bool removing = WaitLogged("CCallControl::RemoveDevice", removes);
  ::SetEvent(hold.Get());
  EXPECT_TRUE(removing);
  EXPECT_TRUE(ZCLWaitUntil([&] { return device->GetState() == DeviceDisconnected && !device->HasDeviceImpl(); },
                           30000));
  EXPECT_TRUE(CFakeCallUI::WaitFor(L"Contact 0 [ Jane Doe]")) << Joined(CFakeCallUI::Calls());
  EXPECT_EQ(Control()->DeviceCount(), 0u);
}

// A start or stop of one phone that the library holds up keeps no lock: a
// second call for the serial is refused at once, another phone goes on.
TEST_F(CallControlTest, AStopTheLibraryHoldsUpKeepsNoOtherCallForThePhoneWaiting) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-12"));
  ASSERT_TRUE(PlugAndWait(L"SN-13"));
  CComPtr<ICallControl> callControl = Main()->GetCallControl();
  int stops = Count(NewText(), "Trelk::CCallNotificationListener::Stop");
  m_world->InjectDelay("WEXEL_RegisterNotifyIF", 20000, 1);
  CSyncEvent removed;
  removed.Create(true);
  HRESULT removal = E_PENDING;
  std::thread remover([&] {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CComPtr<ICallControl> own = Main()->GetCallControl();
    removal = own->RemoveDevice(CComBSTR(L"SN-12"));
    own.Release();
    ::CoUninitialize();
    removed.Set();
  });
  ASSERT_TRUE(WaitLogged("Trelk::CCallNotificationListener::Stop", stops));
  HRESULT again = callControl->AddDevice(CComBSTR(L"SN-12"));
  bool removedMeanwhile = removed.Wait(0);
  HRESULT other = callControl->RemoveDevice(CComBSTR(L"SN-13"));
  bool removedByNow = removed.Wait(0);
  m_world->ClearFaults();
  remover.join();
  EXPECT_EQ(again, E_FAIL);
  EXPECT_FALSE(removedMeanwhile) << "the second call waited for the first";
  EXPECT_EQ(other, S_OK);
  EXPECT_FALSE(removedByNow);
  EXPECT_EQ(removal, S_OK);
  EXPECT_EQ(Control()->DeviceCount(), 0u);
}

// A shutdown that gives up waiting for a phone whose stop hangs leaves the
// library and the phones' sink to that phone until it has stopped.
TEST_F(CallControlTest, AShutdownThatGivesUpOnAStoppingPhoneTerminatesTheLibraryOnlyAfterIt) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-14"));
  CCallControl* control = Control();
  control->SetStopWait(300);
  m_world->InjectDelay("WEXEL_RegisterNotifyIF", 40000, 1);
  size_t start = NewText().size();
  control->Shutdown();
  std::string after = NewText().substr(start);
  EXPECT_NE(after.find("phones still stopping"), std::string::npos);
  EXPECT_EQ(after.find("Trelk::CCallControl::Terminate"), std::string::npos);
  EXPECT_EQ(after.find("[Destructed class CDeviceCallControl]"), std::string::npos);

  m_world->ClearFaults();
  ASSERT_TRUE(ZCLWaitUntil([&] { return NewText().find("Trelk::CCallControl::Terminate", start) != std::string::npos; },
                           20000));
  std::string text = NewText();
  size_t stopped = text.find("[Destructed class CDeviceCallControl]", start);
  ASSERT_NE(stopped, std::string::npos);
  EXPECT_LT(stopped, text.find("Trelk::CCallControl::Terminate", start));
  EXPECT_TRUE(HandlesAllClosed(L"SN-14"));
  Stop();
  EXPECT_NE(NewText().find("[Destructed class CCallControl]"), std::string::npos);
}

TEST_F(CallControlTest, MessageAndCallOperationsCheckThePhoneAndReportTheirOwnTexts) {
  StartSubscribed();
  ASSERT_TRUE(PlugAndWait(L"SN-10"));
  ASSERT_TRUE(PlugAndWait(L"NOCC-1"));
  ASSERT_TRUE(PlugAndWait(L"THROWS-1"));

  CComPtr<ISendMessageOperation> send = Create<ISendMessageOperation>(IID_ISendMessageOperation);
  send->put_SerialNumber(CComBSTR(L"SN-10"));
  send->put_Recipient(CComBSTR(L"040 555 1234"));
  send->put_Message(CComBSTR(L"See you"));
  Run(send);
  EXPECT_EQ(State(send), OperationCompleted);
  std::vector<PhoneSim::CMessage> sent = m_world->ListMessages(L"SN-10", 2);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].text, L"See you");
  ASSERT_EQ(sent[0].addresses.size(), 1u);
  EXPECT_EQ(sent[0].addresses[0].address, L"0405551234");
  IUnknown* data = reinterpret_cast<IUnknown*>(0x1);
  EXPECT_EQ(E_NOTIMPL, send->get_OperationData(&data));
  EXPECT_EQ(data, nullptr);

  CComPtr<ISendMessageOperation> throwing = Create<ISendMessageOperation>(IID_ISendMessageOperation);
  throwing->put_SerialNumber(CComBSTR(L"THROWS-1"));
  Run(throwing);
  CallbackCall failed = m_recorder->Last("OperationFailed");
  EXPECT_EQ(failed.hr, E_UNEXPECTED);
  EXPECT_EQ(failed.description, L"Unknown error while sending SMS!");
  EXPECT_NE(NewText().find("[Unknown exception"), std::string::npos);

  CComPtr<ICreateCallOperation> call = Create<ICreateCallOperation>(IID_ICreateCallOperation);
  call->put_SerialNumber(CComBSTR(L"NOCC-1"));
  Run(call);
  failed = m_recorder->Last("OperationFailed");
  EXPECT_EQ(failed.hr, E_NOTIMPL);
  EXPECT_EQ(failed.description, L"Device doesn't support call control");
  EXPECT_EQ(CFakeCallUI::Count(L"Call "), 0);

  CComPtr<IComposeMessageOperation> compose = Create<IComposeMessageOperation>(IID_IComposeMessageOperation);
  compose->put_SerialNumber(CComBSTR(L"SN-10"));
  compose->put_Number(CComBSTR(L"0401"));
  compose->put_Message(CComBSTR(L"Hello"));
  Run(compose);
  EXPECT_EQ(State(compose), OperationCompleted);  // the window's E_NOTIMPL is not a failure
  EXPECT_EQ(CFakeCallUI::Count(L"Compose SN-10 [0401] [] [Hello]"), 1);

  CComPtr<ICreateCallOperation> unknown = Create<ICreateCallOperation>(IID_ICreateCallOperation);
  unknown->put_SerialNumber(CComBSTR(L"NONE"));
  Run(unknown);
  failed = m_recorder->Last("OperationFailed");
  EXPECT_EQ(failed.hr, E_FAIL);
  EXPECT_EQ(failed.description, L"Invalid device.");

  ASSERT_TRUE(UnplugAndWait(L"SN-10"));
  CComPtr<ISendMessageOperation> away = Create<ISendMessageOperation>(IID_ISendMessageOperation);
  away->put_SerialNumber(CComBSTR(L"SN-10"));
  Run(away);
  failed = m_recorder->Last("OperationFailed");
  EXPECT_EQ(failed.hr, E_ACCESSDENIED);
  EXPECT_EQ(failed.description, L"Device not connected");
  EXPECT_NE(NewText().find("Device not connected]"), std::string::npos);

  // Properties are fixed from BeginOperation on.
  HoldQueue();
  CComPtr<ICreateCallOperation> held = Create<ICreateCallOperation>(IID_ICreateCallOperation);
  ASSERT_EQ(S_OK, m_zembra->BeginOperation(held));
  EXPECT_EQ(E_UNEXPECTED, held->put_Number(CComBSTR(L"0402")));
  OpenQueue();
}

}  // namespace
