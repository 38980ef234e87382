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
};
