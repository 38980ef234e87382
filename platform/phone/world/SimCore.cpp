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
const DWORD kFirstHandle = 0x1000;

// Work of the core's thread and calls into sinks: what they throw ends there.
// The simulated library keeps no log; its callers see only result codes.
template <class Work>
void Quietly(Work work) {
  try {
    work();
  } catch (...) {
  }
}

// The process's handle counter, shared by every face DLL and every load of
// one through a section named after the process. Whoever creates the section
// keeps a handle to it until the process ends, so that unloading every face
// never starts the numbers again. Null when the section cannot be had.
class CProcessHandleCounter {
public:
  CProcessHandleCounter() {
    wchar_t name[64];
    wsprintfW(name, L"Local\\DialixPhoneSimHandles-%lu", GetCurrentProcessId());
    m_section.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), name));
    if (!m_section) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      HANDLE keep = nullptr;  // deliberately never closed: lives as long as the process
      DuplicateHandle(GetCurrentProcess(), m_section.Get(), GetCurrentProcess(), &keep, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    }
    m_counter = static_cast<volatile LONG*>(MapViewOfFile(m_section.Get(), FILE_MAP_WRITE, 0, 0, sizeof(LONG)));
  }
  ~CProcessHandleCounter() {
    if (m_counter) UnmapViewOfFile(const_cast<LONG*>(m_counter));
  }
  volatile LONG* Get() const { return m_counter; }

private:
  CHandle m_section;
  volatile LONG* m_counter = nullptr;
};

volatile LONG* ProcessHandleCounter() {
  static CProcessHandleCounter counter;
  return counter.Get();
}
}  // namespace

// Owned by the core's thread, which deletes it when it ends.
struct CSimCore::Context {
  Context() { InitializeCriticalSection(&lock); }
  ~Context() { DeleteCriticalSection(&lock); }
  CHandle stop;
  CHandle wake;
  std::shared_ptr<CPhoneWorld> world;
  DWORD generation = 0;  // read before Start returns: changes after it are compared
  CModuleHandle module;  // the module's own reference, dropped as the thread ends
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
  CCriticalSectionGuard lock(m_lock);
  if (m_starts++ > 0) return;
  std::unique_ptr<Context> context(new Context());
  context->stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  context->wake.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  context->world = std::make_shared<CPhoneWorld>(CPhoneWorld::DefaultFolder());
  context->generation = context->world->Generation();
  // The thread keeps the module loaded until it has left the module's code,
  // even when the binding frees the library first.
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&CSimCore::ThreadProc),
                     context->module.Put());
  m_thread.Reset(CreateThread(nullptr, 0, ThreadProc, context.get(), 0, &m_threadId));
  if (m_thread) m_context = context.release();
}

void CSimCore::Stop() {
  CCriticalSectionGuard lock(m_lock);
  if (m_starts == 0 || --m_starts > 0) return;
  Context* context = m_context;
  CHandle thread(m_thread.Detach());
  bool self = m_threadId == GetCurrentThreadId();
  m_context = nullptr;
  m_threadId = 0;
  lock.Release();
  if (!thread) return;
  SetEvent(context->stop.Get());
  if (!self) WaitForSingleObject(thread.Get(), kStopWaitMs);
}

std::shared_ptr<CPhoneWorld> CSimCore::World() {
  CCriticalSectionGuard lock(m_lock);
  return m_context ? m_context->world : nullptr;
}

DWORD CSimCore::NewHandle() {
  if (volatile LONG* counter = ProcessHandleCounter())
    return kFirstHandle + static_cast<DWORD>(InterlockedIncrement(counter));
  // Without the shared counter the numbers are at least unique in this load.
  static volatile LONG local = 0;
  return kFirstHandle + static_cast<DWORD>(InterlockedIncrement(&local));
}

namespace {
// How often a delay looks whether the faults were cleared meanwhile.
const DWORD kDelaySliceMs = 20;

// The world of a running core, else a look at the default one: an initialise
// comes before the core runs.
template <class Use>
auto WithWorld(const std::shared_ptr<CPhoneWorld>& running, Use use) {
  if (running) return use(*running);
  CPhoneWorld idle;
  return use(idle);
}
}  // namespace

bool CSimCore::Fault(const char* entry, DWORD* code) {
  return WithWorld(World(), [&](CPhoneWorld& world) { return world.TakeFault(entry, code); });
}

bool CSimCore::AfterFault(const char* entry, DWORD* code) {
  return WithWorld(World(), [&](CPhoneWorld& world) { return world.TakeAfterFault(entry, code); });
}

void CSimCore::Delay(const char* entry) {
  WithWorld(World(), [&](CPhoneWorld& world) {
    DWORD milliseconds = 0;
    if (!world.TakeDelay(entry, &milliseconds)) return 0;
    ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end && world.HasFaults(); now = GetTickCount64())
      Sleep(static_cast<DWORD>(std::min<ULONGLONG>(kDelaySliceMs, end - now)));
    return 0;
  });
}

void CSimCore::AddObserver(IWorldObserver* observer) {
  CCriticalSectionGuard lock(m_lock);
  if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
    m_observers.push_back(observer);
}

