#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "PhoneWorld.h"

// The Bluetooth devices in the PC's radio range, kept in the phone world's
// "radio.txt" (one "<id>\t<address>\t<phone>\t<paired>\t<trusted>\t<serial>\t
// <passcode>\t<name>" line each, in order of discovery) beside the radio's
// switch in "radio-off.txt" (present while the radio is off), for the
// library's search and pairing and for phonectl.
namespace PhoneSim {

struct CRadioDevice {
  DWORD deviceId = 0;      // given when the device comes into range
  std::wstring address;    // the key; compared without regard to case
  std::wstring name;
  bool isPhone = false;
  bool paired = false;
  bool trusted = false;
  std::wstring serial;     // the phone it becomes once paired
  std::wstring passcode;   // what pairing must be given
};

std::vector<CRadioDevice> ReadRadioDevices(CPhoneWorld& world);
// Adds the device at the end of the range, or replaces the one of its
// address in place (keeping its id); returns the device's id.
DWORD PutRadioDevice(CPhoneWorld& world, const CRadioDevice& device);
// False when no device of that address is in range.
bool RemoveRadioDevice(CPhoneWorld& world, const std::wstring& address);
bool FindRadioDevice(CPhoneWorld& world, const std::wstring& address, CRadioDevice* device);

bool IsRadioOn(CPhoneWorld& world);
void SetRadioOn(CPhoneWorld& world, bool on);

// The serial number a paired phone connects under: its own, else one made
// from its address.
std::wstring RadioPhoneSerial(const CRadioDevice& device);

}  // namespace PhoneSim
