#include <windows.h>
#include "CZembra.h"
#include "CCallControl.h"
#include "ContactOperations.h"
#include "DeviceOperations.h"
#include "MessageCallOperations.h"
#include "ServiceTasks.h"
#include "SmsOperations.h"
#include "ZCLException.h"

namespace {

const wchar_t kInvalidClientId[] = L"Invalid client id";
const wchar_t kClientDisconnecting[] = L"Client has requested disconnection";
const wchar_t kNullOperation[] = L"Argument pIOperation is NULL";

// A new operation object of kind T, its task side and its IUnknown, which
// holds the one reference until the caller hands it on.
template <class T>
HRESULT CreateOperationObject(CComPtr<IUnknown>& object, COperationTask*& task) {
  CComObject<T>* p = nullptr;
  HRESULT hr = CComObject<T>::CreateInstance(&p);
  if (FAILED(hr) || !p) return FAILED(hr) ? hr : E_FAIL;
  object = p->GetUnknown();
  task = p;
  return S_OK;
}

typedef HRESULT (*OperationCreator)(CComPtr<IUnknown>&, COperationTask*&);

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

const wchar_t* Text(BSTR text) { return text ? text : L""; }

}  // namespace

CZembra::TrelkData::TrelkData(CZembra* zembra)
    : taskQueue(L"TaskQueue"), deviceManager(zembra) {}

CZembra::CZembra() : m_data(this) {}

CComPtr<IGlobalInterfaceTable> CZembra::GetGIT() {
  CComPtr<IGlobalInterfaceTable> git;
  HRESULT hr;
  if (_pAtlModule)
    hr = _pAtlModule->GetGITPtr(&git);
  else
    hr = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git));
  ZCLComCoCreateThrowOnFail(hr, CLSID_StdGlobalInterfaceTable, ZCL_POS);
  return git;
}

void CZembra::CreateCallControl(IGlobalInterfaceTable* git) {
  CComObjectWithoutLock<CCallControl>* callControl = nullptr;
  ZCLComThrowOnFail(CComObjectWithoutLock<CCallControl>::CreateInstance(&callControl),
                    ZCL_POS + " Creation of CallControl failed!");
  HRESULT hr = callControl->Initialize(this);
  if (FAILED(hr)) {
    delete callControl;
    throw ZCLComException(hr, ZCL_POS + " Failed to initialize CallControl.");
  }
  ZCLComQIThrowOnFail(callControl->QueryInterface(IID_IUnknown,
                                                  reinterpret_cast<void**>(&m_data.callControl)),
                      IID_IUnknown, ZCL_POS);
  ZCLComThrowOnFail(git->RegisterInterfaceInGlobal(static_cast<ICallControl*>(callControl),
                                                   IID_ICallControl, &m_data.callControlCookie),
                    ZCL_POS + " Failed to register CallControl in GIT.");
}

// Call control is registered before the connectivity start is queued: the
// start brings up the device manager, whose first phone needs call control.
HRESULT CZembra::FinalConstruct() {
  try {
    ZCLScopeTracer trace("CZembra::FinalConstruct");
    try {
      CComPtr<IGlobalInterfaceTable> git = GetGIT();
      ZCLThrowOnFalse(m_data.taskQueue.StartThread(), ZCL_POS + " Failed to start task queue.");
      CreateCallControl(git);
      AddTask(new CInitializeTrelkTask(this));
      return S_OK;
    } catch (const ZCLComException& e) {
      ZCLLogCaught(3, e);
      return e.GetHResult();
    }
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    return E_UNEXPECTED;
  }
}

// In the reverse order of the start: call control out of the GIT, the task
// queue stopped (its waiting tasks go with it), call control released, the
// device manager stopped. The destructor then lets go of the members.
void CZembra::FinalRelease() {
  try {
    ZCLScopeTracer trace("CZembra::FinalRelease");
    CComPtr<IGlobalInterfaceTable> git;
    try {
      git.Attach(GetGIT().Detach());
    } catch (const ZCLException&) {
    }
    if (git && m_data.callControlCookie) {
      git->RevokeInterfaceFromGlobal(m_data.callControlCookie);
      m_data.callControlCookie = 0;
    }
    m_data.taskQueue.StopThread();
    m_data.clientManager.StopDeliveries();
    m_data.callControl.Release();
    m_data.deviceManager.StopThread();
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
  }
}

