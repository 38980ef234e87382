#include <windows.h>
#include "CCallBackImp.h"
#include "AppModule.h"
#include "ZCLFrame.h"
#include "resource.h"

std::wstring LoadResourceString(UINT id) {
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(WtlGetResourceInstance(), id, reinterpret_cast<wchar_t*>(&text), 0);
  return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring FormatResourceString(UINT id, const wchar_t* insert) {
  std::wstring pattern = LoadResourceString(id);
  DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(insert ? insert : L"")};
  wchar_t* formatted = nullptr;
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                      FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                  pattern.c_str(), 0, 0, reinterpret_cast<wchar_t*>(&formatted), 0,
                                  reinterpret_cast<va_list*>(args));
  std::wstring result = length && formatted ? std::wstring(formatted, length) : pattern;
  if (formatted) ::LocalFree(formatted);
  return result;
}

namespace {

const UINT kQueryDevicesMessage = WM_USER + 101;

std::wstring StateText(EDeviceState state) {
  switch (state) {
    case DeviceConnecting: return LoadResourceString(IDS_CONNECTING);
    case DeviceConnected: return LoadResourceString(IDS_CONNECTED);
    case DeviceDisconnected: return LoadResourceString(IDS_DISCONNECTED);
    default: return std::wstring();
  }
}

}  // namespace

void CCallBackImp::SetOwner(CZembraTrayWindow* owner, HANDLE connectEvent) {
  CLockGuard guard(&m_lock);
  m_owner = owner;
  m_event = connectEvent;
}

void CCallBackImp::SetWindow(HWND window) {
  CLockGuard guard(&m_lock);
  if (!m_owner) return;
  m_window = window;
  if (m_window && !m_updates.empty()) ::PostMessageW(m_window, kUpdatesMessage, 0, 0);
}

void CCallBackImp::ClearOwner() {
  CLockGuard guard(&m_lock);
  m_owner = nullptr;
  m_window = nullptr;
  m_event = INVALID_HANDLE_VALUE;
  m_updates.clear();
}

std::wstring CCallBackImp::GetClientId() {
  CLockGuard guard(&m_lock);
  return m_clientId;
}

std::deque<TrayUpdate> CCallBackImp::TakeUpdates() {
  CLockGuard guard(&m_lock);
  std::deque<TrayUpdate> taken;
  taken.swap(m_updates);
  return taken;
}

void CCallBackImp::SetConnectEvent() {
  CLockGuard guard(&m_lock);
  if (m_event != INVALID_HANDLE_VALUE && m_event) ::SetEvent(m_event);
}

void CCallBackImp::Queue(const TrayUpdate& update) {
  CLockGuard guard(&m_lock);
  if (!m_owner) return;
  m_updates.push_back(update);
  // Posting never waits for the window thread, so the lock may stay held.
  if (m_window && m_updates.size() == 1) ::PostMessageW(m_window, kUpdatesMessage, 0, 0);
}

STDMETHODIMP CCallBackImp::ConnectCompleted(BSTR clientId) {
  return ZCLComMethod("CCallBackImp::ConnectCompleted", ZCL_SITE, [&]() -> HRESULT {
    CLockGuard guard(&m_lock);
    m_clientId = clientId ? clientId : L"";
    if (m_event != INVALID_HANDLE_VALUE && m_event) ::SetEvent(m_event);
    // The window stopped waiting for us and queried with no client id: again.
    if (m_window) ::PostMessageW(m_window, kQueryDevicesMessage, 0, 0);
    return S_OK;
  });
}

STDMETHODIMP CCallBackImp::DisconnectCompleted(BSTR) {
  return ZCLComMethod("CCallBackImp::DisconnectCompleted", ZCL_SITE, [&]() -> HRESULT {
    SetConnectEvent();
    return S_OK;
  });
}

STDMETHODIMP CCallBackImp::OperationFailed(BSTR, BSTR, HRESULT, IErrorInfo*) {
  return ZCLComMethod("CCallBackImp::OperationFailed", ZCL_SITE, [&]() -> HRESULT {
    SetConnectEvent();
    return S_OK;
  });
}

STDMETHODIMP CCallBackImp::OperationCompleted(BSTR, BSTR, IOperation* operation) {
  return ZCLComMethod("CCallBackImp::OperationCompleted", ZCL_SITE, [&]() -> HRESULT {
    if (!operation) return S_OK;
    CComPtr<IUnknown> data;
    if (FAILED(operation->get_OperationData(&data)) || !data) return S_OK;
    CComPtr<IDeviceList> list;
    if (FAILED(data->QueryInterface(IID_IDeviceList, reinterpret_cast<void**>(&list))) || !list) return S_OK;
    LONG count = 0;
    if (FAILED(list->get_Count(&count))) return S_OK;
    std::wstring summary;
    int connected = 0, connecting = 0;
    for (LONG i = 1; i <= count; ++i) {
      // An entry that cannot be read is left out; the others still count.
      CComPtr<IDevice> device;
      CComBSTR name;
      EDeviceState state = DeviceDisconnected;
      if (FAILED(list->get_Item(i, &device)) || !device || FAILED(device->get_FriendlyName(&name)) ||
          FAILED(device->get_State(&state)))
        continue;
      const wchar_t* text = name ? static_cast<const wchar_t*>(name) : L"";
      if (state == DeviceConnected) {
        ++connected;
        summary += FormatResourceString(IDS_DEVICE_CONNECTED, text) + L"\n";
      } else if (state == DeviceConnecting) {
        ++connecting;
        summary += FormatResourceString(IDS_DEVICE_CONNECTING, text) + L"\n";
      }
    }
    while (!summary.empty() && iswspace(summary.back())) summary.pop_back();
    if (summary.empty()) summary = LoadResourceString(IDS_NO_DEVICES);
    Queue(TrayUpdate{TrayUpdate::Summary, summary, std::wstring(), connected > 0, connecting > 0});
    return S_OK;
  });
}

void CCallBackImp::ShowDeviceState(IDevice* device) {
  if (!device) return;
  CComBSTR name;
  EDeviceState state = DeviceDisconnected;
  ZCLComThrowOnFail(device->get_FriendlyName(&name), "IDevice::FriendlyName");
  ZCLComThrowOnFail(device->get_State(&state), "IDevice::State");
  Queue(TrayUpdate{TrayUpdate::DeviceState, StateText(state), name ? static_cast<const wchar_t*>(name) : L"",
                   false, false});
}

STDMETHODIMP CCallBackImp::NewDevice(BSTR, IDevice* device) {
  return ZCLComMethod("CCallBackImp::NewDevice", ZCL_SITE, [&]() -> HRESULT {
    ShowDeviceState(device);
    return S_OK;
  });
}

STDMETHODIMP CCallBackImp::DeviceStateChanged(BSTR, IDevice* device) {
  return ZCLComMethod("CCallBackImp::DeviceStateChanged", ZCL_SITE, [&]() -> HRESULT {
    ShowDeviceState(device);
    return S_OK;
  });
}
