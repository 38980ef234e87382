#pragma once
#include <string>
#include "CWizardPage.h"
#include "resource.h"

// Lists the connected phones, each once, with their connection media.
class CSetupCompletePage : public CWizardPage<CSetupCompletePage> {
public:
  enum { IDD = IDD_SETUP_COMPLETE_PAGE };

  void SetBluetoothMode(bool bluetoothMode) { m_bluetoothMode = bluetoothMode; }
  void Fill();

private:
  bool m_bluetoothMode = false;
};
