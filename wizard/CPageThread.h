#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include "ZCLHandle.h"

// A worker of a page: runs a body on a thread of its own, which is given a
// stop event of its own. Started, stopped and destroyed on the main thread.
// The body only waits and posts to windows: it never sends to a window the
// main thread owns (the main thread may be joining it) and never touches the
// page object, so a thread that outlives a bounded join harms nothing.
class CPageThread {
public:
  typedef std::function<void(HANDLE stop)> Body;

  CPageThread() = default;
  ~CPageThread();
  // Stops a running body first; false when the thread cannot start.
  bool Start(Body body);
  // Sets the stop event and joins for at most the given time; false when the
  // thread has not ended by then (it is left to finish on its own). The
  // thread is never terminated.
  bool Stop(DWORD milliseconds = kJoinMilliseconds);
  bool IsRunning() const;

  static const DWORD kJoinMilliseconds = 10000;

private:
  struct CState;
  CPageThread(const CPageThread&) = delete;
  CPageThread& operator=(const CPageThread&) = delete;
  static DWORD WINAPI ThreadProc(LPVOID param);

  std::shared_ptr<CState> m_state;  // shared with the thread
  CHandle m_thread;
};
