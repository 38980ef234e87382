#include <windows.h>
#include "ZCLFrame.h"
#include "TrelkCallControl.h"
#include <new>
#include <string>
#include "CTrelkException.h"
#include "TrelkBinding.h"

namespace Trelk {

namespace {
const DWORD kVoiceCall = 1;

// Answer and release share their shape: the result is logged before either
// it or the status can throw.
DWORD ActOnCall(const char* name, DWORD result, DWORD status) {
  ZCLLogMessage(4, nullptr, "%s returned 0x%08X\n", name, static_cast<unsigned>(result));
  TrelkThrowOnFail(result);
  TrelkThrowOnFail(status);
  return 0;
}
}  // namespace

const CLibraryFamily kWEXELFamily = {
    "Trelk::CCallControl", &WEXELBinding,
    "WEXEL_Initialize", [] { return WEXEL_Initialize(10, 0); },
    "WEXEL_Terminate", [] { return WEXEL_Terminate(0); },
    "WEXEL_CloseHandle", [](DWORD handle) { return WEXEL_CloseHandle(handle); }};

CCallConnection::CCallConnection(DWORD handle, bool owner)
    : CFamilyConnection<kWEXELFamily>("Trelk::CCallConnection", handle, owner) {}

CCallConnection::CCallConnection(const CCallConnection& other) : CFamilyConnection<kWEXELFamily>(other) {}

DWORD CCallConnection::CallHandle() const {
  ZCLScopeTracer trace(Traced("::operator void *").c_str());
  return Family().Handle();
}

BYTE CCallConnection::Call(const wchar_t* number) {
  ZCLScopeTracer trace("Trelk::CCallConnection::Call");
  std::wstring digits;
  const wchar_t* dialled = number ? number : L"";
  try {
    for (const wchar_t* p = dialled; *p; ++p)
      if (*p != L' ') digits += *p;
    dialled = digits.c_str();
  } catch (const std::bad_alloc&) {
    // Without room for the copy the number goes as it was written.
    ZCLLogCaughtHere(2, ZCL_SITE);
  }
  WEXEL_ADDRESS address = {};
  address.dwSize = sizeof(address);
  address.bAddressType = WEXEL_ADDRESS_DIALLED;
  address.pstrAddress = const_cast<WCHAR*>(dialled);
  address.bFlag1 = 0;
  address.bFlag2 = 4;
  BYTE callId = 0;
  DWORD status = 0;
  DWORD handle = CallHandle();
  DWORD result;
  try {
    result = WEXEL_CreateCall(handle, 0, kVoiceCall, &address, &callId, &status);
  } catch (...) {
    result = 0xFFFFFFFF;
  }
  ZCLLogMessage(4, nullptr, "WEXEL_CreateCall returned 0x%08X\n", static_cast<unsigned>(result));
  TrelkThrowOnFail(result);
  TrelkThrowOnFail(status);
  return callId;
}

DWORD CCallConnection::Reject(BYTE callId) {
  ZCLScopeTracer trace("Trelk::CCallConnection::Reject");
  DWORD status = 0;
  DWORD result = WEXEL_ReleaseCall(CallHandle(), 0, callId, &status);
  return ActOnCall("WEXEL_ReleaseCall", result, status);
}

DWORD CCallConnection::Activate(BYTE callId) {
  ZCLScopeTracer trace("Trelk::CCallConnection::Activate");
  DWORD status = 0;
  DWORD result = WEXEL_AnswerCall(CallHandle(), 0, callId, &status);
  return ActOnCall("WEXEL_AnswerCall", result, status);
}

void CCallControl::OpenCallControl(const wchar_t* serialNumber, CCallConnection& connection) {
  ZCLScopeTracer trace("Trelk::CCallControl::OpenCallControl");
  connection.Open(serialNumber, [](const wchar_t* serial, DWORD* media, DWORD* handle) {
    return LoggedCall("WEXEL_OpenHandle", [&] { return WEXEL_OpenHandle(serial, media, 0, handle); });
  });
}

}  // namespace Trelk
