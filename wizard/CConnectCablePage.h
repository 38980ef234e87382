#pragma once
#include <string>
#include "CWizardPage.h"
#include "resource.h"

// Waits up to two minutes for a phone on a cable (media 4 or 16).
class CConnectCablePage : public CWizardPage<CConnectCablePage> {
public:
  enum { IDD = IDD_CONNECT_CABLE_PAGE };

  void StartWaiting(HWND mainWindow);
  void StopWaiting();
};
