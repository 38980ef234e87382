#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>
#include <thread>
#include "CContentAccess.h"
#include "CSMSNotificationListener.h"
#include "CTrelkException.h"
#include "LogFileTest.h"
#include "PhoneWorld.h"
#include "PhoneWorldTest.h"
#include "Recorder.h"
#include "SimTestSupport.h"
#include "TrelkBinding.h"
#include "ZCLHandle.h"

// Content access through the binding against the simulated phone (the
// fallback Dorrax.dll beside the test), each test in a world of its own.

namespace {

using PhoneSim::CContact;
using PhoneSim::CMessage;
using PhoneSim::CPhone;
using PhoneSim::CPhoneWorld;
using PhoneSim::Testing::CScratchWorld;
using PhoneSim::Testing::RunPhonectl;

const wchar_t kSerial[] = L"SN-C";

struct Notice {
  DWORD reason;
  DWORD status;
  DWORD folder;
  std::wstring uid;
  DWORD thread;
};

class RecordingSink : public ITessimNotify {
public:
  DWORD OnTessimNotify(DWORD reason, DWORD status, TESSIM_ITEM_ID* id) override {
    Trelk::CIdListItem item(id);
    m_notices.Add(Notice{reason, status, item.GetFolderId(), item.GetUid().ToString(), GetCurrentThreadId()});
    if (m_throw) throw std::runtime_error("sink failed");
    return 0;
  }
  bool WaitForCount(size_t count) {
    return m_notices.WaitFor([&](const std::vector<Notice>& n) { return n.size() >= count; });
  }
  std::vector<Notice> Notices() { return m_notices.Events(); }
  bool m_throw = false;

private:
  CRecorder<Notice> m_notices;
};

std::wstring UidOf(const TESSIM_ITEM_ID& id) { return Trelk::CUid(id.pbUid, id.pbUid ? id.dwUidLength : 0).ToString(); }

class ContentAccessTest : public PhoneWorldTest {
protected:
  ContentAccessTest() : PhoneWorldTest(kSerial) {}
  void SetUp() override {
    PhoneWorldTest::SetUp();
    m_access.Initialize();
    m_access.OpenSMS(kSerial, m_sms);
  }
  void TearDown() override {
    m_sms.Close();
    m_access.Terminate();
    PhoneWorldTest::TearDown();
  }

  std::wstring Received(const std::wstring& text) {
    CMessage m;
    m.text = text;
    m.addresses.resize(1);
    m.addresses[0].address = L"+3581";
    return m_world->WriteMessage(kSerial, m);
  }

  // Opens the phone's contacts the way the sync engine does.
  DWORD OpenContacts() {
    DWORD media = 1, handle = 0;
    EXPECT_EQ(DorraxOpenTessim(kSerial, &media, TESSIM_CONTENT_CONTACTS, &handle), 0u);
    return handle;
  }

