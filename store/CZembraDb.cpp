#include <windows.h>
#include "CZembraDb.h"
#include <sqlite3.h>
#include <cstring>
#include <unordered_map>
#include "ZCLLogger.h"

namespace {

// Generated once from the schema and statement table; keep verbatim:
// "\t" is one tab, every blank is literal.
const char* const kSchemaTexts[5] = {
    "\tCREATE TABLE contacts_local ( \t\tid INTEGER PRIMARY KEY AUTOINCREMENT, \t\tphone_id TEXT DEFAULT NULL, \t\tgiven_name TEXT, \t\tfamily_name TEXT, \t\tvcard_data BLOB, \t\tupdated NUMERIC DEFAULT 0, \t\tdeleted NUMERIC DEFAULT 0, \t\ttop NUMERIC DEFAULT 0);",
    "\tCREATE TABLE contacts_phone ( \t\tid INTEGER PRIMARY KEY, \t\tphone_id TEXT, \t\tvcard_data BLOB, \t\texisting NUMERIC);",
    "\tCREATE TABLE sms ( \t\tid INTEGER PRIMARY KEY AUTOINCREMENT, \t\tphone_id TEXT, \t\tmessage_data TEXT, \t\tstatus NUMERIC, \t\tfolder NUMERIC, \t\ttimestamp TEXT, \t\tdeleted NUMERIC DEFAULT 0, \t\texisting NUMERIC DEFAULT 0);",
    "\tCREATE TABLE sms_address ( \t\tid INTEGER PRIMARY KEY, \t\tsms_id INTEGER, type NUMERIC, \t\taddress TEXT);",
    "\tCREATE TABLE events ( \t\tid INTEGER PRIMARY KEY, \t\tnumber TEXT, \t\tname TEXT, \t\ttype NUMERIC, \t\tdirection NUMERIC, \t\tduration NUMERIC DEFAULT 0, \t\ttimestamp TEXT, \t\tbytes_sent NUMERIC DEFAULT 0, \t\tbytes_received NUMERIC DEFAULT 0);",
};

// Index = statement number; 0 is unused.
const char* const kStatementTexts[36] = {
    nullptr,
    /*  1 */ "\tINSERT INTO contacts_local ( \t\tphone_id, \t\tgiven_name, \t\tfamily_name, \t\tvcard_data, \t\tupdated, \t\ttop) \tVALUES (?,?,?,?,?,?)",
    /*  2 */ "\tINSERT INTO contacts_phone ( \t\tid, \t\tphone_id, \t\tvcard_data, \t\texisting) \tVALUES (?,?,?,?)",
    /*  3 */ "\tUPDATE contacts_local \tSET\tgiven_name=?, \t\tfamily_name=?, \t\tvcard_data=?, \t\tupdated=?, \t\ttop=? \tWHERE phone_id=?",
    /*  4 */ "\tUPDATE contacts_phone \tSET vcard_data=? \tWHERE phone_id=? AND vcard_data<>?",
    /*  5 */ "\tUPDATE contacts_phone \tSET existing=1 \tWHERE phone_id=?",
    /*  6 */ "\tDELETE FROM contacts_local \tWHERE id IN (\t\tSELECT id FROM contacts_phone WHERE existing<>1)",
    /*  7 */ "\tDELETE FROM contacts_phone \tWHERE existing<>1",
    /*  8 */ "\tUPDATE contacts_phone \tSET existing=0",
    /*  9 */ "\tSELECT id, phone_id, vcard_data \tFROM contacts_local \tWHERE updated=1",
    /* 10 */ "\tUPDATE contacts_local \tSET top=? \tWHERE phone_id=?",
    /* 11 */ "\tUPDATE contacts_local \tSET updated=0 \tWHERE updated=1",
    /* 12 */ "\tSELECT id, phone_id \tFROM contacts_local \tWHERE deleted=1",
    /* 13 */ "\tSELECT id, phone_id, given_name, family_name, vcard_data, updated, top \tFROM contacts_local \tWHERE deleted=0",
    /* 14 */ "\tSELECT id, phone_id, given_name, family_name, vcard_data, updated, top \tFROM contacts_local \tWHERE phone_id IS NULL AND deleted=0",
    /* 15 */ "\tUPDATE contacts_local \tSET phone_id=? \tWHERE id=?",
    /* 16 */ "\tUPDATE contacts_phone \tSET phone_id=? \tWHERE id=?",
    /* 17 */ "\tDELETE FROM contacts_phone \tWHERE id=?",
    /* 18 */ "\tDELETE FROM contacts_local \tWHERE id=?",
    /* 19 */ "\tUPDATE contacts_local \tSET DELETED=1 \tWHERE id=?",
    /* 20 */ "\tINSERT INTO sms (phone_id, message_data, status, folder, timestamp) \tVALUES (?,?,?,?,?)",
    /* 21 */ "\tINSERT INTO sms_address (sms_id, type, address) \tVALUES (?,?,?)",
    /* 22 */ "\tUPDATE sms \tSET status=?, existing=? \tWHERE phone_id=? AND timestamp=?",
    /* 23 */ "\tDELETE FROM sms \tWHERE existing=0 AND deleted=2",
    /* 24 */ "\tDELETE FROM sms_address \tWHERE sms_id IN ( \t\tSELECT id FROM sms WHERE existing=0 AND deleted=2)",
    /* 25 */ "\tUPDATE sms \tSET existing=0",
    /* 26 */ "\tSELECT id, phone_id, deleted \tFROM sms \tWHERE deleted IN (1,3)",
    /* 27 */ "\tDELETE FROM sms \tWHERE id=?",
    /* 28 */ "\tDELETE FROM sms_address \tWHERE sms_id=?",
    /* 29 */ "\tUPDATE sms \tSET deleted=? \tWHERE id=?",
    /* 30 */ "\tSELECT id, phone_id, message_data, status, folder, timestamp \tFROM sms \tWHERE deleted IN (0, 3)",
    /* 31 */ "\tINSERT OR REPLACE INTO events \t\t(id, number, name, type, direction, duration, timestamp, bytes_sent, bytes_received) \tVALUES (?,?,?,?,?,?,?,?,?)",
    /* 32 */ "\tSELECT id, number, name, type, direction, duration, timestamp, bytes_sent, bytes_received \tFROM events",
    /* 33 */ "\tSELECT type, address \tFROM sms_address \tWHERE sms_id=?",
    /* 34 */ "\tSELECT id, phone_id, given_name, family_name, vcard_data, updated, top \tFROM contacts_local \tWHERE vcard_data LIKE ?",
    /* 35 */ "\tSELECT id, phone_id, message_data, status, folder, timestamp \tFROM sms \tWHERE phone_id=?",
};

// Statements of our own, beside the verbatim ones: each mends a fault of
// the plain statements (see the operations that use them).
const char* const kOwnTexts[] = {
    // UpdateContactById: a contact not yet on the phone has no phone id to match.
    "\tUPDATE contacts_local \tSET\tgiven_name=?, \t\tfamily_name=?, \t\tvcard_data=?, \t\tupdated=1, "
    "\t\ttop=? \tWHERE id=?",
    // UpdateLocalContactKeepTop: a change read from the phone carries no top mark.
    "\tUPDATE contacts_local \tSET\tgiven_name=?, \t\tfamily_name=?, \t\tvcard_data=?, \t\tupdated=? "
    "\tWHERE phone_id=?",
    // ClearUpdatedIfUnchanged: a written contact not edited again meanwhile.
    "\tUPDATE contacts_local \tSET updated=0 \tWHERE id=? AND updated=1 AND vcard_data IS ?",
    // DeleteNonExistingLocal / Phone: contacts made on the PC and not yet
    // written to the phone are not "gone from the phone".
    "\tDELETE FROM contacts_local \tWHERE phone_id IS NOT NULL AND id IN (\t\tSELECT id FROM contacts_phone "
    "WHERE existing<>1)",
    "\tDELETE FROM contacts_phone \tWHERE existing<>1 AND id NOT IN (\t\tSELECT id FROM contacts_local "
    "WHERE phone_id IS NULL)",
    // FindByNumber: the number is matched literally (its "%" and "_" escaped),
    // at a CR LF or a LF line end. LIKE, not instr: SQLite's instr over blobs
    // is several times slower once the pages are cached.
    "\tSELECT id, phone_id, given_name, family_name, vcard_data, updated, top \tFROM contacts_local "
    "\tWHERE vcard_data LIKE ? ESCAPE '\\' OR vcard_data LIKE ? ESCAPE '\\'",
    // ListedSmsAddresses: sms_address has no index on sms_id, so one query per
    // message scans the table per message; one pass over the listed ones.
    "\tSELECT a.sms_id, a.type, a.address \tFROM sms_address a JOIN sms s ON s.id=a.sms_id "
    "\tWHERE s.deleted IN (0, 3) ORDER BY a.id",
    "SAVEPOINT zembra_change",
    "RELEASE zembra_change",
    "ROLLBACK TO zembra_change",
};

std::string ToUtf8(const wchar_t* text) {
  if (!text || !*text) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring ColumnText16(sqlite3_stmt* s, int column) {
  const void* text = sqlite3_column_text16(s, column);
  return text ? std::wstring(static_cast<const wchar_t*>(text)) : std::wstring();
}

std::vector<BYTE> ColumnBlob(sqlite3_stmt* s, int column) {
  const BYTE* data = static_cast<const BYTE*>(sqlite3_column_blob(s, column));
  int size = sqlite3_column_bytes(s, column);
  if (!data || size <= 0) return std::vector<BYTE>();
  return std::vector<BYTE>(data, data + size);
}

// phone_id as read: NULL and text alike, parsed only once the statement is reset.
struct PhoneIdText {
  bool null = true;
  std::string text;
};

PhoneIdText ColumnPhoneId(sqlite3_stmt* s, int column) {
  PhoneIdText id;
  const unsigned char* text = sqlite3_column_text(s, column);
  if (text) {
    id.null = false;
    id.text = reinterpret_cast<const char*>(text);
  }
  return id;
}

Trelk::CUid ParsePhoneId(const PhoneIdText& id) { return Trelk::CUid::Parse(id.null ? nullptr : id.text.c_str()); }

struct ContactRow {
  int id = -1;
  PhoneIdText phoneId;
  std::vector<BYTE> vcard;
  int top = 0;
};

CZembraContact ContactOf(const ContactRow& row) {
  CZembraContact contact(row.id, ParsePhoneId(row.phoneId), row.vcard.data(), row.vcard.size());
  contact.SetTopContact(row.top);
  return contact;
}

[[noreturn]] void ThrowClosed() {
  ZCLLogMessage(5, nullptr).Print("[ZCLSqlException %i: %s]", SQLITE_MISUSE, "database is not open");
  throw ZCLSqlException("database is not open", SQLITE_MISUSE);
}

}  // namespace

// One use of a prepared statement: binds, steps, and is reset when the scope
// ends, also when anything is thrown, so no statement is left mid-step.
// Texts are copied by SQLite (they are often temporaries); blobs must outlive
// the run, which they do: they belong to the caller's record.
class CZembraDbRun {
public:
  CZembraDbRun(CZembraDb& db, sqlite3_stmt* statement) : m_db(db.m_db), m_s(statement) {
    if (!m_db || !m_s) ThrowClosed();
  }
  ~CZembraDbRun() { sqlite3_reset(m_s); }

