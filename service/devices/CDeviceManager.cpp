#include <windows.h>
#include <memory>
#include <vector>
#include "CDeviceManager.h"
#include "CClientManager.h"
#include "CDevice.h"
#include "CZembraGenericDeviceImpl.h"
#include "CTaskBase.h"
#include "ComText.h"
#include "TrelkBinding.h"
#include "TrelkDevice.h"
#include "ZCLException.h"
#include "ZCLFrame.h"

namespace {

const DWORD kBluetoothMedia = 8;

bool HasSerial(const WCHAR* serialNumber) { return serialNumber && *serialNumber; }

void LogEvent(const char* name, const WCHAR* serialNumber, DWORD status) {
  ZCLLogMessage(5, nullptr, "%s: Serial:%ls, Media:0x%02X, Info:0x%02X, Reason:0x%04X", name,
                serialNumber ? serialNumber : L"", static_cast<unsigned>((status >> 24) & 0xFF),
                static_cast<unsigned>((status >> 16) & 0xFF), static_cast<unsigned>(status & 0xFFFF));
}

// The device events, queued by the library's notification threads and run
// on the device manager's thread. Each deletes itself after running.
class CDeviceTask : public CTaskBase {
public:
  CDeviceTask(CDeviceManager& manager, const wchar_t* serialNumber)
      : m_manager(manager), m_serialNumber(serialNumber ? serialNumber : L"") {}
  bool IsAutoDelete() override { return true; }

protected:
  CDeviceManager& m_manager;
  std::wstring m_serialNumber;
};

// A phone arrived: a listed phone is initialised, another is added first.
class CDeviceOnlineTask : public CDeviceTask {
public:
  using CDeviceTask::CDeviceTask;
  void Execute() override {
    ZCLScopeTracer trace("CDeviceOnlineTask::Execute");
    if (m_manager.GetDeviceList().Find(m_serialNumber.c_str()))
      m_manager.InitializeDevice(m_serialNumber.c_str());
    else
      m_manager.InitializeNewDevice(m_serialNumber.c_str());
  }

private:
  ZCLObjectTracer<CDeviceOnlineTask> m_tracer;
};

// A phone left: a listed phone is uninitialised, another ignored.
class CDeviceOfflineTask : public CDeviceTask {
public:
  using CDeviceTask::CDeviceTask;
  void Execute() override {
    ZCLScopeTracer trace("CDeviceOfflineTask::Execute");
    if (m_manager.GetDeviceList().Find(m_serialNumber.c_str())) m_manager.UninitializeDevice(m_serialNumber.c_str());
  }

private:
  ZCLObjectTracer<CDeviceOfflineTask> m_tracer;
};

// A phone's libraries were reloaded: it comes up again on a new
// implementation.
class CDeviceReloadedTask : public CDeviceTask {
public:
  using CDeviceTask::CDeviceTask;
  void Execute() override {
    ZCLScopeTracer trace("CDeviceReloadedTask::Execute");
    m_manager.ReinitializeDevice(m_serialNumber.c_str());
  }

private:
  ZCLObjectTracer<CDeviceReloadedTask> m_tracer;
};

// A phone's connections changed: it is registered with call control again,
// on the device manager's thread so that it never races the phone's own
// initialisation, which registers it too.
class CDeviceUpdatedTask : public CDeviceTask {
public:
  using CDeviceTask::CDeviceTask;
  void Execute() override {
    ZCLScopeTracer trace("CDeviceUpdatedTask::Execute");
    m_manager.AddDeviceToCallControl(m_serialNumber.c_str());
  }

private:
  ZCLObjectTracer<CDeviceUpdatedTask> m_tracer;
};

}  // namespace

// Held weakly by the bindings; runs on their watcher threads and only queues.
class CDeviceManager::CReloadListener : public Trelk::IReloadListener {
public:
  explicit CReloadListener(CDeviceManager* manager) : m_manager(manager) {}
  void OnLibraryReloaded() override {
    ZCLGuarded(1, ZCL_SITE, [&] { m_manager->QueueReinitialization(); });
  }

private:
  CDeviceManager* m_manager;
};

CDeviceManager::CDeviceManager(const CServiceLinks& links, const DeviceImplFactory& implFactory)
    : CGlobalQueue(L"DeviceManager"),
      m_links(links),
      m_implFactory(implFactory ? implFactory : DeviceImplFactory(&CreateDeviceImpl)) {
  ZCLScopeTracer trace("CDeviceManager::CDeviceManager");
}

