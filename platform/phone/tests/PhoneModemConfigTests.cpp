#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include "PhoneWorld.h"
#include "LanyxTest.h"
#include "SimTestSupport.h"
#include "TrelkApi.h"
#include "ZCLHandle.h"

// The device management's modem configuration and device type, as the
// wizard's pairing, unpairing and enhancement-driver check use them, and
// phonectl's commands on both.

namespace PhoneSim {
namespace {

using Testing::RunPhonectl;

class PhoneModemConfigTest : public Testing::CLanyxTest {
protected:
  void SetUp() override {
    CLanyxTest::SetUp();
    if (HasFatalFailure()) return;
    CPhone phone;
    ASSERT_TRUE(m_world->ReadPhone(L"P", &phone));
    phone.model = L"RM-1";
    phone.connections[0].address = L"00:11:22:33:44:55";
    ASSERT_TRUE(m_world->PlugPhone(phone));
    init = Named<decltype(RUVON_Initialize)>("RUVON_Initialize");
    term = Named<decltype(RUVON_Terminate)>("RUVON_Terminate");
    open = Named<decltype(LNYXOpenDM)>("LNYXOpenDM");
    close = Named<decltype(LNYXCloseDM)>("LNYXCloseDM");
    config = Named<decltype(LNYXModemConfig)>("LNYXModemConfig");
    freeData = Named<decltype(LNYXFreeModemConfigData)>("LNYXFreeModemConfigData");
    getInfo = Named<decltype(LNYXGetDeviceInfo)>("LNYXGetDeviceInfo");
    freeInfo = Named<decltype(LNYXFreeDeviceInfoStructure)>("LNYXFreeDeviceInfoStructure");
    ASSERT_EQ(init(30, 0), 0u);
    ASSERT_EQ(open(&m_dm), 0u);
  }
  void TearDown() override {
    close(m_dm);
    term(0);
  }
  DWORD Config(const wchar_t* serial, DWORD media, DWORD operation, void** data) {
    LNYX_MODEM_PARAMS params = {};
    return config(m_dm, serial, media, params, operation, data);
  }
  DWORD TypeOf(const wchar_t* serial) {
    LNYX_DEVICE_INFO* info = nullptr;
    EXPECT_EQ(getInfo(m_dm, serial, LNYX_DEVICE_INFO_LEVEL, &info), 0u);
    if (!info) return ~0u;
    DWORD type = info->dwTypeCode;
    EXPECT_EQ(freeInfo(LNYX_DEVICE_INFO_LEVEL, info), 0u);
    return type;
  }

