#pragma once
#include <windows.h>
#include <string>

// The installation's values under HKLM "SOFTWARE\Orvex Dialix\Sutrel\" (the
// trailing backslash belongs to the key text). The plug-in never creates the
// key. Both calls return a Win32 error number.
extern const wchar_t kSutrelKey[];
extern const wchar_t kApplicationPathValue[];
extern const wchar_t kSerialNumberValue[];

// Text values only (plain or expandable, not expanded), terminated, at most
// 259 characters: ERROR_INVALID_DATA, ERROR_MORE_DATA otherwise.
// keyMissing, when given, tells a missing key from a missing value.
LONG ReadSutrelValue(const wchar_t* name, std::wstring* value, bool* keyMissing = nullptr);
// A plain text value, terminator included.
LONG WriteSutrelValue(const wchar_t* name, const wchar_t* value);
