#include <windows.h>
#include <map>
#include <set>
#include "SimCore.h"

// The event-log family of the simulated library (Trelk_Fandor.dll): a phone's
// call log read from beginning to end, its changes and the loss of the phone
// announced from the core's thread.

using namespace PhoneSim;

namespace {

const DWORD kLOGVEXVersion = 10;

struct CLogRead {
  DWORD log;  // the event-log handle it reads
  std::vector<CCallLogEntry> entries;  // as they were at its beginning
  size_t next = 0;
};

// What the observer saw of one phone last.
struct CLogSeen {
  std::vector<CCallLogEntry> entries;
  bool connected = true;
};

void FillLogItem(const CCallLogEntry& e, LOGVEX_LOG_ITEM* item) {
  DWORD size = item->dwSize;
  ZeroMemory(item, sizeof(*item));
  item->dwSize = size;
  item->dwEntryId = e.id;
  item->dwType = e.type;
  item->dwDirection = e.direction;
  item->dwDuration = e.duration;
  item->ullBytesSent = e.bytesSent;
  item->ullBytesReceived = e.bytesReceived;
  // What the phone does not know stays null.
  item->pstrNumber = e.number.empty() ? nullptr : HandOutString(e.number);
  try {
    item->pstrName = e.name.empty() ? nullptr : HandOutString(e.name);
  } catch (...) {
    FreeHandedOut(item->pstrNumber);
    throw;
  }
  item->wYear = e.time.year;
  item->bMonth = e.time.month;
  item->bDay = e.time.day;
  item->bHour = e.time.hour;
  item->bMinute = e.time.minute;
  item->bSecond = e.time.second;
  item->lZoneOffset1 = e.zone1;
  item->lZoneOffset2 = e.zone2;
}

// Called from the callers' threads and, for notifications, the core's thread;
// m_lock guards the handles, the reads and what was seen last.
class CEventLogFamily : public CSimFamily, public IWorldObserver {
public:
  CEventLogFamily() { InitializeCriticalSection(&m_lock); }

  DWORD Open(CPhoneWorld& world, const std::wstring& serial, DWORD* handle) {
    CLogSeen seen;
    seen.entries = world.ReadCallLog(serial);
    *handle = CSimCore::Instance().NewHandle();
    EnterCriticalSection(&m_lock);
    m_logs[*handle] = serial;
    if (!m_seen.count(serial)) m_seen[serial] = seen;
    LeaveCriticalSection(&m_lock);
    return 0;
  }

  DWORD Close(DWORD handle) {
    EnterCriticalSection(&m_lock);
    bool known = m_logs.erase(handle) != 0;
    for (auto it = m_reads.begin(); it != m_reads.end();) it = it->second.log == handle ? m_reads.erase(it) : std::next(it);
    LeaveCriticalSection(&m_lock);
    if (!known) return ELNYX_INVALID_HANDLE;
    m_sinks.RemoveHandle(handle);
    return 0;
  }

  // The phone of an open handle that is still connected.
  DWORD Phone(CPhoneWorld& world, DWORD handle, std::wstring* serial) {
    EnterCriticalSection(&m_lock);
    auto it = m_logs.find(handle);
    bool known = it != m_logs.end();
    if (known) *serial = it->second;
    LeaveCriticalSection(&m_lock);
    if (!known) return ELNYX_INVALID_HANDLE;
    CPhone phone;
    if (!world.ReadPhone(*serial, &phone) || !phone.connected) return ELNYX_CONNECTION_LOST;
    return 0;
  }

  DWORD BeginRead(DWORD log, std::vector<CCallLogEntry> entries, DWORD* read) {
    *read = CSimCore::Instance().NewHandle();
    EnterCriticalSection(&m_lock);
    CLogRead& r = m_reads[*read];
    r.log = log;
    r.entries.swap(entries);
    LeaveCriticalSection(&m_lock);
    return 0;
  }

  // The next entry of a read: 0, ELNYX_ALL_LISTED at its end, or an invalid handle.
  DWORD Next(DWORD read, CCallLogEntry* entry) {
    EnterCriticalSection(&m_lock);
    auto it = m_reads.find(read);
    DWORD rc = 0;
    if (it == m_reads.end())
      rc = ELNYX_INVALID_HANDLE;
    else if (it->second.next >= it->second.entries.size())
      rc = ELNYX_ALL_LISTED;
    else
      *entry = it->second.entries[it->second.next++];
    LeaveCriticalSection(&m_lock);
    return rc;
  }

  bool EndRead(DWORD read) {
    EnterCriticalSection(&m_lock);
    bool known = m_reads.erase(read) != 0;
    LeaveCriticalSection(&m_lock);
    return known;
  }

  bool IsOpen(DWORD handle) {
    EnterCriticalSection(&m_lock);
    bool open = m_logs.count(handle) != 0;
    LeaveCriticalSection(&m_lock);
    return open;
  }

  CSinkRegistry& Sinks() { return m_sinks; }

