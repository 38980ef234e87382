#pragma once
#include <windows.h>
#include <oaidl.h>
#include "ComHeapObject.h"
#include "ComPtr.h"
#include "ieOrvexDialix.h"

// The service's callback for one script object: each call becomes a call of
// the script method of the same name. Made on the page's thread; the service
// calls it through COM, so every script call happens on that thread. The
// count alone may change from any thread.
class COrvexDialixCallBack : public CComHeapObject<IZembraCallback> {
public:
  explicit COrvexDialixCallBack(IDispatch* script);

  STDMETHOD(ConnectCompleted)(BSTR clientId) override;
  STDMETHOD(DisconnectCompleted)(BSTR clientId) override;
  STDMETHOD(OperationCompleted)(BSTR clientId, BSTR operationId, IOperation* operation) override;
  STDMETHOD(OperationFailed)(BSTR clientId, BSTR operationId, HRESULT hr,
                             IErrorInfo* errorInfo) override;
  STDMETHOD(OperationProgress)(BSTR clientId, BSTR operationId, IProgressInfo* progress) override;
  STDMETHOD(OperationData)(BSTR clientId, BSTR operationId, IOperation* data) override;
  STDMETHOD(NewDevice)(BSTR clientId, IDevice* device) override;
  STDMETHOD(DeviceStateChanged)(BSTR clientId, IDevice* device) override;
  STDMETHOD(Notification)(BSTR clientId, REFIID riid, ISNotification* notification) override;

  virtual ~COrvexDialixCallBack();

private:
  // Calls the script's method by name with args in call order.
  HRESULT CallScript(LPCOLESTR method, VARIANT* args, UINT count);

  CComPtr<IDispatch> m_script;
};
