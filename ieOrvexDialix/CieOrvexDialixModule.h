#pragma once
#include <windows.h>
#include "ClassRegistration.h"
#include "DllModule.h"
#include "ieOrvexDialix.h"
#include "resource.h"

// The plug-in library's module: lock count, lazy GIT, class objects and
// registration (see CAtlDllModule for its threads).
class CieOrvexDialixModule : public CAtlDllModuleT<CieOrvexDialixModule> {
public:
  CieOrvexDialixModule();
  DECLARE_LIBID(LIBID_ieOrvexDialixLib)
  static LPCOLESTR GetAppId() { return L"{81408C2D-8DCD-4B8C-9C86-D0087922FE31}"; }
  static HRESULT WINAPI UpdateRegistryAppIdRes(BOOL bRegister) {
    return AtlUpdateAppIdRegistry(L"ieOrvexDialix", L"ieOrvexDialix.DLL", bRegister);
  }
  // APPID, and the control's misc status as OLEMISC.
  HRESULT AddCommonRGSReplacements(IRegistrarBase* registrar) override;
};

extern CieOrvexDialixModule _AtlModule;