CDeviceManager::~CDeviceManager() {
  ZCLScopeTracer trace("CDeviceManager::~CDeviceManager");
  StopThread();
}

void CDeviceManager::SetDeviceManagement(Trelk::CDeviceManagement* deviceManagement) {
  ZCLScopeTracer trace("CDeviceManager::SetDeviceManagement");
  m_deviceManagement = deviceManagement;
}

void CDeviceManager::QueueDeviceOffline(const wchar_t* serialNumber) { Queue(new CDeviceOfflineTask(*this, serialNumber)); }

void CDeviceManager::Queue(CTaskBase* task) {
  std::unique_ptr<CTaskBase> owned(task);
  AddTask(task);
  owned.release();
}

// A failure of the library leaves the rest of the start-up undone; the
// thread serves its queue all the same.
void CDeviceManager::OnThreadStart() {
  CGlobalQueue::OnThreadStart();
  ZCLGuarded(1, ZCL_SITE, [&] {
    m_reloadListener = std::make_shared<CReloadListener>(this);
    Trelk::TessimBinding().AddReloadListener(m_reloadListener);
    Trelk::LOGVEXBinding().AddReloadListener(m_reloadListener);
  });
  ZCLGuarded(1, ZCL_SITE, [&] { StartUp(); });
}

// The sink is registered before the phones are listed, so a phone that
// arrives in between is both listed and announced: its second online task
// finds it up and leaves it alone.
void CDeviceManager::StartUp() {
  ZCLScopeTracer trace("CDeviceManager::StartUp");
  if (!m_deviceManagement) return;
  m_deviceManagement->OpenDM();
  m_deviceManagement->RegisterDeviceNotify(this);
  m_links.devices.Load();
  Trelk::CTrelkDeviceList connected;
  m_deviceManagement->GetDevices(connected);
  for (size_t i = 0; i < connected.Count(); ++i) {
    Trelk::ITrelkDevice* entry = connected.GetAt(i);
    if (!entry) continue;
    if (m_links.devices.Find(entry->GetSerialNumber()))
      InitializeDevice(entry->GetSerialNumber());
    else
      Queue(new CDeviceOnlineTask(*this, entry->GetSerialNumber()));
  }
  m_deviceManagement->RefreshDeviceList();
}

// Implementations are taken down here, on the thread that brought them up;
// clients are not told.
void CDeviceManager::OnThreadExit(DWORD exitCode) {
  ZCLGuarded(1, ZCL_SITE, [&] {
    ZCLScopeTracer trace("CDeviceManager::OnThreadExit");
    if (m_reloadListener) {
      Trelk::TessimBinding().RemoveReloadListener(m_reloadListener.get());
      Trelk::LOGVEXBinding().RemoveReloadListener(m_reloadListener.get());
    }
    for (int i = 0; i < m_links.devices.Count(); ++i) {
      CZembraDevicePtr device = m_links.devices.GetAt(i);
      if (device) ZCLGuarded(1, ZCL_SITE, [&] { device->SetDeviceImpl(nullptr); });
    }
    m_links.devices.RemoveAll();
  });
  CGlobalQueue::OnThreadExit(exitCode);
}

CDeviceManager::LibraryGeneration CDeviceManager::CurrentGeneration() {
  return LibraryGeneration(Trelk::TessimBinding().GetGeneration(), Trelk::LOGVEXBinding().GetGeneration());
}

// The reloaded library knows none of the old handles and sinks, and the
// library announces no phone again: the phones come up anew, which syncs
// what changed on them meanwhile. A phone whose start-up failed because the
// other library was not back yet is among them.
void CDeviceManager::QueueReinitialization() {
  ZCLScopeTracer trace("CDeviceManager::QueueReinitialization");
  std::vector<std::wstring> up;
  {
    CLockGuard guard(&m_links.devices);
    for (int i = 0; i < m_links.devices.Count(); ++i) {
      CZembraDevicePtr device = m_links.devices.GetAt(i);
      if (device && device->HasDeviceImpl()) up.push_back(device->GetSerialNumber());
    }
  }
  for (const std::wstring& serial : up) Queue(new CDeviceReloadedTask(*this, serial.c_str()));
}

