#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "PhoneWorld.h"
#include "SimTestSupport.h"

// A phone's contacts, messages and call log in the world, through the test
// API and phonectl.

namespace PhoneSim {
namespace {

using Testing::CScratchWorld;
using Testing::RunPhonectl;

class PhoneContentTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_world.reset(new CPhoneWorld(m_scratch.Folder()));
    CPhone phone;
    phone.serial = L"P";
    m_world->PlugPhone(phone);
  }
  CScratchWorld m_scratch;
  std::unique_ptr<CPhoneWorld> m_world;
};

TEST_F(PhoneContentTest, UidsAreNeverGivenTwiceAcrossContentsAndWorldObjects) {
  std::wstring a = m_world->WriteContact(L"P", CContact{L"", "A"});
  CMessage m;
  std::wstring b = m_world->WriteMessage(L"P", m);
  CPhoneWorld again(m_scratch.Folder());  // as another process or a later run sees it
  std::wstring c = again.WriteContact(L"P", CContact{L"", "C"});
  EXPECT_TRUE(CPhoneWorld::IsValidUid(a));
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_NE(a, c);
  ASSERT_EQ(m_world->ListContacts(L"P").size(), 2u);
  EXPECT_EQ(m_world->ListContacts(L"P")[0].uid, a);  // ordered by uid

  for (const wchar_t* bad : {L"0A", L"abc", L"..", L"zz"}) EXPECT_FALSE(CPhoneWorld::IsValidUid(bad)) << bad;
  EXPECT_TRUE(m_world->WriteContact(L"P", CContact{L"0A", "x"}).empty());
  EXPECT_TRUE(m_world->WriteContact(L"", CContact{L"", "x"}).empty());
}

TEST_F(PhoneContentTest, MessagesKeepTheirFieldsAndMoveBetweenFolders) {
  CMessage m;
  m.folder = 7;
  m.info = 0x3641;
  m.text = L"two\nlines\twith \\ and \u00e4";
  m.addresses.resize(2);
  m.addresses[0].address = L"+358 1";
  m.addresses[1].type = 5;
  m.time.year = 2007;
  m.time.month = 5;
  m.time.second = 5;
  m.zone1 = 120;
  m.zone2 = -30;
  std::wstring uid = m_world->WriteMessage(L"P", m);
  std::vector<DWORD> folders = m_world->ListMessageFolders(L"P");
  EXPECT_EQ(folders, (std::vector<DWORD>{1, 2, 7}));

  CMessage read;
  ASSERT_TRUE(m_world->FindMessage(L"P", uid, &read));
  EXPECT_EQ(read.folder, 7u);
  EXPECT_EQ(read.info, 0x3641u);
  EXPECT_EQ(read.text, m.text);
  ASSERT_EQ(read.addresses.size(), 2u);
  EXPECT_EQ(read.addresses[0].address, L"+358 1");
  EXPECT_EQ(read.addresses[1].type, 5u);
  EXPECT_EQ(read.addresses[1].address, L"");
  EXPECT_TRUE(read.time == m.time);
  EXPECT_EQ(read.zone2, -30);

  read.folder = 1;
  EXPECT_EQ(m_world->WriteMessage(L"P", read), uid);
  EXPECT_TRUE(m_world->ListMessages(L"P", 7).empty());
  EXPECT_EQ(m_world->ListMessages(L"P", 1).size(), 1u);
  EXPECT_EQ(m_world->ListMessages(L"P", 0).size(), 1u);
  EXPECT_EQ(m_world->ListMessageFolders(L"P"), (std::vector<DWORD>{1, 2}));
  EXPECT_TRUE(m_world->DeleteMessage(L"P", uid));
  EXPECT_FALSE(m_world->DeleteMessage(L"P", uid));
}

TEST_F(PhoneContentTest, PhonectlEditsContactsMessagesAndTheCallLog) {
  ASSERT_EQ(RunPhonectl(L"add-contact P --vcard \"BEGIN:VCARD\\r\\nFN:Jane\\r\\nEND:VCARD\\r\\n\""), 0u);
  std::vector<CContact> contacts = m_world->ListContacts(L"P");
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].vcard, "BEGIN:VCARD\r\nFN:Jane\r\nEND:VCARD\r\n");
  ASSERT_EQ(RunPhonectl(L"delete-contact P " + contacts[0].uid), 0u);
  EXPECT_TRUE(m_world->ListContacts(L"P").empty());

  ASSERT_EQ(RunPhonectl(L"deliver P \"+358 40\" \"Hi\""), 0u);
  ASSERT_EQ(RunPhonectl(L"add-message P 3 112 \"Draft\" --status 4"), 0u);
  std::vector<CMessage> inbox = m_world->ListMessages(L"P", 1), drafts = m_world->ListMessages(L"P", 3);
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].text, L"Hi");
  EXPECT_EQ(inbox[0].addresses[0].address, L"+358 40");
  EXPECT_EQ(inbox[0].info, 0x101u);  // a text, unread
  EXPECT_NE(inbox[0].time.year, 0);
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_EQ(drafts[0].info, 0x401u);

  ASSERT_EQ(RunPhonectl(L"add-call P --number 112 --duration 3 --time 2020-01-02T03:04:05 --zone -60"), 0u);
  ASSERT_EQ(RunPhonectl(L"add-call P --id 1"), 1u);  // taken
  std::vector<CCallLogEntry> log = m_world->ReadCallLog(L"P");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].number, L"112");
  EXPECT_EQ(log[0].duration, 3u);
  EXPECT_EQ(log[0].time.Format(), "2020-01-02T03:04:05");
  EXPECT_EQ(log[0].zone1, -60);
  ASSERT_EQ(RunPhonectl(L"clear-calllog P"), 0u);
  EXPECT_TRUE(m_world->ReadCallLog(L"P").empty());

  EXPECT_EQ(RunPhonectl(L"deliver Q 1 x"), 1u);  // no such phone
  EXPECT_EQ(RunPhonectl(L"add-contact P"), 2u);  // neither text nor file
  EXPECT_EQ(RunPhonectl(L"add-call P --time yesterday"), 2u);
}

}  // namespace
}  // namespace PhoneSim
