#include <windows.h>
#include <algorithm>
#include <map>
#include <set>
#include "SimCore.h"
#include "SimDeviceManagement.h"

// The device-management family of the simulated connectivity library: lists
// the connected phones of the world, describes them and announces phones that
// come, go and change from the core's thread.

using namespace PhoneSim;

namespace {

const DWORD kRUVONVersion = 31;

// Called from the callers' threads and, for notifications, the core's thread;
// m_lock guards the handles and the last seen phones.
class CDeviceManagementFamily : public CSimFamily, public IWorldObserver {
public:
  CDeviceManagementFamily() { InitializeCriticalSection(&m_lock); }

  DWORD Open(DWORD* handle) {
    *handle = CSimCore::Instance().NewHandle();
    CCriticalSectionGuard lock(m_lock);
    m_handles.insert(*handle);
    return 0;
  }

  DWORD Close(DWORD handle) {
    if (!Forget(handle)) return ELNYX_INVALID_HANDLE;
    m_sinks.RemoveHandle(handle);
    m_callbacks.RemoveHandle(handle);
    return 0;
  }

  bool IsOpen(DWORD handle) {
    CCriticalSectionGuard lock(m_lock);
    return m_handles.count(handle) != 0;
  }

  CSinkRegistry& Sinks() { return m_sinks; }
  CSinkRegistry& Callbacks() { return m_callbacks; }

  void OnWorldChanged(CPhoneWorld& world) override {
    std::vector<CPhone> now = world.ListPhones(true);
    std::map<std::wstring, CPhone> before, after;
    DWORD lastNotice = 0;
    {
      CCriticalSectionGuard lock(m_lock);
      for (const CPhone& p : m_known) before[p.serial] = p;
      m_known = now;
      lastNotice = m_lastNotice;
    }
    for (const CPhone& p : now) after[p.serial] = p;

    std::vector<CNotice> notices = world.ReadNotices(lastNotice);
    if (!notices.empty()) {
      CCriticalSectionGuard lock(m_lock);
      m_lastNotice = notices.back().sequence;
    }

    bool changed = false;
    for (const auto& b : before) {
      if (after.count(b.first)) continue;
      Announce(LNYX_DEVICE_REMOVED, b.second);
      changed = true;
    }
    for (const auto& a : after) {
      auto b = before.find(a.first);
      if (b == before.end()) {
        Announce(LNYX_DEVICE_ADDED, a.second);
        changed = true;
      } else if (b->second != a.second) {
        Announce(LNYX_DEVICE_UPDATED, a.second);
        changed = true;
      }
    }
    if (changed) AnnounceListUpdated();
    for (const CNotice& n : notices) {
      if (n.reason == 0)
        AnnounceListUpdated();
      else
        Announce(n.reason, n.serial, LNYXMakeDeviceStatus(n.media, n.info, n.reason));
    }
  }

  void AnnounceListUpdated() {
    m_sinks.ForEach([](void* sink) { static_cast<IRUVONDeviceNotify*>(sink)->OnDeviceListUpdated(); });
  }

protected:
  void OnStarted() override {
    // Phones already connected are listed, not announced.
    if (std::shared_ptr<CPhoneWorld> world = CSimCore::Instance().World()) {
      std::vector<CPhone> now = world->ListPhones(true);
      DWORD lastNotice = world->LastNoticeSequence();
      CCriticalSectionGuard lock(m_lock);
      m_known = now;
      m_lastNotice = lastNotice;
    }
    CSimCore::Instance().AddObserver(this);
  }

  void OnStopping() override {
    CSimCore::Instance().RemoveObserver(this);
    {
      CCriticalSectionGuard lock(m_lock);
      m_handles.clear();
      m_known.clear();
    }
    m_sinks.Clear();
    m_callbacks.Clear();
  }

private:
  bool Forget(DWORD handle) {
    CCriticalSectionGuard lock(m_lock);
    return m_handles.erase(handle) != 0;
  }

