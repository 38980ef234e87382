#include <windows.h>
#include "TrelkDevice.h"
#include <memory>
#include <stdexcept>
#include "ZCLLogger.h"
#include "ZCLText.h"

namespace Trelk {

CTrelkDevice::CTrelkDevice(const wchar_t* serialNumber, const wchar_t* modelName, const wchar_t* friendlyName,
                           const wchar_t* manufacturer)
    : m_serialNumber(ZCLNullToEmpty(serialNumber)),
      m_modelName(ZCLNullToEmpty(modelName)),
      m_friendlyName(ZCLNullToEmpty(friendlyName)),
      m_manufacturer(ZCLNullToEmpty(manufacturer)) {
  ZCLScopeTracer trace("Trelk::CTrelkDevice::CTrelkDevice");
}

CTrelkDevice::CTrelkDevice(const ITrelkDevice& other)
    : m_serialNumber(ZCLNullToEmpty(other.GetSerialNumber())),
      m_modelName(ZCLNullToEmpty(other.GetModelName())),
      m_friendlyName(ZCLNullToEmpty(other.GetFriendlyName())),
      m_manufacturer(ZCLNullToEmpty(other.GetManufacturer())) {
  ZCLScopeTracer trace("Trelk::CTrelkDevice::CTrelkDevice");
}

CTrelkDevice::~CTrelkDevice() { ZCLScopeTracer trace("Trelk::CTrelkDevice::~CTrelkDevice"); }

CTrelkDeviceList::~CTrelkDeviceList() {
  ZCLScopeTracer trace("Trelk::CTrelkDeviceList::~CTrelkDeviceList");
  RemoveAll();
}

size_t CTrelkDeviceList::Count() const {
  ZCLScopeTracer trace("Trelk::CTrelkDeviceList::Count");
  return m_devices.size();
}

ITrelkDevice* CTrelkDeviceList::GetAt(size_t index) const {
  ZCLScopeTracer trace("Trelk::CTrelkDeviceList::GetAt");
  return m_devices.at(index);
}

int CTrelkDeviceList::Find(const wchar_t* serialNumber) const {
  ZCLScopeTracer trace("Trelk::CTrelkDeviceList::Find");
  const std::wstring wanted = ZCLNullToEmpty(serialNumber);
  for (size_t i = 0; i < m_devices.size(); ++i)
    if (wanted == m_devices[i]->GetSerialNumber()) return static_cast<int>(i);
  return -1;
}

bool CTrelkDeviceList::AddDevice(const ITrelkDevice& device) {
  ZCLScopeTracer trace("Trelk::CTrelkDeviceList::AddDevice");
  std::unique_ptr<CTrelkDevice> copy(new CTrelkDevice(device));
  m_devices.push_back(copy.get());
  copy.release();
  return true;
}

void CTrelkDeviceList::RemoveAll() {
  ZCLScopeTracer trace("Trelk::CTrelkDeviceList::RemoveAll");
  for (CTrelkDevice* device : m_devices) delete device;
  m_devices.clear();
}

}  // namespace Trelk
