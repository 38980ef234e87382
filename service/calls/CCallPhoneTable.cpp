#include <windows.h>
#include "CCallPhoneTable.h"
#include "CDeviceCallControl.h"
#include "ZCLFrame.h"

CCallPhoneTable::CClaim::~CClaim() {
  DevicePtr left;
  {
    CLockGuard guard(&m_table.m_lock);
    m_table.m_busy.erase(m_serial);
    auto it = m_table.m_devices.find(m_serial);
    if (m_table.m_shutDown && it != m_table.m_devices.end()) {
      left = it->second;
      m_table.m_devices.erase(it);
    }
  }
  if (left) {
    Devices devices(1, left);
    left.reset();
    StopAll(devices);
  }
  m_table.EndLibraryUse();
}

bool CCallPhoneTable::ClaimForStart(const std::wstring& serial, bool* known, DevicePtr* device) {
  CLockGuard guard(&m_lock);
  if (m_shutDown) {
    ZCLLogMessage(4, nullptr, "CCallControl shut down, device %ls not started\n", serial.c_str());
    return false;
  }
  if (!m_busy.insert(serial).second) {
    ZCLLogMessage(4, nullptr, "CCallControl still starting or stopping device %ls, not started again\n",
                  serial.c_str());
    return false;
  }
  ++m_libraryUses;
  auto it = m_devices.find(serial);
  *known = it != m_devices.end();
  if (*known) *device = it->second;
  return true;
}

HRESULT CCallPhoneTable::ClaimForStop(const std::wstring& serial, DevicePtr* device) {
  CLockGuard guard(&m_lock);
  auto it = m_devices.find(serial);
  if (it == m_devices.end()) return S_FALSE;
  if (!m_busy.insert(serial).second) {
    ZCLLogMessage(4, nullptr, "CCallControl still starting or stopping device %ls, not stopped again\n",
                  serial.c_str());
    return E_FAIL;
  }
  ++m_libraryUses;
  *device = it->second;
  return S_OK;
}

bool CCallPhoneTable::Insert(const std::wstring& serial, const DevicePtr& device) {
  CLockGuard guard(&m_lock);
  if (m_shutDown) return false;
  m_devices[serial] = device;
  return true;
}

void CCallPhoneTable::Erase(const std::wstring& serial) {
  CLockGuard guard(&m_lock);
  m_devices.erase(serial);
}

CCallPhoneTable::DevicePtr CCallPhoneTable::Find(const std::wstring& serial, bool* known) {
  CLockGuard guard(&m_lock);
  auto it = m_devices.find(serial);
  *known = it != m_devices.end();
  return *known ? it->second : DevicePtr();
}

size_t CCallPhoneTable::Count() {
  CLockGuard guard(&m_lock);
  return m_devices.size();
}

bool CCallPhoneTable::IsShutDown() {
  CLockGuard guard(&m_lock);
  return m_shutDown;
}

void CCallPhoneTable::BeginShutdown() {
  CLockGuard guard(&m_lock);
  m_shutDown = true;
  ++m_libraryUses;
}

CCallPhoneTable::Devices CCallPhoneTable::TakeAll() {
  Devices stopping;
  CLockGuard guard(&m_lock);
  for (auto it = m_devices.begin(); it != m_devices.end();) {
    if (m_busy.count(it->first)) {
      ++it;
      continue;
    }
    if (it->second) stopping.push_back(it->second);
    it = m_devices.erase(it);
  }
  return stopping;
}

void CCallPhoneTable::BeginLibraryUse() {
  CLockGuard guard(&m_lock);
  ++m_libraryUses;
}

void CCallPhoneTable::EndLibraryUse() {
  bool terminate = false;
  {
    CLockGuard guard(&m_lock);
    if (m_libraryUses > 0) --m_libraryUses;
    terminate = m_shutDown && m_libraryUses == 0 && !m_terminated;
    if (terminate) m_terminated = true;
  }
  if (terminate) ZCLGuarded(3, ZCL_SITE, [&] { m_library.Terminate(); });
}

void CCallPhoneTable::StopAll(Devices& devices) {
  for (DevicePtr& device : devices) {
    ZCLGuarded(3, ZCL_SITE, [&] {
      device->Stop();
      device->Close();
      device.reset();
    });
  }
  devices.clear();
}
