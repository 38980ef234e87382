#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include "CZembraGenericDeviceImpl.h"
#include "ServiceFixture.h"
#include "Selectors.h"
#include "TrelkBinding.h"
#include "ZCLHandle.h"
#include "ZCLException.h"
#include "ZCLWait.h"

namespace {

// Signals a system-wide request of the libraries' watchers until it is done.
bool Request(const char* eventName, const std::function<bool()>& done) {
  CHandle event(::CreateEventA(nullptr, TRUE, FALSE, eventName));
  if (!event) return false;
  bool ok = false;
  for (int tries = 0; tries < 200 && !ok; ++tries) {
    ::SetEvent(event.Get());
    ok = ZCLWaitUntil(done, 100);
  }
  ::ResetEvent(event.Get());
  return ok;
}

const char kCard[] = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Aalto;Aino\r\nTEL:+358401111\r\nEND:VCARD\r\n";

// The phone's own implementation over the simulated phone, attached by the
// device manager as in the product. Each phone is plugged in with a contact,
// a message and a call-log entry before the service starts.
class DeviceImplTest : public ServiceFixture {
protected:
  void TearDown() override {
    m_world->ClearFaults();
    ServiceFixture::TearDown();
  }
  void PlugWithContent(const wchar_t* serial) {
    PhoneSim::CPhone phone;
    phone.serial = serial;
    phone.model = L"Model";
    phone.manufacturer = L"Maker";
    phone.friendlyName = L"Friend";
    ASSERT_TRUE(m_world->PlugPhone(phone));
    PhoneSim::CContact contact;
    contact.vcard = kCard;
    ASSERT_FALSE(m_world->WriteContact(serial, contact).empty());
    ASSERT_FALSE(Deliver(serial, L"on the phone").empty());
    PhoneSim::CCallLogEntry call;
    call.type = 1;
    call.direction = 1;
    call.number = L"+358403333";
    call.time = PhoneSim::CPhoneTime::Now();
    ASSERT_NE(0u, m_world->AddCallLogEntry(serial, call));
  }
  std::wstring Deliver(const wchar_t* serial, const wchar_t* text) {
    PhoneSim::CMessage message;
    message.text = text;
    message.time = PhoneSim::CPhoneTime::Now();
    PhoneSim::CMessageAddress from;
    from.address = L"+358402222";
    message.addresses.push_back(from);
    return m_world->WriteMessage(serial, message);
  }
  // Starts the service and waits until the phone's start-up has ended.
  CZembraDevicePtr StartWith(const wchar_t* serial, int expectedState) {
    StartAndConnect();
    CZembraDevicePtr device;
    EXPECT_TRUE(ZCLWaitUntil([&] {
      device = Devices().Find(serial);
      return device && device->HasDeviceImpl() && device->GetState() == expectedState;
    }, 30000));
    return device;
  }
  static size_t Contacts(CZembraDevice& device) {
    CContactSelector all;
    device.StoreForTests().SelectContacts(&all);
    return all.Records().size();
  }
  static std::vector<std::unique_ptr<CZembraSMS>> Messages(CZembraDevice& device) {
    CSmsSelector all;
    device.StoreForTests().SelectSms(&all);
    std::vector<std::unique_ptr<CZembraSMS>> copies;
    for (const std::unique_ptr<CZembraSMS>& sms : all.Records()) copies.emplace_back(new CZembraSMS(*sms));
    return copies;
  }
  static size_t Events(CZembraDevice& device) {
    CEventSelector all;
    device.StoreForTests().SelectEvents(&all);
    return all.Records().size();
  }
  int MessageNotifications() {
    int count = 0;
    for (const CallbackCall& call : m_recorder->Calls())
      count += call.method == "Notification" && call.kind == IID_IMessageReceivedNotification;
    return count;
  }
  bool Logged(const std::string& text) { return NewText().find(text) != std::string::npos; }
};

TEST_F(DeviceImplTest, APhoneComesUpWithItsContentAndAnArrivalThatCannotBeReadIsSkipped) {
  PlugWithContent(L"IMPL-1");
  CZembraDevicePtr phone = StartWith(L"IMPL-1", DeviceConnected);
  ASSERT_TRUE(phone);
  EXPECT_EQ(1u, Contacts(*phone));
  EXPECT_EQ(1u, Messages(*phone).size());
  EXPECT_EQ(1u, Events(*phone));
  EXPECT_TRUE(phone->EventLogEnabled());

  ASSERT_EQ(S_OK, m_zembra->SubscribeNotification(CComBSTR(m_clientId.c_str()), IID_IMessageReceivedNotification));
  m_world->InjectFault("TessimReadItem", 0x80100005, 1);
  ASSERT_FALSE(Deliver(L"IMPL-1", L"unreadable").empty());
  // Arrivals are told and queued in order: the second one's notification
  // comes after anything the first one gave.
  ASSERT_FALSE(Deliver(L"IMPL-1", L"readable").empty());
  ASSERT_TRUE(ZCLWaitUntil([&] { return MessageNotifications() >= 1; }, 20000));
  std::vector<std::unique_ptr<CZembraSMS>> stored = Messages(*phone);
  ASSERT_EQ(2u, stored.size()) << "no blank message for the failed read";
  EXPECT_STREQ(L"readable", stored[1]->GetMessage());
  EXPECT_EQ(1, MessageNotifications());
}

TEST_F(DeviceImplTest, SendingAndReadMarkingReachThePhoneAndAFailedMarkingIsReported) {
  PlugWithContent(L"IMPL-2");
  CZembraDevicePtr phone = StartWith(L"IMPL-2", DeviceConnected);
  ASSERT_TRUE(phone);
  phone->SendMessage(L"+358409999", L"sent from the PC");
  std::vector<PhoneSim::CMessage> sent = m_world->ListMessages(L"IMPL-2", 2);
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(L"sent from the PC", sent[0].text);

  std::vector<std::unique_ptr<CZembraSMS>> stored = Messages(*phone);
  ASSERT_EQ(1u, stored.size());
  m_world->InjectFault("TessimReadItem", 0x80100005, 1);
  EXPECT_THROW(phone->MarkSmsAsRead(stored[0].get()), ZCLException);
  std::vector<PhoneSim::CMessage> inbox = m_world->ListMessages(L"IMPL-2", 1);
  ASSERT_EQ(1u, inbox.size());
  EXPECT_EQ(0x101u, inbox[0].info & 0xF0Fu) << "still unread";
  phone->MarkSmsAsRead(stored[0].get());
  inbox = m_world->ListMessages(L"IMPL-2", 1);
  EXPECT_EQ(0x201u, inbox[0].info & 0xF0Fu) << "read";
}

TEST_F(DeviceImplTest, AReadMarkingThePhoneDidNotTakeIsMadeByTheNextSyncToThePhone) {
  PlugWithContent(L"IMPL-6");
  CZembraDevicePtr phone = StartWith(L"IMPL-6", DeviceConnected);
  ASSERT_TRUE(phone);
  std::vector<std::unique_ptr<CZembraSMS>> stored = Messages(*phone);
  ASSERT_EQ(1u, stored.size());
  // The update operation's steps: the status into the database, then a marking that fails.
  stored[0]->SetStatus(CZembraSMS::StatusRead);
  phone->UpdateSms(stored[0].get());
  m_world->InjectFault("TessimReadItem", 0x80100005, 1);
  EXPECT_THROW(phone->MarkSmsAsRead(stored[0].get()), ZCLException);
  phone->SyncSmsToPhone();
  std::vector<PhoneSim::CMessage> inbox = m_world->ListMessages(L"IMPL-6", 1);
  ASSERT_EQ(1u, inbox.size());
  EXPECT_EQ(0x201u, inbox[0].info & 0xF0Fu) << "read";
}

TEST_F(DeviceImplTest, AFailedContentAccessStartOpensNothingElse) {
  PlugWithContent(L"IMPL-3");
  m_world->InjectFault("Tessim_Initialize", 0x80100005, 1);
  CZembraDevicePtr phone = StartWith(L"IMPL-3", DeviceDisconnected);
  ASSERT_TRUE(phone);
  EXPECT_TRUE(Logged("Failed to initialize Device! "));
  EXPECT_FALSE(Logged("Trelk::CContentAccess::OpenSMS"));
  EXPECT_FALSE(Logged("CZembraSync::InitTrelk"));
  EXPECT_FALSE(Logged("Trelk::CEventLog::Open"));
  EXPECT_EQ(0u, Contacts(*phone));
}

TEST_F(DeviceImplTest, AConnectionFailureSkipsTheRestAndAnyOtherFailureDoesNot) {
  PlugWithContent(L"IMPL-4");
  m_world->InjectFault("DorraxOpenTessim", 0x80200000, 1);  // device not found
  CZembraDevicePtr phone = StartWith(L"IMPL-4", DeviceDisconnected);
  ASSERT_TRUE(phone);
  EXPECT_TRUE(Logged("Failed to initialize SMS Connection: "));
  EXPECT_FALSE(Logged("Failed to Sync contacts: "));
  EXPECT_FALSE(Logged("Trelk::CEventLog::Open"));
  EXPECT_FALSE(Logged("CCallControl::AddDevice"));
  EXPECT_EQ(0u, Contacts(*phone));
  EXPECT_EQ(0u, Events(*phone));
  EXPECT_FALSE(phone->EventLogEnabled());

  // Plugged in again with a failure outside the connection group: the
  // messages' connection stays shut, everything else comes up.
  ASSERT_TRUE(m_world->UnplugPhone(L"IMPL-4"));
  ASSERT_TRUE(ZCLWaitUntil([&] { return !phone->HasDeviceImpl(); }, 20000));
  m_world->InjectFault("DorraxOpenTessim", 0x80100005, 1);
  PhoneSim::CPhone again;
  ASSERT_TRUE(m_world->ReadPhone(L"IMPL-4", &again));
  again.connected = true;
  ASSERT_TRUE(m_world->PlugPhone(again));
  ASSERT_TRUE(ZCLWaitUntil([&] { return phone->HasDeviceImpl() && phone->GetState() == DeviceConnected; }, 30000));
  EXPECT_EQ(1u, Contacts(*phone));
  EXPECT_EQ(1u, Events(*phone));
  EXPECT_THROW(phone->SendMessage(L"+358409999", L"no connection"), ZCLComException);
}

TEST_F(DeviceImplTest, UninitializeRunsEveryStepWhenOneThrows) {
  PlugWithContent(L"IMPL-5");
  CZembraDevicePtr phone = StartWith(L"IMPL-5", DeviceConnected);
  ASSERT_TRUE(phone);
  Main()->Links().faults.FailUninitializeStep(1);
  size_t before = NewText().size();
  ASSERT_TRUE(m_world->UnplugPhone(L"IMPL-5"));
  ASSERT_TRUE(ZCLWaitUntil([&] { return !phone->HasDeviceImpl(); }, 20000));
  std::string text = NewText().substr(before);
  size_t begin = text.find(">> CZembraGenericDeviceImpl::Uninitialize");
  size_t end = text.find("<< CZembraGenericDeviceImpl::Uninitialize");
  ASSERT_NE(std::string::npos, end);
  std::string uninitialize = text.substr(begin, end - begin);  // not the members' own tear-down
  EXPECT_NE(std::string::npos, uninitialize.find("Uninitialize step failed for a test."));
  EXPECT_NE(std::string::npos, uninitialize.find("Trelk::CSMSNotificationListener::Stop"));
  EXPECT_NE(std::string::npos, uninitialize.find("Trelk::CContentAccess::Terminate"));
  EXPECT_NE(std::string::npos, uninitialize.find("Trelk::CEventLogNotificationListener::Stop"));
  EXPECT_NE(std::string::npos, uninitialize.find("Trelk::CEventLog::Terminate"));
}

// The reloaded libraries know none of the phone's old handles: the phone
// comes up again by itself, syncing what changed on it while they were away,
// and its later syncs work.
TEST_F(DeviceImplTest, AfterTheLibrariesAreReloadedAPhoneChangeReachesTheDatabase) {
  PlugWithContent(L"IMPL-6");
  CZembraDevicePtr phone = StartWith(L"IMPL-6", DeviceConnected);
  ASSERT_TRUE(phone);
  ASSERT_EQ(1u, Contacts(*phone));
  ASSERT_TRUE(Request(Trelk::CLibraryBinding::UnloadEventName, [] { return !Trelk::TessimBinding().IsLoaded(); }));
  PhoneSim::CContact added;
  added.vcard = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Berg;Bo\r\nTEL:+358405555\r\nEND:VCARD\r\n";
  ASSERT_FALSE(m_world->WriteContact(L"IMPL-6", added).empty());
  ASSERT_TRUE(Request(Trelk::CLibraryBinding::ReloadEventName, [] { return Trelk::TessimBinding().IsLoaded(); }));

  EXPECT_TRUE(ZCLWaitUntil([&] { return Contacts(*phone) == 2u; }, 30000));
  ASSERT_TRUE(ZCLWaitUntil([&] { return phone->GetState() == DeviceConnected; }, 30000));
  EXPECT_NO_THROW(phone->SyncContactsFromPhone());
  EXPECT_NO_THROW(phone->SyncSmsFromPhone());
}

}  // namespace
