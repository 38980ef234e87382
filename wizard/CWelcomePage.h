#pragma once
#include <string>
#include "CWizardPage.h"
#include "resource.h"

// The first page: texts only; the dialog reads its check box 1072 when
// leaving it.
class CWelcomePage : public CWizardPage<CWelcomePage> {
public:
  enum { IDD = IDD_WELCOME_PAGE };
  void SetBluetoothMode(bool bluetoothMode) { m_bluetoothMode = bluetoothMode; }
  bool IsHideWelcomeTicked() const;

  BEGIN_MSG_MAP(CWelcomePage)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    CHAIN_MSG_MAP(CWizardPage<CWelcomePage>)
  END_MSG_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);

  bool m_bluetoothMode = false;
  CXeluStaticBitmapSkin m_pictureSkin;
  CXeluStaticCtrl m_picture;
};