  CZembraDbRun& Int(int index, int value) { return Check(sqlite3_bind_int(m_s, index, value)); }
  CZembraDbRun& Int64(int index, INT64 value) { return Check(sqlite3_bind_int64(m_s, index, value)); }
  CZembraDbRun& Null(int index) { return Check(sqlite3_bind_null(m_s, index)); }
  CZembraDbRun& Text(int index, const wchar_t* text) {
    return Check(sqlite3_bind_text16(m_s, index, text ? text : L"", -1, SQLITE_TRANSIENT));
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
    CZembraDbRun(db, db.m_own[CZembraDb::SavepointBegin]).Change();
  }
  void Release() {
    CZembraDbRun(m_db, m_db.m_own[CZembraDb::SavepointRelease]).Change();
    m_released = true;
  }
  ~CZembraDbSavepoint() {
    if (m_released || !m_db.m_db) return;
    // Results ignored: a failed statement may already have ended the transaction.
    sqlite3_step(m_db.m_own[CZembraDb::SavepointRollback]);
    sqlite3_reset(m_db.m_own[CZembraDb::SavepointRollback]);
    sqlite3_step(m_db.m_own[CZembraDb::SavepointRelease]);
    sqlite3_reset(m_db.m_own[CZembraDb::SavepointRelease]);
  }

private:
  CZembraDb& m_db;
  bool m_released = false;
};

CZembraDb::CZembraDb() {}

CZembraDb::~CZembraDb() { Close(); }

const char* CZembraDb::GetSchemaText(int index) { return index >= 0 && index < 5 ? kSchemaTexts[index] : nullptr; }

const char* CZembraDb::GetStatementText(int number) {
  CLockGuard guard(&m_lock);
  if (number < 1 || number > 35 || !m_stmt[number]) return nullptr;
  return sqlite3_sql(m_stmt[number]);
}

bool CZembraDb::IsOpen() {
  CLockGuard guard(&m_lock);
  return m_db != nullptr;
}

void CZembraDb::Open(const wchar_t* path) { Open(ToUtf8(path).c_str()); }

void CZembraDb::Open(const char* utf8Path) {
  CLockGuard guard(&m_lock);
  OpenLocked(utf8Path ? utf8Path : "");
}

void CZembraDb::OpenLocked(const std::string& path) {
  // The path may be our own member: copy before anything changes it.
  std::string target = path;
  CloseHandle();
  m_path = target;
  try {
    if (m_path.empty()) {
      // SQLite would open a private temporary file and lose everything at close.
      throw ZCLSqlException("no database path", SQLITE_CANTOPEN);
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open(m_path.c_str(), &db);
    m_db = db;  // a failed open still hands out a connection to close
    ZCLSqlThrowOnFail(rc, db);
    CheckDatabase();
    PrepareStatements();
  } catch (const ZCLSqlException& e) {
    CloseHandle();
    ZCLLogMessage(2, nullptr).Print("%s", e.GetMessageText().c_str());
  }
}

bool CZembraDb::CheckDatabase() {
  if (sqlite3_exec(m_db, "SELECT id FROM contacts_local", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  ZCLLogMessage(4, nullptr).Print("Database check failed, trying to create tables");
  CreateTables();
  return false;
}

bool CZembraDb::CreateTables() {
  // One transaction: a failure halfway leaves no partial schema that the
  // next check would take for a whole one.
  ZCLSqlThrowOnFail(sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr), m_db);
  try {
    for (const char* sql : kSchemaTexts) ZCLSqlThrowOnFail(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), m_db);
    ZCLSqlThrowOnFail(sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr), m_db);
  } catch (...) {
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  return true;
}

void CZembraDb::PrepareStatements() {
  static_assert(sizeof kOwnTexts / sizeof kOwnTexts[0] == OwnStatementCount, "one text per own statement");
  for (int n = 1; n <= 35; ++n) Prepare(kStatementTexts[n], &m_stmt[n]);
  for (int n = 0; n < OwnStatementCount; ++n) Prepare(kOwnTexts[n], &m_own[n]);
}

void CZembraDb::Prepare(const char* sql, sqlite3_stmt** statement) {
  *statement = nullptr;
  int rc = sqlite3_prepare_v2(m_db, sql, -1, statement, nullptr);
  ZCLSqlThrowOnFail(rc, m_db);
  m_statements.push_back(*statement);
}

void CZembraDb::FinalizeStatements() {
  for (sqlite3_stmt* s : m_statements) {
    if (sqlite3_finalize(s) != SQLITE_OK)
      ZCLLogMessage(5, nullptr).Print("Statement finalization failed, something horrid is going on!");
  }
  m_statements.clear();
  for (auto& s : m_stmt) s = nullptr;
  for (auto& s : m_own) s = nullptr;
}

void CZembraDb::CloseHandle() {
  if (!m_db) return;
  FinalizeStatements();
  sqlite3_close(m_db);
  m_db = nullptr;
}

void CZembraDb::Close() {
  CLockGuard guard(&m_lock);
  CloseHandle();
  m_statements.clear();
  m_path.clear();
}

void CZembraDb::Reset(const std::string& cause) {
  ZCLLogMessage(5, nullptr).Print("Resetting Database. Cause: %s", cause.c_str());
  CloseHandle();
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
    return body();
  } catch (const ZCLSqlException& e) {
    OnSqlError(e);
  }
}

// ---------------------------------------------------------------- contacts

int CZembraDb::InsertLocalContact(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbRun run(*this, m_stmt[1]);
    if (c.GetPhoneId().IsEmpty())
      run.Null(1);
    else
      run.PhoneId(1, c.GetPhoneId());
    run.Text(2, c.GetGivenName()).Text(3, c.GetFamilyName()).Blob(4, c).Int(5, 0);
    run.Int(6, c.GetTopContact() ? 1 : 0);
    int id = static_cast<int>(run.Insert());
    run.Done();
    return id;
  });
}

