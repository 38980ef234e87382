#include <windows.h>
#include <gtest/gtest.h>
#include <atomic>
#include <fstream>
#include "CContact.h"
#include "CContactList.h"
#include "COperationTask.h"
#include "CSms.h"
#include "CThreadHandle.h"
#include "PhoneTasks.h"
#include "RecordingDeviceImpl.h"
#include "Selectors.h"
#include "ServiceFixture.h"
#include "ZCLException.h"
#include "ZCLWait.h"

namespace {

CZembraSMS Message(const char* uid, const wchar_t* text, const wchar_t* time = L"2026-01-02T03:04:05+01:00") {
  CZembraSMS sms;
  sms.SetPhoneId(Trelk::CUid::Parse(uid));
  sms.SetMessage(text);
  sms.SetTimeStamp(time);
  sms.SetStatus(1);
  sms.SetFolder(1);
  sms.AddAddress(1, L"+358401234567");
  return sms;
}

std::wstring Text(BSTR text) { return text ? std::wstring(text) : std::wstring(); }

class ContactSmsOperationTest : public ServiceFixture {
protected:
  void SetUp() override {
    ServiceFixture::SetUp();
    StartAndConnect();
  }
  // A listed phone whose implementation records what reaches the phone.
  CZembraDevicePtr Phone(const wchar_t* serial, int state) {
    CZembraDevicePtr device = AddDevice(serial, DeviceDisconnected);
    device->SetDeviceImpl(new CRecordingImpl(m_calls));
    device->SetState(state);
    return device;
  }

  // The list a get operation of the kind returns for the phone.
  template <class Op, class List>
  CComPtr<List> GetList(REFIID kind, const wchar_t* serial) {
    CComPtr<Op> op = Create<Op>(kind);
    op->put_SerialNumber(CComBSTR(serial));
    Run(op);
    CComPtr<IUnknown> data;
    op->get_OperationData(&data);
    CComQIPtr<List> list(data.p);
    return CComPtr<List>(list.p);
  }
  CComPtr<IContactList> GetContacts(const wchar_t* serial) {
    return GetList<IGetContactsOperation, IContactList>(IID_IGetContactsOperation, serial);
  }
  CComPtr<ISmsList> GetSms(const wchar_t* serial) {
    return GetList<IGetSmsOperation, ISmsList>(IID_IGetSmsOperation, serial);
  }
  // Lists count from 1; index is from 0 here.
  template <class List, class Item>
  static CComPtr<Item> At(List* list, long index) {
    CComPtr<Item> item;
    if (list) list->get_Item(index + 1, &item);
    return item;
  }
  template <class List>
  static long Count(List* list) {
    long count = -1;
    if (list) list->get_Count(&count);
    return count;
  }
  EOperationState UpdateContact(IContact* contact) {
    CComPtr<IUpdateContactOperation> op = Create<IUpdateContactOperation>(IID_IUpdateContactOperation);
    EXPECT_EQ(S_OK, op->put_Contact(contact));
    Run(op);
    return State(op);
  }
  EOperationState DeleteContact(IContact* contact) {
    CComPtr<IDeleteContactOperation> op = Create<IDeleteContactOperation>(IID_IDeleteContactOperation);
    EXPECT_EQ(S_OK, op->put_Contact(contact));
    Run(op);
    return State(op);
  }
  EOperationState UpdateSms(ISms* sms) {
    CComPtr<IUpdateSmsOperation> op = Create<IUpdateSmsOperation>(IID_IUpdateSmsOperation);
    EXPECT_EQ(S_OK, op->put_Sms(sms));
    Run(op);
    return State(op);
  }
  EOperationState DeleteSms(ISms* sms, long flags) {
    CComPtr<IDeleteSmsOperation> op = Create<IDeleteSmsOperation>(IID_IDeleteSmsOperation);
    EXPECT_EQ(S_OK, op->put_Sms(sms));
    EXPECT_EQ(S_OK, op->put_DeleteFlags(flags));
    Run(op);
    return State(op);
  }
  static CComPtr<IContact> NewContact(IContactList* list, const wchar_t* vcard) {
    CComPtr<IContact> contact;
    EXPECT_EQ(S_OK, list->CreateContact(&contact));
    EXPECT_EQ(S_OK, contact->put_VCard(CComBSTR(vcard)));
    return contact;
  }
  static std::wstring DbId(IContact* contact) {
    CComBSTR id;
    contact->get_DbId(&id);
    return Text(id);
  }
  static std::wstring Photo(IContact* contact) {
    CComBSTR path;
    contact->get_PhotoPath(&path);
    return Text(path);
  }

