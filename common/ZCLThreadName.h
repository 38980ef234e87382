#pragma once
#include <windows.h>

// Names a thread for the debugger; 0xFFFFFFFF names the calling thread. The
// name is narrow text in the ANSI code page. Harmless when no debugger listens.
void ZCLSetThreadName(DWORD threadId, const char* name);
