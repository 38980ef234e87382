#include <windows.h>
#include "CEventsUpdatedNotification.h"
#include "CEvent.h"
#include "ComText.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

void CEventsUpdatedNotification::Init(const wchar_t* serialNumber, const CZembraEventLog* record) {
  m_serialNumber = ZCLNullToEmpty(serialNumber);
  if (!record) return;
  CComPtr<CComObject<CEvent>> event = NewComObject<CEvent>();
  ZCLComThrowOnFalse(event != nullptr, E_OUTOFMEMORY, ZCL_POS + "No event object.");
  event->Init(record, serialNumber);
  m_event = static_cast<IEvent*>(event.p);
}

STDMETHODIMP CEventsUpdatedNotification::get_SerialNumber(BSTR* pbstrSerial) {
  return ZCLComMethod("CEventsUpdatedNotification::get_SerialNumber", ZCL_SITE,
                      [&] { return CopyComText(m_serialNumber, pbstrSerial); });
}

STDMETHODIMP CEventsUpdatedNotification::get_Event(IEvent** ppEvent) {
  return ZCLComMethod("CEventsUpdatedNotification::get_Event", ZCL_SITE, [&]() -> HRESULT {
    if (!m_event) return E_NOINTERFACE;
    if (!ppEvent) return E_POINTER;
    CComPtr<IEvent> event = m_event;
    *ppEvent = event.Detach();
    return S_OK;
  });
}
