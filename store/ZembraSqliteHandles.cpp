#include <windows.h>
#include "ZembraSqliteHandles.h"
#include <sqlite3.h>
#include "ZCLLogger.h"

void ZembraSqliteConnectionTraits::Free(Type db) { sqlite3_close(db); }

void ZembraSqliteStatementTraits::Free(Type s) { sqlite3_finalize(s); }

void ZembraDbStatementTraits::Free(Type s) {
  if (sqlite3_finalize(s) != SQLITE_OK)
    ZCLLogMessage(5, nullptr).Print("Statement finalization failed, something horrid is going on!");
}
