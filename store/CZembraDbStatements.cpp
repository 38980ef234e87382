#include <windows.h>
#include "CZembraDb.h"
#include <sqlite3.h>

// The schema and every SQL text the database runs, with what prepares them.

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

}  // namespace

const char* CZembraDb::GetSchemaText(int index) { return index >= 0 && index < 5 ? kSchemaTexts[index] : nullptr; }

const char* CZembraDb::GetStatementText(int number) {
  CLockGuard guard(&m_lock);
  if (number < 1 || number > kVerbatimStatements) return nullptr;
  sqlite3_stmt* s = Stmt(Statement(number - 1));
  return s ? sqlite3_sql(s) : nullptr;
}

void CZembraDb::CreateTables() {
  // One transaction: a failure halfway leaves no partial schema that the
  // next check would take for a whole one.
  ZCLSqlThrowOnFail(sqlite3_exec(m_db.Get(), "BEGIN", nullptr, nullptr, nullptr), m_db.Get());
  try {
    for (const char* sql : kSchemaTexts) ZCLSqlThrowOnFail(sqlite3_exec(m_db.Get(), sql, nullptr, nullptr, nullptr), m_db.Get());
    ZCLSqlThrowOnFail(sqlite3_exec(m_db.Get(), "COMMIT", nullptr, nullptr, nullptr), m_db.Get());
  } catch (...) {
    sqlite3_exec(m_db.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void CZembraDb::PrepareStatements() {
  static_assert(kVerbatimStatements == 35, "statement numbers run from 1 to 35");
  static_assert(sizeof kOwnTexts / sizeof kOwnTexts[0] == kFirstNumberStatement - kFirstOwnStatement,
                "one text per own statement");
  for (int n = 1; n <= kVerbatimStatements; ++n) Prepare(kStatementTexts[n], Statement(n - 1));
  for (int n = 0; n < kFirstNumberStatement - kFirstOwnStatement; ++n)
    Prepare(kOwnTexts[n], Statement(kFirstOwnStatement + n));
}
