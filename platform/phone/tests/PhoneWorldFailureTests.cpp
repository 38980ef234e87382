#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "PhoneWorld.h"
#include "SimTestSupport.h"
#include "TrelkApi.h"
#include "ZCLException.h"
#include "ZCLHandle.h"

// What the phone world cannot write is reported, never taken as done: through
// the test API, phonectl and the simulated libraries' entries.

namespace PhoneSim {
namespace {

using Testing::CFileLock;
using Testing::CScratchWorld;
using Testing::RunPhonectl;

class PhoneWorldFailureTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_world.reset(new CPhoneWorld(m_scratch.Folder()));
    CPhone phone;
    phone.serial = L"P";
    ASSERT_TRUE(m_world->PlugPhone(phone));
  }
  std::wstring PhoneFile(const std::wstring& relative) { return m_scratch.Folder() + L"\\phones\\P\\" + relative; }

  CScratchWorld m_scratch;
  std::unique_ptr<CPhoneWorld> m_world;
};

TEST_F(PhoneWorldFailureTest, AUidCounterThatCannotBeWrittenHandsOutNoUid) {
  std::wstring first = m_world->WriteContact(L"P", CContact{L"", "first"});
  {
    CFileLock counter(PhoneFile(L"nextuid"));
    ASSERT_TRUE(counter.IsHeld());
    EXPECT_THROW(m_world->WriteContact(L"P", CContact{L"", "refused"}), ZCLException);
    EXPECT_THROW(m_world->WriteMessage(L"P", CMessage()), ZCLException);
  }
  std::wstring second = m_world->WriteContact(L"P", CContact{L"", "second"});
  std::wstring third = m_world->WriteMessage(L"P", CMessage());
  EXPECT_NE(first, second);
  EXPECT_NE(second, third);
  std::vector<CContact> contacts = m_world->ListContacts(L"P");
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_EQ(contacts[0].vcard, "first");
  EXPECT_EQ(contacts[1].vcard, "second");
  EXPECT_EQ(m_world->ListMessages(L"P", 0).size(), 1u);
}

TEST_F(PhoneWorldFailureTest, AUidInUseIsNeverHandedOutAgain) {
  ASSERT_EQ(m_world->WriteContact(L"P", CContact{L"00000001", "chosen"}), L"00000001");
  CMessage chosen;
  chosen.uid = L"00000002";
  ASSERT_EQ(m_world->WriteMessage(L"P", chosen), L"00000002");
  std::wstring given = m_world->WriteContact(L"P", CContact{L"", "given"});
  ASSERT_TRUE(m_world->DeleteWorldFile(L"phones\\P\\nextuid"));  // a counter lost
  std::wstring again = m_world->WriteContact(L"P", CContact{L"", "again"});
  EXPECT_NE(given, L"00000001");
  EXPECT_NE(given, L"00000002");
  EXPECT_NE(again, given);
  std::vector<CContact> contacts = m_world->ListContacts(L"P");
  ASSERT_EQ(contacts.size(), 3u);
  EXPECT_EQ(contacts[0].vcard, "chosen");
}

