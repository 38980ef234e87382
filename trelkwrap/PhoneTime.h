#pragma once
#include <windows.h>

namespace Trelk {

// The date and zone fields of a phone record, as the library gave them.
// A plain value.
struct CPhoneTime {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  INT32 zone1 = 0, zone2 = 0;  // minutes each; the call log's -1: not given

  // The calendar time (no day of week, no milliseconds, no zone).
  SYSTEMTIME ToSystemTime() const {
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    return time;
  }
};

// The message and call-log records name their date and zone fields alike.
template <class Record>
CPhoneTime PhoneTimeOf(const Record& record) {
  CPhoneTime time;
  time.year = record.wYear;
  time.month = record.bMonth;
  time.day = record.bDay;
  time.hour = record.bHour;
  time.minute = record.bMinute;
  time.second = record.bSecond;
  time.zone1 = record.lZoneOffset1;
  time.zone2 = record.lZoneOffset2;
  return time;
}

}  // namespace Trelk
