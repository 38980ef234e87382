#pragma once
#include <windows.h>
#include <tlhelp32.h>
#include <string>
#include <vector>
#include "ZCLHandle.h"

// The ids of the running processes of one program (image name, any case):
// the cross-process tests and benchmarks find the service this way.
inline std::vector<DWORD> ProcessesNamed(const std::wstring& program) {
  std::vector<DWORD> ids;
  CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
    if (_wcsicmp(entry.szExeFile, program.c_str()) == 0) ids.push_back(entry.th32ProcessID);
  return ids;
}
