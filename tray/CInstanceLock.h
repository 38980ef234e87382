#pragma once
#include <windows.h>
#include <string>
#include "CSyncEvent.h"
#include "CThread.h"
#include "ZCLHandle.h"

// One instance per logon: a named mutex, and a named event on which the
// running instance's watcher thread waits for a stop request.
// Owned by the program's main thread; the watcher thread runs Run and the
// callback, which is set before the watcher starts.
class CInstanceLock : public CThreadImpl<CInstanceLock> {
public:
  typedef void (*Callback)(const wchar_t* text);

  // Scope 0 names the objects in "Global\", 1 in "Local\", any other value
  // without a prefix. Throws ZCLException (the system error code) when the
  // event cannot be created or opened.
  CInstanceLock(const wchar_t* baseName, int scope);
  ~CInstanceLock() override;

  // True only when this process created the mutex; a stop request left
  // behind by an ending instance is then cleared.
  bool TryAcquire();
  bool SetCallback(Callback callback);
  void StartWatcher();
  // Sets the event; false when that fails. The text is not used.
  bool SignalOtherInstance(const wchar_t* text);
  // Waits for the watcher's end; true when it has ended.
  bool WaitForWatcher(DWORD milliseconds) { return GetThreadHandle().WaitFor(milliseconds); }

  // The watcher: one wait for the event, then the callback.
  DWORD Run();

private:
  std::wstring ObjectName(const wchar_t* suffix) const;

  CHandle m_mutex;
  bool m_owned = false;
  CSyncEvent m_event;
  std::wstring m_baseName;
  int m_scope;
  Callback m_callback = nullptr;
};
