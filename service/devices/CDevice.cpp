#include <windows.h>
#include "CDevice.h"
#include "ComText.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

HRESULT CDevice::Get(const char* name, const std::wstring& field, BSTR* copy) {
  return ZCLComMethod(name, ZCL_SITE, [&]() -> HRESULT {
    CComObjectLock<CDevice> lock(this);
    return CopyComText(field, copy);
  });
}

STDMETHODIMP CDevice::get_SerialNumber(BSTR* p) { return Get("CDevice::get_SerialNumber", m_serialNumber, p); }
STDMETHODIMP CDevice::get_ModelName(BSTR* p) { return Get("CDevice::get_ModelName", m_modelName, p); }
STDMETHODIMP CDevice::get_FriendlyName(BSTR* p) { return Get("CDevice::get_FriendlyName", m_friendlyName, p); }
STDMETHODIMP CDevice::get_Manufacturer(BSTR* p) { return Get("CDevice::get_Manufacturer", m_manufacturer, p); }
STDMETHODIMP CDevice::get_BluetoothName(BSTR* p) {
  return Get("CDevice::get_BluetoothName", m_bluetoothName, p);
}

STDMETHODIMP CDevice::get_State(EDeviceState* pState) {
  return ZCLComMethod("CDevice::get_State", ZCL_SITE, [&]() -> HRESULT {
    if (!pState) return E_POINTER;
    CComObjectLock<CDevice> lock(this);
    *pState = static_cast<EDeviceState>(m_state);
    return S_OK;
  });
}

void CDevice::SetSerialNumber(const wchar_t* text) { m_serialNumber = ZCLNullToEmpty(text); }
void CDevice::SetModelName(const wchar_t* text) { m_modelName = ZCLNullToEmpty(text); }
void CDevice::SetFriendlyName(const wchar_t* text) { m_friendlyName = ZCLNullToEmpty(text); }
void CDevice::SetManufacturer(const wchar_t* text) { m_manufacturer = ZCLNullToEmpty(text); }
void CDevice::SetBluetoothName(const wchar_t* text) { m_bluetoothName = ZCLNullToEmpty(text); }
void CDevice::SetState(int state) { m_state = state; }

void CDevice::SetDeviceInfo(const CZembraDeviceInfo& info) {
  CComObjectLock<CDevice> lock(this);
  CopyDeviceIdentity(info, *this);
}
