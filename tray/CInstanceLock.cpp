#include <windows.h>
#include "CInstanceLock.h"
#include "ZCLFrame.h"
#include "ZCLText.h"

CInstanceLock::CInstanceLock(const wchar_t* baseName, int scope)
    : m_baseName(ZCLNullToEmpty(baseName)), m_scope(scope) {
  m_event.CreateNamed(ObjectName(L"-event").c_str());
}

CInstanceLock::~CInstanceLock() {
  // The watcher looks at nothing but the event: wake it, or the base's
  // unbounded wait for the thread would never end.
  if (GetThreadHandle().IsRunning()) {
    ZCLGuarded(3, ZCL_SITE, [this] { m_event.Set(); });
    GetThreadHandle().Wait();
  }
  m_mutex.Reset();
  m_event.Close();
}

std::wstring CInstanceLock::ObjectName(const wchar_t* suffix) const {
  const wchar_t* prefix = m_scope == 0 ? L"Global\\" : m_scope == 1 ? L"Local\\" : L"";
  return prefix + m_baseName + suffix;
}

bool CInstanceLock::TryAcquire() {
  m_mutex.Reset();
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, ObjectName(L"-instance").c_str());
  m_owned = mutex && ::GetLastError() != ERROR_ALREADY_EXISTS;
  m_mutex.Reset(mutex);
  // A "-stop" aimed at an instance that was already ending may have left the
  // event set; it must not end this one at once.
  if (m_owned) m_event.Reset();
  return m_owned;
}

bool CInstanceLock::SetCallback(Callback callback) {
  m_callback = callback;
  return true;
}

void CInstanceLock::StartWatcher() {
  if (!GetThreadHandle().IsRunning()) StartThread(0);
}

bool CInstanceLock::SignalOtherInstance(const wchar_t*) {
  return ZCLGuarded(4, ZCL_SITE, [this] { m_event.Set(); });
}

DWORD CInstanceLock::Run() {
  DWORD result = static_cast<DWORD>(-1);
  ZCLGuarded(3, ZCL_SITE, [&] {
    HANDLE handles[] = {m_event.Handle()};
    if (::WaitForMultipleObjects(1, handles, FALSE, INFINITE) == WAIT_FAILED) return;
    m_event.Reset();
    if (m_callback) m_callback(L"");
    result = 0;
  });
  return result;
}
