#pragma once
#include <windows.h>
#include <oaidl.h>
#include "ComPtr.h"

// Type information of one interface, loaded on first use from the registered
// type library, or from the module's own TYPELIB resource when the library is
// not registered (in-process tests, a server run before /RegServer).
// Any thread may dispatch through it; loading and the module's end are guarded.
class CComTypeInfoHolder {
public:
  constexpr CComTypeInfoHolder(const IID* piid, const GUID* plibid, WORD major, WORD minor)
      : m_pguid(piid), m_plibid(plibid), m_wMajor(major), m_wMinor(minor) {}

  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** ppInfo);
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* dispids);
  HRESULT Invoke(IDispatch* self, DISPID dispid, REFIID riid, LCID lcid, WORD flags,
                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepinfo, UINT* argErr);

private:
  HRESULT Loaded(CComPtr<ITypeInfo>& info);

  const IID* m_pguid;
  const GUID* m_plibid;
  WORD m_wMajor;
  WORD m_wMinor;
  ITypeInfo* m_pInfo = nullptr;  // a cache; its reference is kept with the loaded list
};

// Dual interface T dispatched through its type information.
template <class T, const IID* piid, const GUID* plibid, WORD wMajor = 1, WORD wMinor = 0>
class IDispatchImpl : public T {
public:
  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT index, LCID lcid, ITypeInfo** ppInfo) override {
    return _tih.GetTypeInfo(index, lcid, ppInfo);
  }
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                           DISPID* dispids) override {
    return _tih.GetIDsOfNames(riid, names, count, lcid, dispids);
  }
  STDMETHOD(Invoke)(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                    VARIANT* result, EXCEPINFO* excepinfo, UINT* argErr) override {
    return _tih.Invoke(static_cast<IDispatch*>(static_cast<T*>(this)), dispid, riid, lcid, flags,
                       params, result, excepinfo, argErr);
  }

protected:
  static inline CComTypeInfoHolder _tih{piid, plibid, wMajor, wMinor};
};
