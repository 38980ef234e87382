#include <windows.h>
#include "ZCLFrame.h"
#include "CConfiguration.h"
#include <exception>
#include <stdexcept>
#include "AtlException.h"
#include "ComBSTR.h"
#include "ComVariant.h"

namespace {

const wchar_t kDeclaration[] = L"version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"";

[[noreturn]] void Fail(const char* text) { throw std::runtime_error(text); }

CComBSTR Text(const std::wstring& text) {
  CComBSTR result(static_cast<UINT>(text.size()), text.c_str());
  if (!result) AtlThrow(E_OUTOFMEMORY);
  return result;
}

CComVariant TextVariant(const std::wstring& text) {
  CComVariant result(text.c_str());
  if (result.vt != VT_BSTR || !result.bstrVal) AtlThrow(E_OUTOFMEMORY);
  return result;
}

CComPtr<IXMLDOMDocument2> NewDocument() {
  CComPtr<IXMLDOMDocument2> document;
  if (FAILED(::CoCreateInstance(CLSID_DOMDocument40, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument2,
                                reinterpret_cast<void**>(&document))))
    return nullptr;
  return document;
}

CComPtr<IXMLDOMNode> SelectNode(IXMLDOMNode* from, const std::wstring& xpath) {
  CComPtr<IXMLDOMNode> node;
  if (from->selectSingleNode(Text(xpath), &node) != S_OK) return nullptr;
  return node;
}

// The Part's route: the SAX reader replays the document into the writer with
// indentation on. Wine's reader answers E_NOTIMPL here; false then.
bool ReformatThroughWriter(CComPtr<IXMLDOMDocument2>& document) {
  CComPtr<ISAXXMLReader> reader;
  CComPtr<IMXWriter> writer;
  if (FAILED(::CoCreateInstance(CLSID_SAXXMLReader40, nullptr, CLSCTX_ALL, IID_ISAXXMLReader,
                                reinterpret_cast<void**>(&reader))) ||
      FAILED(::CoCreateInstance(CLSID_MXXMLWriter40, nullptr, CLSCTX_ALL, IID_IMXWriter,
                                reinterpret_cast<void**>(&writer))))
    return false;
  if (FAILED(writer->put_byteOrderMark(VARIANT_TRUE)) || FAILED(writer->put_omitXMLDeclaration(VARIANT_FALSE)) ||
      FAILED(writer->put_indent(VARIANT_TRUE)) || FAILED(writer->put_standalone(VARIANT_TRUE)))
    return false;
  CComPtr<ISAXContentHandler> content;
  CComPtr<ISAXDTDHandler> dtd;
  CComPtr<ISAXErrorHandler> errors;
  if (FAILED(writer->QueryInterface(IID_ISAXContentHandler, reinterpret_cast<void**>(&content))) ||
      FAILED(writer->QueryInterface(IID_ISAXDTDHandler, reinterpret_cast<void**>(&dtd))) ||
      FAILED(writer->QueryInterface(IID_ISAXErrorHandler, reinterpret_cast<void**>(&errors))))
    return false;
  CComVariant handler(static_cast<IUnknown*>(writer));
  if (FAILED(reader->putContentHandler(content)) || FAILED(reader->putDTDHandler(dtd)) ||
      FAILED(reader->putErrorHandler(errors)) ||
      FAILED(reader->putProperty(L"http://xml.org/sax/properties/lexical-handler", handler)) ||
      FAILED(reader->putProperty(L"http://xml.org/sax/properties/declaration-handler", handler)))
    return false;
  if (FAILED(reader->parse(CComVariant(static_cast<IUnknown*>(document))))) return false;
  CComVariant output;
  if (FAILED(writer->get_output(&output)) || output.vt != VT_BSTR) return false;
  CComPtr<IXMLDOMDocument2> formatted = NewDocument();
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (!formatted || formatted->loadXML(output.bstrVal, &loaded) != S_OK || loaded != VARIANT_TRUE) return false;
  document = formatted;
  return true;
}

bool IsBlank(BSTR text) {
  for (UINT i = 0, n = ::SysStringLen(text); i < n; ++i)
    if (!iswspace(text[i])) return false;
  return true;
}

// Lays an element's element children out one per line, indented by depth.
// Whitespace-only text beside child elements is old layout and is dropped;
// an element holding text alone keeps it, blanks included: that is a value.
void IndentElement(IXMLDOMDocument2* document, IXMLDOMNode* element, int depth) {
  CComPtr<IXMLDOMNodeList> children;
  if (FAILED(element->get_childNodes(&children))) return;
  LONG count = 0;
  children->get_length(&count);
  std::vector<CComPtr<IXMLDOMNode>> nodes, elements;
  for (LONG i = 0; i < count; ++i) {
    CComPtr<IXMLDOMNode> child;
    if (children->get_item(i, &child) != S_OK) continue;
    DOMNodeType type = NODE_INVALID;
    child->get_nodeType(&type);
    if (type == NODE_ELEMENT) elements.push_back(child);
    nodes.push_back(child);
  }
  if (elements.empty()) return;
  for (auto& node : nodes) {
    DOMNodeType type = NODE_INVALID;
    node->get_nodeType(&type);
    CComBSTR text;
    if (type == NODE_TEXT && SUCCEEDED(node->get_text(&text)) && IsBlank(text)) {
      CComPtr<IXMLDOMNode> removed;
      element->removeChild(node, &removed);
    }
  }
  auto breakBefore = [&](IXMLDOMNode* before, int tabs) {
    CComPtr<IXMLDOMText> newline;
    if (FAILED(document->createTextNode(Text(L"\n" + std::wstring(tabs, L'\t')), &newline))) return;
    CComPtr<IXMLDOMNode> inserted;
    if (before)
      element->insertBefore(newline, CComVariant(static_cast<IUnknown*>(before)), &inserted);
    else
      element->appendChild(newline, &inserted);
  };
  for (auto& child : elements) {
    breakBefore(child, depth + 1);
    IndentElement(document, child, depth + 1);
  }
  breakBefore(nullptr, depth);
}

// Indents through the DOM and puts the declaration first, naming the
// encoding the parser then writes.
void IndentThroughDom(IXMLDOMDocument2* document) {
  CComPtr<IXMLDOMNodeList> children;
  if (FAILED(document->get_childNodes(&children))) return;
  LONG count = 0;
  children->get_length(&count);
  std::vector<CComPtr<IXMLDOMNode>> nodes;
  for (LONG i = 0; i < count; ++i) {
    CComPtr<IXMLDOMNode> child;
    if (children->get_item(i, &child) == S_OK) nodes.push_back(child);
  }
  for (auto& node : nodes) {
    DOMNodeType type = NODE_INVALID;
    node->get_nodeType(&type);
    CComBSTR name;
    node->get_nodeName(&name);
    if (type == NODE_PROCESSING_INSTRUCTION && name && wcscmp(name, L"xml") == 0) {
      CComPtr<IXMLDOMNode> removed;
      document->removeChild(node, &removed);
    }
  }
  CComPtr<IXMLDOMElement> root;
  if (document->get_documentElement(&root) == S_OK && root) IndentElement(document, root, 0);
  CComPtr<IXMLDOMProcessingInstruction> declaration;
  if (FAILED(document->createProcessingInstruction(Text(L"xml"), Text(kDeclaration), &declaration))) return;
  CComPtr<IXMLDOMNode> first, inserted;
  if (document->get_firstChild(&first) == S_OK && first)
    document->insertBefore(declaration, CComVariant(static_cast<IUnknown*>(first)), &inserted);
  else
    document->appendChild(declaration, &inserted);
}

}  // namespace

