#pragma once
#include <windows.h>
#include <string>

// The enhancement driver: whether a phone needs it (device type 0x2000020),
// where its package is (HKLM "Software\Orvex Dialix" "PhoneDriversPath" and
// "EnhancementDriverPackageName"; empty when not set), and its installation
// on the phone by ordinal 400. Any thread; each call binds the connectivity
// library's family for itself.
bool NeedsEnhancementDriver(const std::wstring& deviceId);
std::wstring EnhancementDriverPackagePath();
void InstallEnhancementDriver(const std::wstring& deviceId, const std::wstring& packagePath);
