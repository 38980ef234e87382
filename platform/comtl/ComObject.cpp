#include <windows.h>
#include "ComObject.h"

HRESULT WINAPI CComObjectRootBase::InternalQueryInterface(void* pThis,
                                                          const _ATL_INTMAP_ENTRY* entries,
                                                          REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  auto at = [pThis](DWORD_PTR offset) {
    return reinterpret_cast<IUnknown*>(reinterpret_cast<DWORD_PTR>(pThis) + offset);
  };
  if (::InlineIsEqualGUID(iid, IID_IUnknown)) {
    IUnknown* unknown = at(entries->dw);
    unknown->AddRef();
    *ppv = unknown;
    return S_OK;
  }
  for (const _ATL_INTMAP_ENTRY* entry = entries; entry->pFunc; ++entry) {
    if (!::InlineIsEqualGUID(*entry->piid, iid)) continue;
    if (entry->pFunc == _ATL_SIMPLEMAPENTRY) {
      IUnknown* unknown = at(entry->dw);
      unknown->AddRef();
      *ppv = unknown;
      return S_OK;
    }
    HRESULT hr = entry->pFunc(pThis, iid, ppv, entry->dw);
    if (hr == S_OK) return S_OK;
    if (FAILED(hr) && hr != E_NOINTERFACE) return hr;
  }
  return E_NOINTERFACE;
}

HRESULT WINAPI CComObjectRootBase::_Delegate(void* pThis, REFIID iid, void** ppv, DWORD_PTR dw) {
  IUnknown* inner = *reinterpret_cast<IUnknown**>(reinterpret_cast<DWORD_PTR>(pThis) + dw);
  if (!inner) return E_NOINTERFACE;
  return inner->QueryInterface(iid, ppv);
}
