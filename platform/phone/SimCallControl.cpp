#include <windows.h>
#include "SimCore.h"

// The call-control family of the simulated library (Trelk_Fandor.dll).
// Counted initialisation now; its calls answer "not implemented" until its
// simulation joins the core.

using namespace PhoneSim;

namespace {

CSimFamily& CallControl() {
  static CSimFamily* family = new CSimFamily();
  return *family;
}

}  // namespace

SIM_FAMILY_LIFETIME(CallControl(), WEXEL_Initialize, WEXEL_Terminate, 10)

DWORD WINAPI WEXEL_GetAPIVersion(DWORD* pdwVersion) {
  if (!pdwVersion) return ELNYX_INVALID_POINTER;
  *pdwVersion = 10;
  return 0;
}
DWORD WINAPI WEXEL_OpenHandle(const WCHAR*, DWORD*, DWORD, DWORD*)
    SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_OpenHandle")
DWORD WINAPI WEXEL_CloseHandle(DWORD) SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_CloseHandle")
DWORD WINAPI WEXEL_CreateCall(DWORD, DWORD, DWORD, WEXEL_ADDRESS*, BYTE*, DWORD*)
    SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_CreateCall")
DWORD WINAPI WEXEL_AnswerCall(DWORD, DWORD, BYTE, DWORD*) SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_AnswerCall")
DWORD WINAPI WEXEL_ReleaseCall(DWORD, DWORD, BYTE, DWORD*) SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_ReleaseCall")
DWORD WINAPI WEXEL_ControlCall(DWORD, DWORD, BYTE, DWORD, DWORD*)
    SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_ControlCall")
DWORD WINAPI WEXEL_GetCallStatus(DWORD, DWORD, WEXEL_CALL_INFO*, DWORD*)
    SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_GetCallStatus")
DWORD WINAPI WEXEL_FreeCallInfoStruct(WEXEL_CALL_INFO*) SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_FreeCallInfoStruct")
DWORD WINAPI WEXEL_RegisterNotifyIF(DWORD, DWORD, IWEXELNotify*)
    SIM_NOT_IMPLEMENTED(CallControl(), "WEXEL_RegisterNotifyIF")
