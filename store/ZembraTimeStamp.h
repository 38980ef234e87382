#pragma once
#include <windows.h>
#include <string>

// The time stamp text of messages and call-log entries,
// "%d-%02d-%02dT%02d:%02d:%02d%+03d:00". It is stored and matched as a key,
// so normal values must stay byte-identical: the zone is the summed offset in
// whole hours, truncated toward zero, minutes always "00".
std::wstring ZembraFormatTimeStamp(unsigned year, unsigned month, unsigned day, unsigned hour,
                                   unsigned minute, unsigned second, long long zoneMinutes);

// The zone of a call-log entry whose offset the phone did not give: the
// platform's standard bias only (stored texts rely on the missing daylight part).
long long ZembraPlatformZoneMinutes();

// Copies the date and zone fields of a phone library record (both libraries
// name them alike) into our field-by-field form of it.
template <class Record, class Fields>
void ZembraCopyPhoneTime(const Record& record, Fields& fields) {
  fields.year = record.wYear;
  fields.month = record.bMonth;
  fields.day = record.bDay;
  fields.hour = record.bHour;
  fields.minute = record.bMinute;
  fields.second = record.bSecond;
  fields.zone1 = record.lZoneOffset1;
  fields.zone2 = record.lZoneOffset2;
}
