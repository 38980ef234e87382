#include <windows.h>
#include "CDevice.h"
#include "ZCLLogger.h"
#include "ZCLText.h"

namespace Trelk {

CConnectionInfo::CConnectionInfo(const LNYX_CONNECTION_INFO& record)
    : m_deviceId(record.dwDeviceId),
      m_media(record.dwMedia),
      m_deviceName(ZCLNullToEmpty(record.pstrDeviceName)),
      m_address(ZCLNullToEmpty(record.pstrAddress)),
      m_state(record.dwState) {}

CDevice::CDevice(const LNYX_DEVICE* record) {
  ZCLScopeTracer trace("Trelk::CDevice::CDevice");
  if (!record) return;
  m_serialNumber = ZCLNullToEmpty(record->pstrSerialNumber);
  m_friendlyName = ZCLNullToEmpty(record->pstrFriendlyName);
  m_modelName = ZCLNullToEmpty(record->pstrModelName);
  m_manufacturer = ZCLNullToEmpty(record->pstrManufacturer);
  // A count without an array means no connections.
  if (!record->pConnections) return;
  m_connections.reserve(record->dwNumOfConnections);
  for (DWORD i = 0; i < record->dwNumOfConnections; ++i) m_connections.emplace_back(record->pConnections[i]);
}

const CConnectionInfo* CDevice::FindConnectionInfo(DWORD media) const {
  ZCLScopeTracer trace("Trelk::CDevice::FindConnectionInfo");
  for (const CConnectionInfo& connection : m_connections)
    if (connection.GetMedia() == media) return &connection;
  return nullptr;
}

CDeviceInfo::CDeviceInfo(const LNYX_DEVICE_INFO* record)
    : m_firstValue(record ? record->dwTypeCode : 0),
      m_firstText(record ? ZCLNullToEmpty(record->pstrText1) : L""),
      m_secondText(record ? ZCLNullToEmpty(record->pstrText2) : L""),
      m_thirdText(record ? ZCLNullToEmpty(record->pstrText3) : L""),
      m_secondValue(record ? record->dwValue : 0),
      m_thirdValue(record ? record->dwCapabilities : 0) {
  ZCLScopeTracer trace("Trelk::CDeviceInfo::CDeviceInfo");
}

}  // namespace Trelk
