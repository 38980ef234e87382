#include <windows.h>
#include "CVariantEnum.h"
#include "ComText.h"
#include "ZCLFrame.h"

HRESULT CVariantEnum::Create(const std::vector<CComVariant>& elements, size_t position, IEnumVARIANT** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  CComPtr<CComObject<CVariantEnum>> enumerator = NewComObject<CVariantEnum>();
  if (!enumerator) return E_OUTOFMEMORY;
  enumerator->m_elements = elements;
  enumerator->m_position = position;
  *ppEnum = enumerator.Detach();
  return S_OK;
}

STDMETHODIMP CVariantEnum::Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) {
  return ZCLComMethod("CVariantEnum::Next", ZCL_SITE, [&]() -> HRESULT {
    if (pCeltFetched) *pCeltFetched = 0;
    if (celt == 0) return S_OK;
    if (!rgVar || (celt > 1 && !pCeltFetched)) return E_POINTER;
    CComObjectLock<CVariantEnum> lock(this);
    ULONG fetched = 0;
    while (fetched < celt && m_position < m_elements.size()) {
      VariantInit(&rgVar[fetched]);
      HRESULT hr = VariantCopy(&rgVar[fetched], &m_elements[m_position]);
      if (FAILED(hr)) {
        for (ULONG i = 0; i < fetched; ++i) VariantClear(&rgVar[i]);
        return hr;
      }
      ++fetched;
      ++m_position;
    }
    if (pCeltFetched) *pCeltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CVariantEnum::Skip(ULONG celt) {
  return ZCLComMethod("CVariantEnum::Skip", ZCL_SITE, [&]() -> HRESULT {
    CComObjectLock<CVariantEnum> lock(this);
    size_t left = m_elements.size() - m_position;
    m_position += celt < left ? celt : left;
    return celt <= left ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CVariantEnum::Reset() {
  return ZCLComMethod("CVariantEnum::Reset", ZCL_SITE, [&]() -> HRESULT {
    CComObjectLock<CVariantEnum> lock(this);
    m_position = 0;
    return S_OK;
  });
}

STDMETHODIMP CVariantEnum::Clone(IEnumVARIANT** ppEnum) {
  return ZCLComMethod("CVariantEnum::Clone", ZCL_SITE, [&]() -> HRESULT {
    CComObjectLock<CVariantEnum> lock(this);
    return Create(m_elements, m_position, ppEnum);
  });
}
