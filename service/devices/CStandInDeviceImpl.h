#pragma once
#include <windows.h>
#include "IZembraDevice.h"

class CZembraDevice;

// An implementation that comes up at once and reaches nothing on the phone,
// for tests that replace the phone's own: every synchronisation and sending
// answers "Not implemented!"; selections are the device object's own, from
// its database.
class CStandInDeviceImpl : public CZembraDeviceImpl {
public:
  bool Initialize() override { return true; }
  void Uninitialize() override {}
  bool CallControlEnabled() override { return false; }
  bool EventLogEnabled() override { return false; }
  void SendMessage(const wchar_t*, const wchar_t*) override { NotImplemented(); }
  void SyncContactsFromPhone() override { NotImplemented(); }
  void SyncContactsToPhone() override { NotImplemented(); }
  void SelectContacts(IZembraDbCB*) override {}
  void SyncSmsFromPhone() override { NotImplemented(); }
  void SyncSmsToPhone() override { NotImplemented(); }
  void SelectSms(IZembraDbCB*) override {}
  void MarkSmsAsRead(Trelk::CUid) override { NotImplemented(); }
  void SyncEvents() override { NotImplemented(); }
  void SelectEvents(IZembraDbCB*) override {}

private:
  static void NotImplemented();
  ZCLObjectTracer<CStandInDeviceImpl> m_tracer;
};
