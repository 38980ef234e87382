#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "BindingTestSupport.h"
#include "CContentAccess.h"
#include "CDeviceManagement.h"
#include "CEventLog.h"
#include "CSMSNotificationListener.h"
#include "CTrelkException.h"
#include "LogFileTest.h"
#include "PhoneWorld.h"
#include "Recorder.h"
#include "SimTestSupport.h"
#include "TrelkBinding.h"
#include "ZCLWait.h"

// The families' bindings with the simulated phone's libraries while the
// system-wide events unload and reload them, and the lifecycle against
// libraries that call back or do not return.

namespace {

using PhoneSim::CCallLogEntry;
using PhoneSim::CMessage;
using PhoneSim::CPhone;
using PhoneSim::CPhoneWorld;
using PhoneSim::Testing::CScratchWorld;
using Trelk::CLibraryBinding;

using BindingTesting::DeleteValue;
using BindingTesting::kWaitMs;
using BindingTesting::Request;
using BindingTesting::SetValue;
using BindingTesting::TestLibrary;

const wchar_t kSerial[] = L"SN-R";

std::vector<CLibraryBinding*> SimulatedFamilies() {
  return {&Trelk::RUVONBinding(), &Trelk::TessimBinding(), &Trelk::LOGVEXBinding()};
}

bool AllLoaded(bool loaded) {
  for (CLibraryBinding* binding : SimulatedFamilies())
    if (binding->IsLoaded() != loaded) return false;
  return true;
}

class DeviceSink : public IRUVONDeviceNotify {
public:
  void OnDeviceListUpdated() override {}
  void OnDeviceAdded(const WCHAR* serial, DWORD) override { m_added.Add(serial ? serial : L""); }
  void OnDeviceRemoved(const WCHAR*, DWORD) override {}
  void OnDeviceUpdated(const WCHAR*, DWORD) override {}
  bool WaitForAdded(const std::wstring& serial) {
    return m_added.WaitFor([&](const std::vector<std::wstring>& added) {
      return std::find(added.begin(), added.end(), serial) != added.end();
    });
  }

private:
  CRecorder<std::wstring> m_added;
};

class MessageSink : public ITessimNotify {
public:
  DWORD OnTessimNotify(DWORD, DWORD, TESSIM_ITEM_ID* id) override {
    m_uids.Add(Trelk::CIdListItem(id).GetUid().ToString());
    return 0;
  }
  bool WaitForCount(size_t count) {
    return m_uids.WaitFor([&](const std::vector<std::wstring>& uids) { return uids.size() >= count; });
  }
  std::vector<std::wstring> Uids() { return m_uids.Events(); }

private:
  CRecorder<std::wstring> m_uids;
};

class LogSink : public ILOGVEXNotify {
public:
  DWORD OnLOGVEXNtf(DWORD, void*) override {
    m_changes.Add(1);
    return 0;
  }
  DWORD OnLOGVEXConnectionLostNtf() override { return 0; }
  bool WaitForCount(size_t count) {
    return m_changes.WaitFor([&](const std::vector<int>& changes) { return changes.size() >= count; });
  }

private:
  CRecorder<int> m_changes;
};

class ReloadTest : public LogFileTest {
protected:
  void SetUp() override {
    LogFileTest::SetUp();
    for (const char* name : {"RUVON", "Tessim", "LOGVEX", "Options"}) DeleteValue(name);
  }
  void TearDown() override {
    for (const char* name : {"RUVON", "Tessim", "LOGVEX"}) DeleteValue(name);
    LogFileTest::TearDown();
  }
};

TEST_F(ReloadTest, HandlesAndSinksLiveThroughTwentyUnloadsAndReloads) {
  CScratchWorld scratch;
  CPhoneWorld world(scratch.Folder());
  CPhone phone;
  phone.serial = kSerial;
  ASSERT_TRUE(world.PlugPhone(phone));

  DeviceSink deviceSink;
  Trelk::CDeviceManagement dm;
  dm.Initialize();
  dm.OpenDM();
  dm.RegisterDeviceNotify(&deviceSink);
  Trelk::CContentAccess access;
  access.Initialize();
  Trelk::CSMSConnection sms;
  access.OpenSMS(kSerial, sms);
  MessageSink messageSink;
  Trelk::CSMSNotificationListener messages(&messageSink);
  messages.Start(sms);
  Trelk::CEventLog log;
  log.Initialize();
  Trelk::CEventLogConnection logConnection;
  log.Open(kSerial, logConnection);
  LogSink logSink;
  Trelk::CEventLogNotificationListener calls(&logSink);
  calls.Start(logConnection);

  // Every handle number the process was ever given, across the three libraries.
  std::set<DWORD> seen = {dm.GetHandle().Peek(), sms.GetHandle(), logConnection.GetHandle()};
  EXPECT_EQ(seen.size(), 3u);
  std::vector<DWORD> generations;
  for (CLibraryBinding* binding : SimulatedFamilies()) generations.push_back(binding->GetGeneration());

  for (int cycle = 0; cycle < 20; ++cycle) {
    SCOPED_TRACE(cycle);
    const DWORD oldDm = dm.GetHandle().Peek(), oldSms = sms.GetHandle(), oldLog = logConnection.GetHandle();
    ASSERT_TRUE(Request(CLibraryBinding::UnloadEventName, [] { return AllLoaded(false); }));
    // Calls while the library is away fail plainly.
    EXPECT_THROW(dm.GetDeviceCount(), Trelk::CTrelkException);
    ASSERT_TRUE(Request(CLibraryBinding::ReloadEventName, [] { return AllLoaded(true); }));
    // The wrappers open their handles again, with their sinks, on the watcher threads.
    ASSERT_TRUE(ZCLWaitUntil(
        [&] {
          return dm.GetHandle().Peek() != oldDm && sms.GetHandle() != oldSms && logConnection.GetHandle() != oldLog;
        },
        kWaitMs));
    for (DWORD handle : {dm.GetHandle().Peek(), sms.GetHandle(), logConnection.GetHandle()})
      EXPECT_TRUE(seen.insert(handle).second) << "handle number " << handle << " given twice";

    // A stale handle names nothing in the reloaded library.
    DWORD count = 0;
    EXPECT_EQ(LNYXGetDeviceCount(oldDm, &count), ELNYX_INVALID_HANDLE);
    TESSIM_ID_LIST ids = {sizeof(TESSIM_ID_LIST)};
    EXPECT_EQ(TessimGetIDList(oldSms, TESSIM_FOLDER_INBOX, 0, &ids), ELNYX_INVALID_HANDLE);
    DWORD read = 0;
    EXPECT_EQ(LOGVEX_ReadBegin(oldLog, 0, &read), ELNYX_INVALID_HANDLE);

    // Notifications keep coming to the sinks registered before the first unload.
    CPhone another;
    another.serial = L"SN-X" + std::to_wstring(cycle);
    ASSERT_TRUE(world.PlugPhone(another));
    EXPECT_TRUE(deviceSink.WaitForAdded(another.serial));
    CMessage message;
    message.text = L"cycle " + std::to_wstring(cycle);
    message.addresses.resize(1);
    message.addresses[0].address = L"+3581";
    ASSERT_FALSE(world.WriteMessage(kSerial, message).empty());
    EXPECT_TRUE(messageSink.WaitForCount(cycle + 1));
    CCallLogEntry entry;
    entry.number = L"+3582";
    ASSERT_NE(world.AddCallLogEntry(kSerial, entry), 0u);
    EXPECT_TRUE(logSink.WaitForCount(cycle + 1));
  }
  for (size_t i = 0; i < generations.size(); ++i)
    EXPECT_GE(SimulatedFamilies()[i]->GetGeneration(), generations[i] + 20);

  // The wrappers' own calls go on on the new handles.
  EXPECT_EQ(dm.GetDeviceCount(), 21u);
  Trelk::CIdList list;
  sms.GetIdList(list, TESSIM_FOLDER_INBOX);
  EXPECT_EQ(list.Count(), 20u);
  EXPECT_EQ(messageSink.Uids().size(), 20u);

  calls.Stop();
  logConnection.Close();
  log.Terminate();
  messages.Stop();
  sms.Close();
  access.Terminate();
  dm.UnregisterDeviceNotify();
  dm.CloseDM();
}

TEST_F(ReloadTest, OperationOfAnUnloadedLibraryFailsAndIsOnlyForgotten) {
  CScratchWorld scratch;
  CPhoneWorld world(scratch.Folder());
  CPhone phone;
  phone.serial = kSerial;
  ASSERT_TRUE(world.PlugPhone(phone));
  Trelk::CContentAccess access;
  access.Initialize();
  Trelk::CSMSConnection sms;
  access.OpenSMS(kSerial, sms);
  Trelk::COperation operation;
  sms.BeginOperation(operation);
  ASSERT_TRUE(Request(CLibraryBinding::UnloadEventName, [] { return !Trelk::TessimBinding().IsLoaded(); }));
  ASSERT_TRUE(Request(CLibraryBinding::ReloadEventName, [] { return Trelk::TessimBinding().IsLoaded(); }));
  try {
    operation.Commit();
    ADD_FAILURE() << "an operation of the old library was committed";
  } catch (const Trelk::CTrelkException& e) {
    EXPECT_EQ(static_cast<DWORD>(e.GetCode()), ELNYX_INVALID_HANDLE);
  }
  operation.End();
  EXPECT_EQ(operation.GetHandle(), 0u);
  // The connection itself goes on.
  Trelk::CIdList list;
  sms.GetIdList(list, TESSIM_FOLDER_INBOX);
  EXPECT_EQ(list.Count(), 0u);
}

// Terminates the library from inside the library's own callback once the
// owner's last terminate is under way.
class TerminatingSink : public IRUVONDeviceNotify {
public:
  TerminatingSink()
      : m_inCallback(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_returned(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~TerminatingSink() {
    CloseHandle(m_inCallback);
    CloseHandle(m_returned);
  }
  void OnDeviceListUpdated() override {
    if (InterlockedExchange(&m_fired, 1)) return;
    SetEvent(m_inCallback);
    ZCLWaitUntil([] { return !Trelk::RUVONBinding().IsLoaded(); }, kWaitMs);
    m_result = RUVON_Terminate(0);
    SetEvent(m_returned);
  }
  void OnDeviceAdded(const WCHAR*, DWORD) override {}
  void OnDeviceRemoved(const WCHAR*, DWORD) override {}
  void OnDeviceUpdated(const WCHAR*, DWORD) override {}

  HANDLE m_inCallback;
  HANDLE m_returned;
  volatile LONG m_fired = 0;
  DWORD m_result = 0;
};

TEST_F(ReloadTest, TerminateFromInsideALibraryCallbackEnds) {
  CScratchWorld scratch;
  ASSERT_EQ(RUVON_Initialize(31, 0), 0u);
  DWORD dm = 0;
  ASSERT_EQ(LNYXOpenDM(&dm), 0u);
  TerminatingSink sink;
  ASSERT_EQ(LNYXRegisterDMNotifyIF(dm, TRELK_NOTIFY_REGISTER, &sink), 0u);
  ASSERT_EQ(LNYXRefreshDeviceList(dm, 0), 0u);
  ASSERT_EQ(WaitForSingleObject(sink.m_inCallback, kWaitMs), WAIT_OBJECT_0);
  // The owner's terminate runs on a thread of its own: a hang is seen, not suffered.
  HANDLE owner = CreateThread(
      nullptr, 0, [](LPVOID) -> DWORD { return RUVON_Terminate(0); }, nullptr, 0, nullptr);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(WaitForSingleObject(sink.m_returned, kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(sink.m_result, ELNYX_NOT_INITIALIZED);  // the one count was the owner's
  EXPECT_EQ(WaitForSingleObject(owner, kWaitMs), WAIT_OBJECT_0);
  DWORD ownerResult = ~0u;
  GetExitCodeThread(owner, &ownerResult);
  EXPECT_EQ(ownerResult, 0u);
  CloseHandle(owner);
  EXPECT_FALSE(Trelk::RUVONBinding().IsLoaded());
}

TEST_F(ReloadTest, TerminateAbandonsACallThatDoesNotReturn) {
  const std::string path = TestLibrary("Full");
  ASSERT_TRUE(SetValue("TestLib", path));
  // The test's own reference reads the count after the binding let the library go.
  HMODULE own = LoadLibraryA(path.c_str());
  ASSERT_NE(own, nullptr);
  typedef LONG(WINAPI * CounterFn)();
  CounterFn blocked = reinterpret_cast<CounterFn>(reinterpret_cast<void*>(GetProcAddress(own, "TestBlockedCount")));
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "TrelkTestRelease");
  ResetEvent(release);

  CLibraryBinding binding(
      CLibraryBinding::Family{"TestLib", "NoSuchTrelkLibrary.dll", "RUVON_Initialize", "RUVON_Terminate", true});
  ASSERT_EQ(binding.Initialize(31, 0), 0u);
  std::thread caller([&] { binding.Forward<DWORD(WINAPI*)()>("TestBlock"); });
  ASSERT_TRUE(ZCLWaitUntil([&] { return blocked() == 1; }, kWaitMs));
  std::thread terminator([&] { binding.Terminate(0); });
  // Ends while the call is still blocked, and says so.
  EXPECT_TRUE(ZCLWaitUntil([&] { return NewText().find("calls still in the library") != std::string::npos; }, kWaitMs));
  EXPECT_EQ(blocked(), 1);
  SetEvent(release);
  terminator.join();
  caller.join();
  EXPECT_FALSE(binding.IsLoaded());
  EXPECT_FALSE(binding.HasWatcher());
  CloseHandle(release);
  FreeLibrary(own);
  DeleteValue("TestLib");
}

// A call still inside the library when the watcher unloads it keeps that
// library mapped under it, while the reloaded one serves new calls; the old
// reference goes once the call returns, so the last terminate frees it.
TEST_F(ReloadTest, ACallAcrossAReloadKeepsItsLibraryUntilItReturns) {
  const std::string path = TestLibrary("Full");
  ASSERT_TRUE(SetValue("TestLib", path));
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "TrelkTestRelease");
  ASSERT_NE(release, nullptr);
  ResetEvent(release);
  typedef DWORD(WINAPI * CallFn)();
  CLibraryBinding binding(
      CLibraryBinding::Family{"TestLib", "NoSuchTrelkLibrary.dll", "RUVON_Initialize", "RUVON_Terminate", true});
  ASSERT_EQ(binding.Initialize(31, 0), 0u);
  DWORD callResult = ~0u;
  std::thread caller([&] { callResult = binding.Forward<CallFn>("TestBlock"); });
  // However the test ends, the call returns and its thread is joined.
  struct Release {
    HANDLE event;
    std::thread& thread;
    ~Release() {
      SetEvent(event);
      if (thread.joinable()) thread.join();
      CloseHandle(event);
    }
  } cleanup{release, caller};
  ASSERT_TRUE(ZCLWaitUntil([&] { return binding.Forward<CallFn>("TestBlockedCount") == 1; }, kWaitMs));

  ASSERT_TRUE(Request(CLibraryBinding::UnloadEventName, [&] { return !binding.IsLoaded(); }));
  ASSERT_TRUE(ZCLWaitUntil([&] { return NewText().find("stays loaded until they return") != std::string::npos; },
                           kWaitMs));
  EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr) << "the library was freed under a call";
  ASSERT_TRUE(Request(CLibraryBinding::ReloadEventName, [&] { return binding.IsLoaded(); }));
  EXPECT_EQ(binding.Forward<CallFn>("TestBlockedCount"), 1u);

  SetEvent(release);
  caller.join();
  EXPECT_EQ(callResult, 0u);
  EXPECT_TRUE(ZCLWaitUntil([&] { return NewText().find("the old library is freed") != std::string::npos; }, kWaitMs));
  EXPECT_EQ(binding.Forward<CallFn>("TestBlockedCount"), 0u);
  ASSERT_EQ(binding.Terminate(0), 0u);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "a reference to the library was left behind";
  DeleteValue("TestLib");
}

// A message record whose length runs past the text's terminator is read up
// to the terminator.
TEST_F(ReloadTest, MessageTextEndsAtItsTerminator) {
  ASSERT_TRUE(SetValue("Tessim", TestLibrary("Full")));
  Trelk::CContentAccess access;
  access.Initialize();
  Trelk::CSMSConnection sms;
  access.OpenSMS(L"S1", sms);
  Trelk::COperation operation;
  sms.BeginOperation(operation);
  TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID)};
  SMSMessage message;
  sms.ReadItem(operation, &id, message, 0);
  EXPECT_EQ(message.GetText(), L"hi");
  EXPECT_EQ(message.GetNumber(), L"+3581");
  operation.End();
  sms.Close();
  access.Terminate();
  EXPECT_FALSE(Trelk::TessimBinding().IsLoaded());
}

}  // namespace
