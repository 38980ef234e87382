#include <windows.h>
#include "TrelkBinding.h"
#include <algorithm>
#include <new>
#include <string>
#include "CLockable.h"
#include "ZCLFrame.h"
#include "ZCLHandle.h"
#include "ZCLLogger.h"
#include "ZCLText.h"

namespace Trelk {

namespace {
const wchar_t kApiKey[] = L"SOFTWARE\\Trelk\\API\\";
const DWORD kWatcherStopTimeoutMs = 1000;
// A load or unload on another thread is waited for this long at most.
const DWORD kTransitionTimeoutMs = 30000;

typedef DWORD(WINAPI* InitFn)(DWORD, DWORD);
typedef DWORD(WINAPI* TermFn)(DWORD);

template <class Fn>
Fn Entry(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The registry value's bytes as a path, whatever its type: at most 259 of
// them and always terminated; a value that fills the 260-byte buffer is not
// taken, since its end may be missing.
bool ReadPathValue(const char* valueName, std::string* path) {
  CRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApiKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  char buffer[260] = {0};
  DWORD size = sizeof(buffer) - 1;
  if (RegQueryValueExA(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS)
    return false;
  buffer[std::min<DWORD>(size, sizeof(buffer) - 1)] = 0;
  *path = buffer;
  return !path->empty();
}
}  // namespace

const char* const CLibraryBinding::UnloadEventName = "Global\\9D14093C-8B2C-49aa-A328-35C1BDB2BC15";
const char* const CLibraryBinding::ReloadEventName = "Global\\8427ACED-9495-4cb7-A13D-B98012DF6654";

// A watcher thread with its stop event. Whoever finishes last of the thread
// and the terminate that stops it destroys the record: after a stop that
// timed out the thread may still wait on its event.
struct CLibraryBinding::Watcher {
  enum { Running, Exited, Abandoned };
  CLibraryBinding* binding;
  CHandle stopEvent;
  CHandle thread;
  LONG state;
};

CLibraryBinding::CLibraryBinding(const Family& family) : m_family(family), m_readOptions(family.readOptions) {
  InitializeCriticalSection(&m_state);
  InitializeConditionVariable(&m_changed);
  m_tlsCalls = TlsAlloc();
}

// The families' bindings live until the process ends. A binding destroyed
// while its library is loaded or its watcher runs keeps its lock, which
// those may still use.
CLibraryBinding::~CLibraryBinding() {
  if (m_module || m_watcher || m_busyThread || !m_retired.empty()) return;
  TlsFree(m_tlsCalls);
  DeleteCriticalSection(&m_state);
}

DWORD CLibraryBinding::Load(HMODULE* module) const {
  std::string path;
  *module = ReadPathValue(m_family.valueName, &path) ? LoadLibraryA(path.c_str()) : nullptr;
  if (!*module) *module = LoadLibraryA(m_family.fallback);
  return *module ? 0 : TRELK_BIND_NO_LIBRARY;
}

void CLibraryBinding::SetReadOptions(bool read) {
  CCriticalSectionGuard lock(m_state);
  m_readOptions = read;
}

DWORD CLibraryBinding::ReadOptions() const {
  DWORD value = 0;
  if (!m_readOptions || !ZCLReadRegistryDword(HKEY_LOCAL_MACHINE, kApiKey, L"Options", &value)) return 0;
  return value;
}

// Marks this thread as the one that loads or unloads. Waits (bounded) while
// another thread does; false when that took too long or when this thread is
// itself inside a load or unload (a library calling back into the binding).
// The caller holds m_state.
bool CLibraryBinding::BeginTransition() {
  const DWORD self = GetCurrentThreadId();
  ULONGLONG deadline = GetTickCount64() + kTransitionTimeoutMs;
  while (m_busyThread != 0) {
    if (m_busyThread == self) return false;
    ULONGLONG now = GetTickCount64();
    if (now >= deadline ||
        !SleepConditionVariableCS(&m_changed, &m_state, static_cast<DWORD>(deadline - now))) {
      if (m_busyThread == 0) break;
      ZCLLogMessage(1, nullptr, "Trelk: %s: a load or unload on another thread did not end; given up",
                    m_family.valueName);
      return false;
    }
  }
  m_busyThread = self;
  return true;
}

// The caller holds m_state.
void CLibraryBinding::EndTransition() {
  m_busyThread = 0;
  WakeAllConditionVariable(&m_changed);
}

// Loads the library and calls its initialise, with no lock held. Null with
// the result on failure; the library is then freed.
HMODULE CLibraryBinding::LoadAndInitialize(DWORD dwAPIVersion, DWORD dwReserved, DWORD* result) {
  HMODULE loaded = nullptr;
  *result = Load(&loaded);
  CModuleHandle module(loaded);
  if (*result != 0) return nullptr;
  InitFn init = Entry<InitFn>(module.Get(), m_family.initName);
  // Never initialised, so it must not stay loaded for a later initialise to
  // report success on.
  if (!init) {
    *result = TRELK_BIND_NO_ENTRY;
    return nullptr;
  }
  DWORD initResult = init(dwAPIVersion, dwReserved);
  if (static_cast<LONG>(initResult) < 0) {
    *result = initResult;
    return nullptr;
  }
  *result = 0;
  return module.Detach();
}

DWORD CLibraryBinding::Initialize(DWORD dwAPIVersion, DWORD dwReserved) {
  CCriticalSectionGuard lock(m_state);
  ++m_referenceCount;
  if (m_module) return 0;
  if (!BeginTransition()) {
    // Called back from inside this family's own load or unload: counted, and
    // that load or unload sees the count when it ends.
    if (m_busyThread == GetCurrentThreadId()) return 0;
    --m_referenceCount;
    return ELNYX_NOT_INITIALIZED;
  }
  if (m_module) {  // loaded by the thread that was busy
    EndTransition();
    return 0;
  }
  DWORD result = 0;
  HMODULE module = nullptr;
  {
    CCriticalSectionUnguard unlocked(m_state);
    module = LoadAndInitialize(dwAPIVersion, dwReserved, &result);
  }
  if (!module) {
    // A failed initialise has nothing for a terminate to undo.
    if (m_referenceCount > 0) --m_referenceCount;
    EndTransition();
    return result;
  }
  if (m_referenceCount == 0) {
    // Terminated meanwhile (a library calling back): undone at once.
    TermFn term = Entry<TermFn>(module, m_family.terminateName);
    {
      CCriticalSectionUnguard unlocked(m_state);
      if (term) term(0);
      FreeLibrary(module);
    }
    EndTransition();
    return 0;
  }
  m_apiVersion = dwAPIVersion;
  m_module = module;
  ++m_generation;
  if (!m_watcher && !(ReadOptions() & 1)) StartWatcher();
  EndTransition();
  return 0;
}

DWORD CLibraryBinding::Terminate(DWORD dwReserved) {
  CCriticalSectionGuard lock(m_state);
  if (m_referenceCount == 0) return ELNYX_NOT_INITIALIZED;
  if (--m_referenceCount > 0) return 0;
  Watcher* watcher = m_watcher;
  m_watcher = nullptr;
  // A load or unload in progress (perhaps the one this call comes from, a
  // library calling back) finds the count at 0 when it ends and undoes itself.
  if (m_busyThread != 0) {
    CCriticalSectionUnguard unlocked(m_state);
    if (watcher) StopWatcher(watcher);
    return 0;
  }
  m_busyThread = GetCurrentThreadId();
  CModuleHandle module(m_module);
  m_module = nullptr;
  {
    CCriticalSectionUnguard unlocked(m_state);
    Drain();
    if (TermFn term = Entry<TermFn>(module.Get(), m_family.terminateName)) term(dwReserved);
    ReleaseModule(module.Detach());
    if (watcher) StopWatcher(watcher);
  }
  EndTransition();
  return 0;
}

// Counts the call in, with the generation it goes to, before looking the
// entry up, so that the module cannot be freed meanwhile; the lookup itself
// (which takes the loader's lock) runs outside the state lock.
FARPROC CLibraryBinding::Acquire(const char* entry, DWORD* result, DWORD* generation) {
  HMODULE module = nullptr;
  {
    CCriticalSectionGuard lock(m_state);
    module = m_module;
    if (module) {
      ++m_callsInFlight;
      *generation = m_generation;
      TlsSetValue(m_tlsCalls, reinterpret_cast<void*>(reinterpret_cast<INT_PTR>(TlsGetValue(m_tlsCalls)) + 1));
    }
  }
  if (!module) {
    *result = ELNYX_NOT_INITIALIZED;
    return nullptr;
  }
  FARPROC proc = GetProcAddress(module, entry);
  if (!proc) {
    ReleaseCall(*generation);
    *result = TRELK_BIND_NO_ENTRY;
  }
  return proc;
}

// The last call to return from a library that was forgotten under it frees
// it, once it is back in our own code.
void CLibraryBinding::ReleaseCall(DWORD generation) {
  HMODULE last = nullptr;
  {
    CCriticalSectionGuard lock(m_state);
    TlsSetValue(m_tlsCalls, reinterpret_cast<void*>(reinterpret_cast<INT_PTR>(TlsGetValue(m_tlsCalls)) - 1));
    auto retired = std::find_if(m_retired.begin(), m_retired.end(),
                                [&](const Retired& r) { return r.generation == generation; });
    if (retired == m_retired.end()) {
      --m_callsInFlight;
    } else if (--retired->callsInFlight == 0) {
      last = retired->module;
      m_retired.erase(retired);
    }
  }
  WakeAllConditionVariable(&m_changed);
  if (last) {
    ZCLLogMessage(2, nullptr,
                  "Trelk: %s: the last call into the old library returned; the old library is freed",
                  m_family.valueName);
    FreeLibrary(last);
  }
}

// Waits, bounded, until no other thread is inside an entry of the module
// just forgotten; this thread's own calls in flight (a terminate from inside
// a library callback) are not waited for. A call that does not come back is
// logged and left inside the library, which ReleaseModule keeps loaded.
void CLibraryBinding::Drain() {
  CCriticalSectionGuard lock(m_state);
  const LONG own = static_cast<LONG>(reinterpret_cast<INT_PTR>(TlsGetValue(m_tlsCalls)));
  ULONGLONG deadline = GetTickCount64() + DrainTimeoutMs;
  while (m_callsInFlight > own) {
    ULONGLONG now = GetTickCount64();
    if (now >= deadline ||
        (!SleepConditionVariableCS(&m_changed, &m_state, static_cast<DWORD>(deadline - now)) &&
         m_callsInFlight > own)) {
      ZCLLogMessage(2, nullptr,
                    "Trelk: %s: %ld calls still in the library; it stays loaded until they return",
                    m_family.valueName, static_cast<long>(m_callsInFlight - own));
      return;
    }
  }
}

// Frees a module just forgotten and terminated, unless calls are still inside
// it (another thread's that did not drain, or this thread's own further up
// its stack): freeing it under them would crash them on their return.
void CLibraryBinding::ReleaseModule(HMODULE module) {
  if (!module) return;
  {
    CCriticalSectionGuard lock(m_state);
    if (m_callsInFlight > 0) {
      m_retired.push_back(Retired{module, m_generation, m_callsInFlight});
      m_callsInFlight = 0;
      return;
    }
  }
  FreeLibrary(module);
}

bool CLibraryBinding::IsLoaded() {
  CCriticalSectionGuard lock(m_state);
  return m_module != nullptr;
}

bool CLibraryBinding::HasWatcher() {
  CCriticalSectionGuard lock(m_state);
  return m_watcher != nullptr;
}

DWORD CLibraryBinding::GetReferenceCount() {
  CCriticalSectionGuard lock(m_state);
  return m_referenceCount;
}

DWORD CLibraryBinding::GetGeneration() {
  CCriticalSectionGuard lock(m_state);
  return m_generation;
}

void CLibraryBinding::AddReloadListener(const std::weak_ptr<IReloadListener>& listener) {
  CCriticalSectionGuard lock(m_state);
  m_listeners.push_back(listener);
}

void CLibraryBinding::RemoveReloadListener(const IReloadListener* listener) {
  CCriticalSectionGuard lock(m_state);
  m_listeners.erase(std::remove_if(m_listeners.begin(), m_listeners.end(),
                                   [&](const std::weak_ptr<IReloadListener>& weak) {
                                     std::shared_ptr<IReloadListener> held = weak.lock();
                                     return !held || held.get() == listener;
                                   }),
                    m_listeners.end());
}

// Each listener is kept alive for its call; none is called under the lock.
void CLibraryBinding::NotifyReloaded() {
  std::vector<std::shared_ptr<IReloadListener>> listeners;
  {
    CCriticalSectionGuard lock(m_state);
    for (const std::weak_ptr<IReloadListener>& weak : m_listeners)
      if (std::shared_ptr<IReloadListener> held = weak.lock()) listeners.push_back(held);
  }
  for (const std::shared_ptr<IReloadListener>& listener : listeners)
    ZCLGuarded(1, ZCL_SITE, [&] { listener->OnLibraryReloaded(); });
}

void CLibraryBinding::Unload(HANDLE stopEvent) {
  CCriticalSectionGuard lock(m_state);
  // A terminate that is stopping this watcher has already done the work.
  if (WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0 || !m_module) return;
  TermFn term = Entry<TermFn>(m_module, m_family.terminateName);
  if (!term || !BeginTransition()) return;
  CModuleHandle module(m_module);
  m_module = nullptr;
  {
    CCriticalSectionUnguard unlocked(m_state);
    Drain();
    term(0);
    ReleaseModule(module.Detach());
  }
  EndTransition();
}

void CLibraryBinding::Reload(HANDLE stopEvent) {
  bool published = false;
  {
    CCriticalSectionGuard lock(m_state);
    if (WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0 || m_referenceCount == 0 || m_module) return;
    if (!BeginTransition()) return;
    DWORD result = 0;
    CModuleHandle module;
    {
      CCriticalSectionUnguard unlocked(m_state);
      // A library that did not initialise is not offered to callers.
      module.Reset(LoadAndInitialize(m_apiVersion, 0, &result));
    }
    published = module && m_referenceCount > 0 && !m_module && WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0;
    if (published) {
      m_module = module.Detach();
      ++m_generation;
    }
    if (module) {
      // Terminated meanwhile: undone as a terminate would.
      TermFn term = Entry<TermFn>(module.Get(), m_family.terminateName);
      CCriticalSectionUnguard unlocked(m_state);
      if (term) term(0);
      module.Reset();
    }
    EndTransition();
  }
  if (published) NotifyReloaded();
}

DWORD CLibraryBinding::WatcherLoop(HANDLE stopEvent) {
  CHandle unload(OpenEventA(EVENT_ALL_ACCESS, FALSE, UnloadEventName));
  if (!unload) unload.Reset(CreateEventA(nullptr, TRUE, FALSE, UnloadEventName));
  CHandle reload(OpenEventA(EVENT_ALL_ACCESS, FALSE, ReloadEventName));
  if (!reload) reload.Reset(CreateEventA(nullptr, TRUE, FALSE, ReloadEventName));
  if (!unload || !reload) return 0;
  ResetEvent(unload.Get());
  ResetEvent(reload.Get());
  HANDLE handles[3] = {stopEvent, unload.Get(), reload.Get()};
  for (;;) {
    DWORD wait = WaitForMultipleObjects(3, handles, FALSE, INFINITE);
    if (wait == WAIT_OBJECT_0 + 1) {
      Unload(stopEvent);
      if (!ResetEvent(unload.Get())) break;
    } else if (wait == WAIT_OBJECT_0 + 2) {
      Reload(stopEvent);
      if (!ResetEvent(reload.Get())) break;
    } else {
      break;  // stop requested, or the wait failed
    }
  }
  return 0;
}

DWORD WINAPI CLibraryBinding::WatcherThreadProc(LPVOID param) {
  Watcher* watcher = static_cast<Watcher*>(param);
  ZCLGuarded(1, ZCL_SITE, [&] { watcher->binding->WatcherLoop(watcher->stopEvent.Get()); });
  if (InterlockedExchange(&watcher->state, Watcher::Exited) == Watcher::Abandoned) delete watcher;
  return 0;
}

// The caller holds m_state.
void CLibraryBinding::StartWatcher() {
  CHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop) return;  // the family runs without a watcher
  Watcher* watcher = new (std::nothrow) Watcher{this, std::move(stop), CHandle(), Watcher::Running};
  if (!watcher) return;
  watcher->thread.Reset(CreateThread(nullptr, 0, WatcherThreadProc, watcher, 0, nullptr));
  if (!watcher->thread) {
    delete watcher;
    return;
  }
  m_watcher = watcher;
}

void CLibraryBinding::StopWatcher(Watcher* watcher) {
  SetEvent(watcher->stopEvent.Get());
  if (WaitForSingleObject(watcher->thread.Get(), kWatcherStopTimeoutMs) == WAIT_OBJECT_0 ||
      InterlockedExchange(&watcher->state, Watcher::Abandoned) == Watcher::Exited)
    delete watcher;
  // Otherwise the thread still runs and destroys its own record when it ends.
}

namespace {
const CLibraryBinding::Family kWEXEL = {"WEXEL", "Trelk_Fandor.dll", "WEXEL_Initialize", "WEXEL_Terminate", true};
const CLibraryBinding::Family kTessim = {"Tessim", "Dorrax.dll", "Tessim_Initialize", "Tessim_Terminate", true};
const CLibraryBinding::Family kRUVON = {"RUVON", "Lanyx.dll", "RUVON_Initialize", "RUVON_Terminate", true};
const CLibraryBinding::Family kLOGVEX = {"LOGVEX", "Trelk_Fandor.dll", "LOGVEX_Initialize", "LOGVEX_Terminate",
                                         true};
// The file-system family has no "Options": its watcher always starts.
const CLibraryBinding::Family kFSKOR = {"FSKOR", "Lanyx.dll", "FSKOR_Initialize", "FSKOR_Terminate", false};
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
CLibraryBinding& FSKORBinding() {
  static CLibraryBinding* binding = new CLibraryBinding(kFSKOR);
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
namespace {
// The named watcher procedures run the same frame as the binding's own.
DWORD GuardedWatcher(Trelk::CLibraryBinding& binding, LPVOID stopEvent) {
  ZCLGuarded(1, ZCL_SITE, [&] { binding.WatcherLoop(static_cast<HANDLE>(stopEvent)); });
  return 0;
}
}  // namespace

DWORD WINAPI WEXELWatcherThreadProc(LPVOID stopEvent) { return GuardedWatcher(WEXELBinding(), stopEvent); }
DWORD WINAPI TessimWatcherThreadProc(LPVOID stopEvent) { return GuardedWatcher(TessimBinding(), stopEvent); }
DWORD WINAPI RUVONWatcherThreadProc(LPVOID stopEvent) { return GuardedWatcher(RUVONBinding(), stopEvent); }
DWORD WINAPI LOGVEXWatcherThreadProc(LPVOID stopEvent) { return GuardedWatcher(LOGVEXBinding(), stopEvent); }
