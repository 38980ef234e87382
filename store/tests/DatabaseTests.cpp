#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>
#include "CZembraDb.h"
#include <sqlite3.h>
#include "ZembraSqliteHandles.h"
#include "LogFileTest.h"
#include "StoreTestSupport.h"

using namespace storetest;

namespace {

// The five CREATE texts and the 35 statements, kept apart from the code in a
// file of their own; "\t" there stands for one tab.
std::vector<std::string> ExpectedSql() {
  std::vector<std::string> texts;
  const char* source = getenv("DIALIX_SOURCE");
  if (!source) return texts;
  std::string path = std::string("Z:") + source + "/store/tests/expected-sql.txt";
  for (char& c : path)
    if (c == '/') c = '\\';
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 't') {
        text += '\t';
        ++i;
      } else {
        text += line[i];
      }
    }
    texts.push_back(text);
  }
  return texts;
}

int SqlCode(const std::function<void()>& f) {
  try {
    f();
  } catch (const ZCLSqlException& e) {
    return e.GetResultCode();
  }
  return 0;
}

class DatabaseTest : public LogFileTest {
protected:
  bool Logged(const std::string& part) const { return NewText().find(part) != std::string::npos; }
};

class CountingCB : public IZembraDbCB {
public:
  void SelectContactsCB(CZembraContact* c) override { names.push_back(c->GetFamilyName()); }
  std::vector<std::wstring> names;
};

TEST_F(DatabaseTest, NewFileHoldsExactlyTheSchemaAndTheStatementTexts) {
  std::vector<std::string> expected = ExpectedSql();
  ASSERT_EQ(expected.size(), 40u);
  TempFolder folder;
  CZembraDb db;
  db.Open(folder.Db().c_str());
  ASSERT_TRUE(db.IsOpen());
  for (int n = 1; n <= 35; ++n) EXPECT_EQ(db.GetStatementText(n), expected[4 + n]) << "statement " << n;

  // SQLite keeps each CREATE text from "CREATE" on, without the closing semicolon.
  // The number table and its indexes are ours, beside the five, and so are
  // the two tables of what the phone has not confirmed.
  SideConnection side(folder.Db());
  std::vector<std::string> stored = side.Column(
      "SELECT sql FROM sqlite_master WHERE name<>'sqlite_sequence' AND name NOT LIKE 'contact_numbers%' "
      "AND name NOT IN ('contacts_written', 'sms_read_marks') ORDER BY rowid");
  ASSERT_EQ(stored.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    std::string text = expected[i];
    ASSERT_EQ(text.substr(0, 7), "\tCREATE");
    EXPECT_EQ(stored[i], text.substr(1, text.size() - 2)) << i;
  }
}

// Leaves a new database file for the command-line check of the schema.
TEST_F(DatabaseTest, WritesFileForSchemaScript) {
  const char* target = getenv("DIALIX_STORE_SCHEMA_DB");
  if (!target) GTEST_SKIP() << "run by the schema script";
  CZembraDb db;
  db.Open(target);
  EXPECT_TRUE(db.IsOpen());
}

// SQLite's buffers among the store's records slowed every allocation in a
// large fill; each program of the store gives SQLite a heap of its own, set
// before the first connection, also one opened outside the store.
TEST(StoreHeap, SqliteAllocatesFromAHeapOfItsOwn) {
  HANDLE heap = ZembraSqliteHeap();
  ASSERT_NE(heap, nullptr);
  void* block = sqlite3_malloc(4300);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(HeapValidate(heap, 0, block));
  sqlite3_free(block);
  EXPECT_EQ(heap, ZembraSqliteHeap());
}

// Under Wine a read or write that names its offset by an OVERLAPPED costs a
// round trip to the server for a completion nobody waits for, one per page
// once a store outgrows SQLite's cache: the store's reads and writes seek.
namespace {
typedef BOOL(WINAPI* FileCall)(HANDLE, void*, DWORD, DWORD*, OVERLAPPED*);
FileCall g_read = nullptr, g_write = nullptr;
LONG g_calls = 0, g_overlapped = 0;
BOOL WINAPI CountingRead(HANDLE file, void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* overlapped) {
  InterlockedIncrement(&g_calls);
  if (overlapped) InterlockedIncrement(&g_overlapped);
  return g_read(file, buffer, bytes, done, overlapped);
}
BOOL WINAPI CountingWrite(HANDLE file, void* buffer, DWORD bytes, DWORD* done, OVERLAPPED* overlapped) {
  InterlockedIncrement(&g_calls);
  if (overlapped) InterlockedIncrement(&g_overlapped);
  return g_write(file, buffer, bytes, done, overlapped);
}
}  // namespace

