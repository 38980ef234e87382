#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "PhoneWorld.h"
#include "SimTestSupport.h"
#include "TrelkApi.h"
#include "ZCLException.h"

namespace PhoneSim {
namespace {

using PhoneSim::CConnection;
using PhoneSim::CPhone;
using PhoneSim::CPhoneWorld;

using Testing::CScratchWorld;
using Testing::FinishProgram;
using Testing::StartProgram;

class PhoneWorldTest : public ::testing::Test {
protected:
  void SetUp() override { m_world.reset(new CPhoneWorld(m_scratch.Folder())); }
  void TearDown() override { m_world.reset(); }
  CScratchWorld m_scratch;
  std::unique_ptr<CPhoneWorld> m_world;
};

TEST_F(PhoneWorldTest, ThisProcessesWorldIsTheEnvironmentsFolder) {
  EXPECT_EQ(CPhoneWorld::DefaultFolder(), m_scratch.Folder());
}

TEST_F(PhoneWorldTest, PhoneRoundTripsWithAwkwardTexts) {
  CPhone phone;
  phone.serial = L"3520-01";
  phone.model = L"Model = \"7\"";
  phone.manufacturer = L"M\u00e4ker \u4e2d";
  phone.friendlyName = L"two\nlines \\ and a backslash";
  phone.info = 9;
  phone.typeCode = 0x300;
  phone.detail2 = L"RM-1";
  phone.capabilities = 0x21;
  CConnection cable, bluetooth;
  cable.media = 1;
  cable.deviceId = 3;
  bluetooth.media = LNYX_MEDIA_BLUETOOTH;
  bluetooth.name = L"conn.id=5";
  bluetooth.address = L"00:11";
  bluetooth.state = 6;
  phone.connections = {cable, bluetooth};
  ASSERT_TRUE(m_world->PlugPhone(phone));

  CPhone read;
  ASSERT_TRUE(m_world->ReadPhone(L"3520-01", &read));
  EXPECT_TRUE(read == phone);
  EXPECT_EQ(read.friendlyName, phone.friendlyName);
  ASSERT_EQ(read.connections.size(), 2u);
  EXPECT_EQ(read.connections[1].name, L"conn.id=5");
}

TEST_F(PhoneWorldTest, UnplugKeepsThePhoneAndRemoveForgetsIt) {
  CPhone a, b;
  a.serial = L"B";
  b.serial = L"A";
  m_world->PlugPhone(a);
  m_world->PlugPhone(b);
  m_world->WriteFileText(L"phones\\B\\contacts\\01.vcf", "BEGIN:VCARD");
  ASSERT_TRUE(m_world->UnplugPhone(L"B"));
  std::vector<CPhone> connected = m_world->ListPhones(true), all = m_world->ListPhones(false);
  ASSERT_EQ(connected.size(), 1u);
  EXPECT_EQ(connected[0].serial, L"A");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].serial, L"A");  // ordered by serial number
  EXPECT_FALSE(all[1].connected);
  std::string vcard;
  EXPECT_TRUE(m_world->ReadFileText(L"phones\\B\\contacts\\01.vcf", &vcard));

  ASSERT_TRUE(m_world->RemovePhone(L"B"));
  EXPECT_EQ(m_world->ListPhones(false).size(), 1u);
  EXPECT_FALSE(m_world->ReadFileText(L"phones\\B\\contacts\\01.vcf", &vcard));
  EXPECT_FALSE(m_world->UnplugPhone(L"B"));
}

TEST_F(PhoneWorldTest, PhonectlPlugsAKnownPhoneInAgainWithItsIdentity) {
  ASSERT_EQ(Testing::RunPhonectl(L"plug P --model M1 --name Mine --conn 8,BT"), 0u);
  ASSERT_EQ(Testing::RunPhonectl(L"unplug P"), 0u);
  ASSERT_EQ(Testing::RunPhonectl(L"update P --name Renamed"), 0u);
  CPhone phone;
  ASSERT_TRUE(m_world->ReadPhone(L"P", &phone));
  EXPECT_FALSE(phone.connected);
  ASSERT_EQ(Testing::RunPhonectl(L"plug P"), 0u);
  ASSERT_TRUE(m_world->ReadPhone(L"P", &phone));
  EXPECT_TRUE(phone.connected);
  EXPECT_EQ(phone.model, L"M1");
  EXPECT_EQ(phone.friendlyName, L"Renamed");
  ASSERT_EQ(phone.connections.size(), 1u);
  EXPECT_EQ(phone.connections[0].name, L"BT");
  EXPECT_EQ(Testing::RunPhonectl(L"update Q --name X"), 1u);
}

