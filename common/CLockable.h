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
