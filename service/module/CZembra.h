#pragma once
#include <windows.h>
#include <atomic>
#include <memory>
#include <string>
#include "CClientManager.h"
#include "CDeviceManager.h"
#include "CDeviceManagement.h"
#include "CGlobalQueue.h"
#include "ComTL.h"
#include "ServiceLinks.h"
#include "GitCookie.h"
#include "SZembra.h"
#include "ZCLLogger.h"
#include "resource.h"

// What the main object builds its parts with; the defaults are the product's.
struct CServiceSettings {
  // The device cache's folder; empty for the user's application-data folder.
  std::wstring cacheFolder;
  // Empty for the service's own implementation.
  DeviceImplFactory deviceImpls;
};

// The service's main object: one instance per process, made by the singleton
// factory. The IZembra methods run on the main thread (the module's
// apartment); the internal operations are called from the worker threads too.
// It owns the client manager, the task queue, the device manager, the
// device-management binding and call control for its whole life.
class CZembra : public CComObjectRootEx<CComMultiThreadModel>,
                public CComCoClass<CZembra, &CLSID_Zembra>,
                public ISupportErrorInfoImpl<&IID_IZembra>,
                public IDispatchImpl<IZembra, &IID_IZembra, &LIBID_SZembraLib, 1, 0>,
                public ITaskSink {
public:
  static HRESULT WINAPI UpdateRegistry(BOOL bRegister);  // beside the module's object map
  DECLARE_CLASSFACTORY_SINGLETON(CZembra)
  // COM makes the main object, so what it is built with is set beforehand:
  // by tests in the process and the test service program, never by the
  // product. Main objects made from now on use these. Process-wide.
  static void UseSettings(const CServiceSettings& settings);

  BEGIN_COM_MAP(CZembra)
  COM_INTERFACE_ENTRY(IZembra)
  COM_INTERFACE_ENTRY(IDispatch)
  COM_INTERFACE_ENTRY(ISupportErrorInfo)
  END_COM_MAP()

  CZembra();
  HRESULT FinalConstruct();
  void FinalRelease();
  // The singleton factory keeps one reference: once the count falls to it,
  // no client holds the main object, and a client stuck in a callback must
  // not keep the process alive through the calls queued for it.
  ULONG InternalRelease() {
    const ULONG count = CComObjectRootEx<CComMultiThreadModel>::InternalRelease();
    if (count == 1 && m_data) m_data->clientManager.ClientsLetGo();
    return count;
  }

  STDMETHOD(Connect)(IZembraCallback* pICallback) override;
  STDMETHOD(Disconnect)(BSTR bstrClientId) override;
  STDMETHOD(CreateOperation)(BSTR bstrClientId, REFIID riid, IOperation** ppOperation) override;
  STDMETHOD(BeginOperation)(IOperation* pIOperation) override;
  STDMETHOD(CancelOperation)(IOperation* pIOperation) override;
  STDMETHOD(SubscribeNotification)(BSTR bstrClientId, REFIID riid) override;
  STDMETHOD(UnsubscribeNotification)(BSTR bstrClientId, REFIID riid) override;

  CClientManager& GetClientManager();
  CDeviceManager& GetDeviceManager();
  void AddTask(CTaskBase* task) override;
  void AddTaskRemoveEarlier(CTaskBase* task, CheckRemoval* predicate) override;
  // Call control for the calling thread, from the GIT; null when unreachable.
  CComPtr<ICallControl> GetCallControl();
  CComPtr<IMessageComposer> GetMessageComposer();
  // Task-queue thread: starts the connectivity side once.
  void InitializeTrelk();
  // Any thread: whether the connectivity side has started.
  bool IsTrelkInitialized() const { return m_data && m_data->trelkInitialized; }

  // Test seam: the next count queueings fail as a queue out of memory would.
  void FailNextQueueing(LONG count) { m_queueFaults = count; }

  // Everything the main object owns, in order of construction. The parts
  // are handed the references they use when they are built.
  struct TrelkData : public CLockable {
    TrelkData(CZembra* zembra, const CServiceSettings& settings);
    std::atomic<bool> trelkInitialized{false};
    CClientManager clientManager;
    CGlobalQueue taskQueue;
    CZembraDeviceList devices;
    CGitCookie callControlCookie;
    CInjectedFaults faults;
    CServiceLinks links;
    CDeviceManager deviceManager;
    Trelk::CDeviceManagement deviceManagement;
    CComPtr<IUnknown> callControl;
    ULONG operationCounter = 0;
  };

  // What the parts were handed; tests build phone tasks with it.
  const CServiceLinks& Links() const { return m_data->links; }

  // The module's GIT (a new one without a module); throws when there is none.
  static CComPtr<IGlobalInterfaceTable> GetGIT();

private:
  void CreateCallControl();
  void QueueDisconnect(const std::wstring& clientId);
  HRESULT Refuse(const wchar_t* text, HRESULT hr);
  // Invalid client id, then a disabled client: each throws its refusal.
  void CheckClient(const wchar_t* clientId, bool enabledToo);
  void ReadOperationIds(IOperation* operation, CComBSTR& clientId, CComBSTR& operationId);

  ZCLObjectTracer<CZembra> m_tracer;
  // Made by FinalConstruct: its queues' events can fail to be created, and a
  // failure must reach the client as a result, not as a throw from new.
  std::unique_ptr<TrelkData> m_data;
  std::atomic<LONG> m_queueFaults{0};
};
