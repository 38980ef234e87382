#include <windows.h>
#include "DllModule.h"
#include "ZCLFrame.h"

CAtlDllModule::CAtlDllModule(_ATL_OBJMAP_ENTRY* objectMap) : m_pObjMap(objectMap) {}

CAtlDllModule::~CAtlDllModule() { Term(); }

BOOL CAtlDllModule::DllMain(DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    ::DisableThreadLibraryCalls(m_hInstResource);
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    // Unloaded by FreeLibrary: the factories are ours and hold nothing else.
    // At process end (reserved set) nothing is released.
    Term();
  }
  return TRUE;
}

HRESULT CAtlDllModule::DllCanUnloadNow() { return GetLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT CAtlDllModule::DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return ZCLComMethod("CAtlDllModule::DllGetClassObject", ZCL_SITE, [&]() -> HRESULT {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (_ATL_OBJMAP_ENTRY* entry = m_pObjMap; entry && entry->pclsid; ++entry) {
      if (!::IsEqualCLSID(*entry->pclsid, clsid) || !entry->pfnGetClassObject) continue;
      CComPtr<IUnknown> factory;
      {
        CLockGuard guard(&m_factoryLock);
        if (!entry->pCF) {
          HRESULT hr = entry->pfnGetClassObject(reinterpret_cast<void*>(entry->pfnCreateInstance),
                                                IID_IUnknown,
                                                reinterpret_cast<void**>(&entry->pCF));
          if (FAILED(hr)) return hr;
        }
        factory = entry->pCF;
      }
      return factory->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
  });
}

HRESULT CAtlDllModule::DllRegisterServer(BOOL bRegTypeLib) { return AtlRegisterServer(*this, m_pObjMap, bRegTypeLib); }

HRESULT CAtlDllModule::DllUnregisterServer(BOOL bUnRegTypeLib) {
  return AtlUnregisterServer(*this, m_pObjMap, bUnRegTypeLib, true);
}

HRESULT CAtlDllModule::RegisterWithSystemLocale(bool registering) {
  LCID previous = ::GetThreadLocale();
  ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
  HRESULT hr = registering ? DllRegisterServer(TRUE) : DllUnregisterServer(TRUE);
  ::SetThreadLocale(previous);
  return hr;
}

void CAtlDllModule::Term() {
  CLockGuard guard(&m_factoryLock);
  AtlReleaseClassFactories(m_pObjMap);
}
