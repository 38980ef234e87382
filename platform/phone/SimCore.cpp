#include <windows.h>
#include "SimCore.h"
#include <algorithm>
#include <deque>
#include <new>

namespace PhoneSim {

namespace {
// The world is looked at this often even when no writer's pulse arrived.
const DWORD kWorldPollMs = 200;
const DWORD kStopWaitMs = 10000;
}  // namespace

// Owned by the core's thread, which deletes it when it ends.
struct CSimCore::Context {
  HANDLE stop;
  HANDLE wake;
  std::shared_ptr<CPhoneWorld> world;
  DWORD generation;  // read before Start returns: changes after it are compared
  HMODULE module;  // the module's own reference, dropped as the thread ends
  CRITICAL_SECTION lock;
  std::deque<std::function<void()>> work;
};

CSimCore::CSimCore() { InitializeCriticalSection(&m_lock); }

CSimCore& CSimCore::Instance() {
  // Never destroyed: the core's thread may outlive static destruction.
  static CSimCore* core = new CSimCore();
  return *core;
}

void CSimCore::Start() {
  EnterCriticalSection(&m_lock);
  if (m_starts++ > 0) {
    LeaveCriticalSection(&m_lock);
    return;
  }
  Context* context = new Context();
  context->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  context->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  context->world = std::make_shared<CPhoneWorld>(CPhoneWorld::DefaultFolder());
  context->generation = context->world->Generation();
  InitializeCriticalSection(&context->lock);
  // The thread keeps the module loaded until it has left the module's code,
  // even when the binding frees the library first.
  context->module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&CSimCore::ThreadProc),
                     &context->module);
  m_context = context;
  m_thread = CreateThread(nullptr, 0, ThreadProc, context, 0, &m_threadId);
  if (!m_thread) {
    m_context = nullptr;
    CloseHandle(context->stop);
    CloseHandle(context->wake);
    DeleteCriticalSection(&context->lock);
    if (context->module) FreeLibrary(context->module);
    delete context;
  }
  LeaveCriticalSection(&m_lock);
}

void CSimCore::Stop() {
  EnterCriticalSection(&m_lock);
  if (m_starts == 0 || --m_starts > 0) {
    LeaveCriticalSection(&m_lock);
    return;
  }
  Context* context = m_context;
  HANDLE thread = m_thread;
  bool self = m_threadId == GetCurrentThreadId();
  m_context = nullptr;
  m_thread = nullptr;
  m_threadId = 0;
  LeaveCriticalSection(&m_lock);
  if (!thread) return;
  SetEvent(context->stop);
  if (!self) WaitForSingleObject(thread, kStopWaitMs);
  CloseHandle(thread);
}

std::shared_ptr<CPhoneWorld> CSimCore::World() {
  EnterCriticalSection(&m_lock);
  std::shared_ptr<CPhoneWorld> world = m_context ? m_context->world : nullptr;
  LeaveCriticalSection(&m_lock);
  return world;
}

DWORD CSimCore::NewHandle() {
  EnterCriticalSection(&m_lock);
  DWORD handle = ++m_nextHandle;
  LeaveCriticalSection(&m_lock);
  return handle;
}

bool CSimCore::Fault(const char* entry, DWORD* code) {
  std::shared_ptr<CPhoneWorld> world = World();
  if (world) return world->TakeFault(entry, code);
  CPhoneWorld idle;  // an initialise comes before the core runs
  return idle.TakeFault(entry, code);
}

void CSimCore::AddObserver(IWorldObserver* observer) {
  EnterCriticalSection(&m_lock);
  if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
    m_observers.push_back(observer);
  LeaveCriticalSection(&m_lock);
}

void CSimCore::RemoveObserver(IWorldObserver* observer) {
  EnterCriticalSection(&m_lock);
  m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
  LeaveCriticalSection(&m_lock);
}

void CSimCore::Post(std::function<void()> work) {
  EnterCriticalSection(&m_lock);
  if (Context* context = m_context) {
    EnterCriticalSection(&context->lock);
    context->work.push_back(std::move(work));
    LeaveCriticalSection(&context->lock);
    SetEvent(context->wake);
  }
  LeaveCriticalSection(&m_lock);
}

