#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "CLiveObjectRegistry.h"
#include "CZembraEventLog.h"
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLLogger.h"

// A call-log entry as clients see it: its own copy of the record and the
// serial of its phone. Read-only for clients; the lock guards the record.
class CEvent : public CComObjectRootEx<CComMultiThreadModel>,
               public IDispatchImpl<IEvent, &IID_IEvent, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CEvent)
  COM_INTERFACE_ENTRY(IEvent)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  HRESULT FinalConstruct();
  void FinalRelease();

  STDMETHOD(get_Id)(BSTR* pbstrId) override;
  STDMETHOD(get_Type)(long* pType) override;
  STDMETHOD(get_Direction)(long* pDirection) override;
  STDMETHOD(get_Duration)(VARIANT* pDuration) override;
  STDMETHOD(get_BytesSent)(VARIANT* pBytes) override;
  STDMETHOD(get_BytesReceived)(VARIANT* pBytes) override;
  STDMETHOD(get_Number)(BSTR* pbstrNumber) override;
  STDMETHOD(get_Name)(BSTR* pbstrName) override;
  STDMETHOD(get_TimeStamp)(BSTR* pbstrTimeStamp) override;

  void Init(const CZembraEventLog* record, const wchar_t* serialNumber);
  std::wstring GetSerialNumber();

private:
  // Runs the getter on the record under the lock; E_POINTER for a null out.
  template <class Out, class Getter>
  HRESULT Read(const char* name, Out* out, Getter read);

  ZCLObjectTracer<CEvent> m_tracer;
  std::unique_ptr<CZembraEventLog> m_record;
  std::wstring m_serialNumber;
  CLiveObjectRegistry<CEvent>::CRegistration m_live;
};

typedef CLiveObjectRegistry<CEvent> CEventRegistry;
