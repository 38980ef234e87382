#pragma once
#include <windows.h>
#include <oaidl.h>
#include <string>
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

  // The control is going with its page: the script is let go, and a client
  // still connected is disconnected now, or as soon as its id arrives (the
  // service would otherwise keep it, and keep calling, until the browser
  // ends).
  void Leave(IZembra* service);
  // The page disconnected clientId itself.
  void DisconnectSent(BSTR clientId);
  // Whether the service has let the client go or been asked to.
  bool Ended() const { return m_ended; }

private:
  // Calls the script's method by name with args in call order.
  HRESULT CallScript(LPCOLESTR method, VARIANT* args, UINT count);

  CComPtr<IDispatch> m_script;
  std::wstring m_clientId;  // from ConnectCompleted
  bool m_connected = false;
  bool m_ended = false;
  CComPtr<IZembra> m_leftWith;  // the service, when the control left before the id came
};
