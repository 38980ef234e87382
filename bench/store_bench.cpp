#include <windows.h>
#include <sqlite3.h>
#include <cstdio>
#include <string>
#include <vector>
#include "CZembraDb.h"
#include "ZCLText.h"
#include "ZembraSqliteHandles.h"

// Rows per second of the local store against a bare SQLite loop that does
// the same inserts under the same transaction policy (a commit every
// kRowsPerCommit items, as the sync groups them). Records are built before
// the timers start; every result is checked and the rows are counted
// afterwards on both sides. Run by tools/bench.

namespace {

const int kContacts = 10000;
const int kMessages = 50000;
const int kSearches = 200;
const int kRowsPerCommit = 256;

int g_failures = 0;
void Check(bool ok, const char* what) {
  if (ok) return;
  ++g_failures;
  printf("FAILED: %s\n", what);
}

struct SmsRow {
  std::wstring uid;
  std::wstring numbers[2];
};

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Number(int i) {
  char text[32];
  snprintf(text, sizeof text, "+35840%07d", i);
  return text;
}

// About 2 KB: names, a number and a folded base64 picture.
std::string VCard(int i) {
  std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family" + std::to_string(i) + ";Given;;;\r\nTEL;CELL:" +
                     Number(i) + "\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:";
  while (card.size() < 2000) card += "\r\n QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5";
  return card + "\r\nEND:VCARD\r\n";
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

void Report(const char* what, double rows, double seconds) {
  printf("%-44s %9.0f rows in %7.2f s = %10.0f rows/s\n", what, rows, seconds, rows / seconds);
}

struct Counter : IZembraDbCB {
  void SelectContactsCB(CZembraContact*) override { ++contacts; }
  void SelectSmsCB(CZembraSMS* s) override { ++messages, addresses += s->GetAddressCount(); }
  size_t contacts = 0, messages = 0, addresses = 0;
};

// The same rows through SQLite alone: one transaction, prepared statements.
int Step(sqlite3_stmt* s) {
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  return rc;
}

double BareInserts(const std::wstring& path, const std::vector<std::string>& cards,
                   const std::vector<std::wstring>& contactUids, const std::vector<SmsRow>& messages) {
  CSqliteConnection connection;
  Check(sqlite3_open(ZCLWideToUtf8(path).c_str(), connection.Put()) == SQLITE_OK, "open");
  sqlite3* db = connection.Get();
  for (int i = 0; i < 5; ++i)
    Check(sqlite3_exec(db, CZembraDb::GetSchemaText(i), nullptr, nullptr, nullptr) == SQLITE_OK, "schema");
  auto prepare = [db](const char* sql) {
    CSqliteStatement statement;
    Check(sqlite3_prepare_v2(db, sql, -1, statement.Put(), nullptr) == SQLITE_OK, sql);
    return statement;
  };
  int items = 0;
  auto itemDone = [&] {
    if (++items % kRowsPerCommit == 0)
      Check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK, "COMMIT");
  };
  CSqliteStatement localInsert = prepare(
      "INSERT INTO contacts_local (phone_id, given_name, family_name, vcard_data, updated, top) VALUES (?,?,?,?,0,0)");
  CSqliteStatement phoneInsert =
      prepare("INSERT INTO contacts_phone (id, phone_id, vcard_data, existing) VALUES (?,?,?,1)");
  CSqliteStatement smsInsert =
      prepare("INSERT INTO sms (phone_id, message_data, status, folder, timestamp) VALUES (?,?,?,?,?)");
  CSqliteStatement addressInsert = prepare("INSERT INTO sms_address (sms_id, type, address) VALUES (?,?,?)");
  sqlite3_stmt* local = localInsert.Get();
  sqlite3_stmt* phone = phoneInsert.Get();
  sqlite3_stmt* sms = smsInsert.Get();
  sqlite3_stmt* address = addressInsert.Get();
  double start = Now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK, "BEGIN");
  for (int i = 0; i < kContacts; ++i) {
    const std::wstring& uid = contactUids[i];
    sqlite3_bind_text16(local, 1, uid.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(local, 2, L"Given", -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(local, 3, L"Family", -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(local, 4, cards[i].data(), static_cast<int>(cards[i].size()), SQLITE_STATIC);
    Check(Step(local) == SQLITE_DONE, "contact insert");
    sqlite3_bind_int(phone, 1, static_cast<int>(sqlite3_last_insert_rowid(db)));
    sqlite3_bind_text16(phone, 2, uid.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(phone, 3, cards[i].data(), static_cast<int>(cards[i].size()), SQLITE_STATIC);
    Check(Step(phone) == SQLITE_DONE, "phone copy insert");
    itemDone();
  }
  for (int i = 0; i < kMessages; ++i) {
    sqlite3_bind_text16(sms, 1, messages[i].uid.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(sms, 2, L"A message of a typical length, a line or two of text.", -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(sms, 3, 5);
    sqlite3_bind_int(sms, 4, 1);
    sqlite3_bind_text16(sms, 5, L"2007-05-14T10:22:05+02:00", -1, SQLITE_TRANSIENT);
    Check(Step(sms) == SQLITE_DONE, "message insert");
    int id = static_cast<int>(sqlite3_last_insert_rowid(db));
    for (int a = 0; a < 2; ++a) {
      sqlite3_bind_int(address, 1, id);
      sqlite3_bind_int(address, 2, 2);
      sqlite3_bind_text16(address, 3, messages[i].numbers[a].c_str(), -1, SQLITE_TRANSIENT);
      Check(Step(address) == SQLITE_DONE, "address insert");
    }
    itemDone();
  }
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK, "COMMIT");
  return Now() - start;
}

// The rows a database holds, table by table.
std::vector<long long> RowCounts(const std::wstring& path) {
  std::vector<long long> counts;
  CSqliteConnection connection;
  sqlite3_open(ZCLWideToUtf8(path).c_str(), connection.Put());
  for (const char* table : {"contacts_local", "contacts_phone", "sms", "sms_address"}) {
    CSqliteStatement s;
    std::string sql = std::string("SELECT COUNT(*) FROM ") + table;
    long long n = -1;
    if (sqlite3_prepare_v2(connection.Get(), sql.c_str(), -1, s.Put(), nullptr) == SQLITE_OK &&
        sqlite3_step(s.Get()) == SQLITE_ROW)
      n = sqlite3_column_int64(s.Get(), 0);
    counts.push_back(n);
  }
  return counts;
}

}  // namespace

int main() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"dialix-store-bench";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring ours = folder + L"\\OrvexDialix.db";
  std::wstring bare = folder + L"\\bare.db";
  // Every run starts from empty files, also after an interrupted one.
  DeleteFileW(ours.c_str());
  DeleteFileW(bare.c_str());

  // Every record and text of both sides, made before any timer starts.
  std::vector<std::string> cards;
  std::vector<std::wstring> contactUids;
  std::vector<CZembraContact> contacts;
  for (int i = 0; i < kContacts; ++i) {
    cards.push_back(VCard(i));
    std::string uid = std::to_string(100000 + i);
    contactUids.push_back(Wide(uid));
    contacts.emplace_back(-1, Trelk::CUid::Parse(uid.c_str()), reinterpret_cast<const BYTE*>(cards[i].data()),
                          cards[i].size());
  }
  std::vector<SmsRow> smsRows;
  std::vector<CZembraSMS> messages(kMessages);
  for (int i = 0; i < kMessages; ++i) {
    std::string uid = std::to_string(200000 + i);
    smsRows.push_back(SmsRow{Wide(uid), {Wide(Number(i)), Wide(Number(i + 1))}});
    CZembraSMS& sms = messages[i];
    sms.SetPhoneId(Trelk::CUid::Parse(uid.c_str()));
    sms.SetMessage(L"A message of a typical length, a line or two of text.");
    sms.SetTimeStamp(L"2007-05-14T10:22:05+02:00");
    sms.SetStatus(5);
    sms.SetFolder(1);
    sms.AddAddress(2, smsRows[i].numbers[0].c_str());
    sms.AddAddress(2, smsRows[i].numbers[1].c_str());
  }
  // Contact rows and message rows with their address rows, as both sides count them.
  const double contactRows = kContacts * 2.0, messageRows = kMessages * 3.0;

  CZembraDb db;
  db.Open(ours.c_str());
  if (!db.IsOpen()) {
    printf("cannot open the database\n");
    return 1;
  }
  printf("store_bench: %d contacts of %u bytes, %d messages with 2 addresses each\n", kContacts,
         static_cast<unsigned>(cards[0].size()), kMessages);

  double start = Now();
  {
    CZembraDbBatch batch(&db, kRowsPerCommit);
    for (CZembraContact& c : contacts) {
      Check(db.InsertContact(c) > 0, "InsertContact");
      batch.RowDone();
    }
  }
  double contactSeconds = Now() - start;
  Report("CZembraDb::InsertContact (2 rows each)", contactRows, contactSeconds);

  start = Now();
  {
    CZembraDbBatch batch(&db, kRowsPerCommit);
    for (CZembraSMS& sms : messages) {
      try {
        Check(db.InsertSms(sms) > 0, "InsertSms");
      } catch (const ZCLException&) {
        Check(false, "InsertSms");
      }
      batch.RowDone();
    }
  }
  double smsSeconds = Now() - start;
  Report("CZembraDb::InsertSms (3 rows each)", messageRows, smsSeconds);

  Counter counter;
  start = Now();
  db.SelectContacts(&counter);
  Report("CZembraDb::SelectContacts", static_cast<double>(counter.contacts), Now() - start);
  start = Now();
  db.SelectSms(&counter);
  Report("CZembraDb::SelectSms (messages + addresses)", static_cast<double>(counter.messages + counter.addresses),
         Now() - start);

  size_t hits = 0;
  start = Now();
  for (int i = 0; i < kSearches; ++i) hits += db.FindContactsByNumber(Wide(Number((i * 7919) % kContacts)).c_str()).size();
  double searchSeconds = Now() - start;
  printf("%-44s %9d searches in %7.2f s = %10.1f searches/s (%u found)\n", "CZembraDb::FindContactsByNumber",
         kSearches, searchSeconds, kSearches / searchSeconds, static_cast<unsigned>(hits));
  db.Close();

  double bareSeconds = BareInserts(bare, cards, contactUids, smsRows);
  std::vector<long long> expected = {kContacts, kContacts, kMessages, kMessages * 2LL};
  Check(RowCounts(ours) == expected, "CZembraDb stored every row");
  Check(RowCounts(bare) == expected, "the bare loop stored every row");
  double ourSeconds = contactSeconds + smsSeconds;
  Report("bare SQLite, same inserts, one transaction", contactRows + messageRows, bareSeconds);
  Report("CZembraDb, all inserts", contactRows + messageRows, ourSeconds);
  printf("CZembraDb time / bare time, same commit policy: %.2f\n", ourSeconds / bareSeconds);

  DeleteFileW(ours.c_str());
  DeleteFileW(bare.c_str());
  RemoveDirectoryW(folder.c_str());
  if (g_failures) printf("%d checks failed\n", g_failures);
  return g_failures ? 1 : 0;
}
