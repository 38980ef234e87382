#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>
#include "CEventLog.h"
#include "CTrelkException.h"
#include "LogFileTest.h"
#include "PhoneWorld.h"
#include "PhoneWorldTest.h"
#include "Recorder.h"
#include "SimTestSupport.h"
#include "TrelkBinding.h"

// The event log through the binding against the simulated phone (the
// fallback Trelk_Fandor.dll beside the test).

namespace {

using PhoneSim::CCallLogEntry;
using PhoneSim::CPhone;
using PhoneSim::CPhoneWorld;
using PhoneSim::Testing::CScratchWorld;
using PhoneSim::Testing::RunPhonectl;

struct LogEvent {
  char kind;  // N the log changed, L the connection was lost
  DWORD param;
  DWORD thread;
};
const wchar_t kSerial[] = L"SN-L";

class RecordingLogSink : public ILOGVEXNotify {
public:
  DWORD OnLOGVEXNtf(DWORD param, void*) override { return Add('N', param); }
  DWORD OnLOGVEXConnectionLostNtf() override { return Add('L', 0); }
  bool WaitFor(char kind) {
    return m_events.WaitFor([&](const std::vector<LogEvent>& events) {
      for (const LogEvent& e : events)
        if (e.kind == kind) return true;
      return false;
    });
  }
  std::vector<LogEvent> Events() { return m_events.Events(); }
  bool m_throw = false;

private:
  DWORD Add(char kind, DWORD param) {
    m_events.Add(LogEvent{kind, param, GetCurrentThreadId()});
    if (m_throw) throw std::runtime_error("sink failed");
    return 0;
  }
  CRecorder<LogEvent> m_events;
};

class EventLogTest : public PhoneWorldTest {
protected:
  EventLogTest() : PhoneWorldTest(kSerial) {}
  void SetUp() override {
    PhoneWorldTest::SetUp();
    m_log.Initialize();
    m_log.Open(kSerial, m_connection);
  }
  void TearDown() override {
    m_connection.Close();
    m_log.Terminate();
    PhoneWorldTest::TearDown();
  }

  // Every entry, read as the sync engine reads them.
  std::vector<CCallLogEntry> ReadAll(DWORD* endResult) {
    std::vector<CCallLogEntry> entries;
    DWORD read = 0;
    EXPECT_EQ(LOGVEX_ReadBegin(m_connection.GetHandle(), 0, &read), 0u);
    LOGVEX_LOG_ITEM item = {sizeof(LOGVEX_LOG_ITEM)};
    DWORD rc;
    while ((rc = LOGVEX_ReadNext(read, 0, &item)) == 0) {
      CCallLogEntry e;
      e.id = item.dwEntryId;
      e.type = item.dwType;
      e.direction = item.dwDirection;
      e.duration = item.dwDuration;
      e.bytesSent = item.ullBytesSent;
      e.number = item.pstrNumber ? item.pstrNumber : L"<null>";
      e.name = item.pstrName ? item.pstrName : L"<null>";
      e.time.year = item.wYear;
      e.time.minute = item.bMinute;
      e.zone1 = item.lZoneOffset1;
      entries.push_back(e);
      EXPECT_EQ(LOGVEX_FreeLogItem(&item), 0u);
      EXPECT_EQ(item.pstrNumber, nullptr);
      EXPECT_EQ(LOGVEX_FreeLogItem(&item), 0u);  // nothing left to free twice
    }
    *endResult = rc;
    EXPECT_EQ(LOGVEX_ReadEnd(read), 0u);
    return entries;
  }

  Trelk::CEventLog m_log;
  Trelk::CEventLogConnection m_connection;
};

TEST_F(EventLogTest, TheCallLogReadsBackEveryEntryInOrder) {
  DWORD end = 0;
  EXPECT_TRUE(ReadAll(&end).empty());
  EXPECT_EQ(end, ELNYX_ALL_LISTED);

  ASSERT_EQ(RunPhonectl(std::wstring(L"add-call ") + kSerial +
                        L" --type 1 --direction 2 --duration 61 --number +3581 --name \"Jane Doe\" "
                        L"--time 2007-05-14T10:22:05 --zone 120 --sent 5000000000"),
            0u);
  ASSERT_EQ(RunPhonectl(std::wstring(L"add-call ") + kSerial + L" --type 2 --name \"tab\\there\""), 0u);
  CCallLogEntry third;
  third.id = 40;
  third.number = L"+3583";
  ASSERT_EQ(m_world->AddCallLogEntry(kSerial, third), 40u);
  EXPECT_EQ(m_world->AddCallLogEntry(kSerial, third), 0u);  // ids are keys

  std::vector<CCallLogEntry> entries = ReadAll(&end);
  EXPECT_EQ(end, ELNYX_ALL_LISTED);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].id, 1u);
  EXPECT_EQ(entries[0].type, 1u);
  EXPECT_EQ(entries[0].direction, 2u);
  EXPECT_EQ(entries[0].duration, 61u);
  EXPECT_EQ(entries[0].bytesSent, 5000000000ull);
  EXPECT_EQ(entries[0].number, L"+3581");
  EXPECT_EQ(entries[0].name, L"Jane Doe");
  EXPECT_EQ(entries[0].time.year, 2007);
  EXPECT_EQ(entries[0].time.minute, 22);
  EXPECT_EQ(entries[0].zone1, 120);
  EXPECT_EQ(entries[1].id, 2u);
  EXPECT_EQ(entries[1].number, L"<null>");  // not given: a null pointer
  EXPECT_EQ(entries[1].name, L"tab\there");
  EXPECT_EQ(entries[2].id, 40u);
  EXPECT_EQ(entries[2].name, L"<null>");
}

