#pragma once
#include <string>
#include "AppFxControls.h"
#include "CWizardPage.h"
#include "resource.h"

// Lists the connected phones, each once, with their connection media.
class CSetupCompletePage : public CWizardPage<CSetupCompletePage> {
public:
  enum { IDD = IDD_SETUP_COMPLETE_PAGE };

  void SetBluetoothMode(bool bluetoothMode) { m_bluetoothMode = bluetoothMode; }
  void Fill();
  // The row of a phone: its name, two blanks and its media names.
  static std::wstring RowText(const CMediaDevice& device, IWizardPageHost& host);

  BEGIN_MSG_MAP(CSetupCompletePage)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    CHAIN_MSG_MAP(CWizardPage<CSetupCompletePage>)
  END_MSG_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);

  bool m_bluetoothMode = false;
  CAppFxListCtrl m_list;
  CAppFxImageList m_images;
};