  // Writes a vCard under the uid (empty: a new contact); the committed list.
  Trelk::CIdList WriteContact(DWORD contacts, const std::string& vcard, const std::vector<BYTE>& uid) {
    Trelk::COperation op;
    EXPECT_EQ(TessimBeginOperation(contacts, 0, op.HandleAddress()), 0u);
    TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID)};
    id.dwUidLength = static_cast<DWORD>(uid.size());
    id.pbUid = uid.empty() ? nullptr : const_cast<BYTE*>(uid.data());
    id.dwStatus = 99;
    TESSIM_CONTACT_ITEM item = {sizeof(TESSIM_CONTACT_ITEM), 0, static_cast<DWORD>(vcard.size()),
                                reinterpret_cast<BYTE*>(const_cast<char*>(vcard.data()))};
    EXPECT_EQ(TessimWriteItem(op.GetHandle(), &id, 0, TESSIM_FORMAT_VCARD, &item), 0u);
    EXPECT_EQ(id.dwStatus, 0u);
    Trelk::CIdList written;
    op.Commit(written);
    return written;
  }

  std::string ReadContact(DWORD contacts, const Trelk::CIdListItem& entry) {
    Trelk::COperation op;
    EXPECT_EQ(TessimBeginOperation(contacts, 0, op.HandleAddress()), 0u);
    const Trelk::CUid& uid = entry.GetUid();
    TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), entry.GetFolderId(), 0, static_cast<DWORD>(uid.GetLength()),
                         const_cast<BYTE*>(uid.GetData()), 0};
    TESSIM_CONTACT_ITEM item = {sizeof(TESSIM_CONTACT_ITEM)};
    DWORD rc = TessimReadItem(op.GetHandle(), &id, 0, TESSIM_FORMAT_VCARD, &item);
    std::string vcard = rc == 0 ? std::string(reinterpret_cast<char*>(item.pbData), item.dwDataLength) : "";
    TessimFreeItemData(contacts, TESSIM_FORMAT_VCARD, &item);
    return vcard;
  }

  void ExpectTrelkFailure(DWORD code, const std::string& text, const std::function<void()>& call) {
    try {
      call();
      ADD_FAILURE() << "no exception";
    } catch (const Trelk::CTrelkException& e) {
      EXPECT_EQ(static_cast<DWORD>(e.GetCode()), code);
      EXPECT_EQ(e.GetMessageText(), text);
    }
  }

  Trelk::CContentAccess m_access;
  Trelk::CSMSConnection m_sms;
};

TEST_F(ContentAccessTest, ContactsWrittenAndCommittedReadBackUnderTheSameUid) {
  DWORD contacts = OpenContacts();
  const std::string vcard = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nEND:VCARD\r\n";
  Trelk::CIdList written = WriteContact(contacts, vcard, {});
  ASSERT_EQ(written.Count(), 1u);
  Trelk::CIdListItem first = written.GetAt(0);
  EXPECT_EQ(first.GetStatus(), 0u);
  ASSERT_FALSE(first.GetUid().IsEmpty());
  std::wstring uid = first.GetUid().ToString();
  EXPECT_EQ(ReadContact(contacts, first), vcard);
  CContact stored;
  ASSERT_TRUE(m_world->ReadContact(kSerial, uid, &stored));
  EXPECT_EQ(stored.vcard, vcard);

  // Written again under its uid: the same item changes; the listing names it once.
  const std::string changed = "BEGIN:VCARD\r\nN:Doe;John\r\nEND:VCARD\r\n";
  std::vector<BYTE> bytes(first.GetUid().GetData(), first.GetUid().GetData() + first.GetUid().GetLength());
  Trelk::CIdList again = WriteContact(contacts, changed, bytes);
  ASSERT_EQ(again.Count(), 1u);
  EXPECT_STREQ(again.GetAt(0).GetUid().ToString(), uid.c_str());
  EXPECT_EQ(ReadContact(contacts, first), changed);
  TESSIM_ID_LIST list = {sizeof(TESSIM_ID_LIST)};
  ASSERT_EQ(TessimGetIDList(contacts, TESSIM_FOLDER_ROOT, 0, &list), 0u);
  ASSERT_EQ(list.dwNumOfItems, 1u);
  EXPECT_EQ(UidOf(list.pItems[0]), uid);
  // Freed once; a second free finds nothing left to free.
  EXPECT_EQ(TessimFreeIdListStructure(&list), 0u);
  EXPECT_EQ(TessimFreeIdListStructure(&list), 0u);
  EXPECT_EQ(list.pItems, nullptr);

  // A delete takes effect at the commit; a contact added on the phone side is listed.
  std::wstring phoneSide = m_world->WriteContact(kSerial, CContact{L"", "BEGIN:VCARD\r\nEND:VCARD\r\n"});
  EXPECT_NE(phoneSide, uid);
  {
    Trelk::COperation op;
    ASSERT_EQ(TessimBeginOperation(contacts, 0, op.HandleAddress()), 0u);
    TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), 0, 0, static_cast<DWORD>(bytes.size()), bytes.data(), 0};
    ASSERT_EQ(TessimDeleteItem(op.GetHandle(), &id, 0), 0u);
    EXPECT_TRUE(m_world->ReadContact(kSerial, uid, &stored));
    op.Commit();
  }
  EXPECT_FALSE(m_world->ReadContact(kSerial, uid, &stored));
  ASSERT_EQ(m_world->ListContacts(kSerial).size(), 1u);
  EXPECT_EQ(m_world->ListContacts(kSerial)[0].uid, phoneSide);
  // Writing under a uid the phone does not have is refused at once.
  {
    Trelk::COperation op;
    ASSERT_EQ(TessimBeginOperation(contacts, 0, op.HandleAddress()), 0u);
    TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), 0, 0, static_cast<DWORD>(bytes.size()), bytes.data(), 0};
    TESSIM_CONTACT_ITEM item = {sizeof(TESSIM_CONTACT_ITEM), 0, 1, reinterpret_cast<BYTE*>(const_cast<char*>("x"))};
    EXPECT_EQ(TessimWriteItem(op.GetHandle(), &id, 0, TESSIM_FORMAT_VCARD, &item), ELNYX_FILE_NOT_FOUND);
  }
  EXPECT_EQ(DorraxCloseTessim(contacts), 0u);
}

