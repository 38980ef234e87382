#include <windows.h>
#include <memory>
#include "CDialixData.h"
#include "CDialixNotification.h"
#include "CZembraClient.h"
#include "ZCLText.h"

namespace {

const UINT kRunTask = WM_APP + 1;
const UINT kDestroySink = WM_APP + 2;
const wchar_t kWindowClass[] = L"OrvexDialixScriptThread";

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

HRESULT CZembraClient::Create(CDialixCallback* holder, CComPtr<IZembraCallback>& sink, CZembraClient** made) {
  *made = nullptr;
  CZembraClientObject* object = nullptr;
  HRESULT hr = AtlCreateWrapped(&object);
  if (FAILED(hr)) return hr;
  sink = object;
  object->m_holder = holder;
  *made = object;
  return S_OK;
}

HRESULT CZembraClient::FinalConstruct() {
  return ZCLComMethod("CZembraClient::FinalConstruct", ZCL_SITE, [&]() -> HRESULT {
    HINSTANCE module = ThisModule();
    WNDCLASSEXW windowClass = {sizeof(windowClass)};
    windowClass.lpfnWndProc = &CZembraClient::WindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      return HRESULT_FROM_WIN32(::GetLastError());
    m_window.Reset(::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr));
    if (!m_window) return HRESULT_FROM_WIN32(::GetLastError());
    m_scriptThread = ::GetCurrentThreadId();
    return S_OK;
  });
}

// Runs on the script's thread, or here when that thread and its window are gone.
void CZembraClient::FinalRelease() {
  if (m_holder) m_holder->SinkGone(this);
  m_holder = nullptr;
  m_pending.clear();
}

CZembraClient::~CZembraClient() {}

void CZembraClient::DestroyOnScriptThread() {
  if (::GetCurrentThreadId() != m_scriptThread &&
      ::PostMessageW(m_window.Get(), kDestroySink, 0, reinterpret_cast<LPARAM>(this)))
    return;
  delete this;
}

LRESULT CALLBACK CZembraClient::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunTask) {
    std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
    ZCLGuarded(3, ZCL_SITE, [&] { (*task)(); });
    return 0;
  }
  if (message == kDestroySink) {
    delete reinterpret_cast<CZembraClient*>(lParam);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

HRESULT CZembraClient::Deliver(const char* name, std::function<HRESULT()> handler) {
  return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
    if (::GetCurrentThreadId() == m_scriptThread) return handler();
    CComPtr<IZembraCallback> self(this);
    std::unique_ptr<std::function<void()>> task(new std::function<void()>([self, handler]() { handler(); }));
    if (!::PostMessageW(m_window.Get(), kRunTask, 0, reinterpret_cast<LPARAM>(task.get())))
      return HRESULT_FROM_WIN32(::GetLastError());
    task.release();
    return S_OK;
  });
}

std::wstring CZembraClient::OperationIdOf(IOrvexDialixOperation* operation) {
  nsString id;
  if (!operation || NS_FAILED(operation->GetOperationId(id))) return std::wstring();
  return std::wstring(id.Data(), id.Length());
}

void CZembraClient::AddPending(IOrvexDialixOperation* operation) {
  m_pending[OperationIdOf(operation)] = operation;
}

void CZembraClient::RemovePending(IOrvexDialixOperation* operation) {
  m_pending.erase(OperationIdOf(operation));
}

nsCOMPtr<IOrvexDialixOperation> CZembraClient::TakePending(BSTR operationId) {
  nsCOMPtr<IOrvexDialixOperation> taken;
  auto found = m_pending.find(ZCLNullToEmpty(operationId));
  if (found == m_pending.end()) return taken;
  taken = found->second;
  m_pending.erase(found);
  return taken;
}

STDMETHODIMP CZembraClient::ConnectCompleted(BSTR clientId) {
  CComBSTR id(clientId);
  return Deliver("CZembraClient::ConnectCompleted", [this, id]() -> HRESULT {
    if (!m_holder) return S_FALSE;
    nsString text;
    DialixAssign(text, id);
    return m_holder->ConnectCompleted(text);
  });
}

STDMETHODIMP CZembraClient::DisconnectCompleted(BSTR clientId) {
  CComBSTR id(clientId);
  return Deliver("CZembraClient::DisconnectCompleted", [this, id]() -> HRESULT {
    if (!m_holder) return S_OK;
    nsString text;
    DialixAssign(text, id);
    return m_holder->DisconnectCompleted(text);
  });
}

