#include <windows.h>
#include <shlobj.h>
#include "CWizardSettings.h"
#include "SuiteManufacturer.h"

namespace {

const wchar_t kRoot[] = L"GeneralSettings";
const wchar_t kHideWelcome[] = L"HideWelcome";

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::wstring& path) {
  return IsDirectory(path) || CreateDirectoryW(path.c_str(), nullptr) || IsDirectory(path);
}

std::wstring RoamingAppData() {
  WCHAR path[MAX_PATH] = {0};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path))) return L"";
  return path;
}

}  // namespace

CWizardSettings::CWizardSettings(const std::wstring& appDataFolder)
    : m_appData(appDataFolder.empty() ? RoamingAppData() : appDataFolder) {
  EnsureFolder();
}

// Both folders must exist; a path too long for the file system is not kept.
bool CWizardSettings::EnsureFolder() {
  if (m_appData.empty()) return false;
  std::wstring folder = m_appData + L"\\" + SuiteManufacturer();
  if (!MakeDirectory(folder)) return false;
  folder += L"\\PairwellWizard";
  if (!MakeDirectory(folder)) return false;
  folder += L"\\";
  if (folder.size() >= MAX_PATH) return false;
  m_folder = folder;
  return true;
}

bool CWizardSettings::Open() {
  m_document.reset(new CSettingsDocument());
  if (m_document->Create()) return true;
  m_document.reset();
  return false;
}

bool CWizardSettings::Load() {
  if (!m_document) return false;
  // Never relative to the working folder.
  if (m_folder.empty() && !EnsureFolder()) return false;
  if (GetFileAttributesW(FilePath().c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (m_document->Load(FilePath())) return true;
    Open();  // an unreadable file leaves an empty document
    return false;
  }
  if (!m_document->AddDeclaration() || !m_document->AddRoot(kRoot)) return false;
  bool added = m_document->AddChild(kRoot, kHideWelcome);
  m_document->SetAttribute(kRoot, kHideWelcome, L"1");
  return Save() && added;
}

bool CWizardSettings::Save() {
  if (!m_document) return false;
  if ((m_folder.empty() || !IsDirectory(m_folder)) && !EnsureFolder()) return false;
  return m_document->Save(FilePath());
}

bool CWizardSettings::GetHideWelcome() {
  if (!m_document) return false;
  const wchar_t* value = m_document->GetAttribute(kRoot, kHideWelcome);
  return value && lstrcmpW(value, L"1") == 0;
}

void CWizardSettings::SetHideWelcome(bool hide) {
  if (m_document) m_document->SetAttribute(kRoot, kHideWelcome, hide ? L"1" : L"0");
}
