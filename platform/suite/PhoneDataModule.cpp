#include <windows.h>
#include "PhoneDataServer.h"
#include "PhoneWorld.h"

// The phone-data server's in-process module: its one class, registration
// through its script, and the world's switch that makes it absent.

namespace {

CAtlModule g_module;

_ATL_OBJMAP_ENTRY g_objects[] = {OBJECT_ENTRY(CLSID_PhoneDataServer, CPhoneDataServer){nullptr, nullptr, nullptr,
                                                                                       nullptr, nullptr, 0}};

bool ServerAbsent() {
  bool absent = false;
  ZCLGuarded(3, ZCL_SITE, [&] { absent = PhoneSim::CPhoneWorld().IsPhoneDataAbsent(); });
  return absent;
}

// The registrar is a COM object: a caller that has not joined COM is joined
// for the call.
HRESULT RegisterObjects(BOOL bRegister) {
  HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HRESULT hr = AtlRegisterObjects(g_objects, bRegister);
  if (SUCCEEDED(joined)) CoUninitialize();
  return hr;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // Marked absent in the world: as if the suite were not installed.
  if (ServerAbsent()) return CLASS_E_CLASSNOTAVAILABLE;
  for (_ATL_OBJMAP_ENTRY* entry = g_objects; entry->pclsid; ++entry) {
    if (!InlineIsEqualGUID(*entry->pclsid, clsid) || !entry->pfnGetClassObject) continue;
    return entry->pfnGetClassObject(reinterpret_cast<void*>(entry->pfnCreateInstance), iid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
  return g_module.GetLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() { return RegisterObjects(TRUE); }

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() { return RegisterObjects(FALSE); }
