#pragma once
#include <windows.h>
#include "ComTL.h"
#include "SZembra.h"
#include "ZCLLogger.h"
#include "resource.h"

// The service's main object: one instance per process, made by the singleton
// factory. Called on the main thread (the module's apartment).
class CZembra : public CComObjectRootEx<CComMultiThreadModel>,
                public CComCoClass<CZembra, &CLSID_Zembra>,
                public ISupportErrorInfoImpl<&IID_IZembra>,
                public IDispatchImpl<IZembra, &IID_IZembra, &LIBID_SZembraLib, 1, 0> {
public:
  DECLARE_REGISTRY_RESOURCEID(IDR_ZEMBRA)
  DECLARE_CLASSFACTORY_SINGLETON(CZembra)

  BEGIN_COM_MAP(CZembra)
  COM_INTERFACE_ENTRY(IZembra)
  COM_INTERFACE_ENTRY(IDispatch)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  END_COM_MAP()

  HRESULT FinalConstruct();
  void FinalRelease();

  STDMETHOD(Connect)(IZembraCallback* pICallback) override;
  STDMETHOD(Disconnect)(BSTR bstrClientId) override;
  STDMETHOD(CreateOperation)(BSTR bstrClientId, REFIID riid, IOperation** ppOperation) override;
  STDMETHOD(BeginOperation)(IOperation* pIOperation) override;
  STDMETHOD(CancelOperation)(IOperation* pIOperation) override;
  STDMETHOD(SubscribeNotification)(BSTR bstrClientId, REFIID riid) override;
  STDMETHOD(UnsubscribeNotification)(BSTR bstrClientId, REFIID riid) override;

private:
  ZCLObjectTracer<CZembra> m_tracer;
};
