#pragma once
#include <windows.h>
#include "CLockable.h"
#include "ComModule.h"
#include "ExeModule.h"

// The module of an in-process server. DllMain runs under the loader's lock on
// the attaching thread; the other exports come from any thread of any
// apartment, and the class factories are made once under the module's own
// lock (which calls nothing outside the module).
class CAtlDllModule : public CAtlModule {
public:
  explicit CAtlDllModule(_ATL_OBJMAP_ENTRY* objectMap);
  ~CAtlDllModule() override;

  BOOL DllMain(DWORD reason, LPVOID reserved);
  // S_OK when no object, no lock and no window of the module is alive.
  HRESULT DllCanUnloadNow();
  HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
  // The application id's script first, then the classes, then the type library.
  HRESULT DllRegisterServer(BOOL bRegTypeLib = TRUE);
  // The classes and the type library first, then the application id's script.
  HRESULT DllUnregisterServer(BOOL bUnRegTypeLib = TRUE);
  // Either of the two with the system's default thread locale, as the
  // registrar and the type library expect; the caller's locale comes back.
  HRESULT RegisterWithSystemLocale(bool registering);

  virtual HRESULT UpdateRegistryAppId(BOOL bRegister) = 0;
  virtual const GUID& GetLibID() const = 0;

  // Gives up the class factories (at process detach).
  void Term();

private:
  _ATL_OBJMAP_ENTRY* m_pObjMap;
  CLockable m_factoryLock;  // guards the map's pCF fields
};

// T adds what only the library knows, through the declarations of ExeModule.h:
//   DECLARE_LIBID(LIBID_x)
//   DECLARE_REGISTRY_APPID_RESOURCEID(resid, "{appid}")
template <class T>
class CAtlDllModuleT : public CAtlDllModule {
public:
  explicit CAtlDllModuleT(_ATL_OBJMAP_ENTRY* objectMap) : CAtlDllModule(objectMap) {}
  HRESULT UpdateRegistryAppId(BOOL bRegister) override { return T::UpdateRegistryAppIdRes(bRegister); }
  const GUID& GetLibID() const override { return T::GetLibIDRes(); }
};

// The four exports an in-process server forwards to its module object.
// DllMain stays with each library: some have more to do at attach.
#define DIALIX_DLL_EXPORTS(module)                                                   \
  STDAPI DllCanUnloadNow() { return (module).DllCanUnloadNow(); }                    \
  STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {              \
    return (module).DllGetClassObject(rclsid, riid, ppv);                            \
  }                                                                                  \
  STDAPI DllRegisterServer() { return (module).RegisterWithSystemLocale(true); }     \
  STDAPI DllUnregisterServer() { return (module).RegisterWithSystemLocale(false); }
