#include <windows.h>
#include "TrelkApi.h"

// The odd libraries the binding tests load in place of the maker's:
// TRELK_TEST_FULL    counts its initialisations and answers a few entries,
//                    of the device management and of the content access;
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

// Blocks until the test sets the named event (at most a minute): a call that
// does not come back while the library is unloaded.
volatile LONG g_blocked = 0;
TEST_EXPORT LONG WINAPI TestBlockedCount() { return g_blocked; }
TEST_EXPORT DWORD WINAPI TestBlock() {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "TrelkTestRelease");
  InterlockedIncrement(&g_blocked);
  if (release) {
    WaitForSingleObject(release, 60000);
    CloseHandle(release);
  }
  InterlockedDecrement(&g_blocked);
  return 0;
}

// A content access whose message record claims a text longer than the text
// before its terminator, which ends just before memory that cannot be read.
TEST_EXPORT DWORD WINAPI Tessim_Initialize(DWORD, DWORD) { return 0; }
TEST_EXPORT DWORD WINAPI Tessim_Terminate(DWORD) { return 0; }
TEST_EXPORT DWORD WINAPI DorraxOpenTessim(const WCHAR*, DWORD*, DWORD, DWORD* phConnection) {
  *phConnection = 7;
  return 0;
}
TEST_EXPORT DWORD WINAPI DorraxCloseTessim(DWORD) { return 0; }
TEST_EXPORT DWORD WINAPI TessimBeginOperation(DWORD, DWORD, DWORD* phOperation) {
  *phOperation = 9;
  return 0;
}
TEST_EXPORT DWORD WINAPI TessimEndOperation(DWORD) { return 0; }
TEST_EXPORT DWORD WINAPI TessimReadItem(DWORD, TESSIM_ITEM_ID*, DWORD, DWORD, void* pItem) {
  static WCHAR* text = nullptr;
  if (!text) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    BYTE* pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * info.dwPageSize, MEM_COMMIT, PAGE_READWRITE));
    if (!pages) return ELNYX_NOT_ENOUGH_MEMORY;
    DWORD old = 0;
    VirtualProtect(pages + info.dwPageSize, info.dwPageSize, PAGE_NOACCESS, &old);
    text = reinterpret_cast<WCHAR*>(pages + info.dwPageSize) - 3;
    text[0] = L'h';
    text[1] = L'i';
    text[2] = 0;
  }
  static WCHAR number[] = L"+358 1";
  static TESSIM_SMS_ADDRESS address = {sizeof(TESSIM_SMS_ADDRESS), 2, number};
  TESSIM_SMS_ITEM* item = static_cast<TESSIM_SMS_ITEM*>(pItem);
  item->pstrText = text;
  item->dwTextLength = 64;
  item->bNumOfAddresses = 1;
  item->pAddresses = &address;
  return 0;
}
TEST_EXPORT DWORD WINAPI TessimFreeItemData(DWORD, DWORD, void*) { return 0; }
#endif