int CZembraDb::InsertPhoneContact(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbRun run(*this, m_stmt[2]);
    run.Int(1, c.GetDbId()).PhoneId(2, c.GetPhoneId()).Blob(3, c).Int(4, 1);
    int id = static_cast<int>(run.Insert());
    run.Done();
    return id;
  });
}

int CZembraDb::InsertContact(CZembraContact& c) {
  int before = c.GetDbId();
  try {
    return Guarded([&] {
      CZembraDbSavepoint change(*this);
      int id = InsertLocalContact(c);
      c.SetDbId(id);
      InsertPhoneContact(c);
      change.Release();
      return id;
    });
  } catch (const ZCLSqlException& e) {
    // Both rows or neither: the record must not claim a row that is gone.
    c.SetDbId(before);
    ZCLLogMessage(2, nullptr).Print("%s", e.GetMessageText().c_str());
    return -1;
  }
}

int CZembraDb::UpdateContact(const CZembraContact& c) {
  int changed = Guarded([&] {
    CZembraDbRun run(*this, m_own[UpdateContactById]);
    run.Text(1, c.GetGivenName()).Text(2, c.GetFamilyName()).Blob(3, c);
    run.Int(4, c.GetTopContact() ? 1 : 0).Int(5, c.GetDbId());
    int n = run.Change();
    run.Done();
    return n;
  });
  ZCLThrowOnFalse(changed > 0, ZCL_POS + " The contact to update is not in the database");
  return changed;
}

