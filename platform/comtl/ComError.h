#pragma once
#include <windows.h>
#include <oaidl.h>

// Sets the thread's error information: GUID iid, the ProgID registered for
// clsid as source (none when it has none), the description, no help file, help
// context 0. Returns hr.
HRESULT AtlReportError(const CLSID& clsid, LPCOLESTR description, const IID& iid, HRESULT hr);

// Builds an error-information object carrying a description only.
HRESULT AtlCreateErrorInfo(LPCOLESTR description, IErrorInfo** ppErrorInfo);

// Answers S_OK for the one interface that sets error information.
template <const IID* piid>
class ISupportErrorInfoImpl : public ISupportErrorInfo {
public:
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override {
    return ::InlineIsEqualGUID(riid, *piid) ? S_OK : S_FALSE;
  }
};
