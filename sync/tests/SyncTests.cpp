#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include "FaultVfs.h"
#include "SyncTestSupport.h"
#include "TrelkBinding.h"
#include "ZCLText.h"

// The sync engine against the simulated phone, with its injected faults.

namespace {

using namespace synctest;

const std::string kAnnaUtf8 = "\xC3\x84ij\xC3\xA4";  // "Äijä"

std::string ReadFileBytes(const std::wstring& path) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  if (!file.IsValid()) return bytes;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// ---------------------------------------------------------------- contacts

class ContactSyncTest : public SyncFixture {};

TEST_F(ContactSyncTest, Utf8ContactWithPictureReachesDatabaseAndPictureFile) {
  std::wstring uid = PutContact(Card(kAnnaUtf8, "J\xC3\xA4rvi", kPngBase64));
  m_sync->SyncContactsFromPhone();

  EXPECT_EQ(Local("family_name", kAnnaUtf8), "J\xC3\xA4rvi");
  EXPECT_EQ(Local("phone_id", kAnnaUtf8), ZCLWideToUtf8(uid));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_phone WHERE phone_id='" + ZCLWideToUtf8(uid) + "'"), 1);
  std::wstring picture = m_folder->Path() + L"\\" + uid;
  std::string png = ReadFileBytes(picture);
  ASSERT_EQ(png.size(), kPngSize);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");

  // Unchanged on the phone: only marked, the picture is not written again.
  ASSERT_TRUE(DeleteFileW(picture.c_str()));
  m_sync->SyncContactsFromPhone();
  EXPECT_FALSE(FileExists(picture));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 1);

  // Changed on the phone: both rows and the picture follow.
  PutContact(Card(kAnnaUtf8, "Koski", kPngBase64), uid);
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Local("family_name", kAnnaUtf8), "Koski");
  EXPECT_EQ(ReadFileBytes(picture).size(), kPngSize);
  EXPECT_EQ(m_side->Value("SELECT CAST(vcard_data AS TEXT) FROM contacts_phone"), Card(kAnnaUtf8, "Koski", kPngBase64));
}

TEST_F(ContactSyncTest, PictureFailureDoesNotStopTheContactsUpdate) {
  std::wstring uid = PutContact(Card("Pia", "One", kPngBase64));
  // A folder where the file should be: the picture cannot be created.
  ASSERT_TRUE(CreateDirectoryW((m_folder->Path() + L"\\" + uid).c_str(), nullptr));
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Local("family_name", "Pia"), "One");
  PutContact(Card("Pia", "Two", kPngBase64), uid);
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Local("family_name", "Pia"), "Two");
  EXPECT_NE(NewText().find("Create image file"), std::string::npos);
}

TEST_F(ContactSyncTest, PcEditCreationAndDeletionReachThePhone) {
  std::wstring a = PutContact(Card("Ann", "Old"));
  std::wstring b = PutContact(Card("Bo", "Gone"));
  m_sync->SyncContactsFromPhone();
  EditOnPc("Ann", Card("Ann", "New"));
  ASSERT_GT(CreateOnPc(Card("Cid", "Made")), 0);
  m_db.DeleteContact(DbId("Bo"));

  m_sync->SyncContactsToPhone();
  auto phone = PhoneContacts();
  EXPECT_EQ(phone[a], Card("Ann", "New"));
  EXPECT_EQ(phone.count(b), 0u);
  EXPECT_EQ(PhoneCount("Cid"), 1);
  EXPECT_EQ(phone.size(), 2u);
  EXPECT_EQ(Local("updated", "Ann"), "0");
  EXPECT_NE(Local("phone_id", "Cid"), "NULL");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local WHERE given_name='Bo'"), 0);

  // Nothing is written twice, and a second pass writes nothing.
  m_sync->SyncContactsFromPhone();
  m_sync->SyncContactsToPhone();
  EXPECT_EQ(PhoneContacts().size(), 2u);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_phone"), 2);
}

