#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "CSettingsDocument.h"

// The wizard's one user setting in "Settings.xml" of the per-user folder
// "<application data>\<manufacturer>\PairwellWizard\". The root's attribute
// "HideWelcome" keeps its stored values: "1", written on the first start,
// is what the main dialog reads as "show the welcome page". Used on the main
// thread only.
class CWizardSettings {
public:
  // The user's roaming application-data folder unless another is given.
  explicit CWizardSettings(const std::wstring& appDataFolder = L"");

  bool Open();
  bool Load();
  bool Save();
  bool GetHideWelcome();
  void SetHideWelcome(bool hide);

  // Ends with a backslash; empty when it could not be made.
  const std::wstring& Folder() const { return m_folder; }
  std::wstring FilePath() const { return m_folder + L"Settings.xml"; }

private:
  bool EnsureFolder();

  std::unique_ptr<CSettingsDocument> m_document;
  std::wstring m_appData;
  std::wstring m_folder;
};
