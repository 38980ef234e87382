#include <windows.h>
#include "CSettingsDocument.h"
#include "ComBSTR.h"
#include "ComVariant.h"

namespace {

// Element and attribute names the document accepts.
bool ValidName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(L" /") == std::wstring::npos;
}

}  // namespace

bool CSettingsDocument::Create() {
  m_document.Release();
  m_hasRoot = false;
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument,
                              reinterpret_cast<void**>(&m_document))))
    return false;
  m_document->put_preserveWhiteSpace(VARIANT_TRUE);
  m_document->put_validateOnParse(VARIANT_FALSE);
  m_document->put_async(VARIANT_FALSE);
  return true;
}

bool CSettingsDocument::Load(const std::wstring& path) {
  if (!m_document) return false;
  CComVariant source(path.c_str());
  VARIANT_BOOL ok = VARIANT_FALSE;
  if (FAILED(m_document->load(source, &ok)) || ok != VARIANT_TRUE) return false;
  CComPtr<IXMLDOMElement> root;
  m_hasRoot = SUCCEEDED(m_document->get_documentElement(&root)) && root;
  return true;
}

bool CSettingsDocument::Save(const std::wstring& path) {
  if (!m_document) return false;
  CComVariant target(path.c_str());
  return SUCCEEDED(m_document->save(target));
}

bool CSettingsDocument::AddDeclaration() {
  if (!m_document) return false;
  CComPtr<IXMLDOMProcessingInstruction> declaration;
  CComBSTR target(L"xml"), data(L"version='1.0' encoding='UTF-8'");
  CComPtr<IXMLDOMNode> added;
  return SUCCEEDED(m_document->createProcessingInstruction(target, data, &declaration)) && declaration &&
         SUCCEEDED(m_document->appendChild(declaration, &added));
}

// A second root would be appended by the parser and make the saved file
// unreadable.
bool CSettingsDocument::AddRoot(const std::wstring& name) {
  if (!m_document || m_hasRoot || !ValidName(name)) return false;
  CComPtr<IXMLDOMElement> root;
  CComBSTR tag(name.c_str());
  CComPtr<IXMLDOMNode> added;
  if (FAILED(m_document->createElement(tag, &root)) || !root || FAILED(m_document->appendChild(root, &added)))
    return false;
  m_hasRoot = true;
  return true;
}

CComPtr<IXMLDOMElement> CSettingsDocument::FirstElement(const std::wstring& name) {
  CComPtr<IXMLDOMElement> element;
  if (!m_document || !ValidName(name)) return element;
  CComPtr<IXMLDOMNodeList> list;
  CComBSTR tag(name.c_str());
  CComPtr<IXMLDOMNode> node;
  if (FAILED(m_document->getElementsByTagName(tag, &list)) || !list || FAILED(list->get_item(0, &node)) || !node)
    return element;
  node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element));
  return element;
}

bool CSettingsDocument::AddChild(const std::wstring& parentName, const std::wstring& childName) {
  if (!ValidName(childName)) return false;
  CComPtr<IXMLDOMElement> parent = FirstElement(parentName);
  if (!parent) return false;
  CComPtr<IXMLDOMElement> child;
  CComBSTR tag(childName.c_str());
  CComPtr<IXMLDOMNode> added;
  return SUCCEEDED(m_document->createElement(tag, &child)) && child &&
         SUCCEEDED(parent->appendChild(child, &added));
}

const wchar_t* CSettingsDocument::GetAttribute(const std::wstring& elementName, const std::wstring& attributeName) {
  if (!ValidName(attributeName)) return nullptr;
  CComPtr<IXMLDOMElement> element = FirstElement(elementName);
  if (!element) return nullptr;
  CComVariant value;
  CComBSTR name(attributeName.c_str());
  if (element->getAttribute(name, &value) != S_OK || value.vt != VT_BSTR) return nullptr;
  lstrcpynW(m_value, value.bstrVal ? value.bstrVal : L"", ARRAYSIZE(m_value));
  return m_value;
}

bool CSettingsDocument::SetAttribute(const std::wstring& elementName, const std::wstring& attributeName,
                                     const std::wstring& value) {
  if (!ValidName(attributeName)) return false;
  CComPtr<IXMLDOMElement> element = FirstElement(elementName);
  if (!element) return false;
  CComPtr<IXMLDOMAttribute> attribute;
  CComBSTR name(attributeName.c_str());
  CComPtr<IXMLDOMAttribute> replaced;
  if (FAILED(m_document->createAttribute(name, &attribute)) || !attribute) return false;
  CComVariant text(value.c_str());
  return SUCCEEDED(attribute->put_value(text)) && SUCCEEDED(element->setAttributeNode(attribute, &replaced));
}