int CZembraDb::UpdateLocalContact(const CZembraContact& c, bool updated) {
  return Guarded([&] {
    // A change read from the phone keeps the user's top mark: the phone has none.
    CZembraDbRun run(*this, updated ? m_stmt[3] : m_own[UpdateLocalContactKeepTop]);
    run.Text(1, c.GetGivenName()).Text(2, c.GetFamilyName()).Blob(3, c).Int(4, updated ? 1 : 0);
    if (updated)
      run.Int(5, c.GetTopContact() ? 1 : 0).PhoneId(6, c.GetPhoneId());
    else
      run.PhoneId(5, c.GetPhoneId());
    int n = run.Change();
    run.Done();
    return n;
  });
}

int CZembraDb::UpdatePhoneContactVCard(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbRun run(*this, m_stmt[4]);
    run.Blob(1, c).PhoneId(2, c.GetPhoneId()).Blob(3, c);
    int n = run.Change();
    run.Done();
    return n;
  });
}

bool CZembraDb::MarkPhoneContactExisting(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbRun run(*this, m_stmt[5]);
    run.PhoneId(1, c.GetPhoneId());
    int n = run.Change();
    run.Done();
    return n == 1;
  });
}

int CZembraDb::UpdatePhoneId(const CZembraContact& c) {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    int local, phone;
    {
      CZembraDbRun run(*this, m_stmt[15]);
      run.PhoneId(1, c.GetPhoneId()).Int(2, c.GetDbId());
      local = run.Change();
      run.Done();
    }
    {
      CZembraDbRun run(*this, m_stmt[16]);
      run.PhoneId(1, c.GetPhoneId()).Int(2, c.GetDbId());
      phone = run.Change();
      run.Done();
    }
    change.Release();
    if (local != phone) ZCLLogMessage(2, nullptr).Print("UpdatePhoneId updated inconsistently, database out of sync!");
    if (local > 0) m_writtenToPhone.insert(c.GetDbId());
    return local;
  });
}

