#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <vector>
#include "CLockable.h"
#include "PhoneWorld.h"
#include "TrelkApi.h"
#include "ZCLHandle.h"

// How a family joins the core (device management in SimDeviceManagement.cpp
// shows all of it): a CSimFamily for its counted initialise and terminate, an
// IWorldObserver that compares its part of the world (calls.txt, calllog.txt,
// messages, contacts) with what it saw last and announces the difference,
// a CSinkRegistry per notification interface, and CSimCore::Post for what
// follows a call of its own (a placed call ringing, a written item notified).
// Each face DLL links its own core; the families of one DLL share it.
namespace PhoneSim {

// A family that watches the world: called on the core's thread whenever the
// world's generation moved, never inside a caller's own library call.
class IWorldObserver {
public:
  virtual void OnWorldChanged(CPhoneWorld& world) = 0;
};

// The core of one simulated library module: the phone world, the thread that
// watches it and delivers the families' notifications, handle numbers and
// injected faults. Handle numbers are unique in the process, across the face
// DLLs and across unloads and reloads of one: a stale handle never names a
// live one. One per module; Start and Stop are counted and may be called
// from any thread, observers run on the core's thread only.
class CSimCore {
public:
  static CSimCore& Instance();

  void Start();
  void Stop();
  std::shared_ptr<CPhoneWorld> World();  // null while stopped
  DWORD NewHandle();
  // True (with the code) when a failure is pending for the entry.
  bool Fault(const char* entry, DWORD* code);
  // The same for a failure that answers after the entry did its work.
  bool AfterFault(const char* entry, DWORD* code);
  // Waits out a delay pending for the entry; clearing the faults ends it.
  void Delay(const char* entry);
  void AddObserver(IWorldObserver* observer);
  void RemoveObserver(IWorldObserver* observer);
  // Runs the work on the core's thread after the caller's call has returned;
  // dropped while stopped.
  void Post(std::function<void()> work);
  bool IsCoreThread();

private:
  CSimCore();
  struct Context;
  static DWORD WINAPI ThreadProc(LPVOID param);
  void RunLoop(Context* context);

  CRITICAL_SECTION m_lock;
  int m_starts = 0;
  Context* m_context = nullptr;
  CHandle m_thread;
  DWORD m_threadId = 0;
  std::vector<IWorldObserver*> m_observers;
};

// Counted initialisation of one family; the first starts the core, the last
// stops it.
class CSimFamily {
public:
  CSimFamily();
  DWORD Initialize(const char* entry);
  DWORD Terminate(const char* entry);
  bool IsInitialized();
  // The answer to an entry called while the family is not initialised; a call
  // after its terminate is recorded in the world as well.
  DWORD Uninitialized(const char* entry);

protected:
  virtual void OnStarted() {}
  virtual void OnStopping() {}

private:
  CRITICAL_SECTION m_lock;  // orders initialise and terminate
  volatile LONG m_count = 0;  // read without the lock by every entry
  volatile LONG m_terminated = 0;  // by its last terminate, until the next initialise
};

// Notification sinks by handle. Delivery runs on the core's thread and skips a
// sink removed meanwhile; removing a sink waits while it is being called,
// unless the removal comes from inside that very call.
class CSinkRegistry {
public:
  CSinkRegistry();
  bool Add(DWORD handle, void* sink);
  bool Remove(DWORD handle, void* sink);
  void RemoveHandle(DWORD handle);
  void Clear();
  void ForEach(const std::function<void(void* sink)>& call);
  // The same for the sinks registered on the handles the filter accepts.
  void ForEach(const std::function<bool(DWORD handle)>& accept, const std::function<void(void* sink)>& call);

private:
  struct Entry {
    DWORD handle;
    void* sink;
  };
  bool Contains(void* sink) const;
  void WaitIdle(void* sink);

  CRITICAL_SECTION m_lock;
  CONDITION_VARIABLE m_idle;
  std::vector<Entry> m_entries;
  void* m_calling = nullptr;
  DWORD m_callingThread = 0;
};

// The body of a notification registration entry: 16 adds the sink on the
// handle, 32 removes it; anything else, or a sink not there to remove, is an
// invalid parameter.
DWORD RegisterSink(CSinkRegistry& sinks, bool handleOpen, DWORD handle, DWORD operation, void* sink);

// A family's records by handle, numbered by the core. Any thread; the
// table's lock is held only inside its members.
template <class T>
class CHandleTable {
public:
  CHandleTable() { InitializeCriticalSection(&m_lock); }

