#pragma once
#include <windows.h>

// The dialog application framework shared by a host program and its
// extension libraries: extension-library start and end, and the chain of
// modules the host's resources are looked up in (the host's resource module
// first, then each joined library in the order joined).

#ifdef DIALIX_APPFX_EXPORTS
#define APPFXAPI extern "C" __declspec(dllexport)
#else
#define APPFXAPI extern "C" __declspec(dllimport)
#endif

// An extension library's own record, kept in the library.
struct APPFX_EXTENSION_MODULE {
  BOOL bInitialized;
  HINSTANCE hModule;
  HINSTANCE hResource;  // where the library's resources are
};

// Called from the library's entry on process attach; FALSE when the record
// or instance is missing.
APPFXAPI BOOL WINAPI AppFxInitExtensionModule(APPFX_EXTENSION_MODULE* module, HINSTANCE instance);
// Joins the library's resource module to the host's chain (once).
APPFXAPI BOOL WINAPI AppFxJoinResourceChain(APPFX_EXTENSION_MODULE* module);
// On process detach: leaves the chain and forgets the record.
APPFXAPI void WINAPI AppFxTermExtensionModule(APPFX_EXTENSION_MODULE* module);

// The host's own resource module (the program by default).
APPFXAPI void WINAPI AppFxSetResourceHandle(HINSTANCE resource);
APPFXAPI HINSTANCE WINAPI AppFxGetResourceHandle();

// The first module of the chain holding the resource; null when none does.
APPFXAPI HINSTANCE WINAPI AppFxFindResourceHandle(LPCWSTR name, LPCWSTR type);
// The string of that id from the first module of the chain holding it,
// terminated and cut to the capacity; its length, 0 when none holds it.
APPFXAPI int WINAPI AppFxLoadString(UINT id, LPWSTR buffer, int capacity);
