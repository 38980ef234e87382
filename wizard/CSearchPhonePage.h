#pragma once
#include <string>
#include "CDeviceSearch.h"
#include "CWizardPage.h"
#include "resource.h"

// Lists known devices or searches for them through the search worker, and
// unpairs the selected one. Its result and unpair watchers only post to the
// page; they stop on an event and are joined when the page goes.
class CSearchPhonePage : public CWizardPage<CSearchPhonePage> {
public:
  enum { IDD = IDD_SEARCH_PHONE_PAGE };
  // Lists the known devices (search false) or searches (true).
  void Start(bool search);
  // The selected row's entry; false when none is selected.
  bool GetSelectedEntry(CSearchEntry* entry) const;
  void Unpair();
  // The Bluetooth-mode guid handed over by the dialog.
  void SetGuid(const std::wstring& guid) { m_guid = guid; }

private:
  std::wstring m_guid;
};
