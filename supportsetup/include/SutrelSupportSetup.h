#pragma once
#include <windows.h>

// The support-setup library's exports (SutrelSupportSetup.dll).

// 0 when the check ran (the three flags hold the answer: text-message,
// multimedia, multimedia-provider), E_FAIL on bad arguments or when the
// phone cannot be examined.
extern "C" HRESULT WINAPI needSupport(LPCWSTR deviceId, int* textFlag, int* multimediaFlag, int* providerFlag);
// Installs the packages the phone lacks; flag 0x80 examines the phone
// whatever its capability bits say. 0 when the needs could be determined.
extern "C" HRESULT WINAPI Install(LPCWSTR deviceId, DWORD flags);
