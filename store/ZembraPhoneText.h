#pragma once
#include <windows.h>
#include <cwchar>
#include <string>

// The longest text we take from a bare pointer the phone's libraries hand
// out (an address, a number, a name): far beyond any real one.
const size_t kZembraPhoneTextMax = 1024;

// A text from the phone, ending at its terminator or after maxChars
// characters, whichever comes first: a count that is larger than the text,
// or a text that lost its terminator, must not make us read what lies behind
// it. Null reads as empty.
inline std::wstring ZembraPhoneText(const wchar_t* text, size_t maxChars = kZembraPhoneTextMax) {
  if (!text) return std::wstring();
  return std::wstring(text, wcsnlen(text, maxChars));
}
