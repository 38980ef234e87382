#include <windows.h>
#include "CZembraEventLog.h"
#include "ZembraTimeStamp.h"

CZembraEventLog::CZembraEventLog(const CZembraPhoneLogItem& item)
    : m_id(item.id),
      m_type(item.type),
      m_direction(item.direction),
      m_duration(item.duration),
      m_bytesSent(item.bytesSent),
      m_bytesReceived(item.bytesReceived),
      m_number(item.number ? item.number : L"Unknown number"),
      m_name(item.name ? item.name : L"") {
  long long zone = (item.zone1 == -1 || item.zone2 == -1)
                       ? ZembraPlatformZoneMinutes()
                       : static_cast<long long>(item.zone1) + item.zone2;
  m_timeStamp = ZembraFormatTimeStamp(item.year, item.month, item.day, item.hour, item.minute, item.second, zone);
}
