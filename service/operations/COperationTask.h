#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include "CClientManager.h"
#include "CLiveObjectRegistry.h"
#include "CLockable.h"
#include "ComText.h"
#include "ComTL.h"
#include "CZembraDevice.h"
#include "CZembraDeviceList.h"
#include "ServiceLinks.h"
#include "ServiceTasks.h"
#include "SZembra.h"

// The task side of every operation object: its ids, its state and the
// skeleton of its run. Created by CreateOperation on the main thread, run on
// "TaskQueue". Clients set properties on their own threads before
// BeginOperation and read them after the callback; from BeginOperation to
// the end of the run every put is refused, so a put never changes what the
// run is using. The property lock guards that count and the result data.
class COperationTask : public CTask {
public:
  COperationTask() { m_autoDelete = true; }

  // Called once by CreateOperation, right after creation; the links outlive
  // the operation's runs (an operation without them is never run).
  void SetIds(const CServiceLinks* links, const std::wstring& clientId, const std::wstring& operationId);
  const std::wstring& GetClientId() const { return m_clientId; }
  const std::wstring& GetOperationId() const { return m_operationId; }
  EOperationState GetState() const { return m_state.load(); }

  bool IsAutoDelete() override { return true; }
  void Execute() override;

  // BeginOperation: the object is queued (or its queueing failed: Unqueued).
  void Queued();
  void Unqueued();

  // The error-information object of OperationFailed: a description only.
  static CComPtr<IErrorInfo> MakeErrorInfo(const wchar_t* text);

protected:
  // The run itself; the skeleton unless an operation has steps of its own.
  virtual void Run();
  // The interface the client is told of in OperationCompleted.
  virtual IOperation* GetOperationInterface() = 0;
  // The phone the operation works on, by serial number; false for none.
  virtual bool GetDeviceSerial(std::wstring& serial) {
    (void)serial;
    return false;
  }
  // The operation's own work, on the task-queue thread; throws on failure.
  // An operation whose work does not exist yet fails with E_NOTIMPL.
  virtual void DoWork(CZembraDevice* device);
  // Update and delete operations: the text sent when nothing is assigned.
  virtual const wchar_t* GetMissingObjectText() { return nullptr; }
  virtual bool HasAssignedObject() { return true; }
  // The text of a failure that is not of the ZCLException family.
  virtual const wchar_t* GetCatchAllText() = 0;

  void SetState(EOperationState state) { m_state = state; }
  // Puts go through here: E_UNEXPECTED while the operation is queued or runs.
  template <class Body>
  HRESULT Put(const char* name, Body body) {
    return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
      CLockGuard guard(&m_propertyLock);
      if (m_pending > 0) return E_UNEXPECTED;
      return body();
    });
  }
  CComPtr<IUnknown> GetData();
  void SetData(IUnknown* data);
  // A new data object for the result, or null.
  template <class T>
  CComPtr<CComObject<T>> NewData() {
    if (Links().faults.TakeDataFault()) return CComPtr<CComObject<T>>();
    return NewComObject<T>();
  }

  // The run no longer uses the properties; before the client is called, so
  // that the client may set them again from inside its callback.
  void EndRun();
  // Sets the state, then tells the client; what the client raises passes on.
  void Fail(CClient& client, EOperationState state, HRESULT hr, const std::wstring& text);
  // The state is OperationCompleted already; what the client answers or
  // raises is logged and changes nothing.
  void Complete(CClient& client);
  CClientManager::ClientPtr FindClient();
  const CServiceLinks& Links() const { return *m_links; }
  // E_FAIL with the text to the client, or the client-not-found line.
  void FailOrLog(const wchar_t* text);
  void LogClientNotFound();

private:
  const CServiceLinks* m_links = nullptr;
  std::wstring m_operationId;
  std::atomic<EOperationState> m_state{OperationNotStarted};
  CLockable m_propertyLock;
  LONG m_pending = 0;      // queueings not yet run to their end
  bool m_runEnded = true;  // task-queue thread only
  CComPtr<IUnknown> m_data;
};

// The service's own operations alive in this process. An operation found here
// comes with a reference on its COM identity; a client's own object or a
// proxy is not found.
typedef CLiveObjectRegistry<COperationTask> COperationRegistry;
