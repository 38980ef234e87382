#include <windows.h>
#include "ZembraTimeStamp.h"
#include <cwchar>

std::wstring ZembraFormatTimeStamp(const Trelk::CPhoneTime& time, long long zoneMinutes) {
  // |sum of two 32-bit parts| / 60 always fits an int.
  int zoneHours = static_cast<int>(zoneMinutes / 60);
  // Wide enough for the largest field values; the bound keeps it safe anyway.
  wchar_t buffer[64];
  int n = _snwprintf(buffer, 63, L"%d-%02d-%02dT%02d:%02d:%02d%+03d:00", static_cast<int>(time.year),
                     static_cast<int>(time.month), static_cast<int>(time.day), static_cast<int>(time.hour),
                     static_cast<int>(time.minute), static_cast<int>(time.second), zoneHours);
  buffer[63] = L'\0';
  if (n < 0 || n > 63) n = static_cast<int>(wcslen(buffer));
  return std::wstring(buffer, static_cast<size_t>(n));
}

long long ZembraPlatformZoneMinutes() {
  TIME_ZONE_INFORMATION info = {};
  GetTimeZoneInformation(&info);
  return 0 - static_cast<long long>(info.Bias);
}
