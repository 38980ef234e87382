#include <windows.h>
#include "RunTray.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  return TrayMain(instance, commandLine);
}