// The file system drops a trailing dot or blank, keeps device names for
// itself, limits a name's length and ignores case: none of that may make one
// phone another's, nor put a phone outside the world.
TEST_F(PhoneWorldTest, EverySerialNumberIsAPhoneOfItsOwn) {
  const std::wstring serials[] = {L"a",   L"a.",     L"a ",   L"NUL",    L"COM1", L"nul.txt",    std::wstring(300, L's'),
                                  L"t\tab", L"..",     L"..\\x", L"a/b",    L"c:d",  L"100%2E",     std::wstring(299, L's')};
  for (size_t i = 0; i < sizeof(serials) / sizeof(serials[0]); ++i) {
    CPhone phone;
    phone.serial = serials[i];
    phone.model = L"model " + std::to_wstring(i);
    ASSERT_TRUE(m_world->PlugPhone(phone)) << i;
    ASSERT_FALSE(m_world->WriteContact(serials[i], CContact{L"", "card " + std::to_string(i)}).empty()) << i;
  }
  std::vector<CPhone> listed = m_world->ListPhones(false);
  ASSERT_EQ(listed.size(), sizeof(serials) / sizeof(serials[0]));
  for (size_t i = 0; i < sizeof(serials) / sizeof(serials[0]); ++i) {
    CPhone phone;
    ASSERT_TRUE(m_world->ReadPhone(serials[i], &phone)) << i;
    EXPECT_EQ(phone.serial, serials[i]);
    EXPECT_EQ(phone.model, L"model " + std::to_wstring(i));
    std::vector<CContact> contacts = m_world->ListContacts(serials[i]);
    ASSERT_EQ(contacts.size(), 1u) << i;
    EXPECT_EQ(contacts[0].vcard, "card " + std::to_string(i));
  }
  // Nothing was made beside the world's own folder.
  EXPECT_EQ(GetFileAttributesW((m_scratch.Folder() + L"\\x").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW((m_scratch.Folder() + L"\\phones\\x").c_str()), INVALID_FILE_ATTRIBUTES);

  ASSERT_TRUE(m_world->RemovePhone(L"a."));
  CPhone a;
  ASSERT_TRUE(m_world->ReadPhone(L"a", &a));
  EXPECT_EQ(a.model, L"model 0");
  EXPECT_EQ(m_world->ListContacts(L"a").size(), 1u);
  EXPECT_FALSE(m_world->ReadPhone(L"a.", &a));

  CPhone empty;
  EXPECT_FALSE(m_world->PlugPhone(empty));
}

// The file system sees "a" and "A" as one name; the phone world does not, and
// refuses the second rather than overwrite the first.
TEST_F(PhoneWorldTest, ASerialNumberDifferingOnlyInCaseNeverTakesAnotherPhone) {
  CPhone lower, upper;
  lower.serial = L"sn-a";
  lower.model = L"lower";
  upper.serial = L"SN-A";
  upper.model = L"upper";
  ASSERT_TRUE(m_world->PlugPhone(lower));
  ASSERT_FALSE(m_world->WriteContact(L"sn-a", CContact{L"", "mine"}).empty());
  try {
    m_world->PlugPhone(upper);
    ADD_FAILURE() << "plugged over another phone";
  } catch (const ZCLException& e) {
    EXPECT_EQ(e.GetCode(), ERROR_ALREADY_EXISTS);
  }
  EXPECT_THROW(m_world->WriteContact(L"SN-A", CContact{L"", "theirs"}), ZCLException);
  EXPECT_TRUE(m_world->ListContacts(L"SN-A").empty());
  EXPECT_FALSE(m_world->RemovePhone(L"SN-A"));
  EXPECT_FALSE(m_world->UnplugPhone(L"SN-A"));
  CPhone read;
  ASSERT_TRUE(m_world->ReadPhone(L"sn-a", &read));
  EXPECT_EQ(read.model, L"lower");
  EXPECT_TRUE(read.connected);
  EXPECT_EQ(m_world->ListContacts(L"sn-a").size(), 1u);
}

// As a person at the command line meets it.
TEST_F(PhoneWorldTest, PhonectlKeepsEveryPluggedSerialNumberAPhoneOfItsOwn) {
  ASSERT_EQ(Testing::RunPhonectl(L"plug a --model first"), 0u);
  ASSERT_EQ(Testing::RunPhonectl(L"add-contact a --vcard BEGIN:VCARD"), 0u);
  ASSERT_EQ(Testing::RunPhonectl(L"plug \"a.\" --model second"), 0u);
  const std::wstring awkward[] = {L"NUL", L"COM1", std::wstring(300, L'9'), L"x\ty"};
  for (const std::wstring& serial : awkward) ASSERT_EQ(Testing::RunPhonectl(L"plug \"" + serial + L"\""), 0u);
  std::vector<CPhone> listed = m_world->ListPhones(false);
  ASSERT_EQ(listed.size(), 6u);
  for (const std::wstring& serial : awkward) {
    CPhone phone;
    EXPECT_TRUE(m_world->ReadPhone(serial, &phone)) << serial.size();
  }
  ASSERT_EQ(Testing::RunPhonectl(L"remove \"a.\""), 0u);
  CPhone a;
  ASSERT_TRUE(m_world->ReadPhone(L"a", &a));
  EXPECT_EQ(a.model, L"first");
  EXPECT_EQ(m_world->ListContacts(L"a").size(), 1u);

  std::string output;
  EXPECT_EQ(Testing::RunPhonectl(L"plug A", &output), 1u);
  EXPECT_NE(output.find("phonectl: "), std::string::npos) << output;
  EXPECT_EQ(Testing::RunPhonectl(L"plug \"\"", &output), 1u);
  EXPECT_NE(output.find("invalid serial number"), std::string::npos) << output;
}

TEST_F(PhoneWorldTest, EveryWriteRaisesTheGeneration) {
  DWORD before = m_world->Generation();
  CPhone phone;
  phone.serial = L"G";
  m_world->PlugPhone(phone);
  m_world->InjectFault("LNYXOpenDM", 1, 1);
  EXPECT_EQ(m_world->Generation(), before + 2);
  ASSERT_EQ(FinishProgram(StartProgram(L"phonectl.exe", L"unplug G")), 0u);
  EXPECT_EQ(m_world->Generation(), before + 3);
}

TEST_F(PhoneWorldTest, FaultsCountDownPerEntryAcrossProcesses) {
  ASSERT_EQ(FinishProgram(StartProgram(L"phonectl.exe", L"fault LNYXGetDevices 0x80200006 2")), 0u);
  m_world->InjectFault("LNYXOpenDM", ELNYX_DEVICE_NOT_FOUND, 1);
  DWORD code = 0;
  EXPECT_FALSE(m_world->TakeFault("LNYXGetDevice", &code));
  EXPECT_TRUE(m_world->TakeFault("LNYXGetDevices", &code));
  EXPECT_EQ(code, ELNYX_CONNECTION_LOST);
  EXPECT_TRUE(m_world->TakeFault("LNYXOpenDM", &code));
  EXPECT_EQ(code, ELNYX_DEVICE_NOT_FOUND);
  EXPECT_FALSE(m_world->TakeFault("LNYXOpenDM", &code));
  EXPECT_TRUE(m_world->TakeFault("LNYXGetDevices", &code));
  EXPECT_FALSE(m_world->TakeFault("LNYXGetDevices", &code));

  m_world->InjectFault("LNYXGetDevices", 1, 5);
  ASSERT_EQ(FinishProgram(StartProgram(L"phonectl.exe", L"clear-faults")), 0u);
  EXPECT_FALSE(m_world->TakeFault("LNYXGetDevices", &code));
}

// Failures before the work, after it and delays are counted apart; a delay
// given no count holds for every call.
TEST_F(PhoneWorldTest, AfterFaultsAndDelaysAreKeptApartFromFailuresBeforeTheWork) {
  ASSERT_EQ(FinishProgram(StartProgram(L"phonectl.exe", L"fault-after TessimCommitOperations 0x80200001 1")), 0u);
  ASSERT_EQ(FinishProgram(StartProgram(L"phonectl.exe", L"delay TessimCommitOperations 250")), 0u);
  DWORD code = 0;
  EXPECT_FALSE(m_world->TakeFault("TessimCommitOperations", &code));
  EXPECT_TRUE(m_world->TakeAfterFault("TessimCommitOperations", &code));
  EXPECT_EQ(code, 0x80200001u);
  EXPECT_FALSE(m_world->TakeAfterFault("TessimCommitOperations", &code));
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(m_world->TakeDelay("TessimCommitOperations", &code));
    EXPECT_EQ(code, 250u);
  }
  m_world->InjectDelay("WEXEL_RegisterNotifyIF", 40000, 1, 1);
  EXPECT_FALSE(m_world->TakeDelay("WEXEL_RegisterNotifyIF", &code));
  EXPECT_TRUE(m_world->TakeDelay("WEXEL_RegisterNotifyIF", &code));
  EXPECT_EQ(code, 40000u);
  EXPECT_NE(FinishProgram(StartProgram(L"phonectl.exe", L"delay TessimCommitOperations")), 0u);
  EXPECT_THROW(m_world->InjectAfterFault("", 1, 1), ZCLException);
  ASSERT_EQ(FinishProgram(StartProgram(L"phonectl.exe", L"clear-faults")), 0u);
  EXPECT_FALSE(m_world->HasFaults());
  EXPECT_FALSE(m_world->TakeDelay("TessimCommitOperations", &code));
}

