#pragma once
#include <windows.h>
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLLogger.h"

class CZembra;

// Call control: the service's one call-control object, made by the main
// object and reached by the other threads through the GIT only.
//
// Aggregates the free-threaded marshaler: it is a multithreaded object whose
// callers are worker and library threads; the GIT then hands every apartment
// of the process the object itself instead of a proxy into the main thread.
class CCallControl : public CComObjectRootEx<CComMultiThreadModel>,
                     public CComCoClass<CCallControl>,
                     public ICallControl,
                     public IMessageComposer {
public:
  BEGIN_COM_MAP(CCallControl)
  COM_INTERFACE_ENTRY(ICallControl)
  COM_INTERFACE_ENTRY(IMessageComposer)
  COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
  END_COM_MAP()

  CCallControl() = default;
  virtual ~CCallControl() {}
  virtual HRESULT Initialize(CZembra* owner);

  HRESULT FinalConstruct();
  void FinalRelease();

  // ICallControl
  STDMETHOD(AddDevice)(BSTR bstrSerial) override;
  STDMETHOD(RemoveDevice)(BSTR bstrSerial) override;
  STDMETHOD(Call)(BSTR bstrSerial, BSTR bstrNumber) override;
  // IMessageComposer
  STDMETHOD(ComposeMessage)(BSTR bstrSerial, BSTR bstrNumber, BSTR bstrName,
                            BSTR bstrMessage) override;
  STDMETHOD(NewMessageReceived)(IMessageReceivedNotification* pNotification) override;

private:
  ZCLObjectTracer<CCallControl> m_tracer;
  CZembra* m_owner = nullptr;
  CComPtr<IUnknown> m_marshaler;
};
