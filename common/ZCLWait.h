#pragma once
#include <windows.h>

// Polls a condition every step for at most the given time; true as soon as it
// holds. For what nothing signals (another process's files, a thread's end
// seen only through state). Between polls the thread's messages are
// dispatched, so an apartment thread keeps serving calls into it; a quit
// message is left for the thread's own loop.
template <class Predicate>
bool ZCLWaitUntil(Predicate done, DWORD milliseconds, DWORD step = 10) {
  ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, step, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    bool quit = false;
    WPARAM code = 0;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        code = msg.wParam;
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (quit) ::PostQuitMessage(static_cast<int>(code));
  }
}
