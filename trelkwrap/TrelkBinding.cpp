#include <windows.h>
#include "TrelkBinding.h"

namespace Trelk {

namespace {
const char kApiKey[] = "SOFTWARE\\Trelk\\API\\";
const DWORD kWatcherStopTimeoutMs = 1000;
}  // namespace

const char* const CLibraryBinding::UnloadEventName = "Global\\9D14093C-8B2C-49aa-A328-35C1BDB2BC15";
const char* const CLibraryBinding::ReloadEventName = "Global\\8427ACED-9495-4cb7-A13D-B98012DF6654";

// A watcher thread with its stop event. Whoever finishes last of the thread
// and the terminate that stops it closes the handles: after a stop that timed
// out the thread may still wait on its event.
struct CLibraryBinding::Watcher {
  enum { Running, Exited, Abandoned };
  CLibraryBinding* binding;
  HANDLE stopEvent;
  HANDLE thread;
  LONG state;

  void Destroy() {
    if (thread) CloseHandle(thread);
    CloseHandle(stopEvent);
    delete this;
  }
};

CLibraryBinding::CLibraryBinding(const Family& family) : m_family(family) {
  InitializeCriticalSection(&m_lifecycle);
  InitializeCriticalSection(&m_state);
  InitializeConditionVariable(&m_drained);
  m_tlsCalls = TlsAlloc();
}

// The families' bindings live until the process ends. A binding destroyed
// while its library is loaded or its watcher runs keeps its locks, which
// those may still use.
CLibraryBinding::~CLibraryBinding() {
  if (m_module || m_watcher) return;
  TlsFree(m_tlsCalls);
  DeleteCriticalSection(&m_state);
  DeleteCriticalSection(&m_lifecycle);
}

DWORD CLibraryBinding::Load(HMODULE* module) const {
  *module = nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApiKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    char path[260] = {0};
    // One byte short of the buffer: a value that fills it may lack its terminator.
    DWORD size = sizeof(path) - 1;
    LONG rc = RegQueryValueExA(key, m_family.valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && path[0]) *module = LoadLibraryA(path);
  }
  if (!*module) *module = LoadLibraryA(m_family.fallback);
  return *module ? 0 : TRELK_BIND_NO_LIBRARY;
}

DWORD CLibraryBinding::ReadOptions() const {
  if (!m_family.readOptions) return 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApiKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD type = 0, value = 0, size = sizeof(value);
  LONG rc = RegQueryValueExA(key, "Options", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return (rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value)) ? value : 0;
}

DWORD CLibraryBinding::Initialize(DWORD dwAPIVersion, DWORD dwReserved) {
  EnterCriticalSection(&m_lifecycle);
  ++m_referenceCount;
  DWORD result = 0;
  if (!IsLoaded()) {
    HMODULE module = nullptr;
    result = Load(&module);
    if (result == 0) {
      typedef DWORD(WINAPI * InitFn)(DWORD, DWORD);
      InitFn init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(module, m_family.initName)));
      if (!init) {
        // Never initialised, so it must not stay loaded for a later initialise
        // to report success on.
        FreeLibrary(module);
        result = TRELK_BIND_NO_ENTRY;
      } else {
        m_apiVersion = dwAPIVersion;
        DWORD initResult = init(dwAPIVersion, dwReserved);
        if (static_cast<LONG>(initResult) < 0) {
          FreeLibrary(module);
          result = initResult;
        } else {
          Publish(module);
          if (!m_watcher && !(ReadOptions() & 1)) StartWatcher();
        }
      }
    }
    // A failed initialise has nothing for a terminate to undo.
    if (result != 0) --m_referenceCount;
  }
  LeaveCriticalSection(&m_lifecycle);
  return result;
}

DWORD CLibraryBinding::Terminate(DWORD dwReserved) {
  EnterCriticalSection(&m_lifecycle);
  if (m_referenceCount == 0) {
    LeaveCriticalSection(&m_lifecycle);
    return ELNYX_NOT_INITIALIZED;
  }
  if (--m_referenceCount > 0) {
    LeaveCriticalSection(&m_lifecycle);
    return 0;
  }
  if (HMODULE module = TakeModule()) {
    typedef DWORD(WINAPI * TermFn)(DWORD);
    TermFn term = reinterpret_cast<TermFn>(reinterpret_cast<void*>(GetProcAddress(module, m_family.terminateName)));
    if (term) term(dwReserved);
    FreeLibrary(module);
  }
  Watcher* watcher = m_watcher;
  m_watcher = nullptr;
  LeaveCriticalSection(&m_lifecycle);
  // Outside the lifecycle lock: the watcher may be waiting for it.
  if (watcher) StopWatcher(watcher);
  return 0;
}

