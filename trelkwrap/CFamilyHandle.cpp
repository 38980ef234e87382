#include <windows.h>
#include "CFamilyHandle.h"
#include <algorithm>
#include "CLockable.h"
#include "CTrelkException.h"
#include "ZCLLogger.h"

namespace Trelk {

std::shared_ptr<CFamilyHandle> CFamilyHandle::Create(CLibraryBinding& binding, Closer closer) {
  std::shared_ptr<CFamilyHandle> handle(new CFamilyHandle(binding, std::move(closer)));
  binding.AddReloadListener(handle);
  return handle;
}

CFamilyHandle::CFamilyHandle(CLibraryBinding& binding, Closer closer)
    : m_binding(binding), m_closer(std::move(closer)) {
  InitializeCriticalSection(&m_lock);
  InitializeConditionVariable(&m_reopened);
}

CFamilyHandle::~CFamilyHandle() {
  m_binding.RemoveReloadListener(this);
  DeleteCriticalSection(&m_lock);
}

bool CFamilyHandle::IsCurrent() { return m_generation == m_binding.GetGeneration(); }

void CFamilyHandle::Open(Opener opener) {
  Close();
  DWORD generation = m_binding.GetGeneration();
  DWORD handle = 0;
  TrelkThrowOnFail(opener(&handle));
  CCriticalSectionGuard lock(m_lock);
  m_handle = handle;
  m_generation = generation;
  m_opener = std::move(opener);
  ++m_changes;
}

void CFamilyHandle::Adopt(DWORD handle) {
  CCriticalSectionGuard lock(m_lock);
  m_handle = handle;
  m_generation = m_binding.GetGeneration();
  m_opener = nullptr;
  m_sinks.clear();
  ++m_changes;
}

void CFamilyHandle::Close() {
  DWORD handle = 0;
  {
    CCriticalSectionGuard lock(m_lock);
    if (m_handle == 0) return;
    if (IsCurrent()) handle = m_handle;
    m_handle = 0;
    m_opener = nullptr;
    m_sinks.clear();  // the library drops them with the handle
    ++m_changes;
  }
  if (handle) m_closer(handle);
}

DWORD CFamilyHandle::Peek() {
  CCriticalSectionGuard lock(m_lock);
  return m_handle;
}

DWORD CFamilyHandle::Handle() {
  TrelkThrowOnFail(Reopen());
  return Peek();
}

DWORD CFamilyHandle::HandleOrNone() { return Reopen() == 0 ? Peek() : 0; }

bool CFamilyHandle::HasSink(const void* sink) {
  CCriticalSectionGuard lock(m_lock);
  return std::any_of(m_sinks.begin(), m_sinks.end(), [&](const Sink& s) { return s.sink == sink; });
}

void CFamilyHandle::RegisterSink(const void* sink, Registrar registrar) {
  DWORD handle = Handle();
  TrelkThrowOnFail(registrar(handle, TRELK_NOTIFY_REGISTER));
  CCriticalSectionGuard lock(m_lock);
  m_sinks.push_back(Sink{sink, std::move(registrar)});
  ++m_changes;
}

void CFamilyHandle::UnregisterSink(const void* sink) {
  Registrar registrar;
  DWORD handle = 0;
  {
    CCriticalSectionGuard lock(m_lock);
    auto it = std::find_if(m_sinks.begin(), m_sinks.end(), [&](const Sink& s) { return s.sink == sink; });
    if (it == m_sinks.end()) return;
    registrar = std::move(it->registrar);
    m_sinks.erase(it);
    ++m_changes;
    if (IsCurrent()) handle = m_handle;
    // A reopen that copied the sink may still register it on a new handle
    // before it sees the change and undoes itself.
    const DWORD self = GetCurrentThreadId();
    ULONGLONG deadline = GetTickCount64() + ReopenWaitMs;
    while (!m_reopening.empty() && std::find(m_reopening.begin(), m_reopening.end(), self) == m_reopening.end()) {
      ULONGLONG now = GetTickCount64();
      if (now >= deadline) {
        ZCLLogMessage(1, nullptr, "Trelk: a reopen after a reload did not end; the sink is unregistered without it");
        break;
      }
      SleepConditionVariableCS(&m_reopened, &m_lock, static_cast<DWORD>(deadline - now));
    }
  }
  if (handle) registrar(handle, TRELK_NOTIFY_UNREGISTER);
}

// Opens a handle of the reloaded library and registers the recorded sinks on
// it, with no lock held; keeps it only when the owner changed nothing
// meanwhile (and no other reopen came first), else gives it back.
DWORD CFamilyHandle::Reopen() {
  Opener opener;
  std::vector<Sink> sinks;
  DWORD changes = 0;
  DWORD generation = 0;
  const DWORD self = GetCurrentThreadId();
  {
    CCriticalSectionGuard lock(m_lock);
    if (m_handle == 0 || IsCurrent()) return 0;
    // A handle opened elsewhere cannot be opened again.
    if (!m_opener) return ELNYX_INVALID_HANDLE;
    opener = m_opener;
    sinks = m_sinks;
    changes = m_changes;
    generation = m_binding.GetGeneration();
    m_reopening.push_back(self);
  }
  struct Done {
    CFamilyHandle* handle;
    DWORD self;
    ~Done() {
      CCriticalSectionGuard lock(handle->m_lock);
      handle->m_reopening.erase(std::find(handle->m_reopening.begin(), handle->m_reopening.end(), self));
      WakeAllConditionVariable(&handle->m_reopened);
    }
  } done{this, self};
  DWORD handle = 0;
  DWORD result = opener(&handle);
  if (result != 0) return result;
  for (const Sink& s : sinks) {
    DWORD registered = s.registrar(handle, TRELK_NOTIFY_REGISTER);
    if (registered != 0)
      ZCLLogMessage(1, nullptr, "Trelk: a sink could not be registered again after a reload: 0x%08X",
                    static_cast<unsigned>(registered));
  }
  {
    CCriticalSectionGuard lock(m_lock);
    if (changes == m_changes) {
      m_handle = handle;
      m_generation = generation;
      ++m_changes;
      return 0;
    }
  }
  for (const Sink& s : sinks) s.registrar(handle, TRELK_NOTIFY_UNREGISTER);
  m_closer(handle);
  return 0;
}

void CFamilyHandle::OnLibraryReloaded() {
  DWORD result = Reopen();
  if (result != 0)
    ZCLLogMessage(1, nullptr, "Trelk: a handle could not be opened again after a reload: 0x%08X",
                  static_cast<unsigned>(result));
}

CFamilyHandle::Opener PhoneOpener(const wchar_t* serialNumber,
                                  std::function<DWORD(const wchar_t* serial, DWORD* media, DWORD* handle)> open) {
  const bool given = serialNumber != nullptr;
  const std::wstring serial = given ? serialNumber : L"";
  return [given, serial, open](DWORD* handle) {
    DWORD media = TRELK_OPEN_MEDIA;
    return open(given ? serial.c_str() : nullptr, &media, handle);
  };
}

}  // namespace Trelk
