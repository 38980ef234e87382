#include <windows.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <functional>
#include <string>
#include "FaultVfs.h"
#include "SyncTestSupport.h"
#include "ZCLText.h"

// Every library call of one full sync fails once in turn (each entry, each
// position), before it acts and after it took effect on the phone, and so
// does every disk write of the database; then a clean sync runs. After both,
// nothing the user did on either side is lost, doubled or brought back, and
// the database is sound.

namespace {

using namespace synctest;

const char* const kEntries[] = {
    "DorraxOpenTessim",       "TessimGetFolderInfo", "TessimFreeFolderInfoStructure", "TessimGetIDList",
    "TessimFreeIdListStructure", "TessimBeginOperation", "TessimReadItem",            "TessimWriteItem",
    "TessimDeleteItem",       "TessimCommitOperations", "TessimEndOperation",         "TessimFreeItemData",
    "LOGVEX_OpenHandle",      "LOGVEX_ReadBegin",    "LOGVEX_ReadNext",               "LOGVEX_ReadEnd",
    "LOGVEX_FreeLogItem",
};

class SyncFaultSweepTest : public SyncFixture {
protected:
  // The phone and the database before the faulted sync: contacts on both
  // sides, an edit on each side, a creation and a deletion on the PC, and
  // messages in the three deletion states that reach the phone or the purge.
  void Prepare() {
    m_a = PutContact(Card("Ann", "Base"));
    m_b = PutContact(Card("Bo", "Base"));
    m_c = PutContact(Card("Cy", "Base"));
    m_p = PutContact(Card("Pia", "Pic", kPngBase64));
    m_m1 = PutMessage(TESSIM_FOLDER_INBOX, L"one");
    m_m2 = PutMessage(TESSIM_FOLDER_INBOX, L"two");
    m_m3 = PutMessage(TESSIM_FOLDER_OUTBOX, L"three");
    m_m4 = PutMessage(TESSIM_FOLDER_INBOX, L"four");
    for (BYTE hour = 8; hour < 10; ++hour) {
      PhoneSim::CCallLogEntry e;
      e.number = L"+358" + std::to_wstring(hour);
      e.time.year = 2026;
      e.time.month = 1;
      e.time.day = 2;
      e.time.hour = hour;
      m_world->AddCallLogEntry(kSerial, e);
    }
    FullSync();
    EditOnPc("Ann", Card("Ann", "Pc"));
    ASSERT_GT(CreateOnPc(Card("Nia", "New")), 0);
    m_db.DeleteContact(DbId("Cy"));
    PutContact(Card("Bo", "Phone"), m_b);
    m_db.SetSmsDeleted(SmsId(m_m1), 1);
    m_db.SetSmsDeleted(SmsId(m_m2), 2);
    m_db.SetSmsDeleted(SmsId(m_m3), 3);
    // Read on the PC; the phone's marking failed.
    CZembraSMS read;
    read.SetPhoneId(Trelk::CUid::Parse(ZCLWideToUtf8(m_m4).c_str()));
    read.SetTimeStamp(SmsTimeStamp(m_m4).c_str());
    read.SetStatus(CZembraSMS::StatusRead);
    ASSERT_TRUE(m_db.UpdateSms(read));
    // The faulted sync opens its handles again.
    NewEngine();
  }

  // A fresh phone, database and engine, prepared.
  void Restart() {
    TearDown();
    SetUp();
    Prepare();
  }

  int SmsId(const std::wstring& uid) {
    return std::stoi(m_side->Value("SELECT id FROM sms WHERE phone_id='" + ZCLWideToUtf8(uid) + "'"));
  }
  std::wstring SmsTimeStamp(const std::wstring& uid) {
    return ZCLUtf8ToWide(m_side->Value("SELECT timestamp FROM sms WHERE phone_id='" + ZCLWideToUtf8(uid) + "'"));
  }
  int SmsRows(const std::wstring& uid, const std::string& where = "1") {
    return Count("SELECT COUNT(*) FROM sms WHERE phone_id='" + ZCLWideToUtf8(uid) + "' AND " + where);
  }
  bool OnPhone(const std::wstring& uid) {
    PhoneSim::CMessage m;
    return m_world->FindMessage(kSerial, uid, &m);
  }

