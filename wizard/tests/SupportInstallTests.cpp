#include <windows.h>
#include <gtest/gtest.h>
#include <fstream>
#include <string>
#include <vector>
#include "CLockable.h"
#include "CSupportInstallPage.h"
#include "PageTestHost.h"
#include "SupportInstall.h"
#include "ZCLText.h"
#include "ZCLWait.h"

// The support page's installation worker, the enhancement-driver check and
// the driver package's installation over the simulated phone.

namespace {

using PhoneSim::Testing::RunPhonectl;

const wchar_t kDriverKey[] = L"Software\\Orvex Dialix";

// The ids the worker installed for, in order, and the count seen when the
// done message arrived.
CLockable g_lock;
std::vector<std::wstring> g_installed;
HANDLE g_release = nullptr;
size_t g_installedAtDone = 0;
int g_doneMessages = 0;

void RecordInstall(const std::wstring& id) {
  if (g_release) WaitForSingleObject(g_release, 20000);
  CLockGuard lock(&g_lock);
  g_installed.push_back(id);
}

LRESULT CALLBACK DoneProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INSTALL_DONE) {
    CLockGuard lock(&g_lock);
    g_installedAtDone = g_installed.size();
    ++g_doneMessages;
  }
  return DefWindowProcW(window, msg, wParam, lParam);
}

// The driver values of HKLM, as the test needs them, and back afterwards.
class CDriverValues {
public:
  CDriverValues() { m_had = Read(L"PhoneDriversPath", &m_folder) && Read(L"EnhancementDriverPackageName", &m_name); }
  ~CDriverValues() {
    if (m_had)
      Set(m_folder, m_name);
    else
      Clear();
  }
  static bool Set(const std::wstring& folder, const std::wstring& name) {
    CRegistryKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr))
      return false;
    auto put = [&](const wchar_t* value, const std::wstring& text) {
      return RegSetValueExW(key.Get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    };
    return put(L"PhoneDriversPath", folder) && put(L"EnhancementDriverPackageName", name);
  }
  static void Clear() {
    CRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_SET_VALUE, key.Put())) return;
    RegDeleteValueW(key.Get(), L"PhoneDriversPath");
    RegDeleteValueW(key.Get(), L"EnhancementDriverPackageName");
  }

private:
  static bool Read(const wchar_t* value, std::wstring* text) {
    WCHAR data[MAX_PATH] = {0};
    DWORD bytes = sizeof(data) - sizeof(WCHAR);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kDriverKey, value, RRF_RT_REG_SZ, nullptr, data, &bytes)) return false;
    *text = data;
    return true;
  }
  bool m_had;
  std::wstring m_folder, m_name;
};

class SupportInstallTest : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_host.reset(new CPageTestHost({1}));
    ASSERT_TRUE(m_host->IsReady());
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = &DoneProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PairwellInstallDone";
    RegisterClassExW(&wc);
    m_notify = CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(m_notify);
    CLockGuard lock(&g_lock);
    g_installed.clear();
    g_installedAtDone = 0;
    g_doneMessages = 0;
  }
  void TearDown() override {
    CSupportInstallPage::SetInstaller(nullptr);
    if (m_notify) DestroyWindow(m_notify);
    m_host.reset();
    CoUninitialize();
  }
  // A package file of the test's own in the scratch world.
  std::wstring MakePackage(const std::wstring& folder, const wchar_t* name) {
    std::ofstream file(ZCLWideToAnsi((folder + L"\\" + name).c_str()), std::ios::binary);
    file << "enhancement driver";
    return folder + L"\\" + name;
  }
  std::string Packages(const wchar_t* serial) {
    std::string packages;
    RunPhonectl(std::wstring(L"packages ") + serial, &packages);
    return packages;
  }

  std::unique_ptr<CPageTestHost> m_host;
  HWND m_notify = nullptr;
};

