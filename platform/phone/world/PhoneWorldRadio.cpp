#include <windows.h>
#include "PhoneWorldRadio.h"
#include <algorithm>
#include "PhoneWorldStore.h"
#include "ZCLText.h"

namespace PhoneSim {

namespace {
const wchar_t kRadioFile[] = L"radio.txt";
const wchar_t kRadioOffFile[] = L"radio-off.txt";
const size_t kFields = 8;

void WriteRadioDevices(CPhoneWorld& world, const std::vector<CRadioDevice>& devices) {
  std::string text;
  for (const CRadioDevice& d : devices)
    text += std::to_string(d.deviceId) + "\t" + EscapeValue(d.address) + "\t" + (d.isPhone ? "1" : "0") + "\t" +
            (d.paired ? "1" : "0") + "\t" + (d.trusted ? "1" : "0") + "\t" + EscapeValue(d.serial) + "\t" +
            EscapeValue(d.passcode) + "\t" + EscapeValue(d.name) + "\n";
  world.WriteFileText(kRadioFile, text);
}

bool SameAddress(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }
}  // namespace

std::vector<CRadioDevice> ReadRadioDevices(CPhoneWorld& world) {
  std::vector<CRadioDevice> devices;
  std::string text;
  if (!world.ReadFileText(kRadioFile, &text)) return devices;
  for (const std::string& line : WorldStore::Lines(text)) {
    std::vector<std::string> fields = WorldStore::TabFields(line);
    if (fields.size() != kFields) continue;
    CRadioDevice d;
    d.deviceId = WorldStore::ToNumber(fields[0]);
    d.address = UnescapeValue(fields[1]);
    d.isPhone = fields[2] == "1";
    d.paired = fields[3] == "1";
    d.trusted = fields[4] == "1";
    d.serial = UnescapeValue(fields[5]);
    d.passcode = UnescapeValue(fields[6]);
    d.name = UnescapeValue(fields[7]);
    devices.push_back(d);
  }
  return devices;
}

DWORD PutRadioDevice(CPhoneWorld& world, const CRadioDevice& device) {
  CPhoneWorld::CLock lock(world);
  std::vector<CRadioDevice> devices = ReadRadioDevices(world);
  DWORD nextId = 1;
  for (const CRadioDevice& d : devices) nextId = std::max(nextId, d.deviceId + 1);
  for (CRadioDevice& d : devices) {
    if (!SameAddress(d.address, device.address)) continue;
    DWORD id = d.deviceId;
    d = device;
    d.deviceId = id;
    WriteRadioDevices(world, devices);
    return id;
  }
  devices.push_back(device);
  devices.back().deviceId = nextId;
  WriteRadioDevices(world, devices);
  return nextId;
}

bool RemoveRadioDevice(CPhoneWorld& world, const std::wstring& address) {
  CPhoneWorld::CLock lock(world);
  std::vector<CRadioDevice> devices = ReadRadioDevices(world);
  for (auto it = devices.begin(); it != devices.end(); ++it) {
    if (!SameAddress(it->address, address)) continue;
    devices.erase(it);
    WriteRadioDevices(world, devices);
    return true;
  }
  return false;
}

bool FindRadioDevice(CPhoneWorld& world, const std::wstring& address, CRadioDevice* device) {
  for (const CRadioDevice& d : ReadRadioDevices(world)) {
    if (!SameAddress(d.address, address)) continue;
    *device = d;
    return true;
  }
  return false;
}

bool IsRadioOn(CPhoneWorld& world) {
  std::string text;
  return !world.ReadFileText(kRadioOffFile, &text);
}

void SetRadioOn(CPhoneWorld& world, bool on) {
  if (on)
    world.DeleteWorldFile(kRadioOffFile);
  else
    world.WriteFileText(kRadioOffFile, "off\n");
}

std::wstring RadioPhoneSerial(const CRadioDevice& device) {
  if (!device.serial.empty()) return device.serial;
  std::wstring serial = L"BT";
  for (wchar_t c : device.address)
    if (c != L':') serial += c;
  return serial;
}

}  // namespace PhoneSim
