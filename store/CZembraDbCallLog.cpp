#include <windows.h>
#include "CZembraDb.h"
#include <sqlite3.h>
#include "CZembraDbRun.h"

using namespace ZembraDb;

int CZembraDb::InsertEvent(const CZembraEventLog& e) {
  return Guarded([&] {
    CZembraDbRun run(*this, Stmt(InsertEventRow));
    run.Int(1, e.GetId()).Text(2, e.GetNumber().c_str()).Text(3, e.GetName().c_str()).Int(4, e.GetType());
    run.Int(5, e.GetDirection()).Int(6, e.GetDuration()).Text(7, e.GetTimeStamp().c_str());
    run.Int64(8, e.GetBytesSent()).Int64(9, e.GetBytesReceived());
    INT64 row = run.Insert();
    run.Done();
    if (row != e.GetId()) ThrowEntryNotStored(e.GetId(), row);
    return e.GetId();
  });
}

bool CZembraDb::IsEntryNotStored(const ZCLSqlException& e) { return e.GetResultCode() == SQLITE_MISMATCH; }

void CZembraDb::SelectEvents(IZembraDbCB* callback) {
  std::vector<CZembraEventLog> rows = Guarded([&] {
    return CZembraDbRun(*this, Stmt(EventRows)).ReadAll([](sqlite3_stmt* s) {
      CZembraEventLog e;
      e.SetId(sqlite3_column_int(s, 0));
      e.SetNumber(ColumnText16(s, 1));
      e.SetName(ColumnText16(s, 2));
      e.SetType(sqlite3_column_int(s, 3));
      e.SetDirection(sqlite3_column_int(s, 4));
      e.SetDuration(sqlite3_column_int(s, 5));
      e.SetTimeStamp(ColumnText16(s, 6));
      e.SetBytesSent(sqlite3_column_int64(s, 7));
      e.SetBytesReceived(sqlite3_column_int64(s, 8));
      return e;
    });
  });
  for (CZembraEventLog& e : rows)
    if (callback) callback->SelectEventsCB(&e);
}
