#include <windows.h>
#include "ZembraTimeStamp.h"
#include <cwchar>

std::wstring ZembraFormatTimeStamp(unsigned year, unsigned month, unsigned day, unsigned hour,
                                   unsigned minute, unsigned second, long long zoneMinutes) {
  // |sum of two 32-bit parts| / 60 always fits an int.
  int zoneHours = static_cast<int>(zoneMinutes / 60);
  // Wide enough for the largest field values; the bound keeps it safe anyway.
  wchar_t buffer[64];
  int n = _snwprintf(buffer, 63, L"%d-%02d-%02dT%02d:%02d:%02d%+03d:00", static_cast<int>(year),
                     static_cast<int>(month), static_cast<int>(day), static_cast<int>(hour),
                     static_cast<int>(minute), static_cast<int>(second), zoneHours);
  buffer[63] = L'\0';
  if (n < 0 || n > 63) n = static_cast<int>(wcslen(buffer));
  return std::wstring(buffer, static_cast<size_t>(n));
}

long long ZembraPlatformZoneMinutes() {
  TIME_ZONE_INFORMATION info = {};
  GetTimeZoneInformation(&info);
  return 0 - static_cast<long long>(info.Bias);
}
