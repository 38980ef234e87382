// Forced into the proxy/stub sources: the IUnknown proxies that the
// generated tables name, exported by the RPC runtime.
#pragma once
#include <windows.h>
#include <unknwn.h>
#ifdef __cplusplus
extern "C" {
#endif
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* This, REFIID riid, void** ppv);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* This);
#ifdef __cplusplus
}
#endif
