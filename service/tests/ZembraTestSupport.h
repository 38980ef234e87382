#pragma once
#include <windows.h>
#include "CTaskBase.h"
#include "ComTL.h"
#include "SZembra.h"
#include "CRecordingCallback.h"
#include "TestModule.h"

// Holds the task queue until opened, so a test sees the state between a
// call and the task it queued.
class CGateTask : public CTaskBase {
public:
  explicit CGateTask(HANDLE open) : m_open(open) {}
  void Execute() override { ::WaitForSingleObject(m_open, 10000); }
  bool IsAutoDelete() override { return true; }

private:
  HANDLE m_open;
};

class CManualEvent {
public:
  CManualEvent() : m_handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~CManualEvent() { ::CloseHandle(m_handle); }
  HANDLE Get() const { return m_handle; }
  void Set() { ::SetEvent(m_handle); }
  void Reset() { ::ResetEvent(m_handle); }

private:
  HANDLE m_handle;
};
