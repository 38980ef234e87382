#pragma once
#include <windows.h>
#include <atomic>
#include "CLockable.h"
#include "CTaskBase.h"
#include "ComPtr.h"
#include "GitCookie.h"
#include "SZembra.h"

class CClientManager;
class CZembraDeviceList;

// Where work for the main task queue ("TaskQueue") is handed in, from any
// thread. A failure throws and leaves the task with the caller.
class ITaskSink {
public:
  virtual void AddTask(CTaskBase* task) = 0;
  // The queued tasks the predicate accepts are taken out first.
  virtual void AddTaskRemoveEarlier(CTaskBase* task, CheckRemoval* predicate) = 0;

protected:
  ~ITaskSink() = default;
};

// Failures tests inject into a running service; the product injects none.
// Any thread.
class CInjectedFaults {
public:
  // Of the data objects that runs create from now on, the first `after` are
  // made and the next `count` fail to be.
  void FailDataObjects(LONG count, LONG after = 0);
  bool TakeDataFault();
  // Step `step` (1 to 8) of the next Uninitialize of a phone's own
  // implementation throws.
  void FailUninitializeStep(int step) { m_uninitializeStep = step; }
  bool TakeUninitializeFault(int step) { return m_uninitializeStep.compare_exchange_strong(step, 0); }

private:
  CLockable m_lock;
  LONG m_dataFaults = 0;
  LONG m_dataFaultsAfter = 0;
  std::atomic<int> m_uninitializeStep{0};
};

// What the phones' connections, their tasks and the operations reach of the
// rest of the service, handed to each when it is built. Made by the main
// object, which keeps every part of it longer than anything holding it; any
// thread may use it.
struct CServiceLinks {
  ITaskSink& tasks;
  CClientManager& clients;
  CZembraDeviceList& devices;
  // Call control's registration in the GIT.
  const CGitCookie& callControl;
  CInjectedFaults& faults;

  // Call control for the calling thread's apartment; null when unreachable.
  CComPtr<ICallControl> CallControl() const;
  CComPtr<IMessageComposer> MessageComposer() const;
};