  PhoneCalls m_calls;
};

const wchar_t kCard[] = L"BEGIN:VCARD\r\nVERSION:2.1\r\nN:Virtanen;Aino\r\nTEL:+358401\r\nEND:VCARD\r\n";

TEST_F(ContactSmsOperationTest, GetContactsListsTheDatabaseWithPicturesOnlyForRealPictureFiles) {
  CZembraDevicePtr phone = Phone(L"C-1", DeviceDisconnected);
  CComPtr<IContactList> list = GetContacts(L"C-1");
  EXPECT_EQ(0, Count(list.p)) << "a phone without contacts gives an empty list";

  CZembraContact pictured = storetest::Contact("BEGIN:VCARD\r\nN:A;B\r\nEND:VCARD\r\n", "0a0b");
  CZembraContact folderNamed = storetest::Contact("BEGIN:VCARD\r\nN:C;D\r\nEND:VCARD\r\n", "0c0d");
  CZembraContact local = storetest::Contact("BEGIN:VCARD\r\nN:E;F\r\nEND:VCARD\r\n");
  ASSERT_NE(-1, phone->StoreForTests().InsertContact(pictured));
  ASSERT_NE(-1, phone->StoreForTests().InsertContact(folderNamed));
  ASSERT_NE(-1, phone->StoreForTests().InsertContact(local));
  std::wstring folder = phone->GetDataFolder() + L"\\";
  std::ofstream(ZCLWideToUtf8(folder + L"0a0b").c_str(), std::ios::binary) << "picture";
  ASSERT_TRUE(CreateDirectoryW((folder + L"0c0d").c_str(), nullptr));

  list = GetContacts(L"C-1");
  ASSERT_EQ(3, Count(list.p));
  EXPECT_EQ(folder + L"0a0b", Photo(At<IContactList, IContact>(list, 0)));
  EXPECT_EQ(L"", Photo(At<IContactList, IContact>(list, 1))) << "a folder is no picture";
  EXPECT_EQ(L"", Photo(At<IContactList, IContact>(list, 2))) << "no uid: the data folder is no picture";
}

TEST_F(ContactSmsOperationTest, ListsThatCannotBeMadeFailWithOutOfMemoryInsteadOfCompleting) {
  Phone(L"C-2", DeviceDisconnected);
  ASSERT_EQ(0, Count(GetContacts(L"C-2").p));
  ASSERT_EQ(0, Count(GetSms(L"C-2").p));
  Main()->Links().faults.FailDataObjects(2);
  EXPECT_EQ(nullptr, GetContacts(L"C-2").p) << "the earlier run's list is not handed out again";
  EXPECT_EQ(E_OUTOFMEMORY, m_recorder->Last("OperationFailed").hr);
  EXPECT_EQ(nullptr, GetSms(L"C-2").p);
  EXPECT_EQ(E_OUTOFMEMORY, m_recorder->Last("OperationFailed").hr);
  EXPECT_EQ(2, m_recorder->Count("OperationFailed"));
}

TEST_F(ContactSmsOperationTest, ANewContactIsStoredAndGetsItsDbIdAndAConnectedPhoneIsWrittenAtOnce) {
  Phone(L"C-3", DeviceDisconnected);
  CComPtr<IContactList> list = GetContacts(L"C-3");
  CComPtr<IContact> contact = NewContact(list, kCard);
  ASSERT_EQ(L"-1", DbId(contact));
  EXPECT_EQ(OperationCompleted, UpdateContact(contact));
  EXPECT_NE(L"-1", DbId(contact));
  EXPECT_EQ(0, m_calls.contactsToPhone) << "a disconnected phone waits for its next sync";
  ASSERT_EQ(1, Count(GetContacts(L"C-3").p));

  Devices().Find(L"C-3")->SetState(DeviceConnected);
  CComBSTR name;
  ASSERT_EQ(S_OK, contact->put_VCard(CComBSTR(L"BEGIN:VCARD\r\nN:Virtanen;Eino\r\nEND:VCARD\r\n")));
  EXPECT_EQ(OperationCompleted, UpdateContact(contact));
  EXPECT_EQ(1, m_calls.contactsToPhone);
  list = GetContacts(L"C-3");
  ASSERT_EQ(1, Count(list.p)) << "an update of a stored contact inserts nothing";
  At<IContactList, IContact>(list, 0)->get_FormattedName(&name);
  EXPECT_NE(std::wstring::npos, Text(name).find(L"Eino"));

  EXPECT_EQ(OperationCompleted, DeleteContact(contact));
  EXPECT_EQ(2, m_calls.contactsToPhone);
  EXPECT_EQ(0, Count(GetContacts(L"C-3").p)) << "deleted before the phone is reached";
}

TEST_F(ContactSmsOperationTest, AContactOrMessageWorksOnThePhoneItsListCameFrom) {
  Phone(L"C-4A", DeviceDisconnected);
  CZembraDevicePtr other = Phone(L"C-4B", DeviceConnected);
  CComPtr<IContact> contact = NewContact(GetContacts(L"C-4B"), kCard);
  EXPECT_EQ(OperationCompleted, UpdateContact(contact));
  EXPECT_EQ(0, Count(GetContacts(L"C-4A").p));
  EXPECT_EQ(1, Count(GetContacts(L"C-4B").p));
  EXPECT_EQ(1, m_calls.contactsToPhone);

  CZembraSMS stored = Message("51", L"hello");
  ASSERT_NE(-1, other->StoreForTests().InsertSms(stored));
  CComPtr<ISms> sms = At<ISmsList, ISms>(GetSms(L"C-4B"), 0);
  ASSERT_TRUE(sms != nullptr);
  EXPECT_EQ(OperationCompleted, DeleteSms(sms, 1));
  EXPECT_EQ(1, m_calls.smsToPhone);
  EXPECT_EQ(0, Count(GetSms(L"C-4B").p));
}

TEST_F(ContactSmsOperationTest, DeleteFlagsDecideWhetherAMessageStaysListedAndOthersAreRefused) {
  CZembraDevicePtr phone = Phone(L"C-5", DeviceDisconnected);
  CZembraSMS first = Message("01", L"one");
  CZembraSMS second = Message("02", L"two", L"2026-01-02T03:04:06+01:00");
  ASSERT_NE(-1, phone->StoreForTests().InsertSms(first));
  ASSERT_NE(-1, phone->StoreForTests().InsertSms(second));
  CComPtr<ISmsList> list = GetSms(L"C-5");
  ASSERT_EQ(2, Count(list.p));
  CComPtr<ISms> one = At<ISmsList, ISms>(list, 0);
  CComPtr<ISms> two = At<ISmsList, ISms>(list, 1);

  for (long bad : {4L, -1L, 0x7fffffffL}) {
    EXPECT_EQ(OperationFailed, DeleteSms(one, bad)) << bad;
    EXPECT_EQ(E_INVALIDARG, m_recorder->Last("OperationFailed").hr);
  }
  EXPECT_EQ(2, Count(GetSms(L"C-5").p)) << "a refused value is never stored";

  EXPECT_EQ(OperationCompleted, DeleteSms(one, 3));
  EXPECT_EQ(2, Count(GetSms(L"C-5").p)) << "3 stays listed";
  EXPECT_EQ(OperationCompleted, DeleteSms(two, 2));
  EXPECT_EQ(1, Count(GetSms(L"C-5").p));
  EXPECT_EQ(OperationCompleted, DeleteSms(two, 0));
  EXPECT_EQ(2, Count(GetSms(L"C-5").p)) << "0 takes a deletion back";
  EXPECT_EQ(0, m_calls.smsToPhone);
}

TEST_F(ContactSmsOperationTest, AReadMarkingReachesAConnectedPhoneAndAFailedOneIsNotReportedAsSuccess) {
  CZembraDevicePtr phone = Phone(L"C-6", DeviceDisconnected);
  CZembraSMS stored = Message("a1b2", L"read me");
  ASSERT_NE(-1, phone->StoreForTests().InsertSms(stored));
  CComPtr<ISms> sms = At<ISmsList, ISms>(GetSms(L"C-6"), 0);
  ASSERT_EQ(S_OK, sms->put_Status(5));
  EXPECT_EQ(OperationCompleted, UpdateSms(sms));
  EXPECT_EQ(0, m_calls.marked) << "a disconnected phone changes only the database";
  long status = 0;
  At<ISmsList, ISms>(GetSms(L"C-6"), 0)->get_Status(&status);
  EXPECT_EQ(5, status);

  phone->SetState(DeviceConnected);
  EXPECT_EQ(OperationCompleted, UpdateSms(sms));
  EXPECT_EQ(1, m_calls.marked);
  EXPECT_EQ(L"a1b2", m_calls.markedUid);
  ASSERT_EQ(S_OK, sms->put_Status(1));
  EXPECT_EQ(OperationCompleted, UpdateSms(sms));
  EXPECT_EQ(1, m_calls.marked) << "only status 5 is a read marking";

  m_calls.markFails = true;
  ASSERT_EQ(S_OK, sms->put_Status(5));
  EXPECT_EQ(OperationFailed, UpdateSms(sms));
  EXPECT_EQ(E_FAIL, m_recorder->Last("OperationFailed").hr);
}

class CSetEventTask : public CTaskBase {
public:
  explicit CSetEventTask(HANDLE event) : m_event(event) {}
  void Execute() override { ::SetEvent(m_event); }
  bool IsAutoDelete() override { return true; }

private:
  HANDLE m_event;
};

// The tasks the phone's notifications queue. Clients are told on their own
// delivery threads, in order: a later notification that arrived shows that
// an earlier one that was due would have arrived before it.
class PhoneTaskTest : public ContactSmsOperationTest {
protected:
  void Subscribe(REFIID kind) {
    ASSERT_EQ(S_OK, m_zembra->SubscribeNotification(CComBSTR(m_clientId.c_str()), kind));
  }
  int Notifications(REFIID kind) {
    int count = 0;
    for (const CallbackCall& call : m_recorder->Calls()) count += call.method == "Notification" && call.kind == kind;
    return count;
  }
  bool WaitNotifications(REFIID kind, int count) {
    return ZCLWaitUntil([&] { return Notifications(kind) >= count; }, 10000) && Notifications(kind) == count;
  }
  // Queues the task and waits until every task before a marker has run.
  void RunTask(CTaskBase* task) {
    Main()->AddTask(task);
    Drain();
  }
  void Drain() {
    CManualEvent done;
    Main()->AddTask(new CSetEventTask(done.Get()));
    // The test thread is the apartment the call-window object lives in.
    ASSERT_EQ(WAIT_OBJECT_0, ZCLWaitServingApartment(done.Get(), 20000));
  }
  static CZembraSMS* Received(const char* uid, int folder = 1) {
    CZembraSMS* sms = new CZembraSMS(Message(uid, L"arrived"));
    sms->SetFolder(folder);
    return sms;
  }
  int Stored(CZembraDevice& phone) {
    CSmsSelector all;
    phone.StoreForTests().SelectSms(&all);
    return static_cast<int>(all.Records().size());
  }
};

TEST_F(PhoneTaskTest, AReceivedMessageIsStoredAndAnnouncedOnceAndOnlyFromTheInbox) {
  CZembraDevicePtr phone = Phone(L"T-1", DeviceConnected);
  Subscribe(IID_IMessageReceivedNotification);
  RunTask(new CMessageReceivedTask(Main()->Links(), L"T-1", Received("77")));
  EXPECT_EQ(1, Stored(*phone));
  EXPECT_TRUE(WaitNotifications(IID_IMessageReceivedNotification, 1));

  // Read at start-up already, or told twice: neither stored nor announced again.
  RunTask(new CMessageReceivedTask(Main()->Links(), L"T-1", Received("77")));
  EXPECT_EQ(1, Stored(*phone));
  EXPECT_EQ(1, Notifications(IID_IMessageReceivedNotification));

  RunTask(new CMessageReceivedTask(Main()->Links(), L"T-1", Received("78", 2)));
  EXPECT_EQ(2, Stored(*phone)) << "a message outside the inbox is stored";
  EXPECT_EQ(1, Notifications(IID_IMessageReceivedNotification)) << "and not announced";

  // An unknown phone or no message: nothing, and the record goes with the task.
  RunTask(new CMessageReceivedTask(Main()->Links(), L"NOBODY", Received("79")));
  RunTask(new CMessageReceivedTask(Main()->Links(), L"T-1", nullptr));
  EXPECT_EQ(2, Stored(*phone));
  RunTask(new CMessageReceivedTask(Main()->Links(), L"T-1", Received("80")));
  EXPECT_TRUE(WaitNotifications(IID_IMessageReceivedNotification, 2)) << "only the last one was due";
  EXPECT_EQ(3, Stored(*phone));
}

TEST_F(PhoneTaskTest, ABurstOfCallLogChangesLeavesOneRefreshPerPhoneWaiting) {
  Phone(L"T-2A", DeviceConnected);
  Phone(L"T-2B", DeviceConnected);
  Subscribe(IID_IEventsUpdatedNotification);
  HoldQueue();
  for (int i = 0; i < 10; ++i) {
    for (const wchar_t* serial : {L"T-2A", L"T-2B"}) {
      CRefreshEventLogTask* task = new CRefreshEventLogTask(Main()->Links(), serial);
      CheckTypeAndSerial same(*task);
      Main()->AddTaskRemoveEarlier(task, &same);
    }
  }
  OpenQueue();
  Drain();
  EXPECT_EQ(2, m_calls.events) << "one refresh for each phone";
  EXPECT_TRUE(WaitNotifications(IID_IEventsUpdatedNotification, 2));

  // A refresh whose sync fails (an offline phone) is logged and tells nobody.
  AddDevice(L"T-2C", DeviceDisconnected);
  RunTask(new CRefreshEventLogTask(Main()->Links(), L"T-2C"));
  EXPECT_NE(std::string::npos, NewText().find("Not implemented!"));
  RunTask(new CRefreshEventLogTask(Main()->Links(), L"T-2A"));
  EXPECT_TRUE(WaitNotifications(IID_IEventsUpdatedNotification, 3));
}

}  // namespace
