#include <windows.h>
#include <sqlite3.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "BenchSupport.h"
#include "CZembraDb.h"
#include "PhoneNumber.h"
#include "ZCLHandle.h"
#include "ZCLText.h"
#include "ZembraSqliteHandles.h"

// Rows per second of the local store against a bare SQLite loop that does
// the same inserts under the same transaction policy (commits where the
// sync's batch makes them). Records are built before the timers start; every
// result is checked and the rows are counted afterwards on both sides. Then
// stores of 10,000 to 100,000 contacts filled the same way, each followed by
// caller lookups, beside bare SQLite with the
// store's own schema doing the same rows in the same commits, each size in a
// process of its own: how filling grows with the store. There the contacts
// are made a few hundred at a time just before they are written, as the sync
// makes them one by one, with the clock stopped: records made ahead left
// thousands of free blocks in the runtime's heap, whose walk then weighed on
// every allocation of the fill. Run by tools/bench.

namespace {

const int kContacts = 10000;
const int kMessages = 50000;
const int kSearches = 200;
const int kRowsPerCommit = 256;
const int kFillSizes[] = {10000, 30000, 60000, 100000};
const int kFillLookups = 2000;

struct SmsRow {
  std::wstring uid;
  std::wstring numbers[2];
};

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

// Where the store's batch commits in one pass.
using CommitPoints = CZembraDbBatch::CommitPoints;

// The same rows through SQLite alone: prepared statements, committed where
// the store's two batches commit.

double BareInserts(const std::wstring& path, const std::vector<std::string>& cards,
                   const std::vector<std::wstring>& contactUids, const std::vector<SmsRow>& messages) {
  CSqliteConnection connection;
  OpenBareDatabase(path, &connection);
  sqlite3* db = connection.Get();
  auto prepare = [db](const char* sql) { return PrepareBare(db, sql); };
  CommitPoints points(kRowsPerCommit);
  auto itemDone = [&] {
    if (points.RowsDone(1)) Check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK, "COMMIT");
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
  Check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK, "COMMIT");
  points = CommitPoints(kRowsPerCommit);
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


// The fill cases: cards of about 500 bytes with a mobile and a work number.

std::string Subscriber(int i) {
  char text[16];
  snprintf(text, sizeof text, "%07d", static_cast<int>((i * 7919LL + 1234567) % 10000000));
  return text;
}

std::string SmallCard(int i) {
  std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family" + std::to_string(i) + ";Given;;;\r\nTEL;CELL:+358 40 " +
                     Subscriber(i) + "\r\nTEL;WORK:+44 20 " + Subscriber(i + 5000000) + "\r\nEMAIL:given" +
                     std::to_string(i) + "@example.com\r\nNOTE:";
  while (card.size() < 480) card += "Met at the trade fair; call after ten. ";
  return card + "\r\nEND:VCARD\r\n";
}

// What a caller's phone shows for contact k: one in ten a number nobody has.
std::wstring FillCaller(int k, int contacts, int& contact) {
  contact = static_cast<int>((k * 104729LL) % contacts);
  std::string number = (k % 2 ? "+35840" : "040 ") + Subscriber(contact);
  if (k % 10 == 9) {
    contact = -1;
    number = "+49 170 " + Subscriber(k);
  }
  return Wide(number);
}

struct FillResult {
  double seconds = 0;
  std::vector<double> lookupMs;
};

// The store's schema as a freshly opened store file holds it, tables and
// indexes alike, so that the bare side never drifts from it.
std::vector<std::string> StoreSchema(const std::wstring& path) {
  DeleteFileW(path.c_str());
  {
    CZembraDb db;
    db.Open(path.c_str());
    Check(db.IsOpen(), "store for the schema");
  }
  std::vector<std::string> schema;
  CSqliteConnection connection;
  sqlite3_open(ZCLWideToUtf8(path).c_str(), connection.Put());
  CSqliteStatement s = PrepareBare(connection.Get(),
                                   "SELECT sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%' "
                                   "ORDER BY rowid");
  while (sqlite3_step(s.Get()) == SQLITE_ROW)
    schema.push_back(reinterpret_cast<const char*>(sqlite3_column_text(s.Get(), 0)));
  s.Reset();
  connection.Reset();
  DeleteFileW(path.c_str());
  return schema;
}

struct BareContact {
  std::wstring uid;
  std::vector<CPhoneNumber> numbers;
};

struct FillChunk {
  std::vector<std::string> cards;
  std::vector<CZembraContact> contacts;
  std::vector<BareContact> bare;
};

// Contacts first to first+count of a fill, as the store and bare SQLite take them.
void MakeChunk(int first, int count, FillChunk& chunk) {
  chunk = FillChunk();
  chunk.cards.reserve(count);
  chunk.contacts.reserve(count);
  chunk.bare.reserve(count);
  for (int i = first; i < first + count; ++i) {
    chunk.cards.push_back(SmallCard(i));
    const std::string& card = chunk.cards.back();
    std::string uid = std::to_string(10000000 + i);
    chunk.contacts.emplace_back(-1, Trelk::CUid::Parse(uid.c_str()), reinterpret_cast<const BYTE*>(card.data()),
                                card.size());
    chunk.bare.push_back(BareContact{chunk.contacts.back().GetPhoneId().ToString(),
                                     PhoneNumbersOfVCard(reinterpret_cast<const BYTE*>(card.data()), card.size())});
  }
}

// Seconds spent writing a fill of `size` contacts a chunk of at most
// kRowsPerCommit at a time, each chunk made and freed with the clock stopped;
// write(chunk, commit) commits after the chunk when the store's batch would.
// `finish` runs last, timed, once the last chunk is gone.
template <class Write, class Finish>
double TimedFill(int size, Write write, Finish finish) {
  double seconds = 0;
  FillChunk chunk;
  CommitPoints points(kRowsPerCommit);
  for (int first = 0, count = 0; first < size; first += count) {
    count = std::min({kRowsPerCommit, size - first, points.Next() - first});
    MakeChunk(first, count, chunk);
    bool commit = points.RowsDone(count);
    double start = Now();
    write(chunk, commit && first + count < size);
    seconds += Now() - start;
  }
  chunk = FillChunk();
  double start = Now();
  finish();
  return seconds + Now() - start;
}

FillResult FillStore(const std::wstring& path, int size) {
  FillResult result;
  CZembraDb db;
  db.Open(path.c_str());
  Check(db.IsOpen(), "open the store to fill");
  {
    CZembraDbBatch batch(&db, kRowsPerCommit);
    result.seconds = TimedFill(
        size,
        [&](FillChunk& chunk, bool) {
          for (CZembraContact& c : chunk.contacts) {
            Check(db.InsertContact(c) > 0, "InsertContact");
            batch.RowDone();
          }
        },
        [&] { batch.Finish(); });
  }
  int expected = 0, wrong = 0;
  for (int k = 0; k < kFillLookups; ++k) {
    std::wstring number = FillCaller(k, size, expected);
    double start = Now();
    std::vector<CZembraContact> found = db.FindContactsByNumber(number.c_str());
    result.lookupMs.push_back((Now() - start) * 1000);
    if (expected < 0 ? !found.empty() : found.empty() || found[0].GetDbId() != expected + 1) ++wrong;
  }
  Check(wrong == 0, "store lookups found their contacts");
  return result;
}

FillResult FillBare(const std::wstring& path, const std::vector<std::string>& schema, int size) {
  FillResult result;
  DeleteFileW(path.c_str());
  CSqliteConnection connection;
  Check(sqlite3_open(ZCLWideToUtf8(path).c_str(), connection.Put()) == SQLITE_OK, "open");
  sqlite3* db = connection.Get();
  for (const std::string& sql : schema) Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK, "schema");
  CSqliteStatement begin = PrepareBare(db, "SAVEPOINT zembra_change");
  CSqliteStatement release = PrepareBare(db, "RELEASE zembra_change");
  CSqliteStatement localInsert = PrepareBare(
      db, "INSERT INTO contacts_local (phone_id, given_name, family_name, vcard_data, updated, top) VALUES (?,?,?,?,0,0)");
  CSqliteStatement numberInsert =
      PrepareBare(db, "INSERT INTO contact_numbers (contact_id, digits, international, tail) VALUES (?,?,?,?)");
  CSqliteStatement phoneInsert =
      PrepareBare(db, "INSERT INTO contacts_phone (id, phone_id, vcard_data, existing) VALUES (?,?,?,1)");
  sqlite3_stmt* local = localInsert.Get();
  sqlite3_stmt* number = numberInsert.Get();
  sqlite3_stmt* phone = phoneInsert.Get();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK, "BEGIN");
  auto write = [&](FillChunk& chunk, bool commit) {
    for (size_t i = 0; i < chunk.bare.size(); ++i) {
      const BareContact& row = chunk.bare[i];
      const std::string& card = chunk.cards[i];
      Check(Step(begin.Get()) == SQLITE_DONE, "SAVEPOINT");
      sqlite3_bind_text16(local, 1, row.uid.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text16(local, 2, L"Given", -1, SQLITE_TRANSIENT);
      sqlite3_bind_text16(local, 3, L"Family", -1, SQLITE_TRANSIENT);
      sqlite3_bind_blob(local, 4, card.data(), static_cast<int>(card.size()), SQLITE_STATIC);
      Check(Step(local) == SQLITE_DONE, "contact insert");
      int id = static_cast<int>(sqlite3_last_insert_rowid(db));
      for (const CPhoneNumber& n : row.numbers) {
        std::string tail = n.Tail();
        sqlite3_bind_int(number, 1, id);
        sqlite3_bind_text(number, 2, n.digits.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(number, 3, n.international ? 1 : 0);
        sqlite3_bind_text(number, 4, tail.c_str(), -1, SQLITE_TRANSIENT);
        Check(Step(number) == SQLITE_DONE, "number insert");
      }
      sqlite3_bind_int(phone, 1, id);
      sqlite3_bind_text16(phone, 2, row.uid.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_blob(phone, 3, card.data(), static_cast<int>(card.size()), SQLITE_STATIC);
      Check(Step(phone) == SQLITE_DONE, "phone copy insert");
      Check(Step(release.Get()) == SQLITE_DONE, "RELEASE");
    }
    if (commit) Check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK, "COMMIT");
  };
  result.seconds = TimedFill(size, write, [&] {
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK, "COMMIT");
  });

  // The candidates of the caller's last digits, each with its card, as the
  // store reads them; bare SQLite does no matching beyond the tail.
  CSqliteStatement lookup = PrepareBare(
      db, "SELECT c.id, c.phone_id, c.vcard_data FROM contact_numbers n JOIN contacts_local c ON c.id=n.contact_id "
          "WHERE n.tail=? AND c.deleted=0 ORDER BY c.top<>0 DESC, c.id");
  int expected = 0, missed = 0;
  for (int k = 0; k < kFillLookups; ++k) {
    std::wstring caller = FillCaller(k, size, expected);
    CPhoneNumber n;
    CPhoneNumber::Parse(caller.c_str(), n);
    std::string tail = n.Tail();
    double start = Now();
    sqlite3_bind_text(lookup.Get(), 1, tail.c_str(), -1, SQLITE_TRANSIENT);
    int firstId = -1;
    while (sqlite3_step(lookup.Get()) == SQLITE_ROW) {
      if (firstId < 0) firstId = sqlite3_column_int(lookup.Get(), 0);
      (void)sqlite3_column_blob(lookup.Get(), 2);
    }
    sqlite3_reset(lookup.Get());
    result.lookupMs.push_back((Now() - start) * 1000);
    if (expected >= 0 && firstId != expected + 1) ++missed;
  }
  Check(missed == 0, "bare lookups found their contacts");
  return result;
}

