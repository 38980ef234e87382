#pragma once
#include <windows.h>
#include <string>
#include <unordered_map>
#include "CConfiguration.h"

// One cached setting: its current value, the default computed at load, and
// where it lives in the file.
struct SettingEntry {
  std::wstring value;
  std::wstring defaultValue;
  std::wstring section;
  std::wstring key;
};

// What the tray needs to start the browser user interface and the wizard,
// with defaults computed at load; only values that differ from their
// defaults are written back. Built, used and destroyed within one command of
// the tray's user-interface thread.
class CLaunchSettings {
public:
  static constexpr const wchar_t* kFileName = L"OrvexDialixTray.cfg";

  // A null or missing file leaves every setting at its default; false only
  // when the settings could not all be cached (no parser).
  bool Load(const wchar_t* path);

  std::wstring GetSelectedBrowser();
  bool SetSelectedBrowser(const std::wstring& name);
  std::wstring GetBrowserPath(const std::wstring& browser);
  bool SetBrowserPath(const std::wstring& browser, const wchar_t* path);
  std::wstring GetBrowserCommandLine(const std::wstring& browser);
  bool SetBrowserCommandLine(const std::wstring& browser, const wchar_t* commandLine);
  std::wstring GetWizardPath();
  std::wstring GetWizardCommandLine();
  // The settings dialog rebuilds the file from defaults; these carry over
  // what the user set for the wizard by hand.
  bool SetWizardPath(const std::wstring& path);
  bool SetWizardCommandLine(const std::wstring& commandLine);
  // Writes the changed settings and saves; passes on what the store throws.
  bool WriteBack(const std::wstring& path);

  // The folder of the module with a trailing "\", or empty.
  static std::wstring GetProgramFolder(HMODULE module);
  // The tray's configuration file, or empty without a program folder.
  static std::wstring GetConfigurationPath();
  static std::wstring GetFirefoxPath();
  static std::wstring GetInternetExplorerPath();
  static std::wstring GetDefaultStartPage();
  // A non-empty relative path is taken below the program folder.
  static std::wstring ResolvePath(const std::wstring& path);

private:
  SettingEntry& FindEntry(const std::wstring& section, const std::wstring& key);
  SettingEntry LoadEntry(const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue);

  CConfiguration m_store;
  std::unordered_multimap<std::wstring, SettingEntry> m_cache;
};

// A HKLM string value read with KEY_READ; the 64-bit build also looks into
// the 32-bit view, where 32-bit installers write.
bool ReadMachineString(const std::wstring& subKey, const wchar_t* name, std::wstring* value);
