#include <windows.h>
#include "SimCore.h"

// The event-log family of the simulated library (Trelk_Fandor.dll).
// Counted initialisation now; its calls answer "not implemented" until its
// simulation joins the core.

using namespace PhoneSim;

namespace {

CSimFamily& EventLog() {
  static CSimFamily* family = new CSimFamily();
  return *family;
}

}  // namespace

SIM_FAMILY_LIFETIME(EventLog(), LOGVEX_Initialize, LOGVEX_Terminate, 10)

DWORD WINAPI LOGVEX_GetAPIVersion(DWORD* pdwVersion) {
  if (!pdwVersion) return ELNYX_INVALID_POINTER;
  *pdwVersion = 10;
  return 0;
}
DWORD WINAPI LOGVEX_OpenHandle(const WCHAR*, DWORD*, DWORD, DWORD*)
    SIM_NOT_IMPLEMENTED(EventLog(), "LOGVEX_OpenHandle")
DWORD WINAPI LOGVEX_CloseHandle(DWORD) SIM_NOT_IMPLEMENTED(EventLog(), "LOGVEX_CloseHandle")
DWORD WINAPI LOGVEX_ReadBegin(DWORD, DWORD, DWORD*) SIM_NOT_IMPLEMENTED(EventLog(), "LOGVEX_ReadBegin")
DWORD WINAPI LOGVEX_ReadNext(DWORD, DWORD, LOGVEX_LOG_ITEM*) SIM_NOT_IMPLEMENTED(EventLog(), "LOGVEX_ReadNext")
DWORD WINAPI LOGVEX_ReadEnd(DWORD) SIM_NOT_IMPLEMENTED(EventLog(), "LOGVEX_ReadEnd")
DWORD WINAPI LOGVEX_FreeLogItem(LOGVEX_LOG_ITEM*) SIM_NOT_IMPLEMENTED(EventLog(), "LOGVEX_FreeLogItem")
DWORD WINAPI LOGVEX_RegisterNotifyIF(DWORD, DWORD, ILOGVEXNotify*)
    SIM_NOT_IMPLEMENTED(EventLog(), "LOGVEX_RegisterNotifyIF")