TEST_F(ContentAccessTest, WrittenMessageLandsInFolderTwoAndReadsBack) {
  Trelk::CFolderInfo root;
  m_sms.GetFolderInfo(root);
  ASSERT_GE(root.GetSubFolderCount(), 2u);
  EXPECT_EQ(root.GetSubFolder(0).GetFolderId(), TESSIM_FOLDER_INBOX);
  EXPECT_EQ(root.GetSubFolder(1).GetFolderId(), TESSIM_FOLDER_OUTBOX);

  Trelk::COperation op;
  m_sms.BeginOperation(op);
  SMSMessage message;
  message.SetText(L"On my way");
  message.SetNumber(L"+358 40 12\t34");
  m_sms.WriteItem(op, TESSIM_FOLDER_OUTBOX, message);
  Trelk::CIdList written;
  op.Commit(written);
  op.End();
  ASSERT_EQ(written.Count(), 1u);
  EXPECT_EQ(written.GetAt(0).GetFolderId(), TESSIM_FOLDER_OUTBOX);

  std::vector<CMessage> outbox = m_world->ListMessages(kSerial, TESSIM_FOLDER_OUTBOX);
  ASSERT_EQ(outbox.size(), 1u);
  EXPECT_EQ(outbox[0].text, L"On my way");
  ASSERT_EQ(outbox[0].addresses.size(), 1u);
  EXPECT_EQ(outbox[0].addresses[0].address, L"+3584012\t34");
  EXPECT_EQ(outbox[0].info, TESSIM_SMS_INFO_NEW);
  EXPECT_STREQ(written.GetAt(0).GetUid().ToString(), outbox[0].uid.c_str());

  Trelk::CIdList listed;
  m_sms.GetIdList(listed, TESSIM_FOLDER_OUTBOX);
  ASSERT_EQ(listed.Count(), 1u);
  Trelk::CIdListItem item = listed.GetAt(0);
  BYTE* uid = const_cast<BYTE*>(item.GetUid().GetData());
  TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), 0, 0, static_cast<DWORD>(item.GetUid().GetLength()), uid, 0};
  SMSMessage read;
  read.SetNumber(L"unchanged");
  Trelk::COperation readOp;
  m_sms.BeginOperation(readOp);
  m_sms.ReadItem(readOp, &id, read, 0);
  EXPECT_EQ(read.GetText(), L"On my way");
  EXPECT_EQ(read.GetNumber(), L"+3584012\t34");
  EXPECT_EQ(read.GetTime().wYear, outbox[0].time.year);

  // An empty folder lists nothing; one the phone does not have is not listed.
  Trelk::CIdList inbox;
  m_sms.GetIdList(inbox, TESSIM_FOLDER_INBOX);
  EXPECT_EQ(inbox.Count(), 0u);
  ExpectTrelkFailure(TESSIM_FOLDER_NOT_LISTED, "Undefined error code", [&] { m_sms.GetIdList(inbox, 9); });
}

