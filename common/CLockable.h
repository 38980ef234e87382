#pragma once
#include <windows.h>

class ILockable {
public:
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

// A critical section; the owning thread may lock it again.
class CLockable : public ILockable {
public:
  CLockable() { InitializeCriticalSection(&m_cs); }
  ~CLockable() { DeleteCriticalSection(&m_cs); }
  void Lock() override { EnterCriticalSection(&m_cs); }
  void Unlock() override { LeaveCriticalSection(&m_cs); }

private:
  CLockable(const CLockable&) = delete;
  CLockable& operator=(const CLockable&) = delete;
  CRITICAL_SECTION m_cs;
};

class CLockGuard {
public:
  explicit CLockGuard(ILockable* lockable) : m_lockable(lockable) {
    if (m_lockable) m_lockable->Lock();
  }
  ~CLockGuard() { Release(); }
  void Release() {
    if (m_lockable) {
      m_lockable->Unlock();
      m_lockable = nullptr;
    }
  }

private:
  CLockGuard(const CLockGuard&) = delete;
  CLockGuard& operator=(const CLockGuard&) = delete;
  ILockable* m_lockable;
};

// Holds a bare critical section for one scope, for code that keeps its lock
// as a plain CRITICAL_SECTION (statics, records shared with C callers).
class CCriticalSectionGuard {
public:
  explicit CCriticalSectionGuard(CRITICAL_SECTION& cs) : m_cs(&cs) { EnterCriticalSection(m_cs); }
  ~CCriticalSectionGuard() { Release(); }
  void Release() {
    if (m_cs) {
      LeaveCriticalSection(m_cs);
      m_cs = nullptr;
    }
  }

private:
  CCriticalSectionGuard(const CCriticalSectionGuard&) = delete;
  CCriticalSectionGuard& operator=(const CCriticalSectionGuard&) = delete;
  CRITICAL_SECTION* m_cs;
};

// The inverse: leaves a held critical section for one scope, for a call out
// (a library, a client) that must not run under it.
class CCriticalSectionUnguard {
public:
  explicit CCriticalSectionUnguard(CRITICAL_SECTION& cs) : m_cs(cs) { LeaveCriticalSection(&m_cs); }
  ~CCriticalSectionUnguard() { EnterCriticalSection(&m_cs); }

private:
  CCriticalSectionUnguard(const CCriticalSectionUnguard&) = delete;
  CCriticalSectionUnguard& operator=(const CCriticalSectionUnguard&) = delete;
  CRITICAL_SECTION& m_cs;
};
