#pragma once
#include <string>
#include "CWizardPage.h"
#include "resource.h"

// Waits up to a minute for a phone over infrared (media 2).
class CActivateInfraredPage : public CPhoneWaitPage<CActivateInfraredPage> {
public:
  enum { IDD = IDD_ACTIVATE_INFRARED_PAGE };
  static const UINT kWaitMilliseconds = 60000;
  static const int kWaitState = 3;
  static constexpr DWORD kExpectedMedia[2] = {kMediaInfrared, 0};

  BEGIN_MSG_MAP(CActivateInfraredPage)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    CHAIN_MSG_MAP(CPhoneWaitPage<CActivateInfraredPage>)
  END_MSG_MAP()

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
};