// One size from empty files, the store first, then bare SQLite; the six
// figures go to `results` for the parent.
int RunFillCase(int size, const std::wstring& folder, const std::wstring& results) {
  const std::wstring ours = folder + L"\\fill.db", bare = folder + L"\\fill-bare.db";
  std::vector<std::string> schema = StoreSchema(ours);
  DeleteFileW(ours.c_str());
  FillResult store = FillStore(ours, size);
  DeleteFileW(ours.c_str());
  FillResult plain = FillBare(bare, schema, size);
  DeleteFileW(bare.c_str());
  FILE* out = _wfopen(results.c_str(), L"w");
  if (!out) return 1;
  fprintf(out, "%f %f %f %f %f %f\n", store.seconds, Percentile(store.lookupMs, 0.5), Percentile(store.lookupMs, 0.95),
          plain.seconds, Percentile(plain.lookupMs, 0.5), Percentile(plain.lookupMs, 0.95));
  fclose(out);
  return g_failures ? 1 : 0;
}

// Each size in a process of its own: what one size leaves in the heap must
// not weigh on the next.
void FillCases(const std::wstring& folder) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring results = folder + L"\\fill-results.txt";
  printf("\nfilling a store: cards of about %u bytes with 2 numbers each, commits of %d up to %d contacts, then %d "
         "lookups\n",
         static_cast<unsigned>(SmallCard(0).size()), kRowsPerCommit, CZembraDbBatch::kLargestGroup, kFillLookups);
  printf("%9s | %9s %8s %10s %10s | %9s %8s %10s %10s\n", "contacts", "store s", "x 10k", "lookup med", "lookup p95",
         "bare s", "x 10k", "lookup med", "lookup p95");
  fflush(stdout);
  double storeFirst = 0, bareFirst = 0, storeRatio = 0;
  for (int size : kFillSizes) {
    DeleteFileW(results.c_str());
    std::wstring command = L"\"" + std::wstring(self) + L"\" fill " + std::to_wstring(size);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
      Check(false, "start the fill case");
      return;
    }
    CHandle thread(process.hThread), child(process.hProcess);
    if (WaitForSingleObject(child.Get(), 1800000) != WAIT_OBJECT_0) {
      TerminateProcess(child.Get(), 2);
      WaitForSingleObject(child.Get(), 10000);
      Check(false, "the fill case ended in time");
      return;
    }
    DWORD code = 1;
    GetExitCodeProcess(child.Get(), &code);
    Check(code == 0, "the fill case");
    double f[6] = {};
    FILE* in = _wfopen(results.c_str(), L"r");
    bool read = in && fscanf(in, "%lf %lf %lf %lf %lf %lf", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]) == 6;
    if (in) fclose(in);
    if (!read) {
      Check(false, "the fill case's figures");
      return;
    }
    if (storeFirst == 0) storeFirst = f[0], bareFirst = f[3];
    storeRatio = f[0] / storeFirst;
    printf("%9d | %9.2f %8.1f %7.3f ms %7.3f ms | %9.2f %8.1f %7.3f ms %7.3f ms\n", size, f[0], storeRatio, f[1], f[2],
           f[3], f[3] / bareFirst, f[4], f[5]);
    fflush(stdout);
  }
  DeleteFileW(results.c_str());
  printf("store fill of %d contacts / fill of %d: %.1f (goal: at most 15)\n", kFillSizes[3], kFillSizes[0], storeRatio);
}

}  // namespace

int main(int argc, char** argv) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"dialix-store-bench";
  CreateDirectoryW(folder.c_str(), nullptr);
  if (argc == 3 && strcmp(argv[1], "fill") == 0)
    return RunFillCase(atoi(argv[2]), folder, folder + L"\\fill-results.txt");
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
  Report("bare SQLite, same inserts, same commits", contactRows + messageRows, bareSeconds);
  Report("CZembraDb, all inserts", contactRows + messageRows, ourSeconds);
  printf("CZembraDb time / bare time, same commit policy: %.2f\n", ourSeconds / bareSeconds);

  DeleteFileW(ours.c_str());
  DeleteFileW(bare.c_str());
  FillCases(folder);
  RemoveDirectoryW(folder.c_str());
  if (g_failures) printf("%d checks failed\n", g_failures);
  return g_failures ? 1 : 0;
}
