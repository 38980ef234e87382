#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>
#include "PhoneWorld.h"

// phonectl's commands on the phone's installed packages and on the
// phone-data server's answers.

namespace PhoneSim {

// "packages <serial>": name, size and options of each installed package.
int PhonectlPackages(CPhoneWorld& world, const std::wstring& serial, int argc) {
  if (argc != 0) return 2;
  CPhone phone;
  if (!world.ReadPhone(serial, &phone)) {
    fwprintf(stderr, L"phonectl: no phone \"%ls\"\n", serial.c_str());
    return 1;
  }
  for (const CPhoneWorld::CPackage& p : world.ListPackages(serial))
    wprintf(L"%ls\t%lu\t0x%lX\n", p.name.c_str(), p.size, p.options);
  return 0;
}

// "phonedata version <serial> <component> <text>...", "phonedata category
// <word> <model>", "phonedata absent|present", "phonedata show <serial>".
int PhonectlPhoneData(CPhoneWorld& world, int argc, wchar_t** argv) {
  if (argc < 1) return 2;
  std::wstring what = argv[0];
  if (what == L"absent" || what == L"present") {
    if (argc != 1) return 2;
    world.SetPhoneDataAbsent(what == L"absent");
    return 0;
  }
  if (what == L"category") {
    if (argc != 3 || !argv[1][0]) return 2;
    world.AddToCategory(argv[1], argv[2]);
    return 0;
  }
  if (argc < 2 || !CPhoneWorld::IsValidSerial(argv[1])) return 2;
  std::wstring serial = argv[1];
  CPhone phone;
  if (!world.ReadPhone(serial, &phone)) {
    fwprintf(stderr, L"phonectl: no phone \"%ls\"\n", serial.c_str());
    return 1;
  }
  if (what == L"version") {
    if (argc < 3 || !argv[2][0]) return 2;
    std::vector<std::wstring> versions(argv + 3, argv + argc);
    world.SetComponentVersions(serial, argv[2], versions);
    return 0;
  }
  if (what == L"show") {
    if (argc != 2) return 2;
    wprintf(L"server %ls\nrefreshes %lu\n", world.IsPhoneDataAbsent() ? L"absent" : L"present",
            world.PhoneDataRefreshes(serial));
    for (const wchar_t* component : {L"Text Messages", L"Multimedia Messages"}) {
      std::wstring version;
      if (world.ReadComponentVersion(serial, component, &version))
        wprintf(L"%ls\t%ls\n", component, version.c_str());
    }
    return 0;
  }
  return 2;
}

}  // namespace PhoneSim
