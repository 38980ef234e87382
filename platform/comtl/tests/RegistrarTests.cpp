#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "ClassRegistration.h"
#include "RegistryDump.h"
#include "TestModule.h"

namespace {

const wchar_t kTestKey[] = L"Software\\Orvex Dialix Tests";

// Reads a text value of a key under HKCU; empty when missing.
std::wstring ReadText(const std::wstring& subKey, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof(buffer);
  if (::RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
    return std::wstring();
  return buffer;
}

bool KeyExists(const std::wstring& subKey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

class RegistrarTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    ASSERT_EQ(S_OK, m_registrar.Create());
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

  CTestModule m_module;
  CRegistrar m_registrar;
};

const wchar_t kScript[] =
    L"HKCU\n{\n NoRemove Software\n {\n  NoRemove 'Orvex Dialix Tests'\n  {\n"
    L"   ForceRemove Script = s 'Script Class'\n   {\n"
    L"    val Program = s '%MODULE%'\n    val Quote = s '%QUOTE%'\n"
    L"    Sub { val Number = d '5' }\n   }\n  }\n }\n}\n";

TEST_F(RegistrarTest, AScriptWritesItsKeysWithTheModulePathQuoted) {
  ASSERT_EQ(S_OK, m_registrar.AddModuleReplacement(nullptr));
  ASSERT_EQ(S_OK, m_registrar.AddReplacement(
                      L"QUOTE", CRegistrar::QuoteForScript(L"it's here").c_str()));
  ASSERT_EQ(S_OK, m_registrar.RunScript(kScript, true));

  std::wstring key = std::wstring(kTestKey) + L"\\Script";
  EXPECT_EQ(L"Script Class", ReadText(key, nullptr));
  EXPECT_EQ(L"\"" + AtlGetModulePath(nullptr) + L"\"", ReadText(key, L"Program"));
  EXPECT_EQ(L"it's here", ReadText(key, L"Quote"));
  DWORD number = 0, size = sizeof(number);
  EXPECT_EQ(ERROR_SUCCESS, ::RegGetValueW(HKEY_CURRENT_USER, (key + L"\\Sub").c_str(), L"Number",
                                          RRF_RT_REG_DWORD, nullptr, &number, &size));
  EXPECT_EQ(5u, number);

  ASSERT_EQ(S_OK, m_registrar.RunScript(kScript, false));
  EXPECT_FALSE(KeyExists(key));
  EXPECT_TRUE(KeyExists(kTestKey));  // NoRemove
}

TEST_F(RegistrarTest, ForceRemoveClearsWhatAnEarlierRegistrationLeft) {
  std::wstring stale = std::wstring(kTestKey) + L"\\Script\\Stale";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, stale.c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &key, nullptr));
  ::RegCloseKey(key);
  ASSERT_EQ(S_OK, m_registrar.AddModuleReplacement(nullptr));
  ASSERT_EQ(S_OK, m_registrar.AddReplacement(L"QUOTE", L"q"));
  ASSERT_EQ(S_OK, m_registrar.RunScript(kScript, true));
  EXPECT_FALSE(KeyExists(stale));
}

TEST_F(RegistrarTest, TheModuleRunsItsResourceScriptsWithModuleAndAppId) {
  ASSERT_EQ(S_OK, m_module.UpdateRegistryFromResource(901, TRUE));
  std::wstring key = std::wstring(kTestKey) + L"\\Module";
  EXPECT_EQ(L"\"" + AtlGetModulePath(nullptr) + L"\"", ReadText(key, L"Program"));
  EXPECT_EQ(L"{6B0F4F4E-5A43-4C9B-9C4B-1D2F0C7A9E11}", ReadText(key, L"AppID"));
  ASSERT_EQ(S_OK, m_module.UpdateRegistryFromResource(901, FALSE));
  EXPECT_FALSE(KeyExists(key));
}

TEST_F(RegistrarTest, AMissingScriptResourceFails) {
  EXPECT_TRUE(FAILED(m_module.UpdateRegistryFromResource(999, TRUE)));
}

// The application-id script each library and program had of its own, with
// its names in it.
const wchar_t kOwnAppIdScript[] =
    L"HKCR\n{\n\tNoRemove AppID\n\t{\n\t\t'%APPID%' = s 'SZembraGUI'\n"
    L"\t\t'SZembraGUI.DLL'\n\t\t{\n\t\t\tval AppID = s '%APPID%'\n\t\t}\n\t}\n}\n";

TEST_F(RegistrarTest, TheApplicationIdTemplateWritesWhatAModulesOwnScriptDid) {
  std::wstring owned, templated, ownedLeft, templatedLeft;
  {
    CClassesRootRedirect root(L"Software\\Orvex Dialix Tests\\Classes");
    ASSERT_TRUE(root.Redirected());
    ASSERT_EQ(S_OK, m_module.AddCommonRGSReplacements(m_registrar.Get()));
    ASSERT_EQ(S_OK, m_registrar.RunScript(kOwnAppIdScript, true));
    owned = DumpRegistry(root.Root(), L"");
    ASSERT_EQ(S_OK, m_registrar.RunScript(kOwnAppIdScript, false));
    ownedLeft = DumpRegistry(root.Root(), L"");
  }
  {
    CClassesRootRedirect root(L"Software\\Orvex Dialix Tests\\Classes");
    ASSERT_TRUE(root.Redirected());
    ASSERT_EQ(S_OK, AtlUpdateAppIdRegistry(L"SZembraGUI", L"SZembraGUI.DLL", TRUE));
    templated = DumpRegistry(root.Root(), L"");
    ASSERT_EQ(S_OK, AtlUpdateAppIdRegistry(L"SZembraGUI", L"SZembraGUI.DLL", FALSE));
    templatedLeft = DumpRegistry(root.Root(), L"");
  }
  EXPECT_NE(std::wstring::npos, owned.find(L"\\AppID\\SZembraGUI.DLL [AppID] 1 {6B0F4F4E"));
  EXPECT_EQ(owned, templated);
  EXPECT_EQ(L"\n\\AppID\n", templatedLeft);
  EXPECT_EQ(ownedLeft, templatedLeft);
}

TEST(RegistrarQuoting, QuotesInsideATextAreDoubled) {
  EXPECT_EQ(L"a''b''''", CRegistrar::QuoteForScript(L"a'b''"));
  EXPECT_EQ(L"C:\\Program Files\\x.exe", CRegistrar::QuoteForScript(L"C:\\Program Files\\x.exe"));
}

}  // namespace
