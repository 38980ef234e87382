#pragma once
#include <windows.h>
#include <atomic>
#include "CThreadHandle.h"
#include "ZCLFrame.h"

// Polymorphic thread base: the start, run and exit operations of a worker.
class CThread {
public:
  virtual ~CThread() {}
  // Asks the thread to stop (and resumes it when it is still suspended).
  virtual void SignalStop() = 0;
  virtual bool IsStopRequested() = 0;
  // Called on the new thread before its run operation.
  virtual void OnThreadStart() {}
  // Called on the thread after its run operation, with the exit code.
  virtual void OnThreadExit(DWORD exitCode) { (void)exitCode; }
};

// Binds T::Run (returning the exit code) to a real thread. The stop flag is
// written by the stopping thread and read by the running one between waits.
//
// Destruction waits for the thread, but by then T's own members are gone: a
// class whose thread still uses them (or whose overrides of OnThreadExit run
// there) stops the thread in its own destructor first (StopThread).
template <class T>
class CThreadImpl : public CThread {
public:
  CThreadImpl() = default;
  ~CThreadImpl() override {
    if (m_thread.GetHandle()) {
      CThreadImpl::SignalStop();
      m_thread.Wait();
    }
    m_thread.Close();
  }

  void SignalStop() override {
    m_stopRequested = true;
    m_thread.Resume();
  }
  bool IsStopRequested() override { return m_stopRequested; }

  // The thread procedure; its parameter is the T object.
  static unsigned __stdcall ThreadProc(void* parameter) {
    T* self = static_cast<T*>(parameter);
    DWORD exitCode = 0xFFFFFFFF;  // kept when the run throws
    if (!ZCLGuarded(1, ZCL_SITE, [&] { self->OnThreadStart(); })) return exitCode;
    ZCLGuarded(1, ZCL_SITE, [&] { exitCode = self->Run(); });
    ZCLGuarded(1, ZCL_SITE, [&] { self->OnThreadExit(exitCode); });
    // Returning (rather than ending the thread here) runs the destructors of
    // everything above; the run-time library then ends the thread.
    return exitCode;
  }

  // Starts ThreadProc with this object, passed as T so that the procedure
  // sees the right address whatever T's base order.
  bool StartThread(int priority = 0) {
    return m_thread.Create(&CThreadImpl::ThreadProc, static_cast<T*>(this), priority);
  }
  // Signals stop (through the most derived SignalStop) and waits for the end.
  void StopThread() {
    if (!m_thread.GetHandle()) return;
    SignalStop();
    m_thread.Wait();
  }
  CThreadHandle& GetThreadHandle() { return m_thread; }

private:
  CThreadHandle m_thread;
  std::atomic<bool> m_stopRequested{false};
};
