#include <windows.h>
#include "CAuthenticatePage.h"
#include "AppFxControls.h"

LRESULT CAuthenticatePage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  InitTitle(IDC_AUTH_TITLE);
  const CPageText texts[] = {{IDC_AUTH_TITLE, 5129}, {IDC_AUTH_TEXT, 5122}};
  SetTexts(texts, ARRAYSIZE(texts));
  for (int id : {IDC_AUTH_TEXT, IDC_AUTH_PHONE_NAME, IDC_PASSCODE}) SetItemFont(id, m_host->TextFont());
  CAppFxEdit passcode(GetDlgItem(IDC_PASSCODE));
  passcode.SetLimitText(kPasscodeLimit);
  m_accepted = L"846";
  passcode.SetText(m_accepted);
  return TRUE;
}

void CAuthenticatePage::SetEntry(const CSearchEntry& entry) {
  m_entry = entry;
  SetDlgItemTextW(m_hWnd, IDC_AUTH_PHONE_NAME, entry.name.c_str());
}

std::wstring CAuthenticatePage::GetPasscode() const { return CAppFxEdit(GetDlgItem(IDC_PASSCODE)).GetText(); }

LRESULT CAuthenticatePage::OnPasscodeUpdate(WORD, WORD, HWND, BOOL&) {
  CAppFxEdit passcode(GetDlgItem(IDC_PASSCODE));
  std::wstring text = passcode.GetText();
  if (text.find_first_not_of(L"0123456789") == std::wstring::npos) {
    m_accepted = text;
    return 0;
  }
  passcode.SetText(m_accepted);
  int end = static_cast<int>(m_accepted.size());
  passcode.SetSel(end, end);
  return 0;
}

LRESULT CAuthenticatePage::OnPasscodeChange(WORD, WORD, HWND, BOOL&) {
  if (HWND main = m_host->MainWindow())
    ::EnableWindow(::GetDlgItem(main, IDC_NEXT), GetPasscode().empty() ? FALSE : TRUE);
  return 0;
}

void CAuthenticatePage::OnDeviceArrived(const LNYX_DEVICE& device) {
  for (DWORD i = 0; device.pConnections && i < device.dwNumOfConnections; ++i) {
    const LNYX_CONNECTION_INFO& connection = device.pConnections[i];
    if (connection.dwMedia != LNYX_MEDIA_BLUETOOTH || !connection.pstrAddress) continue;
    if (lstrcmpiW(connection.pstrAddress, m_entry.address.c_str()) != 0) continue;
    m_host->Media().SetNotifySink(nullptr);
    m_host->CheckSupportNeeded(nullptr);  // the dialog does not read the record
    return;
  }
}

BOOL CAuthenticatePage::PreTranslateMessage(MSG* msg) {
  if (IsEnter(msg) && msg->hwnd == GetDlgItem(IDC_PASSCODE)) {
    PostNextToWizard(*m_host);
    return TRUE;
  }
  return CWizardPage<CAuthenticatePage>::PreTranslateMessage(msg);
}
