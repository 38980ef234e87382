#include <windows.h>
#include "CSZembraModule.h"
#include "ZCLLogger.h"

CSZembraModule _AtlModule;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int nShowCmd) {
  int result;
  {
    ZCLScopeTracer trace("wWinMain");
    ApplyLogLevelSetting();
    result = _AtlModule.WinMain(nShowCmd);
  }
  // The end of the run, here and not in static destruction: the main object
  // and its threads go while the process is whole, then COM is uninitialised.
  // The logger stays: threads may log until the process is gone.
  _AtlModule.Term();
  return result;
}
