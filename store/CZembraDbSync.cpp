#include <windows.h>
#include <algorithm>
#include "CZembraDb.h"
#include <sqlite3.h>
#include "CZembraDbRun.h"
#include "ZCLFrame.h"
#include "ZCLLogger.h"

// What the sync engine and the message-received task need of the database
// beside the plain statements: marking messages still on the phone, storing
// a message once, keeping call-log history, and grouping rows into transactions.

using namespace ZembraDb;

namespace {

// Each try waits the busy time-out for the reader that holds the file.
const int kCommitTries = 4;

const char* const kSyncTexts[] = {
    // LocalContactFromPhone: the phone has no top mark, and a pending PC
    // edit is not overwritten.
    "\tUPDATE contacts_local \tSET\tgiven_name=?, \t\tfamily_name=?, \t\tvcard_data=? "
    "\tWHERE phone_id=? AND updated=0",
    // PendingLocalEdits
    "\tSELECT COUNT(*) \tFROM contacts_local \tWHERE phone_id=? AND updated=1",
    // SmsExistingByPhoneId
    "\tUPDATE sms \tSET existing=1 \tWHERE phone_id=?",
    // EventById
    "\tSELECT type, direction, timestamp \tFROM events \tWHERE id=?",
    // EventMoveAside: below every id in use and below 0, which no phone entry has.
    "\tUPDATE events \tSET id=(SELECT MIN(MIN(id), 0) - 1 FROM events) \tWHERE id=?",
    // PhoneCopies
    "\tSELECT id, phone_id, vcard_data \tFROM contacts_phone \tWHERE phone_id IS NOT NULL",
    // PhoneCopyExistingById
    "\tUPDATE contacts_phone \tSET existing=1 \tWHERE id=? AND existing<>1",
    // SmsIds
    "\tSELECT id, phone_id \tFROM sms \tWHERE phone_id IS NOT NULL",
    // SmsExistingById
    "\tUPDATE sms \tSET existing=1 \tWHERE id=? AND existing<>1",
    // RememberWrite
    "INSERT OR REPLACE INTO contacts_written (contact_id, vcard_data) VALUES (?,?)",
    // ContactWrites
    "SELECT w.contact_id, w.vcard_data FROM contacts_written w JOIN contacts_local c ON c.id=w.contact_id "
    "WHERE c.phone_id IS NULL ORDER BY w.contact_id",
    // ContactWriteOf
    "SELECT COUNT(*) FROM contacts_written WHERE contact_id=?",
    // LocalPhoneIdOf
    "SELECT phone_id IS NULL FROM contacts_local WHERE id=?",
    // ForgetWrite
    "DELETE FROM contacts_written WHERE contact_id=?",
    // ForgetAllWrites
    "DELETE FROM contacts_written",
    // AddReadMark
    "INSERT OR IGNORE INTO sms_read_marks (sms_id) SELECT id FROM sms WHERE phone_id=? AND timestamp=?",
    // DropReadMark
    "DELETE FROM sms_read_marks WHERE sms_id IN (SELECT id FROM sms WHERE phone_id=? AND timestamp=?)",
    // ReadMarks: marks of messages gone meanwhile are not listed.
    "SELECT s.id, s.phone_id FROM sms_read_marks m JOIN sms s ON s.id=m.sms_id ORDER BY s.id",
    // ForgetReadMark: and the marks of messages that are gone.
    "DELETE FROM sms_read_marks WHERE sms_id=? OR sms_id NOT IN (SELECT id FROM sms)",
    // ForgetReadMarkOfUid
    "DELETE FROM sms_read_marks WHERE sms_id IN (SELECT id FROM sms WHERE phone_id=?)",
};

// Beside the five tables and the number table: what the phone has not
// confirmed yet. A database made before them gets them when it is opened.
const char* const kPendingSchema[] = {
    "CREATE TABLE IF NOT EXISTS contacts_written (contact_id INTEGER PRIMARY KEY, vcard_data BLOB)",
    "CREATE TABLE IF NOT EXISTS sms_read_marks (sms_id INTEGER PRIMARY KEY)",
};

}  // namespace

void CZembraDb::PrepareSyncStatement(Statement which) {
  static_assert(sizeof kSyncTexts / sizeof kSyncTexts[0] == StatementCount - kFirstSyncStatement,
                "one text per statement");
  if (!m_db) ThrowClosed();
  Prepare(kSyncTexts[which - kFirstSyncStatement], which);
}

void CZembraDb::EnsurePendingTables() {
  for (const char* sql : kPendingSchema) ZCLSqlThrowOnFail(sqlite3_exec(m_db.Get(), sql, nullptr, nullptr, nullptr), m_db.Get());
}

void CZembraDb::RememberContactWrite(const CZembraContact& c) {
  Guarded([&] {
    CZembraDbRun run(*this, Stmt(RememberWrite));
    run.Int(1, c.GetDbId()).Blob(2, c).Change();
    run.Done();
  });
}

