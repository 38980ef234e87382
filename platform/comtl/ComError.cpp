#include <windows.h>
#include "ComError.h"
#include "ComBSTR.h"
#include "ComPtr.h"

HRESULT AtlReportError(const CLSID& clsid, LPCOLESTR description, const IID& iid, HRESULT hr) {
  CComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(::CreateErrorInfo(&create))) {
    create->SetGUID(iid);
    LPOLESTR progId = nullptr;
    if (!::InlineIsEqualGUID(clsid, CLSID_NULL) && SUCCEEDED(::ProgIDFromCLSID(clsid, &progId))) {
      create->SetSource(progId);
      ::CoTaskMemFree(progId);
    }
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetHelpFile(nullptr);
    create->SetHelpContext(0);
    CComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))))
      ::SetErrorInfo(0, info);
  }
  return hr;
}

HRESULT AtlCreateErrorInfo(LPCOLESTR description, IErrorInfo** ppErrorInfo) {
  if (!ppErrorInfo) return E_POINTER;
  *ppErrorInfo = nullptr;
  CComPtr<ICreateErrorInfo> create;
  HRESULT hr = ::CreateErrorInfo(&create);
  if (FAILED(hr)) return hr;
  if (description) {
    CComBSTR text(description);
    if (!text) return E_OUTOFMEMORY;
    hr = create->SetDescription(text);
    if (FAILED(hr)) return hr;
  }
  return create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(ppErrorInfo));
}
