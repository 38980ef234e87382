#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "ZCLException.h"
#include "ZCLHandle.h"

// The simulated phones' world: a folder shared by every process that has the
// simulated libraries loaded and by the tools that edit it (phonectl, tests).
//
//   <world>\generation           counter, raised by every write
//   <world>\faults.txt           "<entry>[@after|@delay] <code|ms> <count> [<skip>]" lines
//   <world>\notices.txt          device notifications asked for as such (the last 100)
//   <world>\latecalls.txt        "<entry>\t<process id>" lines: calls after their family's terminate
//   <world>\phones\<folder>\phone.txt       identity (the serial number itself), connections, device information
//   <world>\phones\<folder>\contacts\<uid>.vcf     (one vCard per uid, its bytes)
//   <world>\phones\<folder>\messages\<folder>\<uid>.txt  (one message per file)
//   <world>\phones\<folder>\calllog.txt   (one entry per line, tab-separated)
//   <world>\phones\<folder>\nextuid       (the counter that gives new uids)
//   <world>\phones\<folder>\calls.txt, packages.txt, modemconfig.txt
//
// A phone's folder is its serial number through EscapeFileName, so that no
// serial number can leave the world or meet another phone's folder; a folder
// whose identity names another serial number (the file system ignores case)
// is never written for this one.
//
// A message file holds "info=<flags>", "time=YYYY-MM-DDThh:mm:ss",
// "zone=<minutes> <minutes>", one "address=<type> <text>" per address and
// "text=<text>"; a call-log line holds id, type, direction, duration, bytes
// sent, bytes received, time, the two zone parts, number and name. Texts are
// escaped as EscapeValue does (\\, \n, \r, \t); an empty number or name
// is one the phone does not know.
//
// Files are replaced atomically (temporary file, then rename) under a named
// mutex, which readers hold too; each write raises the generation before it
// changes anything, and afterwards the world's named event is pulsed so that
// every process notices and compares.
//
// What the world cannot do is thrown as ZCLException, its code the Win32
// error (WAIT_TIMEOUT when the mutex stays held by another process); nothing
// that failed is reported as done. Results below that say "false" or "empty"
// are for what is not there or not valid, never for a failed write.
namespace PhoneSim {

struct CConnection {
  DWORD deviceId = 0;
  DWORD media = 0;        // 8: Bluetooth
  std::wstring name;      // the phone's name on this connection
  std::wstring address;
  DWORD state = 0;
  bool operator==(const CConnection& o) const {
    return deviceId == o.deviceId && media == o.media && name == o.name && address == o.address &&
           state == o.state;
  }
};

struct CPhone {
  std::wstring serial;
  std::wstring model;
  std::wstring manufacturer;
  std::wstring friendlyName;
  bool connected = true;
  DWORD info = 0;  // information byte of the status words announcing the phone
  std::vector<CConnection> connections;
  // Device information record.
  DWORD typeCode = 0;
  std::wstring detail1, detail2, detail3;
  DWORD detailValue = 0;
  DWORD capabilities = 0;

  // Media of the first connection (0 without one): the media of its status words.
  DWORD PrimaryMedia() const { return connections.empty() ? 0 : connections[0].media; }
  bool operator==(const CPhone& o) const;
  bool operator!=(const CPhone& o) const { return !(*this == o); }
};

// A phone's calendar time as its records carry it.
struct CPhoneTime {
  WORD year = 0;
  BYTE month = 0, day = 0, hour = 0, minute = 0, second = 0;
  static CPhoneTime Now();  // the PC's local time
  // "YYYY-MM-DDThh:mm:ss"; Parse answers false on another form.
  std::string Format() const;
  static bool Parse(const std::string& text, CPhoneTime* time);
  bool operator==(const CPhoneTime& o) const { return Format() == o.Format(); }
};

// The PC's zone in minutes east of UTC (standard time).
LONG LocalZoneMinutes();

// A contact on the phone: its uid (lower-case hexadecimal text) and its vCard
// bytes as they were written.
struct CContact {
  std::wstring uid;
  std::string vcard;
};

struct CMessageAddress {
  DWORD type = 2;  // a phone number
  std::wstring address;
};

// A text message on the phone, in one folder (1 received, 2 written by the PC).
struct CMessage {
  std::wstring uid;
  DWORD folder = 1;
  DWORD info = 0x101;  // kind 1 (UTF-16 text) in bits 0-3, status 1 (unread) in bits 8-11
  std::wstring text;
  std::vector<CMessageAddress> addresses;
  CPhoneTime time;
  LONG zone1 = 0, zone2 = 0;  // minutes
};

// One entry of the phone's call log; an empty number or name is "not given".
struct CCallLogEntry {
  DWORD id = 0;
  DWORD type = 0;
  DWORD direction = 0;
  DWORD duration = 0;
  ULONGLONG bytesSent = 0;
  ULONGLONG bytesReceived = 0;
  std::wstring number;
  std::wstring name;
  CPhoneTime time;
  LONG zone1 = -1, zone2 = -1;  // minutes; -1: not given
  bool operator==(const CCallLogEntry& o) const {
    return id == o.id && type == o.type && direction == o.direction && duration == o.duration &&
           bytesSent == o.bytesSent && bytesReceived == o.bytesReceived && number == o.number && name == o.name &&
           time == o.time && zone1 == o.zone1 && zone2 == o.zone2;
  }
};

// A device notification asked for as such, beside those the phones' changes
// bring: reason 1 added, 2 removed, 4 updated, 0 the device list updated.
struct CNotice {
  DWORD sequence = 0;
  DWORD reason = 0;
  DWORD media = 0;
  DWORD info = 0;
  std::wstring serial;  // may be empty
};

// A count that never runs out: the fault or delay holds until cleared.
const DWORD kEveryCall = 0xFFFFFFFFu;

// Any thread of any process may call every member: the world's named mutex
// orders them, and the object's own members do not change after construction.
class CPhoneWorld {
public:
  // The world of this process: the environment variable "TRELKSIM_WORLD", else
  // HKLM "SOFTWARE\TrelkSim" value "World", else "<ProgramData>\TrelkSim\World".
  static std::wstring DefaultFolder();