std::vector<CZembraDb::ContactWrite> CZembraDb::SelectContactWrites() {
  return Guarded([&] {
    return CZembraDbRun(*this, Stmt(ContactWrites)).ReadAll([](sqlite3_stmt* s) {
      ContactWrite write;
      write.dbId = sqlite3_column_int(s, 0);
      write.vcard = ColumnBlob(s, 1);
      return write;
    });
  });
}

bool CZembraDb::HasContactWrite(int dbId) {
  return Guarded([&] {
    CZembraDbRun run(*this, Stmt(ContactWriteOf));
    run.Int(1, dbId);
    bool found = run.Next() && sqlite3_column_int(run.Statement(), 0) > 0;
    run.Done();
    return found;
  });
}

bool CZembraDb::AdoptContactWrite(int dbId, const Trelk::CUid& uid) {
  return Guarded([&] {
    bool unwritten = false;
    {
      CZembraDbRun run(*this, Stmt(LocalPhoneIdOf));
      run.Int(1, dbId);
      unwritten = run.Next() && sqlite3_column_int(run.Statement(), 0) == 1;
      run.Done();
    }
    if (!unwritten) return false;
    // The card is the local one's: only the phone id is taken over.
    return UpdatePhoneId(CZembraContact(dbId, uid, nullptr, 0)) > 0;
  });
}

void CZembraDb::ForgetContactWrites() {
  Guarded([&] { CZembraDbRun(*this, Stmt(ForgetAllWrites)).Change(); });
}

std::vector<CZembraDb::SmsReadMark> CZembraDb::SelectSmsReadMarks() {
  std::vector<std::pair<int, PhoneIdText>> rows = Guarded([&] {
    return CZembraDbRun(*this, Stmt(ReadMarks)).ReadAll([](sqlite3_stmt* s) {
      return std::make_pair(sqlite3_column_int(s, 0), ColumnPhoneId(s, 1));
    });
  });
  std::vector<SmsReadMark> marks;
  for (const auto& row : rows) {
    SmsReadMark mark;
    mark.id = row.first;
    mark.uid = ParsePhoneId(row.second);
    marks.push_back(mark);
  }
  return marks;
}

void CZembraDb::ForgetSmsReadMark(int smsId) {
  Guarded([&] { RunById(*this, Stmt(ForgetReadMark), smsId); });
}

// Never throws: a mark left behind costs the phone one more marking, and
// the marking it confirms has been done.
void CZembraDb::ForgetSmsReadMark(const Trelk::CUid& uid) {
  try {
    Guarded([&] {
      if (!m_db) return;
      CZembraDbRun run(*this, Stmt(ForgetReadMarkOfUid));
      run.PhoneId(1, uid).Change();
      run.Done();
    });
  } catch (const ZCLSqlException&) {
    ZCLLogCaughtHere(5, ZCL_SITE);
  }
}

bool CZembraDb::MarkSmsExisting(const Trelk::CUid& uid) {
  return Guarded([&] {
    CZembraDbRun run(*this, Stmt(SmsExistingByPhoneId));
    run.PhoneId(1, uid);
    int n = run.Change();
    run.Done();
    return n > 0;
  });
}

int CZembraDb::InsertSmsIfAbsent(CZembraSMS& sms) {
  // Under the one lock: the message sink and a start-up read of the same
  // message cannot both find it missing.
  return Guarded([&] { return SmsExists(sms.GetPhoneId()) ? -1 : InsertSms(sms); });
}

int CZembraDb::InsertSmsIfAbsent(std::vector<CZembraSMS>& messages) {
  return Guarded([&] {
    std::unordered_map<std::wstring, int> stored = SelectSmsIds();
    int inserted = 0;
    for (CZembraSMS& sms : messages) {
      auto found = stored.find(sms.GetPhoneId().ToString());
      if (found != stored.end()) {
        sms.SetId(found->second);
        continue;
      }
      stored[sms.GetPhoneId().ToString()] = InsertSms(sms);
      ++inserted;
    }
    return inserted;
  });
}

std::unordered_map<std::wstring, CZembraDb::PhoneCopy> CZembraDb::SelectPhoneCopies() {
  return Guarded([&] {
    std::unordered_map<std::wstring, PhoneCopy> copies;
    CZembraDbRun run(*this, Stmt(PhoneCopies));
    while (run.Next()) {
      PhoneCopy copy;
      copy.id = sqlite3_column_int(run.Statement(), 0);
      copy.vcard = ColumnBlob(run.Statement(), 2);
      copies[ColumnText16(run.Statement(), 1)] = std::move(copy);
    }
    run.Done();
    return copies;
  });
}

std::unordered_map<std::wstring, int> CZembraDb::SelectSmsIds() {
  return Guarded([&] {
    std::unordered_map<std::wstring, int> ids;
    CZembraDbRun run(*this, Stmt(SmsIds));
    while (run.Next()) ids[ColumnText16(run.Statement(), 1)] = sqlite3_column_int(run.Statement(), 0);
    run.Done();
    return ids;
  });
}

void CZembraDb::MarkPhoneContactExistingById(int id) {
  Guarded([&] { RunById(*this, Stmt(PhoneCopyExistingById), id); });
}

