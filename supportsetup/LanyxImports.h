#pragma once
#include <windows.h>
#include "TrelkApi.h"

// The connectivity library's operations as this library imports them: by
// ordinal only, through an import library made from LanyxOrdinals.cmake
// under names of our own.
extern "C" {
DWORD WINAPI SutrelLnyxSuiteVersion(const WCHAR* pstrSuiteText, DWORD dwReserved);  // 12
DWORD WINAPI SutrelLnyxInitialize(DWORD dwValue);                                   // 10
DWORD WINAPI SutrelLnyxTerminate(DWORD dwReserved);                                 // 11
DWORD WINAPI SutrelLnyxOpenDM(DWORD* phDM);                                          // 200
DWORD WINAPI SutrelLnyxCloseDM(DWORD hDM);                                           // 201
DWORD WINAPI SutrelLnyxGetDevice(DWORD hDM, const WCHAR* pstrSerialNumber, LNYX_DEVICE* pDevice);  // 204
DWORD WINAPI SutrelLnyxFreeDevice(DWORD dwCount, LNYX_DEVICE* pDevices);             // 205
DWORD WINAPI SutrelLnyxGetDeviceInfo(DWORD hDM, const WCHAR* pstrSerialNumber, DWORD dwLevel,
                                     LNYX_DEVICE_INFO** ppInfo);                     // 212
DWORD WINAPI SutrelLnyxFreeDeviceInfo(DWORD dwLevel, LNYX_DEVICE_INFO* pInfo);       // 213
DWORD WINAPI SutrelLnyxOpenFS(const WCHAR* pstrSerialNumber, DWORD dwMedia, DWORD* phFS,
                              DWORD* pdwDeviceNumber);                               // 300
DWORD WINAPI SutrelLnyxCloseFS(DWORD hFS);                                           // 301
DWORD WINAPI SutrelLnyxInstallApplication(DWORD hFS, DWORD dwCount, const WCHAR* const* ppstrFiles,
                                          DWORD dwOptions, DWORD dwReserved1, DWORD dwReserved2);  // 400
}