void CConfiguration::Open(const std::wstring& path) {
  if (IsOpen()) Fail("Already open.");
  m_document = NewDocument();
  if (!m_document) Fail("Failed to create dom object.");
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (m_document->load(TextVariant(path), &loaded) != S_OK || loaded != VARIANT_TRUE)
    Fail("Failed to open xml document.");
}

void CConfiguration::Close(bool save) {
  if (!IsOpen()) return;
  std::exception_ptr failure;
  // Nothing was ever saved: there is no file to write back to.
  if (save && !m_savePath.empty()) {
    try {
      Save(m_savePath);
    } catch (...) {
      failure = std::current_exception();
    }
  }
  m_document.Release();
  if (failure) std::rethrow_exception(failure);
}

void CConfiguration::Save(const std::wstring& path) {
  if (!IsOpen()) return;
  Reformat();
  m_savePath = path;
  if (FAILED(m_document->save(TextVariant(path)))) Fail("Failed to save xml document.");
}

void CConfiguration::Reformat() {
  try {
    if (!ReformatThroughWriter(m_document)) IndentThroughDom(m_document);
  } catch (const CAtlException&) {  // a reformat that cannot finish leaves the layout as it was
    ZCLLogCaughtHere(4, ZCL_SITE);
  }
}

std::wstring CConfiguration::GetValue(const std::wstring& section, const std::wstring& key) {
  if (!IsOpen()) Fail("Not opened.");
  CComPtr<IXMLDOMNode> node = SelectNode(m_document, L"/Configuration/" + section + L"/" + key);
  if (!node) Fail("Not found.");
  CComBSTR text;
  if (FAILED(node->get_text(&text))) Fail("Failed to get value.");
  return std::wstring(text ? static_cast<const wchar_t*>(text) : L"", text.Length());
}

