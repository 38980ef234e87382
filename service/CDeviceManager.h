#pragma once
#include <windows.h>
#include "CGlobalQueue.h"
#include "ZCLLogger.h"

class CZembra;
namespace Trelk {
class CDeviceManagement;
}

// The device-manager thread ("DeviceManager"): a task queue of its own on
// which phones are brought up and down. Owned by the main object, which
// hands it the device-management binding and starts and stops its thread.
// Following the phones comes with the device list and cache.
class CDeviceManager : public CGlobalQueue {
public:
  explicit CDeviceManager(CZembra* zembra);
  ~CDeviceManager() override;

  // Not owned; the main object keeps it for its whole life.
  void SetDeviceManagement(Trelk::CDeviceManagement* deviceManagement);
  Trelk::CDeviceManagement* GetDeviceManagement() const { return m_deviceManagement; }

private:
  ZCLObjectTracer<CDeviceManager> m_tracer;
  CZembra* m_zembra;
  Trelk::CDeviceManagement* m_deviceManagement = nullptr;
};
