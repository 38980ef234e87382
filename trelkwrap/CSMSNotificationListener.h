#pragma once
#include <windows.h>
#include "CContentAccess.h"
#include "CIdList.h"
#include "TrelkApi.h"

namespace Trelk {

// Tells its sink of messages that arrived in the received folder, each once:
// an item is new when its uid was neither in the snapshot of the folder taken
// at Start or at the last full pass nor reported singly since.
// Start and Stop on the owner's thread; OnTessimNotify on the library's
// notification thread, which delivers one notification at a time. The
// snapshot is filled before the registration and dropped after the
// unregistration, so one thread at a time touches it.
class CSMSNotificationListener : public ITessimNotify {
public:
  explicit CSMSNotificationListener(ITessimNotify* sink);
  // Nothing thrown here reaches the library's thread: failures are logged.
  DWORD OnTessimNotify(DWORD dwReason, DWORD dwStatus, TESSIM_ITEM_ID* pItemId) override;
  virtual ~CSMSNotificationListener();

  // Takes the snapshot on the connection's handle (not owning it), then registers.
  void Start(const CSMSConnection& connection);
  void Stop();
  bool IsStarted() const { return m_started; }

private:
  CSMSNotificationListener(const CSMSNotificationListener&) = delete;
  CSMSNotificationListener& operator=(const CSMSNotificationListener&) = delete;
  void ReportNewItems(DWORD dwStatus);

  CSMSConnection m_connection;
  ITessimNotify* m_sink;
  CIdList m_snapshot;
  bool m_started;
};

}  // namespace Trelk
