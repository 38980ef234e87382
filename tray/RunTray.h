#pragma once
#include <windows.h>

// The tray program: the command line, the single-instance lock, the window
// and its message loop. Exit codes: 0 normal end or another instance runs,
// 1 "-stop" or help, 2 the service cannot be reached (or the lock not made),
// 3 the window cannot be created.
int RunTray(const wchar_t* commandLine);
// wWinMain's body: COM (multithreaded), common controls, the window
// module, RunTray.
int TrayMain(HINSTANCE instance, const wchar_t* commandLine);

// The lock's base name: the event and the mutex are named after it.
extern const wchar_t kTrayLockName[];
