#include <windows.h>
#include "CConnectCablePage.h"

constexpr DWORD CConnectCablePage::kExpectedMedia[2];

LRESULT CConnectCablePage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  InitTitle(IDC_CABLE_TITLE);
  const CPageText texts[] = {{IDC_CABLE_TITLE, 5110}, {IDC_CABLE_TEXT, 5111}};
  SetTexts(texts, ARRAYSIZE(texts));
  SetItemFont(IDC_CABLE_TEXT, m_host->TextFont());
  SetDlgItemTextW(m_hWnd, IDC_CABLE_NOTE, L"");
  SetItemFont(IDC_CABLE_NOTE, m_host->BoldFont());
  InitAnimation(IDC_CABLE_ANIMATION, 3047, 3056, 130);
  return TRUE;
}
