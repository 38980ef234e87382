#include <windows.h>
#include "CPairwellApp.h"

// The application object exists before the entry runs.
CPairwellApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
  return AppFxWinMain(instance, commandLine, show);
}
