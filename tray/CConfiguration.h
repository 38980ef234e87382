#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "ComPtr.h"
#include "MsXml4.h"

// The tray's XML settings file: text values addressed by a "/"-separated
// section path and a key, below the root element "Configuration". Failures
// are std::runtime_error with the texts the settings layer passes on;
// running out of memory for a parser string is CAtlException(E_OUTOFMEMORY).
// Used on the tray's user-interface thread only.
class CConfiguration {
public:
  CConfiguration() = default;
  virtual ~CConfiguration() = default;

  // A failed load keeps the empty document: the store counts as open and
  // later writes build a new file.
  virtual void Open(const std::wstring& path);
  virtual void Close(bool save);
  // Indents the document and writes it; throws when it cannot be written.
  virtual void Save(const std::wstring& path);

  bool IsOpen() const { return m_document != nullptr; }
  std::wstring GetValue(const std::wstring& section, const std::wstring& key);
  std::wstring GetValueOr(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);
  void SetValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);

  static size_t SplitString(const std::wstring& text, const std::wstring& delimiters,
                            std::vector<std::wstring>* tokens);

private:
  CConfiguration(const CConfiguration&) = delete;
  CConfiguration& operator=(const CConfiguration&) = delete;
  void EnsurePath(const std::wstring& path);
  void Reformat();

  CComPtr<IXMLDOMDocument2> m_document;
  std::wstring m_savePath;
};
