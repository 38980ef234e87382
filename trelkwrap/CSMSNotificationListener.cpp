#include <windows.h>
#include "CSMSNotificationListener.h"
#include <vector>
#include "CTrelkException.h"
#include "TrelkCallTrace.h"
#include "ZCLLogger.h"

namespace Trelk {

CSMSNotificationListener::CSMSNotificationListener(ITessimNotify* sink)
    : m_connection(), m_sink(sink), m_started(false) {
  ZCLScopeTracer trace("Trelk::CSMSNotificationListener::CSMSNotificationListener");
  m_connection = CSMSConnection(0);  // a copy of no handle, not owning
}

CSMSNotificationListener::~CSMSNotificationListener() {
  ZCLScopeTracer trace("Trelk::CSMSNotificationListener::~CSMSNotificationListener");
  Stop();
}

void CSMSNotificationListener::Start(const CSMSConnection& connection) {
  ZCLScopeTracer trace("Trelk::CSMSNotificationListener::Start");
  if (m_started) Stop();
  m_connection = connection;
  m_connection.GetIdList(m_snapshot, TESSIM_FOLDER_INBOX);
  // Registered again on the connection's new handle after each reload.
  ITessimNotify* self = this;
  m_connection.Family().RegisterSink(
      self, [self](DWORD handle, DWORD operation) { return TessimRegisterNotifyIF(handle, operation, self); });
  m_started = true;
}

void CSMSNotificationListener::Stop() {
  ZCLScopeTracer trace("Trelk::CSMSNotificationListener::Stop");
  if (!m_started) return;
  m_connection.Family().UnregisterSink(static_cast<ITessimNotify*>(this));
  m_started = false;
}

DWORD CSMSNotificationListener::OnTessimNotify(DWORD dwReason, DWORD dwStatus, TESSIM_ITEM_ID* pItemId) {
  NotificationGuarded(ZCL_SITE, [&] {
    ZCLScopeTracer trace("Trelk::CSMSNotificationListener::OnTessimNotify");
    ZCLLogMessage(4, nullptr, "Reason: %d, status: 0x%08X, id: %p", static_cast<int>(dwReason),
                  static_cast<unsigned>(dwStatus), static_cast<void*>(pItemId));
    if (dwReason != TESSIM_REASON_ITEM_ADDED) return;
    if (!pItemId) {
      ReportNewItems(dwStatus);
      return;
    }
    CIdListItem item(pItemId);
    if (m_snapshot.FindByUid(item.GetUid())) return;
    m_snapshot.Add(item);
    if (m_sink) m_sink->OnTessimNotify(TESSIM_REASON_ITEM_ADDED, dwStatus, pItemId);
  });
  return 0;
}

// The library told of a change without naming the item: the folder is read
// again and every id the snapshot lacks is reported.
void CSMSNotificationListener::ReportNewItems(DWORD dwStatus) {
  CIdList fresh;
  m_connection.GetIdList(fresh, TESSIM_FOLDER_INBOX);
  for (size_t i = 0; i < fresh.Count(); ++i) {
    CIdListItem item = fresh.GetAt(i);
    ZCLLogMessage(5, nullptr, "item %d: FolderId: %d: TempId: %d Status: 0x%08x, Uid: %ls", static_cast<int>(i),
                  static_cast<int>(item.GetFolderId()), static_cast<int>(item.GetTemporaryId()),
                  static_cast<unsigned>(item.GetStatus()), item.GetUid().ToString());
    if (m_snapshot.FindByUid(item.GetUid()) || !m_sink) continue;
    const CUid& uid = item.GetUid();
    std::vector<BYTE> bytes(uid.GetData(), uid.GetData() + uid.GetLength());
    TESSIM_ITEM_ID record;
    ZeroMemory(&record, sizeof(record));
    record.dwSize = sizeof(TESSIM_ITEM_ID);
    record.dwFolderId = item.GetFolderId();
    record.dwTemporaryId = item.GetTemporaryId();
    record.dwUidLength = static_cast<DWORD>(bytes.size());
    record.pbUid = bytes.empty() ? nullptr : bytes.data();
    record.dwStatus = dwStatus;
    // One failing sink call does not keep the others from their items.
    NotificationGuarded(ZCL_SITE, [&] { m_sink->OnTessimNotify(TESSIM_REASON_ITEM_ADDED, dwStatus, &record); });
  }
  m_snapshot = fresh;
}

}  // namespace Trelk