void CDeviceManager::OnDeviceListUpdated() { ZCLScopeTracer trace("CDeviceManager::OnDeviceListUpdated"); }

template <class Task>
void CDeviceManager::QueueFor(const char* name, const WCHAR* serialNumber, DWORD status,
                              int missingLevel, const char* missingText) {
  LogEvent(name, serialNumber, status);
  if (HasSerial(serialNumber))
    Queue(new Task(*this, serialNumber));
  else
    ZCLLogMessage(missingLevel, nullptr, "%s", missingText);
}

void CDeviceManager::OnDeviceAdded(const WCHAR* serialNumber, DWORD status) {
  ZCLGuarded(3, ZCL_SITE, [&] {
    ZCLScopeTracer trace("CDeviceManager::OnDeviceAdded");
    QueueFor<CDeviceOnlineTask>("OnDeviceAdded", serialNumber, status, 2,
                                "OnDeviceAdded: No Serial number, device ignored!");
  });
}

void CDeviceManager::OnDeviceRemoved(const WCHAR* serialNumber, DWORD status) {
  ZCLGuarded(1, ZCL_SITE, [&] {
    ZCLScopeTracer trace("CDeviceManager::OnDeviceRemoved");
    QueueFor<CDeviceOfflineTask>("OnDeviceRemoved", serialNumber, status, 1,
                                 "OnDeviceRemoved: No Serial number, ignored!");
  });
}

// Call control is reached from the device manager's thread, not from the
// library's: the phone's initialisation registers it there too, and two
// registrations racing would give one phone two call state machines.
void CDeviceManager::OnDeviceUpdated(const WCHAR* serialNumber, DWORD status) {
  ZCLGuarded(1, ZCL_SITE, [&] {
    ZCLScopeTracer trace("CDeviceManager::OnDeviceUpdated");
    QueueFor<CDeviceUpdatedTask>("OnDeviceUpdated", serialNumber, status, 1,
                                 "OnDeviceUpdated: No Serial number, ignored!");
  });
}

// In order with the phone's other work: its start-up and tear-down start and
// stop its call control too.
void CDeviceManager::AddDeviceToCallControl(const wchar_t* serialNumber) {
  ZCLScopeTracer trace("CDeviceManager::AddDeviceToCallControl");
  std::wstring serial = serialNumber ? serialNumber : L"";
  const CServiceLinks& links = m_links;
  auto add = [&links, serial] {
    CComPtr<ICallControl> callControl = links.CallControl();
    if (!callControl) {
      ZCLLogMessage(2, nullptr, "Call control not available, device %ls not added!", serial.c_str());
      return;
    }
    CComBSTR bstr(serial.c_str());
    if (!bstr) throw std::bad_alloc();
    callControl->AddDevice(bstr);
  };
  if (CZembraDevicePtr device = m_links.devices.Find(serial.c_str()))
    device->RunOnPhone(add);
  else
    add();
}

CZembraDeviceInfo CDeviceManager::FreshIdentity(const wchar_t* serialNumber) {
  Trelk::CDevice phone = m_deviceManagement->GetConnectionInfo(serialNumber);
  CZembraDeviceInfo info;
  info.SetSerialNumber(phone.GetSerialNumber());
  info.SetModelName(phone.GetModelName());
  info.SetFriendlyName(phone.GetFriendlyName());
  info.SetManufacturer(phone.GetManufacturer());
  info.SetState(DeviceConnecting);
  if (const Trelk::CConnectionInfo* bluetooth = phone.FindConnectionInfo(kBluetoothMedia))
    info.SetBluetoothName(bluetooth->GetDeviceName());
  return info;
}

void CDeviceManager::ReadDetails(CZembraDevice& device) {
  Trelk::CDeviceInfo details = m_deviceManagement->GetDeviceInfo(device.GetSerialNumber());
  CLockGuard guard(&m_links.devices);
  device.SetDetailText2(details.GetSecondText());
  device.SetDetailText3(details.GetThirdText());
}

// A listed device's texts change under the list's lock: the walks and
// look-ups of the other threads read them under it.
void CDeviceManager::SetIdentity(CZembraDevice& device, const CZembraDeviceInfo& info) {
  CLockGuard guard(&m_links.devices);
  device.SetDeviceInfo(info);
}

