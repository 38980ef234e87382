#include <windows.h>
#include <gtest/gtest.h>
#include "SystemInfo.h"
#include "TrayTestSupport.h"

namespace {

OSFacts Facts(DWORD major, DWORD minor, DWORD build, const wchar_t* servicePack, BYTE productType, WORD suite,
              WORD architecture, DWORD edition = 0, bool r2 = false) {
  OSFacts facts = {};
  facts.version.dwOSVersionInfoSize = sizeof(facts.version);
  facts.version.dwMajorVersion = major;
  facts.version.dwMinorVersion = minor;
  facts.version.dwBuildNumber = build;
  facts.version.dwPlatformId = VER_PLATFORM_WIN32_NT;
  wcscpy(facts.version.szCSDVersion, servicePack);
  facts.version.wProductType = productType;
  facts.version.wSuiteMask = suite;
  facts.architecture = architecture;
  facts.productType = edition;
  facts.serverR2 = r2;
  return facts;
}

std::wstring Describe(const OSFacts& facts) {
  std::wstring text;
  EXPECT_TRUE(GetOSDescription(facts, &text));
  return text;
}

TEST(OSDescription, NamesTheKnownSystems) {
  EXPECT_EQ(L"Microsoft Windows Vista Home Premium Edition, 64-bit Service Pack 1 (Build 6001)",
            Describe(Facts(6, 0, 6001, L"Service Pack 1", VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_AMD64, 3)));
  EXPECT_EQ(L"Microsoft Windows XP Professional Service Pack 2 (Build 2600)",
            Describe(Facts(5, 1, 2600, L"Service Pack 2", VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_INTEL)));
  EXPECT_EQ(L"Microsoft  Service Pack 1 (Build 7601)",
            Describe(Facts(6, 1, 7601, L"Service Pack 1", VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_AMD64)));
  EXPECT_EQ(L"Microsoft Windows Server 2003 R2, Enterprise x64 Edition  (Build 0)",
            Describe(Facts(5, 2, 0x0F000000, L"", VER_NT_SERVER, VER_SUITE_ENTERPRISE,
                           PROCESSOR_ARCHITECTURE_AMD64, 0, true)));
}

TEST(OSDescription, OldOrForeignPlatformsHaveNoDescription) {
  std::wstring text;
  EXPECT_FALSE(GetOSDescription(Facts(4, 0, 1381, L"", VER_NT_WORKSTATION, 0, 0), &text));
  OSFacts nine = Facts(5, 0, 0, L"", VER_NT_WORKSTATION, 0, 0);
  nine.version.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  EXPECT_FALSE(GetOSDescription(nine, &text));
}

TEST(OSDescription, TheRunningSystemIsWine) {
  std::wstring text;
  ASSERT_TRUE(GetOSDescription(&text));
  EXPECT_EQ(L"Microsoft  Service Pack 1 (Build 7601)", text);
}

TEST(SystemInformation, RegistryReadersFindTheConnectivitySoftwareOrNot) {
  std::wstring text;
  {
    CTestMachineKey trelk(L"SOFTWARE\\Trelk");
    trelk.Set(L"TrelkVersion", L"7.2.1");
    trelk.Set(L"PlatformPath", L"C:\\Trelk\\Platform", REG_EXPAND_SZ);
    CTestMachineKey cable(L"SOFTWARE\\Trelk\\Configurations\\Orvex");
    cable.Set(L"CableDriverVersion", L"3.1");
    EXPECT_TRUE(ReadTrelkVersion(&text));
    EXPECT_EQ(L"7.2.1", text);
    EXPECT_TRUE(ReadTrelkPlatformPath(&text));
    EXPECT_EQ(L"C:\\Trelk\\Platform", text);
    EXPECT_TRUE(ReadCableDriverVersion(&text));
    EXPECT_EQ(L"3.1", text);
  }
  EXPECT_FALSE(ReadTrelkVersion(&text));
  EXPECT_FALSE(ReadCableDriverVersion(&text));
}

}  // namespace
