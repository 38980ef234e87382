#pragma once
#include <windows.h>
#include <deque>
#include <string>
#include "CLockable.h"
#include "CSyncEvent.h"
#include "CTaskBase.h"
#include "CThread.h"
#include "ZCLLogger.h"

// A worker thread with a first-in first-out queue of tasks, run one at a time
// in the multithreaded apartment.
//
// AddTask, RemoveTask and SignalStop may be called from any thread; the
// worker alone takes, runs and disposes of tasks. The owner starts the worker
// with StartThread() (or GetThreadHandle().Create(ThreadProc, queue, 0)) and
// stops it with StopThread() (SignalStop, then an unbounded wait).
// Destruction stops the worker and disposes of the tasks still queued; a
// derived class that overrides the thread operations stops the worker in its
// own destructor first.
class CGlobalQueue : public CLockable, public CThreadImpl<CGlobalQueue> {
public:
  CGlobalQueue();
  // The worker names itself after threadName; null or empty means no name.
  explicit CGlobalQueue(const wchar_t* threadName);
  ~CGlobalQueue() override;

  // Appends the task (null is ignored) and wakes the worker.
  void AddTask(CTaskBase* task);
  // Removes, and disposes of when auto-delete, every queued task that the
  // predicate selects; the others keep their order. Null does nothing.
  void RemoveTask(CheckRemoval* predicate);

  void SignalStop() override;
  void SignalTaskAvailable();

  // The worker loop; returns the exit code (0 after a stop request).
  virtual unsigned Run();
  void OnThreadStart() override;
  void OnThreadExit(DWORD exitCode) override;

protected:
  // Worker thread only: the front task, or null when the queue is empty.
  CTaskBase* GetNextTask();

private:
  void CreateEvents();
  void DiscardRemainingTasks();
  static void DisposeTask(CTaskBase* task);
  static void DisposeIfAutoDelete(CTaskBase* task);

  ZCLObjectTracer<CGlobalQueue> m_tracer;

protected:
  // A derived queue may wait on the stop event in its own thread operations.
  CSyncEvent m_taskAvailable;  // auto-reset: re-signalled when tasks remain
  CSyncEvent m_stop;           // manual-reset: stays signalled once stopping

private:
  std::deque<CTaskBase*> m_tasks;
  std::wstring m_threadName;
  bool m_joinedApartment = false;  // worker thread only
};
