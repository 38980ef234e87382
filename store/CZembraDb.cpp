#include <windows.h>
#include "CZembraDb.h"
#include <sqlite3.h>
#include "ZCLLogger.h"
#include "ZCLText.h"

// The connection's life: open, schema check, reopen after a failure, close.
// The SQL texts are in CZembraDbStatements.cpp; the operations in
// CZembraDbContacts.cpp, CZembraDbMessages.cpp and CZembraDbCallLog.cpp.

namespace {

const int kBusyTimeoutMs = 5000;

}  // namespace

CZembraDb::CZembraDb() {}

CZembraDb::~CZembraDb() { Close(); }

bool CZembraDb::IsOpen() {
  CLockGuard guard(&m_lock);
  return m_db.IsValid();
}

void CZembraDb::Open(const wchar_t* path) { Open(ZCLWideToUtf8(path).c_str()); }

void CZembraDb::Open(const char* utf8Path) {
  CLockGuard guard(&m_lock);
  OpenLocked(ZCLNullToEmpty(utf8Path));
}

void CZembraDb::OpenLocked(const std::string& path) {
  // The path may be our own member: copy before anything changes it.
  std::string target = path;
  CloseConnection();
  m_path = target;
  try {
    if (m_path.empty()) {
      // SQLite would open a private temporary file and lose everything at close.
      throw ZCLSqlException("no database path", SQLITE_CANTOPEN);
    }
    ZembraSqliteHeap();  // before SQLite's first use, wherever a program opens its first store
    // A failed open still hands out a connection to close.
    int rc = sqlite3_open(m_path.c_str(), m_db.Put());
    ZCLSqlThrowOnFail(rc, m_db.Get());
    // A reader such as the sqlite3 tool holds its lock for a moment: wait
    // for it rather than fail the write and tear the connection down.
    sqlite3_busy_timeout(m_db.Get(), kBusyTimeoutMs);
    CheckDatabase();
    EnsureContactNumbers();
    EnsurePendingTables();
    PrepareStatements();
    PrepareNumberStatements();
  } catch (const ZCLSqlException& e) {
    CloseConnection();
    ZCLLogMessage(2, nullptr).Print("%s", e.GetMessageText().c_str());
  }
}

void CZembraDb::CheckDatabase() {
  if (sqlite3_exec(m_db.Get(), "SELECT id FROM contacts_local", nullptr, nullptr, nullptr) == SQLITE_OK) return;
  ZCLLogMessage(4, nullptr).Print("Database check failed, trying to create tables");
  CreateTables();
}

void CZembraDb::Prepare(const char* sql, Statement which) {
  int rc = sqlite3_prepare_v2(m_db.Get(), sql, -1, m_statements[which].Put(), nullptr);
  ZCLSqlThrowOnFail(rc, m_db.Get());
}

sqlite3_stmt* CZembraDb::Stmt(Statement which) {
  if (which >= kFirstSyncStatement && !m_statements[which]) PrepareSyncStatement(which);
  return m_statements[which].Get();
}

// Each run of a statement ends in a reset, so a failed finalize means
// something else went badly wrong, and is logged.
void CZembraDb::FinalizeStatements() {
  for (CSqliteStatement& s : m_statements)
    if (s && sqlite3_finalize(s.Detach()) != SQLITE_OK)
      ZCLLogMessage(5, nullptr).Print("Statement finalization failed, something horrid is going on!");
}

void CZembraDb::CloseConnection() {
  if (!m_db) return;
  if (m_batchOpen) {
    // Closing rolls the batch's transaction back.
    m_batchOpen = false;
    m_batchBroken = true;
  }
  FinalizeStatements();
  m_db.Reset();
}

void CZembraDb::Close() {
  CLockGuard guard(&m_lock);
  CloseConnection();
  m_path.clear();
}

void CZembraDb::Reset(const std::string& cause) {
  ZCLLogMessage(5, nullptr).Print("Resetting Database. Cause: %s", cause.c_str());
  CloseConnection();
  // One reopen per failing operation: a file that keeps failing must not
  // turn every failure into a loop of reopens.
  if (m_reopenTried || m_path.empty()) return;
  m_reopenTried = true;
  OpenLocked(m_path);
}

void CZembraDb::OnSqlError(ZCLSqlException e) {
  ZCLLogMessage(2, nullptr).Print("SQL ERROR: %s", e.GetMessageText().c_str());
  int code = e.GetResultCode();
  if (code == SQLITE_LOCKED || code == SQLITE_BUSY || code == SQLITE_MISUSE) Reset(e.GetMessageText());
  throw e;
}