namespace {
template <class Db>
void RunById(Db& db, sqlite3_stmt* statement, int id) {
  CZembraDbRun run(db, statement);
  run.Int(1, id).Change();
  run.Done();
}
}  // namespace

void CZembraDb::DeleteContact(int dbId) {
  Guarded([&] { RunById(*this, m_stmt[19], dbId); });
}

void CZembraDb::DeleteLocalContactRow(int dbId) {
  Guarded([&] { RunById(*this, m_stmt[18], dbId); });
}

void CZembraDb::DeletePhoneContactRow(int dbId) {
  Guarded([&] { RunById(*this, m_stmt[17], dbId); });
}

int CZembraDb::DeleteNonExistingContacts() {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    CZembraDbRun(*this, m_own[DeleteNonExistingLocal]).Change();
    int deleted;
    {
      CZembraDbRun run(*this, m_own[DeleteNonExistingPhone]);
      deleted = run.Change();
      run.Done();
    }
    CZembraDbRun(*this, m_stmt[8]).Change();
    change.Release();
    return deleted;
  });
}

namespace {

// Copies every row of a contact select (columns id, phone_id, ..., vcard 4, top 6).
std::vector<ContactRow> ReadContactRows(CZembraDbRun& run) {
  std::vector<ContactRow> rows;
  while (run.Next()) {
    ContactRow row;
    sqlite3_stmt* s = run.Statement();
    row.id = sqlite3_column_int(s, 0);
    row.phoneId = ColumnPhoneId(s, 1);
    row.vcard = ColumnBlob(s, 4);
    row.top = sqlite3_column_int(s, 6);
    rows.push_back(std::move(row));
  }
  run.Done();
  return rows;
}

}  // namespace

