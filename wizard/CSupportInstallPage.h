#pragma once
#include <string>
#include <vector>
#include "CWizardPage.h"
#include "resource.h"

// The phones (device ids) that need the support packages, and their
// installation on a worker thread, which posts WM_INSTALL_DONE to the
// window given when every id is done.
class CSupportInstallPage : public CWizardPage<CSupportInstallPage> {
public:
  enum { IDD = IDD_SUPPORT_INSTALL_PAGE };
  // Each id is listed once.
  void AddDevice(const std::wstring& deviceId);
  std::vector<std::wstring> GetDevices() const { return m_devices; }
  // False when an installation runs already or cannot start.
  bool StartInstall(HWND notify);

private:
  std::vector<std::wstring> m_devices;
};
