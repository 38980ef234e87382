#include <windows.h>
#include "CZembraEventLog.h"
#include "TrelkApi.h"
#include "ZembraPhoneText.h"
#include "ZembraTimeStamp.h"

namespace {

CZembraPhoneLogItem FieldsOf(const LOGVEX_LOG_ITEM* item) {
  CZembraPhoneLogItem fields;
  if (!item) return fields;
  fields.id = static_cast<int>(item->dwEntryId);
  fields.type = static_cast<int>(item->dwType);
  fields.direction = static_cast<int>(item->dwDirection);
  fields.duration = static_cast<int>(item->dwDuration);
  fields.bytesSent = static_cast<INT64>(item->ullBytesSent);
  fields.bytesReceived = static_cast<INT64>(item->ullBytesReceived);
  fields.number = item->pstrNumber;
  fields.name = item->pstrName;
  static_cast<Trelk::CPhoneTime&>(fields) = Trelk::PhoneTimeOf(*item);
  return fields;
}

}  // namespace

CZembraEventLog::CZembraEventLog(const LOGVEX_LOG_ITEM* item) : CZembraEventLog(FieldsOf(item)) {}

CZembraEventLog::CZembraEventLog(const CZembraPhoneLogItem& item)
    : m_id(item.id),
      m_type(item.type),
      m_direction(item.direction),
      m_duration(item.duration),
      m_bytesSent(item.bytesSent),
      m_bytesReceived(item.bytesReceived),
      m_number(item.number ? ZembraPhoneText(item.number) : L"Unknown number"),
      m_name(ZembraPhoneText(item.name)) {
  long long zone = (item.zone1 == -1 || item.zone2 == -1)
                       ? ZembraPlatformZoneMinutes()
                       : static_cast<long long>(item.zone1) + item.zone2;
  m_timeStamp = ZembraFormatTimeStamp(item, zone);
}
