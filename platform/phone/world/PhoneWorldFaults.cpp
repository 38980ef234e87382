#include <windows.h>
#include "PhoneWorld.h"
#include <cstdio>
#include <sstream>
#include "PhoneWorldStore.h"
#include "TrelkApi.h"
#include "ZCLText.h"

// Injected failures and delays ("<entry>[@after|@delay] <code|ms> <count> [<skip>]"
// lines, counted down across processes), and the library codes that answer the
// world's own failures.

namespace PhoneSim {

using namespace WorldStore;

namespace {

const wchar_t kFaultsFile[] = L"faults.txt";
const wchar_t kLateCallsFile[] = L"latecalls.txt";

}  // namespace

namespace {

const char kAfterSuffix[] = "@after";
const char kDelaySuffix[] = "@delay";

}  // namespace

void CPhoneWorld::InjectFault(const std::string& entry, DWORD code, DWORD count, DWORD skip) {
  {
    // One line a fault: an entry name with a blank in it would not be read back.
    if (entry.empty() || entry.find_first_of(" \t\r\n") != std::string::npos)
      ThrowWorldError(ZCL_POS, ERROR_INVALID_PARAMETER, "No entry has such a name:", ZCLUtf8ToWide(entry));
    CLock lock(*this);
    std::string text;
    ReadWhole(Join(m_folder, kFaultsFile), &text);
    char line[160];
    snprintf(line, sizeof(line), " 0x%08lX %lu %lu\n", static_cast<unsigned long>(code),
             static_cast<unsigned long>(count), static_cast<unsigned long>(skip));
    Changed();
    WriteUnlocked(Join(m_folder, kFaultsFile), text + entry + line);
  }
  Notify();
}

void CPhoneWorld::InjectAfterFault(const std::string& entry, DWORD code, DWORD count, DWORD skip) {
  if (entry.empty()) InjectFault(entry, code, count, skip);  // refused alike
  InjectFault(entry + kAfterSuffix, code, count, skip);
}

void CPhoneWorld::InjectDelay(const std::string& entry, DWORD milliseconds, DWORD count, DWORD skip) {
  if (entry.empty()) InjectFault(entry, milliseconds, count, skip);
  InjectFault(entry + kDelaySuffix, milliseconds, count, skip);
}

bool CPhoneWorld::HasFaults() {
  return GetFileAttributesW(Join(m_folder, kFaultsFile).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CPhoneWorld::TakeAfterFault(const char* entry, DWORD* code) {
  return TakeFault((std::string(entry) + kAfterSuffix).c_str(), code);
}

bool CPhoneWorld::TakeDelay(const char* entry, DWORD* milliseconds) {
  return TakeFault((std::string(entry) + kDelaySuffix).c_str(), milliseconds);
}

void CPhoneWorld::ClearFaults() {
  {
    CLock lock(*this);
    Changed();
    std::wstring path = Join(m_folder, kFaultsFile);
    if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
      ThrowWorldError(ZCL_POS, GetLastError(), "The faults cannot be cleared:", path);
  }
  Notify();
}

bool CPhoneWorld::TakeFault(const char* entry, DWORD* code) {
  if (!HasFaults()) return false;
  std::wstring path = Join(m_folder, kFaultsFile);
  CLock lock(*this);
  std::string text;
  if (!ReadWhole(path, &text)) return false;
  std::istringstream in(text);
  std::string name, rest, line;
  std::ostringstream out;
  bool taken = false;
  bool changed = false;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string codeText;
    unsigned long count = 0, skip = 0;
    if (!(fields >> name >> codeText >> count) || count == 0) continue;
    fields >> skip;  // absent: 0
    if (name == entry) {
      // Every line of the entry counts this call; the first one due fails it.
      if (skip > 0) {
        --skip;
        changed = true;
      } else if (!taken) {
        taken = true;
        *code = ToNumber(codeText);
        if (count != kEveryCall) {
          changed = true;
          --count;
        }
      }
    }
    if (count > 0) {
      out << name << " " << codeText << " " << count;
      if (skip > 0) out << " " << skip;
      out << "\n";
    }
  }
  if (changed) WriteUnlocked(path, out.str());
  return taken;
}

void CPhoneWorld::RecordLateCall(const std::string& entry) {
  CLock lock(*this);
  std::string text;
  ReadFileText(kLateCallsFile, &text);
  WriteFileText(kLateCallsFile, text + entry + "\t" + std::to_string(GetCurrentProcessId()) + "\n");
}

std::vector<std::string> CPhoneWorld::LateCalls() {
  std::string text;
  if (!ReadFileText(kLateCallsFile, &text)) return std::vector<std::string>();
  return Lines(text);
}

DWORD LibraryResultOf(const ZCLException& failure) {
  DWORD code = static_cast<DWORD>(failure.GetCode());
  if ((code & 0xFF000000u) == 0x80000000u) return code;  // a library code already
  switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return ELNYX_FILE_NO_PERMISSION_ON_PC;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return ELNYX_FILE_BUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ELNYX_MEMORY_FULL;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
      return ELNYX_FOLDER_NO_PERMISSION_ON_PC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ELNYX_FILE_NAME_TOO_LONG;
    case WAIT_TIMEOUT:
      return ELNYX_FAILED_TIMEOUT;
    default:
      return ELNYX_UNKNOWN_ERROR;
  }
}

}  // namespace PhoneSim