TEST_F(ContactSyncTest, EditWhoseWriteFailsSurvivesAFromPhoneSyncAndIsWrittenNextTime) {
  std::wstring a = PutContact(Card("Ann", "Old"));
  m_sync->SyncContactsFromPhone();
  EditOnPc("Ann", Card("Ann", "New"));
  for (const char* entry : {"TessimWriteItem", "TessimCommitOperations"}) {
    SCOPED_TRACE(entry);
    m_world->InjectFault(entry, ELNYX_CONNECTION_LOST, 1);
    m_sync->SyncContactsToPhone();
    EXPECT_EQ(PhoneContacts()[a], Card("Ann", "Old"));
    EXPECT_EQ(Local("updated", "Ann"), "1");
    m_sync->SyncContactsFromPhone();
    EXPECT_EQ(LocalCard("Ann"), Card("Ann", "New"));
  }
  m_sync->SyncContactsToPhone();
  EXPECT_EQ(PhoneContacts()[a], Card("Ann", "New"));
  EXPECT_EQ(Local("updated", "Ann"), "0");
}

TEST_F(ContactSyncTest, NewContactWhoseWriteFailsTwiceSurvives) {
  ASSERT_GT(CreateOnPc(Card("Nia", "New")), 0);
  m_world->InjectFault("TessimCommitOperations", ELNYX_CONNECTION_LOST, 2);
  for (int run = 0; run < 2; ++run) {
    m_sync->SyncContactsToPhone();
    m_sync->SyncContactsFromPhone();  // its purge must not take the contact for gone
    EXPECT_EQ(Local("phone_id", "Nia"), "NULL");
  }
  EXPECT_EQ(PhoneCount("Nia"), 0);
  m_sync->SyncContactsToPhone();
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(PhoneCount("Nia"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local WHERE given_name='Nia'"), 1);
}

TEST_F(ContactSyncTest, NewContactsWhoseCommitLandedButFailedAreAdoptedNotWrittenAgain) {
  ASSERT_GT(CreateOnPc(Card("Nia", "New")), 0);
  ASSERT_GT(CreateOnPc(Card("Ola", "Gone")), 0);
  m_world->InjectAfterFault("TessimCommitOperations", ELNYX_CONNECTION_LOST, 2);
  m_sync->SyncContactsToPhone();
  EXPECT_EQ(PhoneCount("Nia"), 1);
  EXPECT_EQ(PhoneCount("Ola"), 1);
  EXPECT_EQ(Local("phone_id", "Nia"), "NULL");
  // Before any read from the phone: an edit's sync to the phone, and Ola deleted on the PC.
  m_db.DeleteContact(DbId("Ola"));
  m_sync->SyncContactsToPhone();
  EXPECT_EQ(PhoneCount("Nia"), 1);
  EXPECT_EQ(PhoneCount("Ola"), 1);
  for (int run = 0; run < 2; ++run) {
    m_sync->SyncContactsFromPhone();
    m_sync->SyncContactsToPhone();
  }
  EXPECT_EQ(PhoneCount("Nia"), 1);
  EXPECT_EQ(PhoneCount("Ola"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 1);
  EXPECT_EQ(Local("phone_id", "Nia"), ZCLWideToUtf8(PhoneContacts().begin()->first));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_written"), 0);
}

TEST_F(ContactSyncTest, AReadWhoseBatchCannotBeCommittedDeletesNothing) {
  storetest::CFaultVfs vfs;
  TearDown();
  SetUp();  // the database opens through the fault layer
  for (const char* name : {"Ann", "Bo", "Cy"}) PutContact(Card(name, "Kept"));
  m_sync->SyncContactsFromPhone();
  ASSERT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 3);
  // The batch's commit is the read's first sync of the disk; its marks are lost.
  vfs.FailAt(1, SQLITE_IOERR, storetest::CFaultVfs::Syncs);
  m_sync->SyncContactsFromPhone();
  EXPECT_TRUE(vfs.Taken());
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 3);
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 3);
}

