#include <windows.h>
#include "CZembra.h"

namespace {

// The methods' bodies are not there yet: each answers E_NOTIMPL.
HRESULT NotYet(const char* method) {
  try {
    ZCLScopeTracer trace(method);
    return E_NOTIMPL;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace

HRESULT CZembra::FinalConstruct() {
  try {
    ZCLScopeTracer trace("CZembra::FinalConstruct");
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void CZembra::FinalRelease() {
  try {
    ZCLScopeTracer trace("CZembra::FinalRelease");
  } catch (...) {
  }
}

STDMETHODIMP CZembra::Connect(IZembraCallback*) { return NotYet("CZembra::Connect"); }
STDMETHODIMP CZembra::Disconnect(BSTR) { return NotYet("CZembra::Disconnect"); }
STDMETHODIMP CZembra::CreateOperation(BSTR, REFIID, IOperation** ppOperation) {
  if (ppOperation) *ppOperation = nullptr;
  return NotYet("CZembra::CreateOperation");
}
STDMETHODIMP CZembra::BeginOperation(IOperation*) { return NotYet("CZembra::BeginOperation"); }
STDMETHODIMP CZembra::CancelOperation(IOperation*) { return NotYet("CZembra::CancelOperation"); }
STDMETHODIMP CZembra::SubscribeNotification(BSTR, REFIID) {
  return NotYet("CZembra::SubscribeNotification");
}
STDMETHODIMP CZembra::UnsubscribeNotification(BSTR, REFIID) {
  return NotYet("CZembra::UnsubscribeNotification");
}
