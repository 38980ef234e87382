#pragma once
#include <windows.h>

// Polls a condition every step for at most the given time; true as soon as it
// holds. For what nothing signals (another process's files, a thread's end
// seen only through state).
template <class Predicate>
bool ZCLWaitUntil(Predicate done, DWORD milliseconds, DWORD step = 10) {
  ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(step);
  }
}
