#include <windows.h>
#include "CActivateInfraredPage.h"

constexpr DWORD CActivateInfraredPage::kExpectedMedia[2];

LRESULT CActivateInfraredPage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  InitTitle(IDC_INFRARED_TITLE);
  const CPageText texts[] = {{IDC_INFRARED_TITLE, 5113}, {IDC_INFRARED_TEXT1, 5114}, {IDC_INFRARED_TEXT2, 5115}};
  SetTexts(texts, ARRAYSIZE(texts));
  SetItemFont(IDC_INFRARED_TEXT1, m_host->TextFont());
  SetItemFont(IDC_INFRARED_TEXT2, m_host->TextFont());
  ::ShowWindow(GetDlgItem(IDC_INFRARED_HIDDEN), SW_HIDE);
  InitAnimation(IDC_INFRARED_ANIMATION, 3057, 3059, 250);
  return TRUE;
}
