#pragma once
#include <windows.h>
#include "ZCLHandle.h"

// Owner of one Win32 event. Every failure of the platform call throws a
// ZCLException whose code is the system's error code (GetLastError).
// Set, Reset and Wait may be called from any thread; Create and Close only
// while no other thread uses the event.
class CSyncEvent {
public:
  CSyncEvent() = default;

  // Unnamed, initially not signalled; auto-reset unless asked otherwise.
  void Create(bool manualReset = false);
  // Named manual-reset event, initially not signalled; opens the existing
  // event when another process made it.
  void CreateNamed(const wchar_t* name);

  void Set();
  void Reset();
  // False on time-out, true once signalled; throws when the wait fails.
  bool Wait(DWORD milliseconds);
  void Close();

  // The raw handle, for waits on several objects; the invalid-handle value
  // when there is none.
  HANDLE Handle() const { return m_handle ? m_handle.Get() : INVALID_HANDLE_VALUE; }
  bool IsCreated() const { return m_handle.IsValid(); }

private:
  CSyncEvent(const CSyncEvent&) = delete;
  CSyncEvent& operator=(const CSyncEvent&) = delete;
  void Assign(HANDLE handle);
  void CheckCreated() const;
  CHandle m_handle;
};

// An unnamed auto-reset event that exists from construction to destruction.
class CEventHandle {
public:
  CEventHandle() { m_event.Create(); }  // throws ZCLException
  // Milliseconds, or INFINITE (-1) for no time-out; true once signalled,
  // false on time-out or failure.
  bool Wait(DWORD milliseconds);
  bool Set() { return SetEvent(m_event.Handle()) != FALSE; }
  HANDLE Handle() const { return m_event.Handle(); }

private:
  CSyncEvent m_event;
};
