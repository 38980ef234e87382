#pragma once
#include <windows.h>
#include <atomic>
#include <functional>
#include <vector>
#include <memory>
#include <string>
#include "CGlobalQueue.h"
#include "CLockable.h"
#include "CZembraContact.h"
#include "CZembraDb.h"
#include "CZembraDeviceInfo.h"
#include "CZembraSMS.h"
#include "CZembraSync.h"
#include "IZembraDevice.h"

// One phone the service has seen: its identity and state, its local
// database in its own data folder, and, while the phone is online, the
// implementation that reaches it.
//
// Every piece of the phone's work (attaching and detaching the
// implementation, syncs, sending, read marking) runs in order on the phone's
// own queue thread, started at its first piece of work; the caller waits for
// it, bounded, and the work holds no lock, so nothing that only reads the
// phone waits behind a sync: the data folder and the database, set once at
// start-up, and the flags below are read from any thread without it. The
// implementation is touched on the queue thread only. Any thread may call
// every public member; the device manager's thread attaches and detaches.
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
  // Never waits: an apartment thread that asks must not wait out a start-up
  // or tear-down that calls into its apartment.
  bool HasDeviceImpl();

  std::wstring GetDataFolder();
  // Opens (or creates) "OrvexDialix.db" in the folder.
  void SetDataFolder(const wchar_t* folder);

  // Runs the work on the phone's queue after the phone's earlier work and
  // waits for its end, bounded; its failure is rethrown here. Inline when
  // called on that queue (the implementation's start-up syncs through it).
  // The work owns what it uses: a caller that gave up waiting is gone.
  void RunOnPhone(std::function<void()> work);

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

  // A received message goes in unless one of its uid is stored already:
  // false when it was there.
  bool StoreReceivedSms(CZembraSMS& sms);
  // The stored contacts with the number, best match first.
  std::vector<CZembraContact> FindContactsByNumber(const wchar_t* number);
  // The phone's sync engine over the local database and the data folder.
  std::unique_ptr<CZembraSync> NewSync(const wchar_t* serialNumber);
  // Tests seed and read the local database directly.
  CZembraDb& StoreForTests() { return m_db; }

private:
  CZembraDevice(const CZembraDevice&) = delete;
  CZembraDevice& operator=(const CZembraDevice&) = delete;
  // Queue thread only: the implementation, or "Not implemented!" when the
  // phone is offline.
  CZembraDeviceImpl& RequireImpl();
  // One of the synchronisations, on the phone's queue.
  void Forward(const char* name, void (IZembraDevice::*sync)());
  bool OnPhoneQueue();

  ZCLObjectTracer<CZembraDevice> m_tracer;
  CLockable m_lock;  // the data folder and the queue's start; held across no work
  std::unique_ptr<CGlobalQueue> m_queue;        // guarded by m_lock
  std::atomic<DWORD> m_queueThread{0};
  std::unique_ptr<CZembraDeviceImpl> m_impl;  // queue thread only
  std::atomic<bool> m_hasImpl{false};
  // The attached implementation's answers, taken after its start-up.
  std::atomic<bool> m_callControl{false};
  std::atomic<bool> m_eventLog{false};
  std::wstring m_dataFolder;  // guarded by m_lock
  CZembraDb m_db;  // locks itself
};

typedef std::shared_ptr<CZembraDevice> CZembraDevicePtr;
