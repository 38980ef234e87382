#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The simulated phones' world: a folder shared by every process that has the
// simulated libraries loaded and by the tools that edit it (phonectl, tests).
//
//   <world>\generation           counter, raised by every write
//   <world>\faults.txt           "<entry> <code> <count>" lines
//   <world>\notices.txt          device notifications asked for as such (the last 100)
//   <world>\phones\<serial>\phone.txt       identity, connections, device information
//   <world>\phones\<serial>\contacts\<uid>.vcf     (one vCard per uid)
//   <world>\phones\<serial>\messages\<folder>\...  (messages by folder)
//   <world>\phones\<serial>\calllog.txt, calls.txt, packages.txt
//
// Files are replaced atomically (temporary file, then rename) under a named
// mutex; after each write the world's named event is pulsed so that every
// process notices and compares.
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

// A device notification asked for as such, beside those the phones' changes
// bring: reason 1 added, 2 removed, 4 updated, 0 the device list updated.
struct CNotice {
  DWORD sequence = 0;
  DWORD reason = 0;
  DWORD media = 0;
  DWORD info = 0;
  std::wstring serial;  // may be empty
};

class CPhoneWorld {
public:
  // The world of this process: the environment variable "TRELKSIM_WORLD", else
  // HKLM "SOFTWARE\TrelkSim" value "World", else "<ProgramData>\TrelkSim\World".
  static std::wstring DefaultFolder();

  explicit CPhoneWorld(const std::wstring& folder = DefaultFolder());
  ~CPhoneWorld();

  const std::wstring& Folder() const { return m_folder; }
  // The named event writers pulse; each CPhoneWorld opens its own handle.
  HANDLE ChangedEvent() const { return m_changed; }
  // Raised by every write; readers compare it before reading the world again.
  DWORD Generation();

  // A serial number names a folder: no path characters, not "." or "..".
  static bool IsValidSerial(const std::wstring& serial);

  // Creates the phone or replaces its identity (its other data stays); false
  // for an invalid serial number.
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

  // The next count calls of the named entry fail with code.
  void InjectFault(const std::string& entry, DWORD code, DWORD count);
  void ClearFaults();
  // Consumes one pending failure of the entry, across processes.
  bool TakeFault(const char* entry, DWORD* code);

  // Files below the world folder, by relative path, for the families' data.
  bool ReadFileText(const std::wstring& relative, std::string* text);
  void WriteFileText(const std::wstring& relative, const std::string& text);
  bool DeleteWorldFile(const std::wstring& relative);
  std::wstring PhoneFolder(const std::wstring& serial) const;

  // Holds the world's mutex for a sequence of reads and writes.
  class CLock {
  public:
    explicit CLock(CPhoneWorld& world);
    ~CLock();

  private:
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;
    HANDLE m_mutex;
  };

private:
  CPhoneWorld(const CPhoneWorld&) = delete;
  CPhoneWorld& operator=(const CPhoneWorld&) = delete;
  void WriteUnlocked(const std::wstring& path, const std::string& text);
  void Changed();  // raises the generation; the caller holds the lock
  void Notify();   // pulses the event; after the lock is released

  std::wstring m_folder;
  HANDLE m_mutex = nullptr;
  HANDLE m_changed = nullptr;
};

// Deletes a folder with everything below it.
void DeleteFolderTree(const std::wstring& folder);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace PhoneSim
