#pragma once
#include <windows.h>
#include <string>

// What the wizard's command line asks for: "guid <address>" (Bluetooth mode),
// "instsupp <device id>" (open on the support installation page) and
// "no_la" (no launcher at the end), in tokens separated by "/".
struct CPairwellCommandLine {
  std::wstring guid;
  std::wstring deviceId;
  BOOL launchAtEnd = TRUE;
};

// The parser works on at most 99 characters of the line and of each word, and
// keeps at most 38 characters of a guid: longer input is cut, never overrun.
const size_t kCommandLineLimit = 99;
const size_t kGuidLimit = 38;

CPairwellCommandLine ParsePairwellCommandLine(const wchar_t* commandLine);