  DWORD m_dm = 0;
  decltype(&RUVON_Initialize) init = nullptr;
  decltype(&RUVON_Terminate) term = nullptr;
  decltype(&LNYXOpenDM) open = nullptr;
  decltype(&LNYXCloseDM) close = nullptr;
  decltype(&LNYXModemConfig) config = nullptr;
  decltype(&LNYXFreeModemConfigData) freeData = nullptr;
  decltype(&LNYXGetDeviceInfo) getInfo = nullptr;
  decltype(&LNYXFreeDeviceInfoStructure) freeInfo = nullptr;
};

TEST_F(PhoneModemConfigTest, EveryOperationIsRecordedInOrderAndItsDataFreed) {
  // Pairing makes the configuration (3, then 1); unpairing removes it (3, then 2).
  for (DWORD operation : {3u, 1u, 3u, 2u}) {
    SCOPED_TRACE(operation);
    void* data = nullptr;
    ASSERT_EQ(Config(L"P", 8, operation, &data), 0u);
    ASSERT_NE(data, nullptr);
    const LNYX_MODEM_CONFIG_DATA* record = static_cast<const LNYX_MODEM_CONFIG_DATA*>(data);
    EXPECT_EQ(record->dwSize, sizeof(LNYX_MODEM_CONFIG_DATA));
    EXPECT_EQ(record->dwOperation, operation);
    EXPECT_EQ(record->dwMedia, 8u);
    EXPECT_EQ(freeData(operation, data), 0u);
    EXPECT_EQ(freeData(operation, data), 0u);  // a second free is left alone
  }
  EXPECT_EQ(freeData(1, nullptr), 0u);
  int foreign = 0;
  EXPECT_EQ(freeData(1, &foreign), 0u);  // never the library's: not freed

  std::vector<CPhoneWorld::CModemOperation> recorded = m_world->ListModemOperations(L"P");
  ASSERT_EQ(recorded.size(), 4u);
  const DWORD expected[] = {3, 1, 3, 2};
  for (size_t i = 0; i < recorded.size(); ++i) {
    EXPECT_EQ(recorded[i].operation, expected[i]);
    EXPECT_EQ(recorded[i].media, 8u);
    EXPECT_EQ(recorded[i].serial, L"P");
  }

  std::string output;
  std::wstring world = L"--world \"" + m_scratch.Folder() + L"\" ";
  EXPECT_EQ(RunPhonectl(world + L"modemconfig P", &output), 0u);
  EXPECT_EQ(output, "3\t8\tP\r\n1\t8\tP\r\n3\t8\tP\r\n2\t8\tP\r\n");
  EXPECT_EQ(RunPhonectl(world + L"modemconfig nobody", &output), 1u);
}

TEST_F(PhoneModemConfigTest, ARefusedCallRecordsNothingAndHandsNoData) {
  void* data = reinterpret_cast<void*>(1);
  EXPECT_EQ(Config(L"nobody", 8, 1, &data), ELNYX_DEVICE_NOT_FOUND);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(Config(L"", 8, 1, &data), ELNYX_DEVICE_NOT_FOUND);
  EXPECT_EQ(Config(nullptr, 8, 1, &data), ELNYX_DEVICE_NOT_FOUND);
  EXPECT_EQ(Config(L"P", 8, 1, nullptr), ELNYX_INVALID_POINTER);
  EXPECT_EQ(Config(L"P", 8, 0, &data), ELNYX_INVALID_PARAMETER);
  EXPECT_EQ(Config(L"P", 8, 4, &data), ELNYX_INVALID_PARAMETER);
  LNYX_MODEM_PARAMS params = {};
  EXPECT_EQ(config(m_dm + 1000, L"P", 8, params, 1, &data), ELNYX_INVALID_HANDLE);
  m_world->InjectFault("LNYXModemConfig", ELNYX_CONNECTION_LOST, 1);
  EXPECT_EQ(Config(L"P", 8, 1, &data), ELNYX_CONNECTION_LOST);
  EXPECT_TRUE(m_world->ListModemOperations(L"P").empty());

  close(m_dm);
  term(0);
  EXPECT_EQ(Config(L"P", 8, 1, &data), ELNYX_NOT_INITIALIZED);
  ASSERT_EQ(init(30, 0), 0u);
  ASSERT_EQ(open(&m_dm), 0u);
  EXPECT_TRUE(m_world->ListModemOperations(L"P").empty());
}

TEST_F(PhoneModemConfigTest, TheDeviceTypeIsThePhonesAndPhonectlSetsIt) {
  EXPECT_NE(TypeOf(L"P"), 0x2000020u);  // a new phone needs no enhancement driver
  std::wstring world = L"--world \"" + m_scratch.Folder() + L"\" ";
  EXPECT_EQ(RunPhonectl(world + L"devicetype P 0x2000020"), 0u);
  EXPECT_EQ(TypeOf(L"P"), 0x2000020u);
  CPhone phone;
  ASSERT_TRUE(m_world->ReadPhone(L"P", &phone));
  EXPECT_EQ(phone.model, L"RM-1");  // the rest of the phone stays
  ASSERT_EQ(phone.connections.size(), 1u);
  EXPECT_EQ(phone.connections[0].address, L"00:11:22:33:44:55");

  EXPECT_TRUE(m_world->SetDeviceType(L"P", 0x2000010));
  EXPECT_EQ(TypeOf(L"P"), 0x2000010u);
  EXPECT_FALSE(m_world->SetDeviceType(L"nobody", 0x2000020));
  EXPECT_EQ(RunPhonectl(world + L"devicetype nobody 0x2000020"), 1u);
  EXPECT_EQ(RunPhonectl(world + L"devicetype P 0x20zz"), 2u);
  EXPECT_EQ(RunPhonectl(world + L"devicetype P"), 2u);
  EXPECT_EQ(TypeOf(L"P"), 0x2000010u);
}

}  // namespace
}  // namespace PhoneSim
