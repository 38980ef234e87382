#include <windows.h>
#include "CieOrvexDialixModule.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  return _AtlModule.DllMain(reason, reserved);
}

DIALIX_DLL_EXPORTS(_AtlModule)