CClientManager& CZembra::GetClientManager() { return m_data.clientManager; }

CDeviceManager& CZembra::GetDeviceManager() { return m_data.deviceManager; }

void CZembra::AddTask(CTaskBase* task) {
  ZCLScopeTracer trace("CZembra::AddTask");
  m_data.taskQueue.AddTask(task);
}

void CZembra::AddTaskRemoveEarlier(CTaskBase* task, CheckRemoval* predicate) {
  ZCLScopeTracer trace("CZembra::AddTaskRemoveEarlier");
  m_data.taskQueue.RemoveTask(predicate);
  m_data.taskQueue.AddTask(task);
}

CComPtr<ICallControl> CZembra::GetCallControl() {
  ZCLScopeTracer trace("CZembra::GetCallControl");
  CComPtr<ICallControl> callControl;
  try {
    CComPtr<IGlobalInterfaceTable> git = GetGIT();
    if (FAILED(git->GetInterfaceFromGlobal(m_data.callControlCookie, IID_ICallControl,
                                           reinterpret_cast<void**>(&callControl))))
      callControl.Release();
  } catch (...) {
    callControl.Release();
  }
  return callControl;
}

CComPtr<IMessageComposer> CZembra::GetMessageComposer() {
  ZCLScopeTracer trace("CZembra::GetMessageComposer");
  CComPtr<IMessageComposer> composer;
  CComPtr<ICallControl> callControl = GetCallControl();
  if (callControl &&
      FAILED(callControl->QueryInterface(IID_IMessageComposer, reinterpret_cast<void**>(&composer))))
    composer.Release();
  return composer;
}

void CZembra::InitializeTrelk() {
  ZCLScopeTracer trace("CZembra::InitializeTrelk");
  if (m_data.trelkInitialized) return;
  m_data.deviceManagement.Initialize();
  m_data.deviceManager.SetDeviceManagement(&m_data.deviceManagement);
  ZCLThrowOnFalse(m_data.deviceManager.StartThread(), ZCL_POS + " Failed to start device manager.");
  m_data.trelkInitialized = true;
}

HRESULT CZembra::Refuse(const wchar_t* text, HRESULT hr) { return Error(text, GUID_NULL, hr); }

HRESULT CZembra::CheckClient(const wchar_t* clientId, bool enabledToo) {
  CClientManager& clients = m_data.clientManager;
  if (!clients.IsValidClientId(clientId)) return Refuse(kInvalidClientId, E_INVALIDARG);
  if (enabledToo && !clients.IsClientEnabled(clientId)) return Refuse(kClientDisconnecting, E_FAIL);
  return S_OK;
}

STDMETHODIMP CZembra::Connect(IZembraCallback* pICallback) {
  try {
    ZCLScopeTracer trace("CZembra::Connect");
    if (!pICallback) return Refuse(L"Argument pICallback is NULL", E_POINTER);
    CComPtr<IGlobalInterfaceTable> git = GetGIT();
    DWORD cookie = 0;
    ZCLComThrowOnFail(git->RegisterInterfaceInGlobal(pICallback, IID_IZembraCallback, &cookie),
                      ZCL_POS + " Failed to register Callback in GIT.");
    std::wstring clientId;
    try {
      clientId = m_data.clientManager.AddClient(cookie, this);
    } catch (...) {
      git->RevokeInterfaceFromGlobal(cookie);
      throw;
    }
    AddTask(new CConnectTask(this, clientId));
    return S_OK;
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    return E_UNEXPECTED;
  }
}

STDMETHODIMP CZembra::Disconnect(BSTR bstrClientId) {
  try {
    ZCLScopeTracer trace("CZembra::Disconnect");
    const wchar_t* clientId = Text(bstrClientId);
    HRESULT hr = CheckClient(clientId, true);
    if (hr != S_OK) return hr;
    m_data.clientManager.EnableClient(clientId, false);
    AddTask(new CDisconnectTask(this, clientId));
    return S_OK;
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    return E_UNEXPECTED;
  }
}

