#pragma once
#include <windows.h>
#include <vector>
#include "CDeviceCache.h"
#include "CLockable.h"
#include "CZembraDevice.h"

// Every device the service knows, in the order they were added; serial
// numbers are unique. Filled and emptied on the device manager's thread;
// any thread may Find, Count and GetAt. The list's own lock guards only the
// vector, never a call into a device: devices are handed out as shared
// references, so RemoveAll cannot free one that another thread still uses.
class CZembraDeviceList : public CLockable, public CDeviceCache {
public:
  // The cache's folder; empty for the user's.
  explicit CZembraDeviceList(const std::wstring& cacheFolder) : CDeviceCache(cacheFolder) {}
  ~CZembraDeviceList() override;

  void Load();
  int Count();
  // Null outside 0 to Count-1.
  CZembraDevicePtr GetAt(int index);
  // The device whose serial number equals the text exactly; null when none.
  CZembraDevicePtr Find(const wchar_t* serialNumber);
  // Adopts a device of a new serial; for a known serial, copies the
  // identity into the listed device instead. Returns the listed device.
  // With save, the device passed in is written to the cache.
  CZembraDevicePtr Add(const CZembraDevicePtr& device, bool save);
  void RemoveAll();

private:
  CZembraDevicePtr FindLocked(const wchar_t* serialNumber);

  ZCLObjectTracer<CZembraDeviceList> m_tracer;
  std::vector<CZembraDevicePtr> m_devices;
};
