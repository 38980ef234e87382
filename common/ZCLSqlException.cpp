#include <windows.h>
#include "ZCLException.h"
#include "ZCLLogger.h"
#include <sqlite3.h>

// Apart from the other throwers: a module that never calls SQLite (the
// Firefox component) must not import sqlite3.dll.
void ZCLSqlThrowOnFail(int result, sqlite3* db) {
  if (result == SQLITE_OK || result == SQLITE_ROW || result == SQLITE_DONE) return;
  const char* text = db ? sqlite3_errmsg(db) : sqlite3_errstr(result);
  std::string message = text ? text : "";
  ZCLLogMessage(5, nullptr).Print("[ZCLSqlException %i: %s]", result, message.c_str());
  throw ZCLSqlException(message, result);
}
