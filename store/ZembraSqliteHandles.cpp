#include <windows.h>
#include "ZembraSqliteHandles.h"
#include <sqlite3.h>

void ZembraSqliteConnectionTraits::Free(Type db) { sqlite3_close(db); }

void ZembraSqliteStatementTraits::Free(Type s) { sqlite3_finalize(s); }

namespace {

// Wine's heap finds a larger block by walking its free blocks one by one.
// SQLite's page-sized buffers, freed and taken again among the store's many
// small records in one heap, left thousands of blocks too small to walk past:
// filling 30,000 contacts took ten times as long as 10,000. A heap of
// SQLite's own holds buffers of a few sizes that fit each other again.
HANDLE g_heap = nullptr;

void* HeapMalloc(int bytes) { return HeapAlloc(g_heap, 0, static_cast<SIZE_T>(bytes)); }
void HeapRelease(void* block) { HeapFree(g_heap, 0, block); }
void* HeapRealloc(void* block, int bytes) { return HeapReAlloc(g_heap, 0, block, static_cast<SIZE_T>(bytes)); }
int HeapBlockSize(void* block) { return block ? static_cast<int>(HeapSize(g_heap, 0, block)) : 0; }
int HeapRoundup(int bytes) { return (bytes + 15) & ~15; }
int HeapStart(void*) { return SQLITE_OK; }
void HeapEnd(void*) {}

HANDLE MakeSqliteHeap() {
  static const sqlite3_mem_methods methods = {HeapMalloc, HeapRelease, HeapRealloc, HeapBlockSize,
                                              HeapRoundup, HeapStart,  HeapEnd,     nullptr};
  // Refused once SQLite has started: it keeps the runtime's heap then.
  if (sqlite3_config(SQLITE_CONFIG_MALLOC, &methods) != SQLITE_OK) return nullptr;
  // Lives as long as the process: SQLite may free into it up to the end.
  g_heap = HeapCreate(0, 0, 0);
  if (!g_heap) g_heap = GetProcessHeap();
  return g_heap;
}

// Set before main, ahead of any connection a program or its tests open.
const HANDLE g_configured = ZembraSqliteHeap();

}  // namespace

HANDLE ZembraSqliteHeap() {
  static const HANDLE heap = MakeSqliteHeap();
  return heap;
}