// Counts the call in before looking the entry up, so that the module cannot be
// freed meanwhile; the lookup itself (which takes the loader's lock) runs
// outside the state lock.
FARPROC CLibraryBinding::Acquire(const char* entry, DWORD* result) {
  EnterCriticalSection(&m_state);
  HMODULE module = m_module;
  if (module) {
    ++m_callsInFlight;
    TlsSetValue(m_tlsCalls, reinterpret_cast<void*>(reinterpret_cast<INT_PTR>(TlsGetValue(m_tlsCalls)) + 1));
  }
  LeaveCriticalSection(&m_state);
  if (!module) {
    *result = ELNYX_NOT_INITIALIZED;
    return nullptr;
  }
  FARPROC proc = GetProcAddress(module, entry);
  if (!proc) {
    ReleaseCall();
    *result = TRELK_BIND_NO_ENTRY;
  }
  return proc;
}

void CLibraryBinding::ReleaseCall() {
  EnterCriticalSection(&m_state);
  --m_callsInFlight;
  TlsSetValue(m_tlsCalls, reinterpret_cast<void*>(reinterpret_cast<INT_PTR>(TlsGetValue(m_tlsCalls)) - 1));
  LeaveCriticalSection(&m_state);
  WakeAllConditionVariable(&m_drained);
}

void CLibraryBinding::Publish(HMODULE module) {
  EnterCriticalSection(&m_state);
  m_module = module;
  LeaveCriticalSection(&m_state);
}

// Forgets the module, then waits until no other thread is inside one of its
// entries; the caller's own calls in flight (a terminate from inside a
// library callback) are not waited for.
HMODULE CLibraryBinding::TakeModule() {
  EnterCriticalSection(&m_state);
  HMODULE module = m_module;
  m_module = nullptr;
  LONG own = static_cast<LONG>(reinterpret_cast<INT_PTR>(TlsGetValue(m_tlsCalls)));
  while (m_callsInFlight > own) SleepConditionVariableCS(&m_drained, &m_state, INFINITE);
  LeaveCriticalSection(&m_state);
  return module;
}

bool CLibraryBinding::IsLoaded() {
  EnterCriticalSection(&m_state);
  bool loaded = m_module != nullptr;
  LeaveCriticalSection(&m_state);
  return loaded;
}

bool CLibraryBinding::HasWatcher() {
  EnterCriticalSection(&m_lifecycle);
  bool has = m_watcher != nullptr;
  LeaveCriticalSection(&m_lifecycle);
  return has;
}

DWORD CLibraryBinding::GetReferenceCount() {
  EnterCriticalSection(&m_lifecycle);
  DWORD count = m_referenceCount;
  LeaveCriticalSection(&m_lifecycle);
  return count;
}

void CLibraryBinding::Unload(HANDLE stopEvent) {
  EnterCriticalSection(&m_lifecycle);
  // A terminate that is stopping this watcher has already done the work.
  if (WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0) {
    typedef DWORD(WINAPI * TermFn)(DWORD);
    // Only lifecycle calls free the module, and this thread holds their lock.
    EnterCriticalSection(&m_state);
    HMODULE loaded = m_module;
    LeaveCriticalSection(&m_state);
    TermFn term = loaded ? reinterpret_cast<TermFn>(
                               reinterpret_cast<void*>(GetProcAddress(loaded, m_family.terminateName)))
                         : nullptr;
    if (term) {
      HMODULE module = TakeModule();
      term(0);
      FreeLibrary(module);
    }
  }
  LeaveCriticalSection(&m_lifecycle);
}

void CLibraryBinding::Reload(HANDLE stopEvent) {
  EnterCriticalSection(&m_lifecycle);
  if (WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0 && m_referenceCount > 0 && !IsLoaded()) {
    HMODULE module = nullptr;
    if (Load(&module) == 0) {
      typedef DWORD(WINAPI * InitFn)(DWORD, DWORD);
      InitFn init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(module, m_family.initName)));
      if (init && static_cast<LONG>(init(m_apiVersion, 0)) >= 0)
        Publish(module);
      else
        FreeLibrary(module);  // a library that did not initialise is not offered to callers
    }
  }
  LeaveCriticalSection(&m_lifecycle);
}

DWORD CLibraryBinding::WatcherLoop(HANDLE stopEvent) {
  HANDLE unload = OpenEventA(EVENT_ALL_ACCESS, FALSE, UnloadEventName);
  if (!unload) unload = CreateEventA(nullptr, TRUE, FALSE, UnloadEventName);
  HANDLE reload = OpenEventA(EVENT_ALL_ACCESS, FALSE, ReloadEventName);
  if (!reload) reload = CreateEventA(nullptr, TRUE, FALSE, ReloadEventName);
  if (unload && reload) {
    ResetEvent(unload);
    ResetEvent(reload);
    HANDLE handles[3] = {stopEvent, unload, reload};
    for (;;) {
      DWORD wait = WaitForMultipleObjects(3, handles, FALSE, INFINITE);
      if (wait == WAIT_OBJECT_0 + 1) {
        Unload(stopEvent);
        if (!ResetEvent(unload)) break;
      } else if (wait == WAIT_OBJECT_0 + 2) {
        Reload(stopEvent);
        if (!ResetEvent(reload)) break;
      } else {
        break;  // stop requested, or the wait failed
      }
    }
  }
  if (unload) CloseHandle(unload);
  if (reload) CloseHandle(reload);
  return 0;
}

