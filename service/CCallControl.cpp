#include <windows.h>
#include "CCallControl.h"
#include "ZCLFrame.h"

HRESULT CCallControl::FinalConstruct() {
  return ZCLComMethod("CCallControl::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
    return AtlAggregateFreeThreadedMarshaler(GetUnknown(), m_marshaler);
  });
}

void CCallControl::FinalRelease() { m_marshaler.Release(); }

HRESULT CCallControl::Initialize(CZembra* owner) {
  m_owner = owner;
  return S_OK;
}

// The phones' call handling and the call windows come with the per-device
// call state machines; until then every request answers E_NOTIMPL.
STDMETHODIMP CCallControl::AddDevice(BSTR) {
  return ZCLComMethod("CCallControl::AddDevice", ZCL_SITE, []() -> HRESULT { return E_NOTIMPL; });
}

STDMETHODIMP CCallControl::RemoveDevice(BSTR) {
  return ZCLComMethod("CCallControl::RemoveDevice", ZCL_SITE,
                      []() -> HRESULT { return E_NOTIMPL; });
}

STDMETHODIMP CCallControl::Call(BSTR, BSTR) {
  return ZCLComMethod("CCallControl::Call", ZCL_SITE, []() -> HRESULT { return E_NOTIMPL; });
}

STDMETHODIMP CCallControl::ComposeMessage(BSTR, BSTR, BSTR, BSTR) {
  return ZCLComMethod("CCallControl::ComposeMessage", ZCL_SITE,
                      []() -> HRESULT { return E_NOTIMPL; });
}

STDMETHODIMP CCallControl::NewMessageReceived(IMessageReceivedNotification*) {
  return ZCLComMethod("CCallControl::NewMessageReceived", ZCL_SITE,
                      []() -> HRESULT { return E_NOTIMPL; });
}
