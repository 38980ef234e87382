#pragma once
#include <windows.h>
#include "CClientManager.h"
#include "CTaskBase.h"
#include "CZembraDeviceList.h"
#include "ComPtr.h"
#include "GitCookie.h"
#include "SZembra.h"

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

  // Call control for the calling thread's apartment; null when unreachable.
  CComPtr<ICallControl> CallControl() const;
  CComPtr<IMessageComposer> MessageComposer() const;
};
