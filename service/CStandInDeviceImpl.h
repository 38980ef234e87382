#pragma once
#include <windows.h>
#include "IZembraDevice.h"

class CZembra;
class CZembraDevice;

// The implementation attached to a connected phone until the phone's own
// one exists: it comes up at once and reaches nothing on the phone. Every
// synchronisation and sending answers "Not implemented!"; selections are the
// device object's own, from its database.
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

// The implementation the device manager attaches to a phone that came
// online. The phone's own implementation, over content access, event log
// and call control, plugs in here.
CZembraDeviceImpl* CreateDeviceImpl(CZembraDevice& device, CZembra* zembra);
