#pragma once
#include <windows.h>
#include <string>

// What the about dialog shows of the system, and the connectivity software's
// platform folder the wizard starts in. Each reader: true with the text, or
// false when the key or value is missing.
bool ReadTrelkVersion(std::wstring* text);
bool ReadTrelkPlatformPath(std::wstring* text);
bool ReadCableDriverVersion(std::wstring* text);
bool ReadProductVersion(std::wstring* text);

// The facts the operating-system line is made of.
struct OSFacts {
  OSVERSIONINFOEXW version;
  WORD architecture;  // PROCESSOR_ARCHITECTURE_*
  DWORD productType;  // GetProductInfo's answer; 0 when there is none
  bool serverR2;      // GetSystemMetrics(SM_SERVERR2)
};

// "Microsoft <product> <service pack> (Build <n>)" from the facts alone.
bool GetOSDescription(const OSFacts& facts, std::wstring* text);
// The same for the running system.
bool GetOSDescription(std::wstring* text);
