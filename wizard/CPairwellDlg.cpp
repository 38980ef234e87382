#include <windows.h>
#include "CPairwellDlg.h"
#include "CPairwellApp.h"
#include "CommandLine.h"

void CPairwellDlg::SetBluetoothMode(const std::wstring& guid) {
  m_bluetoothMode = true;
  m_guid = guid.substr(0, kGuidLimit);
}

LRESULT CPairwellDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  if (CPairwellApp* app = CPairwellApp::Get()) {
    app->SetMainWindow(m_hWnd);
    SetWindowText(app->GetLanguageString(IDS_CAPTION).c_str());
  }
  return TRUE;
}

LRESULT CPairwellDlg::OnCancel(WORD, WORD, HWND, BOOL&) {
  EndDialog(IDCANCEL);
  return 0;
}
