#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>
#include "CCallNotificationListener.h"
#include "CTrelkException.h"
#include "LogFileTest.h"
#include "PhoneCalls.h"
#include "PhoneWorld.h"
#include "PhoneWorldTest.h"
#include "Recorder.h"
#include "SimTestSupport.h"
#include "TrelkBinding.h"
#include "TrelkCallControl.h"

// Call control through the binding against the simulated phone (the fallback
// Trelk_Fandor.dll beside the test).

namespace {

using PhoneSim::CPhone;
using PhoneSim::CPhoneWorld;
using PhoneSim::Testing::CScratchWorld;
using PhoneSim::Testing::RunPhonectl;

const wchar_t kSerial[] = L"SN-C";

struct CallEvent {
  DWORD kind;  // 0: the connection was lost
  DWORD cause;
  int callId;
  int status;
  std::vector<std::pair<int, std::wstring>> addresses;
  DWORD thread;
};

class RecordingCallSink : public Trelk::ICallNotify {
public:
  DWORD OnCallNotify(DWORD kind, DWORD cause, const Trelk::CCallInfo& call) override {
    CallEvent e{kind, cause, call.CallId(), call.Status(), {}, GetCurrentThreadId()};
    for (size_t i = 0; i < call.GetAddressCount(); ++i)
      e.addresses.push_back({call.GetAddressAt(i).GetAddressType(), call.GetAddressAt(i).GetAddress()});
    m_events.Add(e);
    if (m_throw) throw std::runtime_error("sink failed");
    return 0;
  }
  DWORD OnCallConnectionLost() override {
    m_events.Add(CallEvent{0, 0, 0, 0, {}, GetCurrentThreadId()});
    if (m_throw) throw std::runtime_error("sink failed");
    return 0;
  }
  // The nth event (from 0) once it has come.
  bool WaitCount(size_t n) {
    return m_events.WaitFor([&](const std::vector<CallEvent>& events) { return events.size() >= n; });
  }
  std::vector<CallEvent> Events() { return m_events.Events(); }
  bool m_throw = false;

private:
  CRecorder<CallEvent> m_events;
};

class CallControlTest : public PhoneWorldTest {
protected:
  CallControlTest() : PhoneWorldTest(kSerial) {}
  void SetUp() override {
    PhoneWorldTest::SetUp();
    m_control.Initialize();
    m_control.OpenCallControl(kSerial, m_connection);
  }
  void TearDown() override {
    m_connection.Close();
    m_control.Terminate();
    PhoneWorldTest::TearDown();
  }
  PhoneSim::CPhoneCalls Calls() { return PhoneSim::ReadPhoneCalls(*m_world, kSerial); }

  Trelk::CCallControl m_control;
  Trelk::CCallConnection m_connection;
};

TEST_F(CallControlTest, APlacedCallIsDialledWithoutBlanksAndReportedFromTheLibrarysThread) {
  RecordingCallSink sink;
  Trelk::CCallNotificationListener listener(&sink);
  listener.Start(m_connection);
  BYTE id = m_connection.Call(L"040 123 4567");
  EXPECT_EQ(id, 1);
  ASSERT_EQ(Calls().calls.size(), 1u);
  EXPECT_EQ(Calls().calls[0].number, L"0401234567");
  EXPECT_NE(NewText().find("WEXEL_CreateCall returned 0x00000000"), std::string::npos);

  ASSERT_EQ(RunPhonectl(std::wstring(L"answer ") + kSerial), 0u);
  ASSERT_EQ(RunPhonectl(std::wstring(L"hangup ") + kSerial + L" 1 --cause 16"), 0u);
  ASSERT_TRUE(sink.WaitCount(3));
  std::vector<CallEvent> e = sink.Events();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].kind, 5u);  // dialling, with the dialled number
  EXPECT_EQ(e[0].status, 1);
  EXPECT_EQ(e[0].callId, 1);
  ASSERT_EQ(e[0].addresses.size(), 1u);
  EXPECT_EQ(e[0].addresses[0].first, 1);
  EXPECT_EQ(e[0].addresses[0].second, L"0401234567");
  EXPECT_NE(e[0].thread, GetCurrentThreadId());
  EXPECT_EQ(e[1].kind, 5u);  // active
  EXPECT_EQ(e[1].status, 8);
  EXPECT_EQ(e[2].kind, 1u);  // ended by the far side
  EXPECT_EQ(e[2].cause, 16u);
  EXPECT_NE(NewText().find("dwNtfMsgID: 5, dwCause: 0x00000000, id: 1"), std::string::npos);
}

