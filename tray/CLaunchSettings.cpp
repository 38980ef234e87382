#include <windows.h>
#include "ZCLFrame.h"
#include "CLaunchSettings.h"
#include <shlwapi.h>
#include <stdexcept>
#include "ZCLHandle.h"
#include "ZCLText.h"

namespace {

const wchar_t kTray[] = L"OrvexDialixTray";
const wchar_t kFirefox[] = L"OrvexDialixTray/Firefox";
const wchar_t kIE[] = L"OrvexDialixTray/IE";
const wchar_t kWizard[] = L"OrvexDialixTray/PWZ";
const wchar_t kPath[] = L"Path";
const wchar_t kCommandLine[] = L"CommandLine";
const wchar_t kSelectedBrowser[] = L"SelectedBrowser";

bool IsIE(const std::wstring& browser) { return browser == L"IE"; }

}  // namespace

bool ReadMachineString(const std::wstring& subKey, const wchar_t* name, std::wstring* value) {
  if (ZCLReadRegistryString(HKEY_LOCAL_MACHINE, subKey.c_str(), name, value)) return true;
#ifdef _WIN64
  CRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, key.Put()) ==
          ERROR_SUCCESS &&
      ZCLReadRegistryString(key.Get(), L"", name, value))
    return true;
#endif
  return false;
}

std::wstring CLaunchSettings::GetProgramFolder(HMODULE module) {
  wchar_t name[MAX_PATH] = L"";
  DWORD length = ::GetModuleFileNameW(module, name, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || name[0] == L'\0') return std::wstring();
  ::PathRemoveFileSpecW(name);
  std::wstring folder = name;
  if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/')) folder += L'\\';
  return folder;
}

std::wstring CLaunchSettings::GetConfigurationPath() {
  std::wstring folder = GetProgramFolder(nullptr);
  return folder.empty() ? folder : folder + kFileName;
}

std::wstring CLaunchSettings::GetFirefoxPath() {
  const std::wstring key = L"SOFTWARE\\Mozilla\\Mozilla Firefox";
  std::wstring version, path;
  if (!ReadMachineString(key, L"CurrentVersion", &version) || version.empty()) return std::wstring();
  if (!ReadMachineString(key + L"\\" + version + L"\\Main", L"PathToExe", &path)) return std::wstring();
  return path;
}

std::wstring CLaunchSettings::GetInternetExplorerPath() {
  std::wstring path;
  if (!ReadMachineString(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", nullptr,
                         &path))
    return std::wstring();
  return path;
}

std::wstring CLaunchSettings::GetDefaultStartPage() {
  return GetProgramFolder(nullptr) + L".\\Firefox_ext\\chrome\\content\\html\\orvex-dialix.html";
}

std::wstring CLaunchSettings::ResolvePath(const std::wstring& path) {
  if (path.empty() || !::PathIsRelativeW(path.c_str())) return path;
  return GetProgramFolder(nullptr) + path;
}

SettingEntry CLaunchSettings::LoadEntry(const std::wstring& section, const std::wstring& key,
                                        const std::wstring& defaultValue) {
  std::wstring stored = m_store.GetValueOr(section, key, std::wstring());
  return SettingEntry{stored.empty() ? defaultValue : stored, defaultValue, section, key};
}

bool CLaunchSettings::Load(const wchar_t* path) {
  // A missing or broken file: every setting takes its default.
  ZCLGuarded(4, ZCL_SITE, [&] { m_store.Open(ZCLNullToEmpty(path)); });
  try {
    struct {
      const wchar_t* section;
      const wchar_t* key;
      std::wstring (*makeDefault)();
    } const settings[] = {
        {kTray, kSelectedBrowser, [] { return std::wstring(L"Firefox"); }},
        {kFirefox, kPath, &CLaunchSettings::GetFirefoxPath},
        {kFirefox, kCommandLine, [] { return std::wstring(L"-dialix"); }},
        {kIE, kCommandLine, &CLaunchSettings::GetDefaultStartPage},
        {kWizard, kPath, [] { return std::wstring(L".\\Pairwell.exe"); }},
        {kWizard, kCommandLine, [] { return std::wstring(); }},
    };
    for (const auto& setting : settings)
      m_cache.emplace(setting.section, LoadEntry(setting.section, setting.key, setting.makeDefault()));
  } catch (...) {
    return false;
  }
  return true;
}

SettingEntry& CLaunchSettings::FindEntry(const std::wstring& section, const std::wstring& key) {
  auto range = m_cache.equal_range(section);
  for (auto it = range.first; it != range.second; ++it)
    if (it->second.key == key) return it->second;
  throw std::invalid_argument(ZCLWideToAnsi((section + L":" + key).c_str()));
}

std::wstring CLaunchSettings::GetSelectedBrowser() { return FindEntry(kTray, kSelectedBrowser).value; }

bool CLaunchSettings::SetSelectedBrowser(const std::wstring& name) {
  FindEntry(kTray, kSelectedBrowser).value = name;
  return true;
}

std::wstring CLaunchSettings::GetBrowserPath(const std::wstring& browser) {
  if (IsIE(browser)) return GetInternetExplorerPath();
  return FindEntry(kFirefox, kPath).value;
}

bool CLaunchSettings::SetBrowserPath(const std::wstring& browser, const wchar_t* path) {
  if (IsIE(browser)) return false;
  try {
    FindEntry(kFirefox, kPath).value = ZCLNullToEmpty(path);
  } catch (const std::invalid_argument&) {
    return false;
  }
  return true;
}

std::wstring CLaunchSettings::GetBrowserCommandLine(const std::wstring& browser) {
  return FindEntry(IsIE(browser) ? kIE : kFirefox, kCommandLine).value;
}

bool CLaunchSettings::SetBrowserCommandLine(const std::wstring& browser, const wchar_t* commandLine) {
  FindEntry(IsIE(browser) ? kIE : kFirefox, kCommandLine).value = ZCLNullToEmpty(commandLine);
  return true;
}

std::wstring CLaunchSettings::GetWizardPath() { return FindEntry(kWizard, kPath).value; }
std::wstring CLaunchSettings::GetWizardCommandLine() { return FindEntry(kWizard, kCommandLine).value; }

bool CLaunchSettings::SetWizardPath(const std::wstring& path) {
  FindEntry(kWizard, kPath).value = path;
  return true;
}

bool CLaunchSettings::SetWizardCommandLine(const std::wstring& commandLine) {
  FindEntry(kWizard, kCommandLine).value = commandLine;
  return true;
}

bool CLaunchSettings::WriteBack(const std::wstring& path) {
  for (const auto& item : m_cache) {
    const SettingEntry& entry = item.second;
    if (entry.value != entry.defaultValue) m_store.SetValue(entry.section, entry.key, entry.value);
  }
  m_store.Save(path);
  return true;
}
