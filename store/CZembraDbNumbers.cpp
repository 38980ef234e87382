#include <windows.h>
#include "CZembraDb.h"
#include <sqlite3.h>
#include "CZembraDbRun.h"
#include "PhoneNumber.h"
#include "ZCLLogger.h"
#include "ZembraSqliteHandles.h"

using namespace ZembraDb;

// The contacts' TEL numbers, normalised, one row each, beside the five
// tables: a caller is looked up by the last digits of its number through an
// index instead of a scan over every card with its picture. A database made
// before the table existed gets it, filled, the first time it is opened.

namespace {

const char* const kNumbersSchema[] = {
    "CREATE TABLE contact_numbers (contact_id INTEGER NOT NULL, digits TEXT NOT NULL, "
    "international INTEGER NOT NULL, tail TEXT NOT NULL)",
    "CREATE INDEX contact_numbers_tail ON contact_numbers (tail)",
    "CREATE INDEX contact_numbers_contact ON contact_numbers (contact_id)",
};

const char* const kNumberTexts[] = {
    // NumbersOfTail: the candidates for one tail, best contact first.
    "SELECT n.contact_id, n.digits, n.international FROM contact_numbers n "
    "JOIN contacts_local c ON c.id=n.contact_id WHERE n.tail=? AND c.deleted=0 ORDER BY c.top<>0 DESC, c.id",
    // ContactById: the columns of the contact selects.
    "SELECT id, phone_id, given_name, family_name, vcard_data, updated, top FROM contacts_local WHERE id=?",
    // ForgetNumbers
    "DELETE FROM contact_numbers WHERE contact_id=?",
    // CardOfContact: a contact marked deleted has no numbers to offer.
    "SELECT vcard_data FROM contacts_local WHERE id=? AND deleted=0",
    // AddNumber
    "INSERT INTO contact_numbers (contact_id, digits, international, tail) VALUES (?,?,?,?)",
};

void Exec(sqlite3* db, const char* sql) { ZCLSqlThrowOnFail(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db); }

bool HasNumberTable(sqlite3* db) {
  CSqliteStatement s;
  ZCLSqlThrowOnFail(sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='contact_numbers'",
                                       -1, s.Put(), nullptr),
                    db);
  int rc = sqlite3_step(s.Get());
  ZCLSqlThrowOnFail(rc, db);
  return rc == SQLITE_ROW;
}

void BindNumber(sqlite3* db, sqlite3_stmt* s, int contactId, const CPhoneNumber& n) {
  std::string tail = n.Tail();
  ZCLSqlThrowOnFail(sqlite3_bind_int(s, 1, contactId), db);
  ZCLSqlThrowOnFail(sqlite3_bind_text(s, 2, n.digits.c_str(), -1, SQLITE_TRANSIENT), db);
  ZCLSqlThrowOnFail(sqlite3_bind_int(s, 3, n.international ? 1 : 0), db);
  ZCLSqlThrowOnFail(sqlite3_bind_text(s, 4, tail.c_str(), -1, SQLITE_TRANSIENT), db);
}

}  // namespace

