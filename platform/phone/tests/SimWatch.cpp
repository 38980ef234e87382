#include <windows.h>
#include <cstdlib>
#include "TrelkApi.h"

// A second process with the simulated device management loaded:
//   simwatch <ready event> <serial> <expected status>
// sets the ready event once it listens, then exits 0 when the phone's arrival
// comes with the expected status word on a thread other than its main one,
// 1 on a wrong announcement, 2 when nothing came in time, 3 on a failed set-up.

namespace {
HANDLE g_arrived = nullptr;
const wchar_t* g_serial = nullptr;
DWORD g_expected = 0;
DWORD g_mainThread = 0;
volatile LONG g_verdict = -1;

DWORD CALLBACK OnDevice(DWORD status, const WCHAR* serial) {
  if ((status & 0xFFFF) != LNYX_DEVICE_ADDED || !serial || lstrcmpW(serial, g_serial) != 0) return 0;
  InterlockedExchange(&g_verdict, (status == g_expected && GetCurrentThreadId() != g_mainThread) ? 0 : 1);
  SetEvent(g_arrived);
  return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 3;
  g_serial = argv[2];
  g_expected = static_cast<DWORD>(wcstoul(argv[3], nullptr, 0));
  g_mainThread = GetCurrentThreadId();
  g_arrived = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HMODULE lanyx = LoadLibraryW(L"Lanyx.dll");
  if (!lanyx) return 3;
  auto init = reinterpret_cast<decltype(&RUVON_Initialize)>(GetProcAddress(lanyx, "RUVON_Initialize"));
  auto term = reinterpret_cast<decltype(&RUVON_Terminate)>(GetProcAddress(lanyx, "RUVON_Terminate"));
  auto open = reinterpret_cast<decltype(&LNYXOpenDM)>(GetProcAddress(lanyx, "LNYXOpenDM"));
  auto reg = reinterpret_cast<decltype(&LNYXRegisterNotifyCallback)>(GetProcAddress(lanyx, "LNYXRegisterNotifyCallback"));
  DWORD handle = 0;
  if (!init || !term || !open || !reg || init(31, 0) != 0 || open(&handle) != 0 ||
      reg(handle, TRELK_NOTIFY_REGISTER, OnDevice) != 0)
    return 3;
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
  if (!ready) return 3;
  SetEvent(ready);
  CloseHandle(ready);
  int result = WaitForSingleObject(g_arrived, 30000) == WAIT_OBJECT_0 ? static_cast<int>(g_verdict) : 2;
  reg(handle, TRELK_NOTIFY_UNREGISTER, OnDevice);
  term(0);
  return result;
}
