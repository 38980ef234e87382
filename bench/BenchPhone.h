#pragma once
#include <windows.h>
#include "PhoneWorld.h"

// A phone of a benchmark's own, not yet plugged: whatever an earlier run left
// under its serial number goes first.
inline PhoneSim::CPhone FreshBenchPhone(PhoneSim::CPhoneWorld& world, const wchar_t* serial,
                                        const wchar_t* name) {
  world.RemovePhone(serial);
  PhoneSim::CPhone phone;
  phone.serial = serial;
  phone.model = L"Bench Model";
  phone.manufacturer = L"Orvex";
  phone.friendlyName = name;
  return phone;
}