TEST_F(CallControlTest, ARingingCallIsAnsweredReleasedAndASecondOnePutsTheFirstOnHold) {
  RecordingCallSink sink;
  Trelk::CCallNotificationListener listener(&sink);
  listener.Start(m_connection);
  ASSERT_EQ(RunPhonectl(std::wstring(L"ring ") + kSerial + L" +358401 --name \"Jane Doe\""), 0u);
  ASSERT_TRUE(sink.WaitCount(1));
  CallEvent ring = sink.Events()[0];
  EXPECT_EQ(ring.kind, 6u);
  ASSERT_EQ(ring.addresses.size(), 2u);
  EXPECT_EQ(ring.addresses[0].first, 5);
  EXPECT_EQ(ring.addresses[0].second, L"+358401");
  EXPECT_EQ(ring.addresses[1].first, 4);
  EXPECT_EQ(ring.addresses[1].second, L"Jane Doe");

  m_connection.Activate(static_cast<BYTE>(ring.callId));
  ASSERT_TRUE(sink.WaitCount(2));
  EXPECT_EQ(sink.Events()[1].status, 8);
  ASSERT_EQ(RunPhonectl(std::wstring(L"ring ") + kSerial + L" +358402"), 0u);
  ASSERT_TRUE(sink.WaitCount(4));
  EXPECT_EQ(sink.Events()[2].kind, 2u);  // the first call waits
  EXPECT_EQ(sink.Events()[2].callId, ring.callId);
  EXPECT_EQ(sink.Events()[3].kind, 6u);
  int second = sink.Events()[3].callId;
  EXPECT_NE(second, ring.callId);

  m_connection.Reject(static_cast<BYTE>(second));  // released by the PC: a status change to 0
  ASSERT_TRUE(sink.WaitCount(5));
  EXPECT_EQ(sink.Events()[4].kind, 5u);
  EXPECT_EQ(sink.Events()[4].status, 0);
  EXPECT_EQ(sink.Events()[4].callId, second);
  // An id the phone has no live call under is refused, and the "returned" line logged first.
  EXPECT_THROW(m_connection.Activate(7), Trelk::CTrelkException);
  EXPECT_NE(NewText().find("WEXEL_AnswerCall returned 0x80100013"), std::string::npos);
}

TEST_F(CallControlTest, TheFarSideRejectingIsKindThreeWithItsCause) {
  RecordingCallSink sink;
  Trelk::CCallNotificationListener listener(&sink);
  listener.Start(m_connection);
  m_connection.Call(L"112");
  ASSERT_EQ(RunPhonectl(std::wstring(L"reject ") + kSerial), 0u);
  ASSERT_TRUE(sink.WaitCount(2));
  EXPECT_EQ(sink.Events()[1].kind, 3u);
  EXPECT_EQ(sink.Events()[1].cause, 1029u);
}

TEST_F(CallControlTest, AnUnknownStatusIsAskedForAndPatchedIntoACopyOnly) {
  RecordingCallSink sink;
  Trelk::CCallNotificationListener listener(&sink);
  listener.Start(m_connection);
  BYTE id = m_connection.Call(L"0401");
  ASSERT_EQ(RunPhonectl(std::wstring(L"answer ") + kSerial), 0u);
  ASSERT_TRUE(sink.WaitCount(2));

  WEXEL_ADDRESS address = {sizeof(WEXEL_ADDRESS), 1, {0}, const_cast<WCHAR*>(L"0401"), 0, 4, {0}};
  WEXEL_CALL_INFO record = {};
  record.dwSize = sizeof(record);
  record.bCallId = id;
  record.bStatus = 0xFF;
  record.bNumOfAddresses = 1;
  record.pAddresses = &address;
  EXPECT_EQ(listener.OnWEXELCallNtf(0, 5, 0, &record), 5u);
  ASSERT_EQ(sink.Events().size(), 3u);
  EXPECT_EQ(sink.Events()[2].status, 8);  // what the library answered
  EXPECT_EQ(record.bStatus, 0xFF);        // the library's record untouched
  EXPECT_EQ(record.pAddresses, &address);

  record.bStatus = 2;  // known: no query, passed as it is
  listener.OnWEXELCallNtf(0, 5, 0, &record);
  EXPECT_EQ(sink.Events()[3].status, 2);
}

TEST_F(CallControlTest, OtherIdsAndNullRecordsReachNoSinkAndASinksExceptionStaysOnItsSide) {
  RecordingCallSink sink;
  Trelk::CCallNotificationListener listener(&sink);
  WEXEL_ADDRESS addresses[3] = {};
  for (WEXEL_ADDRESS& a : addresses) a.dwSize = sizeof(a);
  WEXEL_CALL_INFO record = {};
  record.dwSize = sizeof(record);
  record.bCallId = 3;
  record.bNumOfAddresses = 3;
  record.pAddresses = addresses;
  EXPECT_EQ(listener.OnWEXELCallNtf(0, 0, 0, &record), 0u);
  EXPECT_EQ(listener.OnWEXELCallNtf(0, 7, 0, &record), 7u);
  EXPECT_EQ(listener.OnWEXELCallNtf(0, 1, 0, nullptr), 1u);
  EXPECT_TRUE(sink.Events().empty());
  EXPECT_NE(NewText().find("dwNtfMsgID: 7, dwCause: 0x00000000, id: 3"), std::string::npos);
  EXPECT_NE(NewText().find("dwNtfMsgID: 1, dwCause: 0x00000000, id: 0"), std::string::npos);

  Trelk::CCallInfo info(&record);
  EXPECT_EQ(info.GetAddressCount(), 3u);
  EXPECT_EQ(std::wstring(info.GetAddressAt(2).GetAddress()), L"");  // null text reads as empty
  EXPECT_THROW(info.GetAddressAt(3), std::out_of_range);

  sink.m_throw = true;
  EXPECT_EQ(listener.OnWEXELCallNtf(0, 4, 9, &record), 4u);
  EXPECT_EQ(listener.OnWEXELConnectionLostNtf(), 0u);
  EXPECT_EQ(sink.Events().size(), 2u);
  EXPECT_NE(NewText().find("[Unknown Exception!"), std::string::npos);
}

