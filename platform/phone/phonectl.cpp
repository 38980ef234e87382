#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "PhoneWorld.h"
#include "TrelkApi.h"

// Edits the simulated phones' world from the command line.

using namespace PhoneSim;

namespace {

int Usage() {
  fwprintf(stderr,
           L"usage: phonectl [--world <folder>] <command>\n"
           L"  plug <serial> [phone options]    connect a phone, new or known (keeping what is not given)\n"
           L"  update <serial> [phone options]  change a known phone, connected or not\n"
           L"  unplug <serial>                  disconnect a phone; its data stays\n"
           L"  remove <serial>                  forget a phone and its data\n"
           L"  list                             the known phones\n"
           L"  show <serial>                    one phone in full\n"
           L"  notify <added|removed|updated|list> [<serial>] [--media N] [--info N]\n"
           L"                                   a device notification as such (the serial may be \"\")\n"
           L"  fault <entry> <code> <count>     the next <count> calls of <entry> fail with <code>\n"
           L"  clear-faults                     drop every pending failure\n"
           L"  world                            print the world folder\n"
           L"phone options: --model M --manufacturer M --name FRIENDLY --info N\n"
           L"  --conn MEDIA[,NAME[,ADDRESS[,ID[,STATE]]]] (repeatable; the first given replaces all)\n"
           L"  --type N --detail1 T --detail2 T --detail3 T --detail-value N --capabilities N\n");
  return 2;
}

DWORD Number(const wchar_t* text) { return static_cast<DWORD>(wcstoul(text, nullptr, 0)); }

CConnection ParseConnection(const std::wstring& text) {
  CConnection c;
  std::wstring parts[5];
  size_t start = 0;
  for (int i = 0; i < 5; ++i) {
    size_t comma = i < 4 ? text.find(L',', start) : std::wstring::npos;
    parts[i] = text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  c.media = Number(parts[0].c_str());
  c.name = parts[1];
  c.address = parts[2];
  c.deviceId = parts[3].empty() ? 0 : Number(parts[3].c_str());
  c.state = parts[4].empty() ? 0 : Number(parts[4].c_str());
  return c;
}

bool ApplyOptions(int argc, wchar_t** argv, int first, CPhone* phone) {
  bool connectionsGiven = false;
  for (int i = first; i < argc; ++i) {
    std::wstring option = argv[i];
    if (i + 1 >= argc) return false;
    const wchar_t* value = argv[++i];
    if (option == L"--model") phone->model = value;
    else if (option == L"--manufacturer") phone->manufacturer = value;
    else if (option == L"--name") phone->friendlyName = value;
    else if (option == L"--info") phone->info = Number(value);
    else if (option == L"--type") phone->typeCode = Number(value);
    else if (option == L"--detail1") phone->detail1 = value;
    else if (option == L"--detail2") phone->detail2 = value;
    else if (option == L"--detail3") phone->detail3 = value;
    else if (option == L"--detail-value") phone->detailValue = Number(value);
    else if (option == L"--capabilities") phone->capabilities = Number(value);
    else if (option == L"--conn") {
      if (!connectionsGiven) phone->connections.clear();
      connectionsGiven = true;
      phone->connections.push_back(ParseConnection(value));
    } else {
      return false;
    }
  }
  return true;
}

void Print(const CPhone& p, bool full) {
  wprintf(L"%ls\t%ls\t%ls\t%ls\t%ls\n", p.serial.c_str(), p.connected ? L"connected" : L"disconnected",
          p.model.c_str(), p.manufacturer.c_str(), p.friendlyName.c_str());
  if (!full) return;
  wprintf(L"info %lu type %lu capabilities 0x%lX value %lu\n", p.info, p.typeCode, p.capabilities, p.detailValue);
  wprintf(L"details\t%ls\t%ls\t%ls\n", p.detail1.c_str(), p.detail2.c_str(), p.detail3.c_str());
  for (const CConnection& c : p.connections)
    wprintf(L"connection media %lu id %lu state %lu name \"%ls\" address \"%ls\"\n", c.media, c.deviceId, c.state,
            c.name.c_str(), c.address.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int i = 1;
  std::wstring folder = CPhoneWorld::DefaultFolder();
  if (i + 1 < argc && std::wstring(argv[i]) == L"--world") {
    folder = argv[i + 1];
    i += 2;
  }
  if (i >= argc) return Usage();
  std::wstring command = argv[i++];
  CPhoneWorld world(folder);

  if (command == L"world") {
    wprintf(L"%ls\n", world.Folder().c_str());
    return 0;
  }
  if (command == L"list") {
    for (const CPhone& p : world.ListPhones(false)) Print(p, false);
    return 0;
  }
  if (command == L"clear-faults") {
    world.ClearFaults();
    return 0;
  }
  if (command == L"fault") {
    if (argc - i != 3) return Usage();
    world.InjectFault(ToUtf8(argv[i]), Number(argv[i + 1]), Number(argv[i + 2]));
    return 0;
  }
  if (command == L"notify") {
    if (i >= argc) return Usage();
    std::wstring kind = argv[i++];
    DWORD reason = kind == L"added" ? LNYX_DEVICE_ADDED
                   : kind == L"removed" ? LNYX_DEVICE_REMOVED
                   : kind == L"updated" ? LNYX_DEVICE_UPDATED
                   : kind == L"list" ? 0 : ~0u;
    if (reason == ~0u) return Usage();
    std::wstring serial;
    if (i < argc && std::wstring(argv[i]).compare(0, 2, L"--") != 0) serial = argv[i++];
    DWORD media = 0, info = 0;
    for (; i + 1 < argc; i += 2) {
      std::wstring option = argv[i];
      if (option == L"--media") media = Number(argv[i + 1]);
      else if (option == L"--info") info = Number(argv[i + 1]);
      else return Usage();
    }
    if (i != argc) return Usage();
    world.AnnounceDevice(reason, serial, media, info);
    return 0;
  }
  if (i >= argc) return Usage();
  std::wstring serial = argv[i++];
  if (!CPhoneWorld::IsValidSerial(serial)) {
    fwprintf(stderr, L"phonectl: invalid serial number \"%ls\"\n", serial.c_str());
    return 1;
  }
  if (command == L"plug" || command == L"update") {
    CPhone phone;
    bool known = world.ReadPhone(serial, &phone);
    if (command == L"update" && !known) {
      fwprintf(stderr, L"phonectl: no phone \"%ls\"\n", serial.c_str());
      return 1;
    }
    // Plugging a known phone in again keeps what is not given.
    if (command == L"plug") phone.connected = true;
    phone.serial = serial;
    if (!ApplyOptions(argc, argv, i, &phone)) return Usage();
    world.PlugPhone(phone);
    return 0;
  }
  bool ok = false;
  if (command == L"unplug") {
    ok = world.UnplugPhone(serial);
  } else if (command == L"remove") {
    ok = world.RemovePhone(serial);
  } else if (command == L"show") {
    CPhone phone;
    ok = world.ReadPhone(serial, &phone);
    if (ok) Print(phone, true);
  } else {
    return Usage();
  }
  if (!ok) fwprintf(stderr, L"phonectl: no phone \"%ls\"\n", serial.c_str());
  return ok ? 0 : 1;
}