DWORD WINAPI CLibraryBinding::WatcherThreadProc(LPVOID param) {
  Watcher* watcher = static_cast<Watcher*>(param);
  watcher->binding->WatcherLoop(watcher->stopEvent);
  if (InterlockedExchange(&watcher->state, Watcher::Exited) == Watcher::Abandoned) watcher->Destroy();
  return 0;
}

void CLibraryBinding::StartWatcher() {
  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!stop) return;  // the family runs without a watcher
  Watcher* watcher = new Watcher{this, stop, nullptr, Watcher::Running};
  watcher->thread = CreateThread(nullptr, 0, WatcherThreadProc, watcher, 0, nullptr);
  if (!watcher->thread) {
    watcher->Destroy();
    return;
  }
  m_watcher = watcher;
}

void CLibraryBinding::StopWatcher(Watcher* watcher) {
  SetEvent(watcher->stopEvent);
  if (WaitForSingleObject(watcher->thread, kWatcherStopTimeoutMs) == WAIT_OBJECT_0 ||
      InterlockedExchange(&watcher->state, Watcher::Abandoned) == Watcher::Exited)
    watcher->Destroy();
  // Otherwise the thread still runs and destroys its own record when it ends.
}

namespace {
const CLibraryBinding::Family kWEXEL = {"WEXEL", "Trelk_Fandor.dll", "WEXEL_Initialize", "WEXEL_Terminate", true};
const CLibraryBinding::Family kTessim = {"Tessim", "Dorrax.dll", "Tessim_Initialize", "Tessim_Terminate", true};
const CLibraryBinding::Family kRUVON = {"RUVON", "Lanyx.dll", "RUVON_Initialize", "RUVON_Terminate", true};
const CLibraryBinding::Family kLOGVEX = {"LOGVEX", "Trelk_Fandor.dll", "LOGVEX_Initialize", "LOGVEX_Terminate",
                                         true};
}  // namespace

// Constructed on first use and never destroyed: library threads may still call
// forwarders while the process exits.
CLibraryBinding& WEXELBinding() {
  static CLibraryBinding* binding = new CLibraryBinding(kWEXEL);
  return *binding;
}
CLibraryBinding& TessimBinding() {
  static CLibraryBinding* binding = new CLibraryBinding(kTessim);
  return *binding;
}
CLibraryBinding& RUVONBinding() {
  static CLibraryBinding* binding = new CLibraryBinding(kRUVON);
  return *binding;
}
CLibraryBinding& LOGVEXBinding() {
  static CLibraryBinding* binding = new CLibraryBinding(kLOGVEX);
  return *binding;
}

}  // namespace Trelk

using Trelk::LOGVEXBinding;
using Trelk::RUVONBinding;
using Trelk::TessimBinding;
using Trelk::WEXELBinding;

DWORD LoadWEXELLibrary(HMODULE* module) { return WEXELBinding().Load(module); }
DWORD LoadTessimLibrary(HMODULE* module) { return TessimBinding().Load(module); }
DWORD LoadRUVONLibrary(HMODULE* module) { return RUVONBinding().Load(module); }
DWORD LoadLOGVEXLibrary(HMODULE* module) { return LOGVEXBinding().Load(module); }
DWORD ReadWEXELOptions() { return WEXELBinding().ReadOptions(); }
DWORD ReadTessimOptions() { return TessimBinding().ReadOptions(); }
DWORD ReadRUVONOptions() { return RUVONBinding().ReadOptions(); }
DWORD ReadLOGVEXOptions() { return LOGVEXBinding().ReadOptions(); }
DWORD WINAPI WEXELWatcherThreadProc(LPVOID stopEvent) { return WEXELBinding().WatcherLoop(stopEvent); }
DWORD WINAPI TessimWatcherThreadProc(LPVOID stopEvent) { return TessimBinding().WatcherLoop(stopEvent); }
DWORD WINAPI RUVONWatcherThreadProc(LPVOID stopEvent) { return RUVONBinding().WatcherLoop(stopEvent); }
DWORD WINAPI LOGVEXWatcherThreadProc(LPVOID stopEvent) { return LOGVEXBinding().WatcherLoop(stopEvent); }
