#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <exception>
#include "PhoneCalls.h"
#include "PhoneWorld.h"
#include "TrelkApi.h"
#include "ZCLHandle.h"
#include "ZCLText.h"

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
           L"  fault <entry> <code> <count> [skip]  after <skip> calls that pass (default 0), the next\n"
           L"                                   <count> calls of <entry> fail with <code>\n"
           L"  fault-after <entry> <code> <count> [skip]  the same, but each failing call does its work\n"
           L"                                   on the phone first (entries that change the phone)\n"
           L"  delay <entry> <ms> [count] [skip]  the next <count> calls (default: every call) of <entry>\n"
           L"                                   wait <ms> before they act\n"
           L"  clear-faults                     drop every pending failure and delay\n"
           L"  late-calls                       the library entries called after their terminate: entry, pid\n"
           L"  world                            print the world folder\n"
           L"  add-contact <serial> --vcard TEXT|--file F [--uid U]   put a contact on the phone; prints its uid\n"
           L"  contacts <serial>                the contacts: uid, then the vCard escaped\n"
           L"  delete-contact <serial> <uid>\n"
           L"  deliver <serial> <number> <text> a text message arrives (folder 1, unread); prints its uid\n"
           L"  add-message <serial> <folder> <number> <text> [--status N] [--uid U]   prints its uid\n"
           L"  messages <serial> [<folder>]     uid, folder, status, time, number, text\n"
           L"  delete-message <serial> <uid>\n"
           L"  add-call <serial> [call options] add a call-log entry; prints its id\n"
           L"  calllog <serial>                 the call log, one entry a line\n"
           L"  clear-calllog <serial>\n"
           L"  packages <serial>                the installed packages: name, size, options\n"
           L"  modemconfig <serial>             the modem configurations asked for: operation, media, serial\n"
           L"  devicetype <serial> <code>       the type code of the phone's device information\n"
           L"  phonedata version <serial> <component> <text>...  the component's version, one text per refresh\n"
           L"  phonedata category <word> <model>    list the model under the word\n"
           L"  phonedata absent|present         the phone-data server cannot or can be created\n"
           L"  media set <id> <medium> <0|1> <name> | list | clear   the connection manager's elements\n"
           L"  media port [<1-255>]   the serial cable's configured port: shows or sets it\n"
           L"  radio add <address> <name> [--phone] [--paired] [--trusted] [--passcode P] [--serial S]\n"
           L"                                   a Bluetooth device comes into range (phones pair into S)\n"
           L"  radio remove <address> | passcode <address> <P> | on | off | list\n"
           L"  phonedata show <serial>          the server's answers for the phone\n"
           L"  ring <serial> <number> [--name T]  a call rings in from the far side; prints its id\n"
           L"  answer <serial> [<id>]           the far side answers the PC's dialled call\n"
           L"  hangup <serial> [<id>] [--cause N]   the far side ends a call\n"
           L"  reject <serial> [<id>] [--cause N]   the far side refuses the PC's dialled call (cause 1029: busy)\n"
           L"  drop-calls <serial>              the call connection breaks\n"
           L"  calls <serial>                   id, state, direction, number, name, cause\n"
           L"  call-handles <serial>            call-control handles opened and closed\n"
           L"call options: --id N --type N --direction N --duration SECONDS --number T --name T\n"
           L"  --time YYYY-MM-DDThh:mm:ss (default now) --zone MINUTES (default the PC's) --sent N --received N\n"
           L"texts take the escapes \\n \\r \\t and \\\\\n"
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

std::wstring Text(const wchar_t* arg) { return UnescapeValue(ZCLWideToUtf8(arg)); }

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
  CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  char buffer[4096];
  bytes->clear();
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) return false;
    if (read == 0) return true;
    bytes->append(buffer, read);
  }
}

// Options "--name value" after the positional arguments; false on a stray one.
bool Options(int argc, wchar_t** argv, int first, const std::vector<std::wstring>& known,
             std::vector<std::wstring>* values) {
  values->assign(known.size(), std::wstring());
  for (int i = first; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    size_t k = 0;
    while (k < known.size() && known[k] != argv[i]) ++k;
    if (k == known.size()) return false;
    (*values)[k] = argv[i + 1];
  }
  return true;
}

