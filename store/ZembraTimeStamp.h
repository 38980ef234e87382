#pragma once
#include <windows.h>
#include <string>
#include "PhoneTime.h"

// The time stamp text of messages and call-log entries,
// "%d-%02d-%02dT%02d:%02d:%02d%+03d:00". It is stored and matched as a key,
// so normal values must stay byte-identical: the zone is the summed offset in
// whole hours, truncated toward zero, minutes always "00".
std::wstring ZembraFormatTimeStamp(const Trelk::CPhoneTime& time, long long zoneMinutes);

// The zone of a call-log entry whose offset the phone did not give: the
// platform's standard bias only (stored texts rely on the missing daylight part).
long long ZembraPlatformZoneMinutes();