TEST_F(ContactSyncTest, ReadBackFailureAfterAGoodWriteLeavesNoDuplicate) {
  ASSERT_GT(CreateOnPc(Card("Nia", "New")), 0);
  // The read-back is the pass's first read; the end of the write's operation its first end.
  for (const char* entry : {"TessimReadItem", "TessimEndOperation"}) {
    SCOPED_TRACE(entry);
    m_world->InjectFault(entry, ELNYX_CONNECTION_LOST, 1);
    m_sync->SyncContactsToPhone();
    m_sync->SyncContactsToPhone();
    m_sync->SyncContactsFromPhone();
    EXPECT_EQ(PhoneCount("Nia"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_phone"), 1);
    EditOnPc("Nia", Card("Nia", "Again"));
  }
}

TEST_F(ContactSyncTest, SqlFailureOnOneContactKeepsContactsMissingFromThePhone) {
  std::wstring a = PutContact(Card("Ann", "Here"));
  std::wstring b = PutContact(Card("Bo", "Leaving"));
  m_sync->SyncContactsFromPhone();
  ASSERT_TRUE(m_world->DeleteContact(kSerial, b));
  PutContact(Card("Bad", "Row"));
  ASSERT_EQ(m_side->Exec("CREATE TRIGGER refuse BEFORE INSERT ON contacts_local WHEN NEW.given_name='Bad' "
                         "BEGIN SELECT RAISE(ABORT, 'refused'); END"),
            SQLITE_OK);
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local WHERE given_name='Bo'"), 1);

  ASSERT_EQ(m_side->Exec("DROP TRIGGER refuse"), SQLITE_OK);
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local WHERE given_name='Bo'"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 2);
}

TEST_F(ContactSyncTest, PcEditWinsOverAPhoneEditOfTheSameContactOnBothSides) {
  std::wstring a = PutContact(Card("Ann", "Base"));
  m_sync->SyncContactsFromPhone();
  EditOnPc("Ann", Card("Ann", "Pc"));
  PutContact(Card("Ann", "Phone"), a);

  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(LocalCard("Ann"), Card("Ann", "Pc"));
  EXPECT_NE(NewText().find("keeping the PC's change"), std::string::npos);
  m_sync->SyncContactsToPhone();
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(PhoneContacts()[a], Card("Ann", "Pc"));
  EXPECT_EQ(LocalCard("Ann"), Card("Ann", "Pc"));
  EXPECT_EQ(Local("updated", "Ann"), "0");
}

TEST_F(ContactSyncTest, ANumberChangedOnThePhoneMovesTheCallerLookupWithIt) {
  std::wstring a = PutContact(Card("Ann", "Base", "TEL;CELL:+44 20 7946 0958\r\n"));
  m_sync->SyncContactsFromPhone();
  ASSERT_EQ(m_db.FindContactsByNumber(L"020 7946 0958").size(), 1u);

  PutContact(Card("Ann", "Base", "TEL;CELL:(650) 555-1212\r\n"), a);
  m_sync->SyncContactsFromPhone();
  EXPECT_TRUE(m_db.FindContactsByNumber(L"020 7946 0958").empty());
  ASSERT_EQ(m_db.FindContactsByNumber(L"6505551212").size(), 1u);
  EXPECT_EQ(m_db.FindContactsByNumber(L"6505551212")[0].GetDbId(), DbId("Ann"));
}

TEST_F(ContactSyncTest, TopMarkSurvivesSyncUpdates) {
  std::wstring a = PutContact(Card("Ann", "Base"));
  m_sync->SyncContactsFromPhone();
  CZembraContact top = storetest::Contact(Card("Ann", "Top"), nullptr, DbId("Ann"));
  top.SetTopContact(1);
  m_db.UpdateContact(top);
  m_sync->SyncContactsToPhone();
  PutContact(Card("Ann", "PhoneEdit"), a);
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Local("family_name", "Ann"), "PhoneEdit");
  EXPECT_EQ(Local("top", "Ann"), "1");
}

TEST_F(ContactSyncTest, PcContactDeletedBeforeReachingThePhoneIsDeletedWithoutTheLibrary) {
  int id = CreateOnPc(Card("Nia", "Never"));
  m_db.DeleteContact(id);
  // Any call into the content access would take this failure.
  m_world->InjectFault("TessimBeginOperation", ELNYX_CONNECTION_LOST, 1);
  m_sync->SyncContactsToPhone();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_phone"), 0);
  DWORD code = 0;
  EXPECT_TRUE(m_world->TakeFault("TessimBeginOperation", &code));
}

TEST_F(ContactSyncTest, FailedDeleteOnThePhoneKeepsTheContactMarked) {
  std::wstring b = PutContact(Card("Bo", "Gone"));
  m_sync->SyncContactsFromPhone();
  m_db.DeleteContact(DbId("Bo"));
  m_world->InjectFault("TessimDeleteItem", ELNYX_CONNECTION_LOST, 1);
  m_sync->SyncContactsToPhone();
  EXPECT_EQ(Local("deleted", "Bo"), "1");
  EXPECT_EQ(PhoneCount("Bo"), 1);
  m_sync->SyncContactsToPhone();
  EXPECT_EQ(PhoneCount("Bo"), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 0);
}

TEST_F(ContactSyncTest, EmptyPhoneDeletesEveryContactReadBefore) {
  std::wstring a = PutContact(Card("Ann", "Here"));
  m_sync->SyncContactsFromPhone();
  ASSERT_TRUE(m_world->DeleteContact(kSerial, a));
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM contacts_local"), 0);
  EXPECT_NE(NewText().find("Deleted 1 contacts from local db"), std::string::npos);
}

// ---------------------------------------------------------------- messages

class MessageSyncTest : public SyncFixture {
protected:
  int SmsCount(const std::wstring& uid) {
    return Count("SELECT COUNT(*) FROM sms WHERE phone_id='" + ZCLWideToUtf8(uid) + "'");
  }
  std::string SmsDeleted(const std::wstring& uid) {
    return m_side->Value("SELECT deleted FROM sms WHERE phone_id='" + ZCLWideToUtf8(uid) + "'");
  }
  int SmsId(const std::wstring& uid) {
    return std::stoi(m_side->Value("SELECT id FROM sms WHERE phone_id='" + ZCLWideToUtf8(uid) + "'"));
  }
  // A status stored as the clients' update operation stores it.
  void SetStatusOnPc(const std::wstring& uid, int status) {
    CZembraSMS sms = Sms(uid, L"");
    sms.SetTimeStamp(ZCLUtf8ToWide(
        m_side->Value("SELECT timestamp FROM sms WHERE phone_id='" + ZCLWideToUtf8(uid) + "'")).c_str());
    sms.SetStatus(status);
    ASSERT_TRUE(m_db.UpdateSms(sms));
  }
  bool ReadOnPhone(const std::wstring& uid) {
    PhoneSim::CMessage m;
    return m_world->FindMessage(kSerial, uid, &m) && TessimSmsStatus(m.info) == TESSIM_SMS_STATUS_READ;
  }
  static CZembraSMS Sms(const std::wstring& uid, const wchar_t* text) {
    CZembraSMS sms;
    sms.SetPhoneId(Trelk::CUid::Parse(ZCLWideToUtf8(uid).c_str()));
    sms.SetMessage(text);
    sms.AddAddress(2, L"+358401234567");
    return sms;
  }
};

TEST_F(MessageSyncTest, UnlistableFolderIsPassedOverAndTheOthersAreRead) {
  std::wstring in = PutMessage(TESSIM_FOLDER_INBOX, L"in");
  std::wstring out = PutMessage(TESSIM_FOLDER_OUTBOX, L"out");
  m_world->InjectFault("TessimGetIDList", TESSIM_FOLDER_NOT_LISTED, 1);
  m_sync->SyncSmsFromPhone();
  EXPECT_EQ(SmsCount(in), 0);
  EXPECT_EQ(SmsCount(out), 1);
  EXPECT_EQ(m_side->Value("SELECT message_data FROM sms"), "out");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM sms_address"), 1);
  m_sync->SyncSmsFromPhone();
  EXPECT_EQ(SmsCount(in), 1);
  EXPECT_EQ(SmsCount(out), 1);
}

TEST_F(MessageSyncTest, AnotherListFailureEndsTheReadAndSkipsThePurge) {
  std::wstring in = PutMessage(TESSIM_FOLDER_INBOX, L"in");
  m_sync->SyncSmsFromPhone();
  m_db.SetSmsDeleted(SmsId(in), 2);
  ASSERT_TRUE(m_world->DeleteMessage(kSerial, in));
  m_world->InjectFault("TessimGetIDList", ELNYX_CONNECTION_LOST, 1);
  EXPECT_THROW(m_sync->SyncSmsFromPhone(), ZCLException);
  EXPECT_EQ(SmsCount(in), 1);
  m_sync->SyncSmsFromPhone();
  EXPECT_EQ(SmsCount(in), 0);
}

TEST_F(MessageSyncTest, MessageDeletedOnThePcIsKeptWhileOnThePhoneAndNeverReturns) {
  std::wstring in = PutMessage(TESSIM_FOLDER_INBOX, L"hidden");
  m_sync->SyncSmsFromPhone();
  m_db.SetSmsDeleted(SmsId(in), 2);
  for (int run = 0; run < 3; ++run) {
    m_sync->SyncSmsFromPhone();
    m_sync->SyncSmsToPhone();
    EXPECT_EQ(SmsCount(in), 1);
    EXPECT_EQ(SmsDeleted(in), "2");
  }
  ASSERT_TRUE(m_world->DeleteMessage(kSerial, in));
  m_sync->SyncSmsFromPhone();
  EXPECT_EQ(SmsCount(in), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM sms_address"), 0);
  m_sync->SyncSmsFromPhone();
  EXPECT_EQ(SmsCount(in), 0);
}

TEST_F(MessageSyncTest, DeletionStatesOneAndThreeReachThePhoneOrWaitForTheNextSync) {
  std::wstring one = PutMessage(TESSIM_FOLDER_INBOX, L"one");
  std::wstring three = PutMessage(TESSIM_FOLDER_INBOX, L"three");
  m_sync->SyncSmsFromPhone();
  m_db.SetSmsDeleted(SmsId(one), 1);
  m_db.SetSmsDeleted(SmsId(three), 3);

  m_world->InjectFault("TessimCommitOperations", ELNYX_CONNECTION_LOST, 2);
  m_sync->SyncSmsToPhone();
  EXPECT_EQ(SmsDeleted(one), "1");
  EXPECT_EQ(SmsDeleted(three), "3");
  PhoneSim::CMessage m;
  EXPECT_TRUE(m_world->FindMessage(kSerial, one, &m));
  EXPECT_TRUE(m_world->FindMessage(kSerial, three, &m));

  m_sync->SyncSmsToPhone();
  EXPECT_EQ(SmsCount(one), 0);
  EXPECT_EQ(SmsDeleted(three), "0");
  EXPECT_FALSE(m_world->FindMessage(kSerial, one, &m));
  EXPECT_FALSE(m_world->FindMessage(kSerial, three, &m));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM sms_address"), 1);
}

TEST_F(MessageSyncTest, StoredMessageIsStoredOnceWhenTheListenerAndTheReadRace) {
  std::wstring in = PutMessage(TESSIM_FOLDER_INBOX, L"race");
  m_sync->SyncSmsFromPhone();
  CZembraSMS again;
  again.SetPhoneId(Trelk::CUid::Parse(ZCLWideToUtf8(in).c_str()));
  again.SetMessage(L"race");
  again.AddAddress(2, L"+358401234567");
  EXPECT_EQ(m_db.InsertSmsIfAbsent(again), -1);
  EXPECT_EQ(SmsCount(in), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM sms_address"), 1);
}

TEST_F(MessageSyncTest, AReadMarkingThePhoneDidNotTakeIsMadeAtTheNextSync) {
  std::wstring in = PutMessage(TESSIM_FOLDER_INBOX, L"read on the PC");
  std::wstring gone = PutMessage(TESSIM_FOLDER_INBOX, L"deleted on the phone");
  std::wstring unread = PutMessage(TESSIM_FOLDER_INBOX, L"read, then unread again");
  m_sync->SyncSmsFromPhone();
  // The update operation's database step; its marking on the phone failed.
  for (const std::wstring& uid : {in, gone, unread}) SetStatusOnPc(uid, CZembraSMS::StatusRead);
  SetStatusOnPc(unread, 1);
  ASSERT_TRUE(m_world->DeleteMessage(kSerial, gone));

  m_world->InjectFault("TessimReadItem", ELNYX_CONNECTION_LOST, 2);
  m_sync->SyncSmsToPhone();
  EXPECT_FALSE(ReadOnPhone(in));
  m_sync->SyncSmsToPhone();
  EXPECT_TRUE(ReadOnPhone(in));
  EXPECT_FALSE(ReadOnPhone(unread));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM sms_read_marks"), 0) << "the one gone from the phone is not tried for ever";
}

TEST_F(MessageSyncTest, AReadWhoseBatchCannotBeCommittedPurgesNothing) {
  storetest::CFaultVfs vfs;
  TearDown();
  SetUp();  // the database opens through the fault layer
  std::wstring hidden = PutMessage(TESSIM_FOLDER_INBOX, L"hidden on the PC, still on the phone");
  m_sync->SyncSmsFromPhone();
  m_db.SetSmsDeleted(SmsId(hidden), 2);
  // The batch's commit is the read's first sync of the disk; its marks are lost.
  vfs.FailAt(1, SQLITE_IOERR, storetest::CFaultVfs::Syncs);
  EXPECT_THROW(m_sync->SyncSmsFromPhone(), ZCLException);
  EXPECT_TRUE(vfs.Taken());
  EXPECT_EQ(SmsCount(hidden), 1);
  m_sync->SyncSmsFromPhone();
  EXPECT_EQ(SmsCount(hidden), 1);
}

TEST_F(MessageSyncTest, AMessageStoredDuringASyncIsCommittedAtOnceAndABusyCommitLosesNothing) {
  storetest::CFaultVfs vfs;
  TearDown();
  SetUp();  // the database opens through the fault layer
  CZembraSMS own = Sms(L"0a01", L"the sync's");
  CZembraSMS arrived = Sms(L"0a02", L"arrived");
  CZembraSMS later = Sms(L"0a03", L"the sync's later");
  {
    CZembraDbBatch batch(&m_db);
    m_db.InsertSmsIfAbsent(own);
    // The listener stores a message on its thread, then announces it.
    std::thread listener([&] { m_db.InsertSmsIfAbsent(arrived); });
    listener.join();
    EXPECT_EQ(SmsCount(L"0a02"), 1) << "announced, so in the file";
    m_db.InsertSmsIfAbsent(later);
    // A reader holds the file longer than one busy wait.
    vfs.BusyLocks(100);
    EXPECT_NO_THROW(batch.Finish());
    EXPECT_EQ(vfs.BusyLeft(), 0);
  }
  EXPECT_TRUE(Logged("The database is busy, committing again"));
  for (const wchar_t* uid : {L"0a01", L"0a02", L"0a03"}) EXPECT_EQ(SmsCount(uid), 1) << uid;
  EXPECT_EQ(Integrity(), "ok");
}

// ---------------------------------------------------------------- call log

class CallLogSyncTest : public SyncFixture {
protected:
  DWORD AddCall(const std::wstring& number, BYTE hour) {
    PhoneSim::CCallLogEntry e;
    e.type = 1;
    e.direction = 1;
    e.duration = 30;
    e.number = number;
    e.time.year = 2026;
    e.time.month = 5;
    e.time.day = 6;
    e.time.hour = hour;
    return m_world->AddCallLogEntry(kSerial, e);
  }
  std::vector<std::string> Rows() {
    return m_side->Column("SELECT id || ' ' || number || ' ' || timestamp || ' ' || duration FROM events ORDER BY id");
  }
};

TEST_F(CallLogSyncTest, TwoRunsGiveTheSameRows) {
  AddCall(L"+3581", 10);
  AddCall(L"+3582", 11);
  m_sync->SyncEvents();
  std::vector<std::string> first = Rows();
  EXPECT_EQ(first.size(), 2u);
  m_sync->SyncEvents();
  EXPECT_EQ(Rows(), first);
  EXPECT_NE(NewText().find("Successfully inserted 2 new log items"), std::string::npos);
}

TEST_F(CallLogSyncTest, AReadFailureIsAFailureNotASuccess) {
  AddCall(L"+3581", 10);
  AddCall(L"+3582", 11);
  m_world->InjectFault("LOGVEX_ReadNext", ELNYX_CONNECTION_LOST, 1, 1);
  size_t start = NewText().size();
  m_sync->SyncEvents();
  std::string text = NewText().substr(start);
  EXPECT_EQ(text.find("Successfully inserted"), std::string::npos);
  EXPECT_NE(text.find("LOGVEX_ReadNext"), std::string::npos);
  EXPECT_EQ(Rows().size(), 1u);
  // The read was ended: the next one runs through.
  m_sync->SyncEvents();
  EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(CallLogSyncTest, IdsReusedAfterTheLogWasClearedKeepTheStoredHistory) {
  AddCall(L"+3581", 10);
  m_sync->SyncEvents();
  m_world->ClearCallLog(kSerial);
  ASSERT_EQ(AddCall(L"+3589", 12), 1u);
  m_sync->SyncEvents();
  m_sync->SyncEvents();
  std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].substr(0, 8), "-1 +3581");
  EXPECT_EQ(rows[1].substr(0, 7), "1 +3589");
}

TEST_F(CallLogSyncTest, ALaterFormOfTheSameCallReplacesIt) {
  PhoneSim::CCallLogEntry e;
  e.type = 1;
  e.number = L"+3581";
  e.time.year = 2026;
  e.time.month = 1;
  e.time.day = 1;
  m_world->AddCallLogEntry(kSerial, e);
  m_sync->SyncEvents();
  m_world->ClearCallLog(kSerial);
  e.duration = 99;
  e.name = L"Ann";
  m_world->AddCallLogEntry(kSerial, e);
  m_sync->SyncEvents();
  std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].substr(0, 8), "1 +3581 ");
  EXPECT_EQ(rows[0].substr(rows[0].size() - 3), " 99");
}

// ---------------------------------------------------------------- engine

TEST_F(ContactSyncTest, FailedEventLogInitialiseUndoesTheContentOne) {
  m_sync.reset();
  m_world->InjectFault("LOGVEX_Initialize", ELNYX_INIT_FAILED, 1);
  EXPECT_THROW(NewEngine(), ZCLException);
  EXPECT_FALSE(Trelk::TessimBinding().IsLoaded());
  NewEngine();
  PutContact(Card("Ann", "Back"));
  m_sync->SyncContactsFromPhone();
  EXPECT_EQ(Local("family_name", "Ann"), "Back");
}

}  // namespace
