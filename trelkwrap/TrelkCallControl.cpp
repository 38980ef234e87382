#include <windows.h>
#include "TrelkCallControl.h"
#include <new>
#include <string>
#include "CTrelkException.h"
#include "TrelkBinding.h"

namespace Trelk {

namespace {
const DWORD kWEXELVersion = 10;
const DWORD kVoiceCall = 1;

std::shared_ptr<CFamilyHandle> NewCallHandle() {
  return CFamilyHandle::Create(WEXELBinding(), [](DWORD handle) { return WEXEL_CloseHandle(handle); });
}

// Answer and release share their shape: the result is logged before either
// it or the status can throw.
DWORD ActOnCall(const char* name, DWORD result, DWORD status) {
  ZCLLogMessage(4, nullptr, "%s returned 0x%08X\n", name, static_cast<unsigned>(result));
  TrelkThrowOnFail(result);
  TrelkThrowOnFail(status);
  return 0;
}
}  // namespace

CCallConnection::CCallConnection(DWORD handle) : CCallConnection(handle, true) {}

CCallConnection::CCallConnection(DWORD handle, bool owner) : m_handle(NewCallHandle()), m_owner(owner) {
  ZCLScopeTracer trace("Trelk::CCallConnection::CCallConnection");
  if (handle) m_handle->Adopt(handle);
}

CCallConnection::CCallConnection(const CCallConnection& other) : m_handle(other.m_handle), m_owner(false) {
  ZCLScopeTracer trace("Trelk::CCallConnection::CCallConnection");
}

CCallConnection& CCallConnection::operator=(const CCallConnection& other) {
  if (this == &other) return *this;
  if (m_owner) Close();
  m_handle = other.m_handle;
  m_owner = false;
  return *this;
}

CCallConnection::~CCallConnection() {
  ZCLScopeTracer trace("Trelk::CCallConnection::~CCallConnection");
  if (m_owner) Close();
}

DWORD CCallConnection::GetHandle() const {
  ZCLScopeTracer trace("Trelk::CCallConnection::operator void *");
  return m_handle->Peek();
}

void CCallConnection::Close() {
  ZCLScopeTracer trace("Trelk::CCallConnection::Close");
  m_handle->Close();
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
  }
  WEXEL_ADDRESS address = {};
  address.dwSize = sizeof(address);
  address.bAddressType = WEXEL_ADDRESS_DIALLED;
  address.pstrAddress = const_cast<WCHAR*>(dialled);
  address.bFlag1 = 0;
  address.bFlag2 = 4;
  BYTE callId = 0;
  DWORD status = 0;
  DWORD handle = m_handle->Handle();
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
  DWORD result = WEXEL_ReleaseCall(m_handle->Handle(), 0, callId, &status);
  return ActOnCall("WEXEL_ReleaseCall", result, status);
}

DWORD CCallConnection::Activate(BYTE callId) {
  ZCLScopeTracer trace("Trelk::CCallConnection::Activate");
  DWORD status = 0;
  DWORD result = WEXEL_AnswerCall(m_handle->Handle(), 0, callId, &status);
  return ActOnCall("WEXEL_AnswerCall", result, status);
}

CCallControl::CCallControl() : m_initialized(false) { ZCLScopeTracer trace("Trelk::CCallControl::CCallControl"); }

CCallControl::~CCallControl() {
  ZCLScopeTracer trace("Trelk::CCallControl::~CCallControl");
  Terminate();
}

void CCallControl::Initialize() {
  ZCLScopeTracer trace("Trelk::CCallControl::Initialize");
  if (m_initialized) return;
  TrelkThrowOnFail(WEXEL_Initialize(kWEXELVersion, 0));
  m_initialized = true;
}

void CCallControl::Terminate() {
  ZCLScopeTracer trace("Trelk::CCallControl::Terminate");
  if (!m_initialized) return;
  WEXEL_Terminate(0);
  m_initialized = false;
}

void CCallControl::OpenCallControl(const wchar_t* serialNumber, CCallConnection& connection) {
  ZCLScopeTracer trace("Trelk::CCallControl::OpenCallControl");
  // A copy's handle is its owner's: the copy gets one of its own.
  if (connection.m_owner)
    connection.Close();
  else
    connection.m_handle = NewCallHandle();
  connection.m_handle->Open(PhoneOpener(serialNumber, [](const wchar_t* serial, DWORD* media, DWORD* handle) {
    return WEXEL_OpenHandle(serial, media, 0, handle);
  }));
  connection.m_owner = true;
}

}  // namespace Trelk
