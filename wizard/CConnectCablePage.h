#pragma once
#include <string>
#include "CWizardPage.h"
#include "resource.h"

// Waits up to two minutes for a phone on a cable (media 4 or 16).
class CConnectCablePage : public CPhoneWaitPage<CConnectCablePage> {
public:
  enum { IDD = IDD_CONNECT_CABLE_PAGE };
  static const UINT kWaitMilliseconds = 120000;
  static const int kWaitState = 2;
  static constexpr DWORD kExpectedMedia[2] = {kMediaCable, kMediaCable2};

  BEGIN_MSG_MAP(CConnectCablePage)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    CHAIN_MSG_MAP(CPhoneWaitPage<CConnectCablePage>)
  END_MSG_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
};
