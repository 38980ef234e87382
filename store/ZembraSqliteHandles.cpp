#include <windows.h>
#include "ZembraSqliteHandles.h"
#include <sqlite3.h>

void ZembraSqliteConnectionTraits::Free(Type db) { sqlite3_close(db); }

void ZembraSqliteStatementTraits::Free(Type s) { sqlite3_finalize(s); }
