#pragma once
#include <windows.h>
#include <string>
#include "CClient.h"
#include "CLiveObjectRegistry.h"
#include "ComTL.h"
#include "ServiceTasks.h"
#include "SZembra.h"

// The task side of every operation object: its ids, its state and the
// skeleton of its run. Created by CreateOperation on the main thread, run on
// "TaskQueue"; the client reads the state on its own threads before
// BeginOperation and after the callback, never in between.
class COperationTask : public CTask {
public:
  COperationTask() { m_autoDelete = true; }

  // Called once by CreateOperation, right after creation.
  void SetIds(CZembra* zembra, const std::wstring& clientId, const std::wstring& operationId);
  const std::wstring& GetClientId() const { return m_clientId; }
  const std::wstring& GetOperationId() const { return m_operationId; }
  EOperationState GetState() const { return m_state; }

  bool IsAutoDelete() override { return true; }
  void Execute() override;

  // The error-information object of OperationFailed: a description only.
  static CComPtr<IErrorInfo> MakeErrorInfo(const wchar_t* text);

protected:
  // The interface the client is told of in OperationCompleted.
  virtual IOperation* GetOperationInterface() = 0;
  // The operation's own work, on the task-queue thread; throws on failure.
  // An operation whose work does not exist yet fails with E_NOTIMPL.
  virtual void DoWork();
  // Update and delete operations: the text sent when nothing is assigned.
  virtual const wchar_t* GetMissingObjectText() { return nullptr; }
  virtual bool HasAssignedObject() { return true; }
  // The text of a failure that is not of the ZCLException family.
  virtual const wchar_t* GetCatchAllText() = 0;

  void SetState(EOperationState state) { m_state = state; }

private:
  void Fail(CClient& client, HRESULT hr, const std::wstring& text);

  std::wstring m_operationId;
  volatile EOperationState m_state = OperationNotStarted;
};

// The service's own operations alive in this process. An operation found here
// comes with a reference on its COM identity; a client's own object or a
// proxy is not found.
typedef CLiveObjectRegistry<COperationTask> COperationRegistry;
