#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "CContentAccess.h"
#include "CEventLog.h"
#include "CTrelkException.h"
#include "PhoneTime.h"
#include "PhoneWorldTest.h"
#include "TrelkBinding.h"
#include "TrelkCallControl.h"

// What the three families share (a library's initialisation, a phone's
// connection), the contacts' connection and the reading of the call log,
// against the simulated phone in a world of its own.

namespace {

const wchar_t kSerial[] = L"SN-F";

std::vector<BYTE> Bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

class ConnectionTest : public PhoneWorldTest {
protected:
  ConnectionTest() : PhoneWorldTest(kSerial) {}
};

// Initialised twice, one Terminate still gives the library back: the binding
// is not left holding a reference nobody ends.
template <class Library>
void ExpectOneTerminateEndsTwoInitializes(Trelk::CLibraryBinding& binding) {
  DWORD before = binding.GetReferenceCount();
  Library library;
  library.Initialize();
  library.Initialize();
  EXPECT_EQ(binding.GetReferenceCount(), before + 1);
  library.Terminate();
  EXPECT_FALSE(library.IsInitialized());
  EXPECT_EQ(binding.GetReferenceCount(), before);
}

TEST_F(ConnectionTest, EveryFamilysLibraryIsInitialisedOncePerObject) {
  ExpectOneTerminateEndsTwoInitializes<Trelk::CContentAccess>(Trelk::TessimBinding());
  ExpectOneTerminateEndsTwoInitializes<Trelk::CEventLog>(Trelk::LOGVEXBinding());
  ExpectOneTerminateEndsTwoInitializes<Trelk::CCallControl>(Trelk::WEXELBinding());
}

TEST_F(ConnectionTest, AContactIsWrittenReadBackAndDeletedThroughItsConnection) {
  Trelk::CContentAccess access;
  access.Initialize();
  Trelk::CContactConnection contacts;
  access.Open(kSerial, contacts);
  ASSERT_NE(contacts.GetHandle(), 0u);
  Trelk::CFolderInfo folder;
  contacts.GetFolderInfo(folder);

  const std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nEND:VCARD\r\n";
  Trelk::CIdList written;
  {
    Trelk::COperation op;
    contacts.BeginOperation(op);
    Trelk::CItemId id(folder.GetFolderId(), Trelk::CUid());  // a new item
    contacts.WriteVCard(op, id, Bytes(card));
    op.Commit(written);
  }
  ASSERT_EQ(written.Count(), 1u);
  EXPECT_EQ(written.GetAt(0).GetStatus(), 0u);
  Trelk::CUid uid = written.GetAt(0).GetUid();
  ASSERT_FALSE(uid.IsEmpty());
  std::vector<PhoneSim::CContact> onPhone = m_world->ListContacts(kSerial);
  ASSERT_EQ(onPhone.size(), 1u);
  EXPECT_EQ(onPhone[0].uid, uid.ToString());

  {
    Trelk::COperation op;
    contacts.BeginOperation(op);
    Trelk::CItemId id(written.GetAt(0));
    EXPECT_EQ(contacts.ReadVCard(op, id), Bytes(onPhone[0].vcard));
    // A read that fails throws with the library's code and hands nothing back.
    m_world->InjectFault("TessimReadItem", ELNYX_CONNECTION_BUSY, 1);
    try {
      contacts.ReadVCard(op, id);
      FAIL() << "no exception";
    } catch (const Trelk::CTrelkException& e) {
      EXPECT_EQ(static_cast<DWORD>(e.GetCode()), ELNYX_CONNECTION_BUSY);
    }
  }
  {
    Trelk::COperation op;
    contacts.BeginOperation(op);
    Trelk::CItemId id(folder.GetFolderId(), uid);
    contacts.DeleteItem(op, id);
    Trelk::CIdList deleted;
    op.Commit(deleted);
  }
  EXPECT_TRUE(m_world->ListContacts(kSerial).empty());

  // Contacts' calls carry no mark in their lines; messages' carry "(SMS)".
  std::string text = NewText();
  EXPECT_NE(text.find("Trelk: Calling TessimWriteItem..."), std::string::npos);
  EXPECT_NE(text.find("Trelk: Called TessimDeleteItem..."), std::string::npos);
  Trelk::CSMSConnection messages;
  access.OpenSMS(kSerial, messages);
  Trelk::COperation op;
  messages.BeginOperation(op);
  EXPECT_NE(NewText().find("Trelk: Calling TessimBeginOperation(SMS)..."), std::string::npos);
}

TEST_F(ConnectionTest, TheCallLogIsReadInOrderToItsEndAndAFailedReadThrows) {
  for (const wchar_t* number : {L"+3581", L"+3582"}) {
    PhoneSim::CCallLogEntry entry;
    entry.number = number;
    m_world->AddCallLogEntry(kSerial, entry);
  }
  Trelk::CEventLog log;
  log.Initialize();
  Trelk::CEventLogConnection connection;
  log.Open(kSerial, connection);
  std::vector<std::wstring> numbers;
  {
    Trelk::CLogRead read(connection);
    while (read.Next([&](const LOGVEX_LOG_ITEM& item) { numbers.push_back(item.pstrNumber); })) {
    }
    read.End();
  }
  ASSERT_EQ(numbers.size(), 2u);
  EXPECT_EQ(numbers[0], L"+3581");
  EXPECT_EQ(numbers[1], L"+3582");

  m_world->InjectFault("LOGVEX_ReadNext", ELNYX_CONNECTION_LOST, 1);
  Trelk::CLogRead read(connection);
  EXPECT_THROW(read.Next([](const LOGVEX_LOG_ITEM&) {}), Trelk::CTrelkException);
}

// Each connection traces under its own class, not under what the families share.
TEST_F(ConnectionTest, EachConnectionTracesUnderItsOwnClassName) {
  Trelk::CContentAccess access;
  access.Initialize();
  {
    Trelk::CSMSConnection messages;
    access.OpenSMS(kSerial, messages);
    Trelk::CFolderInfo folder;
    messages.GetFolderInfo(folder);
    Trelk::CIdList list;
    messages.GetIdList(list, TESSIM_FOLDER_INBOX);
    Trelk::COperation op;
    messages.BeginOperation(op);
    op.End();
    messages.Close();
  }
  Trelk::CEventLog log;
  log.Initialize();
  {
    Trelk::CEventLogConnection connection;
    log.Open(kSerial, connection);
    connection.Close();
  }
  Trelk::CCallControl calls;
  calls.Initialize();
  {
    Trelk::CCallConnection connection;
    calls.OpenCallControl(kSerial, connection);
    try {
      connection.Reject(77);  // no such call: only the handle's trace matters
    } catch (const Trelk::CTrelkException&) {
    }
    connection.Close();
  }
  std::string text = NewText();
  for (const char* name :
       {"Trelk::CSMSConnection::CSMSConnection", "Trelk::CSMSConnection::GetFolderInfo",
        "Trelk::CSMSConnection::GetIdList", "Trelk::CSMSConnection::BeginOperation", "Trelk::CSMSConnection::Close",
        "Trelk::CSMSConnection::~CSMSConnection", "Trelk::CEventLogConnection::CEventLogConnection",
        "Trelk::CEventLogConnection::Close", "Trelk::CCallConnection::CCallConnection",
        "Trelk::CCallConnection::operator void *", "Trelk::CCallConnection::Close"})
    EXPECT_NE(text.find(name), std::string::npos) << name;
  EXPECT_EQ(text.find("CContentConnection"), std::string::npos);
}

// Both libraries' records give their date and both zone parts alike.
TEST(PhoneTimeTest, MessageAndCallLogRecordsGiveTheSameTime) {
  TESSIM_SMS_ITEM sms = {};
  LOGVEX_LOG_ITEM log = {};
  sms.wYear = log.wYear = 2007;
  sms.bMonth = log.bMonth = 5;
  sms.bDay = log.bDay = 14;
  sms.bHour = log.bHour = 23;
  sms.bMinute = log.bMinute = 59;
  sms.bSecond = log.bSecond = 58;
  sms.lZoneOffset1 = log.lZoneOffset1 = 120;
  sms.lZoneOffset2 = log.lZoneOffset2 = -1;
  for (const Trelk::CPhoneTime& time : {Trelk::PhoneTimeOf(sms), Trelk::PhoneTimeOf(log)}) {
    EXPECT_EQ(time.zone1, 120);
    EXPECT_EQ(time.zone2, -1);
    SYSTEMTIME calendar = time.ToSystemTime();
    EXPECT_EQ(calendar.wYear, 2007);
    EXPECT_EQ(calendar.wMonth, 5);
    EXPECT_EQ(calendar.wDay, 14);
    EXPECT_EQ(calendar.wHour, 23);
    EXPECT_EQ(calendar.wMinute, 59);
    EXPECT_EQ(calendar.wSecond, 58);
    EXPECT_EQ(calendar.wMilliseconds, 0);
  }
}

}  // namespace
