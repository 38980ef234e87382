#pragma once
#include <windows.h>

// Waits for one handle at most the given time (WAIT_OBJECT_0 or WAIT_TIMEOUT);
// a thread of a single-threaded apartment serves calls into it meanwhile.
DWORD ZCLWaitServingApartment(HANDLE handle, DWORD milliseconds);

// The procedure a thread runs: the run-time library's thread start signature.
typedef unsigned(__stdcall* ZCLThreadProcedure)(void* parameter);

// Owner of one thread handle. Used by the thread that starts and stops the
// thread; not shared between threads.
class CThreadHandle {
public:
  CThreadHandle() = default;
  ~CThreadHandle() { Close(); }

  // Starts the thread suspended through _beginthreadex (default stack size),
  // sets the priority when it is not 0, then resumes it. False, with no
  // handle, when the thread cannot be started; false with the handle kept
  // when it started but could not be resumed (Resume tries again).
  bool Create(ZCLThreadProcedure procedure, void* parameter, int priority = 0);
  // Both waits serve the caller's apartment (ZCLWaitServingApartment).
  // Waits without time-out, then reads the exit code into the place given
  // (or nowhere); true when the exit code could be read.
  bool Wait(DWORD* exitCode = nullptr);
  // Waits at most the given time; true only when the thread has ended.
  bool WaitFor(DWORD milliseconds);
  // Resumes a thread still suspended by Create; true unless that fails.
  bool Resume();
  // Closes the handle when one is held; forgets it once closing succeeds.
  bool Close();
  // True while the thread has not ended.
  bool IsRunning() const;

  HANDLE GetHandle() const { return m_handle; }
  DWORD GetThreadId() const { return m_threadId; }
  bool IsSuspended() const { return m_suspended; }

private:
  CThreadHandle(const CThreadHandle&) = delete;
  CThreadHandle& operator=(const CThreadHandle&) = delete;
  HANDLE m_handle = nullptr;
  DWORD m_threadId = 0;
  bool m_suspended = false;
};
