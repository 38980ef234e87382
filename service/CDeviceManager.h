#pragma once
#include <windows.h>
#include <functional>
#include "CDeviceManagement.h"
#include "CGlobalQueue.h"
#include "CZembraDeviceList.h"
#include "ZCLLogger.h"

class CZembra;

// Builds the implementation that reaches one phone; the device object takes
// ownership. Null makes the phone fail its initialisation.
typedef std::function<CZembraDeviceImpl*(CZembraDevice& device, CZembra* zembra)>
    DeviceImplFactory;

// The device-manager thread ("DeviceManager"): follows the phones as the
// device-management library reports them and keeps the device list in step.
// Owned by the main object, which hands it the device-management binding and
// starts and stops its thread. Every initialisation and uninitialisation
// runs on that thread, in the order the library reported the events; the
// library's threads only queue tasks; any thread may read the device list.
class CDeviceManager : public CGlobalQueue, public IRUVONDeviceNotify {
public:
  explicit CDeviceManager(CZembra* zembra);
  ~CDeviceManager() override;

  // Not owned; the main object keeps it for its whole life.
  void SetDeviceManagement(Trelk::CDeviceManagement* deviceManagement);
  Trelk::CDeviceManagement* GetDeviceManagement() const { return m_deviceManagement; }
  CZembraDeviceList& GetDeviceList() { return m_devices; }

  // Device-manager thread only. A phone already up is left as it is, so a
  // phone announced twice is not brought up and resynchronised twice.
  void InitializeDevice(const wchar_t* serialNumber);
  void InitializeNewDevice(const wchar_t* serialNumber);
  // Marks the phone gone, tells the clients and detaches its implementation.
  void UninitializeDevice(const wchar_t* serialNumber);
  // Registers the phone with call control.
  void AddDeviceToCallControl(const wchar_t* serialNumber);

  // Process-wide; an empty factory restores the service's own.
  static void SetDeviceImplFactoryForTests(DeviceImplFactory factory);

  void OnThreadStart() override;
  void OnThreadExit(DWORD exitCode) override;

  // Called by the library on its own threads.
  void OnDeviceListUpdated() override;
  void OnDeviceAdded(const WCHAR* serialNumber, DWORD status) override;
  void OnDeviceRemoved(const WCHAR* serialNumber, DWORD status) override;
  void OnDeviceUpdated(const WCHAR* serialNumber, DWORD status) override;

private:
  void StartUp();
  CZembraDeviceInfo FreshIdentity(const wchar_t* serialNumber);
  void ReadDetails(CZembraDevice& device);
  void SetIdentity(CZembraDevice& device, const CZembraDeviceInfo& info);
  // Attaches a new implementation and stores the resulting state.
  void Attach(CZembraDevice& device, const char* failure);
  // Tells every client the device's identity and state.
  void Tell(CZembraDevice& device, bool isNew);
  // After a throw: a device left connecting is marked gone, and clients told.
  void SettleFailed(const CZembraDevicePtr& device);
  void Queue(CTaskBase* task);
  // Logs a library event; queues its task, or logs the missing serial number.
  template <class Task>
  void QueueFor(const char* name, const WCHAR* serialNumber, DWORD status, int missingLevel,
                const char* missingText);

  ZCLObjectTracer<CDeviceManager> m_tracer;
  CZembraDeviceList m_devices;
  Trelk::CDeviceManagement* m_deviceManagement = nullptr;
  CZembra* m_zembra;
};
