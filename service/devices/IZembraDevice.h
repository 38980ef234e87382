#pragma once
#include <windows.h>
#include "CUid.h"
#include "IZembraDbCB.h"
#include "ZCLLogger.h"

// The per-phone operations: synchronisation with the phone, selections from
// its local database, sending and marking messages. Implemented by the
// device object, which forwards to the phone's implementation while the
// phone is online.
class IZembraDevice {
public:
  virtual ~IZembraDevice() {}
  virtual bool CallControlEnabled() = 0;
  virtual bool EventLogEnabled() = 0;
  virtual void SendMessage(const wchar_t* number, const wchar_t* text) = 0;
  virtual void SyncContactsFromPhone() = 0;
  virtual void SyncContactsToPhone() = 0;
  virtual void SelectContacts(IZembraDbCB* callback) = 0;
  virtual void SyncSmsFromPhone() = 0;
  virtual void SyncSmsToPhone() = 0;
  virtual void SelectSms(IZembraDbCB* callback) = 0;
  virtual void MarkSmsAsRead(Trelk::CUid uid) = 0;
  virtual void SyncEvents() = 0;
  virtual void SelectEvents(IZembraDbCB* callback) = 0;

private:
  ZCLObjectTracer<IZembraDevice> m_tracer;
};

// The online connection to one phone, attached to its device object by the
// device manager while the phone is connected.
class CZembraDeviceImpl : public IZembraDevice {
public:
  virtual bool Initialize() = 0;
  virtual void Uninitialize() = 0;
};