// The sweep of the sync tests fails one call at a time, by its position.
TEST_F(PhoneWorldTest, AFaultCanHitOnlyTheKthCall) {
  ASSERT_EQ(FinishProgram(StartProgram(L"phonectl.exe", L"fault TessimReadItem 0x80100010 1 2")), 0u);
  m_world->InjectFault("TessimWriteItem", ELNYX_MEMORY_FULL, 2, 1);
  DWORD code = 0;
  EXPECT_FALSE(m_world->TakeFault("TessimReadItem", &code));
  EXPECT_FALSE(m_world->TakeFault("TessimWriteItem", &code));
  EXPECT_FALSE(m_world->TakeFault("TessimReadItem", &code));
  EXPECT_TRUE(m_world->TakeFault("TessimReadItem", &code));
  EXPECT_EQ(code, ELNYX_UNKNOWN_ERROR);
  EXPECT_FALSE(m_world->TakeFault("TessimReadItem", &code));
  EXPECT_TRUE(m_world->TakeFault("TessimWriteItem", &code));
  EXPECT_EQ(code, ELNYX_MEMORY_FULL);
  EXPECT_TRUE(m_world->TakeFault("TessimWriteItem", &code));
  EXPECT_FALSE(m_world->TakeFault("TessimWriteItem", &code));

  // A waiting fault does not hold back one due now on the same entry.
  m_world->InjectFault("TessimEndOperation", 1, 1, 5);
  m_world->InjectFault("TessimEndOperation", 2, 1);
  EXPECT_TRUE(m_world->TakeFault("TessimEndOperation", &code));
  EXPECT_EQ(code, 2u);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(m_world->TakeFault("TessimEndOperation", &code));
  EXPECT_TRUE(m_world->TakeFault("TessimEndOperation", &code));
  EXPECT_EQ(code, 1u);
}

