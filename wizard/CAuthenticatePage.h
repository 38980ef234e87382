#pragma once
#include <string>
#include "CDeviceSearch.h"
#include "CWizardPage.h"
#include "resource.h"

// The passcode for pairing the phone chosen on the search page (digits only).
class CAuthenticatePage : public CWizardPage<CAuthenticatePage> {
public:
  enum { IDD = IDD_AUTHENTICATE_PAGE };

  void SetEntry(const CSearchEntry& entry);
  const CSearchEntry& GetEntry() const { return m_entry; }
  std::wstring GetPasscode() const;

  void OnDeviceArrived(const LNYX_DEVICE& device) override;

  BEGIN_MSG_MAP(CAuthenticatePage)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    COMMAND_HANDLER(IDC_PASSCODE, EN_UPDATE, OnPasscodeUpdate)
    COMMAND_HANDLER(IDC_PASSCODE, EN_CHANGE, OnPasscodeChange)
    CHAIN_MSG_MAP(CWizardPage<CAuthenticatePage>)
  END_MSG_MAP()

  BOOL PreTranslateMessage(MSG* msg) override;

  static const UINT kPasscodeLimit = 16;

private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPasscodeUpdate(WORD, WORD, HWND, BOOL&);
  LRESULT OnPasscodeChange(WORD, WORD, HWND, BOOL&);

  CSearchEntry m_entry;
  std::wstring m_accepted;  // the last passcode text of digits only
};