void CDeviceManager::Tell(CZembraDevice& device, bool isNew) {
  CComPtr<CComObject<CDevice>> data = NewComObject<CDevice>();
  if (!data) return;
  CZembraDeviceInfo info;
  data->SetDeviceInfo(device.DeviceInfo(info));
  CClientManager& clients = m_links.clients;
  if (isNew)
    clients.NewDevice(data);
  else
    clients.DeviceStateChanged(data);
}

// The generation is taken before the start-up: a reload during it leaves the
// phone older than its libraries, to be brought up again.
void CDeviceManager::Attach(CZembraDevice& device, const char* failure) {
  m_upUnder[device.GetSerialNumber()] = CurrentGeneration();
  bool up = device.SetDeviceImpl(m_implFactory(device, m_links));
  if (!up) ZCLLogMessage(1, nullptr, "%s", failure);
  device.SetState(up ? DeviceConnected : DeviceDisconnected);
}

void CDeviceManager::SettleFailed(const CZembraDevicePtr& device) {
  ZCLGuarded(1, ZCL_SITE, [&] {
    if (!device || device->GetState() != DeviceConnecting) return;
    device->SetState(DeviceDisconnected);
    Tell(*device, false);
  });
}

void CDeviceManager::InitializeDevice(const wchar_t* serialNumber) {
  ZCLScopeTracer trace("CDeviceManager::InitializeDevice");
  CZembraDevicePtr device;
  bool done = ZCLGuarded(1, ZCL_SITE, [&] {
    device = m_links.devices.Find(serialNumber);
    if (!device) return;
    if (device->GetState() == DeviceConnected && device->HasDeviceImpl() &&
        m_upUnder[serialNumber] == CurrentGeneration()) {
      ZCLLogMessage(4, nullptr, "Device %ls is up already.", serialNumber);
      return;
    }
    SetIdentity(*device, FreshIdentity(serialNumber));
    Tell(*device, false);
    ReadDetails(*device);
    Attach(*device, "SetDeviceImpl failed!!!! .\\devicemanager(392)");
    Tell(*device, false);
  });
  if (!done) SettleFailed(device);
}

void CDeviceManager::InitializeNewDevice(const wchar_t* serialNumber) {
  ZCLScopeTracer trace("CDeviceManager::InitializeNewDevice");
  if (m_links.devices.Find(serialNumber)) {
    InitializeDevice(serialNumber);  // announced twice before the first was handled
    return;
  }
  CZembraDevicePtr device;
  bool done = ZCLGuarded(1, ZCL_SITE, [&] {
    CZembraDeviceInfo info = FreshIdentity(serialNumber);
    CZembraDevicePtr fresh = std::make_shared<CZembraDevice>();
    fresh->SetDeviceInfo(info);
    device = fresh;
    device = m_links.devices.Add(fresh, true);
    Tell(*device, true);
    ReadDetails(*device);
    Attach(*device, "SetDeviceImpl failed!!!! .\\devicemanager(294)");
    Tell(*device, false);
  });
  if (!done) SettleFailed(device);
}

// Device management is not asked: its own handle may not be open again yet.
void CDeviceManager::ReinitializeDevice(const wchar_t* serialNumber) {
  ZCLScopeTracer trace("CDeviceManager::ReinitializeDevice");
  CZembraDevicePtr device;
  bool done = ZCLGuarded(1, ZCL_SITE, [&] {
    device = m_links.devices.Find(serialNumber);
    if (!device || !device->HasDeviceImpl() || m_upUnder[serialNumber] == CurrentGeneration()) return;
    device->SetState(DeviceConnecting);
    Tell(*device, false);
    Attach(*device, "SetDeviceImpl failed after the libraries were reloaded!");
    Tell(*device, false);
  });
  if (!done) SettleFailed(device);
}

void CDeviceManager::UninitializeDevice(const wchar_t* serialNumber) {
  ZCLScopeTracer trace("CDeviceManager::UninitializeDevice");
  ZCLGuarded(1, ZCL_SITE, [&] {
    CZembraDevicePtr device = m_links.devices.Find(serialNumber);
    if (!device) return;
    if (device->GetState() != DeviceDisconnected) {
      device->SetState(DeviceDisconnected);
      Tell(*device, false);
    }
    device->SetDeviceImpl(nullptr);
  });
}
