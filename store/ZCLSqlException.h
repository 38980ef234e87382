#pragma once
#include <windows.h>
#include <string>
#include "ZCLException.h"

struct sqlite3;

// A failed SQLite call of the store: the library's result code and text.
class ZCLSqlException : public ZCLException {
public:
  ZCLSqlException(const std::string& message, int result) : ZCLException(message), m_result(result) {}
  ~ZCLSqlException() override {}
  int GetResultCode() const { return m_result; }

private:
  int m_result;
};

// Logs the failure at level 5 and throws it.
[[noreturn]] void ZCLSqlThrow(int result, const std::string& message);
// Passes SQLITE_OK, SQLITE_ROW and SQLITE_DONE; throws with the connection's text otherwise.
void ZCLSqlThrowOnFail(int result, sqlite3* db);
