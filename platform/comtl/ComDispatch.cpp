#include <windows.h>
#include <utility>
#include <vector>
#include "CLockable.h"
#include "ComDispatch.h"
#include "ComModule.h"
#include "ComPtr.h"
#include "ZCLFrame.h"

namespace {

// Guards loading and the list of loaded type information (any thread may
// make the first dispatch call). Never destroyed: dispatch calls may come
// while statics are being torn down.
CRITICAL_SECTION& TypeInfoLock() {
  static CRITICAL_SECTION* lock = [] {
    auto* section = new CRITICAL_SECTION;
    ::InitializeCriticalSection(section);
    return section;
  }();
  return *lock;
}

// The holders' caches and the references that keep them valid.
struct LoadedTypeInfo {
  ITypeInfo** cache;
  CComPtr<ITypeInfo> owner;
};

std::vector<LoadedTypeInfo>& LoadedTypeInfos() {
  static auto* loaded = new std::vector<LoadedTypeInfo>;
  return *loaded;
}

HRESULT LoadLibraryOf(const GUID& libid, WORD major, WORD minor, LCID lcid, ITypeLib** ppLib) {
  HRESULT hr = ::LoadRegTypeLib(libid, major, minor, lcid, ppLib);
  if (SUCCEEDED(hr)) return hr;
  std::wstring path = AtlGetModulePath(AtlGetThisModule());
  if (path.empty()) return hr;
  CComPtr<ITypeLib> own;
  if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &own))) return hr;
  TLIBATTR* attr = nullptr;
  if (FAILED(own->GetLibAttr(&attr))) return hr;
  bool same = ::InlineIsEqualGUID(attr->guid, libid) != 0;
  own->ReleaseTLibAttr(attr);
  if (!same) return hr;
  *ppLib = own.Detach();
  return S_OK;
}

}  // namespace

// Hands out a reference of its own, so that the module's end cannot take the
// type information from under a call in progress.
HRESULT CComTypeInfoHolder::Loaded(CComPtr<ITypeInfo>& info) {
  CCriticalSectionGuard guard(TypeInfoLock());
  if (!m_pInfo) {
    CComPtr<ITypeLib> lib;
    HRESULT hr = LoadLibraryOf(*m_plibid, m_wMajor, m_wMinor, LOCALE_USER_DEFAULT, &lib);
    CComPtr<ITypeInfo> loaded;
    if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(*m_pguid, &loaded);
    if (FAILED(hr)) return hr;
    LoadedTypeInfos().push_back({&m_pInfo, loaded});
    m_pInfo = loaded;
  }
  info = m_pInfo;
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT index, LCID, ITypeInfo** ppInfo) {
  return ZCLComMethod("IDispatchImpl::GetTypeInfo", ZCL_SITE, [&]() -> HRESULT {
    if (!ppInfo) return E_POINTER;
    *ppInfo = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    CComPtr<ITypeInfo> info;
    HRESULT hr = Loaded(info);
    if (FAILED(hr)) return hr;
    *ppInfo = info.Detach();
    return S_OK;
  });
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* dispids) {
  return ZCLComMethod("IDispatchImpl::GetIDsOfNames", ZCL_SITE, [&]() -> HRESULT {
    CComPtr<ITypeInfo> info;
    HRESULT hr = Loaded(info);
    if (FAILED(hr)) return hr;
    return ::DispGetIDsOfNames(info, names, count, dispids);
  });
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* self, DISPID dispid, REFIID riid, LCID,
                                   WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excepinfo, UINT* argErr) {
  return ZCLComMethod("IDispatchImpl::Invoke", ZCL_SITE, [&]() -> HRESULT {
    if (!::InlineIsEqualGUID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    CComPtr<ITypeInfo> info;
    HRESULT hr = Loaded(info);
    if (FAILED(hr)) return hr;
    return info->Invoke(self, dispid, flags, params, result, excepinfo, argErr);
  });
}

// The references go outside the lock.
void AtlReleaseTypeInfos() {
  std::vector<LoadedTypeInfo> released;
  {
    CCriticalSectionGuard guard(TypeInfoLock());
    released.swap(LoadedTypeInfos());
    for (LoadedTypeInfo& loaded : released) *loaded.cache = nullptr;
  }
}
