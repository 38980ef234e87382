#include <windows.h>
#include "SimCore.h"

// The library's nameless entries for the suite (exported by ordinal only,
// see Lanyx's export table): an API version for a suite information text,
// and one initialise and terminate of the device-management and file-system
// families together.

extern "C" {

// Ordinal 12: any non-empty suite text is answered with the version both
// families speak; none gives 0, which ordinal 10 refuses.
DWORD WINAPI LanyxSuiteApiVersion(const WCHAR* pstrSuiteText, DWORD) {
  return pstrSuiteText && *pstrSuiteText ? FSKOR_API_VERSION : 0;
}

// Ordinal 10: 0 when both families are initialised; a family that fails
// leaves neither initialised.
DWORD WINAPI LanyxSuiteInitialize(DWORD dwAPIVersion) {
  if (dwAPIVersion == 0) return ELNYX_UNSUPPORTED_API_VERSION;
  DWORD result = RUVON_Initialize(dwAPIVersion, 0);
  if (result != 0) return result;
  result = FSKOR_Initialize(dwAPIVersion, 0);
  if (result != 0) RUVON_Terminate(0);
  return result;
}

// Ordinal 11.
DWORD WINAPI LanyxSuiteTerminate(DWORD) {
  DWORD fs = FSKOR_Terminate(0);
  DWORD dm = RUVON_Terminate(0);
  return fs != 0 ? fs : dm;
}

}  // extern "C"
