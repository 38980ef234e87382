#include <windows.h>
#include "ZCLSqlException.h"
#include <sqlite3.h>
#include "ZCLLogger.h"

void ZCLSqlThrowOnFail(int result, sqlite3* db) {
  if (result == SQLITE_OK || result == SQLITE_ROW || result == SQLITE_DONE) return;
  const char* text = db ? sqlite3_errmsg(db) : sqlite3_errstr(result);
  ZCLSqlThrow(result, text ? text : "");
}

void ZCLSqlThrow(int result, const std::string& message) {
  ZCLLogMessage(5, nullptr).Print("[ZCLSqlException %i: %s]", result, message.c_str());
  throw ZCLSqlException(message, result);
}
