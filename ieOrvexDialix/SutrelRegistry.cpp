#include <windows.h>
#include "SutrelRegistry.h"
#include "ZCLHandle.h"

const wchar_t kSutrelKey[] = L"SOFTWARE\\Orvex Dialix\\Sutrel\\";
const wchar_t kApplicationPathValue[] = L"ApplicationPath1";
const wchar_t kSerialNumberValue[] = L"IE_connection.serialnumber";

LONG ReadSutrelValue(const wchar_t* name, std::wstring* value, bool* keyMissing) {
  CRegistryKey key;
  LONG rc = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSutrelKey, 0, KEY_READ, key.Put());
  if (keyMissing) *keyMissing = rc != ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  wchar_t buffer[MAX_PATH] = {};
  DWORD type = 0;
  DWORD bytes = sizeof(buffer);
  rc = ::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
  if (rc != ERROR_SUCCESS) return rc;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  size_t count = bytes / sizeof(wchar_t);
  if (count == 0) {
    value->clear();
    return ERROR_SUCCESS;
  }
  if (bytes % sizeof(wchar_t) || buffer[count - 1] != L'\0') return ERROR_INVALID_DATA;
  value->assign(buffer, count - 1);
  return ERROR_SUCCESS;
}

LONG WriteSutrelValue(const wchar_t* name, const wchar_t* value) {
  CRegistryKey key;
  LONG rc = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSutrelKey, 0, KEY_SET_VALUE, key.Put());
  if (rc != ERROR_SUCCESS) return rc;
  DWORD bytes = static_cast<DWORD>((::lstrlenW(value) + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
}
