#include <windows.h>
#include <typeinfo>
#include "PhoneTasks.h"
#include "CEventsUpdatedNotification.h"
#include "CMessageReceivedNotification.h"
#include "CSms.h"
#include "CClientManager.h"
#include "CZembraDeviceList.h"
#include "ServiceLinks.h"
#include "ComText.h"
#include "ZCLException.h"
#include "ZCLFrame.h"

namespace {

// The received folder: only a message that arrived there is announced.
const int kReceivedFolder = 1;

}  // namespace

CMessageReceivedTask::CMessageReceivedTask(const CServiceLinks& links, const wchar_t* serialNumber,
                                           CZembraSMS* message)
    : m_links(links), m_serialNumber(ZCLNullToEmpty(serialNumber)), m_message(message) {}

// The message goes in only when the phone's start-up read has not stored it
// already; a message that was there is not announced a second time. A store
// that failed is logged and the message still announced: the user should
// hear of it even when the PC could not keep it.
void CMessageReceivedTask::Execute() {
  ZCLScopeTracer trace("CMessageReceivedTask::Execute");
  CZembraDevicePtr device = m_links.devices.Find(m_serialNumber.c_str());
  if (!device || !m_message) return;
  try {
    if (!device->StoreReceivedSms(*m_message)) return;
  } catch (const ZCLException&) {
    ZCLLogMessage(2, nullptr, "%s", "Failed to insert SMS into db\n");
  }
  if (m_message->GetFolder() != kReceivedFolder) {
    ZCLLogMessage(1, nullptr, "%s", "Failed to create CMessageReceivedNotification!, notification can't be send!");
    return;
  }
  CComPtr<CComObject<CSms>> sms = NewComObject<CSms>();
  if (!sms) return;
  sms->Init(m_message.get(), m_serialNumber.c_str());
  CComPtr<CComObject<CMessageReceivedNotification>> notification =
      NewComObject<CMessageReceivedNotification>();
  if (!notification) return;
  notification->Init(m_serialNumber.c_str(), sms);
  CComPtr<IMessageComposer> composer = m_links.MessageComposer();
  if (composer) {
    composer->NewMessageReceived(notification);
  } else {
    ZCLLogMessage(1, nullptr, "%s", "Failed to get IMessageComposer!, notification can't be send!");
  }
  m_links.clients.Notify(IID_IMessageReceivedNotification, notification);
}

CRefreshEventLogTask::CRefreshEventLogTask(const CServiceLinks& links, const wchar_t* serialNumber)
    : m_links(links), m_serialNumber(ZCLNullToEmpty(serialNumber)) {}

void CRefreshEventLogTask::Execute() {
  ZCLScopeTracer trace("CRefreshEventLogTask::Execute");
  ZCLGuarded(3, ZCL_SITE, [&] {
    CZembraDevicePtr device = m_links.devices.Find(m_serialNumber.c_str());
    if (!device) return;
    device->SyncEvents();
    CComPtr<CComObject<CEventsUpdatedNotification>> notification = NewComObject<CEventsUpdatedNotification>();
    if (!notification) return;
    notification->Init(m_serialNumber.c_str(), nullptr);
    m_links.clients.Notify(IID_IEventsUpdatedNotification, notification);
  });
}

// Called under the queue's lock: compares only, never blocks. The tasks
// are plain objects of this module, so their run-time types are ours.
bool CheckTypeAndSerial::Check(CTaskBase* task) {
  if (!task || typeid(*task) != typeid(m_task)) return false;
  return static_cast<CRefreshEventLogTask*>(task)->GetSerialNumber() == m_task.GetSerialNumber();
}
