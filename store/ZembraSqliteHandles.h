#pragma once
#include <windows.h>
#include "ZCLHandle.h"

struct sqlite3;
struct sqlite3_stmt;

// Owners for SQLite connections and statements. Freed out of line, so that
// the users of the database need no SQLite header.
struct ZembraSqliteConnectionTraits {
  typedef sqlite3* Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type db) { return db != nullptr; }
  static void Free(Type db);
};

struct ZembraSqliteStatementTraits {
  typedef sqlite3_stmt* Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type s) { return s != nullptr; }
  static void Free(Type s);
};

typedef CUniqueHandle<ZembraSqliteConnectionTraits> CSqliteConnection;
typedef CUniqueHandle<ZembraSqliteStatementTraits> CSqliteStatement;

// The heap SQLite allocates from in a process of the store: one of its own,
// set before SQLite's first use. Null when SQLite had been started already
// and keeps the runtime's heap.
HANDLE ZembraSqliteHeap();
