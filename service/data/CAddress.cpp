#include <windows.h>
#include "CAddress.h"
#include "ComText.h"
#include "ZCLFrame.h"

HRESULT CAddress::FinalConstruct() {
  return ZCLComMethod("CAddress::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
    m_live.Add(GetUnknown(), this);
    return S_OK;
  });
}

void CAddress::FinalRelease() { m_live.Remove(); }

void CAddress::Init(const CZembraSMSAddress& address) {
  CComObjectLock<CAddress> lock(this);
  m_address.reset(new CZembraSMSAddress(address));
}

STDMETHODIMP CAddress::get_Type(long* pType) {
  return ZCLComMethod("CAddress::get_Type", ZCL_SITE, [&]() -> HRESULT {
    CComObjectLock<CAddress> lock(this);
    if (!m_address) return E_FAIL;
    if (!pType) return E_INVALIDARG;
    *pType = m_address->GetType();
    return S_OK;
  });
}

STDMETHODIMP CAddress::get_Address(BSTR* pbstrAddress) {
  return ZCLComMethod("CAddress::get_Address", ZCL_SITE, [&]() -> HRESULT {
    CComObjectLock<CAddress> lock(this);
    if (!m_address) return E_FAIL;
    return CopyComText(m_address->GetAddress(), pbstrAddress);
  });
}
