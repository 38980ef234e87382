#include <windows.h>
#include <vector>
#include "ComDispatch.h"
#include "ComModule.h"
#include "ComPtr.h"

namespace {

// Guards loading and the list of loaded type information (any thread may
// make the first dispatch call).
CRITICAL_SECTION& TypeInfoLock() {
  static CRITICAL_SECTION* lock = [] {
    auto* section = new CRITICAL_SECTION;
    ::InitializeCriticalSection(section);
    return section;
  }();
  return *lock;
}

std::vector<ITypeInfo**>& LoadedTypeInfos() {
  static auto* loaded = new std::vector<ITypeInfo**>;
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

HRESULT CComTypeInfoHolder::EnsureLoaded() {
  ::EnterCriticalSection(&TypeInfoLock());
  HRESULT hr = S_OK;
  if (!m_pInfo) {
    CComPtr<ITypeLib> lib;
    hr = LoadLibraryOf(*m_plibid, m_wMajor, m_wMinor, LOCALE_USER_DEFAULT, &lib);
    if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(*m_pguid, &m_pInfo);
    if (SUCCEEDED(hr)) LoadedTypeInfos().push_back(&m_pInfo);
  }
  ::LeaveCriticalSection(&TypeInfoLock());
  return hr;
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT index, LCID, ITypeInfo** ppInfo) {
  if (!ppInfo) return E_POINTER;
  *ppInfo = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  HRESULT hr = EnsureLoaded();
  if (FAILED(hr)) return hr;
  m_pInfo->AddRef();
  *ppInfo = m_pInfo;
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* dispids) {
  HRESULT hr = EnsureLoaded();
  if (FAILED(hr)) return hr;
  return ::DispGetIDsOfNames(m_pInfo, names, count, dispids);
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* self, DISPID dispid, REFIID riid, LCID,
                                   WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excepinfo, UINT* argErr) {
  if (!::InlineIsEqualGUID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  HRESULT hr = EnsureLoaded();
  if (FAILED(hr)) return hr;
  return m_pInfo->Invoke(self, dispid, flags, params, result, excepinfo, argErr);
}

void AtlReleaseTypeInfos() {
  ::EnterCriticalSection(&TypeInfoLock());
  for (ITypeInfo** info : LoadedTypeInfos()) {
    if (*info) (*info)->Release();
    *info = nullptr;
  }
  LoadedTypeInfos().clear();
  ::LeaveCriticalSection(&TypeInfoLock());
}
