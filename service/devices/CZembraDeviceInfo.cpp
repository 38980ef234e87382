#include <windows.h>
#include <ole2.h>
#include <shlwapi.h>
#include "CZembraDeviceInfo.h"
#include "ComTL.h"
#include "MsXml.h"
#include "ZCLException.h"
#include "ZCLText.h"

CZembraDeviceInfo::CZembraDeviceInfo(const CZembraDeviceInfo& other)
    : m_serialNumber(other.m_serialNumber),
      m_modelName(other.m_modelName),
      m_friendlyName(other.m_friendlyName),
      m_manufacturer(other.m_manufacturer),
      m_bluetoothName(other.m_bluetoothName),
      m_state(other.m_state.load()),
      m_detailText2(other.m_detailText2),
      m_detailText3(other.m_detailText3) {}

CZembraDeviceInfo& CZembraDeviceInfo::operator=(const CZembraDeviceInfo& other) {
  if (this == &other) return *this;
  m_serialNumber = other.m_serialNumber;
  m_modelName = other.m_modelName;
  m_friendlyName = other.m_friendlyName;
  m_manufacturer = other.m_manufacturer;
  m_bluetoothName = other.m_bluetoothName;
  m_state.store(other.m_state.load());
  m_detailText2 = other.m_detailText2;
  m_detailText3 = other.m_detailText3;
  return *this;
}

void CZembraDeviceInfo::SetSerialNumber(const wchar_t* text) { m_serialNumber = ZCLNullToEmpty(text); }
void CZembraDeviceInfo::SetModelName(const wchar_t* text) { m_modelName = ZCLNullToEmpty(text); }
void CZembraDeviceInfo::SetFriendlyName(const wchar_t* text) { m_friendlyName = ZCLNullToEmpty(text); }
void CZembraDeviceInfo::SetManufacturer(const wchar_t* text) { m_manufacturer = ZCLNullToEmpty(text); }
void CZembraDeviceInfo::SetBluetoothName(const wchar_t* text) { m_bluetoothName = ZCLNullToEmpty(text); }
void CZembraDeviceInfo::SetDetailText2(const wchar_t* text) { m_detailText2 = ZCLNullToEmpty(text); }
void CZembraDeviceInfo::SetDetailText3(const wchar_t* text) { m_detailText3 = ZCLNullToEmpty(text); }

namespace {

const wchar_t kNewDocument[] = L"<?xml version=\"1.0\"?>\n<DeviceInfo/>\n";
const wchar_t* const kElements[] = {L"SerialNumber", L"ModelName", L"FriendlyName", L"Manufacturer"};

CComPtr<IXMLDOMDocument3Compatible> CreateDocument() {
  CComPtr<IUnknown> unknown;
  ZCLComCoCreateThrowOnFail(::CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_ALL, IID_IUnknown,
                                               reinterpret_cast<void**>(&unknown)),
                            CLSID_DOMDocument60, ZCL_POS);
  ZCLComThrowOnFail(::OleRun(unknown), ZCL_POS);
  CComPtr<IXMLDOMDocument3Compatible> document;
  ZCLComQIThrowOnFail(unknown->QueryInterface(IID_IXMLDOMDocument3, reinterpret_cast<void**>(&document)),
                      IID_IXMLDOMDocument3, ZCL_POS);
  return document;
}

// The parser reads a path as an address and decodes "%XX" in it, which the
// escaped folder names of phones hold: files are handed over as streams.
CComPtr<IStream> OpenStream(const wchar_t* path, bool write) {
  CComPtr<IStream> stream;
  DWORD mode = write ? (STGM_CREATE | STGM_WRITE | STGM_SHARE_DENY_WRITE) : (STGM_READ | STGM_SHARE_DENY_WRITE);
  HRESULT hr = SHCreateStreamOnFileEx(path, mode, FILE_ATTRIBUTE_NORMAL, write ? TRUE : FALSE, nullptr, &stream);
  if (write) ZCLComThrowOnFail(hr, ZCL_POS);
  return stream;
}

