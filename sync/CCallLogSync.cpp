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
    int stored = 0;
    bool more = read.Next([&](const LOGVEX_LOG_ITEM& item) {
      CZembraEventLog entry(&item);
      stored = m_db ? m_db->StoreEvent(entry) : entry.GetId();
    });
    if (!more) break;
    if (stored == -1) {
      Progress("Insert returned -1, breaking loop");
      break;
    }
    ++count;
    batch.RowDone();
  }
  batch.Finish();
  read.End();
  ZCLLogMessage(5, nullptr).Print("Successfully inserted %d new log items", count);
}
