#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include "CDeviceManagement.h"
#include "CGlobalQueue.h"
#include "CZembraDeviceList.h"
#include "ServiceLinks.h"
#include "ZCLLogger.h"

// Builds the implementation that reaches one phone; the device object takes
// ownership. Null makes the phone fail its initialisation.
typedef std::function<CZembraDeviceImpl*(CZembraDevice& device, const CServiceLinks& links)>
    DeviceImplFactory;

// The device-manager thread ("DeviceManager"): follows the phones as the
// device-management library reports them and keeps the device list in step.
// Owned by the main object, which hands it the device-management binding and
// starts and stops its thread; the device list is the links' own. Every initialisation and uninitialisation
// is asked for from that thread, in the order the library reported the
// events, and runs on the phone's own queue (CZembraDevice) while the thread
// waits for it; the library's threads only queue tasks; any thread may read
// the device list.
class CDeviceManager : public CGlobalQueue, public IRUVONDeviceNotify {
public:
  // An empty factory makes the service's own implementation.
  CDeviceManager(const CServiceLinks& links, const DeviceImplFactory& implFactory);
  ~CDeviceManager() override;

  // Not owned; the main object keeps it for its whole life.
  void SetDeviceManagement(Trelk::CDeviceManagement* deviceManagement);
  Trelk::CDeviceManagement* GetDeviceManagement() const { return m_deviceManagement; }
  CZembraDeviceList& GetDeviceList() { return m_links.devices; }

  // Device-manager thread only. A phone already up is left as it is, so a
  // phone announced twice is not brought up and resynchronised twice; one
  // brought up before its libraries were reloaded comes up again.
  void InitializeDevice(const wchar_t* serialNumber);
  void InitializeNewDevice(const wchar_t* serialNumber);
  // After a reload of the libraries: a phone with an implementation attached
  // comes up again on a new one, unless it did so under these libraries.
  void ReinitializeDevice(const wchar_t* serialNumber);
  // Marks the phone gone, tells the clients and detaches its implementation.
  void UninitializeDevice(const wchar_t* serialNumber);
  // Registers the phone with call control.
  void AddDeviceToCallControl(const wchar_t* serialNumber);
  // Any thread: the phone's connection was lost; it is taken down in order
  // with the other device events.
  void QueueDeviceOffline(const wchar_t* serialNumber);

  void OnThreadStart() override;
  void OnThreadExit(DWORD exitCode) override;

  // Called by the library on its own threads.
  void OnDeviceListUpdated() override;
  void OnDeviceAdded(const WCHAR* serialNumber, DWORD status) override;
  void OnDeviceRemoved(const WCHAR* serialNumber, DWORD status) override;
  void OnDeviceUpdated(const WCHAR* serialNumber, DWORD status) override;

private:
  class CReloadListener;
  typedef std::pair<DWORD, DWORD> LibraryGeneration;
  // The content-access and event-log libraries' generations: a phone brought
  // up under older ones holds handles of a library that is gone.
  static LibraryGeneration CurrentGeneration();
  // Any thread: every phone that is up is queued to come up again.
  void QueueReinitialization();
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
  const CServiceLinks& m_links;
  const DeviceImplFactory m_implFactory;
  Trelk::CDeviceManagement* m_deviceManagement = nullptr;
  std::shared_ptr<CReloadListener> m_reloadListener;
  // The generation each phone was last brought up under; this thread only.
  std::map<std::wstring, LibraryGeneration> m_upUnder;
};
