#include <windows.h>
#include <vector>
#include "PhoneWorldRadio.h"
#include "SimCore.h"
#include "SimDeviceManagement.h"

// The connection wizard's Bluetooth entries of the device-management family:
// a search over the devices the world keeps in radio range, and pairing,
// which connects a phone over media 8.

using namespace PhoneSim;

namespace {

// 0x8 is the Bluetooth medium; 0x2000 asks for phones, 0x4000 for devices of
// every kind; 0x1000 asks for what the radio already sees instead of a fresh
// inquiry. Every device in the world's range has been seen, paired or not: a
// phone the user has yet to pair is what the wizard's quick list is for.
const DWORD kSearchSeenPhones = 0x3008;
const DWORD kSearchPhones = 0x2008;
const DWORD kSearchAll = 0x4008;
const DWORD kSearchSteps = 4;
// Waited out before each progress report: tests slow a search down with it.
const char kSearchStepEntry[] = "LNYXSearchDevices.step";

const DWORD kPair = 0x100;
const DWORD kUnpair = 0x200;
const DWORD kTrust = 0x400;
const DWORD kDistrust = 0x800;

const DWORD kStatePaired = 0x2;
const DWORD kStateTrusted = 0x4;

bool Matches(const CRadioDevice& device, DWORD options) {
  return options == kSearchAll || device.isPhone;
}

DWORD ConnectionState(const CRadioDevice& device) {
  return (device.paired ? kStatePaired : 0) | (device.trusted ? kStateTrusted : 0);
}

CConnection BluetoothConnection(const CRadioDevice& device) {
  CConnection c;
  c.deviceId = device.deviceId;
  c.media = LNYX_MEDIA_BLUETOOTH;
  c.name = device.name;
  c.address = device.address;
  c.state = ConnectionState(device);
  return c;
}

void DropBluetooth(CPhone* phone) {
  std::vector<CConnection> kept;
  for (const CConnection& c : phone->connections)
    if (c.media != LNYX_MEDIA_BLUETOOTH) kept.push_back(c);
  phone->connections.swap(kept);
}

// The paired phone comes (or stays) connected over media 8.
void ConnectOverBluetooth(CPhoneWorld& world, const CRadioDevice& device) {
  CPhone phone;
  std::wstring serial = RadioPhoneSerial(device);
  if (!world.ReadPhone(serial, &phone)) {
    phone.serial = serial;
    phone.friendlyName = device.name;
    phone.manufacturer = L"Orvex";
  }
  DropBluetooth(&phone);
  phone.connections.push_back(BluetoothConnection(device));
  phone.connected = true;
  world.PlugPhone(phone);
}

// An unpaired phone loses its media 8 connection; with none left it is gone.
void DisconnectBluetooth(CPhoneWorld& world, const CRadioDevice& device) {
  CPhone phone;
  std::wstring serial = RadioPhoneSerial(device);
  if (!world.ReadPhone(serial, &phone)) return;
  DropBluetooth(&phone);
  if (phone.connections.empty())
    world.UnplugPhone(serial);
  else
    world.PlugPhone(phone);
}

LNYX_CONNECTION_INFO* HandOutConnections(const std::vector<CRadioDevice>& devices) {
  if (devices.empty()) return nullptr;
  LNYX_CONNECTION_INFO* connections = new LNYX_CONNECTION_INFO[devices.size()]();
  for (size_t i = 0; i < devices.size(); ++i) {
    connections[i].dwDeviceId = devices[i].deviceId;
    connections[i].dwMedia = LNYX_MEDIA_BLUETOOTH;
    connections[i].pstrDeviceName = DupString(devices[i].name);
    connections[i].pstrAddress = DupString(devices[i].address);
    connections[i].dwState = ConnectionState(devices[i]);
  }
  return connections;
}

}  // namespace

#define SEARCH_ENTRY(name)                                             \
  SIM_ENTRY(DeviceManagementFamily(), name);                           \
  std::shared_ptr<CPhoneWorld> world = CSimCore::Instance().World();   \
  if (!world) return ELNYX_NOT_INITIALIZED;                            \
  if (!IsDeviceManagementHandle(hDM)) return ELNYX_INVALID_HANDLE

// 0x3008 and 0x2008 find every phone in range, 0x4008 every device, in order
// of discovery, each with its pairing state. The progress callback may answer
// 0x80100020 to cancel. The simulated search ends after its steps, well inside
// any time-out.
DWORD WINAPI LNYXSearchDevices(DWORD hDM, DWORD dwOptions, DWORD, LNYX_SEARCH_PROGRESS pfnProgress,
                               DWORD* pdwCount, LNYX_CONNECTION_INFO** ppConnections) {
  try {
    SEARCH_ENTRY("LNYXSearchDevices");
    if (!pdwCount || !ppConnections) return ELNYX_INVALID_POINTER;
    *pdwCount = 0;
    *ppConnections = nullptr;
    if (dwOptions != kSearchSeenPhones && dwOptions != kSearchPhones && dwOptions != kSearchAll)
      return ELNYX_INVALID_PARAMETER;
    if (!IsRadioOn(*world)) return ELNYX_MEDIA_IS_NOT_WORKING;
    std::vector<CRadioDevice> found;
    for (const CRadioDevice& device : ReadRadioDevices(*world))
      if (Matches(device, dwOptions)) found.push_back(device);
    for (DWORD step = 1; step <= kSearchSteps; ++step) {
      CSimCore::Instance().Delay(kSearchStepEntry);
      DWORD seen = static_cast<DWORD>(found.size() * step / kSearchSteps);
      if (pfnProgress && pfnProgress(step * 100 / kSearchSteps, seen) == ELNYX_CANCELLED) return ELNYX_CANCELLED;
    }
    *ppConnections = HandOutConnections(found);
    *pdwCount = static_cast<DWORD>(found.size());
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

// Options are bits: 0x100 pairs (the passcode must match), 0x200 unpairs
// and forgets the trust, 0x400 trusts, 0x800 withdraws the trust.
DWORD WINAPI LNYXChangeDeviceTrustedState(DWORD hDM, DWORD dwOptions, const WCHAR* pstrDevice,
                                          const WCHAR* pstrPasscode, const WCHAR*) {
  try {
    SEARCH_ENTRY("LNYXChangeDeviceTrustedState");
    if (!pstrDevice) return ELNYX_INVALID_POINTER;
    const DWORD known = kPair | kUnpair | kTrust | kDistrust;
    if (dwOptions == 0 || (dwOptions & ~known) || ((dwOptions & kPair) && (dwOptions & kUnpair)))
      return ELNYX_INVALID_PARAMETER;
    if (!IsRadioOn(*world)) return ELNYX_MEDIA_IS_NOT_WORKING;
    CPhoneWorld::CLock lock(*world);
    CRadioDevice device;
    if (!FindRadioDevice(*world, pstrDevice, &device)) return ELNYX_DEVICE_NOT_FOUND;
    if ((dwOptions & kPair) && (!pstrPasscode || device.passcode != pstrPasscode)) return ELNYX_DEVICE_PASSWORD_WRONG;
    if (dwOptions & kPair) device.paired = true;
    if (dwOptions & kUnpair) device.paired = device.trusted = false;
    if (dwOptions & kTrust) device.trusted = true;
    if (dwOptions & kDistrust) device.trusted = false;
    PutRadioDevice(*world, device);
    if (device.isPhone && device.paired) ConnectOverBluetooth(*world, device);
    if (device.isPhone && (dwOptions & kUnpair)) DisconnectBluetooth(*world, device);
    SIM_AFTER_FAULT("LNYXChangeDeviceTrustedState");
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}