  // What must hold after any sync, faulted or not.
  void CheckAlways() {
    EXPECT_EQ(Integrity(), "ok");
    EXPECT_EQ(LocalCard("Ann"), Card("Ann", "Pc"));  // no lost PC edit
    EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local WHERE given_name='Nia'"), 1);
    for (const char* name : {"Ann", "Bo", "Cy", "Pia", "Nia"}) EXPECT_LE(PhoneCount(name), 1) << name;
    EXPECT_EQ(Count("SELECT COUNT(*) - COUNT(DISTINCT given_name) FROM contacts_local"), 0);
    EXPECT_EQ(Count("SELECT COUNT(phone_id) - COUNT(DISTINCT phone_id) FROM contacts_phone"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local WHERE given_name='Cy' AND deleted=0"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) - COUNT(DISTINCT phone_id) FROM sms"), 0);
    EXPECT_EQ(SmsRows(m_m1, "deleted<>1"), 0);
    EXPECT_EQ(SmsRows(m_m2, "deleted<>2"), 0);
  }

  // What a clean sync after the faulted one must have reached.
  void CheckConverged() {
    CheckAlways();
    auto phone = PhoneContacts();
    EXPECT_EQ(phone[m_a], Card("Ann", "Pc"));
    EXPECT_EQ(PhoneCount("Nia"), 1);
    EXPECT_EQ(phone.count(m_c), 0u);
    EXPECT_EQ(LocalCard("Bo"), Card("Bo", "Phone"));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 4);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local WHERE updated=1 OR deleted=1 OR phone_id IS NULL"), 0);
    EXPECT_NE(GetFileAttributesW((m_folder->Path() + L"\\" + m_p).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(SmsRows(m_m1), 0);
    EXPECT_FALSE(OnPhone(m_m1));
    EXPECT_EQ(SmsRows(m_m2, "deleted=2"), 1);
    EXPECT_TRUE(OnPhone(m_m2));
    EXPECT_EQ(SmsRows(m_m3, "deleted=0"), 1);
    EXPECT_FALSE(OnPhone(m_m3));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM events"), 2);
    PhoneSim::CMessage m4;
    EXPECT_TRUE(m_world->FindMessage(kSerial, m_m4, &m4) && TessimSmsStatus(m4.info) == TESSIM_SMS_STATUS_READ);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM sms_read_marks"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_written"), 0);
  }

