#include <windows.h>
#include <objbase.h>
#include <process.h>
#include "CThreadHandle.h"

bool CThreadHandle::Create(ZCLThreadProcedure procedure, void* parameter, int priority) {
  Close();
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, procedure, parameter, CREATE_SUSPENDED, &id);
  if (handle == 0) return false;
  m_handle = reinterpret_cast<HANDLE>(handle);
  m_threadId = id;
  m_suspended = true;
  if (priority != 0) SetThreadPriority(m_handle, priority);
  return Resume();
}

// A thread of a single-threaded apartment keeps serving calls into it while it
// waits: the thread it waits for may be inside such a call.
DWORD ZCLWaitServingApartment(HANDLE handle, DWORD milliseconds) {
  DWORD index = 0;
  HRESULT hr = ::CoWaitForMultipleHandles(0, milliseconds, 1, &handle, &index);
  if (hr == S_OK) return WAIT_OBJECT_0;
  if (hr == RPC_S_CALLPENDING) return WAIT_TIMEOUT;
  return ::WaitForSingleObject(handle, milliseconds);  // no apartment here
}

bool CThreadHandle::Wait(DWORD* exitCode) {
  if (!m_handle) return false;
  DWORD local = 0;
  ZCLWaitServingApartment(m_handle, INFINITE);
  return GetExitCodeThread(m_handle, exitCode ? exitCode : &local) != FALSE;
}

bool CThreadHandle::WaitFor(DWORD milliseconds) {
  return m_handle && ZCLWaitServingApartment(m_handle, milliseconds) == WAIT_OBJECT_0;
}

bool CThreadHandle::Resume() {
  if (!m_suspended) return true;
  if (ResumeThread(m_handle) == static_cast<DWORD>(-1)) return false;
  m_suspended = false;
  return true;
}

bool CThreadHandle::Close() {
  if (!m_handle) return true;
  if (!CloseHandle(m_handle)) return false;
  m_handle = nullptr;
  m_threadId = 0;
  m_suspended = false;
  return true;
}

bool CThreadHandle::IsRunning() const {
  DWORD code = 0;
  return m_handle && GetExitCodeThread(m_handle, &code) && code == STILL_ACTIVE;
}
