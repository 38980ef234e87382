#include <windows.h>
#include "CCallBack.h"
#include "ComBSTR.h"
#include "ComPtr.h"
#include "PluginUi.h"
#include "ZCLFrame.h"

namespace {

// The platform's text for a failure code, for a failure that comes without
// an error object.
std::wstring CodeMessage(HRESULT hr) {
  LPWSTR buffer = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  if (text.empty()) {
    wchar_t code[32];
    ::wsprintfW(code, L"Error 0x%08X", static_cast<unsigned>(hr));
    text = code;
  }
  return text;
}

}  // namespace

STDMETHODIMP CCallBack::ConnectCompleted(BSTR clientId) {
  return ZCLComMethod("CCallBack::ConnectCompleted", ZCL_SITE, [&]() -> HRESULT {
    m_clientId = BstrText(clientId);
    std::function<void()> hook = m_connected;  // the hook may replace itself
    if (hook) hook();
    return S_OK;
  });
}

STDMETHODIMP CCallBack::DisconnectCompleted(BSTR) { return S_OK; }

bool CCallBack::TakeIfConnected(IDevice* device) {
  EDeviceState state = DeviceDisconnected;
  if (!device || FAILED(device->get_State(&state)) || state != DeviceConnected) return false;
  CComBSTR serial;
  if (FAILED(device->get_SerialNumber(&serial))) return false;
  m_serial = BstrText(serial);
  return true;
}

STDMETHODIMP CCallBack::OperationCompleted(BSTR, BSTR, IOperation* operation) {
  return ZCLComMethod("CCallBack::OperationCompleted", ZCL_SITE, [&]() -> HRESULT {
    CComPtr<IUnknown> data;
    if (!operation || FAILED(operation->get_OperationData(&data)) || !data) return S_OK;
    CComPtr<IDeviceList> devices;
    if (FAILED(data->QueryInterface(IID_IDeviceList, reinterpret_cast<void**>(&devices)))) return S_OK;
    LONG count = 0;
    if (FAILED(devices->get_Count(&count))) return S_OK;
    for (LONG index = 1; index <= count; ++index) {
      CComPtr<IDevice> device;
      if (SUCCEEDED(devices->get_Item(index, &device)) && TakeIfConnected(device)) break;
    }
    return S_OK;
  });
}

// The box is modal on the browser's thread; nothing is locked around it.
STDMETHODIMP CCallBack::OperationFailed(BSTR, BSTR, HRESULT hr, IErrorInfo* errorInfo) {
  return ZCLComMethod("CCallBack::OperationFailed", ZCL_SITE, [&]() -> HRESULT {
    std::wstring text;
    CComBSTR description;
    if (errorInfo && SUCCEEDED(errorInfo->GetDescription(&description)) && description.Length())
      text = BstrText(description);
    else
      text = CodeMessage(hr);
    PluginUiSeam().messageBox(nullptr, text.c_str(), L"Warning", MB_OK | MB_ICONWARNING);
    return S_OK;
  });
}

STDMETHODIMP CCallBack::OperationProgress(BSTR, BSTR, IProgressInfo*) { return S_OK; }
STDMETHODIMP CCallBack::OperationData(BSTR, BSTR, IOperation*) { return S_OK; }
STDMETHODIMP CCallBack::NewDevice(BSTR, IDevice*) { return S_OK; }

STDMETHODIMP CCallBack::DeviceStateChanged(BSTR, IDevice* device) {
  return ZCLComMethod("CCallBack::DeviceStateChanged", ZCL_SITE, [&]() -> HRESULT {
    TakeIfConnected(device);
    return S_OK;
  });
}

STDMETHODIMP CCallBack::Notification(BSTR, REFIID, ISNotification*) { return S_OK; }
