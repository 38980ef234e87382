#include <windows.h>
#include <algorithm>
#include "CSupportInstallPage.h"
#include "SupportInstall.h"
#include "SutrelSupportSetup.h"
#include "ZCLLogger.h"

namespace {

const DWORD kInstallFlags = 0x80;

void InstallForDevice(const std::wstring& deviceId) {
  HRESULT hr = Install(deviceId.c_str(), kInstallFlags);
  if (FAILED(hr)) ZCLLogMessage(2, nullptr, "Pairwell: the support packages were not installed: 0x%08lX", hr);
  if (!NeedsEnhancementDriver(deviceId)) return;
  std::wstring package = EnhancementDriverPackagePath();
  InstallEnhancementDriver(deviceId, package);
}

CSupportInstallPage::Installer volatile g_installer = &InstallForDevice;

}  // namespace

CSupportInstallPage::Installer CSupportInstallPage::SetInstaller(Installer installer) {
  Installer previous = g_installer;
  g_installer = installer ? installer : &InstallForDevice;
  return previous;
}

LRESULT CSupportInstallPage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  InitTitle(IDC_SUPPORT_TITLE);
  const CPageText texts[] = {{IDC_SUPPORT_TITLE, 5153}, {IDC_SUPPORT_TEXT1, 5154}, {IDC_SUPPORT_TEXT2, 5155},
                             {IDC_SUPPORT_TEXT3, 5122}};
  SetTexts(texts, ARRAYSIZE(texts));
  for (int id : {IDC_SUPPORT_TEXT1, IDC_SUPPORT_TEXT2, IDC_SUPPORT_TEXT3}) SetItemFont(id, m_host->TextFont());
  return TRUE;
}

LRESULT CSupportInstallPage::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  m_worker.Stop(kJoinMilliseconds);
  return 0;
}

void CSupportInstallPage::AddDevice(const std::wstring& deviceId) {
  if (deviceId.empty()) return;
  if (std::find(m_devices.begin(), m_devices.end(), deviceId) == m_devices.end()) m_devices.push_back(deviceId);
}

bool CSupportInstallPage::StartInstall(HWND notify) {
  if (m_worker.IsRunning()) return false;
  std::vector<std::wstring> devices = m_devices;
  Installer installer = g_installer;
  // An installation cannot be broken off: the stop event only skips the ids
  // not begun yet.
  return m_worker.Start([devices, installer, notify](HANDLE stop) {
    for (const std::wstring& device : devices) {
      if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return;
      installer(device);
    }
    PostMessageW(notify, WM_INSTALL_DONE, 0, 0);
  });
}