  void Announce(DWORD reason, const CPhone& phone) {
    Announce(reason, phone.serial, LNYXMakeDeviceStatus(phone.PrimaryMedia(), phone.info, reason));
  }

  void Announce(DWORD reason, const std::wstring& serialNumber, DWORD status) {
    const WCHAR* serial = serialNumber.c_str();
    m_sinks.ForEach([&](void* p) {
      IRUVONDeviceNotify* sink = static_cast<IRUVONDeviceNotify*>(p);
      if (reason == LNYX_DEVICE_ADDED)
        sink->OnDeviceAdded(serial, status);
      else if (reason == LNYX_DEVICE_REMOVED)
        sink->OnDeviceRemoved(serial, status);
      else
        sink->OnDeviceUpdated(serial, status);
    });
    m_callbacks.ForEach([&](void* p) { reinterpret_cast<LNYX_NOTIFY_CALLBACK>(p)(status, serial); });
  }

  CRITICAL_SECTION m_lock;
  std::set<DWORD> m_handles;
  std::vector<CPhone> m_known;
  DWORD m_lastNotice = 0;  // notices up to this one were delivered
  CSinkRegistry m_sinks;      // IRUVONDeviceNotify
  CSinkRegistry m_callbacks;  // LNYX_NOTIFY_CALLBACK
};

CDeviceManagementFamily& Family() {
  static CDeviceManagementFamily* family = new CDeviceManagementFamily();
  return *family;
}

#define DM_ENTRY(name)                                                 \
  SIM_ENTRY(Family(), name);                                           \
  std::shared_ptr<CPhoneWorld> world = CSimCore::Instance().World();   \
  if (!world) return ELNYX_NOT_INITIALIZED

void FillDevice(const CPhone& phone, LNYX_DEVICE* device) {
  device->pstrSerialNumber = DupString(phone.serial);
  device->pstrFriendlyName = DupString(phone.friendlyName);
  device->pstrModelName = DupString(phone.model);
  device->pstrManufacturer = DupString(phone.manufacturer);
  // A phone that is known but not connected has no connections.
  const std::vector<CConnection> none;
  const std::vector<CConnection>& connections = phone.connected ? phone.connections : none;
  device->dwNumOfConnections = static_cast<DWORD>(connections.size());
  device->pConnections = connections.empty() ? nullptr : new LNYX_CONNECTION_INFO[connections.size()];
  for (size_t i = 0; i < connections.size(); ++i) {
    LNYX_CONNECTION_INFO& c = device->pConnections[i];
    c.dwDeviceId = connections[i].deviceId;
    c.dwMedia = connections[i].media;
    c.pstrDeviceName = DupString(connections[i].name);
    c.pstrAddress = DupString(connections[i].address);
    c.dwState = connections[i].state;
  }
}

void FreeConnections(DWORD count, LNYX_CONNECTION_INFO* connections) {
  if (!connections) return;
  for (DWORD i = 0; i < count; ++i) {
    FreeString(connections[i].pstrDeviceName);
    FreeString(connections[i].pstrAddress);
  }
}

void FreeDevice(LNYX_DEVICE* device) {
  FreeString(device->pstrSerialNumber);
  FreeString(device->pstrFriendlyName);
  FreeString(device->pstrModelName);
  FreeString(device->pstrManufacturer);
  FreeConnections(device->dwNumOfConnections, device->pConnections);
  delete[] device->pConnections;
  ZeroMemory(device, sizeof(*device));
}

bool ValidSerial(const WCHAR* serial) { return serial && serial[0]; }

}  // namespace

CSimFamily& PhoneSim::DeviceManagementFamily() { return Family(); }
bool PhoneSim::IsDeviceManagementHandle(DWORD handle) { return Family().IsOpen(handle); }

SIM_FAMILY_LIFETIME(Family(), RUVON_Initialize, RUVON_Terminate, kRUVONVersion)

DWORD WINAPI RUVON_GetAPIVersion() { return kRUVONVersion; }

