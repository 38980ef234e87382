#pragma once
#include <windows.h>
#include <string>
#include "AppFxApp.h"
#include "resource.h"

// The wizard's frame. Until its pages exist it shows dialog 102 with the
// wizard's caption and keeps what the command line gave it; Cancel and
// closing end it. Used on the main thread only.
class CPairwellDlg : public CAppFxDialog<CPairwellDlg> {
public:
  enum { IDD = IDD_PAIRWELL_DIALOG };

  // Bluetooth mode with the phone's address (at most 38 characters).
  void SetBluetoothMode(const std::wstring& guid);
  // Opens on the support installation page for that device.
  void SetSupportDevice(const std::wstring& deviceId) { m_deviceId = deviceId; }
  bool IsBluetoothMode() const { return m_bluetoothMode; }
  const std::wstring& Guid() const { return m_guid; }
  const std::wstring& SupportDevice() const { return m_deviceId; }

  BEGIN_MSG_MAP(CPairwellDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    COMMAND_ID_HANDLER(IDC_WIZARD_CANCEL, OnCancel)
    CHAIN_MSG_MAP(CAppFxDialog<CPairwellDlg>)
  END_MSG_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCancel(WORD, WORD, HWND, BOOL&);

  bool m_bluetoothMode = false;
  std::wstring m_guid;
  std::wstring m_deviceId;
};
