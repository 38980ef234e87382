#include <windows.h>

/* A resource module is only ever loaded as data; its entry does nothing. */
BOOL WINAPI ResourceModuleEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
