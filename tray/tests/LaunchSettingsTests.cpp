#include <windows.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include "CLaunchSettings.h"
#include "TrayTestSupport.h"

namespace {

const wchar_t kFirefoxKey[] = L"SOFTWARE\\Mozilla\\Mozilla Firefox";

class LaunchSettings : public testing::Test {
protected:
  std::wstring File() const { return m_folder.File(L"OrvexDialixTray.cfg"); }
  void WriteFile(const std::string& inner) {
    WriteBytes(File(), "<Configuration><OrvexDialixTray>" + inner + "</OrvexDialixTray></Configuration>");
  }
  CTempFolder m_folder;
};

TEST_F(LaunchSettings, WithoutAFileEverySettingHasItsDefault) {
  CTestMachineKey firefox(kFirefoxKey);
  firefox.Set(L"CurrentVersion", L"99.0 (x64 en-US)");
  CTestMachineKey main(std::wstring(kFirefoxKey) + L"\\99.0 (x64 en-US)\\Main");
  main.Set(L"PathToExe", L"C:\\Firefox\\firefox.exe");

  CLaunchSettings settings;
  EXPECT_TRUE(settings.Load(File().c_str()));
  EXPECT_EQ(L"Firefox", settings.GetSelectedBrowser());
  EXPECT_EQ(L"C:\\Firefox\\firefox.exe", settings.GetBrowserPath(L"Firefox"));
  EXPECT_EQ(L"-dialix", settings.GetBrowserCommandLine(L"Firefox"));
  EXPECT_EQ(CLaunchSettings::GetProgramFolder(nullptr) + L".\\Firefox_ext\\chrome\\content\\html\\orvex-dialix.html",
            settings.GetBrowserCommandLine(L"IE"));
  EXPECT_EQ(L".\\Pairwell.exe", settings.GetWizardPath());
  EXPECT_EQ(L"", settings.GetWizardCommandLine());
}

TEST_F(LaunchSettings, FirefoxNotInstalledGivesAnEmptyPath) {
  CLaunchSettings settings;
  settings.Load(nullptr);
  EXPECT_EQ(L"", settings.GetBrowserPath(L"Firefox"));
}

#ifdef _WIN64
// A 32-bit installer writes into the 32-bit view of the registry.
TEST_F(LaunchSettings, The64BitBuildAlsoReadsThe32BitView) {
  CTestMachineKey firefox(kFirefoxKey, KEY_WOW64_32KEY);
  firefox.Set(L"CurrentVersion", L"60.0");
  CTestMachineKey main(std::wstring(kFirefoxKey) + L"\\60.0\\Main", KEY_WOW64_32KEY);
  main.Set(L"PathToExe", L"C:\\Firefox32\\firefox.exe");
  EXPECT_EQ(L"C:\\Firefox32\\firefox.exe", CLaunchSettings::GetFirefoxPath());
}
#endif

TEST_F(LaunchSettings, OnlyTheExactTextIESelectsInternetExplorer) {
  CTestMachineKey ie(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE");
  ie.Set(nullptr, L"C:\\IE\\iexplore.exe");
  for (const char* stored : {"ie", "Internet Explorer", "Ie"}) {
    WriteFile(std::string("<SelectedBrowser>") + stored + "</SelectedBrowser><Firefox><Path>C:\\ff.exe</Path></Firefox>");
    CLaunchSettings settings;
    settings.Load(File().c_str());
    EXPECT_EQ(L"C:\\ff.exe", settings.GetBrowserPath(settings.GetSelectedBrowser())) << stored;
  }
  WriteFile("<SelectedBrowser>IE</SelectedBrowser><IE><Path>C:\\never.exe</Path></IE>");
  CLaunchSettings settings;
  settings.Load(File().c_str());
  EXPECT_EQ(L"C:\\IE\\iexplore.exe", settings.GetBrowserPath(settings.GetSelectedBrowser()));
  EXPECT_FALSE(settings.SetBrowserPath(L"IE", L"C:\\other.exe"));
  EXPECT_EQ(L"C:\\IE\\iexplore.exe", settings.GetBrowserPath(L"IE"));
}

TEST_F(LaunchSettings, StoredValuesWinAndEmptyElementsGiveTheDefault) {
  WriteFile("<Firefox><CommandLine></CommandLine><Path>C:\\ff.exe</Path></Firefox>"
            "<PWZ><CommandLine>/instsupp</CommandLine></PWZ>");
  CLaunchSettings settings;
  settings.Load(File().c_str());
  EXPECT_EQ(L"-dialix", settings.GetBrowserCommandLine(L"Firefox"));
  EXPECT_EQ(L"C:\\ff.exe", settings.GetBrowserPath(L"Firefox"));
  EXPECT_EQ(L"/instsupp", settings.GetWizardCommandLine());
}

TEST_F(LaunchSettings, WriteBackWritesOnlyWhatDiffersFromTheDefault) {
  CLaunchSettings defaults;
  defaults.Load(nullptr);
  defaults.WriteBack(File());
  EXPECT_EQ(std::string::npos, ReadBytes(File()).find("OrvexDialixTray")) << ReadBytes(File());

  CLaunchSettings changed;
  changed.Load(nullptr);
  changed.SetSelectedBrowser(L"IE");
  changed.SetBrowserCommandLine(L"Firefox", L"-dialix");
  changed.WriteBack(File());
  std::string bytes = ReadBytes(File());
  EXPECT_NE(std::string::npos, bytes.find("<SelectedBrowser>IE</SelectedBrowser>")) << bytes;
  EXPECT_EQ(std::string::npos, bytes.find("Firefox")) << bytes;
  EXPECT_EQ(std::string::npos, bytes.find("PWZ")) << bytes;
}

TEST_F(LaunchSettings, WriteBackPassesOnAFailedSave) {
  CLaunchSettings settings;
  settings.Load(nullptr);
  settings.SetSelectedBrowser(L"IE");
  EXPECT_THROW(settings.WriteBack(m_folder.File(L"missing\\OrvexDialixTray.cfg")), std::runtime_error);
}

TEST_F(LaunchSettings, MissingEntryNamesSectionAndKey) {
  CLaunchSettings settings;  // never loaded: nothing cached
  try {
    settings.GetWizardPath();
    FAIL() << "nothing thrown";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ("OrvexDialixTray/PWZ:Path", e.what());
  }
  EXPECT_FALSE(settings.SetBrowserPath(L"Firefox", L"x"));
}

TEST_F(LaunchSettings, RelativePathsAreJoinedToTheProgramFolder) {
  std::wstring folder = CLaunchSettings::GetProgramFolder(nullptr);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(L'\\', folder.back());
  EXPECT_EQ(folder + L".\\Pairwell.exe", CLaunchSettings::ResolvePath(L".\\Pairwell.exe"));
  EXPECT_EQ(L"C:\\abs.exe", CLaunchSettings::ResolvePath(L"C:\\abs.exe"));
  EXPECT_EQ(L"", CLaunchSettings::ResolvePath(L""));
  EXPECT_EQ(folder + L"OrvexDialixTray.cfg", CLaunchSettings::GetConfigurationPath());
}

}  // namespace
