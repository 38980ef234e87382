#include <windows.h>
#include "CZembra.h"
#include "CCallControl.h"
#include "CComposeMessageOperation.h"
#include "CCreateCallOperation.h"
#include "CDeleteContactOperation.h"
#include "CDeleteSmsOperation.h"
#include "CGetContactsOperation.h"
#include "CGetDevicesOperation.h"
#include "CGetEventsOperation.h"
#include "CGetSmsOperation.h"
#include "CSendMessageOperation.h"
#include "CUpdateContactOperation.h"
#include "CUpdateSmsOperation.h"
#include "ServiceTasks.h"
#include "ZCLException.h"
#include "ZCLFrame.h"
#include "ZCLText.h"
#include "CTrelkException.h"
#include "CTaskBase.h"

namespace {

const wchar_t kInvalidClientId[] = L"Invalid client id";
const wchar_t kClientDisconnecting[] = L"Client has requested disconnection";
const wchar_t kNullOperation[] = L"Argument pIOperation is NULL";

// A new operation object of kind T, its task side and its IUnknown, which
// holds the one reference until the caller hands it on. Whatever the
// creation answered, the client is told E_FAIL.
template <class T>
void CreateOperationObject(CComPtr<IUnknown>& object, COperationTask*& task) {
  CComObject<T>* p = nullptr;
  HRESULT hr = CComObject<T>::CreateInstance(&p);
  ZCLComThrowOnFalse(SUCCEEDED(hr) && p, E_FAIL, "Failed to create operation.");
  object = p->GetUnknown();
  task = p;
}

typedef void (*OperationCreator)(CComPtr<IUnknown>&, COperationTask*&);

struct OperationKind {
  const IID* iid;
  OperationCreator create;
};

// Tested in this order.
const OperationKind kOperationKinds[] = {
    {&IID_IGetDevicesOperation, &CreateOperationObject<CGetDevicesOperation>},
    {&IID_ISendMessageOperation, &CreateOperationObject<CSendMessageOperation>},
    {&IID_ICreateCallOperation, &CreateOperationObject<CCreateCallOperation>},
    {&IID_IGetContactsOperation, &CreateOperationObject<CGetContactsOperation>},
    {&IID_IUpdateContactOperation, &CreateOperationObject<CUpdateContactOperation>},
    {&IID_IDeleteContactOperation, &CreateOperationObject<CDeleteContactOperation>},
    {&IID_IGetSmsOperation, &CreateOperationObject<CGetSmsOperation>},
    {&IID_IUpdateSmsOperation, &CreateOperationObject<CUpdateSmsOperation>},
    {&IID_IDeleteSmsOperation, &CreateOperationObject<CDeleteSmsOperation>},
    {&IID_IComposeMessageOperation, &CreateOperationObject<CComposeMessageOperation>},
    {&IID_IGetEventsOperation, &CreateOperationObject<CGetEventsOperation>},
};

CLockable& SettingsLock() {
  static CLockable* lock = new CLockable;
  return *lock;
}

CServiceSettings& Settings() {
  static CServiceSettings* settings = new CServiceSettings;
  return *settings;
}

CServiceSettings CurrentSettings() {
  CLockGuard guard(&SettingsLock());
  return Settings();
}

// Starts the connectivity side on the task-queue thread.
class CInitializeTrelkTask : public CTaskBase {
public:
  explicit CInitializeTrelkTask(CZembra* zembra) : m_zembra(zembra) {}
  void Execute() override {
    ZCLScopeTracer trace("CInitializeTrelkTask::Execute");
    m_zembra->InitializeTrelk();
  }
  bool IsAutoDelete() override { return true; }

private:
  ZCLObjectTracer<CInitializeTrelkTask> m_tracer;
  CZembra* m_zembra;
};

}  // namespace

