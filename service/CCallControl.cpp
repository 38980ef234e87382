#include <windows.h>
#include "CCallControl.h"

HRESULT CCallControl::FinalConstruct() {
  ZCLScopeTracer trace("CCallControl::FinalConstruct");
  return AtlAggregateFreeThreadedMarshaler(GetUnknown(), m_marshaler);
}

void CCallControl::FinalRelease() {
  ZCLScopeTracer trace("CCallControl::FinalRelease");
  m_marshaler.Release();
}

HRESULT CCallControl::Initialize(CZembra* owner) {
  ZCLScopeTracer trace("CCallControl::Initialize");
  m_owner = owner;
  return S_OK;
}

// The phones' call handling and the call windows come with the per-device
// call state machines.
STDMETHODIMP CCallControl::AddDevice(BSTR) {
  ZCLScopeTracer trace("CCallControl::AddDevice");
  return E_NOTIMPL;
}

STDMETHODIMP CCallControl::RemoveDevice(BSTR) {
  ZCLScopeTracer trace("CCallControl::RemoveDevice");
  return E_NOTIMPL;
}

STDMETHODIMP CCallControl::Call(BSTR, BSTR) {
  ZCLScopeTracer trace("CCallControl::Call");
  return E_NOTIMPL;
}

STDMETHODIMP CCallControl::ComposeMessage(BSTR, BSTR, BSTR, BSTR) {
  ZCLScopeTracer trace("CCallControl::ComposeMessage");
  return E_NOTIMPL;
}

STDMETHODIMP CCallControl::NewMessageReceived(IMessageReceivedNotification*) {
  ZCLScopeTracer trace("CCallControl::NewMessageReceived");
  return E_NOTIMPL;
}
