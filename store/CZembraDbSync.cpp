#include <windows.h>
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
};

}  // namespace

sqlite3_stmt* CZembraDb::SyncStmt(SyncStatement which) {
  static_assert(sizeof kSyncTexts / sizeof kSyncTexts[0] == SyncStatementCount, "one text per statement");
  if (!m_db) ThrowClosed();
  if (!m_sync[which]) Prepare(kSyncTexts[which], &m_sync[which]);
  return m_sync[which];
}

bool CZembraDb::MarkSmsExisting(const Trelk::CUid& uid) {
  return Guarded([&] {
    CZembraDbRun run(*this, SyncStmt(SmsExistingByPhoneId));
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
    CZembraDbRun run(*this, SyncStmt(PhoneCopies));
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
    CZembraDbRun run(*this, SyncStmt(SmsIds));
    while (run.Next()) ids[ColumnText16(run.Statement(), 1)] = sqlite3_column_int(run.Statement(), 0);
    run.Done();
    return ids;
  });
}

void CZembraDb::MarkPhoneContactExistingById(int id) {
  Guarded([&] { RunById(*this, SyncStmt(PhoneCopyExistingById), id); });
}

void CZembraDb::MarkSmsExistingById(int id) {
  Guarded([&] { RunById(*this, SyncStmt(SmsExistingById), id); });
}

int CZembraDb::StoreEvent(const CZembraEventLog& e) {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    bool stored = false, sameCall = false;
    {
      CZembraDbRun run(*this, SyncStmt(EventById));
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
      RunById(*this, SyncStmt(EventMoveAside), e.GetId());
    }
    int result = InsertEvent(e);
    change.Release();
    return result;
  });
}

void CZembraDb::BeginBatch() {
  Guarded([&] {
    if (m_batchDepth == 0 && m_db && sqlite3_get_autocommit(m_db))
      ZCLSqlThrowOnFail(sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr), m_db);
    ++m_batchDepth;
  });
}

void CZembraDb::CommitBatch() {
  Guarded([&] {
    if (!m_db) return;
    if (!sqlite3_get_autocommit(m_db))
      ZCLSqlThrowOnFail(sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr), m_db);
    // Also after a reopen, which lost the transaction.
    if (m_batchDepth > 0) ZCLSqlThrowOnFail(sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr), m_db);
  });
}

void CZembraDb::EndBatch() {
  Guarded([&] {
    if (m_batchDepth > 0 && --m_batchDepth == 0 && m_db && !sqlite3_get_autocommit(m_db))
      ZCLSqlThrowOnFail(sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr), m_db);
  });
}

CZembraDbBatch::CZembraDbBatch(CZembraDb* db, int rowsPerCommit) : m_db(db), m_rowsPerCommit(rowsPerCommit) {
  if (m_db) m_db->BeginBatch();
}

CZembraDbBatch::~CZembraDbBatch() {
  if (m_db) ZCLGuarded(2, ZCL_SITE, [&] { m_db->EndBatch(); });
}

void CZembraDbBatch::RowDone(int rows) {
  int before = m_rows / m_rowsPerCommit;
  m_rows += rows;
  if (m_db && m_rows / m_rowsPerCommit != before) m_db->CommitBatch();
}
