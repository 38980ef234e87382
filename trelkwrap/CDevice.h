#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "TrelkApi.h"

namespace Trelk {

// One connection of a phone, copied from the library's connection record.
class CConnectionInfo {
public:
  explicit CConnectionInfo(const LNYX_CONNECTION_INFO& record);

  DWORD GetDeviceId() const { return m_deviceId; }
  DWORD GetMedia() const { return m_media; }
  // The phone's name on this connection; its Bluetooth name on media 8.
  const wchar_t* GetDeviceName() const { return m_deviceName.c_str(); }
  const wchar_t* GetAddress() const { return m_address.c_str(); }
  DWORD GetState() const { return m_state; }

private:
  DWORD m_deviceId;
  DWORD m_media;
  std::wstring m_deviceName;
  std::wstring m_address;
  DWORD m_state;
};

// One phone with its connections as the library describes it. Its getters
// answer slot for slot as ITrelkDevice's do; it has no base class.
class CDevice {
public:
  // A null record gives empty strings and no connections.
  explicit CDevice(const LNYX_DEVICE* record);

  virtual const wchar_t* GetSerialNumber() const { return m_serialNumber.c_str(); }
  virtual const wchar_t* GetModelName() const { return m_modelName.c_str(); }
  virtual const wchar_t* GetFriendlyName() const { return m_friendlyName.c_str(); }
  virtual const wchar_t* GetManufacturer() const { return m_manufacturer.c_str(); }

  // The first connection of that media kind, or null.
  const CConnectionInfo* FindConnectionInfo(DWORD media) const;
  size_t GetConnectionCount() const { return m_connections.size(); }
  const CConnectionInfo& GetConnectionAt(size_t index) const { return m_connections.at(index); }

private:
  std::wstring m_serialNumber;
  std::wstring m_friendlyName;
  std::wstring m_modelName;
  std::wstring m_manufacturer;
  std::vector<CConnectionInfo> m_connections;
};

// A phone's device information; the fields are the library's.
class CDeviceInfo {
public:
  // A null record gives zeros and empty strings.
  explicit CDeviceInfo(const LNYX_DEVICE_INFO* record);

  DWORD GetFirstValue() const { return m_firstValue; }
  const wchar_t* GetFirstText() const { return m_firstText.c_str(); }
  const wchar_t* GetSecondText() const { return m_secondText.c_str(); }
  const wchar_t* GetThirdText() const { return m_thirdText.c_str(); }
  DWORD GetSecondValue() const { return m_secondValue; }
  DWORD GetThirdValue() const { return m_thirdValue; }

private:
  DWORD m_firstValue;
  std::wstring m_firstText;
  std::wstring m_secondText;
  std::wstring m_thirdText;
  DWORD m_secondValue;
  DWORD m_thirdValue;
};

}  // namespace Trelk
