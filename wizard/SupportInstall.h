#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>

// The enhancement driver: whether a phone needs it (device type 0x2000020),
// where its package is (HKLM "Software\Orvex Dialix" "PhoneDriversPath" and
// "EnhancementDriverPackageName"; empty when not set), and its installation
// on the phone by ordinal 400. Any thread; each call binds the connectivity
// library's family for itself.
bool NeedsEnhancementDriver(const std::wstring& deviceId);
std::wstring EnhancementDriverPackagePath();
void InstallEnhancementDriver(const std::wstring& deviceId, const std::wstring& packagePath);

// The phone's Bluetooth modem configuration (media 8), one library call per
// operation in order, on a device-management handle of its own; the data of
// every call is given back. Results are not reported.
const DWORD kModemConfigRemove = 3;
const DWORD kModemConfigCreate = 1;
const DWORD kModemConfigDelete = 2;
void ConfigurePhoneModem(const std::wstring& serial, std::initializer_list<DWORD> operations);