bool LoadFile(IXMLDOMDocument3Compatible* document, const wchar_t* path) {
  CComPtr<IStream> stream = OpenStream(path, false);
  if (!stream) return false;
  VARIANT_BOOL loaded = VARIANT_FALSE;
  CComVariant source(static_cast<IUnknown*>(stream));
  HRESULT hr = document->load(source, &loaded);
  return SUCCEEDED(hr) && loaded == VARIANT_TRUE;
}

CComPtr<IXMLDOMNode> SelectNode(IXMLDOMNode* from, const std::wstring& xpath) {
  CComPtr<IXMLDOMNode> node;
  CComBSTR query(xpath.c_str());
  HRESULT hr = from->selectSingleNode(query, &node);
  ZCLComThrowOnFail(hr, ZCL_POS);
  return node;  // null when nothing matches (S_FALSE)
}

}  // namespace

// An element that holds an empty text has no text node: it is found by the
// element itself, so an empty value is written in place, never appended
// again, and loads back as empty instead of failing the whole file.
void CZembraDeviceInfo::Save(const wchar_t* path) const {
  CComPtr<IXMLDOMDocument3Compatible> document = CreateDocument();
  bool usable = LoadFile(document, path) && SelectNode(document, L"/DeviceInfo");
  if (!usable) {
    VARIANT_BOOL loaded = VARIANT_FALSE;
    CComBSTR text(kNewDocument);
    ZCLComThrowOnFail(document->loadXML(text, &loaded), ZCL_POS);
    ZCLComThrowOnFalse(loaded == VARIANT_TRUE, E_FAIL, ZCL_POS);
  }
  const std::wstring* values[] = {&m_serialNumber, &m_modelName, &m_friendlyName, &m_manufacturer};
  for (int i = 0; i < 4; ++i) {
    CComBSTR value(values[i]->c_str());
    CComPtr<IXMLDOMNode> element = SelectNode(document, std::wstring(L"/DeviceInfo/") + kElements[i]);
    if (element) {
      ZCLComThrowOnFail(element->put_text(value), ZCL_POS);
      continue;
    }
    CComPtr<IXMLDOMElement> created;
    CComBSTR name(kElements[i]);
    ZCLComThrowOnFail(document->createElement(name, &created), ZCL_POS);
    ZCLComThrowOnFail(created->put_text(value), ZCL_POS);
    CComPtr<IXMLDOMNode> root = SelectNode(document, L"/DeviceInfo");
    ZCLComThrowOnFalse(root != nullptr, E_POINTER, ZCL_POS);
    CComPtr<IXMLDOMNode> appended;
    ZCLComThrowOnFail(root->appendChild(created, &appended), ZCL_POS);
  }
  CComPtr<IStream> stream = OpenStream(path, true);
  CComVariant target(static_cast<IUnknown*>(stream));
  ZCLComThrowOnFail(document->save(target), ZCL_POS);
  ZCLComThrowOnFail(stream->Commit(STGC_DEFAULT), ZCL_POS);
}

void CZembraDeviceInfo::Load(const wchar_t* path) {
  CComPtr<IXMLDOMDocument3Compatible> document = CreateDocument();
  LoadFile(document, path);
  std::wstring* values[] = {&m_serialNumber, &m_modelName, &m_friendlyName, &m_manufacturer};
  for (int i = 0; i < 4; ++i) {
    CComPtr<IXMLDOMNode> element = SelectNode(document, std::wstring(L"/DeviceInfo/") + kElements[i]);
    ZCLComThrowOnFalse(element != nullptr, E_POINTER, ZCL_POS);
    CComBSTR text;
    ZCLComThrowOnFail(element->get_text(&text), ZCL_POS);
    *values[i] = text ? static_cast<const wchar_t*>(text) : L"";
  }
}
