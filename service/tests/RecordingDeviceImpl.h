#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include "CStandInDeviceImpl.h"
#include "ZCLException.h"

// What the operations and tasks asked of a phone's implementation; the
// stand-in answers everything else.
struct PhoneCalls {
  std::atomic<int> contactsToPhone{0};
  std::atomic<int> smsToPhone{0};
  std::atomic<int> marked{0};
  std::wstring markedUid;
  std::atomic<bool> markFails{false};
  std::atomic<int> events{0};
};

class CRecordingImpl : public CStandInDeviceImpl {
public:
  explicit CRecordingImpl(PhoneCalls& calls) : m_calls(calls) {}
  void SyncContactsToPhone() override { ++m_calls.contactsToPhone; }
  void SyncSmsToPhone() override { ++m_calls.smsToPhone; }
  void MarkSmsAsRead(Trelk::CUid uid) override {
    if (m_calls.markFails) ZCLThrowOnError(0x80200007, "TessimReadItem");
    m_calls.markedUid = uid.ToString();
    ++m_calls.marked;
  }
  void SyncEvents() override { ++m_calls.events; }

private:
  PhoneCalls& m_calls;
};
