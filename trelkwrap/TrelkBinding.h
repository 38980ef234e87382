#pragma once
#include <windows.h>
#include <memory>
#include <vector>
#include "TrelkApi.h"

namespace Trelk {

// Told on the watcher thread after the family's library was loaded and
// initialised again: handles and sinks of the old library are gone.
class IReloadListener {
public:
  virtual void OnLibraryReloaded() = 0;

protected:
  ~IReloadListener() {}
};

// The run-time binding of one family of the connectivity libraries: finds the
// library through the registry (with a fixed fallback), loads it on the first
// initialise, frees it on the last terminate, and runs a watcher thread that
// unloads and reloads it on the two system-wide request events.
//
// Process-wide, one object per family; every member may be called from any
// thread, the library's own callbacks included. One lock guards the state and
// is never held across a call into the library or a wait for another thread:
// one thread at a time loads or unloads (the busy mark), and a terminate that
// meets a load or unload in progress leaves the rest to that thread.
class CLibraryBinding {
public:
  struct Family {
    const char* valueName;    // value under HKLM "SOFTWARE\Trelk\API\"
    const char* fallback;     // file name found by the system's search order
    const char* initName;     // the library's initialise entry
    const char* terminateName;
    bool readOptions;         // false: the watcher always starts
  };

  explicit CLibraryBinding(const Family& family);
  ~CLibraryBinding();

  DWORD Initialize(DWORD dwAPIVersion, DWORD dwReserved);
  DWORD Terminate(DWORD dwReserved);

  // Loads the library (registry path, then the fallback): 0 or 0x80100100.
  DWORD Load(HMODULE* module) const;
  // "Options" under the key: absent, of another type or unreadable is 0.
  DWORD ReadOptions() const;
  // A program whose copy of the binding always starts its watcher turns the
  // reading of "Options" off before its first initialise.
  void SetReadOptions(bool read);

  // Calls the entry of that name in the loaded library, looked up on every call.
  template <class Fn, class... Args>
  DWORD Forward(const char* entry, Args... args) {
    DWORD result = 0;
    DWORD generation = 0;
    FARPROC proc = Acquire(entry, &result, &generation);
    if (!proc) return result;
    CallGuard guard(this, generation);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc))(args...);
  }

  // As Forward, for an entry that answers something other than a code:
  // `failure` when the library is not loaded or lacks the entry.
  template <class Fn, class R, class... Args>
  R ForwardOr(R failure, const char* entry, Args... args) {
    DWORD result = 0;
    DWORD generation = 0;
    FARPROC proc = Acquire(entry, &result, &generation);
    if (!proc) return failure;
    CallGuard guard(this, generation);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc))(args...);
  }

  // The watcher's body; the thread procedures of the families call it.
  DWORD WatcherLoop(HANDLE stopEvent);

  bool IsLoaded();
  bool HasWatcher();
  DWORD GetReferenceCount();
  // Changes each time a library is loaded and initialised: a handle or sink
  // of an earlier generation belongs to a library that is gone.
  DWORD GetGeneration();

  // Listeners are held weakly: one that is gone is skipped and forgotten.
  void AddReloadListener(const std::weak_ptr<IReloadListener>& listener);
  void RemoveReloadListener(const IReloadListener* listener);

  static const char* const UnloadEventName;
  static const char* const ReloadEventName;
  // How long an unload waits for calls in flight on other threads; a library
  // still called after that stays loaded until its last call returns.
  static const DWORD DrainTimeoutMs = 5000;

private:
  CLibraryBinding(const CLibraryBinding&) = delete;
  CLibraryBinding& operator=(const CLibraryBinding&) = delete;

  struct CallGuard {
    CallGuard(CLibraryBinding* b, DWORD g) : binding(b), generation(g) {}
    ~CallGuard() { binding->ReleaseCall(generation); }
    CLibraryBinding* binding;
    DWORD generation;
  };
  struct Watcher;
  // A library forgotten while calls were still inside it: freed by the last
  // of them to return.
  struct Retired {
    HMODULE module;
    DWORD generation;
    LONG callsInFlight;
  };

  FARPROC Acquire(const char* entry, DWORD* result, DWORD* generation);
  void ReleaseCall(DWORD generation);
  bool BeginTransition();
  void EndTransition();
  HMODULE LoadAndInitialize(DWORD dwAPIVersion, DWORD dwReserved, DWORD* result);
  void Drain();
  void ReleaseModule(HMODULE module);
  void Unload(HANDLE stopEvent);
  void Reload(HANDLE stopEvent);
  void NotifyReloaded();
  void StartWatcher();
  static void StopWatcher(Watcher* watcher);
  static DWORD WINAPI WatcherThreadProc(LPVOID param);

  Family m_family;
  CRITICAL_SECTION m_state;
  CONDITION_VARIABLE m_changed;    // calls drained or a transition ended
  HMODULE m_module = nullptr;      // guarded by m_state
  LONG m_callsInFlight = 0;        // guarded by m_state: calls into m_module's generation
  std::vector<Retired> m_retired;  // guarded by m_state
  DWORD m_tlsCalls;                // this thread's calls in flight into this family
  DWORD m_apiVersion = 0;          // guarded by m_state
  DWORD m_referenceCount = 0;      // guarded by m_state
  DWORD m_generation = 0;          // guarded by m_state
  bool m_readOptions;              // set before the first initialise
  DWORD m_busyThread = 0;          // guarded by m_state: the thread loading or unloading, 0 when none
  Watcher* m_watcher = nullptr;    // guarded by m_state
  std::vector<std::weak_ptr<IReloadListener>> m_listeners;  // guarded by m_state
};

// The four families' bindings.
CLibraryBinding& WEXELBinding();
CLibraryBinding& TessimBinding();
CLibraryBinding& RUVONBinding();
CLibraryBinding& LOGVEXBinding();
CLibraryBinding& FSKORBinding();

}  // namespace Trelk

// Loaders, option readers and watcher procedures under the families' names.
DWORD LoadWEXELLibrary(HMODULE* module);
DWORD LoadTessimLibrary(HMODULE* module);
DWORD LoadRUVONLibrary(HMODULE* module);
DWORD LoadLOGVEXLibrary(HMODULE* module);
DWORD ReadWEXELOptions();
DWORD ReadTessimOptions();
DWORD ReadRUVONOptions();
DWORD ReadLOGVEXOptions();
DWORD WINAPI WEXELWatcherThreadProc(LPVOID stopEvent);
DWORD WINAPI TessimWatcherThreadProc(LPVOID stopEvent);
DWORD WINAPI RUVONWatcherThreadProc(LPVOID stopEvent);
DWORD WINAPI LOGVEXWatcherThreadProc(LPVOID stopEvent);