TEST(StoreFiles, ReadsAndWritesCarryNoOverlapped) {
  sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
  ASSERT_NE(vfs, nullptr);
  g_read = reinterpret_cast<FileCall>(vfs->xGetSystemCall(vfs, "ReadFile"));
  g_write = reinterpret_cast<FileCall>(vfs->xGetSystemCall(vfs, "WriteFile"));
  ASSERT_TRUE(g_read && g_write);
  g_calls = g_overlapped = 0;
  // The runtime's own calls come back however the test ends.
  struct Restore {
    sqlite3_vfs* vfs;
    ~Restore() {
      vfs->xSetSystemCall(vfs, "ReadFile", nullptr);
      vfs->xSetSystemCall(vfs, "WriteFile", nullptr);
    }
  } restore{vfs};
  ASSERT_EQ(vfs->xSetSystemCall(vfs, "ReadFile", reinterpret_cast<sqlite3_syscall_ptr>(CountingRead)), SQLITE_OK);
  ASSERT_EQ(vfs->xSetSystemCall(vfs, "WriteFile", reinterpret_cast<sqlite3_syscall_ptr>(CountingWrite)), SQLITE_OK);
  TempFolder folder;
  std::vector<std::wstring> names;
  {
    CZembraDb db;
    db.Open(folder.Db().c_str());
    CZembraContact c = Contact("N:Lee\r\n");
    EXPECT_GT(db.InsertContact(c), 0);
    db.Close();
    db.Open(folder.Db().c_str());
    CountingCB cb;
    db.SelectContacts(&cb);
    names = cb.names;
  }
  EXPECT_EQ(names, std::vector<std::wstring>{L"Lee"});
  EXPECT_GT(g_calls, 0);
  EXPECT_EQ(g_overlapped, 0) << "of " << g_calls << " reads and writes";
}

TEST_F(DatabaseTest, MissingFolderRaisesMisuseThenRecoversOnceTheFolderExists) {
  TempFolder folder;
  std::wstring sub = folder.Path() + L"\\later";
  CZembraDb db;
  db.Open((sub + L"\\OrvexDialix.db").c_str());
  EXPECT_FALSE(db.IsOpen());

  EXPECT_EQ(SqlCode([&] { db.DeleteContact(1); }), SQLITE_MISUSE);
  EXPECT_TRUE(Logged("SQL ERROR: "));
  EXPECT_TRUE(Logged("Resetting Database. Cause: "));
  CountingCB cb;
  EXPECT_EQ(SqlCode([&] { db.SelectContacts(&cb); }), SQLITE_MISUSE);
  CZembraContact c = Contact("N:Lee\r\n");
  EXPECT_EQ(SqlCode([&] { db.InsertContact(c); }), SQLITE_MISUSE);
  EXPECT_EQ(c.GetDbId(), -1);

  ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
  EXPECT_GT(db.InsertContact(c), 0);
  EXPECT_TRUE(db.IsOpen());
  db.SelectContacts(&cb);
  EXPECT_EQ(cb.names, std::vector<std::wstring>{L"Lee"});
}

