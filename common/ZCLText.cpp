#include <windows.h>
#include "ZCLText.h"
#include "ZCLHandle.h"
#include <vector>

namespace {

std::string WideToNarrow(UINT codePage, const wchar_t* text, int length) {
  if (!text || length == 0) return std::string();
  int n = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text, length, &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring NarrowToWide(UINT codePage, const char* text, int length) {
  if (!text || length == 0) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text, length, &out[0], n);
  return out;
}

int Length(const wchar_t* text) { return text ? static_cast<int>(wcslen(text)) : 0; }
int Length(const char* text) { return text ? static_cast<int>(strlen(text)) : 0; }

}  // namespace

std::string ZCLWideToUtf8(const wchar_t* text) { return WideToNarrow(CP_UTF8, text, Length(text)); }
std::string ZCLWideToUtf8(const std::wstring& text) {
  return WideToNarrow(CP_UTF8, text.data(), static_cast<int>(text.size()));
}
std::wstring ZCLUtf8ToWide(const char* text) { return NarrowToWide(CP_UTF8, text, Length(text)); }
std::wstring ZCLUtf8ToWide(const std::string& text) {
  return NarrowToWide(CP_UTF8, text.data(), static_cast<int>(text.size()));
}
std::string ZCLWideToAnsi(const wchar_t* text) { return WideToNarrow(CP_ACP, text, Length(text)); }
std::wstring ZCLAnsiToWide(const char* text) { return NarrowToWide(CP_ACP, text, Length(text)); }

bool ZCLReadRegistryDword(HKEY root, const wchar_t* subKey, const wchar_t* name, DWORD* value) {
  CRegistryKey key;
  if (RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  DWORD type = 0, data = 0, size = sizeof(data);
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
      ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof(data)) return false;
  *value = data;
  return true;
}

bool ZCLReadRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* name, std::wstring* value) {
  CRegistryKey key;
  if (RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  // One character more than asked for: the stored value need not be terminated.
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
      ERROR_SUCCESS)
    return false;
  buffer[bytes / sizeof(wchar_t)] = L'\0';
  *value = buffer.data();
  return true;
}