  explicit CPhoneWorld(const std::wstring& folder = DefaultFolder());
  ~CPhoneWorld();

  const std::wstring& Folder() const { return m_folder; }
  // The named event writers pulse; each CPhoneWorld opens its own handle.
  HANDLE ChangedEvent() const { return m_changed.Get(); }
  // Raised by every write; readers compare it before reading the world again.
  DWORD Generation();

  // Any text but the empty one is a serial number.
  static bool IsValidSerial(const std::wstring& serial);

  // Creates the phone or replaces its identity (its other data stays); false
  // for an invalid serial number. Throws ERROR_ALREADY_EXISTS when the
  // phone's folder belongs to another serial number.
  bool PlugPhone(const CPhone& phone);
  // Marks a known phone disconnected; false when it is not known.
  bool UnplugPhone(const std::wstring& serial);
  // Forgets the phone and everything stored on it.
  bool RemovePhone(const std::wstring& serial);
  bool ReadPhone(const std::wstring& serial, CPhone* phone);
  // Ordered by serial number.
  std::vector<CPhone> ListPhones(bool connectedOnly);

  // Every process with the library loaded delivers the notice once.
  void AnnounceDevice(DWORD reason, const std::wstring& serial, DWORD media, DWORD info);
  // The notices after the given sequence number, oldest first.
  std::vector<CNotice> ReadNotices(DWORD afterSequence);
  DWORD LastNoticeSequence();

  // After skip calls of the named entry that pass, the next count calls fail
  // with code (skip k-1, count 1: only the k-th call fails).
  void InjectFault(const std::string& entry, DWORD code, DWORD count, DWORD skip = 0);
  // The same, but the call does its work on the phone first and then answers
  // code, as when the link drops after a write landed. Only entries that change
  // the phone honour it.
  void InjectAfterFault(const std::string& entry, DWORD code, DWORD count, DWORD skip = 0);
  // Each of the next count calls of the entry waits that long before it acts.
  void InjectDelay(const std::string& entry, DWORD milliseconds, DWORD count = kEveryCall, DWORD skip = 0);
  // Drops every pending failure and delay; delays under way end at once.
  void ClearFaults();
  bool HasFaults();
  // Each consumes one pending failure (or delay) of the entry, across processes.
  bool TakeFault(const char* entry, DWORD* code);
  bool TakeAfterFault(const char* entry, DWORD* code);
  bool TakeDelay(const char* entry, DWORD* milliseconds);

  // Entries called after their family was terminated (or that resumed from a
  // delay to find it terminated), by any process, oldest first: a user of the
  // library must never make such a call.
  void RecordLateCall(const std::string& entry);
  std::vector<std::string> LateCalls();

  // A uid is lower-case hexadecimal text of whole bytes, at most 64 bytes.
  static bool IsValidUid(const std::wstring& uid);

  // Contacts, ordered by uid. Writing with an empty uid gives the contact a
  // new one; the uid written is returned (empty when the phone or uid is invalid).
  std::vector<CContact> ListContacts(const std::wstring& serial);
  bool ReadContact(const std::wstring& serial, const std::wstring& uid, CContact* contact);
  std::wstring WriteContact(const std::wstring& serial, const CContact& contact);
  bool DeleteContact(const std::wstring& serial, const std::wstring& uid);

  // Message folders: 1 and 2 always, and every other folder holding messages,
  // ascending.
  std::vector<DWORD> ListMessageFolders(const std::wstring& serial);
  // The messages of one folder (0: of all folders), ordered by uid.
  std::vector<CMessage> ListMessages(const std::wstring& serial, DWORD folder);
  bool FindMessage(const std::wstring& serial, const std::wstring& uid, CMessage* message);
  // Writes into the message's folder, replacing (and moving) one of the same
  // uid; a new uid when empty. Returns the uid written, empty when refused.
  std::wstring WriteMessage(const std::wstring& serial, const CMessage& message);
  bool DeleteMessage(const std::wstring& serial, const std::wstring& uid);