TEST_F(PhoneWorldFailureTest, AMessageThatCannotReachItsNewFolderStaysInItsOld) {
  CMessage message;
  message.uid = L"0a0b";
  message.text = L"kept";
  ASSERT_EQ(m_world->WriteMessage(L"P", message), L"0a0b");
  // A folder where the moved message's file would go: the write cannot land.
  ASSERT_TRUE(CreateDirectoryW(PhoneFile(L"messages\\2").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(PhoneFile(L"messages\\2\\0a0b.txt").c_str(), nullptr));
  message.folder = 2;
  message.text = L"moved";
  EXPECT_THROW(m_world->WriteMessage(L"P", message), ZCLException);
  CMessage found;
  ASSERT_TRUE(m_world->FindMessage(L"P", L"0a0b", &found));
  EXPECT_EQ(found.folder, 1u);
  EXPECT_EQ(found.text, L"kept");
}

// Nothing can be replaced in this world: every write fails before it changes
// anything, and phonectl says so.
TEST_F(PhoneWorldFailureTest, AWorldThatCannotBeWrittenFailsEveryWriteAndChangesNothing) {
  std::wstring uid = m_world->WriteContact(L"P", CContact{L"", "card"});
  CFileLock generation(m_scratch.Folder() + L"\\generation");
  ASSERT_TRUE(generation.IsHeld());
  CPhone other;
  other.serial = L"Q";
  EXPECT_THROW(m_world->PlugPhone(other), ZCLException);
  EXPECT_THROW(m_world->RemovePhone(L"P"), ZCLException);
  EXPECT_THROW(m_world->DeleteContact(L"P", uid), ZCLException);
  EXPECT_THROW(m_world->AddCallLogEntry(L"P", CCallLogEntry()), ZCLException);
  EXPECT_THROW(m_world->InjectFault("LNYXOpenDM", 1, 1), ZCLException);

  const wchar_t* commands[] = {L"plug Q",
                               L"update P --name X",
                               L"unplug P",
                               L"remove P",
                               L"add-contact P --vcard X",
                               L"delete-contact P 00000001",
                               L"deliver P 123 hello",
                               L"add-message P 2 123 hello",
                               L"add-call P --number 123",
                               L"clear-calllog P",
                               L"fault LNYXOpenDM 1 1",
                               L"clear-faults",
                               L"notify added P"};
  for (const wchar_t* command : commands) {
    std::string output;
    EXPECT_EQ(RunPhonectl(command, &output), 1u) << command;
    EXPECT_NE(output.find("phonectl: The world's file cannot be replaced"), std::string::npos) << output;
  }
  generation.Release();
  std::vector<CPhone> phones = m_world->ListPhones(false);
  ASSERT_EQ(phones.size(), 1u);
  EXPECT_TRUE(phones[0].connected);
  EXPECT_EQ(phones[0].friendlyName, L"");
  EXPECT_EQ(m_world->ListContacts(L"P").size(), 1u);
  EXPECT_TRUE(m_world->ListMessages(L"P", 0).empty());
  EXPECT_TRUE(m_world->ReadCallLog(L"P").empty());
  EXPECT_TRUE(m_world->ReadNotices(0).empty());
  DWORD code = 0;
  EXPECT_FALSE(m_world->TakeFault("LNYXOpenDM", &code));
}

// A world folder that cannot be made (this machine's file system ignores a
// read-only folder for its administrator): reads find nothing, writes fail.
TEST_F(PhoneWorldFailureTest, AWorldFolderThatCannotBeMadeFailsWithAClearError) {
  std::wstring file = m_scratch.Folder() + L"\\not-a-folder";
  m_world->WriteFileText(L"not-a-folder", "x");
  CPhoneWorld below(file + L"\\world");
  CPhone phone;
  phone.serial = L"P";
  EXPECT_THROW(below.PlugPhone(phone), ZCLException);
  EXPECT_TRUE(below.ListPhones(false).empty());
  std::string output;
  EXPECT_EQ(RunPhonectl(L"--world \"" + file + L"\\world\" plug P", &output), 1u);
  EXPECT_NE(output.find("phonectl: "), std::string::npos) << output;
  EXPECT_EQ(output.find(".cpp("), std::string::npos) << "no source position for a person: " << output;
}

// One of the simulated libraries, loaded from beside the test.
class CLibrary {
public:
  explicit CLibrary(const wchar_t* name) : m_module(LoadLibraryW((Testing::BinFolder() + L"\\" + name).c_str())) {}
  bool IsLoaded() const { return m_module.IsValid(); }
  template <class Entry>
  Entry* Get(const char* name) {
    return reinterpret_cast<Entry*>(reinterpret_cast<void*>(GetProcAddress(m_module.Get(), name)));
  }

private:
  CModuleHandle m_module;
};

TEST_F(PhoneWorldFailureTest, AContentCommitTheWorldRefusesIsAFailureAndKeepsItsChanges) {
  CMessage message;
  message.uid = L"0a0b";
  message.text = L"kept";
  ASSERT_EQ(m_world->WriteMessage(L"P", message), L"0a0b");
  ASSERT_TRUE(CreateDirectoryW(PhoneFile(L"messages\\2").c_str(), nullptr));
  std::wstring obstacle = PhoneFile(L"messages\\2\\0a0b.txt");
  ASSERT_TRUE(CreateDirectoryW(obstacle.c_str(), nullptr));

  CLibrary dorrax(L"Dorrax.dll");
  ASSERT_TRUE(dorrax.IsLoaded());
  auto initialize = dorrax.Get<decltype(Tessim_Initialize)>("Tessim_Initialize");
  auto terminate = dorrax.Get<decltype(Tessim_Terminate)>("Tessim_Terminate");
  auto open = dorrax.Get<decltype(DorraxOpenTessim)>("DorraxOpenTessim");
  auto close = dorrax.Get<decltype(DorraxCloseTessim)>("DorraxCloseTessim");
  auto begin = dorrax.Get<decltype(TessimBeginOperation)>("TessimBeginOperation");
  auto write = dorrax.Get<decltype(TessimWriteItem)>("TessimWriteItem");
  auto commit = dorrax.Get<decltype(TessimCommitOperations)>("TessimCommitOperations");
  auto end = dorrax.Get<decltype(TessimEndOperation)>("TessimEndOperation");
  auto freeList = dorrax.Get<decltype(TessimFreeIdListStructure)>("TessimFreeIdListStructure");
  ASSERT_EQ(initialize(31, 0), 0u);
  DWORD media = 1, content = 0, operation = 0;
  ASSERT_EQ(open(L"P", &media, TESSIM_CONTENT_SMS, &content), 0u);
  ASSERT_EQ(begin(content, 0, &operation), 0u);
  BYTE uid[2] = {0x0a, 0x0b};
  TESSIM_ITEM_ID id = {sizeof(TESSIM_ITEM_ID), 2, 0, 2, uid, 0};
  TESSIM_SMS_ITEM item = {};
  item.dwSize = sizeof(item);
  item.dwDateSize = 20;
  ASSERT_EQ(write(operation, &id, 0, TESSIM_FORMAT_SMS, &item), 0u);

  TESSIM_ID_LIST written = {sizeof(TESSIM_ID_LIST), 0, nullptr};
  DWORD refused = commit(operation, &written);
  EXPECT_NE(refused, 0u);
  EXPECT_EQ(refused & 0xFFF00000u, 0x80400000u) << std::hex << refused;  // a file code of the libraries
  EXPECT_EQ(written.pItems, nullptr);
  CMessage found;
  ASSERT_TRUE(m_world->FindMessage(L"P", L"0a0b", &found));
  EXPECT_EQ(found.folder, 1u);

  // The change waited in the operation for the next commit.
  ASSERT_TRUE(RemoveDirectoryW(obstacle.c_str()));
  ASSERT_EQ(commit(operation, &written), 0u);
  ASSERT_EQ(written.dwNumOfItems, 1u);
  EXPECT_EQ(written.pItems[0].dwStatus, 0u);
  EXPECT_EQ(freeList(&written), 0u);
  ASSERT_TRUE(m_world->FindMessage(L"P", L"0a0b", &found));
  EXPECT_EQ(found.folder, 2u);
  EXPECT_EQ(end(operation), 0u);
  EXPECT_EQ(close(content), 0u);
  EXPECT_EQ(terminate(0), 0u);
}

TEST_F(PhoneWorldFailureTest, ACallLogThatCannotBeReadIsAFailureNotAnEmptyLog) {
  ASSERT_NE(m_world->AddCallLogEntry(L"P", CCallLogEntry()), 0u);
  CLibrary fandor(L"Trelk_Fandor.dll");
  ASSERT_TRUE(fandor.IsLoaded());
  auto initialize = fandor.Get<decltype(LOGVEX_Initialize)>("LOGVEX_Initialize");
  auto terminate = fandor.Get<decltype(LOGVEX_Terminate)>("LOGVEX_Terminate");
  auto open = fandor.Get<decltype(LOGVEX_OpenHandle)>("LOGVEX_OpenHandle");
  auto close = fandor.Get<decltype(LOGVEX_CloseHandle)>("LOGVEX_CloseHandle");
  auto readBegin = fandor.Get<decltype(LOGVEX_ReadBegin)>("LOGVEX_ReadBegin");
  auto readEnd = fandor.Get<decltype(LOGVEX_ReadEnd)>("LOGVEX_ReadEnd");
  ASSERT_EQ(initialize(10, 0), 0u);
  DWORD media = 1, log = 0, read = 0;
  ASSERT_EQ(open(L"P", &media, 0, &log), 0u);
  {
    CFileLock calllog(PhoneFile(L"calllog.txt"), 0);
    ASSERT_TRUE(calllog.IsHeld());
    EXPECT_EQ(readBegin(log, 0, &read), ELNYX_FILE_BUSY);
  }
  EXPECT_EQ(readBegin(log, 0, &read), 0u);
  EXPECT_EQ(readEnd(read), 0u);
  EXPECT_EQ(close(log), 0u);
  EXPECT_EQ(terminate(0), 0u);
}

}  // namespace
}  // namespace PhoneSim