TEST_F(ContentAccessTest, ReadOptionTwoMarksAReceivedMessageRead) {
  std::wstring uid = Received(L"ping");
  Trelk::CUid bytes = Trelk::CUid::Parse(std::string(uid.begin(), uid.end()).c_str());
  TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), 0, 0, static_cast<DWORD>(bytes.GetLength()),
                       const_cast<BYTE*>(bytes.GetData()), 0};
  Trelk::COperation op;
  m_sms.BeginOperation(op);
  SMSMessage message;
  m_sms.ReadItem(op, &id, message, 0);
  CMessage stored;
  ASSERT_TRUE(m_world->FindMessage(kSerial, uid, &stored));
  EXPECT_EQ(TessimSmsStatus(stored.info), TESSIM_SMS_STATUS_UNREAD);
  m_sms.ReadItem(op, &id, message, TESSIM_READ_MARK_AS_READ);
  op.Commit();
  ASSERT_TRUE(m_world->FindMessage(kSerial, uid, &stored));
  EXPECT_EQ(TessimSmsStatus(stored.info), TESSIM_SMS_STATUS_READ);
  EXPECT_EQ(stored.folder, TESSIM_FOLDER_INBOX);
}

// A link that drops after the phone acted: the write and the read marking are
// on the phone although the calls answer failures.
TEST_F(ContentAccessTest, AFailureInjectedAfterTheWorkLeavesTheWorkDoneOnThePhone) {
  DWORD contacts = OpenContacts();
  ASSERT_EQ(RunPhonectl(L"fault-after TessimCommitOperations 0x80200001 1"), 0u);
  {
    Trelk::COperation op;
    ASSERT_EQ(TessimBeginOperation(contacts, 0, op.HandleAddress()), 0u);
    TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID)};
    const std::string vcard = "BEGIN:VCARD\r\nN:Lost;Reply\r\nEND:VCARD\r\n";
    TESSIM_CONTACT_ITEM item = {sizeof(TESSIM_CONTACT_ITEM), 0, static_cast<DWORD>(vcard.size()),
                                reinterpret_cast<BYTE*>(const_cast<char*>(vcard.data()))};
    ASSERT_EQ(TessimWriteItem(op.GetHandle(), &id, 0, TESSIM_FORMAT_VCARD, &item), 0u);
    TESSIM_ID_LIST written = {sizeof(TESSIM_ID_LIST)};
    EXPECT_EQ(TessimCommitOperations(op.GetHandle(), &written), 0x80200001u);
    EXPECT_EQ(written.pItems, nullptr);  // nothing handed out with a failure
  }
  ASSERT_EQ(m_world->ListContacts(kSerial).size(), 1u);
  // Counted down like any fault: the next commit answers success.
  EXPECT_EQ(WriteContact(contacts, "BEGIN:VCARD\r\nEND:VCARD\r\n", {}).Count(), 1u);
  EXPECT_EQ(DorraxCloseTessim(contacts), 0u);

  std::wstring uid = Received(L"mark me");
  Trelk::CUid bytes = Trelk::CUid::Parse(std::string(uid.begin(), uid.end()).c_str());
  TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), 0, 0, static_cast<DWORD>(bytes.GetLength()),
                       const_cast<BYTE*>(bytes.GetData()), 0};
  m_world->InjectAfterFault("TessimReadItem", ELNYX_CONNECTION_LOST, 1);
  Trelk::COperation op;
  m_sms.BeginOperation(op);
  SMSMessage message;
  m_sms.ReadItem(op, &id, message, 0);  // a plain read is no change: not hit
  ExpectTrelkFailure(ELNYX_CONNECTION_LOST, "ELNYX_CONNECTION_LOST: Connection is lost to Device",
                     [&] { m_sms.ReadItem(op, &id, message, TESSIM_READ_MARK_AS_READ); });
  CMessage stored;
  ASSERT_TRUE(m_world->FindMessage(kSerial, uid, &stored));
  EXPECT_EQ(TessimSmsStatus(stored.info), TESSIM_SMS_STATUS_READ);
}

