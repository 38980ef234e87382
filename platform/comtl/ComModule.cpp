#include <windows.h>
#include <oleauto.h>
#include <utility>
#include "ComModule.h"
#include "Registrar.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

CAtlModule* _pAtlModule = nullptr;

HINSTANCE AtlGetThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::wstring AtlGetModulePath(HINSTANCE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

HRESULT AtlHresultFromLastError() {
  DWORD error = ::GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

CAtlModule::CAtlModule() : m_hInstResource(AtlGetThisModule()) { _pAtlModule = this; }

CAtlModule::~CAtlModule() {
  ReleaseGIT();
  if (_pAtlModule == this) _pAtlModule = nullptr;
}

LONG CAtlModule::Lock() { return ::InterlockedIncrement(&m_nLockCnt); }
LONG CAtlModule::Unlock() { return ::InterlockedDecrement(&m_nLockCnt); }
LONG CAtlModule::GetLockCount() { return m_nLockCnt; }

HRESULT CAtlModule::GetGITPtr(IGlobalInterfaceTable** ppGIT) {
  if (!ppGIT) return E_POINTER;
  *ppGIT = nullptr;
  // Creating the table is the one call made under the lock: it is the
  // platform's own in-process object, not a client.
  CLockGuard guard(&m_gitLock);
  if (!m_pGIT) {
    HRESULT hr = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&m_pGIT));
    if (FAILED(hr)) return hr;
  }
  return m_pGIT.CopyTo(ppGIT);
}

// The last reference goes outside the lock.
void CAtlModule::ReleaseGIT() {
  CComPtr<IGlobalInterfaceTable> git;
  {
    CLockGuard guard(&m_gitLock);
    git = std::move(m_pGIT);
  }
}

HRESULT CAtlModule::AddCommonRGSReplacements(IRegistrarBase*) { return S_OK; }

HRESULT CAtlModule::PrepareRegistrar(CRegistrar* registrar) {
  HRESULT hr = registrar->Create();
  if (SUCCEEDED(hr)) hr = registrar->AddModuleReplacement(m_hInstResource);
  if (SUCCEEDED(hr)) hr = AddCommonRGSReplacements(registrar->Get());
  return hr;
}

HRESULT CAtlModule::UpdateRegistryFromResource(UINT resourceId, BOOL bRegister) {
  CRegistrar registrar;
  HRESULT hr = PrepareRegistrar(&registrar);
  if (SUCCEEDED(hr)) hr = registrar.RunResource(m_hInstResource, resourceId, bRegister != FALSE);
  return hr;
}

HRESULT CAtlModule::UpdateRegistryFromScript(
    LPCOLESTR script, std::initializer_list<std::pair<LPCOLESTR, LPCOLESTR>> replacements,
    BOOL bRegister) {
  CRegistrar registrar;
  HRESULT hr = PrepareRegistrar(&registrar);
  for (const auto& replacement : replacements) {
    if (SUCCEEDED(hr))
      hr = registrar.AddReplacement(replacement.first,
                                    CRegistrar::QuoteForScript(replacement.second).c_str());
  }
  if (SUCCEEDED(hr)) hr = registrar.RunScript(script, bRegister != FALSE);
  return hr;
}

HRESULT AtlRegisterObjects(_ATL_OBJMAP_ENTRY* map, BOOL bRegister) {
  for (_ATL_OBJMAP_ENTRY* entry = map; entry && entry->pclsid; ++entry) {
    if (!entry->pfnUpdateRegistry) continue;
    HRESULT hr = entry->pfnUpdateRegistry(bRegister);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT AtlRegisterClassObjects(_ATL_OBJMAP_ENTRY* map, DWORD context, DWORD flags) {
  for (_ATL_OBJMAP_ENTRY* entry = map; entry && entry->pclsid; ++entry) {
    if (!entry->pfnGetClassObject || entry->dwRegister) continue;
    HRESULT hr = S_OK;
    if (!entry->pCF)
      hr = entry->pfnGetClassObject(reinterpret_cast<void*>(entry->pfnCreateInstance),
                                    IID_IUnknown, reinterpret_cast<void**>(&entry->pCF));
    if (SUCCEEDED(hr))
      hr = ::CoRegisterClassObject(*entry->pclsid, entry->pCF, context, flags,
                                   &entry->dwRegister);
    if (FAILED(hr)) {
      entry->dwRegister = 0;
      return hr;
    }
  }
  return S_OK;
}

HRESULT AtlRevokeClassObjects(_ATL_OBJMAP_ENTRY* map) {
  for (_ATL_OBJMAP_ENTRY* entry = map; entry && entry->pclsid; ++entry) {
    if (!entry->dwRegister) continue;
    HRESULT hr = ::CoRevokeClassObject(entry->dwRegister);
    if (FAILED(hr)) return hr;
    entry->dwRegister = 0;
  }
  return S_OK;
}

void AtlReleaseClassFactories(_ATL_OBJMAP_ENTRY* map) {
  for (_ATL_OBJMAP_ENTRY* entry = map; entry && entry->pclsid; ++entry) {
    CComPtr<IUnknown> factory;
    factory.Attach(entry->pCF);  // the map's reference, given up here
    entry->pCF = nullptr;
  }
}

HRESULT AtlRegisterTypeLib(HINSTANCE module) {
  std::wstring path = AtlGetModulePath(module);
  if (path.empty()) return AtlHresultFromLastError();
  CComPtr<ITypeLib> lib;
  HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return hr;
  return ::RegisterTypeLib(lib, const_cast<LPOLESTR>(path.c_str()), nullptr);
}

HRESULT AtlUnRegisterTypeLib(REFGUID libid, WORD major, WORD minor) {
#ifdef _WIN64
  const SYSKIND kind = SYS_WIN64;
#else
  const SYSKIND kind = SYS_WIN32;
#endif
  return ::UnRegisterTypeLib(libid, major, minor, LOCALE_NEUTRAL, kind);
}
