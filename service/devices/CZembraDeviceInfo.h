#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include "SZembra.h"  // EDeviceState
#include "ZCLLogger.h"

// A phone's identity and state. A value: copied freely between the device
// object, the device manager and the data objects handed to clients. The
// state is atomic so that a readiness check never waits; the texts belong to
// whoever holds the copy.
class CZembraDeviceInfo {
public:
  CZembraDeviceInfo() : m_state(DeviceDisconnected) {}
  CZembraDeviceInfo(const CZembraDeviceInfo& other);
  CZembraDeviceInfo& operator=(const CZembraDeviceInfo& other);
  virtual ~CZembraDeviceInfo() {}

  virtual const wchar_t* GetSerialNumber() const { return m_serialNumber.c_str(); }
  virtual const wchar_t* GetModelName() const { return m_modelName.c_str(); }
  virtual const wchar_t* GetFriendlyName() const { return m_friendlyName.c_str(); }
  virtual const wchar_t* GetManufacturer() const { return m_manufacturer.c_str(); }
  virtual const wchar_t* GetBluetoothName() const { return m_bluetoothName.c_str(); }
  virtual int GetState() const { return m_state.load(); }
  virtual const wchar_t* GetDetailText2() const { return m_detailText2.c_str(); }
  virtual const wchar_t* GetDetailText3() const { return m_detailText3.c_str(); }

  void SetSerialNumber(const wchar_t* text);
  void SetModelName(const wchar_t* text);
  void SetFriendlyName(const wchar_t* text);
  void SetManufacturer(const wchar_t* text);
  void SetBluetoothName(const wchar_t* text);
  void SetDetailText2(const wchar_t* text);
  void SetDetailText3(const wchar_t* text);
  void SetState(int state) { m_state.store(state); }

  // "DeviceInfo.xml": serial number, model name, friendly name and
  // manufacturer. Failures of the XML parser throw ZCLComException; Load
  // throws E_POINTER when an element is missing (an empty one reads as "").
  void Save(const wchar_t* path) const;
  void Load(const wchar_t* path);

private:
  ZCLObjectTracer<CZembraDeviceInfo> m_tracer;
  std::wstring m_serialNumber;
  std::wstring m_modelName;
  std::wstring m_friendlyName;
  std::wstring m_manufacturer;
  std::wstring m_bluetoothName;
  std::atomic<int> m_state;
  std::wstring m_detailText2;
  std::wstring m_detailText3;
};

// Copies serial number, model name, friendly name, manufacturer, Bluetooth
// name and state through the target's setters (a device object, or the data
// object a client is shown); the detail texts stay.
template <class Target>
void CopyDeviceIdentity(const CZembraDeviceInfo& info, Target& target) {
  target.SetSerialNumber(info.GetSerialNumber());
  target.SetModelName(info.GetModelName());
  target.SetFriendlyName(info.GetFriendlyName());
  target.SetManufacturer(info.GetManufacturer());
  target.SetBluetoothName(info.GetBluetoothName());
  target.SetState(info.GetState());
}
