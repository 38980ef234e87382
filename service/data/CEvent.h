#pragma once
#include <windows.h>
#include "CDataItem.h"
#include "CZembraEventLog.h"
#include "ZCLLogger.h"

// A call-log entry as clients see it: its own copy of the record and the
// serial of its phone (threading as for every CDataItem). Read-only.
class CEvent : public CDataItem<CEvent, CZembraEventLog, IEvent, &IID_IEvent> {
public:
  BEGIN_COM_MAP(CEvent)
  COM_INTERFACE_ENTRY(IEvent)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  STDMETHOD(get_Id)(BSTR* pbstrId) override;
  STDMETHOD(get_Type)(long* pType) override;
  STDMETHOD(get_Direction)(long* pDirection) override;
  STDMETHOD(get_Duration)(VARIANT* pDuration) override;
  STDMETHOD(get_BytesSent)(VARIANT* pBytes) override;
  STDMETHOD(get_BytesReceived)(VARIANT* pBytes) override;
  STDMETHOD(get_Number)(BSTR* pbstrNumber) override;
  STDMETHOD(get_Name)(BSTR* pbstrName) override;
  STDMETHOD(get_TimeStamp)(BSTR* pbstrTimeStamp) override;

private:
  ZCLObjectTracer<CEvent> m_tracer;
};

typedef CLiveObjectRegistry<CEvent> CEventRegistry;