TEST_F(EventLogTest, ACallLogChangeNotifiesFromTheSimulatorsThreadAndLossIsTold) {
  RecordingLogSink sink;
  Trelk::CEventLogNotificationListener listener(&sink);
  listener.Start(m_connection);
  ASSERT_EQ(RunPhonectl(std::wstring(L"add-call ") + kSerial + L" --number 112"), 0u);
  ASSERT_TRUE(sink.WaitFor('N'));
  EXPECT_EQ(sink.Events()[0].param, LOGVEX_NTF_LOG_CHANGED);
  EXPECT_NE(sink.Events()[0].thread, GetCurrentThreadId());
  EXPECT_NE(NewText().find("dwParam: 1, indinfo: "), std::string::npos);

  // A throwing sink is logged on the library's thread, not let through.
  sink.m_throw = true;
  m_world->UnplugPhone(kSerial);
  ASSERT_TRUE(sink.WaitFor('L'));
  listener.Stop();
  EXPECT_FALSE(listener.IsStarted());
  DWORD read = 0;
  EXPECT_EQ(LOGVEX_ReadBegin(m_connection.GetHandle(), 0, &read), ELNYX_CONNECTION_LOST);
}

TEST_F(EventLogTest, AListenerWithoutSinkLogsAndForwardsNothing) {
  Trelk::CEventLogNotificationListener listener(nullptr);
  EXPECT_EQ(listener.OnLOGVEXNtf(3, nullptr), 0u);
  EXPECT_EQ(listener.OnLOGVEXConnectionLostNtf(), 0u);
  EXPECT_NE(NewText().find("dwParam: 3, indinfo: "), std::string::npos);

  RecordingLogSink sink;
  sink.m_throw = true;
  Trelk::CEventLogNotificationListener throwing(&sink);
  EXPECT_EQ(throwing.OnLOGVEXNtf(4, nullptr), 0u);
  EXPECT_NE(NewText().find("[Unknown Exception!"), std::string::npos);
}

TEST_F(EventLogTest, InjectedFailuresBecomeTrelkExceptionsWithTheirTexts) {
  ASSERT_EQ(RunPhonectl(L"fault LOGVEX_OpenHandle 0x80200000 1"), 0u);
  Trelk::CEventLogConnection other;
  try {
    m_log.Open(kSerial, other);
    FAIL() << "no exception";
  } catch (const Trelk::CTrelkException& e) {
    EXPECT_EQ(static_cast<DWORD>(e.GetCode()), ELNYX_DEVICE_NOT_FOUND);
    EXPECT_EQ(e.GetMessageText(), "ELNYX_DEVICE_NOT_FOUND: Given phone is not connected (refresh device list)");
  }
  EXPECT_EQ(other.GetHandle(), 0u);

  m_world->InjectFault("LOGVEX_RegisterNotifyIF", ELNYX_CONNECTION_BUSY, 1);
  Trelk::CEventLogNotificationListener listener(nullptr);
  EXPECT_THROW(listener.Start(m_connection), Trelk::CTrelkException);
  EXPECT_FALSE(listener.IsStarted());
  listener.Start(m_connection);
  EXPECT_TRUE(listener.IsStarted());
}

TEST(EventLogLifetimeTest, TerminateWithoutInitializeAndClosingTwiceCallNothingMore) {
  Trelk::CEventLog never;
  never.Terminate();
  EXPECT_FALSE(Trelk::LOGVEXBinding().IsLoaded());
  Trelk::CEventLogConnection none;
  none.Close();
  EXPECT_EQ(none.GetHandle(), 0u);
  Trelk::CEventLogConnection owner(0x42);
  Trelk::CEventLogConnection copy(owner);
  EXPECT_FALSE(copy.IsOwner());
  owner.Close();
  EXPECT_EQ(owner.GetHandle(), 0u);
  owner.Close();
}

}  // namespace
