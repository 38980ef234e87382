#pragma once
#include <string>
#include "CWizardPage.h"
#include "resource.h"

// Cable, infrared (always hidden) or Bluetooth, by what the suite offers.
class CSelectMediaPage : public CWizardPage<CSelectMediaPage> {
public:
  enum { IDD = IDD_SELECT_MEDIA_PAGE };

  // Refreshes the media and sets the radio buttons; shown by the dialog.
  void Reset();
  void ShowHint(bool show);
  // IDC_MEDIA_CABLE, IDC_MEDIA_BLUETOOTH, IDC_MEDIA_INFRARED or 0.
  int GetSelectedMedia() const;

  void OnDeviceArrived(const LNYX_DEVICE& device) override;

  BEGIN_MSG_MAP(CSelectMediaPage)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    CHAIN_MSG_MAP(CWizardPage<CSelectMediaPage>)
  END_MSG_MAP()

  BOOL PreTranslateMessage(MSG* msg) override;

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  void Hide(int id);

  // Where the Cable and Infrared buttons sit in the template.
  RECT m_cablePlace = {};
  RECT m_infraredPlace = {};
};
