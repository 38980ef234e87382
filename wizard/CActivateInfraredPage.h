#pragma once
#include <string>
#include "CWizardPage.h"
#include "resource.h"

// Waits up to a minute for a phone over infrared (media 2).
class CActivateInfraredPage : public CWizardPage<CActivateInfraredPage> {
public:
  enum { IDD = IDD_ACTIVATE_INFRARED_PAGE };

  void StartWaiting(HWND mainWindow);
  void StopWaiting();
};
