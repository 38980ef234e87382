#pragma once
#include <windows.h>
#include <string>

// Conversions between wide text and the narrow encodings the libraries
// speak. Invalid input converts as the system does (replacement characters);
// null converts to empty.
std::string ZCLWideToUtf8(const wchar_t* text);
std::string ZCLWideToUtf8(const std::wstring& text);
std::wstring ZCLUtf8ToWide(const char* text);
std::wstring ZCLUtf8ToWide(const std::string& text);
std::string ZCLWideToAnsi(const wchar_t* text);
std::wstring ZCLAnsiToWide(const char* text);

inline const wchar_t* ZCLNullToEmpty(const wchar_t* text) { return text ? text : L""; }
inline const char* ZCLNullToEmpty(const char* text) { return text ? text : ""; }

// Registry reads with KEY_READ only: a standard user cannot open HKLM keys
// for writing, and settings must still be honoured for them. False when the
// key or value is missing or of another type; a string is always terminated.
bool ZCLReadRegistryDword(HKEY root, const wchar_t* subKey, const wchar_t* name, DWORD* value);
bool ZCLReadRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* name, std::wstring* value);
