#pragma once
#include <windows.h>
#include <sqlite3.h>
#include "ZCLHandle.h"

// Owners for SQLite connections and statements outside CZembraDb, which
// keeps its own (its statements are finalized as one list on every reset).
struct ZembraSqliteConnectionTraits {
  typedef sqlite3* Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type db) { return db != nullptr; }
  static void Free(Type db) { sqlite3_close(db); }
};

struct ZembraSqliteStatementTraits {
  typedef sqlite3_stmt* Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type s) { return s != nullptr; }
  static void Free(Type s) { sqlite3_finalize(s); }
};

typedef CUniqueHandle<ZembraSqliteConnectionTraits> CSqliteConnection;
typedef CUniqueHandle<ZembraSqliteStatementTraits> CSqliteStatement;
