#include <windows.h>
#include "FaultVfs.h"
#include <atomic>
#include <cstddef>

namespace storetest {

namespace {

sqlite3_vfs* g_base = nullptr;
sqlite3_vfs g_vfs;
std::atomic<int> g_calls{0};
std::atomic<int> g_position{0};
std::atomic<int> g_code{SQLITE_OK};
std::atomic<int> g_kinds{0};
std::atomic<bool> g_taken{false};
std::atomic<bool> g_takenWrite{false};
std::atomic<int> g_busyLeft{0};
std::atomic<bool> g_skipSyncs{false};
std::atomic<bool> g_everyTransaction{false};
std::atomic<int> g_failures{0};

// The system's file record follows ours in the same allocation.
struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real;
};

const size_t kRealOffset = (sizeof(ShimFile) + 15) & ~static_cast<size_t>(15);

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }

// True when this call is the armed one.
bool Fails(int kind) {
  if ((g_kinds.load() & kind) == 0) return false;
  int n = ++g_calls;
  if (g_position.load() == 0 || n != g_position.load()) return false;
  if (g_taken.load() && !g_everyTransaction.load()) return false;
  g_taken = true;
  g_takenWrite = kind == CFaultVfs::Writes;
  ++g_failures;
  return true;
}

int Close(sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); }
int Read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  return Real(f)->pMethods->xRead(Real(f), buffer, amount, offset);
}
int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (Fails(CFaultVfs::Writes)) return g_code.load() == SQLITE_FULL ? SQLITE_FULL : SQLITE_IOERR_WRITE;
  return Real(f)->pMethods->xWrite(Real(f), buffer, amount, offset);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) { return Real(f)->pMethods->xTruncate(Real(f), size); }
int Sync(sqlite3_file* f, int flags) {
  if (Fails(CFaultVfs::Syncs)) return SQLITE_IOERR_FSYNC;
  if (g_skipSyncs.load()) return SQLITE_OK;
  return Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int Lock(sqlite3_file* f, int level) {
  if (level == SQLITE_LOCK_EXCLUSIVE) {
    int left = g_busyLeft.load();
    while (left > 0 && !g_busyLeft.compare_exchange_weak(left, left - 1)) {
    }
    if (left > 0) return SQLITE_BUSY;
  }
  return Real(f)->pMethods->xLock(Real(f), level);
}
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }

// Version 1: no shared memory and no memory mapping, which the store's
// rollback journal does not use.
const sqlite3_io_methods kMethods = {
    1,    Close,       Read,         Write,    Truncate,    Sync, FileSize, Lock, Unlock, CheckReservedLock,
    FileControl, SectorSize, DeviceCharacteristics,
};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
  ShimFile* shim = reinterpret_cast<ShimFile*>(f);
  shim->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + kRealOffset);
  shim->real->pMethods = nullptr;
  // A rollback journal is made for each write transaction.
  if (g_everyTransaction.load() && (flags & SQLITE_OPEN_MAIN_JOURNAL)) g_calls = 0;
  int rc = g_base->xOpen(g_base, name, shim->real, flags, outFlags);
  shim->base.pMethods = shim->real->pMethods ? &kMethods : nullptr;
  return rc;
}

// The rest goes to the system's layer with its own record.
int Delete(sqlite3_vfs*, const char* name, int syncDir) { return g_base->xDelete(g_base, name, syncDir); }
int Access(sqlite3_vfs*, const char* name, int flags, int* out) { return g_base->xAccess(g_base, name, flags, out); }
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return g_base->xFullPathname(g_base, name, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) { return g_base->xDlOpen(g_base, name); }
void DlError(sqlite3_vfs*, int size, char* out) { g_base->xDlError(g_base, size, out); }
void (*DlSym(sqlite3_vfs*, void* module, const char* name))(void) { return g_base->xDlSym(g_base, module, name); }
void DlClose(sqlite3_vfs*, void* module) { g_base->xDlClose(g_base, module); }
int Randomness(sqlite3_vfs*, int size, char* out) { return g_base->xRandomness(g_base, size, out); }
int Sleep(sqlite3_vfs*, int microseconds) {
  if (g_busyLeft.load() > 0) return microseconds;
  return g_base->xSleep(g_base, microseconds);
}
int CurrentTime(sqlite3_vfs*, double* out) { return g_base->xCurrentTime(g_base, out); }
int GetLastError(sqlite3_vfs*, int size, char* out) { return g_base->xGetLastError(g_base, size, out); }
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return g_base->xCurrentTimeInt64(g_base, out); }

}  // namespace

CFaultVfs::CFaultVfs() {
  g_base = sqlite3_vfs_find(nullptr);
  // Version 2: the system-call overrides of version 3 stay the system layer's.
  g_vfs = {2,           static_cast<int>(kRealOffset) + g_base->szOsFile,
           g_base->mxPathname, nullptr, "dialix-fault", nullptr, Open, Delete, Access, FullPathname, DlOpen, DlError,
           DlSym,       DlClose, Randomness, Sleep, CurrentTime, GetLastError, CurrentTimeInt64, nullptr, nullptr,
           nullptr};
  FailAt(0, SQLITE_OK);
  g_busyLeft = 0;
  sqlite3_vfs_register(&g_vfs, 1);
}

// Connections opened meanwhile must be closed first: they keep the record.
CFaultVfs::~CFaultVfs() {
  FailAt(0, SQLITE_OK);
  g_busyLeft = 0;
  g_skipSyncs = false;
  sqlite3_vfs_unregister(&g_vfs);
}

void CFaultVfs::FailAt(int position, int code, int kinds) {
  g_everyTransaction = false;
  g_failures = 0;
  g_position = 0;
  g_calls = 0;
  g_taken = false;
  g_takenWrite = false;
  g_code = code;
  g_kinds = position ? kinds : Writes | Syncs;
  g_position = position;
}

void CFaultVfs::FailInEveryTransaction(int position, int code) {
  FailAt(position, code);
  g_everyTransaction = true;
}

int CFaultVfs::Failures() const { return g_failures.load(); }
bool CFaultVfs::Taken() const { return g_taken.load(); }
bool CFaultVfs::TakenWasWrite() const { return g_takenWrite.load(); }
int CFaultVfs::Calls() const { return g_calls.load(); }
void CFaultVfs::BusyLocks(int count) { g_busyLeft = count; }
void CFaultVfs::SkipSyncs(bool skip) { g_skipSyncs = skip; }
int CFaultVfs::BusyLeft() const { return g_busyLeft.load(); }

}  // namespace storetest