void CZembraDb::SelectContacts(IZembraDbCB* callback) {
  std::vector<ContactRow> rows = Guarded([&] {
    CZembraDbRun run(*this, m_stmt[13]);
    return ReadContactRows(run);
  });
  for (const ContactRow& row : rows) {
    CZembraContact contact = ContactOf(row);
    if (callback) callback->SelectContactsCB(&contact);
  }
}

void CZembraDb::ConfirmWrittenOrKeep(int dbId, const std::vector<BYTE>& written) {
  Guarded([&] {
    if (m_writtenToPhone.erase(dbId) == 0) return;  // the write failed: stays marked
    CZembraDbRun run(*this, m_own[ClearUpdatedIfUnchanged]);
    run.Int(1, dbId).Blob(2, written.data(), written.size()).Change();
    run.Done();
  });
}

void CZembraDb::ForgetWritten(int dbId) {
  CLockGuard guard(&m_lock);
  m_writtenToPhone.erase(dbId);
}

void CZembraDb::SelectNewLocalContacts(IZembraDbCB* callback) {
  std::vector<ContactRow> rows = Guarded([&] {
    CZembraDbRun run(*this, m_stmt[14]);
    return ReadContactRows(run);
  });
  for (const ContactRow& row : rows) {
    CZembraContact contact = ContactOf(row);
    ForgetWritten(row.id);
    if (callback) callback->SelectNewLocalContactsCB(&contact);
    // An edit made before the first write went with it.
    ConfirmWrittenOrKeep(row.id, row.vcard);
  }
}

void CZembraDb::SelectUpdatedLocalContacts(IZembraDbCB* callback) {
  std::vector<ContactRow> rows = Guarded([&] {
    std::vector<ContactRow> read;
    CZembraDbRun run(*this, m_stmt[9]);
    while (run.Next()) {
      ContactRow row;
      row.id = sqlite3_column_int(run.Statement(), 0);
      row.phoneId = ColumnPhoneId(run.Statement(), 1);
      row.vcard = ColumnBlob(run.Statement(), 2);
      read.push_back(std::move(row));
    }
    run.Done();
    return read;
  });
  for (const ContactRow& row : rows) {
    // A contact not yet on the phone is written once, by the new-contact pass.
    if (row.phoneId.null) continue;
    CZembraContact contact = ContactOf(row);
    ForgetWritten(row.id);
    // The phone copy is left as the phone last showed it: only the sync
    // engine, after a good commit, brings it up to date, so a failed write
    // cannot make the next read from the phone overwrite the edit.
    if (callback) callback->SelectUpdatedLocalContactsCB(&contact);
    ConfirmWrittenOrKeep(row.id, row.vcard);
  }
}

void CZembraDb::SelectDeletedLocalContacts(IZembraDbCB* callback) {
  std::vector<ContactRow> rows = Guarded([&] {
    std::vector<ContactRow> read;
    CZembraDbRun run(*this, m_stmt[12]);
    while (run.Next()) {
      ContactRow row;
      row.id = sqlite3_column_int(run.Statement(), 0);
      row.phoneId = ColumnPhoneId(run.Statement(), 1);
      read.push_back(std::move(row));
    }
    run.Done();
    return read;
  });
  for (const ContactRow& row : rows) {
    CZembraContact contact = ContactOf(row);
    if (!callback || !callback->SelectDeletedLocalContactsCB(&contact)) continue;
    Guarded([&] {
      CZembraDbSavepoint change(*this);
      RunById(*this, m_stmt[18], row.id);
      RunById(*this, m_stmt[17], row.id);
      change.Release();
    });
  }
}

