#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include "CLockable.h"
#include "CSyncEvent.h"
#include "CThreadHandle.h"

// Ends the process when the step it watches does not end in time: a service
// that never answers a call must not keep the test that runs this program
// waiting. Arm and Disarm are called by the main thread; the watchdog's own
// thread only reads the deadline. One for the process, never destroyed: its
// thread runs until the process ends.
class CWatchdog {
public:
  static CWatchdog& Instance() {
    static CWatchdog* watchdog = new CWatchdog;
    return *watchdog;
  }

  // At the deadline the process ends with the exit code given, after a line
  // that names the step and what became of it.
  void Arm(const std::wstring& step, DWORD milliseconds, const char* outcome = "no answer", UINT exitCode = 2) {
    {
      CLockGuard guard(&m_lock);
      m_step = step;
      m_outcome = outcome;
      m_bound = milliseconds;
      m_exitCode = exitCode;
      m_deadline = ::GetTickCount64() + milliseconds;
    }
    m_changed.Set();
  }
  void Disarm() {
    CLockGuard guard(&m_lock);
    m_deadline = 0;
  }

private:
  CWatchdog() { m_thread.Create(&CWatchdog::ThreadProc, this); }
  static unsigned __stdcall ThreadProc(void* parameter) {
    static_cast<CWatchdog*>(parameter)->Run();
    return 0;
  }
  void Run() {
    for (;;) {
      DWORD wait = INFINITE;
      {
        CLockGuard guard(&m_lock);
        const ULONGLONG now = ::GetTickCount64();
        if (m_deadline != 0 && now >= m_deadline) {
          std::printf("%ls: %s within %lu ms\n", m_step.c_str(), m_outcome, static_cast<unsigned long>(m_bound));
          std::fflush(stdout);
          ::TerminateProcess(::GetCurrentProcess(), m_exitCode);
        }
        if (m_deadline != 0) wait = static_cast<DWORD>(m_deadline - now);
      }
      m_changed.Wait(wait);
    }
  }

  CLockable m_lock;  // guards what follows
  std::wstring m_step;
  const char* m_outcome = "";
  DWORD m_bound = 0;
  UINT m_exitCode = 0;
  ULONGLONG m_deadline = 0;  // 0: disarmed
  CEventHandle m_changed;
  CThreadHandle m_thread;
};

