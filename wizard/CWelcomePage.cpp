#include <windows.h>
#include "CWelcomePage.h"

bool CWelcomePage::IsHideWelcomeTicked() const {
  return ::SendMessageW(GetDlgItem(IDC_HIDE_WELCOME), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

LRESULT CWelcomePage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  InitTitle(IDC_WELCOME_TITLE);
  const CPageText plain[] = {{IDC_WELCOME_TITLE, 5101}, {IDC_WELCOME_TEXT1, 5102}, {IDC_WELCOME_TEXT2, 5103},
                             {IDC_HIDE_WELCOME, 5511}};
  const CPageText bluetooth[] = {{IDC_WELCOME_TITLE, 5135}, {IDC_WELCOME_TEXT1, 5136}, {IDC_WELCOME_TEXT2, 5137},
                                 {IDC_HIDE_WELCOME, 5511}};
  SetTexts(m_bluetoothMode ? bluetooth : plain, ARRAYSIZE(plain));
  for (int id : {IDC_WELCOME_TEXT1, IDC_WELCOME_TEXT2, IDC_HIDE_WELCOME}) SetItemFont(id, m_host->TextFont());
  m_pictureSkin = CXeluStaticBitmapSkin(m_bluetoothMode ? 3030 : 3029);
  m_picture.Attach(GetDlgItem(IDC_WELCOME_PICTURE), &m_pictureSkin);
  return TRUE;
}
