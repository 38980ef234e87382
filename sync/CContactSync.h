#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "CContentAccess.h"
#include "CZembraDb.h"

// The contacts of one phone both ways, with their pictures: the engine's
// part behind CZembraSync, which runs it under its sync lock on one thread
// at a time.
class CContactSync {
public:
  CContactSync(const std::wstring& serial, CZembraDb* db, const std::wstring& pictureFolder,
               Trelk::CContentAccess& access);

  // Reads every phone contact into the database, then purges the contacts
  // the phone no longer holds. A failure passes and purges nothing; one
  // contact's failure is logged and keeps every contact.
  void FromPhone();
  // One local contact, new or edited, to the phone; failures are logged.
  void WriteToPhone(CZembraContact& contact);
  // True when the contact is gone from the phone (or never reached it).
  bool DeleteFromPhone(CZembraContact& contact);
  void Close() { m_connection.Close(); }

private:
  CContactSync(const CContactSync&) = delete;
  CContactSync& operator=(const CContactSync&) = delete;

  // What the pass already knows of the contact's phone copy, read once for
  // the pass: the rows have no index on phone_id to ask row by row.
  enum class KnownCopy { Unknown, Absent, Unchanged, Changed };
  void CheckConnection();
  void SyncContactFromPhone(CZembraContact& contact, KnownCopy known = KnownCopy::Unknown, int copyId = -1);
  void WriteImageFile(CZembraContact& contact);
  bool AdoptOwnWrite(const CZembraContact& contact);

  std::wstring m_serial;
  CZembraDb* m_db;
  std::wstring m_pictureFolder;
  Trelk::CContentAccess& m_access;
  Trelk::CContactConnection m_connection;
  Trelk::CFolderInfo m_folder;
  // The PC's new contacts whose write is unconfirmed, as the current
  // from-phone sync found them; each is taken by one phone contact at most.
  std::vector<CZembraDb::ContactWrite> m_ownWrites;
  // Set by a per-contact failure of the current from-phone sync.
  bool m_contactFailed = false;
};
