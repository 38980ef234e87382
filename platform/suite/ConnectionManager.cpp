#include <windows.h>
#include "ConnectionManager.h"
#include "ZCLFrame.h"

using PhoneSim::CMediumElement;
using PhoneSim::CPhoneWorld;

namespace {

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

STDMETHODIMP CQorsalConnectionManager::GetConnectionSettings(GUID, IUnknown** settings) {
  if (settings) *settings = nullptr;
  return E_NOTIMPL;
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