std::vector<CZembraContact> CZembraDb::FindContactsByNumber(const wchar_t* number) {
  std::vector<CZembraContact> found;
  std::wstring digits;
  for (const wchar_t* p = number ? number : L""; *p; ++p)
    if (*p != L' ') digits += *p;
  if (digits.size() <= 5) return found;

  std::wstring tail;
  for (wchar_t ch : digits.substr(digits.size() - 6)) {
    if (ch == L'%' || ch == L'_' || ch == L'\\') tail += L'\\';
    tail += ch;
  }
  std::wstring crlf = L"%" + tail + L"\r\n%";
  std::wstring lf = L"%" + tail + L"\n%";
  std::vector<ContactRow> rows = Guarded([&] {
    CZembraDbRun run(*this, m_own[FindByNumber]);
    run.Text(1, crlf.c_str()).Text(2, lf.c_str());
    return ReadContactRows(run);
  });
  for (const ContactRow& row : rows) found.push_back(ContactOf(row));
  return found;
}

// ---------------------------------------------------------------- messages

int CZembraDb::InsertSms(CZembraSMS& sms) {
  int before = sms.GetId();
  try {
    return Guarded([&] {
      CZembraDbSavepoint change(*this);
      int id;
      {
        CZembraDbRun run(*this, m_stmt[20]);
        run.PhoneId(1, sms.GetPhoneId()).Text(2, sms.GetMessage()).Int(3, sms.GetStatus());
        run.Int(4, sms.GetFolder()).Text(5, sms.GetTimeStamp());
        id = static_cast<int>(run.Insert());
        run.Done();
      }
      sms.SetId(id);
      for (const CZembraSMSAddress* address : sms.GetAddresses()) {
        CZembraDbRun run(*this, m_stmt[21]);
        run.Int(1, id).Int(2, address->GetType()).Text(3, address->GetAddress()).Change();
        run.Done();
      }
      change.Release();
      return id;
    });
  } catch (...) {
    sms.SetId(before);
    throw;
  }
}

bool CZembraDb::UpdateSms(const CZembraSMS& sms) {
  return Guarded([&] {
    CZembraDbRun run(*this, m_stmt[22]);
    run.Int(1, sms.GetStatus()).Int(2, 1).PhoneId(3, sms.GetPhoneId()).Text(4, sms.GetTimeStamp());
    int n = run.Change();
    run.Done();
    return n == 1;
  });
}

void CZembraDb::SetSmsDeleted(int dbId, int state) {
  Guarded([&] {
    CZembraDbRun run(*this, m_stmt[29]);
    run.Int(1, state).Int(2, dbId).Change();
    run.Done();
  });
}

void CZembraDb::DeleteSms(int dbId) {
  Guarded([&] {
    CZembraDbSavepoint change(*this);
    RunById(*this, m_stmt[28], dbId);
    RunById(*this, m_stmt[27], dbId);
    change.Release();
  });
}

int CZembraDb::DeleteNonExistingSms() {
  return Guarded([&] {
    CZembraDbSavepoint change(*this);
    CZembraDbRun(*this, m_stmt[24]).Change();
    int deleted;
    {
      CZembraDbRun run(*this, m_stmt[23]);
      deleted = run.Change();
      run.Done();
    }
    CZembraDbRun(*this, m_stmt[25]).Change();
    change.Release();
    return deleted;
  });
}

bool CZembraDb::SmsExists(const Trelk::CUid& uid) {
  return Guarded([&] {
    CZembraDbRun run(*this, m_stmt[35]);
    run.PhoneId(1, uid);
    bool found = run.Next() && sqlite3_data_count(run.Statement()) > 0;
    run.Done();
    return found;
  });
}

namespace {

struct SmsRow {
  int id = -1;
  PhoneIdText phoneId;
  std::wstring message;
  int status = 0;
  int folder = 0;
  std::wstring timeStamp;
  std::vector<std::pair<int, std::wstring>> addresses;
  int deleted = 0;
};

}  // namespace