// Every process with the library loaded announces the arrival from its own thread.
TEST_F(PhoneWorldTest, ArrivalReachesEveryProcessWithTheLibraryLoaded) {
  const wchar_t* names[2] = {L"phone_tests.ready.1", L"phone_tests.ready.2"};
  CHandle ready[2], watchers[2];
  for (int i = 0; i < 2; ++i) {
    ready[i].Reset(CreateEventW(nullptr, TRUE, FALSE, names[i]));
    watchers[i] = StartProgram(L"simwatch.exe", std::wstring(names[i]) + L" SN-W 0x08050001");
    ASSERT_TRUE(watchers[i].IsValid());
  }
  for (int i = 0; i < 2; ++i) {
    HANDLE either[2] = {ready[i].Get(), watchers[i].Get()};
    ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 60000), WAIT_OBJECT_0) << "watcher " << i << " not ready";
  }
  CPhone phone;
  phone.serial = L"SN-W";
  phone.info = 5;
  CConnection bluetooth;
  bluetooth.media = LNYX_MEDIA_BLUETOOTH;
  phone.connections.push_back(bluetooth);
  m_world->PlugPhone(phone);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(FinishProgram(std::move(watchers[i])), 0u) << "watcher " << i;
  }
}

}  // namespace
}  // namespace PhoneSim