// A delay holds every call of its entry, in any thread, until it runs out or
// the faults are cleared; other entries pass.
TEST_F(ContentAccessTest, ADelayedEntryWaitsUntilTheFaultsAreCleared) {
  ASSERT_EQ(RunPhonectl(L"delay TessimGetFolderInfo 60000"), 0u);
  CHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread caller([&] {
    Trelk::CFolderInfo folder;
    m_sms.GetFolderInfo(folder);
    SetEvent(done.Get());
  });
  EXPECT_EQ(WaitForSingleObject(done.Get(), 300), static_cast<DWORD>(WAIT_TIMEOUT));
  Trelk::CIdList list;
  m_sms.GetIdList(list, TESSIM_FOLDER_INBOX);  // not delayed
  m_world->ClearFaults();
  EXPECT_EQ(WaitForSingleObject(done.Get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  caller.join();
  Trelk::CFolderInfo folder;
  m_sms.GetFolderInfo(folder);  // the delay went with the faults
}

// Null text, address and uid pointers behind non-zero lengths and counts read as empty.
TEST_F(ContentAccessTest, NullPointersBehindLengthsReadAsEmpty) {
  Trelk::COperation op;
  m_sms.BeginOperation(op);
  TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), TESSIM_FOLDER_OUTBOX, 0, 4, nullptr, 0};
  TESSIM_SMS_ITEM item = {sizeof(TESSIM_SMS_ITEM), TESSIM_SMS_INFO_NEW, 10, nullptr, 3};
  ASSERT_EQ(TessimWriteItem(op.GetHandle(), &id, 0, TESSIM_FORMAT_SMS, &item), 0u);
  Trelk::CIdList written;
  op.Commit(written);
  ASSERT_EQ(written.Count(), 1u);
  std::vector<CMessage> outbox = m_world->ListMessages(kSerial, TESSIM_FOLDER_OUTBOX);
  ASSERT_EQ(outbox.size(), 1u);
  EXPECT_EQ(outbox[0].text, L"");
  EXPECT_TRUE(outbox[0].addresses.empty());
  // Read back with no address at all, the message keeps the number it had.
  Trelk::CIdListItem entry = written.GetAt(0);
  TESSIM_ITEM_ID readId = {sizeof(TESSIM_ITEM_ID), 0, 0, static_cast<DWORD>(entry.GetUid().GetLength()),
                           const_cast<BYTE*>(entry.GetUid().GetData()), 0};
  SMSMessage read;
  read.SetText(L"old");
  read.SetNumber(L"+3589");
  Trelk::COperation readOp;
  m_sms.BeginOperation(readOp);
  m_sms.ReadItem(readOp, &readId, read, 0);
  EXPECT_EQ(read.GetText(), L"");
  EXPECT_EQ(read.GetNumber(), L"+3589");

  // The wrapper's records: an item id, a list and a folder with null pointers.
  TESSIM_ITEM_ID nullUid = {sizeof(TESSIM_ITEM_ID), 1, 2, 8, nullptr, 3};
  EXPECT_TRUE(Trelk::CIdListItem(&nullUid).GetUid().IsEmpty());
  EXPECT_EQ(Trelk::CIdListItem(&nullUid).GetStatus(), 3u);
  EXPECT_EQ(Trelk::CIdListItem(nullptr).GetFolderId(), 0u);
  TESSIM_ID_LIST nullItems = {sizeof(TESSIM_ID_LIST), 5, nullptr};
  EXPECT_EQ(Trelk::CIdList(&nullItems).Count(), 0u);
  TESSIM_FOLDER_INFO nullFolder = {sizeof(TESSIM_FOLDER_INFO), 4, 5, nullptr, nullptr, 2, nullptr};
  Trelk::CFolderInfo folder(&nullFolder);
  EXPECT_EQ(folder.GetFolderId(), 4u);
  EXPECT_STREQ(folder.GetName(), L"");
  EXPECT_EQ(folder.GetSubFolderCount(), 0u);
  EXPECT_THROW(folder.GetSubFolder(0), std::out_of_range);
}

