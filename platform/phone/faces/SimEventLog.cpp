#include <windows.h>
#include <map>
#include <set>
#include "CLockable.h"
#include "SimCore.h"

// The event-log family of the simulated library (Trelk_Fandor.dll): a phone's
// call log read from beginning to end, its changes and the loss of the phone
// announced from the core's thread.

using namespace PhoneSim;

namespace {

const DWORD kLOGVEXVersion = 10;

struct CLogRead {
  DWORD log = 0;  // the event-log handle it reads
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
  PutPhoneTime(e.time, e.zone1, e.zone2, item);
}

// Called from the callers' threads and, for notifications, the core's thread;
// m_lock guards what was seen last, the tables lock themselves.
class CEventLogFamily : public CSimFamily, public IWorldObserver {
public:
  DWORD Open(CPhoneWorld& world, const std::wstring& serial, DWORD* handle) {
    CLogSeen seen;
    seen.entries = world.ReadCallLog(serial);
    {
      CLockGuard guard(&m_lock);
      if (!m_seen.count(serial)) m_seen[serial] = seen;
    }
    *handle = m_logs.Add(serial);
    return 0;
  }

  DWORD Close(DWORD handle) {
    if (!m_logs.Remove(handle)) return ELNYX_INVALID_HANDLE;
    m_reads.RemoveIf([&](const CLogRead& r) { return r.log == handle; });
    m_sinks.RemoveHandle(handle);
    return 0;
  }

  // The phone of an open handle that is still connected.
  DWORD Phone(CPhoneWorld& world, DWORD handle, std::wstring* serial) {
    if (!m_logs.Find(handle, serial)) return ELNYX_INVALID_HANDLE;
    CPhone phone;
    if (!world.ReadPhone(*serial, &phone) || !phone.connected) return ELNYX_CONNECTION_LOST;
    return 0;
  }

  DWORD BeginRead(DWORD log, std::vector<CCallLogEntry> entries, DWORD* read) {
    CLogRead r;
    r.log = log;
    r.entries.swap(entries);
    *read = m_reads.Add(std::move(r));
    return 0;
  }

  // The next entry of a read: 0, ELNYX_ALL_LISTED at its end, or an invalid handle.
  DWORD Next(DWORD read, CCallLogEntry* entry) {
    DWORD rc = 0;
    bool known = m_reads.Update(read, [&](CLogRead& r) {
      if (r.next >= r.entries.size())
        rc = ELNYX_ALL_LISTED;
      else
        *entry = r.entries[r.next++];
    });
    return known ? rc : ELNYX_INVALID_HANDLE;
  }

  bool EndRead(DWORD read) { return m_reads.Remove(read); }
  bool IsOpen(DWORD handle) { return m_logs.Contains(handle); }
  CSinkRegistry& Sinks() { return m_sinks; }

  void OnWorldChanged(CPhoneWorld& world) override {
    std::map<std::wstring, std::set<DWORD>> handles;
    for (const auto& l : m_logs.Items()) handles[l.second].insert(l.first);
    for (const auto& phone : handles) {
      CPhone identity;
      CLogSeen now;
      now.connected = world.ReadPhone(phone.first, &identity) && identity.connected;
      if (now.connected) now.entries = world.ReadCallLog(phone.first);
      CLogSeen before;
      {
        CLockGuard guard(&m_lock);
        before = m_seen[phone.first];
        // A phone away keeps its last log: a change is told when it is back.
        if (!now.connected) now.entries = before.entries;
        m_seen[phone.first] = now;
      }
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
    m_logs.Clear();
    m_reads.Clear();
    {
      CLockGuard guard(&m_lock);
      m_seen.clear();
    }
    m_sinks.Clear();
  }

private:
  CLockable m_lock;
  CHandleTable<std::wstring> m_logs;  // the phone's serial number by handle
  CHandleTable<CLogRead> m_reads;
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
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI LOGVEX_CloseHandle(DWORD hLog) {
  try {
    EL_ENTRY("LOGVEX_CloseHandle");
    return EventLog().Close(hLog);
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI LOGVEX_ReadBegin(DWORD hLog, DWORD, DWORD* phRead) {
  try {
    EL_ENTRY("LOGVEX_ReadBegin");
    std::wstring serial;
    if (DWORD rc = EventLog().Phone(*world, hLog, &serial)) return rc;
    if (!phRead) return ELNYX_INVALID_POINTER;
    return EventLog().BeginRead(hLog, world->ReadCallLog(serial), phRead);
  }
  SIM_WORLD_CATCH_ALL
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
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI LOGVEX_ReadEnd(DWORD hRead) {
  try {
    EL_ENTRY("LOGVEX_ReadEnd");
    return EventLog().EndRead(hRead) ? 0 : ELNYX_INVALID_HANDLE;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI LOGVEX_FreeLogItem(LOGVEX_LOG_ITEM* pItem) {
  try {
    SIM_FAULT("LOGVEX_FreeLogItem");
    if (!pItem) return ELNYX_INVALID_POINTER;
    FreeHandedOut(pItem->pstrNumber);
    FreeHandedOut(pItem->pstrName);
    return 0;
  }
  SIM_WORLD_CATCH_ALL
}

DWORD WINAPI LOGVEX_RegisterNotifyIF(DWORD hLog, DWORD dwOperation, ILOGVEXNotify* pSink) {
  try {
    EL_ENTRY("LOGVEX_RegisterNotifyIF");
    return RegisterSink(EventLog().Sinks(), EventLog().IsOpen(hLog), hLog, dwOperation, pSink);
  }
  SIM_WORLD_CATCH_ALL
}