  void OnWorldChanged(CPhoneWorld& world) override {
    std::map<std::wstring, std::set<DWORD>> handles;
    EnterCriticalSection(&m_lock);
    for (const auto& l : m_logs) handles[l.second].insert(l.first);
    LeaveCriticalSection(&m_lock);
    for (const auto& phone : handles) {
      CPhone identity;
      CLogSeen now;
      now.connected = world.ReadPhone(phone.first, &identity) && identity.connected;
      if (now.connected) now.entries = world.ReadCallLog(phone.first);
      EnterCriticalSection(&m_lock);
      CLogSeen before = m_seen[phone.first];
      // A phone away keeps its last log: a change is told when it is back.
      if (!now.connected) now.entries = before.entries;
      m_seen[phone.first] = now;
      LeaveCriticalSection(&m_lock);
      const std::set<DWORD>& on = phone.second;
      auto accept = [&](DWORD h) { return on.count(h) != 0; };
      if (before.connected && !now.connected) {
        m_sinks.ForEach(accept, [](void* sink) { static_cast<ILOGVEXNotify*>(sink)->OnLOGVEXConnectionLostNtf(); });
      } else if (now.connected && !(before.entries == now.entries)) {
        m_sinks.ForEach(accept, [](void* sink) {
          static_cast<ILOGVEXNotify*>(sink)->OnLOGVEXNtf(LOGVEX_NTF_LOG_CHANGED, nullptr);
        });
      }
    }
  }

protected:
  void OnStarted() override { CSimCore::Instance().AddObserver(this); }

  void OnStopping() override {
    CSimCore::Instance().RemoveObserver(this);
    EnterCriticalSection(&m_lock);
    m_logs.clear();
    m_reads.clear();
    m_seen.clear();
    LeaveCriticalSection(&m_lock);
    m_sinks.Clear();
  }

private:
  CRITICAL_SECTION m_lock;
  std::map<DWORD, std::wstring> m_logs;  // handle -> serial number
  std::map<DWORD, CLogRead> m_reads;
  std::map<std::wstring, CLogSeen> m_seen;
  CSinkRegistry m_sinks;  // ILOGVEXNotify
};

CEventLogFamily& EventLog() {
  static CEventLogFamily* family = new CEventLogFamily();
  return *family;
}

#define EL_ENTRY(name)                                                 \
  SIM_ENTRY(EventLog(), name);                                         \
  std::shared_ptr<CPhoneWorld> world = CSimCore::Instance().World();   \
  if (!world) return ELNYX_NOT_INITIALIZED

}  // namespace

SIM_FAMILY_LIFETIME(EventLog(), LOGVEX_Initialize, LOGVEX_Terminate, kLOGVEXVersion)

DWORD WINAPI LOGVEX_GetAPIVersion(DWORD* pdwVersion) {
  if (!pdwVersion) return ELNYX_INVALID_POINTER;
  *pdwVersion = kLOGVEXVersion;
  return 0;
}

DWORD WINAPI LOGVEX_OpenHandle(const WCHAR* pstrSerialNumber, DWORD*, DWORD, DWORD* phLog) {
  try {
    EL_ENTRY("LOGVEX_OpenHandle");
    if (!phLog) return ELNYX_INVALID_POINTER;
    CPhone phone;
    if (!pstrSerialNumber || !world->ReadPhone(pstrSerialNumber, &phone) || !phone.connected)
      return ELNYX_DEVICE_NOT_FOUND;
    return EventLog().Open(*world, pstrSerialNumber, phLog);
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_CloseHandle(DWORD hLog) {
  try {
    EL_ENTRY("LOGVEX_CloseHandle");
    return EventLog().Close(hLog);
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_ReadBegin(DWORD hLog, DWORD, DWORD* phRead) {
  try {
    EL_ENTRY("LOGVEX_ReadBegin");
    std::wstring serial;
    if (DWORD rc = EventLog().Phone(*world, hLog, &serial)) return rc;
    if (!phRead) return ELNYX_INVALID_POINTER;
    return EventLog().BeginRead(hLog, world->ReadCallLog(serial), phRead);
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_ReadNext(DWORD hRead, DWORD, LOGVEX_LOG_ITEM* pItem) {
  try {
    EL_ENTRY("LOGVEX_ReadNext");
    if (!pItem) return ELNYX_INVALID_POINTER;
    if (pItem->dwSize != sizeof(LOGVEX_LOG_ITEM)) return ELNYX_INVALID_PARAMETER;
    CCallLogEntry entry;
    if (DWORD rc = EventLog().Next(hRead, &entry)) return rc;
    FillLogItem(entry, pItem);
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_ReadEnd(DWORD hRead) {
  try {
    EL_ENTRY("LOGVEX_ReadEnd");
    return EventLog().EndRead(hRead) ? 0 : ELNYX_INVALID_HANDLE;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_FreeLogItem(LOGVEX_LOG_ITEM* pItem) {
  try {
    SIM_FAULT("LOGVEX_FreeLogItem");
    if (!pItem) return ELNYX_INVALID_POINTER;
    FreeHandedOut(pItem->pstrNumber);
    FreeHandedOut(pItem->pstrName);
    return 0;
  }
  SIM_CATCH_ALL
}

DWORD WINAPI LOGVEX_RegisterNotifyIF(DWORD hLog, DWORD dwOperation, ILOGVEXNotify* pSink) {
  try {
    EL_ENTRY("LOGVEX_RegisterNotifyIF");
    if (!EventLog().IsOpen(hLog)) return ELNYX_INVALID_HANDLE;
    if (!pSink) return ELNYX_INVALID_POINTER;
    if (dwOperation == TRELK_NOTIFY_REGISTER) return EventLog().Sinks().Add(hLog, pSink) ? 0 : ELNYX_INVALID_PARAMETER;
    if (dwOperation == TRELK_NOTIFY_UNREGISTER)
      return EventLog().Sinks().Remove(hLog, pSink) ? 0 : ELNYX_INVALID_PARAMETER;
    return ELNYX_INVALID_PARAMETER;
  }
  SIM_CATCH_ALL
}
