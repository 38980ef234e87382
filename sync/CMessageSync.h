#pragma once
#include <windows.h>
#include <string>
#include "CContentAccess.h"
#include "CZembraDb.h"

// The text messages of one phone: read into the database, and the PC's
// deletions and read markings taken to the phone. The engine's part behind
// CZembraSync, which runs it under its sync lock on one thread at a time.
class CMessageSync {
public:
  CMessageSync(const std::wstring& serial, CZembraDb* db, Trelk::CContentAccess& access);

  // Reads the phone's messages, then purges those deleted on the PC that
  // the phone no longer holds; a failure of the read passes.
  void FromPhone();
  // The read markings the phone has not taken yet.
  void SyncReadMarks();
  // True when the message was deleted on the phone.
  bool DeleteFromPhone(CZembraSMS& sms);
  void Close() { m_connection.Close(); }

private:
  CMessageSync(const CMessageSync&) = delete;
  CMessageSync& operator=(const CMessageSync&) = delete;

  void CheckConnection();
  void ReadFromPhone();
  void DeleteNonExisting();
  bool MarkReadOnPhone(const Trelk::CUid& uid);

  std::wstring m_serial;
  CZembraDb* m_db;
  Trelk::CContentAccess& m_access;
  Trelk::CSMSConnection m_connection;
  Trelk::CFolderInfo m_folder;
  // Set when a message folder could not be listed in the current read.
  bool m_folderSkipped = false;
};
