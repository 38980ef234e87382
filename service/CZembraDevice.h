#pragma once
#include <windows.h>
#include <atomic>
#include <memory>
#include <string>
#include "CLockable.h"
#include "CZembraContact.h"
#include "CZembraDb.h"
#include "CZembraDeviceInfo.h"
#include "CZembraSMS.h"
#include "IZembraDevice.h"

// One phone the service has seen: its identity and state, its local
// database in its own data folder, and, while the phone is online, the
// implementation that reaches it.
//
// Shared by the device manager's thread (attaches and detaches the
// implementation, sets the state) and the task-queue thread (operations and
// tasks); any thread may read the state. One re-entrant lock per device
// orders the attachment against the forwarded calls, local changes and
// selections, so an implementation is never replaced under a running sync.
// It is held across calls into the phone libraries on purpose: the
// libraries' notification threads never take it (they queue tasks, or use
// the database's own lock), so no cycle can close through it. A long first
// sync does not stall other phones' work: the device manager attaches the
// implementation while the state says DeviceConnecting, and operations
// check the atomic state, without this lock, and refuse a connecting phone
// instead of waiting for it. It is never held across a client callback.
class CZembraDevice : public CZembraDeviceInfo, public IZembraDevice {
public:
  CZembraDevice();
  ~CZembraDevice() override;

  // Copies serial number, model name, friendly name, manufacturer,
  // Bluetooth name and state; the detail texts stay.
  void SetDeviceInfo(const CZembraDeviceInfo& info);
  CZembraDeviceInfo& DeviceInfo(CZembraDeviceInfo& out);

  // Takes ownership. The current implementation is uninitialised first, and
  // deleted unless it is the same object. Returns the new one's Initialize,
  // or true for null.
  bool SetDeviceImpl(CZembraDeviceImpl* impl);
  // Without the lock: an apartment thread that asks must not wait out a
  // start-up or tear-down that calls into its apartment.
  bool HasDeviceImpl();

  std::wstring GetDataFolder();
  // Opens (or creates) "OrvexDialix.db" in the folder.
  void SetDataFolder(const wchar_t* folder);

  // Local changes made on the PC; a null record does nothing.
  virtual void UpdateContact(CZembraContact* contact);
  virtual void DeleteContact(CZembraContact* contact);
  virtual void UpdateSms(CZembraSMS* sms);
  virtual void DeleteSms(CZembraSMS* sms, int deletedState);
  virtual void MarkSmsAsRead(CZembraSMS* sms);

  bool CallControlEnabled() override;
  bool EventLogEnabled() override;
  void SendMessage(const wchar_t* number, const wchar_t* text) override;
  void SyncContactsFromPhone() override;
  void SyncContactsToPhone() override;
  void SelectContacts(IZembraDbCB* callback) override;
  void SyncSmsFromPhone() override;
  void SyncSmsToPhone() override;
  void SelectSms(IZembraDbCB* callback) override;
  void MarkSmsAsRead(Trelk::CUid uid) override;
  void SyncEvents() override;
  void SelectEvents(IZembraDbCB* callback) override;

  // The local database; the message-received task stores into it directly.
  CZembraDb m_db;

private:
  CZembraDevice(const CZembraDevice&) = delete;
  CZembraDevice& operator=(const CZembraDevice&) = delete;
  // The implementation, or "Not implemented!" when the phone is offline.
  CZembraDeviceImpl& RequireImpl();
  // One of the synchronisations, under the device's lock.
  void Forward(const char* name, void (IZembraDevice::*sync)());

  ZCLObjectTracer<CZembraDevice> m_tracer;
  CLockable m_lock;
  std::unique_ptr<CZembraDeviceImpl> m_impl;
  std::atomic<bool> m_hasImpl{false};
  std::wstring m_dataFolder;
};

typedef std::shared_ptr<CZembraDevice> CZembraDevicePtr;