CZembra::TrelkData::TrelkData(CZembra* zembra, const CServiceSettings& settings)
    : clientManager([zembra](const std::wstring& clientId) { zembra->QueueDisconnect(clientId); }),
      taskQueue(L"TaskQueue"),
      devices(settings.cacheFolder),
      links{*zembra, clientManager, devices, callControlCookie, faults},
      deviceManager(links, settings.deviceImpls) {}

CZembra::CZembra() {}

void CZembra::UseSettings(const CServiceSettings& settings) {
  CLockGuard guard(&SettingsLock());
  Settings() = settings;
}

CComPtr<IGlobalInterfaceTable> CZembra::GetGIT() { return ZCLGlobalInterfaceTable(); }

void CZembra::CreateCallControl() {
  CComObjectWithoutLock<CCallControl>* raw = nullptr;
  ZCLComThrowOnFail(CComObjectWithoutLock<CCallControl>::CreateInstance(&raw),
                    ZCL_POS + " Creation of CallControl failed!");
  // Owned from here: a failure below lets the new object go.
  CComPtr<ICallControl> callControl(raw);
  raw->Initialize(&m_data->clientManager, &m_data->deviceManager);
  ZCLComQIThrowOnFail(callControl->QueryInterface(IID_IUnknown,
                                                  reinterpret_cast<void**>(&m_data->callControl)),
                      IID_IUnknown, ZCL_POS);
  m_data->callControlCookie = CGitCookie(callControl, IID_ICallControl, "CallControl");
}

// Call control is registered before the connectivity start is queued: the
// start brings up the device manager, whose first phone needs call control.
HRESULT CZembra::FinalConstruct() {
  return ZCLComMethod("CZembra::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
    m_data.reset(new TrelkData(this, CurrentSettings()));
    GetGIT();  // no table, no service: refused before anything starts
    ZCLThrowOnFalse(m_data->taskQueue.StartThread(), ZCL_POS + " Failed to start task queue.");
    CreateCallControl();
    std::unique_ptr<CInitializeTrelkTask> start(new CInitializeTrelkTask(this));
    AddTask(start.get());
    start.release();
    return S_OK;
  });
}

// In the reverse order of the start: call control out of the GIT, the task
// queue stopped (its waiting tasks go with it), call control shut down and
// released, the device manager stopped. The destructor then lets go of the members.
void CZembra::FinalRelease() {
  ZCLGuarded(3, ZCL_SITE, [&] {
    ZCLScopeTracer trace("CZembra::FinalRelease");
    if (!m_data) return;  // the final construction failed before making it
    m_data->callControlCookie.Revoke();
    m_data->taskQueue.StopThread();
    m_data->clientManager.StopDeliveries();
    // Its own GIT registrations keep call control alive: they go with its
    // phones before the device manager stops, after which no phone comes back.
    if (CCallControl* callControl = CCallControl::FromUnknown(m_data->callControl)) callControl->Shutdown();
    m_data->callControl.Release();
    m_data->deviceManager.StopThread();
  });
}

CClientManager& CZembra::GetClientManager() {
  ZCLScopeTracer trace("CZembra::GetClientManager");
  return m_data->clientManager;
}

CDeviceManager& CZembra::GetDeviceManager() {
  ZCLScopeTracer trace("CZembra::GetDeviceManager");
  return m_data->deviceManager;
}

// A failure leaves the task with the caller.
void CZembra::AddTask(CTaskBase* task) {
  ZCLScopeTracer trace("CZembra::AddTask");
  LONG faults = m_queueFaults.load();
  while (faults > 0 && !m_queueFaults.compare_exchange_weak(faults, faults - 1)) {
  }
  if (faults > 0) throw std::bad_alloc();
  m_data->taskQueue.AddTask(task);
}

// A client's delivery found its process gone: its record is taken out on the
// task queue, as a disconnect of its own would.
void CZembra::QueueDisconnect(const std::wstring& clientId) {
  std::unique_ptr<CDisconnectTask> task(new CDisconnectTask(m_data->clientManager, clientId));
  AddTask(task.get());
  task.release();
}