TEST_F(SupportInstallTest, EachIdIsInstalledOnceInOrderAndDoneIsPostedAfterTheLast) {
  CSupportInstallPage page;
  ASSERT_TRUE(page.CreatePage(m_host->Frame(), m_host.get()));
  for (const wchar_t* id : {L"PHONE-A", L"PHONE-B", L"PHONE-A", L"", L"PHONE-C", L"PHONE-B"}) page.AddDevice(id);
  EXPECT_EQ(page.GetDevices(), (std::vector<std::wstring>{L"PHONE-A", L"PHONE-B", L"PHONE-C"}));

  CHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_release = release.Get();
  CSupportInstallPage::SetInstaller(&RecordInstall);
  ASSERT_TRUE(page.StartInstall(m_notify));
  EXPECT_FALSE(page.StartInstall(m_notify)) << "one installation at a time";
  SetEvent(release.Get());
  ASSERT_TRUE(PumpUntil([] { return g_doneMessages > 0; }));
  g_release = nullptr;
  CLockGuard lock(&g_lock);
  EXPECT_EQ(g_installed, (std::vector<std::wstring>{L"PHONE-A", L"PHONE-B", L"PHONE-C"}));
  EXPECT_EQ(g_installedAtDone, 3u);
  EXPECT_EQ(g_doneMessages, 1);
  SavePageScreenshot(L"page_support");
}

TEST_F(SupportInstallTest, OnlyAPhoneOfTheEnhancementTypeNeedsTheDriver) {
  ASSERT_EQ(RunPhonectl(L"plug ENH --name Enhanced --conn 4,cable,,901"), 0u);
  ASSERT_EQ(RunPhonectl(L"plug PLAIN --name Plain --conn 4,cable,,902"), 0u);
  ASSERT_EQ(RunPhonectl(L"devicetype ENH 0x2000020"), 0u);
  ASSERT_EQ(RunPhonectl(L"devicetype PLAIN 0x2000021"), 0u);
  EXPECT_TRUE(NeedsEnhancementDriver(L"ENH"));
  EXPECT_FALSE(NeedsEnhancementDriver(L"PLAIN"));
  EXPECT_FALSE(NeedsEnhancementDriver(L"NOT-THERE"));
}

TEST_F(SupportInstallTest, ThePackagePathNeedsBothValues) {
  CDriverValues keep;
  ASSERT_TRUE(CDriverValues::Set(L"C:\\Drivers", L"Enhance.sis"));
  EXPECT_EQ(EnhancementDriverPackagePath(), L"C:\\Drivers\\Enhance.sis");
  ASSERT_TRUE(CDriverValues::Set(L"C:\\Drivers", L""));
  EXPECT_EQ(EnhancementDriverPackagePath(), L"");
  CDriverValues::Clear();
  EXPECT_EQ(EnhancementDriverPackagePath(), L"");
}

TEST_F(SupportInstallTest, TheInstallationPutsTheDriverOnAnEnhancementPhoneOnly) {
  CDriverValues keep;
  WCHAR temp[MAX_PATH] = {0};
  GetTempPathW(MAX_PATH, temp);
  std::wstring package = MakePackage(temp, L"PagesEnhancement.sis");
  ASSERT_TRUE(CDriverValues::Set(std::wstring(temp).substr(0, wcslen(temp) - 1), L"PagesEnhancement.sis"));
  ASSERT_EQ(RunPhonectl(L"plug ENH --name Enhanced --conn 4,cable,,911"), 0u);
  ASSERT_EQ(RunPhonectl(L"plug PLAIN --name Plain --conn 4,cable,,912"), 0u);
  ASSERT_EQ(RunPhonectl(L"devicetype ENH 0x2000020"), 0u);

  CSupportInstallPage page;
  ASSERT_TRUE(page.CreatePage(m_host->Frame(), m_host.get()));
  page.AddDevice(L"ENH");
  page.AddDevice(L"PLAIN");
  ASSERT_TRUE(page.StartInstall(m_notify));
  ASSERT_TRUE(ZCLWaitUntil([] { return g_doneMessages > 0; }, 120000));
  EXPECT_NE(Packages(L"ENH").find("PagesEnhancement.sis"), std::string::npos) << Packages(L"ENH");
  EXPECT_EQ(Packages(L"PLAIN").find("PagesEnhancement.sis"), std::string::npos) << Packages(L"PLAIN");
  DeleteFileW(package.c_str());
}

}  // namespace
