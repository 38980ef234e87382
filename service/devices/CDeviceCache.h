#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "CZembraDevice.h"
#include "ZCLLogger.h"

// The phones the service has seen, kept across restarts: one folder per
// phone under the user's "Orvex Dialix\data", holding "DeviceInfo.xml" and
// the phone's database. Written only on the device manager's thread.
class CDeviceCache {
public:
  // An empty folder is the user's; tests give one of their own.
  explicit CDeviceCache(const std::wstring& folder) : m_folder(folder) {}
  virtual ~CDeviceCache() {}

  // The cache folder, created when missing; throws ZCLComException.
  std::wstring GetCacheFolder();
  // A device read from its folder, with its database open.
  CZembraDevicePtr LoadDevice(const std::wstring& folder);
  // Creates the device's folder, opens its database there, writes its file.
  void SaveDevice(CZembraDevice& device);
  // A device for every device folder; a folder that cannot be read is
  // skipped and left as it is.
  std::vector<CZembraDevicePtr> LoadDevices();

private:
  ZCLObjectTracer<CDeviceCache> m_tracer;
  const std::wstring m_folder;
};
