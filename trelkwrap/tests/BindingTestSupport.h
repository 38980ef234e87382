#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include "ZCLWait.h"

// Helpers of the binding tests: the registry key the binding reads, the odd
// test libraries beside the test, and the system-wide requests.
namespace BindingTesting {

const char kKey[] = "SOFTWARE\\Trelk\\API\\";
const DWORD kWaitMs = 20000;

inline std::string BinFolder() {
  char path[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\'));
}

inline std::string TestLibrary(const char* kind) { return BinFolder() + "\\TrelkTest" + kind + ".dll"; }

inline bool SetRawValue(const char* name, const void* data, DWORD size, DWORD type) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

inline bool SetValue(const char* name, const std::string& value) {
  return SetRawValue(name, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ);
}

inline void DeleteValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

// Signals a request until the bindings show its effect: a request that comes
// before a watcher waits is reset by it, and the first watcher to answer
// resets the event for the others.
inline bool Request(const char* eventName, const std::function<bool()>& done) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, eventName);
  if (!event) return false;
  bool ok = false;
  for (DWORD waited = 0; waited < kWaitMs && !ok; waited += 100) {
    SetEvent(event);
    ok = ZCLWaitUntil(done, 100);
  }
  ResetEvent(event);
  CloseHandle(event);
  return ok;
}

}  // namespace BindingTesting