TEST_F(ContentAccessTest, DeliveredMessageNotifiesOnceInFolderOneAndTheOwnWriteNot) {
  RecordingSink sink;
  Trelk::CSMSNotificationListener listener(&sink);
  listener.Start(m_sms);
  ASSERT_EQ(RunPhonectl(std::wstring(L"deliver ") + kSerial + L" \"+358 1\" \"Hello there\""), 0u);
  ASSERT_TRUE(sink.WaitForCount(1));
  std::vector<CMessage> inbox = m_world->ListMessages(kSerial, TESSIM_FOLDER_INBOX);
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].text, L"Hello there");

  // The PC's own message to folder 2, then a second arrival: only the arrival is told.
  Trelk::COperation op;
  m_sms.BeginOperation(op);
  SMSMessage message;
  message.SetText(L"reply");
  message.SetNumber(L"+3581");
  m_sms.WriteItem(op, TESSIM_FOLDER_OUTBOX, message);
  op.Commit();
  op.End();
  std::wstring second = Received(L"second");
  ASSERT_TRUE(sink.WaitForCount(2));
  std::vector<Notice> notices = sink.Notices();
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].uid, inbox[0].uid);
  EXPECT_EQ(notices[1].uid, second);
  for (const Notice& n : notices) {
    EXPECT_EQ(n.reason, TESSIM_REASON_ITEM_ADDED);
    EXPECT_EQ(n.folder, TESSIM_FOLDER_INBOX);
    EXPECT_EQ(n.status, TESSIM_SMS_STATUS_UNREAD);
    EXPECT_NE(n.thread, GetCurrentThreadId());
  }
  listener.Stop();
}

// The listener is started for its snapshot and stopped, so that only the
// test's own calls reach it.
TEST_F(ContentAccessTest, SnapshotComparisonReportsExactlyTheNewIds) {
  RecordingSink sink;
  Trelk::CSMSNotificationListener listener(&sink);
  listener.Start(m_sms);  // an empty folder: no snapshot to compare with
  listener.Stop();
  std::wstring a = Received(L"a"), b = Received(L"b");
  listener.OnTessimNotify(TESSIM_REASON_ITEM_ADDED, 7, nullptr);
  std::vector<Notice> notices = sink.Notices();
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].uid, a);
  EXPECT_EQ(notices[1].uid, b);
  EXPECT_EQ(notices[0].status, 7u);
  EXPECT_EQ(notices[1].folder, TESSIM_FOLDER_INBOX);

  // The phone holds three, the snapshot the first two: the third only, then nothing.
  std::wstring c = Received(L"c");
  listener.OnTessimNotify(TESSIM_REASON_ITEM_ADDED, 0, nullptr);
  listener.OnTessimNotify(TESSIM_REASON_ITEM_ADDED, 0, nullptr);
  notices = sink.Notices();
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[2].uid, c);

  // Single ids: a known one is not told, a new one once, other reasons never.
  Trelk::CUid known = Trelk::CUid::Parse(std::string(b.begin(), b.end()).c_str());
  TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), 1, 0, static_cast<DWORD>(known.GetLength()),
                       const_cast<BYTE*>(known.GetData()), 0};
  listener.OnTessimNotify(TESSIM_REASON_ITEM_ADDED, 0, &id);
  BYTE fresh[] = {0x0a, 0xff, 0x00};
  TESSIM_ITEM_ID other = {sizeof(TESSIM_ITEM_ID), 1, 0, 3, fresh, 0};
  listener.OnTessimNotify(1, 0, &other);
  listener.OnTessimNotify(3, 0, &other);
  listener.OnTessimNotify(TESSIM_REASON_ITEM_ADDED, 5, &other);
  listener.OnTessimNotify(TESSIM_REASON_ITEM_ADDED, 5, &other);
  notices = sink.Notices();
  ASSERT_EQ(notices.size(), 4u);
  EXPECT_EQ(notices[3].uid, L"0aff00");
  EXPECT_EQ(notices[3].status, 5u);
}