TEST_F(DatabaseTest, BusyResetsAndConstraintDoesNot) {
  TempFolder folder;
  CZembraDb db;
  db.Open(folder.Db().c_str());
  CZembraContact c = Contact("N:Lee\r\n", "0a", 5);
  db.InsertPhoneContact(c);
  EXPECT_EQ(SqlCode([&] { db.InsertPhoneContact(c); }), SQLITE_CONSTRAINT);
  EXPECT_TRUE(Logged("SQL ERROR: "));
  EXPECT_FALSE(Logged("Resetting Database"));
  EXPECT_TRUE(db.IsOpen());
  SideConnection side(folder.Db());
  ASSERT_EQ(side.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
  EXPECT_EQ(SqlCode([&] { db.DeleteContact(1); }), SQLITE_BUSY);
  EXPECT_TRUE(Logged("Resetting Database. Cause: database is locked"));
  ASSERT_EQ(side.Exec("COMMIT"), SQLITE_OK);
  EXPECT_NO_THROW(db.DeletePhoneContactRow(5));
  EXPECT_TRUE(db.IsOpen());
  EXPECT_EQ(side.Value("SELECT count(*) FROM contacts_phone"), "0");
}

TEST_F(DatabaseTest, SchemaFailureLeavesNoHalfMadeTables) {
  TempFolder folder;
  {
    SideConnection side(folder.Db());
    side.Exec("CREATE TABLE sms (x)");  // the third CREATE text fails
  }
  CZembraDb db;
  db.Open(folder.Db().c_str());
  EXPECT_FALSE(db.IsOpen());
  SideConnection side(folder.Db());
  EXPECT_EQ(side.Value("SELECT count(*) FROM sqlite_master WHERE name LIKE 'contacts%'"), "0");
}

TEST_F(DatabaseTest, UnicodePathOpensThatVeryFile) {
  TempFolder folder(L"J\u00f6rg-\u03a9\u043c\u0438\u0440-\u6771");
  CZembraDb db;
  db.Open(folder.Db().c_str());
  ASSERT_TRUE(db.IsOpen());
  CZembraContact c = Contact("N:Lee\r\n");
  ASSERT_GT(db.InsertContact(c), 0);
  db.Close();
  EXPECT_NE(GetFileAttributesW(folder.Db().c_str()), INVALID_FILE_ATTRIBUTES);
  SideConnection side(folder.Db());
  EXPECT_EQ(side.Value("SELECT family_name FROM contacts_local"), "Lee");
}

// A callback that closes and reopens the database, or throws, must neither
// crash the selection nor leave its statement holding the file.
TEST_F(DatabaseTest, CallbacksMayResetTheDatabaseOrThrow) {
  TempFolder folder;
  CZembraDb db;
  db.Open(folder.Db().c_str());
  for (const char* name : {"N:A\r\n", "N:B\r\n", "N:C\r\n"}) {
    CZembraContact c = Contact(name);
    db.InsertContact(c);
  }
  struct Reopening : IZembraDbCB {
    CZembraDb* db;
    std::wstring path;
    int seen = 0;
    void SelectContactsCB(CZembraContact*) override {
      if (seen++ == 0) {
        db->Close();
        db->Open(path.c_str());
      }
    }
  } reopening;
  reopening.db = &db;
  reopening.path = folder.Db();
  db.SelectContacts(&reopening);
  EXPECT_EQ(reopening.seen, 3);

  struct Throwing : IZembraDbCB {
    void SelectContactsCB(CZembraContact*) override { throw 42; }
  } throwing;
  EXPECT_THROW(db.SelectContacts(&throwing), int);
  SideConnection side(folder.Db());
  EXPECT_EQ(side.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);  // no read left open
  side.Exec("COMMIT");
}

// What another connection sees of a long pass: a short pass commits every
// few hundred rows, and however long it runs, no more than an eighth of its
// rows (and never more than one largest group) wait for a commit.
TEST(StoreBatch, ALongPassCommitsInGroupsThatGrowButLeaveLittleUncommitted) {
  TempFolder folder;
  CZembraDb db;
  db.Open(folder.Db().c_str());
  SideConnection reader(folder.Db());
  auto committed = [&] { return atoi(reader.Value("SELECT COALESCE(MAX(id), 0) FROM contacts_local").c_str()); };
  const int rows = 20000;
  int largestWait = 0;
  {
    CZembraDbBatch batch(&db);
    for (int i = 1; i <= rows; ++i) {
      CZembraContact c = Contact("N:Row" + std::to_string(i) + "\r\nTEL:040" + std::to_string(1000000 + i) + "\r\n");
      ASSERT_GT(db.InsertContact(c), 0);
      batch.RowDone();
      if (i == 255) {
        EXPECT_EQ(committed(), 0);
      }
      if (i == 256 || i == 512) {
        EXPECT_EQ(committed(), i);
      }
      if (i % 97 == 0) {
        int waiting = i - committed();
        ASSERT_LE(waiting, std::max(256, i / 8)) << "after " << i << " rows";
        ASSERT_LE(waiting, CZembraDbBatch::kLargestGroup) << "after " << i << " rows";
        largestWait = std::max(largestWait, waiting);
      }
    }
    EXPECT_GT(largestWait, 1024);  // the groups grew: far fewer commits than one per 256 rows
    batch.Finish();
  }
  EXPECT_EQ(committed(), rows);
  EXPECT_EQ(db.FindContactsByNumber(L"0401019999").size(), 1u);
}

TEST_F(DatabaseTest, ThreadsShareOneDatabase) {
  TempFolder folder;
  CZembraDb db;
  db.Open(folder.Db().c_str());
  const int perThread = 50;  // every insert is a commit, which Wine flushes to disk
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < perThread; ++i) {
        try {
          CZembraContact c = Contact("N:T" + std::to_string(t) + "\r\nTEL:0401234567\r\n");
          if (db.InsertContact(c) < 0) ++failures;
          db.FindContactsByNumber(L"040 123 4567");
          CountingCB cb;
          db.SelectContacts(&cb);
        } catch (...) {
          ++failures;
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(db.FindContactsByNumber(L"0401234567").size(), 4u * perThread);
}

}  // namespace
