#pragma once
#include <windows.h>
#include <string>
#include "CZembraEventLog.h"
#include "ComTL.h"
#include "SZembra.h"

// A change of a phone's call log, for subscribed clients. Immutable once
// initialised; read from any thread.
class CEventsUpdatedNotification
    : public CComObjectRootEx<CComMultiThreadModel>,
      public IDispatchImpl<IEventsUpdatedNotification, &IID_IEventsUpdatedNotification, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CEventsUpdatedNotification)
  COM_INTERFACE_ENTRY(IEventsUpdatedNotification)
  COM_INTERFACE_ENTRY(ISNotification)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  void FinalRelease() { m_event.Release(); }

  STDMETHOD(get_SerialNumber)(BSTR* pbstrSerial) override;
  STDMETHOD(get_Event)(IEvent** ppEvent) override;

  // With a record, holds a new event object over a copy of it.
  void Init(const wchar_t* serialNumber, const CZembraEventLog* record);

private:
  std::wstring m_serialNumber;
  CComPtr<IEvent> m_event;
};