TEST_F(ContentAccessTest, FailuresOnTheNotificationThreadAreLoggedNotThrown) {
  RecordingSink sink;
  Trelk::CSMSNotificationListener listener(&sink);
  listener.Start(m_sms);
  listener.Stop();
  std::wstring a = Received(L"a");
  m_world->InjectFault("TessimGetIDList", ELNYX_CONNECTION_LOST, 1);
  EXPECT_EQ(listener.OnTessimNotify(TESSIM_REASON_ITEM_ADDED, 0, nullptr), 0u);
  EXPECT_TRUE(sink.Notices().empty());
  EXPECT_NE(NewText().find(AsFileText("[TrelkException\n0x80200006\nELNYX_CONNECTION_LOST: Connection is lost to Device]")),
            std::string::npos);
  // The snapshot stayed: the next pass still finds the message; a throwing
  // sink is logged and the pass goes on to the next item.
  std::wstring b = Received(L"b");
  sink.m_throw = true;
  EXPECT_EQ(listener.OnTessimNotify(TESSIM_REASON_ITEM_ADDED, 0, nullptr), 0u);
  std::vector<Notice> notices = sink.Notices();
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].uid, a);
  EXPECT_EQ(notices[1].uid, b);
  EXPECT_NE(NewText().find("[Unknown Exception!"), std::string::npos);
}

TEST_F(ContentAccessTest, InjectedFailuresBecomeTrelkExceptionsWithTheirTexts) {
  m_world->InjectFault("DorraxOpenTessim", ELNYX_DEVICE_NOT_FOUND, 1);
  Trelk::CSMSConnection other;
  ExpectTrelkFailure(ELNYX_DEVICE_NOT_FOUND, "ELNYX_DEVICE_NOT_FOUND: Given phone is not connected (refresh device list)",
                     [&] { m_access.OpenSMS(kSerial, other); });
  EXPECT_EQ(other.GetHandle(), 0u);

  ASSERT_EQ(RunPhonectl(L"fault TessimCommitOperations 0x80300001 1"), 0u);
  Trelk::COperation op;
  m_sms.BeginOperation(op);
  SMSMessage message;
  message.SetText(L"kept");
  m_sms.WriteItem(op, TESSIM_FOLDER_OUTBOX, message);
  Trelk::CIdList written;
  ExpectTrelkFailure(ELNYX_MEMORY_FULL, "ELNYX_MEMORY_FULL: Memory of Device is full", [&] { op.Commit(written); });
  EXPECT_NE(op.GetHandle(), 0u);  // still open until End
  op.Commit(written);
  EXPECT_EQ(written.Count(), 1u);

  m_world->InjectFault("TessimGetFolderInfo", ELNYX_CONNECTION_BUSY, 1);
  Trelk::CFolderInfo folder;
  ExpectTrelkFailure(ELNYX_CONNECTION_BUSY, "ELNYX_CONNECTION_BUSY: Connection is busy",
                     [&] { m_sms.GetFolderInfo(folder); });

  // A listener whose registration fails stays stopped, and starts at the next try.
  RecordingSink sink;
  Trelk::CSMSNotificationListener listener(&sink);
  m_world->InjectFault("TessimRegisterNotifyIF", ELNYX_CONNECTION_BUSY, 1);
  EXPECT_THROW(listener.Start(m_sms), Trelk::CTrelkException);
  EXPECT_FALSE(listener.IsStarted());
  listener.Start(m_sms);
  EXPECT_TRUE(listener.IsStarted());
  listener.Stop();

  // A phone taken away loses its connection.
  m_world->UnplugPhone(kSerial);
  Trelk::CIdList list;
  ExpectTrelkFailure(ELNYX_CONNECTION_LOST, "ELNYX_CONNECTION_LOST: Connection is lost to Device",
                     [&] { m_sms.GetIdList(list, TESSIM_FOLDER_INBOX); });
}

