#pragma once
#include <windows.h>
#include "ZCLLogger.h"

// A unit of work for a worker thread's queue (CGlobalQueue). Created by its
// producer on any thread, executed once on the worker thread.
//
// When IsAutoDelete answers true the queue disposes of the task after running
// or removing it: a task that is also a COM object of this module is released
// through its IUnknown (found by a cross-cast, so it must have exactly one
// IUnknown base: an ambiguous one would make the cast fail and the object be
// deleted), any other task is deleted.
class CTaskBase {
public:
  CTaskBase() = default;
  virtual ~CTaskBase() {}
  virtual void Execute() = 0;
  virtual bool IsAutoDelete() = 0;

private:
  ZCLObjectTracer<CTaskBase> m_tracer;
};

// Selects queued tasks for CGlobalQueue::RemoveTask; Check answers true for a
// task to remove. Called under the queue's lock: it must not block.
class CheckRemoval {
public:
  virtual bool Check(CTaskBase* task) = 0;

protected:
  ~CheckRemoval() = default;
};