STDMETHODIMP CZembra::CreateOperation(BSTR bstrClientId, REFIID riid, IOperation** ppOperation) {
  try {
    ZCLScopeTracer trace("CZembra::CreateOperation");
    if (!ppOperation) return Refuse(L"Argument ppOperation is NULL.", E_POINTER);
    *ppOperation = nullptr;
    ULONG number;
    {
      CComObjectLock<CZembra> lock(this);
      number = ++m_data.operationCounter;
    }
    std::wstring operationId = MakeZembraId(number);
    const wchar_t* clientId = Text(bstrClientId);
    HRESULT hr = CheckClient(clientId, true);
    if (hr != S_OK) return hr;
    for (const OperationKind& kind : kOperationKinds) {
      if (!::InlineIsEqualGUID(riid, *kind.iid)) continue;
      CComPtr<IUnknown> object;
      COperationTask* task = nullptr;
      if (FAILED(kind.create(object, task))) return Refuse(L"Failed to create operation.", E_FAIL);
      task->SetIds(this, clientId, operationId);
      return object->QueryInterface(IID_IOperation, reinterpret_cast<void**>(ppOperation));
    }
    return Refuse(L"Invalid operation type", E_INVALIDARG);
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    return E_UNEXPECTED;
  }
}

HRESULT CZembra::ReadOperationIds(IOperation* operation, CComBSTR& clientId,
                                  CComBSTR& operationId) {
  HRESULT hr = operation->get_ClientId(&clientId);
  if (FAILED(hr)) return hr;
  return operation->get_OperationId(&operationId);
}

STDMETHODIMP CZembra::BeginOperation(IOperation* pIOperation) {
  try {
    ZCLScopeTracer trace("CZembra::BeginOperation");
    if (!pIOperation) return Refuse(kNullOperation, E_POINTER);
    CComBSTR clientId, operationId;
    HRESULT hr = ReadOperationIds(pIOperation, clientId, operationId);
    if (FAILED(hr)) return hr;
    hr = CheckClient(Text(clientId), true);
    if (hr != S_OK) return hr;
    // Never dynamic_cast: the object may be a proxy or another module's.
    COperationTask* task = COperationTask::FromOperation(pIOperation);
    if (!task) return Refuse(L"Task Query failed", E_UNEXPECTED);
    pIOperation->AddRef();  // released by the queue once the task has run
    try {
      AddTask(task);
    } catch (...) {
      pIOperation->Release();
      throw;
    }
    return S_OK;
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    return E_UNEXPECTED;
  }
}

STDMETHODIMP CZembra::CancelOperation(IOperation* pIOperation) {
  try {
    ZCLScopeTracer trace("CZembra::CancelOperation");
    if (!pIOperation) return Refuse(kNullOperation, E_POINTER);
    CComBSTR clientId, operationId;
    HRESULT hr = ReadOperationIds(pIOperation, clientId, operationId);
    if (FAILED(hr)) return hr;
    COperationTask* task = COperationTask::FromOperation(pIOperation);
    if (!m_data.clientManager.IsValidClientId(Text(clientId)) || !task)
      return Refuse(kInvalidClientId, E_INVALIDARG);
    task->SetCancelled(true);
    return S_OK;
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    return E_UNEXPECTED;
  }
}

STDMETHODIMP CZembra::SubscribeNotification(BSTR bstrClientId, REFIID riid) {
  try {
    ZCLScopeTracer trace("CZembra::SubscribeNotification");
    const wchar_t* clientId = Text(bstrClientId);
    HRESULT hr = CheckClient(clientId, true);
    if (hr != S_OK) return hr;
    if (!m_data.clientManager.AddNotificationSubscriber(clientId, riid))
      return Refuse(L"Subscription failed!", E_FAIL);
    return S_OK;
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    return E_UNEXPECTED;
  }
}

STDMETHODIMP CZembra::UnsubscribeNotification(BSTR bstrClientId, REFIID riid) {
  try {
    ZCLScopeTracer trace("CZembra::UnsubscribeNotification");
    const wchar_t* clientId = Text(bstrClientId);
    HRESULT hr = CheckClient(clientId, false);
    if (hr != S_OK) return hr;
    if (!m_data.clientManager.RemoveNotificationSubscriber(clientId, riid))
      return Refuse(L"Unsubscription failed!", E_FAIL);
    return S_OK;
  } catch (...) {
    ZCLLogUnknownException(3, ZCL_POS);
    return E_UNEXPECTED;
  }
}