void CZembra::AddTaskRemoveEarlier(CTaskBase* task, CheckRemoval* predicate) {
  ZCLScopeTracer trace("CZembra::AddTaskRemoveEarlier");
  m_data->taskQueue.RemoveTask(predicate);
  m_data->taskQueue.AddTask(task);
}

CComPtr<ICallControl> CZembra::GetCallControl() {
  ZCLScopeTracer trace("CZembra::GetCallControl");
  return m_data->links.CallControl();
}

CComPtr<IMessageComposer> CZembra::GetMessageComposer() {
  ZCLScopeTracer trace("CZembra::GetMessageComposer");
  return m_data->links.MessageComposer();
}

// The queue drops a ZCLException without a line of its own, and the library's
// failure is logged only at level 5 where it is thrown: a connectivity side
// that never came up must show in an ordinary log.
void CZembra::InitializeTrelk() {
  ZCLScopeTracer trace("CZembra::InitializeTrelk");
  if (m_data->trelkInitialized) return;
  try {
    m_data->deviceManagement.Initialize();
  } catch (const Trelk::CTrelkException& e) {
    Trelk::LogCaught(1, e);
    throw;
  }
  m_data->deviceManager.SetDeviceManagement(&m_data->deviceManagement);
  ZCLThrowOnFalse(m_data->deviceManager.StartThread(), ZCL_POS + " Failed to start device manager.");
  m_data->trelkInitialized = true;
}

HRESULT CZembra::Refuse(const wchar_t* text, HRESULT hr) { return Error(text, GUID_NULL, hr); }

void CZembra::CheckClient(const wchar_t* clientId, bool enabledToo) {
  CClientManager& clients = m_data->clientManager;
  ZCLComThrowOnFalse(clients.IsValidClientId(clientId), E_INVALIDARG, ZCLWideToUtf8(kInvalidClientId));
  if (enabledToo)
    ZCLComThrowOnFalse(clients.IsClientEnabled(clientId), E_FAIL, ZCLWideToUtf8(kClientDisconnecting));
}

STDMETHODIMP CZembra::Connect(IZembraCallback* pICallback) {
  return ZCLComMethod("CZembra::Connect", ZCL_SITE, [&]() -> HRESULT {
    if (!pICallback) return Refuse(L"Argument pICallback is NULL", E_POINTER);
    CGitCookie registration(pICallback, IID_IZembraCallback, "Callback");
    std::wstring clientId = m_data->clientManager.AddClient(std::move(registration));
    try {
      std::unique_ptr<CConnectTask> task(new CConnectTask(m_data->clientManager, clientId));
      AddTask(task.get());
      task.release();
    } catch (...) {
      // Nobody would ever tell this client its id: its record goes.
      m_data->clientManager.RemoveClient(clientId.c_str());
      throw;
    }
    return S_OK;
  });
}

STDMETHODIMP CZembra::Disconnect(BSTR bstrClientId) {
  return ZCLComMethod("CZembra::Disconnect", ZCL_SITE, [&]() -> HRESULT {
    const wchar_t* clientId = ZCLNullToEmpty(bstrClientId);
    CheckClient(clientId, true);
    std::unique_ptr<CDisconnectTask> task(new CDisconnectTask(m_data->clientManager, clientId));
    m_data->clientManager.EnableClient(clientId, false);
    try {
      AddTask(task.get());
    } catch (...) {
      // Without its task the client would stay disabled and never removed.
      m_data->clientManager.EnableClient(clientId, true);
      throw;
    }
    task.release();
    return S_OK;
  });
}

