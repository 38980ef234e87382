#include <windows.h>
#include <sqlite3.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "BenchSupport.h"
#include "CZembraDb.h"
#include "ZCLText.h"
#include "ZembraSqliteHandles.h"

// Caller lookup over 10,000 contacts with 2 KB cards: the number table's
// lookup against the plain LIKE statement over the cards, on the same file in
// the same run; the one-time build of the table for a database made without
// it; and what keeping the table adds to inserting contacts. Run by tools/bench.

namespace {

const int kContacts = 10000;
const int kLookups = 1000;
const int kScanLookups = 40;
const int kInsertChunk = 500;

// Seven subscriber digits, distinct for every contact (7919 is prime to 10^7).
std::string Subscriber(int i) {
  char text[16];
  snprintf(text, sizeof text, "%07d", (i * 7919 + 1234567) % 10000000);
  return text;
}

// The contact's number as phones of several makers write it.
std::string CardNumber(int i) {
  std::string s = Subscriber(i);
  switch (i % 4) {
    case 0: return "+358 40 " + s.substr(0, 3) + " " + s.substr(3);
    case 1: return "040-" + s.substr(0, 3) + " " + s.substr(3);
    case 2: return "(040) " + s.substr(0, 3) + "-" + s.substr(3);
    default: return "+35840" + s;
  }
}

// About 2 KB: names, one or two numbers, an e-mail and a folded base64 picture.
std::string VCard(int i) {
  const char* eol = i % 5 == 4 ? "\n" : "\r\n";
  std::string card = std::string("BEGIN:VCARD") + eol + "VERSION:2.1" + eol + "N:Family" + std::to_string(i) +
                     ";Given;;;" + eol + "TEL;CELL:" + CardNumber(i) + eol;
  if (i % 3 == 0) card += "TEL;WORK:+44 20 7946 " + Subscriber(i).substr(3) + eol;
  card += "EMAIL:given" + std::to_string(i) + "@example.com" + eol + "PHOTO;ENCODING=BASE64;TYPE=JPEG:";
  while (card.size() < 2000) card += std::string(eol) + " QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5";
  return card + eol + "END:VCARD" + eol;
}

// What the caller's phone shows: the international or the national form,
// and one in ten a number nobody has.
std::wstring CallerNumber(int k, int& contact) {
  contact = (k * 37) % kContacts;
  std::string s = Subscriber(contact);
  std::string number = k % 2 ? "+35840" + s : "040 " + s;
  if (k % 10 == 9) {
    contact = -1;
    number = "+49 170 " + s;
  }
  return std::wstring(number.begin(), number.end());
}

struct Times {
  std::vector<double> ms;
  double Median() { return At(0.5); }
  double P95() { return At(0.95); }
  double At(double q) { return Percentile(ms, q); }
};

CSqliteStatement Prepare(sqlite3* db, const char* sql) {
  CSqliteStatement s;
  if (sqlite3_prepare_v2(db, sql, -1, s.Put(), nullptr) != SQLITE_OK) printf("prepare failed: %s\n", sqlite3_errmsg(db));
  return s;
}

// The five tables only, filled in one transaction: a database as the service
// left it before the number table existed.
void MakeOldDatabase(const std::wstring& path, const std::vector<std::string>& cards) {
  CSqliteConnection connection;
  sqlite3_open(ZCLWideToUtf8(path).c_str(), connection.Put());
  sqlite3* db = connection.Get();
  for (int i = 0; i < 5; ++i) sqlite3_exec(db, CZembraDb::GetSchemaText(i), nullptr, nullptr, nullptr);
  CSqliteStatement local = Prepare(db, "INSERT INTO contacts_local (phone_id, vcard_data) VALUES (?,?)");
  CSqliteStatement phone = Prepare(db, "INSERT INTO contacts_phone (id, phone_id, vcard_data, existing) VALUES (?,?,?,1)");
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  for (int i = 0; i < kContacts; ++i) {
    std::string uid = std::to_string(100000 + i);
    sqlite3_bind_text(local.Get(), 1, uid.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(local.Get(), 2, cards[i].data(), static_cast<int>(cards[i].size()), SQLITE_STATIC);
    sqlite3_step(local.Get());
    sqlite3_reset(local.Get());
    sqlite3_bind_int64(phone.Get(), 1, sqlite3_last_insert_rowid(db));
    sqlite3_bind_text(phone.Get(), 2, uid.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(phone.Get(), 3, cards[i].data(), static_cast<int>(cards[i].size()), SQLITE_STATIC);
    sqlite3_step(phone.Get());
    sqlite3_reset(phone.Get());
  }
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

// The plain statement's search: the last six characters, blanks removed,
// followed by CR LF anywhere in a card. The rows found; the first one's id.
size_t ScanLookup(sqlite3_stmt* s, const std::wstring& number, int& firstId) {
  std::wstring compact;
  for (wchar_t ch : number)
    if (ch != L' ') compact += ch;
  std::wstring pattern = L"%" + compact.substr(compact.size() - 6) + L"\r\n%";
  sqlite3_bind_text16(s, 1, pattern.c_str(), -1, SQLITE_TRANSIENT);
  size_t rows = 0;
  firstId = -1;
  while (sqlite3_step(s) == SQLITE_ROW) {
    if (rows++ == 0) firstId = sqlite3_column_int(s, 0);
    (void)sqlite3_column_blob(s, 4);
  }
  sqlite3_reset(s);
  return rows;
}

// The benchmark's folder under the temporary folder, made when missing.
std::wstring BenchFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"dialix-lookup-bench";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace

int main() {
  const std::wstring folder = BenchFolder();
  const std::wstring upgraded = folder + L"\\OrvexDialix.db", withTable = folder + L"\\inserts.db",
                     withoutTable = folder + L"\\inserts-plain.db";
  // Every run starts from no files, also after an interrupted one.
  for (const std::wstring* p : {&upgraded, &withTable, &withoutTable}) DeleteFileW(p->c_str());

  std::vector<std::string> cards;
  size_t bytes = 0;
  for (int i = 0; i < kContacts; ++i) {
    cards.push_back(VCard(i));
    bytes += cards.back().size();
  }
  printf("lookup_bench: %d contacts, cards of %u bytes on average, pictures included\n", kContacts,
         static_cast<unsigned>(bytes / kContacts));

  double start = Now();
  MakeOldDatabase(upgraded, cards);
  double bulkSeconds = Now() - start;
  CZembraDb db;
  start = Now();
  db.Open(upgraded.c_str());
  double buildSeconds = Now() - start;
  if (!db.IsOpen()) {
    printf("cannot open the database\n");
    return 1;
  }
  printf("%-48s %8.0f ms\n", "10,000 contacts in one transaction, no table", bulkSeconds * 1000);
  printf("%-48s %8.0f ms (once, for a database made without it)\n", "first open, number table made", buildSeconds * 1000);

  // Warm both connections' caches before measuring.
  int expected = 0;
  db.FindContactsByNumber(CallerNumber(0, expected).c_str());
  Times table;
  int right = 0, wrong = 0;
  for (int k = 0; k < kLookups; ++k) {
    std::wstring number = CallerNumber(k, expected);
    start = Now();
    std::vector<CZembraContact> found = db.FindContactsByNumber(number.c_str());
    table.ms.push_back((Now() - start) * 1000);
    bool ok = expected < 0 ? found.empty() : !found.empty() && found[0].GetDbId() == expected + 1;
    ok ? ++right : ++wrong;
  }

  CSqliteConnection side;
  sqlite3_open(ZCLWideToUtf8(upgraded).c_str(), side.Put());
  CSqliteStatement scan = Prepare(side.Get(), db.GetStatementText(34));
  int firstId;
  ScanLookup(scan.Get(), CallerNumber(0, expected), firstId);
  Times plain;
  size_t scanRows = 0;
  int scanRight = 0;
  for (int k = 0; k < kScanLookups; ++k) {
    std::wstring number = CallerNumber(k, expected);
    start = Now();
    scanRows += ScanLookup(scan.Get(), number, firstId);
    plain.ms.push_back((Now() - start) * 1000);
    if (firstId == (expected < 0 ? -1 : expected + 1)) ++scanRight;
  }
  printf("%-48s median %8.3f ms, 95th percentile %8.3f ms (%d lookups, %d right, %d wrong)\n",
         "number table (FindContactsByNumber)", table.Median(), table.P95(), kLookups, right, wrong);
  printf("%-48s median %8.3f ms, 95th percentile %8.3f ms (%d lookups, %d right, %u rows)\n",
         "plain statement 34 (LIKE over cards)", plain.Median(), plain.P95(), kScanLookups, scanRight,
         static_cast<unsigned>(scanRows));
  printf("lookup speed-up (median): %.0fx\n", plain.Median() / table.Median());
  scan.Reset();
  side.Reset();
  db.Close();

  // Inserting: each contact in a transaction of its own, as the store does;
  // the plain side runs the same two statements in the same savepoint.
  CZembraDb ours;
  ours.Open(withTable.c_str());
  CSqliteConnection plainDb;
  sqlite3_open(ZCLWideToUtf8(withoutTable).c_str(), plainDb.Put());
  sqlite3* p = plainDb.Get();
  for (int i = 0; i < 5; ++i) sqlite3_exec(p, CZembraDb::GetSchemaText(i), nullptr, nullptr, nullptr);
  CSqliteStatement local = Prepare(p, ours.GetStatementText(1));
  CSqliteStatement phone = Prepare(p, ours.GetStatementText(2));
  CSqliteStatement begin = Prepare(p, "SAVEPOINT zembra_change");
  CSqliteStatement release = Prepare(p, "RELEASE zembra_change");
  auto step = [](sqlite3_stmt* s) {
    sqlite3_step(s);
    sqlite3_reset(s);
  };
  double oursSeconds = 0, plainSeconds = 0;
  for (int first = 0; first < kContacts; first += kInsertChunk) {
    start = Now();
    for (int i = first; i < first + kInsertChunk; ++i) {
      std::string uid = std::to_string(100000 + i);
      CZembraContact c(-1, Trelk::CUid::Parse(uid.c_str()), reinterpret_cast<const BYTE*>(cards[i].data()),
                       cards[i].size());
      ours.InsertContact(c);
    }
    oursSeconds += Now() - start;
    start = Now();
    for (int i = first; i < first + kInsertChunk; ++i) {
      CZembraContact c(-1, Trelk::CUid::Parse(std::to_string(100000 + i).c_str()),
                       reinterpret_cast<const BYTE*>(cards[i].data()), cards[i].size());
      std::wstring uid = c.GetPhoneId().ToString();
      step(begin.Get());
      sqlite3_bind_text16(local.Get(), 1, uid.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text16(local.Get(), 2, c.GetGivenName(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text16(local.Get(), 3, c.GetFamilyName(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_blob(local.Get(), 4, c.GetVCardData(), static_cast<int>(c.GetVCardSize()), SQLITE_STATIC);
      sqlite3_bind_int(local.Get(), 5, 0);
      sqlite3_bind_int(local.Get(), 6, 0);
      step(local.Get());
      sqlite3_bind_int64(phone.Get(), 1, sqlite3_last_insert_rowid(p));
      sqlite3_bind_text16(phone.Get(), 2, uid.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_blob(phone.Get(), 3, c.GetVCardData(), static_cast<int>(c.GetVCardSize()), SQLITE_STATIC);
      sqlite3_bind_int(phone.Get(), 4, 1);
      step(phone.Get());
      step(release.Get());
    }
    plainSeconds += Now() - start;
  }
  printf("%-48s %8.2f s\n", "10,000 InsertContact, number table kept", oursSeconds);
  printf("%-48s %8.2f s\n", "10,000 same inserts without the table", plainSeconds);
  printf("insert cost ratio (with table / without): %.2f\n", oursSeconds / plainSeconds);
  printf("insert cost ratio in one transaction ((bulk + table made) / bulk): %.2f\n",
         (bulkSeconds + buildSeconds) / bulkSeconds);
  ours.Close();
  local.Reset();
  phone.Reset();
  begin.Reset();
  release.Reset();
  plainDb.Reset();

  for (const std::wstring* path : {&upgraded, &withTable, &withoutTable}) DeleteFileW(path->c_str());
  RemoveDirectoryW(folder.c_str());
  return wrong == 0 ? 0 : 1;
}