void CSimCore::RemoveObserver(IWorldObserver* observer) {
  CCriticalSectionGuard lock(m_lock);
  m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

void CSimCore::Post(std::function<void()> work) {
  CCriticalSectionGuard lock(m_lock);
  if (Context* context = m_context) {
    {
      CCriticalSectionGuard queue(context->lock);
      context->work.push_back(std::move(work));
    }
    SetEvent(context->wake.Get());
  }
}

bool CSimCore::IsCoreThread() {
  CCriticalSectionGuard lock(m_lock);
  return m_threadId == GetCurrentThreadId();
}

void CSimCore::RunLoop(Context* context) {
  CPhoneWorld& world = *context->world;
  DWORD generation = context->generation;
  HANDLE handles[3] = {context->stop.Get(), context->wake.Get(), world.ChangedEvent()};
  DWORD count = handles[2] ? 3 : 2;
  for (;;) {
    DWORD wait = WaitForMultipleObjects(count, handles, FALSE, kWorldPollMs);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_FAILED) break;
    for (;;) {
      std::function<void()> work;
      {
        CCriticalSectionGuard queue(context->lock);
        if (!context->work.empty()) {
          work = std::move(context->work.front());
          context->work.pop_front();
        }
      }
      if (!work) break;
      Quietly(work);
    }
    DWORD now = world.Generation();
    if (now == generation) continue;
    generation = now;
    std::vector<IWorldObserver*> observers;
    {
      CCriticalSectionGuard lock(m_lock);
      observers = m_observers;
    }
    for (IWorldObserver* observer : observers) Quietly([&] { observer->OnWorldChanged(world); });
  }
}

DWORD WINAPI CSimCore::ThreadProc(LPVOID param) {
  Context* context = static_cast<Context*>(param);
  Quietly([&] { Instance().RunLoop(context); });
  HMODULE module = context->module.Detach();
  delete context;
  // Leaves the module's code and drops its reference in one step.
  if (module && module != GetModuleHandleW(nullptr)) FreeLibraryAndExitThread(module, 0);
  return 0;
}

CSimFamily::CSimFamily() { InitializeCriticalSection(&m_lock); }

DWORD CSimFamily::Initialize(const char* entry) {
  SIM_FAULT(entry);
  CCriticalSectionGuard lock(m_lock);
  if (m_count == 0) {
    CSimCore::Instance().Start();
    OnStarted();
  }
  InterlockedExchange(&m_terminated, 0);
  InterlockedIncrement(&m_count);
  return 0;
}

DWORD CSimFamily::Terminate(const char* entry) {
  SIM_FAULT(entry);
  CCriticalSectionGuard lock(m_lock);
  if (m_count == 0) return ELNYX_NOT_INITIALIZED;
  bool last = InterlockedDecrement(&m_count) == 0;
  if (last) InterlockedExchange(&m_terminated, 1);
  if (last) OnStopping();
  lock.Release();
  if (last) CSimCore::Instance().Stop();
  return 0;
}

bool CSimFamily::IsInitialized() { return InterlockedCompareExchange(&m_count, 0, 0) > 0; }

DWORD CSimFamily::Uninitialized(const char* entry) {
  if (InterlockedCompareExchange(&m_terminated, 0, 0))
    Quietly([&] {
      CPhoneWorld world;  // the core's has stopped with the family
      world.RecordLateCall(entry);
    });
  return ELNYX_NOT_INITIALIZED;
}

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
  CCriticalSectionGuard lock(m_lock);
  for (const Entry& e : m_entries)
    if (e.handle == handle && e.sink == sink) return false;
  m_entries.push_back(Entry{handle, sink});
  return true;
}

void CSinkRegistry::WaitIdle(void* sink) {
  // The caller holds m_lock.
  while (m_calling && (sink == nullptr || m_calling == sink) && m_callingThread != GetCurrentThreadId())
    SleepConditionVariableCS(&m_idle, &m_lock, INFINITE);
}

bool CSinkRegistry::Remove(DWORD handle, void* sink) {
  CCriticalSectionGuard lock(m_lock);
  size_t before = m_entries.size();
  m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.handle == handle && e.sink == sink; }),
                  m_entries.end());
  bool removed = m_entries.size() != before;
  WaitIdle(sink);
  return removed;
}

void CSinkRegistry::RemoveHandle(DWORD handle) {
  CCriticalSectionGuard lock(m_lock);
  m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.handle == handle; }),
                  m_entries.end());
  WaitIdle(nullptr);
}

void CSinkRegistry::Clear() {
  CCriticalSectionGuard lock(m_lock);
  m_entries.clear();
  WaitIdle(nullptr);
}

void CSinkRegistry::ForEach(const std::function<void(void* sink)>& call) {
  ForEach([](DWORD) { return true; }, call);
}

void CSinkRegistry::ForEach(const std::function<bool(DWORD handle)>& accept,
                            const std::function<void(void* sink)>& call) {
  CCriticalSectionGuard lock(m_lock);
  std::vector<void*> sinks;
  for (const Entry& e : m_entries)
    if (accept(e.handle) && std::find(sinks.begin(), sinks.end(), e.sink) == sinks.end()) sinks.push_back(e.sink);
  for (void* sink : sinks) {
    if (!Contains(sink)) continue;  // removed while an earlier sink was called
    m_calling = sink;
    m_callingThread = GetCurrentThreadId();
    {
      CCriticalSectionUnguard unlocked(m_lock);
      Quietly([&] { call(sink); });
    }
    m_calling = nullptr;
    m_callingThread = 0;
    WakeAllConditionVariable(&m_idle);
  }
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
  CCriticalSectionGuard lock(m_lock);
  m_blocks.insert(std::lower_bound(m_blocks.begin(), m_blocks.end(), block), block);
}

bool CHandedOut::Take(const void* block) {
  CCriticalSectionGuard lock(m_lock);
  auto it = std::lower_bound(m_blocks.begin(), m_blocks.end(), block);
  bool known = it != m_blocks.end() && *it == block;
  if (known) m_blocks.erase(it);
  return known;
}

WCHAR* HandOutString(const std::wstring& text) {
  WCHAR* copy = HandOutArray<WCHAR>(text.size() + 1);
  std::copy(text.begin(), text.end(), copy);
  return copy;
}

}  // namespace PhoneSim
