#include <windows.h>
#include "CDialixCallback.h"
#include "CZembraClient.h"

NS_IMETHODIMP CDialixCallback::QueryInterface(const nsIID& iid, void** result) {
  if (!result) return NS_ERROR_NULL_POINTER;
  *result = nullptr;
  if (!iid.Equals(NS_GET_IID(nsISupports)) && !iid.Equals(NS_GET_IID(IOrvexDialixCallback)))
    return NS_ERROR_NO_INTERFACE;
  *result = static_cast<IOrvexDialixCallback*>(this);
  AddRef();
  return NS_OK;
}

HRESULT CDialixCallback::SetScriptCallback(IOrvexDialixCallback* script, CComPtr<IZembraCallback>& sink) {
  sink.Release();
  m_script = script;
  if (!script) return S_OK;
  m_sink = nullptr;  // an earlier sink keeps serving its own connection
  CZembraClient* made = nullptr;
  HRESULT hr = CZembraClient::Create(this, sink, &made);
  if (SUCCEEDED(hr)) m_sink = made;
  return hr;
}

void CDialixCallback::SinkGone(CZembraClient* sink) {
  if (m_sink == sink) m_sink = nullptr;
}

// Each member passes the call on unchanged.
#define DIALIX_FORWARD(call) \
  return m_script ? m_script->call : NS_ERROR_NOT_INITIALIZED;

NS_IMETHODIMP CDialixCallback::ConnectCompleted(const nsAString& clientId) {
  DIALIX_FORWARD(ConnectCompleted(clientId))
}
NS_IMETHODIMP CDialixCallback::DisconnectCompleted(const nsAString& clientId) {
  DIALIX_FORWARD(DisconnectCompleted(clientId))
}
NS_IMETHODIMP CDialixCallback::OperationCompleted(const nsAString& clientId, const nsAString& operationId,
                                                  IOrvexDialixOperation* operation) {
  DIALIX_FORWARD(OperationCompleted(clientId, operationId, operation))
}
NS_IMETHODIMP CDialixCallback::OperationFailed(const nsAString& clientId, const nsAString& operationId,
                                               PRInt32 result, IOrvexDialixErrorInfo* error) {
  DIALIX_FORWARD(OperationFailed(clientId, operationId, result, error))
}
NS_IMETHODIMP CDialixCallback::NewDevice(const nsAString& clientId, IOrvexDialixDevice* device) {
  DIALIX_FORWARD(NewDevice(clientId, device))
}
NS_IMETHODIMP CDialixCallback::DeviceStateChanged(const nsAString& clientId, IOrvexDialixDevice* device) {
  DIALIX_FORWARD(DeviceStateChanged(clientId, device))
}
NS_IMETHODIMP CDialixCallback::Notification(const nsAString& clientId, const nsIID* kind,
                                            nsISupports* notification) {
  DIALIX_FORWARD(Notification(clientId, kind, notification))
}
