#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "ComPtr.h"

// The few DOM operations the wizard's settings need, on the platform's
// version-3 XML document. A failing DOM call gives false or nothing for the
// operation in progress. Used on the main thread only.
class CSettingsDocument {
public:
  bool Create();
  bool Load(const std::wstring& path);
  bool Save(const std::wstring& path);
  bool AddDeclaration();
  // Refused when the document has a root already.
  bool AddRoot(const std::wstring& name);
  bool AddChild(const std::wstring& parentName, const std::wstring& childName);
  // Null when the element or the attribute is missing; the text stays valid
  // until the next read.
  const wchar_t* GetAttribute(const std::wstring& elementName, const std::wstring& attributeName);
  bool SetAttribute(const std::wstring& elementName, const std::wstring& attributeName, const std::wstring& value);

private:
  CComPtr<IXMLDOMElement> FirstElement(const std::wstring& name);

  CComPtr<IXMLDOMDocument> m_document;
  bool m_hasRoot = false;
  WCHAR m_value[256] = {0};
};