  // What was committed before a sync that is still to be there after it.
  void CheckKept() {
    for (const char* name : {"Ann", "Bo", "Pia", "Nia"})
      EXPECT_EQ(Count(std::string("SELECT COUNT(*) FROM contacts_local WHERE given_name='") + name + "'"), 1) << name;
    EXPECT_EQ(SmsRows(m_m2), 1);
    EXPECT_EQ(SmsRows(m_m3), 1);
    EXPECT_EQ(SmsRows(m_m4, "status=" + std::to_string(CZembraSMS::StatusRead)), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM events"), 2);
  }

  // True when the injected fault was taken (its line is gone).
  bool FaultTaken(const char* entry) {
    std::string faults;
    m_world->ReadFileText(L"faults.txt", &faults);
    return faults.find(entry) == std::string::npos;
  }

  std::wstring m_a, m_b, m_c, m_p, m_m1, m_m2, m_m3, m_m4;
};

TEST_F(SyncFaultSweepTest, EveryCallOfAFullSyncFailingOnceLosesNothing) {
  int covered = 0;
  for (const char* entry : kEntries) {
    for (DWORD position = 1;; ++position) {
      SCOPED_TRACE(std::string(entry) + " call " + std::to_string(position));
      Restart();
      m_world->InjectFault(entry, ELNYX_CONNECTION_LOST, 1, position - 1);
      FullSync();
      bool taken = FaultTaken(entry);
      m_world->ClearFaults();
      if (!taken) break;  // the sync makes fewer calls of this entry
      ++covered;
      CheckAlways();
      FullSync();
      CheckConverged();
      if (HasFailure()) return;
    }
  }
  printf("Fault positions covered: %d\n", covered);
  RecordProperty("FaultPositions", covered);
  EXPECT_GT(covered, 60);
}

// The calls that change the phone take effect and then answer a lost
// connection, as when the link drops before the reply.
TEST_F(SyncFaultSweepTest, EveryChangeOfAFullSyncLandingButFailingMakesNoDuplicate) {
  int covered = 0;
  for (const char* entry : {"TessimCommitOperations", "TessimReadItem"}) {
    for (DWORD position = 1;; ++position) {
      SCOPED_TRACE(std::string(entry) + " call " + std::to_string(position) + ", after its effect");
      Restart();
      m_world->InjectAfterFault(entry, ELNYX_CONNECTION_LOST, 1, position - 1);
      FullSync();
      bool taken = FaultTaken(entry);
      m_world->ClearFaults();
      if (!taken) break;
      ++covered;
      CheckAlways();
      FullSync();
      CheckConverged();
      if (HasFailure()) return;
    }
  }
  printf("After-effect fault positions covered: %d\n", covered);
  EXPECT_GE(covered, 6);
}

// The disk calls of one full sync fail at each position in turn: the n-th
// write or sync of every transaction at once (one sync per position, not one
// per call, keeps the sweep short), with an I/O error at odd positions and a
// full disk for the writes at even ones.
TEST_F(SyncFaultSweepTest, EveryDiskWriteOfAFullSyncFailingLosesNothing) {
  storetest::CFaultVfs vfs;
  vfs.SkipSyncs(true);
  int covered = 0;
  for (int position = 1;; ++position) {
    int code = position % 2 ? SQLITE_IOERR : SQLITE_FULL;
    SCOPED_TRACE("disk call " + std::to_string(position) + " of each transaction");
    Restart();
    vfs.FailInEveryTransaction(position, code);
    FullSync();
    int failures = vfs.Failures();
    vfs.FailAt(0, SQLITE_OK);
    if (failures == 0) break;
    covered += failures;
    EXPECT_TRUE(Logged("SQL ERROR")) << "the failure is reported";
    CheckAlways();
    CheckKept();
    FullSync();
    CheckConverged();
    if (HasFailure()) return;
  }
  printf("Disk fault positions covered: %d\n", covered);
  RecordProperty("DiskFaultPositions", covered);
  EXPECT_GT(covered, 100);
}

// Each disk write or sync of each store operation fails once in turn: the
// operation reports the failure, and the file is sound and holds exactly
// what it held before. The next try of the operation runs on the connection
// the failure left, and a clean sync after an operation's first failure
// converges (the file being as it was, later ones would do the same).
TEST_F(SyncFaultSweepTest, EveryDiskWriteOfAStoreOperationFailingOnceIsReportedAndUndone) {
  storetest::CFaultVfs vfs;
  vfs.SkipSyncs(true);
  struct Operation {
    const char* name;
    std::function<bool()> run;  // true: reported success
  };
  const Operation operations[] = {
      {"new contact", [&] { return CreateOnPc(Card("Ola", "Disk")) > 0; }},
      {"contact edit", [&] { return EditOnPc("Bo", Card("Bo", "Disk")), true; }},
      {"contact deletion", [&] { return m_db.DeleteContact(DbId("Pia")), true; }},
      {"message deletion", [&] { return m_db.SetSmsDeleted(SmsId(m_m2), 1), true; }},
      {"read marking", [&] {
         CZembraSMS read;
         read.SetPhoneId(Trelk::CUid::Parse(ZCLWideToUtf8(m_m3).c_str()));
         read.SetTimeStamp(SmsTimeStamp(m_m3).c_str());
         read.SetStatus(CZembraSMS::StatusRead);
         return m_db.UpdateSms(read);
       }},
      {"message received", [&] {
         CZembraSMS sms;
         sms.SetPhoneId(Trelk::CUid::Parse("0d15c0"));
         sms.SetMessage(L"arrived");
         sms.AddAddress(2, L"+358401234567");
         return m_db.InsertSmsIfAbsent(sms) > 0;
       }},
      {"call-log entry", [&] {
         LOGVEX_LOG_ITEM item = {};
         item.dwSize = sizeof(item);
         item.dwEntryId = 77;
         return m_db.StoreEvent(CZembraEventLog(&item)) >= 0;
       }},
  };
  int covered = 0;
  for (const Operation& op : operations) {
    Restart();
    FullSync();
    for (int position = 1;; ++position) {
      SCOPED_TRACE(std::string(op.name) + ", disk call " + std::to_string(position));
      std::string before = m_side->Dump();
      vfs.FailAt(position, position % 2 ? SQLITE_IOERR : SQLITE_FULL);
      bool succeeded = false;
      try {
        succeeded = op.run();
      } catch (const ZCLException&) {
      }
      bool taken = vfs.Taken();
      vfs.FailAt(0, SQLITE_OK);
      if (!taken) {
        EXPECT_TRUE(succeeded);
        EXPECT_GT(position, 2) << "every change writes and syncs";
        break;
      }
      ++covered;
      EXPECT_FALSE(succeeded);
      EXPECT_EQ(Integrity(), "ok");
      EXPECT_EQ(m_side->Dump(), before);
      if (position == 1) {
        FullSync();
        CheckConverged();
      }
      if (HasFailure()) return;
    }
  }
  printf("Store operation disk fault positions covered: %d\n", covered);
}

}  // namespace
