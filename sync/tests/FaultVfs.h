#pragma once
#include <windows.h>
#include <sqlite3.h>

namespace storetest {

// A file layer in front of the system's, as SQLite's own I/O-error tests
// use: it fails the n-th write or sync of the files opened through it, or
// answers "busy" to requests for an exclusive lock. Registered as the
// default for the life of the object, so every connection opened meanwhile
// goes through it; one at a time per process. Its counters may be read and
// armed from any thread.
class CFaultVfs {
public:
  enum Kinds { Writes = 1, Syncs = 2 };

  CFaultVfs();
  ~CFaultVfs();

  // The `position`-th write or sync (of the kinds given, counted from 1 from
  // now) fails with `code`; writes fail with SQLITE_FULL when the code is
  // SQLITE_FULL and with SQLITE_IOERR_WRITE otherwise, syncs with
  // SQLITE_IOERR_FSYNC. Position 0 disarms.
  void FailAt(int position, int code, int kinds = Writes | Syncs);
  // The `position`-th write or sync of every write transaction from now (its
  // rollback journal's making starts the count) fails as above.
  void FailInEveryTransaction(int position, int code);
  int Failures() const;
  // Counts from now without failing.
  void Count() { FailAt(0, SQLITE_OK); }
  bool Taken() const;
  // Whether the counted call failed was a write.
  bool TakenWasWrite() const;
  int Calls() const;  // counted since FailAt

  // The next `count` requests for an exclusive lock answer SQLITE_BUSY, and
  // the busy handler's waits return at once meanwhile.
  void BusyLocks(int count);
  int BusyLeft() const;

  // Syncs that do not fail answer at once without reaching the disk: what a
  // sweep checks is the database's answer to a failure, not its durability.
  void SkipSyncs(bool skip);

private:
  CFaultVfs(const CFaultVfs&) = delete;
  CFaultVfs& operator=(const CFaultVfs&) = delete;
};

}  // namespace storetest
