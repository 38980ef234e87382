#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "CResourceLocator.h"
#include "CResourceModule.h"
#include "ZCLHandle.h"

// The suite's language and skin modules as built beside the tests, found
// through registry keys of each test's own.

namespace {

std::wstring BinFolder() {
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring BuiltModule(const wchar_t* name) { return BinFolder() + L"\\Pairwell\\" + name; }

class LocatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::wstring id = std::to_wstring(GetCurrentProcessId());
    m_keyPath = L"SOFTWARE\\PairwellTest" + id + L"\\Sutrel";
    m_subFolder = L"PairwellTest" + id;
    m_other = BinFolder() + L"\\PairwellTestOther" + id;
    CreateDirectoryW((BinFolder() + L"\\" + m_subFolder).c_str(), nullptr);
    CreateDirectoryW(m_other.c_str(), nullptr);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"SOFTWARE\\PairwellTest" + std::to_wstring(GetCurrentProcessId())).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\PairwellTest" + std::to_wstring(GetCurrentProcessId())).c_str());
    for (const std::wstring& folder : {BinFolder() + L"\\" + m_subFolder, m_other}) {
      for (const wchar_t* name : {L"Lang_ENG.OLR", L"ENG.OLR", L"Resource_Default.OGR", L"Resource_Blue.OGR"})
        DeleteFileW((folder + L"\\" + name).c_str());
      RemoveDirectoryW(folder.c_str());
    }
  }
  void SetValue(HKEY root, const wchar_t* name, const void* data, DWORD bytes) {
    CRegistryKey key;
    ASSERT_EQ(RegCreateKeyExW(root, m_keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_SZ, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
  }
  void SetText(HKEY root, const wchar_t* name, const std::wstring& text) {
    SetValue(root, name, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  // The module copied under another name into a test folder.
  void Place(const std::wstring& folder, const wchar_t* built, const wchar_t* name) {
    ASSERT_TRUE(CopyFileW(BuiltModule(built).c_str(), (folder + L"\\" + name).c_str(), FALSE));
  }
  std::wstring SubFolder() { return BinFolder() + L"\\" + m_subFolder; }
  void Initialise(CResourceLocator& locator) {
    locator.Initialise(GetModuleHandleW(nullptr), m_keyPath, m_subFolder);
  }

  std::wstring m_keyPath, m_subFolder, m_other;
};

TEST(ResourceModule, StringIsLoadedOnceAndAMissingOneIsNotCached) {
  CResourceModule module;
  ASSERT_TRUE(module.Load(BuiltModule(L"Lang_ENG.OLR")));
  EXPECT_EQ(module.DisplayName(), L"English");
  const std::wstring* first = module.GetString(5001);
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->empty());
  EXPECT_EQ(module.GetString(5001), first);
  EXPECT_EQ(module.CachedCount(), 1u);
  EXPECT_EQ(module.GetString(4242), nullptr);
  EXPECT_EQ(module.CachedCount(), 1u);
  EXPECT_TRUE(module.Unload());
  EXPECT_EQ(module.GetString(5001), nullptr);
  EXPECT_FALSE(module.Unload());
}

TEST_F(LocatorTest, ThemeUnderTheUserBeatsTheMachinesResource) {
  Place(SubFolder(), L"Resource_Default.OGR", L"Resource_Blue.OGR");
  Place(SubFolder(), L"Resource_Default.OGR", L"Resource_Default.OGR");
  Place(SubFolder(), L"Lang_ENG.OLR", L"Lang_ENG.OLR");
  SetText(HKEY_CURRENT_USER, L"Theme", L"Blue");
  SetText(HKEY_LOCAL_MACHINE, L"Current resource", L"Default");
  SetText(HKEY_LOCAL_MACHINE, L"Current Language", L"ENG");
  CResourceLocator locator;
  Initialise(locator);
  ASSERT_TRUE(locator.LoadModules());
  EXPECT_EQ(locator.FindModuleFile(HKEY_CURRENT_USER, L"Theme", CResourceLocator::Resource),
            SubFolder() + L"\\Resource_Blue.OGR");
  EXPECT_EQ(locator.GetString(5009), L"OK");
  EXPECT_EQ(locator.GetString(4242), L"");
}

TEST_F(LocatorTest, SubFolderComesBeforeLanguagePathAndTheLastValueStaysTheLanguage) {
  Place(SubFolder(), L"Lang_ENG.OLR", L"Lang_ENG.OLR");
  Place(m_other, L"Lang_ENG.OLR", L"Lang_ENG.OLR");
  Place(m_other, L"Resource_Default.OGR", L"Resource_Default.OGR");
  SetText(HKEY_LOCAL_MACHINE, L"Current Language", L"ENG");
  SetText(HKEY_LOCAL_MACHINE, L"Language Path", m_other);
  SetText(HKEY_LOCAL_MACHINE, L"Resource Path", m_other);
  SetText(HKEY_LOCAL_MACHINE, L"Current resource", L"Default");
  CResourceLocator locator;
  Initialise(locator);
  EXPECT_EQ(locator.FindModuleFile(HKEY_LOCAL_MACHINE, L"Current Language", CResourceLocator::Language),
            SubFolder() + L"\\Lang_ENG.OLR");
  ASSERT_TRUE(DeleteFileW((SubFolder() + L"\\Lang_ENG.OLR").c_str()));
  ASSERT_TRUE(locator.LoadModules());
  EXPECT_EQ(locator.LanguageModule().Path(), m_other + L"\\Lang_ENG.OLR");
  // The help file is named after the language, not after the folder.
  EXPECT_EQ(locator.GetLastValue(), L"ENG");
}

TEST_F(LocatorTest, UnterminatedValueIsReadToItsEnd) {
  Place(SubFolder(), L"Lang_ENG.OLR", L"Lang_ENG.OLR");
  SetValue(HKEY_LOCAL_MACHINE, L"Current Language", L"ENG", 3 * sizeof(wchar_t));
  CResourceLocator locator;
  Initialise(locator);
  EXPECT_EQ(locator.FindModuleFile(HKEY_LOCAL_MACHINE, L"Current Language", CResourceLocator::Language),
            SubFolder() + L"\\Lang_ENG.OLR");
  // A value that fills the whole buffer without a terminator.
  std::wstring full(260, L'E');
  SetValue(HKEY_LOCAL_MACHINE, L"Current Language", full.c_str(), 520);
  EXPECT_EQ(locator.FindModuleFile(HKEY_LOCAL_MACHINE, L"Current Language", CResourceLocator::Language), L"");
  EXPECT_EQ(locator.GetLastValue(), full);
}

TEST_F(LocatorTest, ValuesThatReachAnotherFolderFindNothing) {
  Place(SubFolder(), L"Lang_ENG.OLR", L"Lang_ENG.OLR");
  Place(m_other, L"Lang_ENG.OLR", L"ENG.OLR");
  CResourceLocator locator;
  Initialise(locator);
  // The last two would reach the other folder's ENG.OLR through the sub-folder.
  std::wstring other = m_other.substr(m_other.find_last_of(L'\\') + 1);
  for (const std::wstring& value : {std::wstring(L".."), std::wstring(L"/ENG"), std::wstring(L""),
                                    L"x\\..\\..\\" + other + L"\\ENG", L"x/../../" + other + L"/ENG"}) {
    SetText(HKEY_LOCAL_MACHINE, L"Current Language", value);
    EXPECT_EQ(locator.FindModuleFile(HKEY_LOCAL_MACHINE, L"Current Language", CResourceLocator::Language), L"")
        << "value " << testing::PrintToString(value);
  }
  EXPECT_FALSE(locator.LoadModules());
  EXPECT_EQ(locator.GetLanguageModule(), nullptr);
}

TEST(Locator, NothingBeforeInitialisation) {
  CResourceLocator locator;
  EXPECT_FALSE(locator.LoadModules());
  EXPECT_EQ(locator.GetProgramFolder(), L"");
}

}  // namespace
