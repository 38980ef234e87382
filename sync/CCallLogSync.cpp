#include <windows.h>
#include "CCallLogSync.h"
#include "SyncSupport.h"
#include "ZCLLogger.h"

using ZembraSync::Progress;

CCallLogSync::CCallLogSync(const std::wstring& serial, CZembraDb* db, Trelk::CEventLog& library)
    : m_serial(serial), m_db(db), m_library(library) {}

void CCallLogSync::CheckConnection() {
  ZCLScopeTracer trace("CZembraSync::CheckEventsConnection");
  if (!m_connection.GetHandle()) m_library.Open(m_serial.c_str(), m_connection);
}

void CCallLogSync::FromPhone() {
  Progress("Syncing event logs from phone");
  CheckConnection();
  Trelk::CLogRead read(m_connection);
  int count = 0;
  CZembraDbBatch batch(m_db);
  for (;;) {
    bool more;
    try {
      more = read.Next([&](const LOGVEX_LOG_ITEM& item) {
        if (m_db) m_db->StoreEvent(CZembraEventLog(&item));
      });
    } catch (const ZCLSqlException& e) {
      // Any other failure of the store ends the sync; an entry the table
      // would not keep under its id ends only this read.
      if (!CZembraDb::IsEntryNotStored(e)) throw;
      Progress("Insert returned -1, breaking loop");
      break;
    }
    if (!more) break;
    ++count;
    batch.RowDone();
  }
  batch.Finish();
  read.End();
  ZCLLogMessage(5, nullptr).Print("Successfully inserted %d new log items", count);
}
