#pragma once
#include <windows.h>
#include <io.h>
#include <cstdint>
#include <utility>

// One owner for every kind of system handle: the traits say what an empty
// value is and how the handle is given back. Move-only; the destructor frees.
template <class Traits>
class CUniqueHandle {
public:
  typedef typename Traits::Type Type;

  CUniqueHandle() : m_value(Traits::Empty()) {}
  explicit CUniqueHandle(Type value) : m_value(value) {}
  ~CUniqueHandle() { Reset(); }
  CUniqueHandle(CUniqueHandle&& other) noexcept : m_value(other.Detach()) {}
  CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }

  Type Get() const { return m_value; }
  bool IsValid() const { return Traits::IsValid(m_value); }
  explicit operator bool() const { return IsValid(); }

  // Frees what is held, then holds the new value.
  void Reset(Type value = Traits::Empty()) {
    Type old = m_value;
    m_value = value;
    if (Traits::IsValid(old)) Traits::Free(old);
  }
  // Gives up ownership without freeing.
  Type Detach() {
    Type value = m_value;
    m_value = Traits::Empty();
    return value;
  }
  // For out-parameters of creating calls: frees what is held first.
  Type* Put() {
    Reset();
    return &m_value;
  }

private:
  CUniqueHandle(const CUniqueHandle&) = delete;
  CUniqueHandle& operator=(const CUniqueHandle&) = delete;
  Type m_value;
};

// Kernel objects: events, mutexes, files, threads. Both null and the
// invalid-handle value mean "none", since creating calls disagree.
struct ZCLKernelHandleTraits {
  typedef HANDLE Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Free(Type h) { ::CloseHandle(h); }
};

struct ZCLRegistryKeyTraits {
  typedef HKEY Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::RegCloseKey(h); }
};

struct ZCLModuleTraits {
  typedef HMODULE Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Free(Type h) { ::FreeLibrary(h); }
};

// FindFirstFileW searches.
struct ZCLFindHandleTraits {
  typedef HANDLE Type;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Free(Type h) { ::FindClose(h); }
};

// The run-time library's _wfindfirst searches; pointer-sized on 64-bit.
struct ZCLCrtFindHandleTraits {
  typedef intptr_t Type;
  static Type Empty() { return -1; }
  static bool IsValid(Type h) { return h != -1; }
  static void Free(Type h) { ::_findclose(h); }
};

typedef CUniqueHandle<ZCLKernelHandleTraits> CHandle;
typedef CUniqueHandle<ZCLRegistryKeyTraits> CRegistryKey;
typedef CUniqueHandle<ZCLModuleTraits> CModuleHandle;
typedef CUniqueHandle<ZCLFindHandleTraits> CFindHandle;
typedef CUniqueHandle<ZCLCrtFindHandleTraits> CCrtFindHandle;

// Holds a mutex from a successful wait until destruction. WAIT_ABANDONED
// also grants ownership: the previous owner died, the lock is ours.
class CMutexGuard {
public:
  CMutexGuard(HANDLE mutex, DWORD milliseconds) : m_mutex(nullptr) {
    DWORD wait = ::WaitForSingleObject(mutex, milliseconds);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) m_mutex = mutex;
  }
  ~CMutexGuard() {
    if (m_mutex) ::ReleaseMutex(m_mutex);
  }
  bool IsHeld() const { return m_mutex != nullptr; }

private:
  CMutexGuard(const CMutexGuard&) = delete;
  CMutexGuard& operator=(const CMutexGuard&) = delete;
  HANDLE m_mutex;
};