void CZembraDb::SelectSms(IZembraDbCB* callback) {
  std::vector<SmsRow> rows = Guarded([&] {
    std::vector<SmsRow> read;
    {
      CZembraDbRun run(*this, m_stmt[30]);
      while (run.Next()) {
        sqlite3_stmt* s = run.Statement();
        SmsRow row;
        row.id = sqlite3_column_int(s, 0);
        row.phoneId = ColumnPhoneId(s, 1);
        row.message = ColumnText16(s, 2);
        row.status = sqlite3_column_int(s, 3);
        row.folder = sqlite3_column_int(s, 4);
        row.timeStamp = ColumnText16(s, 5);
        read.push_back(std::move(row));
      }
      run.Done();
    }
    std::unordered_map<int, size_t> byId;
    for (size_t i = 0; i < read.size(); ++i) byId[read[i].id] = i;
    CZembraDbRun run(*this, m_own[ListedSmsAddresses]);
    while (run.Next()) {
      sqlite3_stmt* s = run.Statement();
      auto it = byId.find(sqlite3_column_int(s, 0));
      if (it != byId.end()) read[it->second].addresses.emplace_back(sqlite3_column_int(s, 1), ColumnText16(s, 2));
    }
    run.Done();
    return read;
  });
  for (const SmsRow& row : rows) {
    CZembraSMS sms;
    sms.SetId(row.id);
    sms.SetPhoneId(ParsePhoneId(row.phoneId));
    sms.SetMessage(row.message.c_str());
    sms.SetStatus(row.status);
    sms.SetFolder(row.folder);
    sms.SetTimeStamp(row.timeStamp.c_str());
    for (const auto& address : row.addresses) sms.AddAddress(address.first, address.second.c_str());
    if (callback) callback->SelectSmsCB(&sms);
  }
}

void CZembraDb::SelectDeletedSms(IZembraDbCB* callback) {
  std::vector<SmsRow> rows = Guarded([&] {
    std::vector<SmsRow> read;
    CZembraDbRun run(*this, m_stmt[26]);
    while (run.Next()) {
      SmsRow row;
      row.id = sqlite3_column_int(run.Statement(), 0);
      row.phoneId = ColumnPhoneId(run.Statement(), 1);
      row.deleted = sqlite3_column_int(run.Statement(), 2);
      read.push_back(std::move(row));
    }
    run.Done();
    return read;
  });
  for (const SmsRow& row : rows) {
    CZembraSMS sms;
    sms.SetPhoneId(ParsePhoneId(row.phoneId));
    if (!callback || !callback->SelectDeletedSmsCB(&sms)) continue;
    if (row.deleted == 1)
      DeleteSms(row.id);
    else
      SetSmsDeleted(row.id, 0);
  }
}

// ---------------------------------------------------------------- call log

int CZembraDb::InsertEvent(const CZembraEventLog& e) {
  return Guarded([&] {
    CZembraDbRun run(*this, m_stmt[31]);
    run.Int(1, e.GetId()).Text(2, e.GetNumber().c_str()).Text(3, e.GetName().c_str()).Int(4, e.GetType());
    run.Int(5, e.GetDirection()).Int(6, e.GetDuration()).Text(7, e.GetTimeStamp().c_str());
    run.Int64(8, e.GetBytesSent()).Int64(9, e.GetBytesReceived());
    INT64 row = run.Insert();
    run.Done();
    return row == e.GetId() ? e.GetId() : -1;
  });
}

void CZembraDb::SelectEvents(IZembraDbCB* callback) {
  std::vector<CZembraEventLog> rows = Guarded([&] {
    std::vector<CZembraEventLog> read;
    CZembraDbRun run(*this, m_stmt[32]);
    while (run.Next()) {
      sqlite3_stmt* s = run.Statement();
      CZembraEventLog e;
      e.SetId(sqlite3_column_int(s, 0));
      e.SetNumber(ColumnText16(s, 1));
      e.SetName(ColumnText16(s, 2));
      e.SetType(sqlite3_column_int(s, 3));
      e.SetDirection(sqlite3_column_int(s, 4));
      e.SetDuration(sqlite3_column_int(s, 5));
      e.SetTimeStamp(ColumnText16(s, 6));
      e.SetBytesSent(sqlite3_column_int64(s, 7));
      e.SetBytesReceived(sqlite3_column_int64(s, 8));
      read.push_back(std::move(e));
    }
    run.Done();
    return read;
  });
  for (CZembraEventLog& e : rows)
    if (callback) callback->SelectEventsCB(&e);
}
