#include <windows.h>
#include "CZembraSync.h"
#include "SyncSupport.h"
#include "ZCLFrame.h"
#include "ZCLLogger.h"
#include "ZCLText.h"

using ZembraSync::LogFailure;
using ZembraSync::Progress;

CZembraSync::CZembraSync(const wchar_t* deviceId, CZembraDb* db, const wchar_t* pictureFolder)
    : m_db(db),
      m_contacts(ZCLNullToEmpty(deviceId), db, ZCLNullToEmpty(pictureFolder), m_contentAccess),
      m_messages(ZCLNullToEmpty(deviceId), db, m_contentAccess),
      m_callLog(ZCLNullToEmpty(deviceId), db, m_eventLog),
      m_syncLock(CreateMutexW(nullptr, FALSE, nullptr)) {
  ZCLThrowOnFalse(m_syncLock.IsValid(), ZCL_POS + " The sync lock cannot be made");
  InitTrelk();
}

// The handles close before the libraries end.
CZembraSync::~CZembraSync() {
  ZCLGuarded(2, ZCL_SITE, [&] {
    m_contacts.Close();
    m_messages.Close();
    m_callLog.Close();
  });
  ZCLGuarded(2, ZCL_SITE, [&] { UninitTrelk(); });
}

// A failure ends the construction: the libraries' own destructors end an
// initialisation that went through.
void CZembraSync::InitTrelk() {
  ZCLScopeTracer trace("CZembraSync::InitTrelk");
  try {
    m_contentAccess.Initialize();
    m_eventLog.Initialize();
  } catch (const ZCLException& e) {
    LogFailure(e);
    throw;
  } catch (...) {
    ZCLThrowOnFalse(false, ZCL_POS + " Unhandled exception!");
  }
}

void CZembraSync::UninitTrelk() {
  ZCLScopeTracer trace("CZembraSync::UninitTrelk");
  m_contentAccess.Terminate();
  m_eventLog.Terminate();
}

void CZembraSync::CheckLock(const CMutexGuard& lock) {
  ZCLThrowOnError(lock.IsHeld() ? 0 : WAIT_TIMEOUT, ZCL_POS + " Another sync of this phone is still running");
}

void CZembraSync::SyncContactsFromPhone() {
  CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
  Progress("Starting contact sync FROM phone...");
  try {
    CheckLock(lock);
    m_contacts.FromPhone();
  } catch (const ZCLException& e) {
    LogFailure(e);
  }
  Progress("Contact sync FROM phone finished");
}

void CZembraSync::SyncContactsToPhone() {
  CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
  Progress("Starting sync TO phone...");
  CheckLock(lock);
  if (m_db) {
    m_db->SelectUpdatedLocalContacts(this);
    m_db->SelectNewLocalContacts(this);
    m_db->SelectDeletedLocalContacts(this);
  }
  Progress("Sync TO phone finished");
}

void CZembraSync::SelectUpdatedLocalContactsCB(CZembraContact* contact) {
  Progress("SelectUpdatedLocalContactsCB: Updating item...");
  m_contacts.WriteToPhone(*contact);
  Progress("SelectUpdatedLocalContactsCB: Updating finished");
}

void CZembraSync::SelectContactsCB(CZembraContact*) {}

void CZembraSync::SelectNewLocalContactsCB(CZembraContact* contact) {
  Progress("SelectNewLocalContactsCB: Writing new item...");
  m_contacts.WriteToPhone(*contact);
  Progress("SelectNewLocalContactsCB: Writing finished");
}

bool CZembraSync::SelectDeletedLocalContactsCB(CZembraContact* contact) {
  Progress("SelectDeletedLocalContactsCB: Deleting item..");
  return m_contacts.DeleteFromPhone(*contact);
}

void CZembraSync::SyncSmsFromPhone() {
  CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
  Progress("Starting SMS sync FROM phone...");
  CheckLock(lock);
  m_messages.FromPhone();
}

void CZembraSync::SyncSmsToPhone() {
  CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
  Progress("Syncing SMSes TO phone");
  CheckLock(lock);
  if (m_db) {
    m_db->SelectDeletedSms(this);
    m_messages.SyncReadMarks();
  }
  Progress("SMS sync TO phone finished");
}

bool CZembraSync::SelectDeletedSmsCB(CZembraSMS* sms) {
  ZCLScopeTracer trace("CZembraSync::SelectDeletedSmsCB");
  return m_messages.DeleteFromPhone(*sms);
}

void CZembraSync::SelectSmsCB(CZembraSMS*) {}

void CZembraSync::SyncEvents() {
  try {
    CMutexGuard lock(m_syncLock.Get(), SyncWaitMs);
    CheckLock(lock);
    m_callLog.FromPhone();
  } catch (const ZCLException& e) {
    LogFailure(e);
  } catch (...) {
    ZCLLogCaughtHere(1, ZCL_SITE);
  }
}

void CZembraSync::SelectEventsCB(CZembraEventLog*) {}