void CZembraDb::MarkSmsExistingById(int id) {
  Guarded([&] { RunById(*this, Stmt(SmsExistingById), id); });
}

int CZembraDb::StoreEvent(const CZembraEventLog& e) {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    bool stored = false, sameCall = false;
    {
      CZembraDbRun run(*this, Stmt(EventById));
      run.Int(1, e.GetId());
      if (run.Next()) {
        sqlite3_stmt* s = run.Statement();
        stored = true;
        sameCall = sqlite3_column_int(s, 0) == e.GetType() && sqlite3_column_int(s, 1) == e.GetDirection() &&
                   ColumnText16(s, 2) == e.GetTimeStamp();
      }
      run.Done();
    }
    if (stored && !sameCall) {
      ZCLLogMessage(2, nullptr).Print("Call-log entry %d was reused by the phone, keeping the stored one", e.GetId());
      RunById(*this, Stmt(EventMoveAside), e.GetId());
    }
    int result = InsertEvent(e);
    change.Release();
    return result;
  });
}

bool CZembraDb::BeginBatch() {
  CLockGuard guard(&m_lock);
  DWORD me = GetCurrentThreadId();
  if (m_batchDepth > 0 && m_batchThread != me) return false;
  if (m_batchDepth++ == 0) {
    m_batchThread = me;
    m_batchOpen = false;
    m_batchBroken = false;
  }
  return true;
}

void CZembraDb::SettleBatch() {
  if (!m_db) return;
  if (m_batchOpen && sqlite3_get_autocommit(m_db.Get())) {
    // SQLite ended the transaction itself (an I/O error, a full disk).
    m_batchOpen = false;
    m_batchBroken = true;
    ZCLLogMessage(2, nullptr).Print("The sync batch's transaction was rolled back");
  }
  if (GetCurrentThreadId() == m_batchThread) {
    if (!m_batchOpen) {
      ZCLSqlThrowOnFail(sqlite3_exec(m_db.Get(), "BEGIN", nullptr, nullptr, nullptr), m_db.Get());
      m_batchOpen = true;
    }
    return;
  }
  if (!m_batchOpen) return;
  m_batchOpen = false;
  try {
    CommitTransaction();
  } catch (const ZCLSqlException& e) {
    // The batch's own rows are lost, and its owner hears of it; this
    // operation goes on outside it.
    m_batchBroken = true;
    ZCLLogMessage(2, nullptr).Print("The sync batch could not be committed: %s", e.GetMessageText().c_str());
  }
}

void CZembraDb::CommitTransaction() {
  for (int attempt = 1;; ++attempt) {
    int rc = sqlite3_exec(m_db.Get(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    bool open = !sqlite3_get_autocommit(m_db.Get());
    // A busy COMMIT keeps its transaction: waiting longer for the reader
    // loses nothing, where a reset would drop every row of it.
    if (rc == SQLITE_BUSY && open && attempt < kCommitTries) {
      ZCLLogMessage(2, nullptr).Print("The database is busy, committing again (try %d)", attempt + 1);
      continue;
    }
    std::string text = sqlite3_errmsg(m_db.Get());
    if (open) sqlite3_exec(m_db.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
    ZCLSqlThrow(rc, text);
  }
}

void CZembraDb::CommitBatch() {
  Guarded([&] {
    if (m_batchBroken) throw ZCLSqlException("rows of the sync batch were lost", SQLITE_ABORT);
    if (!m_batchOpen) return;
    m_batchOpen = false;
    try {
      CommitTransaction();
    } catch (...) {
      m_batchBroken = true;
      throw;
    }
  });
}

void CZembraDb::EndBatch() {
  Guarded([&] {
    if (m_batchDepth == 0 || --m_batchDepth > 0) return;
    bool open = m_batchOpen, broken = m_batchBroken;
    m_batchThread = 0;
    m_batchOpen = m_batchBroken = false;
    if (open) CommitTransaction();
    if (broken) throw ZCLSqlException("rows of the sync batch were lost", SQLITE_ABORT);
  });
}

CZembraDbBatch::CZembraDbBatch(CZembraDb* db, int rowsPerCommit) : m_db(db), m_points(rowsPerCommit) {
  m_joined = m_db && m_db->BeginBatch();
}

CZembraDbBatch::~CZembraDbBatch() {
  if (m_joined) ZCLGuarded(2, ZCL_SITE, [&] { m_db->EndBatch(); });
}

int CZembraDbBatch::CommitPoints::GroupSize(int rowsDone) const {
  return std::min(std::max(m_rowsPerCommit, rowsDone / 8), std::max(m_rowsPerCommit, kLargestGroup));
}

bool CZembraDbBatch::CommitPoints::RowsDone(int rows) {
  m_done += rows;
  if (m_done < m_next) return false;
  m_next = m_done + GroupSize(m_done);
  return true;
}

void CZembraDbBatch::RowDone(int rows) {
  if (m_points.RowsDone(rows) && m_joined) m_db->CommitBatch();
}

void CZembraDbBatch::Finish() {
  if (!m_joined) return;
  m_joined = false;
  m_db->EndBatch();
}