STDMETHODIMP CZembraClient::OperationCompleted(BSTR clientId, BSTR operationId, IOperation*) {
  CComBSTR client(clientId), id(operationId);
  return Deliver("CZembraClient::OperationCompleted", [this, client, id]() -> HRESULT {
    nsCOMPtr<IOrvexDialixOperation> wrapper = TakePending(id);
    if (!wrapper || !m_holder) return S_OK;
    nsString clientText, idText;
    DialixAssign(clientText, client);
    DialixAssign(idText, id);
    m_holder->OperationCompleted(clientText, idText, wrapper);
    return S_OK;
  });
}

STDMETHODIMP CZembraClient::OperationFailed(BSTR clientId, BSTR operationId, HRESULT result, IErrorInfo* error) {
  CComBSTR client(clientId), id(operationId);
  CComPtr<IErrorInfo> info(error);
  return Deliver("CZembraClient::OperationFailed", [this, client, id, result, info]() -> HRESULT {
    if (m_pending.find(ZCLNullToEmpty(id.m_str)) == m_pending.end()) return S_OK;
    nsCOMPtr<IOrvexDialixErrorInfo> wrapped;
    nsresult rv = CDialixErrorInfo::Wrap(info, getter_AddRefs(wrapped));
    if (NS_FAILED(rv)) return rv;  // the operation stays pending
    nsCOMPtr<IOrvexDialixOperation> wrapper = TakePending(id);
    if (!m_holder) return S_OK;
    nsString clientText, idText;
    DialixAssign(clientText, client);
    DialixAssign(idText, id);
    m_holder->OperationFailed(clientText, idText, result, wrapped);
    return S_OK;
  });
}

STDMETHODIMP CZembraClient::OperationProgress(BSTR, BSTR, IProgressInfo*) { return S_OK; }

STDMETHODIMP CZembraClient::OperationData(BSTR, BSTR, IOperation*) { return S_OK; }

STDMETHODIMP CZembraClient::NewDevice(BSTR clientId, IDevice* device) {
  CComBSTR client(clientId);
  CComPtr<IDevice> held(device);
  return Deliver("CZembraClient::NewDevice",
                 [this, client, held]() -> HRESULT { return OnDevice(client, held, true); });
}

STDMETHODIMP CZembraClient::DeviceStateChanged(BSTR clientId, IDevice* device) {
  CComBSTR client(clientId);
  CComPtr<IDevice> held(device);
  return Deliver("CZembraClient::DeviceStateChanged",
                 [this, client, held]() -> HRESULT { return OnDevice(client, held, false); });
}

HRESULT CZembraClient::OnDevice(BSTR clientId, IDevice* device, bool isNew) {
  if (!m_holder) return S_OK;
  nsCOMPtr<IOrvexDialixDevice> wrapped;
  nsresult rv = CDialixDevice::Wrap(device, getter_AddRefs(wrapped));
  if (NS_FAILED(rv)) return rv;
  nsString client;
  DialixAssign(client, clientId);
  if (isNew)
    m_holder->NewDevice(client, wrapped);
  else
    m_holder->DeviceStateChanged(client, wrapped);
  return S_OK;
}

STDMETHODIMP CZembraClient::Notification(BSTR clientId, REFIID kind, ISNotification* notification) {
  CComBSTR client(clientId);
  IID kindCopy = kind;
  CComPtr<ISNotification> held(notification);
  return Deliver("CZembraClient::Notification", [this, client, kindCopy, held]() -> HRESULT {
    return OnNotification(client, kindCopy, held);
  });
}

HRESULT CZembraClient::OnNotification(BSTR clientId, const IID& kind, ISNotification* notification) {
  if (!m_holder) return S_OK;
  typedef nsresult (*Factory)(ISNotification*, const nsIID&, void**);
  struct Kind {
    const IID& service;
    const nsIID& script;
    Factory create;
  };
  static const Kind kinds[] = {
      {IID_IMessageReceivedNotification, NS_GET_IID(IOrvexDialixMessageReceivedNotification),
       &CDialixMessageReceived::Create},
      {IID_ICallNotification, NS_GET_IID(IOrvexDialixCallNotification), &CDialixCallNotification::Create},
      {IID_IEventsUpdatedNotification, NS_GET_IID(IOrvexDialixEventsUpdatedNotification),
       &CDialixEventsUpdated::Create}};
  for (const Kind& k : kinds) {
    if (!::IsEqualGUID(k.service, kind)) continue;
    nsCOMPtr<nsISupports> wrapped;
    nsresult rv = k.create(notification, k.script, reinterpret_cast<void**>(getter_AddRefs(wrapped)));
    if (NS_FAILED(rv)) return rv;
    nsString client;
    DialixAssign(client, clientId);
    m_holder->Notification(client, &k.script, wrapped);
    return S_OK;
  }
  return S_OK;
}
