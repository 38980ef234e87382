#include <windows.h>
#include "CZembraDeviceList.h"

CZembraDeviceList::~CZembraDeviceList() { RemoveAll(); }

void CZembraDeviceList::Load() {
  ZCLScopeTracer trace("CZembraDeviceList::Load");
  for (const CZembraDevicePtr& device : LoadDevices()) Add(device, false);
}

int CZembraDeviceList::Count() {
  ZCLScopeTracer trace("CZembraDeviceList::Count");
  CLockGuard lock(this);
  return static_cast<int>(m_devices.size());
}

CZembraDevicePtr CZembraDeviceList::GetAt(int index) {
  ZCLScopeTracer trace("CZembraDeviceList::GetAt");
  CLockGuard lock(this);
  if (index < 0 || index >= static_cast<int>(m_devices.size())) return nullptr;
  return m_devices[index];
}

CZembraDevicePtr CZembraDeviceList::FindLocked(const wchar_t* serialNumber) {
  std::wstring serial = serialNumber ? serialNumber : L"";
  for (const CZembraDevicePtr& device : m_devices)
    if (serial == device->GetSerialNumber()) return device;
  return nullptr;
}

CZembraDevicePtr CZembraDeviceList::Find(const wchar_t* serialNumber) {
  ZCLScopeTracer trace("CZembraDeviceList::Find");
  CLockGuard lock(this);
  return FindLocked(serialNumber);
}

CZembraDevicePtr CZembraDeviceList::Add(const CZembraDevicePtr& device, bool save) {
  ZCLScopeTracer trace("CZembraDeviceList::Add");
  if (!device) return nullptr;
  CZembraDevicePtr listed;
  {
    CLockGuard lock(this);
    listed = FindLocked(device->GetSerialNumber());
    if (!listed) {
      m_devices.push_back(device);
      listed = device;
    } else if (listed != device) {
      // Readers of a listed device's texts hold the list's lock.
      CZembraDeviceInfo info;
      listed->SetDeviceInfo(device->DeviceInfo(info));
    }
  }
  if (save) SaveDevice(*device);
  return listed;
}

// The devices go when their last user lets go; here only outside the lock,
// since a device's end closes its database and its implementation.
void CZembraDeviceList::RemoveAll() {
  ZCLScopeTracer trace("CZembraDeviceList::RemoveAll");
  std::vector<CZembraDevicePtr> removed;
  {
    CLockGuard lock(this);
    removed.swap(m_devices);
  }
}
