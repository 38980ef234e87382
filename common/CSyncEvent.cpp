#include <windows.h>
#include "CSyncEvent.h"

namespace {
[[noreturn]] void ThrowLastError() { throw static_cast<DWORD>(GetLastError()); }
}  // namespace

// The invalid-handle value is also the process's own pseudo-handle: a wait on
// it would block until the process ends, so nothing reaches the system.
void CSyncEvent::CheckCreated() const {
  if (!IsCreated()) throw static_cast<DWORD>(ERROR_INVALID_HANDLE);
}

void CSyncEvent::Assign(HANDLE handle) {
  if (!handle) ThrowLastError();
  Close();
  m_handle = handle;
}

void CSyncEvent::Create(bool manualReset) {
  Assign(CreateEventW(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr));
}

void CSyncEvent::CreateNamed(const wchar_t* name) { Assign(CreateEventW(nullptr, TRUE, FALSE, name)); }

void CSyncEvent::Set() {
  CheckCreated();
  if (!SetEvent(m_handle)) ThrowLastError();
}

void CSyncEvent::Reset() {
  CheckCreated();
  if (!ResetEvent(m_handle)) ThrowLastError();
}

bool CSyncEvent::Wait(DWORD milliseconds) {
  CheckCreated();
  DWORD result = WaitForSingleObject(m_handle, milliseconds);
  if (result == WAIT_FAILED) ThrowLastError();
  return result != WAIT_TIMEOUT;
}

void CSyncEvent::Close() {
  if (m_handle == INVALID_HANDLE_VALUE) return;
  CloseHandle(m_handle);
  m_handle = INVALID_HANDLE_VALUE;
}

bool CEventHandle::Wait(DWORD milliseconds) {
  return WaitForSingleObject(m_event.Handle(), milliseconds) == WAIT_OBJECT_0;
}
