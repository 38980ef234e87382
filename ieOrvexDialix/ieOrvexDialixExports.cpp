#include <windows.h>
#include "CieOrvexDialixModule.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  return _AtlModule.DllMain(reason, reserved);
}

STDAPI DllCanUnloadNow() { return _AtlModule.DllCanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return _AtlModule.DllGetClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer() { return _AtlModule.RegisterWithSystemLocale(true); }

STDAPI DllUnregisterServer() { return _AtlModule.RegisterWithSystemLocale(false); }
