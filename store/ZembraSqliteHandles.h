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

// CZembraDb's own statements: each run ends in a reset, so a failed
// finalize means something else went badly wrong, and is logged.
struct ZembraDbStatementTraits : ZembraSqliteStatementTraits {
  static void Free(Type s);
};

typedef CUniqueHandle<ZembraSqliteConnectionTraits> CSqliteConnection;
typedef CUniqueHandle<ZembraSqliteStatementTraits> CSqliteStatement;
typedef CUniqueHandle<ZembraDbStatementTraits> CZembraDbStatement;
