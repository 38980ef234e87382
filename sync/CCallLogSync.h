#pragma once
#include <windows.h>
#include <string>
#include "CEventLog.h"
#include "CZembraDb.h"

// The call log of one phone into the database. The engine's part behind
// CZembraSync, which runs it under its sync lock on one thread at a time.
class CCallLogSync {
public:
  CCallLogSync(const std::wstring& serial, CZembraDb* db, Trelk::CEventLog& library);

  // Stores every entry the phone hands out; a failure passes.
  void FromPhone();
  void Close() { m_connection.Close(); }

private:
  CCallLogSync(const CCallLogSync&) = delete;
  CCallLogSync& operator=(const CCallLogSync&) = delete;

  void CheckConnection();

  std::wstring m_serial;
  CZembraDb* m_db;
  Trelk::CEventLog& m_library;
  Trelk::CEventLogConnection m_connection;
};
