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

private:
  bool m_bluetoothMode = false;
};
