#include <windows.h>
#include <cstdio>
#include <string>
#include "PhoneWorldMedia.h"

// phonectl's commands on the suite connection manager's elements.

namespace PhoneSim {

// "media set <id> <medium> <0|1> <name>", "media list", "media clear",
// "media port [<1-255>]".
int PhonectlMedia(CPhoneWorld& world, int argc, wchar_t** argv) {
  if (argc < 1) return 2;
  std::wstring what = argv[0];
  if (what == L"list" && argc == 1) {
    for (const CMediumElement& e : ReadMediumElements(world))
      wprintf(L"%ls\t%u\t%d\t%ls\n", e.id.c_str(), e.medium, e.enabled ? 1 : 0, e.name.c_str());
    return 0;
  }
  if (what == L"clear" && argc == 1) {
    WriteMediumElements(world, {});
    return 0;
  }
  if (what == L"port" && argc == 1) {
    wprintf(L"%u\n", ReadCablePort(world));
    return 0;
  }
  if (what == L"port" && argc == 2) {
    wchar_t* end = nullptr;
    unsigned long port = wcstoul(argv[1], &end, 10);
    if (!*argv[1] || *end || port < 1 || port > 255) return 2;
    WriteCablePort(world, static_cast<BYTE>(port));
    return 0;
  }
  if (what == L"set" && argc == 5) {
    GUID id;
    if (FAILED(CLSIDFromString(argv[1], &id))) return 2;
    CMediumElement element;
    element.id = argv[1];
    element.medium = static_cast<BYTE>(wcstoul(argv[2], nullptr, 10));
    element.enabled = std::wstring(argv[3]) == L"1";
    element.name = argv[4];
    SetMediumElement(world, element);
    return 0;
  }
  return 2;
}

}  // namespace PhoneSim