  // The call log in its order. An entry added with id 0 gets the next id;
  // the id added is returned (0 when refused).
  std::vector<CCallLogEntry> ReadCallLog(const std::wstring& serial);
  DWORD AddCallLogEntry(const std::wstring& serial, const CCallLogEntry& entry);
  void ClearCallLog(const std::wstring& serial);

  // Packages installed on the phone (packages\<name> and a "name, size,
  // options" line each in packages.txt), in the order installed. Installing
  // a name again replaces the file and its line; false for an unknown phone.
  struct CPackage {
    std::wstring name;
    DWORD size = 0;
    DWORD options = 0;
  };
  bool InstallPackage(const std::wstring& serial, const std::wstring& name, const std::string& bytes, DWORD options);
  std::vector<CPackage> ListPackages(const std::wstring& serial);
  // The bytes of an installed package; false when there is none of the name.
  bool ReadPackage(const std::wstring& serial, const std::wstring& name, std::string* bytes);

  // The modem configurations asked of the phone (modemconfig.txt, one
  // "<operation>\t<media>\t<serial>" line a call), oldest first; false for
  // an unknown phone.
  struct CModemOperation {
    DWORD operation = 0;
    DWORD media = 0;
    std::wstring serial;
  };
  bool RecordModemOperation(const std::wstring& serial, DWORD operation, DWORD media);
  std::vector<CModemOperation> ListModemOperations(const std::wstring& serial);

  // The device type of the phone's device information; false for an unknown phone.
  bool SetDeviceType(const std::wstring& serial, DWORD typeCode);

  // The phone-data server's answers. A component's version is a list of
  // texts: the phone's refreshes move it one step along, the last one stays.
  // Category lists hold model names by word. While marked absent the server
  // cannot be created. Registered applications are remembered, last first.
  void SetComponentVersions(const std::wstring& serial, const std::wstring& component,
                            const std::vector<std::wstring>& versions);
  // False when the phone has no such component.
  bool ReadComponentVersion(const std::wstring& serial, const std::wstring& component, std::wstring* version);
  void RefreshPhoneData(const std::wstring& serial);
  DWORD PhoneDataRefreshes(const std::wstring& serial);
  void AddToCategory(const std::wstring& word, const std::wstring& model);
  std::vector<std::wstring> ReadCategory(const std::wstring& word);
  void SetPhoneDataAbsent(bool absent);
  bool IsPhoneDataAbsent();
  void RecordPhoneDataApplication(const std::wstring& name);
  std::vector<std::wstring> PhoneDataApplications();

  // Files below the world folder, by relative path, for the families' data.
  bool ReadFileText(const std::wstring& relative, std::string* text);
  void WriteFileText(const std::wstring& relative, const std::string& text);
  bool DeleteWorldFile(const std::wstring& relative);
  std::wstring PhoneFolder(const std::wstring& serial) const;

  // Holds the world's mutex for a sequence of reads and writes; throws when
  // the world has no mutex or another process keeps it too long.
  class CLock {
  public:
    explicit CLock(CPhoneWorld& world);

  private:
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;
    CMutexGuard m_guard;
  };

private:
  CPhoneWorld(const CPhoneWorld&) = delete;
  CPhoneWorld& operator=(const CPhoneWorld&) = delete;
  void WriteUnlocked(const std::wstring& path, const std::string& text);
  bool ReadLocked(const std::wstring& path, std::string* text);
  void Changed();  // raises the generation; the caller holds the lock
  void Notify();   // pulses the event; after the lock is released
  // The phone's folder when no other serial number's identity holds it.
  bool OwnFolderUnlocked(const std::wstring& serial, std::wstring* folder);
  // The same for a write: another phone's folder is thrown as ERROR_ALREADY_EXISTS.
  std::wstring WritableFolderUnlocked(const std::wstring& serial);
  std::wstring NewUidUnlocked(const std::wstring& phoneFolder);
  std::wstring MessagePathUnlocked(const std::wstring& phoneFolder, const std::wstring& uid);

  std::wstring m_folder;
  CHandle m_mutex;
  CHandle m_changed;
  DWORD m_openError = 0;  // why the mutex or the event is missing
};

// Deletes a folder with everything below it; false when something stayed.
bool DeleteFolderTree(const std::wstring& folder);

// Values of the world's line-based files: one line each.
std::string EscapeValue(const std::wstring& value);
std::wstring UnescapeValue(const std::string& value);

// The library result code that answers a failure of the world: a code of
// the libraries' own space as it is, a Win32 error as the nearest library code.
DWORD LibraryResultOf(const ZCLException& failure);

// The text of a failure for a person: its message without the source position.
std::string FailureText(const ZCLException& failure);


}  // namespace PhoneSim

// The catch clauses of a library face's entry: a failure of the world answers
// its library code, anything else as every simulated entry does.
#define SIM_WORLD_CATCH_ALL                                \
  catch (const ZCLException& simFailure_) {                \
    return PhoneSim::LibraryResultOf(simFailure_);         \
  }                                                        \
  SIM_CATCH_ALL
