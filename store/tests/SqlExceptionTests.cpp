#include <windows.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include "LogFileTest.h"
#include "ZCLSqlException.h"

namespace {

TEST(SqlExceptionTest, SqlThrowPassesOkRowAndDoneAndCarriesTheLibraryText) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  EXPECT_NO_THROW(ZCLSqlThrowOnFail(SQLITE_OK, db));
  EXPECT_NO_THROW(ZCLSqlThrowOnFail(SQLITE_ROW, db));
  EXPECT_NO_THROW(ZCLSqlThrowOnFail(SQLITE_DONE, db));
  int rc = sqlite3_exec(db, "SELECT * FROM missing", nullptr, nullptr, nullptr);
  try {
    ZCLSqlThrowOnFail(rc, db);
    FAIL() << "no throw";
  } catch (const ZCLSqlException& e) {
    EXPECT_EQ(e.GetResultCode(), SQLITE_ERROR);
    EXPECT_EQ(e.GetCode(), 0);
    EXPECT_EQ(e.GetMessageText(), "no such table: missing");
  }
  sqlite3_close(db);
}

using SqlExceptionLogTest = LogFileTest;

// Logged at trace level where thrown; caught as the base class, the line
// names the base.
TEST_F(SqlExceptionLogTest, ThrowLogsTheLibraryTextAndTheCatchNamesTheCaughtClass) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  EXPECT_THROW(ZCLSqlThrowOnFail(sqlite3_exec(db, "bogus", nullptr, nullptr, nullptr), db), ZCLSqlException);
  sqlite3_close(db);
  try {
    throw ZCLSqlException("busy", 5);
  } catch (const ZCLException& e) {
    ZCLLogCaught(3, e);
  }
  std::string text = NewText();
  EXPECT_NE(text.find("[ZCLSqlException 1: near \"bogus\": syntax error]"), std::string::npos) << text;
  EXPECT_NE(text.find("]: " + AsFileText("[class ZCLException\nbusy]") + "\r\n"), std::string::npos) << text;
}

}  // namespace
