#pragma once
#include <windows.h>
#include "TrelkApi.h"

// A device-management handle of the connectivity library, closed on scope
// exit.
class CDeviceManagement {
public:
  CDeviceManagement() : m_open(LNYXOpenDM(&m_handle) == 0) {}
  ~CDeviceManagement() {
    if (m_open) LNYXCloseDM(m_handle);
  }
  bool IsOpen() const { return m_open; }
  DWORD Get() const { return m_handle; }

private:
  CDeviceManagement(const CDeviceManagement&) = delete;
  CDeviceManagement& operator=(const CDeviceManagement&) = delete;
  DWORD m_handle = 0;
  bool m_open;
};
