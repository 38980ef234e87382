#include <windows.h>
#include "TrelkApi.h"

// The odd libraries the binding tests load in place of the maker's:
// TRELK_TEST_FULL    counts its initialisations and answers a few entries;
// TRELK_TEST_NEGATIVE its initialise fails;
// (neither)          it lacks its initialise entry.

#define TEST_EXPORT extern "C" __declspec(dllexport)

namespace {
volatile LONG g_initCount = 0;
volatile LONG g_terminateCount = 0;
volatile LONG g_lastVersion = 0;
}  // namespace

#if defined(TRELK_TEST_FULL) || defined(TRELK_TEST_NEGATIVE)
TEST_EXPORT DWORD WINAPI RUVON_Initialize(DWORD dwAPIVersion, DWORD) {
#ifdef TRELK_TEST_NEGATIVE
  (void)dwAPIVersion;
  return ELNYX_INIT_FAILED;
#else
  InterlockedExchange(&g_lastVersion, static_cast<LONG>(dwAPIVersion));
  InterlockedIncrement(&g_initCount);
  return 0x00000100;  // a non-negative result the binding reports as 0
#endif
}
#endif

TEST_EXPORT DWORD WINAPI RUVON_Terminate(DWORD) {
  InterlockedIncrement(&g_terminateCount);
  return 0;
}

#ifdef TRELK_TEST_FULL
TEST_EXPORT LONG WINAPI TestInitCount() { return g_initCount; }
TEST_EXPORT LONG WINAPI TestTerminateCount() { return g_terminateCount; }
TEST_EXPORT LONG WINAPI TestLastVersion() { return g_lastVersion; }

TEST_EXPORT DWORD WINAPI RUVON_GetAPIVersion() { return 77; }

TEST_EXPORT DWORD WINAPI LNYXOpenDM(DWORD* phDM) {
  *phDM = 5;
  return 0;
}
TEST_EXPORT DWORD WINAPI LNYXCloseDM(DWORD) { return 0; }

// Two phones, but the listing claims more than it was asked for.
TEST_EXPORT DWORD WINAPI LNYXGetDeviceCount(DWORD, DWORD* pdwCount) {
  *pdwCount = 2;
  return 0;
}

TEST_EXPORT DWORD WINAPI LNYXGetDevices(DWORD, DWORD* pdwCount, LNYX_DEVICE* pDevices) {
  static WCHAR serials[2][8] = {L"S1", L"S2"};
  for (DWORD i = 0; i < *pdwCount && i < 2; ++i) pDevices[i].pstrSerialNumber = serials[i];
  *pdwCount = 9;
  return 0;
}

TEST_EXPORT DWORD WINAPI LNYXFreeDeviceStructure(DWORD, LNYX_DEVICE*) { return 0; }

// A device whose connection count comes without an array.
TEST_EXPORT DWORD WINAPI LNYXGetDevice(DWORD, const WCHAR*, LNYX_DEVICE* pDevice) {
  static WCHAR serial[] = L"S1";
  pDevice->pstrSerialNumber = serial;
  pDevice->dwNumOfConnections = 3;
  pDevice->pConnections = nullptr;
  return 0;
}

// Success without a record.
TEST_EXPORT DWORD WINAPI LNYXGetDeviceInfo(DWORD, const WCHAR*, DWORD, LNYX_DEVICE_INFO** ppInfo) {
  *ppInfo = nullptr;
  return 0;
}
TEST_EXPORT DWORD WINAPI LNYXFreeDeviceInfoStructure(DWORD, LNYX_DEVICE_INFO*) { return 0; }
#endif
