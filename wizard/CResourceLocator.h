#pragma once
#include <windows.h>
#include <string>
#include "CResourceModule.h"

// Finds the suite's skin and language modules for the wizard by the suite's
// theme and language settings, loads them, and serves the language's
// strings. Used on the main thread only.
class CResourceLocator {
public:
  enum Kind { Language, Resource };

  CResourceLocator();

  void Initialise(HINSTANCE instance, const std::wstring& keyPath, const std::wstring& subFolder);
  // True when both modules were found and loaded.
  bool LoadModules();

  std::wstring GetProgramFolder() const { return m_programFolder; }
  // The last module value read (the current language after LoadModules).
  std::wstring GetLastValue() const { return m_lastValue; }
  const std::wstring& GetKeyPath() const { return m_keyPath; }
  HMODULE GetResourceModule() const { return m_resource.Handle(); }
  HMODULE GetLanguageModule() const { return m_language.Handle(); }
  CResourceModule& LanguageModule() { return m_language; }
  // The language's string, or an empty text.
  std::wstring GetString(UINT id);

  // The path of the module file of that kind named by the value under the
  // root, or an empty text.
  std::wstring FindModuleFile(HKEY root, const wchar_t* valueName, Kind kind);

private:
  HINSTANCE m_instance = nullptr;
  std::wstring m_keyPath;
  std::wstring m_subFolder;
  std::wstring m_programFolder;
  std::wstring m_lastValue;
  CResourceModule m_resource;
  CResourceModule m_language;
};
