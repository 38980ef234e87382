#pragma once
#include <windows.h>
#include <string>
#include "CCallLogSync.h"
#include "CContactSync.h"
#include "CContentAccess.h"
#include "CEventLog.h"
#include "CMessageSync.h"
#include "CZembraDb.h"
#include "IZembraDbCB.h"
#include "ZCLHandle.h"

// The sync engine of one phone: contacts both ways (with their pictures),
// text messages from the phone and their deletions to it, and the call log
// into the database, each in a part of its own behind this face.
//
// Created and destroyed by the phone's device implementation; its Sync
// entries may be called from the device manager's and the task-queue
// threads: each takes the engine's own lock, so one sync of this phone runs
// at a time. That lock is never taken by the libraries' notification threads,
// and a second sync waits for it only a bounded time.
class CZembraSync : public IZembraDbCB {
public:
  // Opens nothing yet: the handles open on the first sync that needs them.
  // Throws ZCLException when either library family does not initialise.
  CZembraSync(const wchar_t* deviceId, CZembraDb* db, const wchar_t* pictureFolder);
  virtual ~CZembraSync();

  void SyncContactsFromPhone();
  void SyncContactsToPhone();
  void SyncSmsFromPhone();  // may throw
  void SyncSmsToPhone();    // exceptions of the database pass
  void SyncEvents();        // never throws

  // The database's callbacks.
  void SelectUpdatedLocalContactsCB(CZembraContact* contact) override;
  void SelectContactsCB(CZembraContact* contact) override;
  void SelectNewLocalContactsCB(CZembraContact* contact) override;
  bool SelectDeletedLocalContactsCB(CZembraContact* contact) override;
  bool SelectDeletedSmsCB(CZembraSMS* sms) override;
  void SelectSmsCB(CZembraSMS* sms) override;
  void SelectEventsCB(CZembraEventLog* entry) override;

  // How long a sync waits for another sync of the same phone to end.
  static const DWORD SyncWaitMs = 10 * 60 * 1000;

private:
  CZembraSync(const CZembraSync&) = delete;
  CZembraSync& operator=(const CZembraSync&) = delete;

  void InitTrelk();
  void UninitTrelk();
  // Throws when another sync of this phone did not end in time.
  void CheckLock(const CMutexGuard& lock);

  CZembraDb* m_db;
  // Before the parts: their handles close before the libraries end.
  Trelk::CContentAccess m_contentAccess;
  Trelk::CEventLog m_eventLog;
  CContactSync m_contacts;
  CMessageSync m_messages;
  CCallLogSync m_callLog;
  CHandle m_syncLock;
};
