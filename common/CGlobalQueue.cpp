#include <windows.h>
#include <objbase.h>
#include <vector>
#include "CGlobalQueue.h"
#include "ZCLText.h"
#include "ZCLException.h"
#include "ZCLFrame.h"
#include "ZCLThreadName.h"

CGlobalQueue::CGlobalQueue() { CreateEvents(); }

CGlobalQueue::CGlobalQueue(const wchar_t* threadName) : m_threadName(threadName ? threadName : L"") {
  CreateEvents();
}

void CGlobalQueue::CreateEvents() {
  m_taskAvailable.Create(false);
  m_stop.Create(true);
}

// Shutdown order: stop the worker, dispose of what it left, close the events
// (stop first); the thread base then closes the thread handle.
CGlobalQueue::~CGlobalQueue() {
  try {
    StopThread();
  } catch (...) {
    ZCLLogUnknownException(1, ZCL_POS);
  }
  DiscardRemainingTasks();
  m_stop.Close();
  m_taskAvailable.Close();
}

void CGlobalQueue::DiscardRemainingTasks() {
  while (!m_tasks.empty()) {
    try {
      CTaskBase* task = m_tasks.front();
      m_tasks.pop_front();
      DisposeIfAutoDelete(task);
    } catch (...) {
      ZCLLogUnknownException(1, ZCL_POS);
    }
  }
}

void CGlobalQueue::DisposeTask(CTaskBase* task) {
  // Tasks are always objects of this module, so the cross-cast is safe.
  if (IUnknown* unknown = dynamic_cast<IUnknown*>(task))
    unknown->Release();  // the queue's reference: others may still hold the task
  else
    delete task;
}

void CGlobalQueue::DisposeIfAutoDelete(CTaskBase* task) {
  try {
    if (task->IsAutoDelete()) DisposeTask(task);
  } catch (...) {
    ZCLLogMessage(1, nullptr).Print("Exception thrown while autodeleting task!");
  }
}

void CGlobalQueue::AddTask(CTaskBase* task) {
  ZCLScopeTracer trace("CGlobalQueue::AddTask");
  if (!task) return;
  {
    CLockGuard guard(this);
    m_tasks.push_back(task);
  }
  SignalTaskAvailable();
}

void CGlobalQueue::RemoveTask(CheckRemoval* predicate) {
  ZCLScopeTracer trace("CGlobalQueue::RemoveTask");
  if (!predicate) return;
  std::vector<CTaskBase*> removed;
  {
    CLockGuard guard(this);
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
      bool remove = false;
      ZCLGuarded(1, ZCL_SITE, [&] { remove = predicate->Check(*it); });
      if (!remove) {
        ++it;
        continue;
      }
      ZCLLogMessage(5, nullptr).Print("Removing task from TaskQueue");
      removed.push_back(*it);
      it = m_tasks.erase(it);
    }
  }
  // Disposed of outside the lock: a release may run any destructor.
  for (CTaskBase* task : removed) DisposeIfAutoDelete(task);
}

CTaskBase* CGlobalQueue::GetNextTask() {
  ZCLScopeTracer trace("CGlobalQueue::GetNextTask");
  CLockGuard guard(this);
  if (m_tasks.empty()) return nullptr;
  CTaskBase* task = m_tasks.front();
  m_tasks.pop_front();
  // The event reset itself when the worker woke; the rest still need a wake.
  if (!m_tasks.empty()) SignalTaskAvailable();
  return task;
}

void CGlobalQueue::SignalStop() {
  ZCLScopeTracer trace("CGlobalQueue::SignalStop");
  // The flag goes first: a worker woken by the event must find it set, or it
  // would spin on the manual-reset event until it is.
  CThreadImpl<CGlobalQueue>::SignalStop();
  m_stop.Set();
}

void CGlobalQueue::SignalTaskAvailable() {
  ZCLScopeTracer trace("CGlobalQueue::SignalTaskAvailable");
  m_taskAvailable.Set();
}

unsigned CGlobalQueue::Run() {
  ZCLScopeTracer trace("CGlobalQueue::Run");
  HANDLE events[2] = {m_taskAvailable.Handle(), m_stop.Handle()};
  while (!IsStopRequested()) {
    DWORD result = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (result == WAIT_FAILED) {
      DWORD error = GetLastError();
      ZCLLogMessage(1, nullptr).Print("Waiting for tasks failed (error %lu); the worker stops.", error);
      return error;
    }
    if (result != WAIT_OBJECT_0) continue;
    CTaskBase* task = GetNextTask();
    if (!task) continue;
    try {
      task->Execute();
    } catch (const ZCLException&) {
      // Dropped without a line: it was logged where it was thrown (level 5)
      // and by the task's own handlers.
    } catch (...) {
      ZCLLogMessage(1, nullptr).Print("Unknown exception thrown by executing task!");
    }
    DisposeIfAutoDelete(task);
  }
  return 0;
}

void CGlobalQueue::OnThreadStart() {
  ZCLScopeTracer trace("CGlobalQueue::OnThreadStart");
  m_joinedApartment = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  if (m_threadName.empty()) return;
  ZCLSetThreadName(0xFFFFFFFF, ZCLWideToAnsi(m_threadName.c_str()).c_str());
}

void CGlobalQueue::OnThreadExit(DWORD) {
  ZCLScopeTracer trace("CGlobalQueue::OnThreadExit");
  // Only a join that succeeded is balanced by a leave.
  if (m_joinedApartment) CoUninitialize();
  m_joinedApartment = false;
}
