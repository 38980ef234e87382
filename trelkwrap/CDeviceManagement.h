#pragma once
#include <windows.h>
#include <memory>
#include "CDevice.h"
#include "CFamilyHandle.h"
#include "TrelkApi.h"
#include "TrelkDevice.h"

namespace Trelk {

// The library's device-management handle; 0 when none. Opened again, with
// its sink, when the library is reloaded.
class CDMHandle {
public:
  CDMHandle();
  ~CDMHandle();
  // Closes a held handle (its result ignored); the handle becomes 0.
  void Close();
  // The handle, opened again first after a reload; throws when it cannot be.
  DWORD Get() const { return m_handle->Handle(); }
  // The handle as held, without a reopen.
  DWORD Peek() const { return m_handle->Peek(); }
  CFamilyHandle& Family() const { return *m_handle; }

private:
  CDMHandle(const CDMHandle&) = delete;
  CDMHandle& operator=(const CDMHandle&) = delete;
  std::shared_ptr<CFamilyHandle> m_handle;
};

// The device-management library's lifetime, handle and notification sink.
// Holds no lock: the device manager uses it from its own thread, the main
// object initialises and destroys it; the library calls the sink on its own
// threads. Failures throw CTrelkException.
class CDeviceManagement {
public:
  CDeviceManagement();
  ~CDeviceManagement();

  void Initialize();
  void OpenDM();
  void RegisterDeviceNotify(IRUVONDeviceNotify* sink);
  DWORD GetDeviceCount();
  void GetDevices(ITrelkDeviceList& list);
  CDevice GetConnectionInfo(const wchar_t* serialNumber);
  CDeviceInfo GetDeviceInfo(const wchar_t* serialNumber);
  void RefreshDeviceList();
  void UnregisterDeviceNotify();
  void CloseDM();
  void Terminate();
  const CDMHandle& GetHandle() const { return m_handle; }

private:
  CDeviceManagement(const CDeviceManagement&) = delete;
  CDeviceManagement& operator=(const CDeviceManagement&) = delete;
  CDMHandle m_handle;
  IRUVONDeviceNotify* m_sink;
};

}  // namespace Trelk
