#include <windows.h>
#include <cstdio>
#include <string>
#include "PhoneWorldRadio.h"

// phonectl's commands on the Bluetooth devices in radio range.

namespace PhoneSim {

// "radio add <address> <name> [--phone] [--paired] [--trusted] [--passcode P]
// [--serial S]", "radio remove <address>", "radio passcode <address> <P>",
// "radio on|off", "radio list".
int PhonectlRadio(CPhoneWorld& world, int argc, wchar_t** argv) {
  if (argc < 1) return 2;
  std::wstring what = argv[0];
  if ((what == L"on" || what == L"off") && argc == 1) {
    SetRadioOn(world, what == L"on");
    return 0;
  }
  if (what == L"list" && argc == 1) {
    wprintf(L"radio %ls\n", IsRadioOn(world) ? L"on" : L"off");
    for (const CRadioDevice& d : ReadRadioDevices(world))
      wprintf(L"%lu\t%ls\t%ls\t%ls\t%d\t%d\t%ls\n", d.deviceId, d.address.c_str(), d.name.c_str(),
              d.isPhone ? L"phone" : L"device", d.paired ? 1 : 0, d.trusted ? 1 : 0, d.serial.c_str());
    return 0;
  }
  if (what == L"remove" && argc == 2) {
    if (RemoveRadioDevice(world, argv[1])) return 0;
    fwprintf(stderr, L"phonectl: no device %ls in range\n", argv[1]);
    return 1;
  }
  if (what == L"passcode" && argc == 3) {
    CRadioDevice device;
    if (!FindRadioDevice(world, argv[1], &device)) {
      fwprintf(stderr, L"phonectl: no device %ls in range\n", argv[1]);
      return 1;
    }
    device.passcode = argv[2];
    PutRadioDevice(world, device);
    return 0;
  }
  if (what == L"add" && argc >= 3) {
    CRadioDevice device;
    device.address = argv[1];
    device.name = argv[2];
    if (device.address.empty()) return 2;
    for (int i = 3; i < argc; ++i) {
      std::wstring option = argv[i];
      if (option == L"--phone") device.isPhone = true;
      else if (option == L"--paired") device.paired = true;
      else if (option == L"--trusted") device.trusted = true;
      else if (option == L"--passcode" && i + 1 < argc) device.passcode = argv[++i];
      else if (option == L"--serial" && i + 1 < argc) device.serial = argv[++i];
      else return 2;
    }
    wprintf(L"%lu\n", PutRadioDevice(world, device));
    return 0;
  }
  return 2;
}

}  // namespace PhoneSim