TEST_F(CallControlTest, ASecondStartEndsTheFirstRegistrationSoStopLeavesNoneBehind) {
  RecordingCallSink sink;
  Trelk::CCallNotificationListener listener(&sink);
  listener.Start(m_connection);
  listener.Start(m_connection);
  listener.Stop();
  EXPECT_FALSE(listener.IsStarted());
  // A sink still registered would hear the call; a listener that registered
  // twice could not be stopped by one unregistration.
  EXPECT_FALSE(m_connection.Family().HasSink(static_cast<IWEXELNotify*>(&listener)));
  EXPECT_EQ(WEXEL_RegisterNotifyIF(m_connection.GetHandle(), TRELK_NOTIFY_UNREGISTER, &listener),
            ELNYX_INVALID_PARAMETER);
}

TEST_F(CallControlTest, ALostConnectionIsToldOnceAndLaterCallsFail) {
  RecordingCallSink sink;
  Trelk::CCallNotificationListener listener(&sink);
  listener.Start(m_connection);
  ASSERT_EQ(RunPhonectl(std::wstring(L"drop-calls ") + kSerial), 0u);
  ASSERT_TRUE(sink.WaitCount(1));
  EXPECT_EQ(sink.Events()[0].kind, 0u);
  try {
    m_connection.Call(L"112");
    FAIL() << "no exception";
  } catch (const Trelk::CTrelkException& e) {
    EXPECT_EQ(static_cast<DWORD>(e.GetCode()), ELNYX_CONNECTION_LOST);
  }
  // A new handle on the phone works again.
  Trelk::CCallConnection fresh;
  m_control.OpenCallControl(kSerial, fresh);
  EXPECT_EQ(fresh.Call(L"112"), 1);
}

TEST_F(CallControlTest, ACopyNeverOwnsTheHandleAndEveryOpenedHandleIsCountedClosed) {
  {
    Trelk::CCallConnection copy(m_connection);
    EXPECT_FALSE(copy.IsOwner());
    EXPECT_EQ(copy.GetHandle(), m_connection.GetHandle());
    Trelk::CCallConnection assigned;
    assigned = m_connection;
    EXPECT_FALSE(assigned.IsOwner());
  }
  EXPECT_EQ(Calls().handlesClosed, 0u);
  EXPECT_EQ(m_connection.Call(L"112"), 1);  // still open
  // Opening into a copy gives the copy a handle of its own.
  Trelk::CCallConnection copy(m_connection);
  m_control.OpenCallControl(kSerial, copy);
  EXPECT_NE(copy.GetHandle(), m_connection.GetHandle());
  copy.Close();
  m_connection.Close();
  EXPECT_EQ(Calls().handlesOpened, 2u);
  EXPECT_EQ(Calls().handlesClosed, 2u);
}

TEST_F(CallControlTest, InjectedFailuresThrowWithTheirTextsAfterTheReturnedLine) {
  m_world->InjectFault("WEXEL_ReleaseCall", ELNYX_CONNECTION_LOST, 1);
  try {
    m_connection.Reject(1);
    FAIL() << "no exception";
  } catch (const Trelk::CTrelkException& e) {
    EXPECT_EQ(static_cast<DWORD>(e.GetCode()), ELNYX_CONNECTION_LOST);
    EXPECT_EQ(e.GetMessageText().find("ELNYX_CONNECTION_LOST"), 0u);
  }
  EXPECT_NE(NewText().find("WEXEL_ReleaseCall returned 0x80200006"), std::string::npos);
  m_world->InjectFault("WEXEL_OpenHandle", ELNYX_DEVICE_NOT_FOUND, 1);
  Trelk::CCallConnection other;
  EXPECT_THROW(m_control.OpenCallControl(kSerial, other), Trelk::CTrelkException);
  EXPECT_EQ(other.GetHandle(), 0u);
}

TEST(CallControlLifetimeTest, AnExplicitTerminateIsNotRepeatedByTheDestructor) {
  CScratchWorld scratch;
  Trelk::CCallControl other;
  other.Initialize();
  {
    Trelk::CCallControl first;
    first.Initialize();
    first.Terminate();
  }  // its destructor must not end the other's initialisation
  EXPECT_TRUE(Trelk::WEXELBinding().IsLoaded());
  other.Terminate();
  EXPECT_FALSE(Trelk::WEXELBinding().IsLoaded());
}

}  // namespace
