#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "CMediaUtility.h"
#include "ComPtr.h"
#include "PhoneWorld.h"
#include "PhoneWorldMedia.h"
#include "QorsalConnectionManager.h"
#include "SimTestSupport.h"

// The connection manager's stand-in, registered in the prefix, reached
// across processes through its proxy/stub library. It reads the default
// world, which is this test's too.

namespace {

using PhoneSim::CMediumElement;
using PhoneSim::CPhoneWorld;

const GUID kCable = {0x23399C73, 0x7D90, 0x4EA6, {0xBA, 0x20, 0x54, 0x35, 0xE8, 0x50, 0xF7, 0x9E}};

class ConnectionManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetEnvironmentVariableW(L"TRELKSIM_WORLD", nullptr);
    CPhoneWorld world;
    PhoneSim::WriteMediumElements(world, {{L"{23399C73-7D90-4EA6-BA20-5435E850F79E}", 1, false, L"Cable"},
                                          {L"{7892EA7F-B2EB-4A8F-A52A-AFB9CFC46643}", 2, true, L"A plug-in"}});
  }
  void TearDown() override {
    CPhoneWorld world;
    PhoneSim::WriteMediumElements(world, {});
    CoUninitialize();
  }
};

TEST_F(ConnectionManagerTest, ListCrossesProcessesAsAnArrayOfInterfaces) {
  CComPtr<IQorsalConnectionManager> manager;
  ASSERT_EQ(CoCreateInstance(CLSID_QorsalConnectionManager, nullptr, CLSCTX_LOCAL_SERVER,
                             IID_IQorsalConnectionManager, reinterpret_cast<void**>(&manager)),
            S_OK);
  SAFEARRAY* array = nullptr;
  ASSERT_EQ(manager->GetConnections(&array), S_OK);
  ASSERT_TRUE(array);
  VARTYPE type = VT_EMPTY;
  EXPECT_EQ(SafeArrayGetVartype(array, &type), S_OK);
  EXPECT_EQ(type, VT_UNKNOWN);
  LONG upper = -1;
  SafeArrayGetUBound(array, 1, &upper);
  ASSERT_EQ(upper, 1);
  LONG index = 1;
  IUnknown* unknown = nullptr;
  ASSERT_EQ(SafeArrayGetElement(array, &index, &unknown), S_OK);
  CComPtr<IQorsalConnection> element;
  ASSERT_EQ(unknown->QueryInterface(IID_IQorsalConnection, reinterpret_cast<void**>(&element)), S_OK);
  unknown->Release();
  SafeArrayDestroy(array);
  BSTR name = nullptr;
  ASSERT_EQ(element->GetName(&name), S_OK);
  EXPECT_STREQ(name, L"A plug-in");
  SysFreeString(name);
  BYTE medium = 0;
  EXPECT_EQ(element->GetMedium(&medium), S_OK);
  EXPECT_EQ(medium, 2);

  // A GUID by value crosses too: the cable is switched on in the world.
  EXPECT_EQ(manager->EnableConnection(kCable), S_OK);
  CPhoneWorld world;
  std::vector<CMediumElement> elements = PhoneSim::ReadMediumElements(world);
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_TRUE(elements[0].enabled);
}

// The cable's port crosses both ways as a VT_UI1 and lives in the world,
// where phonectl reads and writes it too.
TEST_F(ConnectionManagerTest, CablePortCrossesProcessesAndReachesTheWorld) {
  CPhoneWorld world;
  PhoneSim::WriteCablePort(world, 0);
  CComPtr<IQorsalConnectionManager> manager;
  ASSERT_EQ(CoCreateInstance(CLSID_QorsalConnectionManager, nullptr, CLSCTX_LOCAL_SERVER,
                             IID_IQorsalConnectionManager, reinterpret_cast<void**>(&manager)),
            S_OK);
  CComPtr<IUnknown> unknown;
  const GUID plugin = {0x7892EA7F, 0xB2EB, 0x4A8F, {0xA5, 0x2A, 0xAF, 0xB9, 0xCF, 0xC4, 0x66, 0x43}};
  EXPECT_EQ(manager->GetConnectionSettings(plugin, &unknown), E_INVALIDARG);
  EXPECT_FALSE(unknown);
  ASSERT_EQ(manager->GetConnectionSettings(kCable, &unknown), S_OK);
  CComPtr<IQorsalConnectionSettings> settings;
  ASSERT_EQ(unknown->QueryInterface(IID_IQorsalConnectionSettings, reinterpret_cast<void**>(&settings)), S_OK);

  VARIANT port;
  VariantInit(&port);
  port.vt = VT_UI1;
  port.bVal = 7;
  ASSERT_EQ(settings->SetSetting(0, port), S_OK);
  EXPECT_EQ(PhoneSim::ReadCablePort(world), 7);
  VARIANT read;
  VariantInit(&read);
  ASSERT_EQ(settings->GetSetting(0, &read), S_OK);
  EXPECT_EQ(read.vt, VT_UI1);
  EXPECT_EQ(read.bVal, 7);

  // A value of another type, or another index, is refused and keeps the port.
  VARIANT wide;
  VariantInit(&wide);
  wide.vt = VT_I4;
  wide.lVal = 300;
  EXPECT_EQ(settings->SetSetting(0, wide), E_INVALIDARG);
  EXPECT_EQ(settings->SetSetting(1, port), E_INVALIDARG);
  std::string shown;
  ASSERT_EQ(PhoneSim::Testing::RunPhonectl(L"media port", &shown), 0u);
  EXPECT_EQ(shown.substr(0, shown.find_first_of("\r\n")), "7");

  ASSERT_EQ(PhoneSim::Testing::RunPhonectl(L"media port 12"), 0u);
  EXPECT_EQ(PhoneSim::Testing::RunPhonectl(L"media port 256"), 2u);
  ASSERT_EQ(settings->GetSetting(0, &read), S_OK);
  EXPECT_EQ(read.vt, VT_UI1);
  EXPECT_EQ(read.bVal, 12);
  PhoneSim::WriteCablePort(world, 0);
}

TEST_F(ConnectionManagerTest, MediaUtilityOverTheServer) {
  CMediaUtility utility(false);
  ASSERT_TRUE(utility.Initialize());
  EXPECT_TRUE(utility.IsMediaAvailable(kMediaCable | kMediaBluetooth));
  EXPECT_FALSE(utility.IsMediaAvailable(kMediaInfrared));
  utility.LoadPlugins();
  ASSERT_EQ(utility.GetPlugins().size(), 1u);
  EXPECT_TRUE(utility.GetPlugins()[0].enabled);
  EXPECT_TRUE(utility.EnableMedium(kMediaCable));
  CPhoneWorld world;
  EXPECT_TRUE(PhoneSim::ReadMediumElements(world)[0].enabled);
}

}  // namespace
