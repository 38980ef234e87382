#include <windows.h>
#include <sqlite3.h>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>
#include "CZembraContact.h"
#include "CZembraDb.h"
#include "CZembraEventLog.h"
#include "CZembraSMS.h"
#include "CZembraSync.h"
#include "PhoneWorld.h"
#include "TrelkApi.h"
#include "ZCLHandle.h"
#include "ZCLText.h"
#include "ZembraSqliteHandles.h"

// The first sync of a simulated phone with 5,000 contacts (a tenth with
// pictures), 20,000 messages and 1,000 call-log entries, beside its baseline
// in the same run: a bare read of the same items through the same library
// calls plus a bare SQLite loop inserting the same rows in one transaction.
// Then a second sync with nothing changed. Run by tools/bench.

namespace {

const wchar_t kSerial[] = L"SN-BENCH";
const int kContacts = 5000;
const int kMessages = 20000;
const int kCalls = 1000;

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

int g_failures = 0;
void Check(bool ok, const char* what) {
  if (ok) return;
  ++g_failures;
  printf("FAILED: %s\n", what);
}
void CheckCall(DWORD result, const char* what) {
  if (result == 0) return;
  ++g_failures;
  printf("FAILED: %s answered 0x%08lX\n", what, static_cast<unsigned long>(result));
}

const char kPhoto[] =
    "PHOTO;ENCODING=BASE64;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJ\r\n"
    " AAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==\r\n";

std::string Card(int i) {
  char number[32];
  snprintf(number, sizeof number, "+35840%07d", i);
  std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family" + std::to_string(i) + ";Given;;;\r\nFN:Given Family" +
                     std::to_string(i) + "\r\nTEL;CELL:" + number + "\r\nEMAIL:given" + std::to_string(i) +
                     "@example.com\r\n";
  if (i % 10 == 0) card += kPhoto;
  return card + "END:VCARD\r\n";
}

std::wstring Uid(DWORD base, int i) {
  wchar_t text[16];
  swprintf(text, 16, L"%08lx", static_cast<unsigned long>(base + i));
  return text;
}

// The phone's world, made once and kept for the next runs.
void MakeWorld(const std::wstring& folder) {
  std::wstring marker = folder + L"\\bench-ready-5000-20000-1000";
  if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  printf("making the phone's world (once)...\n");
  PhoneSim::DeleteFolderTree(folder);
  PhoneSim::CPhoneWorld world(folder);
  PhoneSim::CPhone phone;
  phone.serial = kSerial;
  world.PlugPhone(phone);
  for (int i = 0; i < kContacts; ++i) {
    PhoneSim::CContact c;
    c.uid = Uid(0x10000000, i);
    c.vcard = Card(i);
    world.WriteContact(kSerial, c);
  }
  for (int i = 0; i < kMessages; ++i) {
    PhoneSim::CMessage m;
    m.uid = Uid(0x20000000, i);
    m.folder = i % 4 == 3 ? TESSIM_FOLDER_OUTBOX : TESSIM_FOLDER_INBOX;
    m.info = 0x201;
    m.text = L"A message of a typical length, a line or two of text, number " + std::to_wstring(i) + L".";
    m.addresses.resize(1);
    m.addresses[0].address = L"+35840" + std::to_wstring(1000000 + i);
    m.time.year = 2026;
    m.time.month = 1 + i % 12;
    m.time.day = 1 + i % 28;
    m.time.hour = i % 24;
    world.WriteMessage(kSerial, m);
  }
  for (int i = 0; i < kCalls; ++i) {
    PhoneSim::CCallLogEntry e;
    e.type = 1;
    e.direction = i % 2;
    e.duration = i;
    e.number = L"+35850" + std::to_wstring(1000000 + i);
    e.time.year = 2026;
    e.time.month = 2;
    e.time.day = 1 + i % 28;
    e.time.hour = i % 24;
    e.time.minute = i % 60;
    world.AddCallLogEntry(kSerial, e);
  }
  CHandle made(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

// What the bare read copies out of the libraries' records.
struct ReadItems {
  std::vector<std::pair<std::vector<BYTE>, std::vector<BYTE>>> contacts;  // uid, vCard
  std::vector<CZembraSMS> messages;
  std::vector<CZembraEventLog> calls;
};

DWORD FolderIdsOf(DWORD handle, DWORD* root, std::vector<DWORD>* subFolders) {
  TESSIM_FOLDER_INFO info = {};
  info.dwSize = sizeof(info);
  DWORD rc = TessimGetFolderInfo(handle, &info);
  if (rc) return rc;
  *root = info.dwFolderId;
  for (DWORD i = 0; i < info.dwNumOfSubFolders; ++i) subFolders->push_back(info.pSubFolders[i].dwFolderId);
  return TessimFreeFolderInfoStructure(&info);
}

// The same items through the same library calls, with nothing stored.
// Without messages: only their lists, which is what a sync must ask of a
// phone whose messages are all stored already.
void BareRead(ReadItems* items, bool readMessages = true) {
  double start = Now();
  DWORD media = TRELK_OPEN_MEDIA, contacts = 0, messages = 0, log = 0;
  CheckCall(DorraxOpenTessim(kSerial, &media, TESSIM_CONTENT_CONTACTS, &contacts), "DorraxOpenTessim");
  DWORD root = 0;
  std::vector<DWORD> none;
  CheckCall(FolderIdsOf(contacts, &root, &none), "TessimGetFolderInfo");
  TESSIM_ID_LIST list = {sizeof(TESSIM_ID_LIST)};
  CheckCall(TessimGetIDList(contacts, root, 0, &list), "TessimGetIDList");
  DWORD op = 0;
  CheckCall(TessimBeginOperation(contacts, 0, &op), "TessimBeginOperation");
  for (DWORD i = 0; i < list.dwNumOfItems; ++i) {
    TESSIM_CONTACT_ITEM item = {sizeof(TESSIM_CONTACT_ITEM)};
    CheckCall(TessimReadItem(op, &list.pItems[i], 0, TESSIM_FORMAT_VCARD, &item), "TessimReadItem");
    const TESSIM_ITEM_ID& id = list.pItems[i];
    items->contacts.emplace_back(std::vector<BYTE>(id.pbUid, id.pbUid + id.dwUidLength),
                                 std::vector<BYTE>(item.pbData, item.pbData + item.dwDataLength));
    CheckCall(TessimFreeItemData(contacts, TESSIM_FORMAT_VCARD, &item), "TessimFreeItemData");
  }
  CheckCall(TessimEndOperation(op), "TessimEndOperation");
  CheckCall(TessimFreeIdListStructure(&list), "TessimFreeIdListStructure");
  double contactsRead = Now();

  CheckCall(DorraxOpenTessim(kSerial, &media, TESSIM_CONTENT_SMS, &messages), "DorraxOpenTessim");
  std::vector<DWORD> folders;
  CheckCall(FolderIdsOf(messages, &root, &folders), "TessimGetFolderInfo");
  for (DWORD folder : folders) {
    TESSIM_ID_LIST ids = {sizeof(TESSIM_ID_LIST)};
    CheckCall(TessimGetIDList(messages, folder, 0, &ids), "TessimGetIDList");
    CheckCall(TessimBeginOperation(messages, 0, &op), "TessimBeginOperation");
    for (DWORD i = 0; readMessages && i < ids.dwNumOfItems; ++i) {
      TESSIM_SMS_ITEM item = {sizeof(TESSIM_SMS_ITEM)};
      CheckCall(TessimReadItem(op, &ids.pItems[i], 0, TESSIM_FORMAT_SMS, &item), "TessimReadItem");
      items->messages.emplace_back(&ids.pItems[i], &item);
      CheckCall(TessimFreeItemData(messages, TESSIM_FORMAT_SMS, &item), "TessimFreeItemData");
    }
    CheckCall(TessimEndOperation(op), "TessimEndOperation");
    CheckCall(TessimFreeIdListStructure(&ids), "TessimFreeIdListStructure");
  }

  double messagesRead = Now();
  CheckCall(LOGVEX_OpenHandle(kSerial, &media, 0, &log), "LOGVEX_OpenHandle");
  DWORD read = 0;
  CheckCall(LOGVEX_ReadBegin(log, 0, &read), "LOGVEX_ReadBegin");
  for (;;) {
    LOGVEX_LOG_ITEM item = {sizeof(LOGVEX_LOG_ITEM)};
    DWORD rc = LOGVEX_ReadNext(read, 0, &item);
    if (rc == ELNYX_ALL_LISTED) break;
    CheckCall(rc, "LOGVEX_ReadNext");
    if (rc) break;
    items->calls.emplace_back(&item);
    LOGVEX_FreeLogItem(&item);
  }
  CheckCall(LOGVEX_ReadEnd(read), "LOGVEX_ReadEnd");
  printf("  bare read: contacts %.2f s, messages %.2f s, call log %.2f s\n", contactsRead - start,
         messagesRead - contactsRead, Now() - messagesRead);
  DorraxCloseTessim(contacts);
  DorraxCloseTessim(messages);
  LOGVEX_CloseHandle(log);
}

// The rows the sync stores, in plain form, made before the timer starts.
struct Rows {
  struct Contact {
    std::wstring uid, given, family;
    std::vector<BYTE> vcard;
  };
  std::vector<Contact> contacts;
  std::vector<CZembraSMS> messages;
  std::vector<CZembraEventLog> calls;
};

int Step(sqlite3_stmt* s) {
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  return rc;
}

// The same rows through SQLite alone: one transaction, prepared statements.
double BareInserts(const std::wstring& path, const Rows& rows) {
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
  CSqliteStatement local = prepare(
      "INSERT INTO contacts_local (phone_id, given_name, family_name, vcard_data, updated, top) VALUES (?,?,?,?,0,0)");
  CSqliteStatement phone = prepare("INSERT INTO contacts_phone (id, phone_id, vcard_data, existing) VALUES (?,?,?,1)");
  CSqliteStatement sms = prepare("INSERT INTO sms (phone_id, message_data, status, folder, timestamp) VALUES (?,?,?,?,?)");
  CSqliteStatement address = prepare("INSERT INTO sms_address (sms_id, type, address) VALUES (?,?,?)");
  CSqliteStatement event = prepare(
      "INSERT OR REPLACE INTO events (id, number, name, type, direction, duration, timestamp, bytes_sent, "
      "bytes_received) VALUES (?,?,?,?,?,?,?,?,?)");
  double start = Now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK, "BEGIN");
  for (const Rows::Contact& c : rows.contacts) {
    sqlite3_stmt* s = local.Get();
    sqlite3_bind_text16(s, 1, c.uid.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(s, 2, c.given.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(s, 3, c.family.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 4, c.vcard.data(), static_cast<int>(c.vcard.size()), SQLITE_STATIC);
    Check(Step(s) == SQLITE_DONE, "contact insert");
    s = phone.Get();
    sqlite3_bind_int64(s, 1, sqlite3_last_insert_rowid(db));
    sqlite3_bind_text16(s, 2, c.uid.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 3, c.vcard.data(), static_cast<int>(c.vcard.size()), SQLITE_STATIC);
    Check(Step(s) == SQLITE_DONE, "phone copy insert");
  }
  for (const CZembraSMS& m : rows.messages) {
    sqlite3_stmt* s = sms.Get();
    sqlite3_bind_text16(s, 1, m.GetPhoneId().ToString(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(s, 2, m.GetMessage(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 3, m.GetStatus());
    sqlite3_bind_int(s, 4, m.GetFolder());
    sqlite3_bind_text16(s, 5, m.GetTimeStamp(), -1, SQLITE_TRANSIENT);
    Check(Step(s) == SQLITE_DONE, "message insert");
    sqlite3_int64 id = sqlite3_last_insert_rowid(db);
    for (const CZembraSMSAddress* a : m.GetAddresses()) {
      s = address.Get();
      sqlite3_bind_int64(s, 1, id);
      sqlite3_bind_int(s, 2, a->GetType());
      sqlite3_bind_text16(s, 3, a->GetAddress(), -1, SQLITE_TRANSIENT);
      Check(Step(s) == SQLITE_DONE, "address insert");
    }
  }
  for (const CZembraEventLog& e : rows.calls) {
    sqlite3_stmt* s = event.Get();
    sqlite3_bind_int(s, 1, e.GetId());
    sqlite3_bind_text16(s, 2, e.GetNumber().c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text16(s, 3, e.GetName().c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 4, e.GetType());
    sqlite3_bind_int(s, 5, e.GetDirection());
    sqlite3_bind_int(s, 6, e.GetDuration());
    sqlite3_bind_text16(s, 7, e.GetTimeStamp().c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 8, e.GetBytesSent());
    sqlite3_bind_int64(s, 9, e.GetBytesReceived());
    Check(Step(s) == SQLITE_DONE, "event insert");
  }
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK, "COMMIT");
  return Now() - start;
}

// Row counts and a digest of every content column of a database.
struct Content {
  long long contacts = 0, phoneCopies = 0, messages = 0, addresses = 0, calls = 0;
  size_t digest = 0;
};

Content ContentOf(const std::wstring& path) {
  Content content;
  CSqliteConnection connection;
  sqlite3_open(ZCLWideToUtf8(path).c_str(), connection.Put());
  auto scan = [&](const char* sql, long long* count) {
    CSqliteStatement s;
    Check(sqlite3_prepare_v2(connection.Get(), sql, -1, s.Put(), nullptr) == SQLITE_OK, sql);
    while (sqlite3_step(s.Get()) == SQLITE_ROW) {
      ++*count;
      for (int c = 0; c < sqlite3_column_count(s.Get()); ++c) {
        const char* bytes = static_cast<const char*>(sqlite3_column_blob(s.Get(), c));
        std::string value(bytes ? bytes : "", sqlite3_column_bytes(s.Get(), c));
        content.digest = content.digest * 31 + std::hash<std::string>()(value);
      }
    }
  };
  scan("SELECT * FROM contacts_local ORDER BY id", &content.contacts);
  scan("SELECT id, phone_id, vcard_data FROM contacts_phone ORDER BY id", &content.phoneCopies);
  scan("SELECT id, phone_id, message_data, status, folder, timestamp, deleted FROM sms ORDER BY id", &content.messages);
  scan("SELECT * FROM sms_address ORDER BY id", &content.addresses);
  scan("SELECT * FROM events ORDER BY id", &content.calls);
  return content;
}

// The five passes of a full sync, each timed.
double FullSync(CZembraSync& sync, const char* name) {
  double t[6];
  t[0] = Now();
  sync.SyncContactsFromPhone();
  t[1] = Now();
  sync.SyncContactsToPhone();
  t[2] = Now();
  sync.SyncSmsFromPhone();
  t[3] = Now();
  sync.SyncSmsToPhone();
  t[4] = Now();
  sync.SyncEvents();
  t[5] = Now();
  printf("  %s: contacts from %.2f s, to %.2f s; messages from %.2f s, to %.2f s; call log %.2f s\n", name,
         t[1] - t[0], t[2] - t[1], t[3] - t[2], t[4] - t[3], t[5] - t[4]);
  return t[5] - t[0];
}

// The picture files the contacts with a photo should have.
int CountPictures(const std::wstring& folder) {
  int n = 0;
  for (int i = 0; i < kContacts; i += 10)
    n += GetFileAttributesW((folder + L"\\" + Uid(0x10000000, i)).c_str()) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
  return n;
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring world = std::wstring(temp) + L"dialix-sync-bench-world";
  std::wstring work = std::wstring(temp) + L"dialix-sync-bench";
  MakeWorld(world);
  SetEnvironmentVariableW(L"TRELKSIM_WORLD", world.c_str());
  PhoneSim::DeleteFolderTree(work);
  CreateDirectoryW(work.c_str(), nullptr);
  std::wstring engineDb = work + L"\\OrvexDialix.db", bareDb = work + L"\\bare.db";
  printf("sync_bench: %d contacts (a tenth with pictures), %d messages, %d call-log entries\n", kContacts, kMessages,
         kCalls);

  CheckCall(Tessim_Initialize(31, 0), "Tessim_Initialize");
  CheckCall(LOGVEX_Initialize(10, 0), "LOGVEX_Initialize");

  // Baseline: the bare read, then the bare inserts of the rows it read.
  ReadItems items;
  double start = Now();
  BareRead(&items);
  double readSeconds = Now() - start;
  Check(items.contacts.size() == kContacts && items.messages.size() == kMessages && items.calls.size() == kCalls,
        "the bare read found every item");
  Rows rows;
  for (const auto& c : items.contacts) {
    CZembraContact contact(-1, Trelk::CUid(c.first.data(), c.first.size()), c.second.data(), c.second.size());
    rows.contacts.push_back(Rows::Contact{contact.GetPhoneId().ToString(), contact.GetGivenName(),
                                          contact.GetFamilyName(), c.second});
  }
  rows.messages = items.messages;
  rows.calls = items.calls;
  double insertSeconds = BareInserts(bareDb, rows);
  Content bare = ContentOf(bareDb);

  // The engine's first sync into an empty database.
  CZembraDb db;
  db.Open(engineDb.c_str());
  Check(db.IsOpen(), "the engine's database opens");
  double firstSeconds = 0, secondSeconds = 0;
  Content first, second;
  DWORD generationBefore = 0, generationAfter = 0;
  {
    CZembraSync sync(kSerial, &db, work.c_str());
    firstSeconds = FullSync(sync, "first sync");
    first = ContentOf(engineDb);
    PhoneSim::CPhoneWorld phones(world);
    generationBefore = phones.Generation();
    secondSeconds = FullSync(sync, "second sync");
    generationAfter = phones.Generation();
    second = ContentOf(engineDb);
  }
  db.Close();
  ReadItems again;
  start = Now();
  BareRead(&again, false);
  double rereadSeconds = Now() - start;
  LOGVEX_Terminate(0);
  Tessim_Terminate(0);

  Check(first.contacts == kContacts && first.phoneCopies == kContacts, "the sync stored every contact");
  Check(first.messages == kMessages && first.addresses == bare.addresses, "the sync stored every message");
  Check(first.calls == kCalls, "the sync stored every call-log entry");
  Check(bare.contacts == kContacts && bare.messages == kMessages && bare.calls == kCalls, "the bare loop stored every row");
  int pictures = CountPictures(work);
  Check(pictures == kContacts / 10, "one picture file per contact with a photo");

  double baseline = readSeconds + insertSeconds;
  printf("%-52s %8.2f s\n", "bare read through the library calls", readSeconds);
  printf("%-52s %8.2f s\n", "bare SQLite inserts, one transaction", insertSeconds);
  printf("%-52s %8.2f s\n", "first sync (engine)", firstSeconds);
  printf("first sync / (bare read + bare inserts): %.2f (at most 1.5)\n", firstSeconds / baseline);
  printf("%-52s %8.2f s\n", "second sync, nothing changed", secondSeconds);
  printf("second sync / first sync: %.3f (at most 0.1)\n", secondSeconds / firstSeconds);
  printf("%-52s %8.2f s\n", "bare re-read: every contact, the message lists, the log", rereadSeconds);
  printf("second sync / bare re-read: %.2f\n", secondSeconds / rereadSeconds);
  printf("second sync: %lu writes to the phone, content %s, %d picture files\n",
         static_cast<unsigned long>(generationAfter - generationBefore),
         second.digest == first.digest && second.contacts == first.contacts ? "unchanged" : "CHANGED", pictures);
  Check(generationAfter == generationBefore, "the second sync wrote nothing to the phone");
  Check(second.digest == first.digest, "the second sync changed no content row");

  PhoneSim::DeleteFolderTree(work);
  if (g_failures) printf("%d checks failed\n", g_failures);
  return g_failures ? 1 : 0;
}