STDMETHODIMP CZembra::CreateOperation(BSTR bstrClientId, REFIID riid, IOperation** ppOperation) {
  return ZCLComMethod("CZembra::CreateOperation", ZCL_SITE, [&]() -> HRESULT {
    if (!ppOperation) return Refuse(L"Argument ppOperation is NULL.", E_POINTER);
    *ppOperation = nullptr;
    ULONG number;
    {
      CComObjectLock<CZembra> lock(this);
      number = ++m_data->operationCounter;
    }
    std::wstring operationId = MakeZembraId(number);
    const wchar_t* clientId = ZCLNullToEmpty(bstrClientId);
    CheckClient(clientId, true);
    for (const OperationKind& kind : kOperationKinds) {
      if (!::InlineIsEqualGUID(riid, *kind.iid)) continue;
      CComPtr<IUnknown> object;
      COperationTask* task = nullptr;
      kind.create(object, task);
      task->SetIds(&m_data->links, clientId, operationId);
      return object->QueryInterface(IID_IOperation, reinterpret_cast<void**>(ppOperation));
    }
    return Refuse(L"Invalid operation type", E_INVALIDARG);
  });
}

void CZembra::ReadOperationIds(IOperation* operation, CComBSTR& clientId, CComBSTR& operationId) {
  ZCLComThrowOnFail(operation->get_ClientId(&clientId), ZCL_POS + " Failed to read the operation's client id.");
  ZCLComThrowOnFail(operation->get_OperationId(&operationId), ZCL_POS + " Failed to read the operation's id.");
}

STDMETHODIMP CZembra::BeginOperation(IOperation* pIOperation) {
  return ZCLComMethod("CZembra::BeginOperation", ZCL_SITE, [&]() -> HRESULT {
    if (!pIOperation) return Refuse(kNullOperation, E_POINTER);
    CComBSTR clientId, operationId;
    ReadOperationIds(pIOperation, clientId, operationId);
    CheckClient(ZCLNullToEmpty(clientId.m_str), true);
    COperationRegistry::CLiveRef operation = COperationRegistry::Find(pIOperation);
    if (!operation) return Refuse(L"Task Query failed", E_UNEXPECTED);
    operation->Queued();  // puts are refused from here to the end of its run
    try {
      AddTask(operation.Get());
    } catch (...) {
      operation->Unqueued();
      throw;
    }
    operation.DetachIdentity();  // released by the queue once the task has run
    return S_OK;
  });
}

STDMETHODIMP CZembra::CancelOperation(IOperation* pIOperation) {
  return ZCLComMethod("CZembra::CancelOperation", ZCL_SITE, [&]() -> HRESULT {
    if (!pIOperation) return Refuse(kNullOperation, E_POINTER);
    CComBSTR clientId, operationId;
    ReadOperationIds(pIOperation, clientId, operationId);
    COperationRegistry::CLiveRef operation = COperationRegistry::Find(pIOperation);
    if (!m_data->clientManager.IsValidClientId(ZCLNullToEmpty(clientId.m_str)) || !operation)
      return Refuse(kInvalidClientId, E_INVALIDARG);
    operation->SetCancelled(true);
    return S_OK;
  });
}

STDMETHODIMP CZembra::SubscribeNotification(BSTR bstrClientId, REFIID riid) {
  return ZCLComMethod("CZembra::SubscribeNotification", ZCL_SITE, [&]() -> HRESULT {
    const wchar_t* clientId = ZCLNullToEmpty(bstrClientId);
    CheckClient(clientId, true);
    if (!m_data->clientManager.AddNotificationSubscriber(clientId, riid))
      return Refuse(L"Subscription failed!", E_FAIL);
    return S_OK;
  });
}

STDMETHODIMP CZembra::UnsubscribeNotification(BSTR bstrClientId, REFIID riid) {
  return ZCLComMethod("CZembra::UnsubscribeNotification", ZCL_SITE, [&]() -> HRESULT {
    const wchar_t* clientId = ZCLNullToEmpty(bstrClientId);
    CheckClient(clientId, false);
    if (!m_data->clientManager.RemoveNotificationSubscriber(clientId, riid))
      return Refuse(L"Unsubscription failed!", E_FAIL);
    return S_OK;
  });
}