const int kOtherCommand = -1;
}  // namespace
namespace PhoneSim {
int PhonectlPackages(CPhoneWorld& world, const std::wstring& serial, int argc);
int PhonectlPhoneData(CPhoneWorld& world, int argc, wchar_t** argv);
int PhonectlMedia(CPhoneWorld& world, int argc, wchar_t** argv);
int PhonectlRadio(CPhoneWorld& world, int argc, wchar_t** argv);
}  // namespace PhoneSim
namespace {
const int kBadUsage = 2;

void PrintMessage(const CMessage& m) {
  wprintf(L"%ls\t%lu\t%lu\t%hs\t%ls\t%hs\n", m.uid.c_str(), m.folder, TessimSmsStatus(m.info), m.time.Format().c_str(),
          m.addresses.empty() ? L"" : m.addresses[0].address.c_str(), EscapeValue(m.text).c_str());
}

// The commands on a phone's contacts, messages and call log: 0 done, 1 failed,
// kBadUsage, or kOtherCommand for a command of another kind.
int Content(CPhoneWorld& world, const std::wstring& command, const std::wstring& serial, int argc, wchar_t** argv) {
  static const wchar_t* const commands[] = {L"add-contact", L"contacts",       L"delete-contact", L"deliver",
                                            L"add-message", L"messages",       L"delete-message", L"add-call",
                                            L"calllog",     L"clear-calllog"};
  bool mine = false;
  for (const wchar_t* c : commands) mine = mine || command == c;
  if (!mine) return kOtherCommand;
  CPhone phone;
  if (!world.ReadPhone(serial, &phone)) {
    fwprintf(stderr, L"phonectl: no phone \"%ls\"\n", serial.c_str());
    return 1;
  }
  std::vector<std::wstring> o;
  if (command == L"add-contact") {
    if (!Options(argc, argv, 0, {L"--vcard", L"--file", L"--uid"}, &o) || o[0].empty() == o[1].empty())
      return kBadUsage;
    CContact contact;
    contact.uid = o[2];
    if (!o[0].empty()) contact.vcard = ZCLWideToUtf8(Text(o[0].c_str()));
    if (!o[1].empty() && !ReadFileBytes(o[1], &contact.vcard)) {
      fwprintf(stderr, L"phonectl: cannot read \"%ls\"\n", o[1].c_str());
      return 1;
    }
    std::wstring uid = world.WriteContact(serial, contact);
    if (uid.empty()) return kBadUsage;
    wprintf(L"%ls\n", uid.c_str());
    return 0;
  }
  if (command == L"contacts") {
    if (argc != 0) return kBadUsage;
    for (const CContact& c : world.ListContacts(serial))
      wprintf(L"%ls\t%hs\n", c.uid.c_str(), EscapeValue(ZCLUtf8ToWide(c.vcard)).c_str());
    return 0;
  }
  if (command == L"delete-contact" || command == L"delete-message") {
    if (argc != 1) return kBadUsage;
    bool deleted = command == L"delete-contact" ? world.DeleteContact(serial, argv[0]) : world.DeleteMessage(serial, argv[0]);
    if (!deleted) fwprintf(stderr, L"phonectl: no item \"%ls\"\n", argv[0]);
    return deleted ? 0 : 1;
  }
  if (command == L"deliver" || command == L"add-message") {
    int first = command == L"deliver" ? 2 : 3;
    if (argc < first || !Options(argc, argv, first, {L"--status", L"--uid"}, &o)) return kBadUsage;
    CMessage message;
    message.folder = command == L"deliver" ? TESSIM_FOLDER_INBOX : Number(argv[0]);
    CMessageAddress address;
    address.type = TESSIM_SMS_ADDRESS_NUMBER;
    address.address = Text(argv[first - 2]);
    message.addresses.push_back(address);
    message.text = Text(argv[first - 1]);
    message.info = TessimSmsWithStatus(TESSIM_SMS_KIND_TEXT, o[0].empty() ? TESSIM_SMS_STATUS_UNREAD : Number(o[0].c_str()));
    message.uid = o[1];
    message.time = CPhoneTime::Now();
    message.zone1 = LocalZoneMinutes();
    std::wstring uid = world.WriteMessage(serial, message);
    if (uid.empty()) return kBadUsage;
    wprintf(L"%ls\n", uid.c_str());
    return 0;
  }
  if (command == L"messages") {
    if (argc > 1) return kBadUsage;
    for (const CMessage& m : world.ListMessages(serial, argc ? Number(argv[0]) : 0)) PrintMessage(m);
    return 0;
  }
  if (command == L"add-call") {
    if (!Options(argc, argv, 0,
                 {L"--id", L"--type", L"--direction", L"--duration", L"--number", L"--name", L"--time", L"--zone",
                  L"--sent", L"--received"},
                 &o))
      return kBadUsage;
    CCallLogEntry e;
    e.id = Number(o[0].c_str());
    e.type = Number(o[1].c_str());
    e.direction = Number(o[2].c_str());
    e.duration = Number(o[3].c_str());
    e.number = Text(o[4].c_str());
    e.name = Text(o[5].c_str());
    e.time = CPhoneTime::Now();
    if (!o[6].empty() && !CPhoneTime::Parse(ZCLWideToUtf8(o[6]), &e.time)) return kBadUsage;
    e.zone1 = o[7].empty() ? LocalZoneMinutes() : wcstol(o[7].c_str(), nullptr, 10);
    e.zone2 = 0;
    e.bytesSent = _wcstoui64(o[8].c_str(), nullptr, 10);
    e.bytesReceived = _wcstoui64(o[9].c_str(), nullptr, 10);
    DWORD id = world.AddCallLogEntry(serial, e);
    if (id == 0) {
      fwprintf(stderr, L"phonectl: the call log has an entry %lu already\n", e.id);
      return 1;
    }
    wprintf(L"%lu\n", id);
    return 0;
  }
  if (command == L"calllog") {
    if (argc != 0) return kBadUsage;
    for (const CCallLogEntry& e : world.ReadCallLog(serial))
      wprintf(L"%lu\t%lu\t%lu\t%lu\t%hs\t%ls\t%ls\n", e.id, e.type, e.direction, e.duration, e.time.Format().c_str(),
              e.number.c_str(), e.name.c_str());
    return 0;
  }
  if (argc != 0) return kBadUsage;
  world.ClearCallLog(serial);
  return 0;
}

template <size_t N>
bool IsOneOf(const std::wstring& command, const wchar_t* const (&commands)[N]) {
  for (const wchar_t* c : commands)
    if (command == c) return true;
  return false;
}

// False, with the reason on the error output, for a phone the world does not know.
bool KnownPhone(CPhoneWorld& world, const std::wstring& serial) {
  CPhone phone;
  if (world.ReadPhone(serial, &phone)) return true;
  fwprintf(stderr, L"phonectl: no phone \"%ls\"\n", serial.c_str());
  return false;
}

// The far side of the phone's calls: 0 done, 1 failed, kBadUsage, or
// kOtherCommand for a command of another kind.
int Calls(CPhoneWorld& world, const std::wstring& command, const std::wstring& serial, int argc, wchar_t** argv) {
  static const wchar_t* const commands[] = {L"ring",       L"answer", L"hangup",      L"reject",
                                            L"drop-calls", L"calls",  L"call-handles"};
  if (!IsOneOf(command, commands)) return kOtherCommand;
  if (!KnownPhone(world, serial)) return 1;
  std::vector<std::wstring> o;
  // An optional call id first, then the options.
  int first = argc > 0 && argv[0][0] != L'-' ? 1 : 0;
  DWORD id = first ? Number(argv[0]) : 0;
  DWORD changed = 0;
  if (command == L"ring") {
    if (argc < 1 || !Options(argc, argv, 1, {L"--name"}, &o)) return kBadUsage;
    changed = RingPhone(world, serial, Text(argv[0]), Text(o[0].c_str()));
  } else if (command == L"answer") {
    if (argc != first) return kBadUsage;
    changed = AnswerFarSide(world, serial, id);
  } else if (command == L"hangup" || command == L"reject") {
    if (!Options(argc, argv, first, {L"--cause"}, &o)) return kBadUsage;
    DWORD cause = o[0].empty() ? (command == L"reject" ? 1029 : 0) : Number(o[0].c_str());
    changed = command == L"hangup" ? HangUpFarSide(world, serial, id, cause) : RejectFarSide(world, serial, id, cause);
  } else if (command == L"drop-calls") {
    if (argc != 0) return kBadUsage;
    return DropCallConnection(world, serial) ? 0 : 1;
  } else if (command == L"calls") {
    if (argc != 0) return kBadUsage;
    for (const CPhoneCall& c : ReadPhoneCalls(world, serial).calls)
      wprintf(L"%lu\t%ls\t%ls\t%ls\t%ls\t%lu\n", c.id, CallStateName(c.state),
              c.direction == kCallIncoming ? L"in" : L"out", c.number.c_str(), c.name.c_str(), c.cause);
    return 0;
  } else {
    if (argc != 0) return kBadUsage;
    CPhoneCalls calls = ReadPhoneCalls(world, serial);
    wprintf(L"opened %lu closed %lu\n", calls.handlesOpened, calls.handlesClosed);
    return 0;
  }
  if (!changed) {
    fwprintf(stderr, L"phonectl: no such call on \"%ls\"\n", serial.c_str());
    return 1;
  }
  wprintf(L"%lu\n", changed);
  return 0;
}

int Run(int argc, wchar_t** argv) {
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
  if (command == L"late-calls") {
    for (const std::string& line : world.LateCalls()) wprintf(L"%hs\n", line.c_str());
    return 0;
  }
  if (command == L"fault" || command == L"fault-after") {
    if (argc - i != 3 && argc - i != 4) return Usage();
    std::string entry = ZCLWideToUtf8(argv[i]);
    DWORD skip = argc - i == 4 ? Number(argv[i + 3]) : 0;
    if (command == L"fault")
      world.InjectFault(entry, Number(argv[i + 1]), Number(argv[i + 2]), skip);
    else
      world.InjectAfterFault(entry, Number(argv[i + 1]), Number(argv[i + 2]), skip);
    return 0;
  }
  if (command == L"delay") {
    if (argc - i < 2 || argc - i > 4) return Usage();
    world.InjectDelay(ZCLWideToUtf8(argv[i]), Number(argv[i + 1]), argc - i >= 3 ? Number(argv[i + 2]) : kEveryCall,
                      argc - i == 4 ? Number(argv[i + 3]) : 0);
    return 0;
  }
  if (command == L"media") {
    int result = PhonectlMedia(world, argc - i, argv + i);
    return result == kBadUsage ? Usage() : result;
  }
  if (command == L"radio") {
    int result = PhonectlRadio(world, argc - i, argv + i);
    return result == kBadUsage ? Usage() : result;
  }
  if (command == L"phonedata") {
    int result = PhonectlPhoneData(world, argc - i, argv + i);
    return result == kBadUsage ? Usage() : result;
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
  int handled = Content(world, command, serial, argc - i, argv + i);
  if (handled == kOtherCommand) handled = Calls(world, command, serial, argc - i, argv + i);
  if (handled == kBadUsage) return Usage();
  if (handled != kOtherCommand) return handled;
  if (command == L"packages") {
    int result = PhonectlPackages(world, serial, argc - i);
    return result == kBadUsage ? Usage() : result;
  }
  if (command == L"modemconfig") {
    if (argc != i) return Usage();
    if (!KnownPhone(world, serial)) return 1;
    for (const CPhoneWorld::CModemOperation& o : world.ListModemOperations(serial))
      wprintf(L"%lu\t%lu\t%ls\n", o.operation, o.media, o.serial.c_str());
    return 0;
  }
  if (command == L"devicetype") {
    wchar_t* end = nullptr;
    if (argc != i + 1 || !*argv[i]) return Usage();
    DWORD code = static_cast<DWORD>(wcstoul(argv[i], &end, 0));
    if (*end) return Usage();
    if (world.SetDeviceType(serial, code)) return 0;
    fwprintf(stderr, L"phonectl: no phone \"%ls\"\n", serial.c_str());
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
    return world.PlugPhone(phone) ? 0 : 1;
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

}  // namespace

// Whatever the world could not do ends the command with its reason.
int wmain(int argc, wchar_t** argv) {
  try {
    return Run(argc, argv);
  } catch (const ZCLException& failure) {
    fwprintf(stderr, L"phonectl: %hs\n", FailureText(failure).c_str());
  } catch (const std::exception& failure) {
    fwprintf(stderr, L"phonectl: %hs\n", failure.what());
  }
  return 1;
}
