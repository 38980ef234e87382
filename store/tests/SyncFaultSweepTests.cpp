#include <windows.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "SyncTestSupport.h"
#include "ZCLText.h"

// Every library call of one full sync fails once in turn (each entry, each
// position), then a clean sync runs; after both, nothing the user did on
// either side is lost, doubled or brought back, and the database is sound.

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
    // The faulted sync opens its handles again.
    NewEngine();
  }

  int SmsId(const std::wstring& uid) {
    return std::stoi(m_side->Value("SELECT id FROM sms WHERE phone_id='" + ZCLWideToUtf8(uid) + "'"));
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
  }

  // True when the injected fault was taken (its line is gone).
  bool FaultTaken(const char* entry) {
    std::string faults;
    m_world->ReadFileText(L"faults.txt", &faults);
    return faults.find(entry) == std::string::npos;
  }

  std::wstring m_a, m_b, m_c, m_p, m_m1, m_m2, m_m3;
};

TEST_F(SyncFaultSweepTest, EveryCallOfAFullSyncFailingOnceLosesNothing) {
  int covered = 0;
  for (const char* entry : kEntries) {
    for (DWORD position = 1;; ++position) {
      SCOPED_TRACE(std::string(entry) + " call " + std::to_string(position));
      TearDown();
      SetUp();
      Prepare();
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

}  // namespace