bool CSimCore::IsCoreThread() {
  EnterCriticalSection(&m_lock);
  bool core = m_threadId == GetCurrentThreadId();
  LeaveCriticalSection(&m_lock);
  return core;
}

void CSimCore::RunLoop(Context* context) {
  CPhoneWorld& world = *context->world;
  DWORD generation = context->generation;
  HANDLE handles[3] = {context->stop, context->wake, world.ChangedEvent()};
  DWORD count = handles[2] ? 3 : 2;
  for (;;) {
    DWORD wait = WaitForMultipleObjects(count, handles, FALSE, kWorldPollMs);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_FAILED) break;
    for (;;) {
      std::function<void()> work;
      EnterCriticalSection(&context->lock);
      if (!context->work.empty()) {
        work = std::move(context->work.front());
        context->work.pop_front();
      }
      LeaveCriticalSection(&context->lock);
      if (!work) break;
      try {
        work();
      } catch (...) {
      }
    }
    DWORD now = world.Generation();
    if (now == generation) continue;
    generation = now;
    EnterCriticalSection(&m_lock);
    std::vector<IWorldObserver*> observers = m_observers;
    LeaveCriticalSection(&m_lock);
    for (IWorldObserver* observer : observers) {
      try {
        observer->OnWorldChanged(world);
      } catch (...) {
      }
    }
  }
}

DWORD WINAPI CSimCore::ThreadProc(LPVOID param) {
  Context* context = static_cast<Context*>(param);
  try {
    Instance().RunLoop(context);
  } catch (...) {
  }
  HMODULE module = context->module;
  CloseHandle(context->stop);
  CloseHandle(context->wake);
  DeleteCriticalSection(&context->lock);
  delete context;
  if (module && module != GetModuleHandleW(nullptr)) FreeLibraryAndExitThread(module, 0);
  return 0;
}

CSimFamily::CSimFamily() { InitializeCriticalSection(&m_lock); }

DWORD CSimFamily::Initialize(const char* entry) {
  DWORD fault = 0;
  if (CSimCore::Instance().Fault(entry, &fault)) return fault;
  EnterCriticalSection(&m_lock);
  if (m_count == 0) {
    CSimCore::Instance().Start();
    OnStarted();
  }
  InterlockedIncrement(&m_count);
  LeaveCriticalSection(&m_lock);
  return 0;
}

DWORD CSimFamily::Terminate(const char* entry) {
  DWORD fault = 0;
  if (CSimCore::Instance().Fault(entry, &fault)) return fault;
  EnterCriticalSection(&m_lock);
  if (m_count == 0) {
    LeaveCriticalSection(&m_lock);
    return ELNYX_NOT_INITIALIZED;
  }
  bool last = InterlockedDecrement(&m_count) == 0;
  if (last) OnStopping();
  LeaveCriticalSection(&m_lock);
  if (last) CSimCore::Instance().Stop();
  return 0;
}

bool CSimFamily::IsInitialized() { return InterlockedCompareExchange(&m_count, 0, 0) > 0; }

CSinkRegistry::CSinkRegistry() {
  InitializeCriticalSection(&m_lock);
  InitializeConditionVariable(&m_idle);
}

bool CSinkRegistry::Contains(void* sink) const {
  for (const Entry& e : m_entries)
    if (e.sink == sink) return true;
  return false;
}

bool CSinkRegistry::Add(DWORD handle, void* sink) {
  EnterCriticalSection(&m_lock);
  bool added = false;
  bool present = false;
  for (const Entry& e : m_entries)
    if (e.handle == handle && e.sink == sink) present = true;
  if (!present) {
    m_entries.push_back(Entry{handle, sink});
    added = true;
  }
  LeaveCriticalSection(&m_lock);
  return added;
}

void CSinkRegistry::WaitIdle(void* sink) {
  // The caller holds m_lock.
  while (m_calling && (sink == nullptr || m_calling == sink) && m_callingThread != GetCurrentThreadId())
    SleepConditionVariableCS(&m_idle, &m_lock, INFINITE);
}

