#pragma once
#include <string>
#include <vector>
#include "CPageThread.h"
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

  // What the worker does for one id; the support-setup library's Install
  // and the enhancement driver unless a test gives its own.
  typedef void (*Installer)(const std::wstring& deviceId);
  static Installer SetInstaller(Installer installer);

  BEGIN_MSG_MAP(CSupportInstallPage)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    CHAIN_MSG_MAP(CWizardPage<CSupportInstallPage>)
  END_MSG_MAP()

  // Install takes up to two minutes a package while the phone's installer
  // is busy: the page waits this long for the worker when it goes.
  static const DWORD kJoinMilliseconds = 300000;

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);

  std::vector<std::wstring> m_devices;
  CPageThread m_worker;
};
