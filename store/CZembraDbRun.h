#pragma once
#include <windows.h>
#include <sqlite3.h>
#include <string>
#include <utility>
#include <vector>
#include "CZembraDb.h"
#include "ZCLText.h"

// How the operations of CZembraDb run their prepared statements: one run per
// use of a statement, savepoints for changes of several statements, the lock
// and failure frame around each public operation, and the column readers.

namespace ZembraDb {

std::wstring ColumnText16(sqlite3_stmt* s, int column);
std::vector<BYTE> ColumnBlob(sqlite3_stmt* s, int column);

// phone_id as read: NULL and text alike, parsed only once the statement is reset.
struct PhoneIdText {
  bool null = true;
  std::string text;
};

PhoneIdText ColumnPhoneId(sqlite3_stmt* s, int column);
Trelk::CUid ParsePhoneId(const PhoneIdText& id);

// An operation on a closed database fails as SQLite would on a finalized statement.
[[noreturn]] void ThrowClosed();
// A call-log entry stored under another row than its id (SQLITE_MISMATCH).
[[noreturn]] void ThrowEntryNotStored(int id, INT64 row);

}  // namespace ZembraDb

// One use of a prepared statement: binds, steps, and is reset when the scope
// ends, also when anything is thrown, so no statement is left mid-step.
// Texts are copied by SQLite (they are often temporaries); blobs must outlive
// the run, which they do: they belong to the caller's record.
class CZembraDbRun {
public:
  CZembraDbRun(CZembraDb& db, sqlite3_stmt* statement) : m_db(db.m_db.Get()), m_s(statement) {
    if (!m_db || !m_s) ZembraDb::ThrowClosed();
  }
  ~CZembraDbRun() { sqlite3_reset(m_s); }

  CZembraDbRun& Int(int index, int value) { return Check(sqlite3_bind_int(m_s, index, value)); }
  CZembraDbRun& Int64(int index, INT64 value) { return Check(sqlite3_bind_int64(m_s, index, value)); }
  CZembraDbRun& Null(int index) { return Check(sqlite3_bind_null(m_s, index)); }
  CZembraDbRun& Text(int index, const wchar_t* text) {
    return Check(sqlite3_bind_text16(m_s, index, ZCLNullToEmpty(text), -1, SQLITE_TRANSIENT));
  }
  CZembraDbRun& Blob(int index, const BYTE* data, size_t size) {
    if (!data || size == 0) return Null(index);
    return Check(sqlite3_bind_blob(m_s, index, data, static_cast<int>(size), SQLITE_STATIC));
  }
  CZembraDbRun& Blob(int index, const CZembraContact& c) { return Blob(index, c.GetVCardData(), c.GetVCardSize()); }
  CZembraDbRun& PhoneId(int index, const Trelk::CUid& uid) { return Text(index, uid.ToString()); }

  // One step of a change; the count of changed rows.
  int Change() {
    Check(sqlite3_step(m_s));
    return sqlite3_changes(m_db);
  }
  INT64 Insert() {
    Check(sqlite3_step(m_s));
    return sqlite3_last_insert_rowid(m_db);
  }
  // One step of a select: true on a row.
  bool Next() {
    int rc = sqlite3_step(m_s);
    if (rc == SQLITE_ROW) return true;
    Check(rc);
    return false;
  }
  // Ends the run, surfacing a failure the reset reports.
  void Done() { Check(sqlite3_reset(m_s)); }
  // Every row of a select, each made by read(statement), then Done: rows are
  // copied out first, so no callback runs while the statement is stepped.
  template <class Read>
  auto ReadAll(Read read) -> std::vector<decltype(read(std::declval<sqlite3_stmt*>()))> {
    std::vector<decltype(read(m_s))> rows;
    while (Next()) rows.push_back(read(m_s));
    Done();
    return rows;
  }
  sqlite3_stmt* Statement() const { return m_s; }

private:
  CZembraDbRun& Check(int rc) {
    ZCLSqlThrowOnFail(rc, m_db);
    return *this;
  }
  sqlite3* m_db;
  sqlite3_stmt* m_s;
};

// All-or-nothing for a change of several statements: rolled back unless
// released, so a failure halfway leaves no orphan or duplicate rows.
class CZembraDbSavepoint {
public:
  explicit CZembraDbSavepoint(CZembraDb& db) : m_db(db) {
    CZembraDbRun(db, db.Stmt(CZembraDb::SavepointBegin)).Change();
  }
  void Release() {
    CZembraDbRun(m_db, m_db.Stmt(CZembraDb::SavepointRelease)).Change();
    m_released = true;
  }
  ~CZembraDbSavepoint() {
    if (m_released || !m_db.m_db) return;
    // Results ignored: a failed statement may already have ended the transaction.
    sqlite3_step(m_db.Stmt(CZembraDb::SavepointRollback));
    sqlite3_reset(m_db.Stmt(CZembraDb::SavepointRollback));
    sqlite3_step(m_db.Stmt(CZembraDb::SavepointRelease));
    sqlite3_reset(m_db.Stmt(CZembraDb::SavepointRelease));
  }

private:
  CZembraDb& m_db;
  bool m_released = false;
};

// A change of one row by its id (statement parameter 1).
inline void RunById(CZembraDb& db, sqlite3_stmt* statement, int id) {
  CZembraDbRun run(db, statement);
  run.Int(1, id).Change();
  run.Done();
}

template <class F>
auto CZembraDb::Guarded(F&& body) -> decltype(body()) {
  CLockGuard guard(&m_lock);
  struct Depth {
    int& d;
    explicit Depth(int& depth) : d(depth) { ++d; }
    ~Depth() { --d; }
  } depth(m_depth);
  if (m_depth == 1) {
    m_reopenTried = false;
    if (!m_db && !m_path.empty()) {
      m_reopenTried = true;
      OpenLocked(m_path);
    }
  }
  if (m_depth > 1) return body();
  try {
    if (m_batchDepth > 0) SettleBatch();
    return body();
  } catch (const ZCLSqlException& e) {
    OnSqlError(e);
  }
}
