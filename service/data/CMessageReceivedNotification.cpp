#include <windows.h>
#include "CMessageReceivedNotification.h"
#include "ComText.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

void CMessageReceivedNotification::Init(const wchar_t* serialNumber, ISms* message) {
  m_serialNumber = ZCLNullToEmpty(serialNumber);
  if (message != m_message) m_message = message;
}

STDMETHODIMP CMessageReceivedNotification::get_SerialNumber(BSTR* pbstrSerial) {
  return ZCLComMethod("CMessageReceivedNotification::get_SerialNumber", ZCL_SITE,
                      [&] { return CopyComText(m_serialNumber, pbstrSerial); });
}

STDMETHODIMP CMessageReceivedNotification::get_Message(ISms** ppSms) {
  return ZCLComMethod("CMessageReceivedNotification::get_Message", ZCL_SITE, [&]() -> HRESULT {
    if (!ppSms) return E_POINTER;
    CComPtr<ISms> message = m_message;
    *ppSms = message.Detach();
    return S_OK;
  });
}