void CZembraDb::EnsureContactNumbers() {
  if (HasNumberTable(m_db.Get())) return;
  // Immediate: a second connection opening the same file at the same time
  // waits here and then finds the table made.
  Exec(m_db.Get(), "BEGIN IMMEDIATE");
  try {
    int contacts = 0;
    if (!HasNumberTable(m_db.Get())) {
      for (const char* sql : kNumbersSchema) Exec(m_db.Get(), sql);
      CSqliteStatement cards, add;
      ZCLSqlThrowOnFail(sqlite3_prepare_v2(m_db.Get(), "SELECT id, vcard_data FROM contacts_local WHERE deleted=0", -1,
                                           cards.Put(), nullptr),
                        m_db.Get());
      ZCLSqlThrowOnFail(sqlite3_prepare_v2(m_db.Get(), kNumberTexts[AddNumber - kFirstNumberStatement], -1, add.Put(), nullptr), m_db.Get());
      int rc;
      while ((rc = sqlite3_step(cards.Get())) == SQLITE_ROW) {
        int id = sqlite3_column_int(cards.Get(), 0);
        std::vector<BYTE> card = ColumnBlob(cards.Get(), 1);
        for (const CPhoneNumber& n : PhoneNumbersOfVCard(card.data(), card.size())) {
          BindNumber(m_db.Get(), add.Get(), id, n);
          ZCLSqlThrowOnFail(sqlite3_step(add.Get()), m_db.Get());
          ZCLSqlThrowOnFail(sqlite3_reset(add.Get()), m_db.Get());
        }
        ++contacts;
      }
      ZCLSqlThrowOnFail(rc, m_db.Get());
    }
    Exec(m_db.Get(), "COMMIT");
    ZCLLogMessage(4, nullptr).Print("Contact number table made for %d contacts", contacts);
  } catch (...) {
    sqlite3_exec(m_db.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void CZembraDb::PrepareNumberStatements() {
  static_assert(sizeof kNumberTexts / sizeof kNumberTexts[0] == kFirstSyncStatement - kFirstNumberStatement,
                "one text per statement");
  for (int n = 0; n < kFirstSyncStatement - kFirstNumberStatement; ++n)
    Prepare(kNumberTexts[n], Statement(kFirstNumberStatement + n));
}

void CZembraDb::RefreshContactNumbers(int dbId) {
  Guarded([&] {
    RunById(*this, Stmt(ForgetNumbers), dbId);
    std::vector<BYTE> card;
    {
      CZembraDbRun run(*this, Stmt(CardOfContact));
      run.Int(1, dbId);
      if (run.Next()) card = ColumnBlob(run.Statement(), 0);
      run.Done();
    }
    for (const CPhoneNumber& n : PhoneNumbersOfVCard(card.data(), card.size())) {
      CZembraDbRun run(*this, Stmt(AddNumber));
      BindNumber(m_db.Get(), run.Statement(), dbId, n);
      run.Change();
      run.Done();
    }
  });
}

namespace {

// Collects the ids of the contacts_local rows one write changes, for writes
// that match rows by phone id or by a condition. The connection has no other
// update hook; this one is removed when the collector ends.
class CContactRowCollector {
public:
  explicit CContactRowCollector(sqlite3* db) : m_db(db) { sqlite3_update_hook(db, &Changed, this); }
  ~CContactRowCollector() { sqlite3_update_hook(m_db, nullptr, nullptr); }
  std::vector<int> rows;

private:
  static void Changed(void* self, int, const char*, const char* table, sqlite3_int64 row) {
    if (strcmp(table, "contacts_local") == 0) static_cast<CContactRowCollector*>(self)->rows.push_back(static_cast<int>(row));
  }
  sqlite3* m_db;
};

}  // namespace

std::vector<int> CZembraDb::ChangedContactRows(const std::function<void()>& write) {
  if (!m_db) ThrowClosed();
  CContactRowCollector collector(m_db.Get());
  write();
  return collector.rows;
}

std::vector<int> CZembraDb::ContactIdsMatching(const wchar_t* number) {
  std::vector<int> ids;
  CPhoneNumber caller;
  if (!CPhoneNumber::Parse(number, caller) || caller.Tail().empty()) return ids;
  Guarded([&] {
    CZembraDbRun run(*this, Stmt(NumbersOfTail));
    std::string tail = caller.Tail();
    ZCLSqlThrowOnFail(sqlite3_bind_text(run.Statement(), 1, tail.c_str(), -1, SQLITE_TRANSIENT), m_db.Get());
    while (run.Next()) {
      CPhoneNumber stored;
      stored.digits = ZCLNullToEmpty(reinterpret_cast<const char*>(sqlite3_column_text(run.Statement(), 1)));
      stored.international = sqlite3_column_int(run.Statement(), 2) != 0;
      int id = sqlite3_column_int(run.Statement(), 0);
      if (caller.Matches(stored) && (ids.empty() || ids.back() != id)) ids.push_back(id);
    }
    run.Done();
  });
  return ids;
}