  DWORD Add(T value) {
    DWORD handle = CSimCore::Instance().NewHandle();
    Locked([&] { m_items[handle] = std::move(value); });
    return handle;
  }
  bool Find(DWORD handle, T* value) {
    return Update(handle, [&](T& item) { *value = item; });
  }
  bool Contains(DWORD handle) {
    return Update(handle, [](T&) {});
  }
  // Changes the record under the table's lock; false when the handle is unknown.
  template <class Change>
  bool Update(DWORD handle, Change change) {
    bool known = false;
    Locked([&] {
      auto it = m_items.find(handle);
      known = it != m_items.end();
      if (known) change(it->second);
    });
    return known;
  }
  bool Remove(DWORD handle) {
    bool known = false;
    Locked([&] { known = m_items.erase(handle) != 0; });
    return known;
  }
  template <class Predicate>
  void RemoveIf(Predicate predicate) {
    Locked([&] {
      for (auto it = m_items.begin(); it != m_items.end();) it = predicate(it->second) ? m_items.erase(it) : std::next(it);
    });
  }
  std::map<DWORD, T> Items() {
    std::map<DWORD, T> items;
    Locked([&] { items = m_items; });
    return items;
  }
  void Clear() {
    Locked([&] { m_items.clear(); });
  }

private:
  template <class Work>
  void Locked(Work work) {
    CCriticalSectionGuard lock(m_lock);
    work();
  }
  CRITICAL_SECTION m_lock;
  std::map<DWORD, T> m_items;
};

// Library-owned copies of strings handed to callers; freed by FreeString.
WCHAR* DupString(const std::wstring& text);
void FreeString(WCHAR* text);

// Blocks handed to callers by the content families, each freed once, through
// the library's free calls only: a block the library did not hand out, or
// one freed already, is left alone. Any thread.
class CHandedOut {
public:
  static CHandedOut& Instance();
  void Add(const void* block);
  // True once per block handed out: the caller then deletes it.
  bool Take(const void* block);

private:
  CHandedOut();
  CRITICAL_SECTION m_lock;
  std::vector<const void*> m_blocks;  // sorted
};

// Allocates an array handed to a caller (null for none) and records it.
template <class T>
T* HandOutArray(size_t count) {
  if (count == 0) return nullptr;
  T* block = new T[count]();
  CHandedOut::Instance().Add(block);
  return block;
}
// Deletes such an array once; null and unknown blocks are left alone.
template <class T>
void FreeHandedOut(T*& block) {
  if (block && CHandedOut::Instance().Take(block)) delete[] block;
  block = nullptr;
}
WCHAR* HandOutString(const std::wstring& text);

// The date and zone fields of a library record (a message or a call-log item).
template <class Record>
void PutPhoneTime(const CPhoneTime& time, LONG zone1, LONG zone2, Record* record) {
  record->wYear = time.year;
  record->bMonth = time.month;
  record->bDay = time.day;
  record->bHour = time.hour;
  record->bMinute = time.minute;
  record->bSecond = time.second;
  record->lZoneOffset1 = zone1;
  record->lZoneOffset2 = zone2;
}
template <class Record>
CPhoneTime PhoneTimeOf(const Record& record) {
  CPhoneTime time;
  time.year = record.wYear;
  time.month = record.bMonth;
  time.day = record.bDay;
  time.hour = record.bHour;
  time.minute = record.bMinute;
  time.second = record.bSecond;
  return time;
}

}  // namespace PhoneSim

// The head of a free entry: it frees whether or not the family is
// initialised, unless a failure is pending for it (then nothing is freed).
#define SIM_FAULT(name)                                                    \
  do {                                                                     \
    PhoneSim::CSimCore::Instance().Delay(name);                            \
    DWORD simFault_ = 0;                                                   \
    if (PhoneSim::CSimCore::Instance().Fault(name, &simFault_)) return simFault_; \
  } while (0)

// Where an entry that changes the phone has done so: a failure injected to
// come after the work is answered here.
#define SIM_AFTER_FAULT(name)                                              \
  do {                                                                     \
    DWORD simFault_ = 0;                                                   \
    if (PhoneSim::CSimCore::Instance().AfterFault(name, &simFault_)) return simFault_; \
  } while (0)

// The common head of every simulated entry: the family must be initialised and
// a pending injected failure is answered first. A call delayed meanwhile looks
// again: its family may have been terminated while it waited.
#define SIM_ENTRY(family, name)                                            \
  do {                                                                     \
    if (!(family).IsInitialized()) return (family).Uninitialized(name);    \
    SIM_FAULT(name);                                                       \
    if (!(family).IsInitialized()) return (family).Uninitialized(name);    \
  } while (0)

// Every entry answers a code; nothing thrown crosses into the caller.
#define SIM_CATCH_ALL                            \
  catch (const std::bad_alloc&) {                \
    return ELNYX_NOT_ENOUGH_MEMORY;              \
  }                                              \
  catch (...) {                                  \
    return ELNYX_UNKNOWN_ERROR;                  \
  }

// A family's initialise and terminate entries: counted, the first starts the
// core; a version newer than the library's is refused.
#define SIM_FAMILY_LIFETIME(family, initEntry, terminateEntry, version) \
  DWORD WINAPI initEntry(DWORD dwAPIVersion, DWORD) {                  \
    try {                                                              \
      if (dwAPIVersion > (version)) return ELNYX_UNSUPPORTED_API_VERSION; \
      return (family).Initialize(#initEntry);                          \
    }                                                                  \
    SIM_CATCH_ALL                                                      \
  }                                                                    \
  DWORD WINAPI terminateEntry(DWORD) {                                 \
    try {                                                              \
      return (family).Terminate(#terminateEntry);                      \
    }                                                                  \
    SIM_CATCH_ALL                                                      \
  }

// The body of an entry whose simulation has not joined the core yet.
#define SIM_NOT_IMPLEMENTED(family, name) \
  {                                       \
    try {                                 \
      SIM_ENTRY(family, name);            \
      return ELNYX_NOT_SUPPORTED_PC;      \
    }                                     \
    SIM_CATCH_ALL                         \
  }
