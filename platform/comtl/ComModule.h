#pragma once
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <initializer_list>
#include <string>
#include <utility>
#include "CLockable.h"
#include "ComPtr.h"

struct IRegistrarBase;
class CRegistrar;

// Helpers shared by the modules.
std::wstring AtlGetModulePath(HINSTANCE module);
HRESULT AtlHresultFromLastError();
// The image the template layer is linked into (the program or the DLL).
HINSTANCE AtlGetThisModule();

// --- Object map: the classes of a module, their registration and creation.

typedef HRESULT(WINAPI* _ATL_CREATORFUNC)(void* pv, REFIID riid, void** ppv);
typedef HRESULT(WINAPI* _ATL_UPDATEREGISTRYFUNC)(BOOL bRegister);

struct _ATL_OBJMAP_ENTRY {
  const CLSID* pclsid;
  _ATL_UPDATEREGISTRYFUNC pfnUpdateRegistry;
  _ATL_CREATORFUNC pfnGetClassObject;  // makes the class factory; null: not creatable
  _ATL_CREATORFUNC pfnCreateInstance;  // handed to the factory
  IUnknown* pCF;                       // the factory, made once, released at Term
  DWORD dwRegister;                    // class-object registration cookie, 0 when revoked
};

#define BEGIN_OBJECT_MAP(x) _ATL_OBJMAP_ENTRY x[] = {
#define END_OBJECT_MAP() {nullptr, nullptr, nullptr, nullptr, nullptr, 0}};
// A class that clients create through its class factory.
#define OBJECT_ENTRY(clsid, class)                                                      \
  {&clsid, class ::UpdateRegistry, class ::_ClassFactoryCreatorClass::CreateInstance, \
   class ::_CreatorClass::CreateInstance, nullptr, 0},
// A class only the module creates: registry entries and type information only.
#define OBJECT_ENTRY_NON_CREATEABLE_EX(clsid, class) \
  {&clsid, class ::UpdateRegistry, nullptr, nullptr, nullptr, 0},
// The same for a class whose implementation is only named by its script.
#define OBJECT_ENTRY_REGISTRY_ONLY(clsid, resid) \
  {&clsid, AtlUpdateRegistryFromResource<resid>, nullptr, nullptr, nullptr, 0},
// A class that writes nothing to the registry.
#define OBJECT_ENTRY_NO_REGISTRY(clsid) {&clsid, AtlNoRegistry, nullptr, nullptr, nullptr, 0},

// --- The module: one per program or library.

// Reached from every thread: the lock count is interlocked, the GIT pointer
// guarded by its own lock.
class CAtlModule {
public:
  CAtlModule();
  virtual ~CAtlModule();

  virtual LONG Lock();
  virtual LONG Unlock();
  virtual LONG GetLockCount();
  // Whether objects made without a class factory (callbacks, event sinks)
  // count in the lock count. In a library the count keeps the code loaded,
  // so every object it hands out counts; a program ends when its clients
  // have gone, and the sinks it hands to its own servers must not keep it
  // running.
  virtual bool CountsHeapObjects() const { return true; }
  // The process's global interface table, created on first use.
  virtual HRESULT GetGITPtr(IGlobalInterfaceTable** ppGIT);
  // Replacements every script of the module gets (the exe module adds APPID).
  virtual HRESULT AddCommonRGSReplacements(IRegistrarBase* registrar);

  // Runs one REGISTRY resource of the module with %MODULE% and the common
  // replacements.
  HRESULT UpdateRegistryFromResource(UINT resourceId, BOOL bRegister);
  // Runs a script text the same way, with its own replacements besides.
  HRESULT UpdateRegistryFromScript(
      LPCOLESTR script, std::initializer_list<std::pair<LPCOLESTR, LPCOLESTR>> replacements,
      BOOL bRegister);

  HINSTANCE GetResourceInstance() const { return m_hInstResource; }

protected:
  void ReleaseGIT();
  HRESULT PrepareRegistrar(CRegistrar* registrar);

  volatile LONG m_nLockCnt = 0;
  HINSTANCE m_hInstResource;

private:
  CAtlModule(const CAtlModule&) = delete;
  CAtlModule& operator=(const CAtlModule&) = delete;
  CLockable m_gitLock;  // guards m_pGIT only; never held across a call out
  CComPtr<IGlobalInterfaceTable> m_pGIT;
};

extern CAtlModule* _pAtlModule;

template <UINT resid>
HRESULT WINAPI AtlUpdateRegistryFromResource(BOOL bRegister) {
  return _pAtlModule ? _pAtlModule->UpdateRegistryFromResource(resid, bRegister) : E_UNEXPECTED;
}
inline HRESULT WINAPI AtlNoRegistry(BOOL) { return S_OK; }

#define DECLARE_REGISTRY_RESOURCEID(resid)                        \
  static HRESULT WINAPI UpdateRegistry(BOOL bRegister) {          \
    return AtlUpdateRegistryFromResource<resid>(bRegister);       \
  }
#define DECLARE_NO_REGISTRY() \
  static HRESULT WINAPI UpdateRegistry(BOOL) { return S_OK; }

// Walks an object map.
HRESULT AtlRegisterObjects(_ATL_OBJMAP_ENTRY* map, BOOL bRegister);
HRESULT AtlRegisterClassObjects(_ATL_OBJMAP_ENTRY* map, DWORD context, DWORD flags);
HRESULT AtlRevokeClassObjects(_ATL_OBJMAP_ENTRY* map);
void AtlReleaseClassFactories(_ATL_OBJMAP_ENTRY* map);

// Type library of a module (resource TYPELIB 1).
HRESULT AtlRegisterTypeLib(HINSTANCE module);
HRESULT AtlUnRegisterTypeLib(REFGUID libid, WORD major, WORD minor);

// A server module's registration, for the exe and the DLL module alike (M
// gives UpdateRegistryAppId and GetLibID): the application id's script first,
// then the classes, then the type library.
template <class M>
HRESULT AtlRegisterServer(M& module, _ATL_OBJMAP_ENTRY* map, BOOL bRegTypeLib) {
  HRESULT hr = module.UpdateRegistryAppId(TRUE);
  if (SUCCEEDED(hr)) hr = AtlRegisterObjects(map, TRUE);
  if (SUCCEEDED(hr) && bRegTypeLib) hr = AtlRegisterTypeLib(module.GetResourceInstance());
  return hr;
}
// The reverse: the classes and the type library first, then the application
// id's script. With libMayBeAbsent, a type library that was never registered
// is not a failure of unregistration.
template <class M>
HRESULT AtlUnregisterServer(M& module, _ATL_OBJMAP_ENTRY* map, BOOL bUnRegTypeLib, bool libMayBeAbsent) {
  HRESULT hr = AtlRegisterObjects(map, FALSE);
  if (SUCCEEDED(hr) && bUnRegTypeLib) {
    HRESULT unreg = AtlUnRegisterTypeLib(module.GetLibID(), 1, 0);
    bool neverRegistered = unreg == TYPE_E_REGISTRYACCESS || unreg == TYPE_E_CANTLOADLIBRARY;
    if (!(libMayBeAbsent && (SUCCEEDED(unreg) || neverRegistered))) hr = unreg;
  }
  if (SUCCEEDED(hr)) hr = module.UpdateRegistryAppId(FALSE);
  return hr;
}

// Type information loaded by IDispatchImpl, released at the module's end.
void AtlReleaseTypeInfos();