bool CSinkRegistry::Remove(DWORD handle, void* sink) {
  EnterCriticalSection(&m_lock);
  size_t before = m_entries.size();
  m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.handle == handle && e.sink == sink; }),
                  m_entries.end());
  bool removed = m_entries.size() != before;
  WaitIdle(sink);
  LeaveCriticalSection(&m_lock);
  return removed;
}

void CSinkRegistry::RemoveHandle(DWORD handle) {
  EnterCriticalSection(&m_lock);
  m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.handle == handle; }),
                  m_entries.end());
  WaitIdle(nullptr);
  LeaveCriticalSection(&m_lock);
}

void CSinkRegistry::Clear() {
  EnterCriticalSection(&m_lock);
  m_entries.clear();
  WaitIdle(nullptr);
  LeaveCriticalSection(&m_lock);
}

void CSinkRegistry::ForEach(const std::function<void(void* sink)>& call) {
  ForEach([](DWORD) { return true; }, call);
}

void CSinkRegistry::ForEach(const std::function<bool(DWORD handle)>& accept,
                            const std::function<void(void* sink)>& call) {
  EnterCriticalSection(&m_lock);
  std::vector<void*> sinks;
  for (const Entry& e : m_entries)
    if (accept(e.handle) && std::find(sinks.begin(), sinks.end(), e.sink) == sinks.end()) sinks.push_back(e.sink);
  for (void* sink : sinks) {
    if (!Contains(sink)) continue;  // removed while an earlier sink was called
    m_calling = sink;
    m_callingThread = GetCurrentThreadId();
    LeaveCriticalSection(&m_lock);
    try {
      call(sink);
    } catch (...) {
    }
    EnterCriticalSection(&m_lock);
    m_calling = nullptr;
    m_callingThread = 0;
    WakeAllConditionVariable(&m_idle);
  }
  LeaveCriticalSection(&m_lock);
}

DWORD RegisterSink(CSinkRegistry& sinks, bool handleOpen, DWORD handle, DWORD operation, void* sink) {
  if (!handleOpen) return ELNYX_INVALID_HANDLE;
  if (!sink) return ELNYX_INVALID_POINTER;
  if (operation == TRELK_NOTIFY_REGISTER) return sinks.Add(handle, sink) ? 0 : ELNYX_INVALID_PARAMETER;
  if (operation == TRELK_NOTIFY_UNREGISTER) return sinks.Remove(handle, sink) ? 0 : ELNYX_INVALID_PARAMETER;
  return ELNYX_INVALID_PARAMETER;
}

WCHAR* DupString(const std::wstring& text) {
  WCHAR* copy = new WCHAR[text.size() + 1];
  std::copy(text.begin(), text.end(), copy);
  copy[text.size()] = 0;
  return copy;
}

void FreeString(WCHAR* text) { delete[] text; }

CHandedOut::CHandedOut() { InitializeCriticalSection(&m_lock); }

CHandedOut& CHandedOut::Instance() {
  static CHandedOut* blocks = new CHandedOut();
  return *blocks;
}

void CHandedOut::Add(const void* block) {
  EnterCriticalSection(&m_lock);
  try {
    m_blocks.insert(std::lower_bound(m_blocks.begin(), m_blocks.end(), block), block);
  } catch (...) {
    LeaveCriticalSection(&m_lock);
    throw;
  }
  LeaveCriticalSection(&m_lock);
}

bool CHandedOut::Take(const void* block) {
  EnterCriticalSection(&m_lock);
  auto it = std::lower_bound(m_blocks.begin(), m_blocks.end(), block);
  bool known = it != m_blocks.end() && *it == block;
  if (known) m_blocks.erase(it);
  LeaveCriticalSection(&m_lock);
  return known;
}

WCHAR* HandOutString(const std::wstring& text) {
  WCHAR* copy = HandOutArray<WCHAR>(text.size() + 1);
  std::copy(text.begin(), text.end(), copy);
  return copy;
}

}  // namespace PhoneSim