TEST_F(ContentAccessTest, LibraryCallsAreBracketedByCallingAndCalledLines) {
  Trelk::COperation op;
  m_sms.BeginOperation(op);
  Trelk::CIdList written;
  op.Commit(written);
  op.End();
  std::string text = NewText();
  size_t calling = text.find("Trelk: Calling TessimCommitOperations...");
  size_t called = text.find("Trelk: Called TessimCommitOperations...");
  ASSERT_NE(calling, std::string::npos);
  EXPECT_GT(called, calling);
  EXPECT_NE(text.find("Trelk: Called TessimFreeIdListStructure..."), std::string::npos);
  EXPECT_NE(text.find("Trelk: Called TessimEndOperation..."), std::string::npos);
  EXPECT_NE(text.find("Trelk: Calling TessimBeginOperation(SMS)..."), std::string::npos);
}

TEST_F(ContentAccessTest, UidsAndIdListsTraceTheirOperations) {
  const BYTE bytes[] = {0x0A, 0xFF, 0x00};
  Trelk::CUid uid(bytes, sizeof(bytes));
  EXPECT_STREQ(uid.ToString(), L"0aff00");
  Trelk::CIdList list;
  EXPECT_EQ(list.Count(), 0u);
  std::string text = NewText();
  for (const char* name : {"Trelk::CUid::CUid", "Trelk::CUid::ToString", "Trelk::CIdList::Count"})
    EXPECT_NE(text.find(name), std::string::npos) << name;
}

TEST(SMSMessageTest, NumberLosesItsBlanksAndTheRecordPointsAtTheMessage) {
  SMSMessage message;
  message.SetNumber(L" +358 40\t123 ");
  EXPECT_EQ(message.GetNumber(), L"+35840\t123");
  TESSIM_SMS_ITEM* item = message.GetItemData();
  EXPECT_EQ(item->dwSize, sizeof(TESSIM_SMS_ITEM));
  EXPECT_EQ(item->dwInfo, TESSIM_SMS_INFO_NEW);
  EXPECT_EQ(item->dwTextLength, 0u);
  EXPECT_EQ(item->bNumOfAddresses, 1u);
  EXPECT_EQ(item->dwDateSize, 20u);
  ASSERT_NE(item->pAddresses, nullptr);
  EXPECT_EQ(item->pAddresses->dwAddressType, TESSIM_SMS_ADDRESS_NUMBER);
  EXPECT_STREQ(item->pAddresses->pstrAddress, L"+35840\t123");

  message.SetText(L"four");
  SMSMessage copy(message);
  message.SetText(L"changed");
  TESSIM_SMS_ITEM* copied = copy.GetItemData();
  EXPECT_EQ(copied->dwTextLength, 8u);
  EXPECT_EQ(std::wstring(copied->pstrText, 4), L"four");
  EXPECT_NE(copied->pAddresses, message.GetItemData()->pAddresses);
}

TEST(SMSMessageTest, GetItemDataStampsThePCsTimeOverAnEarlierOne) {
  SMSMessage message;
  SYSTEMTIME old = {1999, 12, 5, 31, 23, 59, 58, 999};
  message.SetTime(old);
  EXPECT_EQ(message.GetTime().wYear, 1999);
  EXPECT_EQ(message.GetTime().wDayOfWeek, 0);
  EXPECT_EQ(message.GetTime().wMilliseconds, 0);
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_GE(message.GetItemData()->wYear, now.wYear);
}

TEST(ContentAccessLifetimeTest, TerminateWithoutInitializeAndCopiesLeaveHandlesAlone) {
  Trelk::CContentAccess never;
  never.Terminate();
  EXPECT_FALSE(never.IsInitialized());
  EXPECT_FALSE(Trelk::TessimBinding().IsLoaded());
  Trelk::CSMSConnection owner(0x1234);
  {
    Trelk::CSMSConnection copy(owner);
    EXPECT_FALSE(copy.IsOwner());
    EXPECT_EQ(copy.GetHandle(), 0x1234u);
  }
  EXPECT_EQ(owner.GetHandle(), 0x1234u);
  // Closing an unknown handle is answered by the binding without a library: ignored.
  owner.Close();
  EXPECT_EQ(owner.GetHandle(), 0u);
}

}  // namespace
