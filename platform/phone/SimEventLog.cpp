#include <windows.h>
#include <new>
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

DWORD WINAPI LOGVEX_Initialize(DWORD dwAPIVersion, DWORD) {
  try {
    if (dwAPIVersion > 10) return ELNYX_UNSUPPORTED_API_VERSION;
    return EventLog().Initialize("LOGVEX_Initialize");
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_Terminate(DWORD) {
  try {
    return EventLog().Terminate("LOGVEX_Terminate");
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_GetAPIVersion(DWORD* pdwVersion) {
  if (!pdwVersion) return ELNYX_INVALID_POINTER;
  *pdwVersion = 10;
  return 0;
}

DWORD WINAPI LOGVEX_OpenHandle(const WCHAR*, DWORD*, DWORD, DWORD*) {
  try {
    SIM_ENTRY(EventLog(), "LOGVEX_OpenHandle");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_CloseHandle(DWORD) {
  try {
    SIM_ENTRY(EventLog(), "LOGVEX_CloseHandle");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_ReadBegin(DWORD, DWORD, DWORD*) {
  try {
    SIM_ENTRY(EventLog(), "LOGVEX_ReadBegin");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_ReadNext(DWORD, DWORD, LOGVEX_LOG_ITEM*) {
  try {
    SIM_ENTRY(EventLog(), "LOGVEX_ReadNext");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_ReadEnd(DWORD) {
  try {
    SIM_ENTRY(EventLog(), "LOGVEX_ReadEnd");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_FreeLogItem(LOGVEX_LOG_ITEM*) {
  try {
    SIM_ENTRY(EventLog(), "LOGVEX_FreeLogItem");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_RegisterNotifyIF(DWORD, DWORD, ILOGVEXNotify*) {
  try {
    SIM_ENTRY(EventLog(), "LOGVEX_RegisterNotifyIF");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}
