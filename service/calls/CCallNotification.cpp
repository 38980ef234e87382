#include <windows.h>
#include "CCallNotification.h"
#include "ComText.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

HRESULT CCallNotification::FinalConstruct() {
  return ZCLComMethod("CCallNotification::FinalConstruct", ZCL_SITE, [] { return S_OK; });
}

void CCallNotification::FinalRelease() { ZCLScopeTracer trace("CCallNotification::FinalRelease"); }

void CCallNotification::Init(const wchar_t* serialNumber, const wchar_t* number, int state) {
  m_serialNumber = ZCLNullToEmpty(serialNumber);
  m_number = ZCLNullToEmpty(number);
  m_state = state;
}

STDMETHODIMP CCallNotification::get_SerialNumber(BSTR* pbstrSerial) {
  return ZCLComMethod("CCallNotification::get_SerialNumber", ZCL_SITE,
                      [&] { return CopyComText(m_serialNumber, pbstrSerial); });
}

STDMETHODIMP CCallNotification::get_Number(BSTR* pbstrNumber) {
  return ZCLComMethod("CCallNotification::get_Number", ZCL_SITE,
                      [&] { return CopyComText(m_number, pbstrNumber); });
}

STDMETHODIMP CCallNotification::get_State(long* pState) {
  return ZCLComMethod("CCallNotification::get_State", ZCL_SITE, [&]() -> HRESULT {
    if (!pState) return E_POINTER;
    *pState = m_state;
    return S_OK;
  });
}
