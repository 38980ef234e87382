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

private:
  CSearchEntry m_entry;
};