std::wstring CConfiguration::GetValueOr(const std::wstring& section, const std::wstring& key,
                                        const std::wstring& fallback) {
  if (!IsOpen()) Fail("Not opened.");
  try {
    return GetValue(section, key);
  } catch (...) {
    return fallback;
  }
}

void CConfiguration::SetValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  if (!IsOpen()) Fail("Not opened.");
  std::wstring xpath = L"/Configuration/" + section + L"/" + key;
  EnsurePath(xpath);
  CComPtr<IXMLDOMNode> node = SelectNode(m_document, xpath);
  if (!node) Fail("ERROR!");
  CComPtr<IXMLDOMElement> element;
  if (FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element))) ||
      FAILED(element->put_text(Text(value))))
    Fail("Failed to set value.");
}

void CConfiguration::EnsurePath(const std::wstring& path) {
  std::vector<std::wstring> tokens;
  SplitString(path, L"/", &tokens);
  CComPtr<IXMLDOMNode> current = static_cast<IXMLDOMNode*>(m_document.p);
  for (const auto& token : tokens) {
    if (token.empty()) continue;
    CComPtr<IXMLDOMNode> next = SelectNode(current, token);
    if (!next) {
      // A document holds one root: appending a second one is accepted by
      // Wine's parser and leaves a file that no longer loads.
      if (current == static_cast<IXMLDOMNode*>(m_document.p)) {
        CComPtr<IXMLDOMElement> root;
        if (m_document->get_documentElement(&root) == S_OK && root) return;
      }
      CComPtr<IXMLDOMNode> created;
      if (FAILED(m_document->createNode(CComVariant(static_cast<LONG>(NODE_ELEMENT)), Text(token), Text(L""),
                                        &created)) ||
          !created)
        return;
      if (FAILED(current->appendChild(created, &next)) || !next) return;
    }
    current = next;
  }
}

size_t CConfiguration::SplitString(const std::wstring& text, const std::wstring& delimiters,
                                   std::vector<std::wstring>* tokens) {
  size_t count = 0;
  size_t start = 0;
  size_t delim = text.find_first_of(delimiters, start);
  while (delim != std::wstring::npos || start != std::wstring::npos) {
    tokens->push_back(text.substr(start, delim == std::wstring::npos ? std::wstring::npos : delim - start));
    ++count;
    start = text.find_first_not_of(delimiters, delim);
    delim = text.find_first_of(delimiters, start);
  }
  return count;
}
