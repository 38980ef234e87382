#include <windows.h>
#include "CSyncEvent.h"
#include "ZCLException.h"

namespace {
// A failing call that leaves no error code still fails.
[[noreturn]] void ThrowError(DWORD error) {
  int code = static_cast<int>(error ? error : ERROR_GEN_FAILURE);
  ZCLThrowOnError(code, ZCL_POS + "Event call failed.");
  throw ZCLException(code, "");  // ZCLThrowOnError has thrown already
}
[[noreturn]] void ThrowLastError() { ThrowError(GetLastError()); }
}  // namespace

// The invalid-handle value is also the process's own pseudo-handle: a wait on
// it would block until the process ends, so nothing reaches the system.
void CSyncEvent::CheckCreated() const {
  if (!IsCreated()) ThrowError(ERROR_INVALID_HANDLE);
}

void CSyncEvent::Assign(HANDLE handle) {
  if (!handle) ThrowLastError();
  m_handle.Reset(handle);
}

void CSyncEvent::Create(bool manualReset) {
  Assign(CreateEventW(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr));
}

void CSyncEvent::CreateNamed(const wchar_t* name) { Assign(CreateEventW(nullptr, TRUE, FALSE, name)); }

void CSyncEvent::Set() {
  CheckCreated();
  if (!SetEvent(m_handle.Get())) ThrowLastError();
}

void CSyncEvent::Reset() {
  CheckCreated();
  if (!ResetEvent(m_handle.Get())) ThrowLastError();
}

bool CSyncEvent::Wait(DWORD milliseconds) {
  CheckCreated();
  DWORD result = WaitForSingleObject(m_handle.Get(), milliseconds);
  if (result == WAIT_FAILED) ThrowLastError();
  return result != WAIT_TIMEOUT;
}

void CSyncEvent::Close() { m_handle.Reset(); }

bool CEventHandle::Wait(DWORD milliseconds) {
  return WaitForSingleObject(m_event.Handle(), milliseconds) == WAIT_OBJECT_0;
}
