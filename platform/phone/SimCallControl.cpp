#include <windows.h>
#include <new>
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

DWORD WINAPI WEXEL_Initialize(DWORD dwAPIVersion, DWORD) {
  try {
    if (dwAPIVersion > 10) return ELNYX_UNSUPPORTED_API_VERSION;
    return CallControl().Initialize("WEXEL_Initialize");
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_Terminate(DWORD) {
  try {
    return CallControl().Terminate("WEXEL_Terminate");
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_GetAPIVersion(DWORD* pdwVersion) {
  if (!pdwVersion) return ELNYX_INVALID_POINTER;
  *pdwVersion = 10;
  return 0;
}

DWORD WINAPI WEXEL_OpenHandle(const WCHAR*, DWORD*, DWORD, DWORD*) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_OpenHandle");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_CloseHandle(DWORD) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_CloseHandle");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_CreateCall(DWORD, DWORD, DWORD, WEXEL_ADDRESS*, BYTE*, DWORD*) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_CreateCall");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_AnswerCall(DWORD, DWORD, BYTE, DWORD*) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_AnswerCall");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_ReleaseCall(DWORD, DWORD, BYTE, DWORD*) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_ReleaseCall");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_ControlCall(DWORD, DWORD, BYTE, DWORD, DWORD*) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_ControlCall");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_GetCallStatus(DWORD, DWORD, WEXEL_CALL_INFO*, DWORD*) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_GetCallStatus");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_FreeCallInfoStruct(WEXEL_CALL_INFO*) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_FreeCallInfoStruct");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI WEXEL_RegisterNotifyIF(DWORD, DWORD, IWEXELNotify*) {
  try {
    SIM_ENTRY(CallControl(), "WEXEL_RegisterNotifyIF");
    return ELNYX_NOT_SUPPORTED_PC;
  }
  SIM_CATCH_ALL
}
