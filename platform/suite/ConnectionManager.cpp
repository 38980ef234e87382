#include <windows.h>
#include "ConnectionManager.h"
#include "ZCLFrame.h"

using PhoneSim::CMediumElement;
using PhoneSim::CPhoneWorld;

namespace {

const GUID kSerialCable = {0x23399C73, 0x7D90, 0x4EA6, {0xBA, 0x20, 0x54, 0x35, 0xE8, 0x50, 0xF7, 0x9E}};

std::wstring GuidText(const GUID& id) {
  WCHAR text[64] = {0};
  StringFromGUID2(id, text, ARRAYSIZE(text));
  return text;
}

}  // namespace

STDMETHODIMP CQorsalConnectionManager::GetConnections(LPSAFEARRAY* elements) {
  return ZCLComMethod("CQorsalConnectionManager::GetConnections", ZCL_SITE, [&]() -> HRESULT {
    if (!elements) return E_POINTER;
    *elements = nullptr;
    CPhoneWorld world;
    std::vector<CMediumElement> entries = PhoneSim::ReadMediumElements(world);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UNKNOWN, 0, static_cast<ULONG>(entries.size()));
    if (!array) return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(entries.size()); ++i) {
      CComObject<CQorsalConnection>* element = nullptr;
      HRESULT hr = CComObject<CQorsalConnection>::CreateInstance(&element);
      if (FAILED(hr)) {
        SafeArrayDestroy(array);
        return hr;
      }
      CComPtr<IUnknown> held;
      element->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&held));
      element->Set(entries[i]);
      hr = SafeArrayPutElement(array, &i, held.p);
      if (FAILED(hr)) {
        SafeArrayDestroy(array);
        return hr;
      }
    }
    *elements = array;
    return S_OK;
  });
}

STDMETHODIMP CQorsalConnectionManager::EnableConnection(GUID id) {
  return ZCLComMethod("CQorsalConnectionManager::EnableConnection", ZCL_SITE, [&]() -> HRESULT {
    CPhoneWorld world;
    return PhoneSim::EnableMediumElement(world, GuidText(id)) ? S_OK : E_INVALIDARG;
  });
}

STDMETHODIMP CQorsalConnectionManager::DisableConnection(GUID) { return E_NOTIMPL; }

STDMETHODIMP CQorsalConnectionManager::GetConnectionSettings(GUID id, IUnknown** settings) {
  return ZCLComMethod("CQorsalConnectionManager::GetConnectionSettings", ZCL_SITE, [&]() -> HRESULT {
    if (!settings) return E_POINTER;
    *settings = nullptr;
    if (!IsEqualGUID(id, kSerialCable)) return E_INVALIDARG;
    CComObject<CQorsalCableSettings>* object = nullptr;
    HRESULT hr = CComObject<CQorsalCableSettings>::CreateInstance(&object);
    if (FAILED(hr)) return hr;
    return object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(settings));
  });
}

STDMETHODIMP CQorsalCableSettings::GetCount(ULONG* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP CQorsalCableSettings::GetSetting(ULONG index, VARIANT* value) {
  return ZCLComMethod("CQorsalCableSettings::GetSetting", ZCL_SITE, [&]() -> HRESULT {
    if (!value) return E_POINTER;
    VariantInit(value);
    if (index != 0) return E_INVALIDARG;
    CPhoneWorld world;
    value->vt = VT_UI1;
    value->bVal = PhoneSim::ReadCablePort(world);
    return S_OK;
  });
}

STDMETHODIMP CQorsalCableSettings::SetSetting(ULONG index, VARIANT value) {
  return ZCLComMethod("CQorsalCableSettings::SetSetting", ZCL_SITE, [&]() -> HRESULT {
    if (index != 0) return E_INVALIDARG;
    // A port is a one-byte number; anything else is refused and the stored
    // port kept.
    if (value.vt != VT_UI1 || value.bVal == 0) return E_INVALIDARG;
    CPhoneWorld world;
    PhoneSim::WriteCablePort(world, value.bVal);
    return S_OK;
  });
}

STDMETHODIMP CQorsalConnection::GetId(GUID* id) {
  if (!id) return E_POINTER;
  *id = GUID_NULL;
  return SUCCEEDED(CLSIDFromString(const_cast<LPWSTR>(m_element.id.c_str()), id)) ? S_OK : S_FALSE;
}

STDMETHODIMP CQorsalConnection::GetMedium(BYTE* medium) {
  if (!medium) return E_POINTER;
  *medium = m_element.medium;
  return S_OK;
}

STDMETHODIMP CQorsalConnection::GetName(BSTR* name) {
  if (!name) return E_POINTER;
  *name = SysAllocString(m_element.name.c_str());
  return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CQorsalConnection::GetEnabled(VARIANT_BOOL* enabled) {
  if (!enabled) return E_POINTER;
  *enabled = m_element.enabled ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
