#pragma once
#include <windows.h>
#include "ExeModule.h"

// Registry scripts written once for every class, and every module, of the
// same shape; each fills one with its own names, on top of %MODULE% and the
// module's common replacements (%APPID%).

// The names of one class as its keys and values carry them, in the very case
// they have always been written.
struct CClassRegistration {
  LPCOLESTR progId;                    // with its version: "Lib.Class.1"
  LPCOLESTR versionIndependentProgId;  // "Lib.Class"
  LPCOLESTR clsid;                     // braces included
  LPCOLESTR description;
  LPCOLESTR typeLib;
};

// A class served by the module's local server.
HRESULT AtlUpdateLocalServerClassRegistry(const CClassRegistration& registration, BOOL bRegister);
// The module's application id under its name and its file's name.
HRESULT AtlUpdateAppIdRegistry(LPCOLESTR name, LPCOLESTR fileName, BOOL bRegister);

template <const CClassRegistration& registration>
HRESULT WINAPI AtlLocalServerClassRegistry(BOOL bRegister) {
  return AtlUpdateLocalServerClassRegistry(registration, bRegister);
}

// A class only the module creates, served by its local server.
#define OBJECT_ENTRY_LOCAL_SERVER_CLASS(clsid, registration) \
  {&clsid, AtlLocalServerClassRegistry<registration>, nullptr, nullptr, nullptr, 0},

// The module's application id: its own script, with %APPID% for every script.
#define DECLARE_REGISTRY_APPID(appid, name, fileName)                      \
  static LPCOLESTR GetAppId() { return L##appid; }                         \
  static HRESULT WINAPI UpdateRegistryAppIdRes(BOOL bRegister) {           \
    return AtlUpdateAppIdRegistry(L##name, L##fileName, bRegister);        \
  }                                                                        \
  HRESULT AddCommonRGSReplacements(IRegistrarBase* registrar) override {   \
    return AtlAddReplacement(registrar, L"APPID", GetAppId());             \
  }
