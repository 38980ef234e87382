#pragma once
#include <windows.h>
#include <string>
#include "CZembraDeviceInfo.h"
#include "ComTL.h"
#include "SZembra.h"

// A phone as clients see it: a copy of its identity and state when it was
// made. Made on the service's worker threads; its getters may be called from
// any thread, its setters only before it is handed out.
class CDevice : public CComObjectRootEx<CComMultiThreadModel>,
                public IDispatchImpl<IDevice, &IID_IDevice, &LIBID_SZembraLib, 1, 0> {
public:
  BEGIN_COM_MAP(CDevice)
  COM_INTERFACE_ENTRY(IDevice)
  COM_INTERFACE_ENTRY(IDispatch)
  END_COM_MAP()

  STDMETHOD(get_SerialNumber)(BSTR* pbstrSerial) override;
  STDMETHOD(get_ModelName)(BSTR* pbstrModel) override;
  STDMETHOD(get_FriendlyName)(BSTR* pbstrName) override;
  STDMETHOD(get_Manufacturer)(BSTR* pbstrManufacturer) override;
  STDMETHOD(get_BluetoothName)(BSTR* pbstrName) override;
  STDMETHOD(get_State)(EDeviceState* pState) override;

  void SetSerialNumber(const wchar_t* text);
  void SetModelName(const wchar_t* text);
  void SetFriendlyName(const wchar_t* text);
  void SetManufacturer(const wchar_t* text);
  void SetBluetoothName(const wchar_t* text);
  void SetState(int state);
  void SetDeviceInfo(const CZembraDeviceInfo& info);

private:
  HRESULT Get(const char* name, const std::wstring& field, BSTR* copy);

  std::wstring m_serialNumber;
  std::wstring m_modelName;
  std::wstring m_friendlyName;
  std::wstring m_manufacturer;
  std::wstring m_bluetoothName;
  int m_state = DeviceDisconnected;
};
