#include <windows.h>
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include "CSettingsDocument.h"
#include "CWizardSettings.h"
#include "SuiteManufacturer.h"
#include "ZCLText.h"

// The settings file in an application-data folder of each test's own.

namespace {

class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t temp[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, temp);
    m_appData = std::wstring(temp) + L"pairwell-settings-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(m_appData.c_str(), nullptr);
    m_folder = m_appData + L"\\" + SuiteManufacturer() + L"\\PairwellWizard\\";
  }
  void TearDown() override {
    DeleteFileW((m_folder + L"Settings.xml").c_str());
    RemoveDirectoryW(m_folder.c_str());
    RemoveDirectoryW((m_appData + L"\\" + SuiteManufacturer()).c_str());
    RemoveDirectoryW(m_appData.c_str());
    CoUninitialize();
  }
  std::string FileText() {
    std::ifstream file(ZCLWideToAnsi((m_folder + L"Settings.xml").c_str()), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  void WriteFile(const std::string& text) {
    std::ofstream file(ZCLWideToAnsi((m_folder + L"Settings.xml").c_str()), std::ios::binary);
    file << text;
  }

  std::wstring m_appData, m_folder;
};

TEST_F(SettingsTest, FirstStartMakesTheFoldersAndAFileWithOne) {
  CWizardSettings settings(m_appData);
  EXPECT_EQ(settings.Folder(), m_folder);
  ASSERT_TRUE(settings.Open());
  ASSERT_TRUE(settings.Load());
  EXPECT_TRUE(settings.GetHideWelcome());
  std::string text = FileText();
  EXPECT_NE(text.find("<GeneralSettings HideWelcome=\"1\">"), std::string::npos) << text;
  EXPECT_NE(text.find("<HideWelcome"), std::string::npos) << text;

  // The next start reads the file back.
  CWizardSettings again(m_appData);
  ASSERT_TRUE(again.Open());
  ASSERT_TRUE(again.Load());
  EXPECT_TRUE(again.GetHideWelcome());
}

TEST_F(SettingsTest, MissingAttributeReadsFalseAndFalseIsSavedAsZero) {
  CWizardSettings settings(m_appData);
  WriteFile("<?xml version=\"1.0\" encoding=\"UTF-8\"?><GeneralSettings><HideWelcome/></GeneralSettings>");
  ASSERT_TRUE(settings.Open());
  ASSERT_TRUE(settings.Load());
  EXPECT_FALSE(settings.GetHideWelcome());
  settings.SetHideWelcome(true);
  settings.SetHideWelcome(false);
  ASSERT_TRUE(settings.Save());
  std::string text = FileText();
  EXPECT_NE(text.find("HideWelcome=\"0\""), std::string::npos) << text;
  EXPECT_EQ(text.find("HideWelcome=\"1\""), std::string::npos) << text;
}

TEST_F(SettingsTest, UnreadableFileFailsAndReadsFalse) {
  CWizardSettings settings(m_appData);
  WriteFile("<GeneralSettings HideWelcome=\"1\">");
  ASSERT_TRUE(settings.Open());
  EXPECT_FALSE(settings.Load());
  EXPECT_FALSE(settings.GetHideWelcome());
  CWizardSettings unopened(m_appData);
  EXPECT_FALSE(unopened.Load());
  EXPECT_FALSE(unopened.GetHideWelcome());
}

TEST_F(SettingsTest, DocumentRefusesASecondRootAndBadNames) {
  CSettingsDocument document;
  ASSERT_TRUE(document.Create());
  EXPECT_TRUE(document.AddRoot(L"GeneralSettings"));
  EXPECT_FALSE(document.AddRoot(L"Other"));
  EXPECT_FALSE(document.AddChild(L"GeneralSettings", L"has blank"));
  EXPECT_FALSE(document.SetAttribute(L"GeneralSettings", L"a/b", L"1"));
  EXPECT_FALSE(document.SetAttribute(L"", L"HideWelcome", L"1"));
  EXPECT_TRUE(document.SetAttribute(L"GeneralSettings", L"HideWelcome", L"1"));
  EXPECT_TRUE(document.SetAttribute(L"GeneralSettings", L"HideWelcome", L"0"));
  ASSERT_TRUE(document.GetAttribute(L"GeneralSettings", L"HideWelcome"));
  EXPECT_STREQ(document.GetAttribute(L"GeneralSettings", L"HideWelcome"), L"0");
  EXPECT_EQ(document.GetAttribute(L"GeneralSettings", L"Missing"), nullptr);
  EXPECT_EQ(document.GetAttribute(L"NoSuchElement", L"HideWelcome"), nullptr);
}

}  // namespace