DWORD WINAPI LNYXOpenDM(DWORD* phDM) {
  try {
    DM_ENTRY("LNYXOpenDM");
    if (!phDM) return ELNYX_INVALID_POINTER;
    return Family().Open(phDM);
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXCloseDM(DWORD hDM) {
  try {
    DM_ENTRY("LNYXCloseDM");
    return Family().Close(hDM);
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXSetDeviceListOption(DWORD hDM, DWORD, DWORD) {
  try {
    DM_ENTRY("LNYXSetDeviceListOption");
    return Family().IsOpen(hDM) ? 0 : ELNYX_INVALID_HANDLE;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXGetDeviceCount(DWORD hDM, DWORD* pdwCount) {
  try {
    DM_ENTRY("LNYXGetDeviceCount");
    if (!Family().IsOpen(hDM)) return ELNYX_INVALID_HANDLE;
    if (!pdwCount) return ELNYX_INVALID_POINTER;
    *pdwCount = static_cast<DWORD>(world->ListPhones(true).size());
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXGetDevices(DWORD hDM, DWORD* pdwCount, LNYX_DEVICE* pDevices) {
  try {
    DM_ENTRY("LNYXGetDevices");
    if (!Family().IsOpen(hDM)) return ELNYX_INVALID_HANDLE;
    if (!pdwCount || (*pdwCount > 0 && !pDevices)) return ELNYX_INVALID_POINTER;
    std::vector<CPhone> phones = world->ListPhones(true);
    DWORD filled = std::min<DWORD>(*pdwCount, static_cast<DWORD>(phones.size()));
    for (DWORD i = 0; i < filled; ++i) FillDevice(phones[i], &pDevices[i]);
    *pdwCount = filled;
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXGetDevice(DWORD hDM, const WCHAR* pstrSerialNumber, LNYX_DEVICE* pDevice) {
  try {
    DM_ENTRY("LNYXGetDevice");
    if (!Family().IsOpen(hDM)) return ELNYX_INVALID_HANDLE;
    if (!pDevice) return ELNYX_INVALID_POINTER;
    CPhone phone;
    if (!ValidSerial(pstrSerialNumber) || !world->ReadPhone(pstrSerialNumber, &phone)) return ELNYX_DEVICE_NOT_FOUND;
    FillDevice(phone, pDevice);
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXFreeDeviceStructure(DWORD dwCount, LNYX_DEVICE* pDevices) {
  try {
    if (!pDevices) return dwCount ? ELNYX_INVALID_POINTER : 0;
    for (DWORD i = 0; i < dwCount; ++i) FreeDevice(&pDevices[i]);
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXRefreshDeviceList(DWORD hDM, DWORD) {
  try {
    DM_ENTRY("LNYXRefreshDeviceList");
    if (!Family().IsOpen(hDM)) return ELNYX_INVALID_HANDLE;
    CSimCore::Instance().Post([] { Family().AnnounceListUpdated(); });
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXRenameFriendlyName(DWORD hDM, const WCHAR* pstrSerialNumber, const WCHAR* pstrName) {
  try {
    DM_ENTRY("LNYXRenameFriendlyName");
    if (!Family().IsOpen(hDM)) return ELNYX_INVALID_HANDLE;
    if (!pstrName) return ELNYX_INVALID_POINTER;
    CPhone phone;
    if (!ValidSerial(pstrSerialNumber) || !world->ReadPhone(pstrSerialNumber, &phone)) return ELNYX_DEVICE_NOT_FOUND;
    phone.friendlyName = pstrName;
    world->PlugPhone(phone);
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXRegisterNotifyCallback(DWORD hDM, DWORD dwOperation, LNYX_NOTIFY_CALLBACK pfnCallback) {
  try {
    DM_ENTRY("LNYXRegisterNotifyCallback");
    return RegisterSink(Family().Callbacks(), Family().IsOpen(hDM), hDM, dwOperation,
                        reinterpret_cast<void*>(pfnCallback));
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXRegisterDMNotifyIF(DWORD hDM, DWORD dwOperation, IRUVONDeviceNotify* pSink) {
  try {
    DM_ENTRY("LNYXRegisterDMNotifyIF");
    return RegisterSink(Family().Sinks(), Family().IsOpen(hDM), hDM, dwOperation, pSink);
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXGetDeviceInfo(DWORD hDM, const WCHAR* pstrSerialNumber, DWORD dwLevel, LNYX_DEVICE_INFO** ppInfo) {
  try {
    DM_ENTRY("LNYXGetDeviceInfo");
    if (!Family().IsOpen(hDM)) return ELNYX_INVALID_HANDLE;
    if (!ppInfo) return ELNYX_INVALID_POINTER;
    if (dwLevel != LNYX_DEVICE_INFO_LEVEL) return ELNYX_INVALID_PARAMETER;
    CPhone phone;
    if (!ValidSerial(pstrSerialNumber) || !world->ReadPhone(pstrSerialNumber, &phone) || !phone.connected)
      return ELNYX_DEVICE_NOT_FOUND;
    LNYX_DEVICE_INFO* info = new LNYX_DEVICE_INFO();
    info->dwSize = sizeof(LNYX_DEVICE_INFO);
    info->dwTypeCode = phone.typeCode;
    info->pstrText1 = DupString(phone.detail1);
    info->pstrText2 = DupString(phone.detail2);
    info->pstrText3 = DupString(phone.detail3);
    info->dwValue = phone.detailValue;
    info->dwCapabilities = phone.capabilities;
    *ppInfo = info;
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LNYXFreeDeviceInfoStructure(DWORD dwLevel, LNYX_DEVICE_INFO* pInfo) {
  try {
    if (dwLevel != LNYX_DEVICE_INFO_LEVEL) return ELNYX_INVALID_PARAMETER;
    if (!pInfo) return 0;
    FreeString(pInfo->pstrText1);
    FreeString(pInfo->pstrText2);
    FreeString(pInfo->pstrText3);
    delete pInfo;
    return 0;
  }
  SIM_CATCH_ALL
}

// The search and pairing entries live in SimDeviceSearch.cpp.
DWORD WINAPI LNYXFreeConnectionInfoStructures(DWORD dwCount, LNYX_CONNECTION_INFO* pConnections) {
  try {
    FreeConnections(dwCount, pConnections);
    delete[] pConnections;
    return 0;
  }
  SIM_CATCH_ALL
}

// Each call is recorded on the phone, in order, for the tests and phonectl;
// what a configuration does on a real phone is not simulated.
DWORD WINAPI LNYXModemConfig(DWORD hDM, const WCHAR* pstrSerialNumber, DWORD dwMedia, LNYX_MODEM_PARAMS,
                             DWORD dwOperation, void** ppData) {
  try {
    DM_ENTRY("LNYXModemConfig");
    if (!Family().IsOpen(hDM)) return ELNYX_INVALID_HANDLE;
    if (!ppData) return ELNYX_INVALID_POINTER;
    *ppData = nullptr;
    if (dwOperation < 1 || dwOperation > 3) return ELNYX_INVALID_PARAMETER;
    if (!ValidSerial(pstrSerialNumber) || !world->RecordModemOperation(pstrSerialNumber, dwOperation, dwMedia))
      return ELNYX_DEVICE_NOT_FOUND;
    LNYX_MODEM_CONFIG_DATA* data = HandOutArray<LNYX_MODEM_CONFIG_DATA>(1);
    data->dwSize = sizeof(LNYX_MODEM_CONFIG_DATA);
    data->dwOperation = dwOperation;
    data->dwMedia = dwMedia;
    *ppData = data;
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

// Frees the data of any operation; null, unknown and already freed data are left alone.
DWORD WINAPI LNYXFreeModemConfigData(DWORD, void* pData) {
  try {
    SIM_FAULT("LNYXFreeModemConfigData");
    LNYX_MODEM_CONFIG_DATA* data = static_cast<LNYX_MODEM_CONFIG_DATA*>(pData);
    FreeHandedOut(data);
    return 0;
  }
  SIM_CATCH_ALL
}
