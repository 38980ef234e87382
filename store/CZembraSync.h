#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "CZembraDb.h"
#include "IZembraDbCB.h"
#include "ZCLHandle.h"

// The sync engine of one phone: contacts both ways (with their pictures),
// text messages from the phone and their deletions to it, and the call log
// into the database. Talks to the content-access and event-log libraries
// through the binding's entries.
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

  // What the engine keeps of a folder-information record: copies only, the
  // library's structure is freed at once (the library may be unloaded).
  struct FolderInfo {
    DWORD folderId = 0;
    std::vector<DWORD> subFolders;
  };

  void InitTrelk();
  void UninitTrelk();
  void CloseHandles();
  void CheckContactConnection();
  void CheckSmsConnection();
  void CheckEventsConnection();
  // Opens a content handle and reads its folder information; lines: the
  // progress lines before and after the open and the information read.
  void OpenContent(DWORD type, DWORD* handle, FolderInfo* info, const char* const lines[4]);
  void ReadFolderInfo(DWORD handle, FolderInfo* info, const char* callingLine, const char* calledLine);

  // What the pass already knows of the contact's phone copy, read once for
  // the pass: the rows have no index on phone_id to ask row by row.
  enum class KnownCopy { Unknown, Absent, Unchanged, Changed };
  void SyncContactFromPhone(CZembraContact& contact, KnownCopy known = KnownCopy::Unknown, int copyId = -1);
  void WriteImageFile(CZembraContact& contact);
  void WriteContactToPhone(CZembraContact& contact);
  bool DeleteContactFromPhone(CZembraContact& contact);
  bool AdoptOwnWrite(const CZembraContact& contact);

  void ReadSmsFromPhone();
  void DeleteNonExistingSms();
  bool DeleteSmsFromPhone(CZembraSMS& sms);
  void SyncSmsReadMarks();
  bool MarkSmsReadOnPhone(const Trelk::CUid& uid);

  CZembraDb* m_db;
  std::wstring m_deviceId;
  std::wstring m_pictureFolder;
  bool m_contentInitialised = false;
  bool m_eventLogInitialised = false;
  DWORD m_contacts = 0;
  DWORD m_messages = 0;
  DWORD m_eventLog = 0;
  FolderInfo m_contactsFolder;
  FolderInfo m_messagesFolder;
  // The PC's new contacts whose write is unconfirmed, as the current
  // from-phone sync found them; each is taken by one phone contact at most.
  std::vector<CZembraDb::ContactWrite> m_ownWrites;
  // Set by a per-contact failure of the current from-phone sync.
  bool m_contactFailed = false;
  // Set when a message folder could not be listed in the current read.
  bool m_smsFolderSkipped = false;
  CHandle m_syncLock;
};
