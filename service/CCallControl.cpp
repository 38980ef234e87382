#include <windows.h>
#include "CCallControl.h"

HRESULT CCallControl::FinalConstruct() {
  try {
    ZCLScopeTracer trace("CCallControl::FinalConstruct");
    return AtlAggregateFreeThreadedMarshaler(GetUnknown(), m_marshaler);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void CCallControl::FinalRelease() { m_marshaler.Release(); }

HRESULT CCallControl::Initialize(CZembra* owner) {
  m_owner = owner;
  return S_OK;
}

namespace {

// The phones' call handling and the call windows come with the per-device
// call state machines; until then every request answers E_NOTIMPL.
HRESULT NotBuiltYet(const char* method) {
  try {
    ZCLScopeTracer trace(method);
    return E_NOTIMPL;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace

STDMETHODIMP CCallControl::AddDevice(BSTR) { return NotBuiltYet("CCallControl::AddDevice"); }

STDMETHODIMP CCallControl::RemoveDevice(BSTR) { return NotBuiltYet("CCallControl::RemoveDevice"); }

STDMETHODIMP CCallControl::Call(BSTR, BSTR) { return NotBuiltYet("CCallControl::Call"); }

STDMETHODIMP CCallControl::ComposeMessage(BSTR, BSTR, BSTR, BSTR) {
  return NotBuiltYet("CCallControl::ComposeMessage");
}

STDMETHODIMP CCallControl::NewMessageReceived(IMessageReceivedNotification*) {
  return NotBuiltYet("CCallControl::NewMessageReceived");
}
